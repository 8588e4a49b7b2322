#include "midiio.h"

#include "midimessage.h"
#include "midiportwatcher.h"
#include "monotonicclock.h"
#include "ownmidiports.h"
#include "portrecord.h"

#include <QDebug>
#include <QHash>
#include <QMutexLocker>
#include <QRegularExpression>

#include <atomic>
#include <memory>

namespace {

// The ports open per direction, by the name they were opened under.
struct Registry
{
    QMutex mutex;
    QHash<QString, std::weak_ptr<PortRecord>> ports;
};

Registry &registry(MidiDirection direction)
{
    static Registry registries[2];
    return registries[int(direction)];
}

} // namespace

MidiIO::MidiIO(MidiDirection direction) : m_direction(direction)
{
}

MidiIO::~MidiIO() = default;

bool MidiIO::open(const QString &name)
{
    {
        QMutexLocker locker(&m_mutex);
        if (m_port)
            return false;
    }
    // Opening waits for the MIDI system; this object's mutex stays free
    // meanwhile, so asking whether it is open never waits with it.
    QString error;
    std::shared_ptr<PortRecord> port = acquirePort(m_direction, name, &error);
    if (!port) {
        qWarning().noquote() << QStringLiteral("Cannot open MIDI port \"%1\": %2").arg(name, error);
        return false;
    }
    return adopt(std::move(port), name);
}

bool MidiIO::adopt(std::shared_ptr<PortRecord> port, const QString &name)
{
    QMutexLocker locker(&m_mutex);
    if (m_port || !port || port->direction() != m_direction)
        return false;
    port->addSubscriber(this);
    m_port = std::move(port);
    m_portName = name;
    return true;
}

std::shared_ptr<PortRecord> MidiIO::acquirePort(MidiDirection direction, const QString &name, QString *error)
{
    if (OwnMidiPorts::contains(name)) {
        *error = QStringLiteral("it is a port of %1 itself").arg(QLatin1String(OwnMidiPorts::clientName()));
        return nullptr;
    }
    // The registry is never held while the MIDI system is asked: a port that
    // waits on it must not hold up the others, nor a close.
    Registry &ports = registry(direction);
    {
        QMutexLocker locker(&ports.mutex);
        if (std::shared_ptr<PortRecord> shared = ports.ports.value(name).lock())
            return shared;
    }

    MidiBackend *backend = MidiBackend::instance();
    QStringList available;
    if (!backend->portNames(direction, &available, error))
        return nullptr;
    available.removeIf([](const QString &port) { return OwnMidiPorts::contains(port); });
    const QString deviceName = resolveName(name, available);
    if (deviceName.isNull()) {
        *error = QStringLiteral("no such port");
        return nullptr;
    }
    {
        QMutexLocker locker(&ports.mutex);
        if (std::shared_ptr<PortRecord> shared = ports.ports.value(deviceName).lock())
            return shared;
    }

    auto port = std::make_shared<PortRecord>(direction, deviceName);
    {
        QMutexLocker portLocker(port->mutex());
        std::unique_ptr<MidiDevice> device = backend->openPort(direction, deviceName, error);
        if (!device)
            return nullptr;
        if (direction == MidiDirection::Input) {
            // The device closes after the record is gone, and may receive until then.
            const std::weak_ptr<PortRecord> record = port;
            const bool receiving = device->setReceiver(
                [record](double deltaTime, const std::vector<unsigned char> &bytes) {
                    const std::shared_ptr<PortRecord> receiver = record.lock();
                    if (!receiver)
                        return;
                    MidiMessage message;
                    message.timeStamp = MonotonicClock::nanoseconds();
                    message.deltaTime = deltaTime;
                    message.bytes = bytes;
                    receiver->deliver(message);
                },
                error);
            if (!receiving) {
                QString ignored;
                device->close(&ignored);
                return nullptr;
            }
        }
        port->setDevice(std::move(device));
    }
    QMutexLocker locker(&ports.mutex);
    // Opened by another object meanwhile: that port is shared, this one goes.
    if (std::shared_ptr<PortRecord> shared = ports.ports.value(deviceName).lock())
        return shared;
    ports.ports.insert(deviceName, port);
    return port;
}

bool MidiIO::close()
{
    std::shared_ptr<PortRecord> port;
    {
        QMutexLocker locker(&m_mutex);
        port.swap(m_port);
        m_portName = QString();
    }
    if (!port)
        return false;
    port->removeSubscriber(this);
    leftPort(*port);
    const QString deviceName = port->deviceName();
    // The last reference closes the port, outside this object's mutex.
    port.reset();
    Registry &ports = registry(m_direction);
    QMutexLocker locker(&ports.mutex);
    const auto entry = ports.ports.constFind(deviceName);
    if (entry != ports.ports.constEnd() && entry->expired())
        ports.ports.erase(entry);
    return true;
}

void MidiIO::setChannels(const QBitArray &channels)
{
    QMutexLocker locker(&m_mutex);
    m_channels = channels;
}

QBitArray MidiIO::channels() const
{
    QMutexLocker locker(&m_mutex);
    return m_channels;
}

QString MidiIO::portName() const
{
    QMutexLocker locker(&m_mutex);
    return m_portName;
}

bool MidiIO::isOpen() const
{
    return !portName().isNull();
}

std::shared_ptr<PortRecord> MidiIO::portHandle() const
{
    QMutexLocker locker(&m_mutex);
    return m_port;
}

QString MidiIO::stableName(const QString &name)
{
    static const QRegularExpression clientPort(QStringLiteral("\\s+\\d+:\\d+$"));
    QString stable = name;
    stable.remove(clientPort);
    return stable;
}

QString MidiIO::resolveName(const QString &name, const QStringList &available)
{
    if (available.contains(name))
        return name;
    const QString stable = stableName(name);
    for (const QString &candidate : available) {
        if (stableName(candidate) == stable)
            return candidate;
    }
    return QString();
}

QSet<QString> MidiIO::availablePortNames(MidiDirection direction)
{
    QStringList names;
    // While a watcher runs, its lists are the answer: asking the MIDI system
    // here could wait on it.
    if (MidiPortWatcher::publishedPortNames(direction, &names))
        return QSet<QString>(names.begin(), names.end());
    // A MIDI system that is missing or went away is reported when listing
    // starts failing and when it works again, not at every attempt.
    static std::atomic<bool> failing{false};
    QString error;
    if (!MidiBackend::instance()->portNames(direction, &names, &error)) {
        if (!failing.exchange(true))
            qWarning().noquote() << "Cannot list MIDI ports:" << error;
        return {};
    }
    if (failing.exchange(false))
        qWarning().noquote() << "MIDI ports can be listed again";
    names.removeIf([](const QString &port) { return OwnMidiPorts::contains(port); });
    return QSet<QString>(names.begin(), names.end());
}
