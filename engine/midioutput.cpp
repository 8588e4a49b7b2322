#include "midioutput.h"

#include "portrecord.h"

#include <QDebug>
#include <QMutexLocker>

namespace {

constexpr int ChannelCount = 16;

unsigned char data(quint8 value)
{
    return value & 0x7F;
}

unsigned char status(unsigned char kind, int channel)
{
    return static_cast<unsigned char>(kind | channel);
}

} // namespace

MidiOutput::MidiOutput() : MidiIO(MidiDirection::Output)
{
}

MidiOutput::~MidiOutput()
{
    close();
}

bool MidiOutput::close()
{
    allNotesOff();
    return MidiIO::close();
}

std::vector<std::vector<unsigned char>> MidiOutput::messagesFor(const InstrumentEvent &event,
                                                                 const QBitArray &channels)
{
    std::vector<std::vector<unsigned char>> messages;
    if (event.type == InstrumentEvent::RawMessage) {
        if (!event.bytes.empty())
            messages.push_back(event.bytes);
        return messages;
    }
    const int count = qMin(int(channels.size()), ChannelCount);
    for (int n = 0; n < count; ++n) {
        if (!channels.testBit(n))
            continue;
        switch (event.type) {
        case InstrumentEvent::NoteOn:
            messages.push_back({status(0x90, n), data(event.pitch), data(event.velocity)});
            break;
        case InstrumentEvent::NoteOff:
            messages.push_back({status(0x80, n), data(event.pitch), data(event.velocity)});
            break;
        case InstrumentEvent::ProgramChange:
            messages.push_back({status(0xB0, n), 0, data(event.velocity)});
            messages.push_back({status(0xB0, n), 32, data(event.bankLsb)});
            messages.push_back({status(0xC0, n), data(event.pitch)});
            break;
        default:
            break;
        }
    }
    return messages;
}

bool MidiOutput::sendEvents(const std::vector<InstrumentEvent> &events)
{
    const std::shared_ptr<PortRecord> port = portHandle();
    if (!port)
        return false;
    const QBitArray enabled = channels();
    QMutexLocker locker(port->mutex());
    for (const InstrumentEvent &event : events) {
        for (const std::vector<unsigned char> &message : messagesFor(event, enabled)) {
            QString error;
            if (!port->device()->send(message, &error)) {
                qWarning().noquote() << QStringLiteral("Cannot send to MIDI port \"%1\": %2")
                                            .arg(port->deviceName(), error);
                return false;
            }
        }
    }
    return true;
}

bool MidiOutput::allNotesOff()
{
    const std::shared_ptr<PortRecord> port = portHandle();
    if (!port)
        return false;
    const QBitArray enabled = channels();
    QMutexLocker locker(port->mutex());
    const int count = qMin(int(enabled.size()), ChannelCount);
    for (int n = 0; n < count; ++n) {
        if (!enabled.testBit(n))
            continue;
        QString error;
        if (!port->device()->send({status(0xB0, n), 123, 0}, &error)) {
            qWarning().noquote() << QStringLiteral("Cannot send All Notes Off to MIDI port \"%1\": %2")
                                        .arg(port->deviceName(), error);
            return false;
        }
    }
    return true;
}

QSet<QString> MidiOutput::availablePortNames()
{
    return MidiIO::availablePortNames(MidiDirection::Output);
}
