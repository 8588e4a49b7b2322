#include "midioutput.h"

#include "portrecord.h"

#include <QDebug>
#include <QMutexLocker>

#include <algorithm>
#include <limits>

namespace {

constexpr int ChannelCount = MidiOutput::ChannelCount;

QBitArray united(const QBitArray &a, const QBitArray &b)
{
    QBitArray result(ChannelCount);
    for (int n = 0; n < ChannelCount; ++n)
        result.setBit(n, (n < a.size() && a.testBit(n)) || (n < b.size() && b.testBit(n)));
    return result;
}

bool sameChannels(const QBitArray &a, const QBitArray &b)
{
    for (int n = 0; n < ChannelCount; ++n) {
        if ((n < a.size() && a.testBit(n)) != (n < b.size() && b.testBit(n)))
            return false;
    }
    return true;
}

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

void MidiOutput::setChannels(const QBitArray &channels)
{
    if (!sameChannels(channels, this->channels())) {
        if (const std::shared_ptr<PortRecord> port = portHandle()) {
            QMutexLocker locker(port->mutex());
            silence(*port, soundingChannels());
        } else {
            std::lock_guard<std::mutex> notes(m_notesMutex);
            m_sounding = {};
        }
    }
    MidiIO::setChannels(channels);
}

QBitArray MidiOutput::soundingChannels() const
{
    std::lock_guard<std::mutex> notes(m_notesMutex);
    QBitArray result(ChannelCount);
    for (int n = 0; n < ChannelCount; ++n) {
        const auto &notes = m_sounding[size_t(n)];
        result.setBit(n, std::any_of(notes.cbegin(), notes.cend(), [](quint16 count) { return count != 0; }));
    }
    return result;
}

QBitArray MidiOutput::channelsFor(const InstrumentEvent &event, const QBitArray &enabled)
{
    const size_t pitch = size_t(event.pitch & 0x7F);
    switch (event.type) {
    case InstrumentEvent::NoteOn: {
        const int count = qMin(int(enabled.size()), ChannelCount);
        for (int n = 0; n < count; ++n) {
            quint16 &sounding = m_sounding[size_t(n)][pitch];
            if (enabled.testBit(n) && sounding < std::numeric_limits<quint16>::max())
                ++sounding;
        }
        return enabled;
    }
    case InstrumentEvent::NoteOff: {
        QBitArray channels(ChannelCount);
        bool known = false;
        for (int n = 0; n < ChannelCount; ++n) {
            quint16 &sounding = m_sounding[size_t(n)][pitch];
            if (sounding != 0) {
                --sounding;
                channels.setBit(n);
                known = true;
            }
        }
        return known ? channels : enabled;
    }
    default:
        return enabled;
    }
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
        QBitArray eventChannels;
        {
            std::lock_guard<std::mutex> notes(m_notesMutex);
            eventChannels = channelsFor(event, enabled);
        }
        for (const std::vector<unsigned char> &message : messagesFor(event, eventChannels)) {
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
    // The channels are read before the port's mutex is taken: opening a port
    // takes this object's mutex first and the port's after it.
    const QBitArray enabled = channels();
    QMutexLocker locker(port->mutex());
    return silence(*port, united(enabled, soundingChannels()));
}

bool MidiOutput::silence(PortRecord &port, const QBitArray &channels)
{
    {
        std::lock_guard<std::mutex> notes(m_notesMutex);
        for (int n = 0; n < ChannelCount; ++n) {
            if (n < channels.size() && channels.testBit(n))
                m_sounding[size_t(n)] = {};
        }
    }
    const int count = qMin(int(channels.size()), ChannelCount);
    for (int n = 0; n < count; ++n) {
        if (!channels.testBit(n))
            continue;
        QString error;
        if (!port.device()->send({status(0xB0, n), 123, 0}, &error)) {
            qWarning().noquote() << QStringLiteral("Cannot send All Notes Off to MIDI port \"%1\": %2")
                                        .arg(port.deviceName(), error);
            return false;
        }
    }
    return true;
}

QSet<QString> MidiOutput::availablePortNames()
{
    return MidiIO::availablePortNames(MidiDirection::Output);
}
