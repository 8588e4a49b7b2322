#include "synthinstrumentsmodel.h"

#include "synthinstruments.h"

SynthInstrumentsModel::SynthInstrumentsModel(QObject *parent) : QAbstractListModel(parent)
{
}

SynthInstruments *SynthInstrumentsModel::synth() const
{
    return m_synthObject ? m_synth : nullptr;
}

void SynthInstrumentsModel::setSynth(SynthInstruments *synth)
{
    disconnect(m_synthDestroyed);
    beginResetModel();
    m_synth = synth;
    m_synthObject = synth ? synth->synthObject() : nullptr;
    if (m_synthObject)
        m_synthDestroyed = connect(m_synthObject, &QObject::destroyed, this,
                                   [this] { setSynth(nullptr); });
    endResetModel();
}

int SynthInstrumentsModel::rowCount(const QModelIndex &parent) const
{
    SynthInstruments *s = synth();
    return s && !parent.isValid() ? qMax(0, s->instrumentCount()) : 0;
}

QVariant SynthInstrumentsModel::data(const QModelIndex &index, int role) const
{
    SynthInstruments *s = synth();
    if (!s || role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return QVariant();
    return s->instrumentName(s->instrumentAt(index.row()));
}
