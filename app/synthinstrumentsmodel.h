#ifndef SYNTHINSTRUMENTSMODEL_H
#define SYNTHINSTRUMENTSMODEL_H

#include <QAbstractListModel>
#include <QMetaObject>
#include <QPointer>

class SynthInstruments;

// The instruments of a synthesizer's sound bank, by name, in the
// synthesizer's order. Empty while no synthesizer is set, and from the moment
// the set one is destroyed.
class SynthInstrumentsModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit SynthInstrumentsModel(QObject *parent = nullptr);

    SynthInstruments *synth() const;
    void setSynth(SynthInstruments *synth);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QPointer<QObject> m_synthObject; // guards m_synth
    SynthInstruments *m_synth = nullptr;
    QMetaObject::Connection m_synthDestroyed;
};

#endif // SYNTHINSTRUMENTSMODEL_H
