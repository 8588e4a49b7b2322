#include "midisynthworker.h"

#include "midiinput.h"
#include "midisynth.h"

#include <QMutexLocker>

MidiSynthWorker::MidiSynthWorker(QMutex *mutex) : m_mutex(mutex)
{
    // The sound engine would start here; with the empty sound bank there is
    // nothing to start.
    m_ready = true;
}

MidiSynthWorker::~MidiSynthWorker() = default;

MidiInput *MidiSynthWorker::midiInput() const
{
    return m_input;
}

void MidiSynthWorker::setMidiInput(MidiInput *input)
{
    if (m_input)
        disconnect(m_input, nullptr, this, nullptr);
    m_input = input;
    if (input)
        connect(input, &MidiInput::readyRead, this, &MidiSynthWorker::onMidiInputReadyRead,
                Qt::DirectConnection);
}

void MidiSynthWorker::detachMidiInput()
{
    QPointer<MidiInput> input;
    {
        QMutexLocker locker(m_mutex);
        input = m_input;
        setMidiInput(nullptr);
    }
    if (input)
        input->waitForDelivery();
}

void MidiSynthWorker::resetSoundBank()
{
}

QString MidiSynthWorker::soundBankName() const
{
    return QString();
}

int MidiSynthWorker::instrumentCount() const
{
    return 0;
}

MidiInstrumentId MidiSynthWorker::instrumentAt(int) const
{
    return 0;
}

int MidiSynthWorker::indexOfInstrument(MidiInstrumentId) const
{
    return 0;
}

QString MidiSynthWorker::instrumentName(MidiInstrumentId) const
{
    return QString();
}

MidiInstrumentId MidiSynthWorker::channelInstrument(int channel) const
{
    if (channel < 0 || channel >= int(m_channelInstruments.size()))
        return 0;
    return m_channelInstruments[size_t(channel)];
}

void MidiSynthWorker::setChannelInstrument(int, MidiInstrumentId)
{
    // The empty sound bank has no instrument to assign.
}

void MidiSynthWorker::onMidiInputReadyRead(MidiInput *input)
{
    QMutexLocker locker(m_mutex);
    if (!input)
        return;
    for (const MidiMessage &message : input->takeAll())
        handleMessage(message.bytes);
}

void MidiSynthWorker::handleMessage(const std::vector<unsigned char> &bytes)
{
    if (bytes.empty())
        return;
    sendToEngine(bytes);
    if (bytes.size() < 2)
        return;
    const unsigned char kind = bytes[0] & 0xF0;
    if (kind != 0xC0 && kind != 0xB0)
        return;
    const int channel = bytes[0] & 0x0F;
    MidiProgram program = programOfInstrument(m_channelInstruments[size_t(channel)]);
    bool changed = false;
    if (kind == 0xC0) {
        program.program = bytes[1];
        changed = true;
    } else if (bytes.size() >= 3 && bytes[1] == 0) {
        program.bankMsb = bytes[2];
        changed = true;
    } else if (bytes.size() >= 3 && bytes[1] == 32) {
        program.bankLsb = bytes[2];
        changed = true;
    }
    if (!changed)
        return;
    const MidiInstrumentId instrument = instrumentOfProgram(program);
    m_channelInstruments[size_t(channel)] = instrument;
    emit instrumentChanged(channel, instrument);
}

MidiProgram MidiSynthWorker::programOfInstrument(MidiInstrumentId)
{
    return MidiProgram();
}

MidiInstrumentId MidiSynthWorker::instrumentOfProgram(const MidiProgram &)
{
    return 0;
}

void MidiSynthWorker::sendToEngine(const std::vector<unsigned char> &)
{
    // The empty sound bank sounds nothing.
}
