#include "memorymidibackend.h"

#include "monotonicclock.h"

#include <QMutexLocker>
#include <QSet>

#include <algorithm>

struct MemoryMidiBackend::DeviceState
{
    MidiDirection direction;
    QString name;
    bool closed = false;
    int ignored = 0x7;
    MidiDevice::Receiver receiver;
    // Held while a message is handed to the receiver; close waits for it.
    QMutex delivery;
};

class MemoryMidiDevice : public MidiDevice
{
public:
    MemoryMidiDevice(MemoryMidiBackend *backend, std::shared_ptr<MemoryMidiBackend::DeviceState> state)
        : m_backend(backend), m_state(std::move(state))
    {
    }

    ~MemoryMidiDevice() override
    {
        QString ignored;
        close(&ignored);
    }

    bool send(const std::vector<unsigned char> &message, QString *error) override
    {
        return m_backend->sendFrom(*m_state, message, error);
    }

    bool setReceiver(Receiver receiver, QString *) override
    {
        QMutexLocker locker(&m_state->delivery);
        m_state->receiver = std::move(receiver);
        return true;
    }

    bool setIgnoredTypes(bool sysex, bool timing, bool activeSensing, QString *) override
    {
        QMutexLocker locker(&m_backend->m_mutex);
        m_state->ignored = (sysex ? 1 : 0) | (timing ? 2 : 0) | (activeSensing ? 4 : 0);
        return true;
    }

    bool close(QString *) override
    {
        QMutexLocker delivery(&m_state->delivery);
        QMutexLocker locker(&m_backend->m_mutex);
        if (!m_state->closed) {
            m_state->closed = true;
            m_state->receiver = nullptr;
            m_backend->m_devices.removeAll(m_state);
        }
        return true;
    }

private:
    MemoryMidiBackend *m_backend;
    std::shared_ptr<MemoryMidiBackend::DeviceState> m_state;
};

MemoryMidiBackend::MemoryMidiBackend() = default;

MemoryMidiBackend::~MemoryMidiBackend()
{
    if (m_installed)
        MidiBackend::setInstance(nullptr);
}

void MemoryMidiBackend::install()
{
    MidiBackend::setInstance(this);
    m_installed = true;
}

bool MemoryMidiBackend::portNames(MidiDirection direction, QStringList *names, QString *error)
{
    QMutexLocker locker(&m_mutex);
    if (m_listingFails) {
        *error = QStringLiteral("listing failed");
        return false;
    }
    *names = m_ports[int(direction)];
    return true;
}

std::unique_ptr<MidiDevice> MemoryMidiBackend::openPort(MidiDirection direction, const QString &name,
                                                        QString *error)
{
    QMutexLocker locker(&m_mutex);
    if (m_openingFails || !m_ports[int(direction)].contains(name)) {
        *error = QStringLiteral("cannot open %1").arg(name);
        return nullptr;
    }
    auto state = std::make_shared<DeviceState>();
    state->direction = direction;
    state->name = name;
    m_devices.append(state);
    m_opened[int(direction)].append(name);
    return std::make_unique<MemoryMidiDevice>(this, state);
}

void MemoryMidiBackend::addPort(MidiDirection direction, const QString &name)
{
    QMutexLocker locker(&m_mutex);
    m_ports[int(direction)].append(name);
}

void MemoryMidiBackend::removePort(MidiDirection direction, const QString &name)
{
    QMutexLocker locker(&m_mutex);
    m_ports[int(direction)].removeAll(name);
}

void MemoryMidiBackend::setListingFails(bool fails)
{
    QMutexLocker locker(&m_mutex);
    m_listingFails = fails;
}

void MemoryMidiBackend::setOpeningFails(bool fails)
{
    QMutexLocker locker(&m_mutex);
    m_openingFails = fails;
}

void MemoryMidiBackend::failSendsAfter(int messages)
{
    QMutexLocker locker(&m_mutex);
    m_sendsLeft = messages;
}

QList<MemoryMidiBackend::Sent> MemoryMidiBackend::sent() const
{
    QMutexLocker locker(&m_mutex);
    return m_sent;
}

QList<std::vector<unsigned char>> MemoryMidiBackend::sentTo(const QString &port) const
{
    QMutexLocker locker(&m_mutex);
    QList<std::vector<unsigned char>> messages;
    for (const Sent &s : m_sent) {
        if (s.port == port)
            messages.append(s.bytes);
    }
    return messages;
}

QList<int> MemoryMidiBackend::soundingNotes(const QList<std::vector<unsigned char>> &messages)
{
    QSet<int> sounding;
    for (const std::vector<unsigned char> &m : messages) {
        if (m.size() != 3)
            continue;
        const int channel = m[0] & 0x0F;
        const int kind = m[0] & 0xF0;
        if (kind == 0x90 && m[2] != 0)
            sounding.insert(channel * 128 + m[1]);
        else if (kind == 0x80 || kind == 0x90)
            sounding.remove(channel * 128 + m[1]);
        else if (kind == 0xB0 && m[1] == 123)
            sounding.removeIf([channel](int note) { return note / 128 == channel; });
    }
    QList<int> notes(sounding.cbegin(), sounding.cend());
    std::sort(notes.begin(), notes.end());
    return notes;
}

void MemoryMidiBackend::clearSent()
{
    QMutexLocker locker(&m_mutex);
    m_sent.clear();
}

int MemoryMidiBackend::openDevices(MidiDirection direction, const QString &name) const
{
    QMutexLocker locker(&m_mutex);
    int count = 0;
    for (const auto &device : m_devices) {
        if (device->direction == direction && device->name == name)
            ++count;
    }
    return count;
}

int MemoryMidiBackend::timesOpened(MidiDirection direction, const QString &name) const
{
    QMutexLocker locker(&m_mutex);
    return int(m_opened[int(direction)].count(name));
}

void MemoryMidiBackend::receive(const QString &port, const std::vector<unsigned char> &bytes,
                                double deltaTime)
{
    QList<std::shared_ptr<DeviceState>> targets;
    {
        QMutexLocker locker(&m_mutex);
        for (const auto &device : m_devices) {
            if (device->direction == MidiDirection::Input && device->name == port)
                targets.append(device);
        }
    }
    for (const auto &device : targets) {
        QMutexLocker delivery(&device->delivery);
        int ignored;
        {
            QMutexLocker locker(&m_mutex);
            if (device->closed || !device->receiver)
                continue;
            ignored = device->ignored;
        }
        const unsigned char status = bytes.empty() ? 0 : bytes.front();
        if (((status == 0xF0 || status == 0xF7) && (ignored & 1))
            || ((status == 0xF8 || status == 0xF1) && (ignored & 2)) || (status == 0xFE && (ignored & 4)))
            continue;
        device->receiver(deltaTime, bytes);
    }
}

int MemoryMidiBackend::ignoredTypes(const QString &port) const
{
    QMutexLocker locker(&m_mutex);
    for (const auto &device : m_devices) {
        if (device->direction == MidiDirection::Input && device->name == port)
            return device->ignored;
    }
    return -1;
}

bool MemoryMidiBackend::sendFrom(const DeviceState &device, const std::vector<unsigned char> &message,
                                 QString *error)
{
    QMutexLocker locker(&m_mutex);
    if (device.closed || !m_ports[int(device.direction)].contains(device.name)) {
        *error = QStringLiteral("port %1 has gone").arg(device.name);
        return false;
    }
    if (m_sendsLeft == 0) {
        *error = QStringLiteral("send failed");
        return false;
    }
    if (m_sendsLeft > 0)
        --m_sendsLeft;
    m_sent.append({device.name, message, MonotonicClock::nanoseconds()});
    return true;
}
