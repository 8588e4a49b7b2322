#include "synthchannelsmodel.h"

#include "synthinstruments.h"

SynthChannelsModel::SynthChannelsModel(QObject *parent) : QAbstractTableModel(parent)
{
}

SynthInstruments *SynthChannelsModel::synth() const
{
    return m_synthObject ? m_synth : nullptr;
}

void SynthChannelsModel::setSynth(SynthInstruments *synth)
{
    disconnect(m_instrumentChanged);
    disconnect(m_synthDestroyed);
    beginResetModel();
    m_synth = synth;
    m_synthObject = synth ? synth->synthObject() : nullptr;
    if (m_synthObject) {
        m_instrumentChanged = synth->connectInstrumentChanged(
            this, [this](int channel, MidiInstrumentId) { onInstrumentChanged(channel); });
        m_synthDestroyed = connect(m_synthObject, &QObject::destroyed, this,
                                   &SynthChannelsModel::onSynthDestroyed);
    }
    endResetModel();
}

int SynthChannelsModel::rowCount(const QModelIndex &parent) const
{
    return synth() && !parent.isValid() ? ChannelCount : 0;
}

int SynthChannelsModel::columnCount(const QModelIndex &parent) const
{
    return synth() && !parent.isValid() ? 2 : 0;
}

QVariant SynthChannelsModel::data(const QModelIndex &index, int role) const
{
    SynthInstruments *s = synth();
    if (!s || role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return QVariant();
    if (index.column() == 0)
        return QString::number(index.row() + 1);
    return s->instrumentName(s->channelInstrument(index.row()));
}

QVariant SynthChannelsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return section == 0 ? tr("MIDI Channel") : tr("Instrument");
    return QAbstractTableModel::headerData(section, orientation, role);
}

void SynthChannelsModel::onInstrumentChanged(int channel)
{
    if (channel < 0 || channel >= rowCount())
        return;
    const QModelIndex cell = index(channel, 1);
    emit dataChanged(cell, cell);
}

void SynthChannelsModel::onSynthDestroyed()
{
    // The guard is already clear: the rows are gone.
    setSynth(nullptr);
}
