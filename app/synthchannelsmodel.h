#ifndef SYNTHCHANNELSMODEL_H
#define SYNTHCHANNELSMODEL_H

#include <QAbstractTableModel>
#include <QMetaObject>
#include <QPointer>

class SynthInstruments;

// The 16 MIDI channels of a synthesizer and the instrument each one plays:
// column 0 the channel counted from 1, column 1 the instrument's name. Empty
// while no synthesizer is set, and from the moment the set one is destroyed.
class SynthChannelsModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int ChannelCount = 16;

    explicit SynthChannelsModel(QObject *parent = nullptr);

    SynthInstruments *synth() const;
    void setSynth(SynthInstruments *synth);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

public slots:
    void onInstrumentChanged(int channel);

private:
    void onSynthDestroyed();

    QPointer<QObject> m_synthObject; // guards m_synth
    SynthInstruments *m_synth = nullptr;
    QMetaObject::Connection m_instrumentChanged;
    QMetaObject::Connection m_synthDestroyed;
};

#endif // SYNTHCHANNELSMODEL_H
