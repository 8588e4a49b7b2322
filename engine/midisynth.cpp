#include "midisynth.h"

#include "midisynthworker.h"

#include <QMetaType>
#include <QMutexLocker>

MidiSynth::MidiSynth(QObject *parent) : QThread(parent)
{
    qRegisterMetaType<MidiInstrumentId>("MidiInstrumentId");
    start(QThread::HighestPriority);
}

MidiSynth::~MidiSynth()
{
    quit();
    while (!wait(100))
        quit();
}

void MidiSynth::run()
{
    {
        QMutexLocker locker(&m_mutex);
        m_worker = new MidiSynthWorker(&m_mutex);
        connect(m_worker, &MidiSynthWorker::instrumentChanged, this, &MidiSynth::instrumentChanged,
                Qt::QueuedConnection);
    }
    exec();
    MidiSynthWorker *worker;
    {
        QMutexLocker locker(&m_mutex);
        worker = m_worker;
        m_worker = nullptr;
    }
    // Messages being handled finish before the worker goes.
    worker->detachMidiInput();
    QMutexLocker locker(&m_mutex);
    delete worker;
}

bool MidiSynth::isReady() const
{
    QMutexLocker locker(&m_mutex);
    return m_worker && m_worker->isReady();
}

MidiInput *MidiSynth::midiInput() const
{
    QMutexLocker locker(&m_mutex);
    return m_worker ? m_worker->midiInput() : nullptr;
}

void MidiSynth::setMidiInput(MidiInput *input)
{
    QMutexLocker locker(&m_mutex);
    if (m_worker)
        m_worker->setMidiInput(input);
}

QObject *MidiSynth::synthObject()
{
    return this;
}

QMetaObject::Connection
MidiSynth::connectInstrumentChanged(QObject *context,
                                    const std::function<void(int channel, MidiInstrumentId)> &slot)
{
    return connect(this, &MidiSynth::instrumentChanged, context, slot);
}

void MidiSynth::resetSoundBank()
{
    QMutexLocker locker(&m_mutex);
    if (m_worker)
        m_worker->resetSoundBank();
}

QString MidiSynth::soundBankName() const
{
    QMutexLocker locker(&m_mutex);
    return m_worker ? m_worker->soundBankName() : QString();
}

int MidiSynth::instrumentCount() const
{
    QMutexLocker locker(&m_mutex);
    return m_worker ? m_worker->instrumentCount() : 0;
}

MidiInstrumentId MidiSynth::instrumentAt(int row) const
{
    QMutexLocker locker(&m_mutex);
    return m_worker ? m_worker->instrumentAt(row) : 0;
}

int MidiSynth::indexOfInstrument(MidiInstrumentId instrument) const
{
    QMutexLocker locker(&m_mutex);
    return m_worker ? m_worker->indexOfInstrument(instrument) : 0;
}

QString MidiSynth::instrumentName(MidiInstrumentId instrument) const
{
    QMutexLocker locker(&m_mutex);
    return m_worker ? m_worker->instrumentName(instrument) : QString();
}

MidiInstrumentId MidiSynth::channelInstrument(int channel) const
{
    QMutexLocker locker(&m_mutex);
    return m_worker ? m_worker->channelInstrument(channel) : 0;
}

void MidiSynth::setChannelInstrument(int channel, MidiInstrumentId instrument)
{
    QMutexLocker locker(&m_mutex);
    if (m_worker)
        m_worker->setChannelInstrument(channel, instrument);
}

MidiProgram MidiSynth::programOfInstrument(MidiInstrumentId instrument) const
{
    return MidiSynthWorker::programOfInstrument(instrument);
}

MidiInstrumentId MidiSynth::instrumentOfProgram(const MidiProgram &program) const
{
    return MidiSynthWorker::instrumentOfProgram(program);
}
