#include "portrecord.h"

#include "midiinput.h"
#include "mididevicecloser.h"
#include "midiio.h"
#include "midimessage.h"

#include <QDebug>
#include <QMutexLocker>

PortRecord::PortRecord(MidiDirection direction, const QString &deviceName)
    : m_direction(direction), m_deviceName(deviceName)
{
}

PortRecord::~PortRecord()
{
    QMutexLocker locker(&m_mutex);
    MidiDeviceCloser::close(std::move(m_device), m_deviceName);
}

void PortRecord::setDevice(std::unique_ptr<MidiDevice> device)
{
    m_device = std::move(device);
}

void PortRecord::addSubscriber(MidiIO *io)
{
    QMutexLocker locker(&m_subscribersMutex);
    m_subscribers.append(io);
}

void PortRecord::removeSubscriber(MidiIO *io)
{
    QMutexLocker locker(&m_subscribersMutex);
    m_subscribers.removeAll(io);
}

QList<MidiIO *> PortRecord::subscribers() const
{
    QMutexLocker locker(&m_subscribersMutex);
    return m_subscribers;
}

void PortRecord::waitForDelivery()
{
    QMutexLocker locker(&m_subscribersMutex);
}

bool PortRecord::applyIgnoreOptions(QString *error)
{
    if (!m_device)
        return false;
    int ignored = MidiInput::IgnoreSysex | MidiInput::IgnoreTiming | MidiInput::IgnoreActiveSensing;
    for (MidiIO *io : subscribers())
        ignored &= io->ignoredTypes();
    return m_device->setIgnoredTypes(ignored & MidiInput::IgnoreSysex, ignored & MidiInput::IgnoreTiming,
                                     ignored & MidiInput::IgnoreActiveSensing, error);
}

void PortRecord::deliver(const MidiMessage &message)
{
    QMutexLocker locker(&m_subscribersMutex);
    for (MidiIO *io : std::as_const(m_subscribers))
        io->receiveMessage(message);
}
