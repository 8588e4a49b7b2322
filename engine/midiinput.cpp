#include "midiinput.h"

#include "portrecord.h"

#include <QDebug>
#include <QMutexLocker>

MidiInput::MidiInput(QObject *parent) : QObject(parent), MidiIO(MidiDirection::Input)
{
}

MidiInput::~MidiInput()
{
    close();
}

bool MidiInput::adopt(std::shared_ptr<PortRecord> port, const QString &name)
{
    if (!MidiIO::adopt(std::move(port), name))
        return false;
    m_attached = true;
    applyOptions();
    return true;
}

bool MidiInput::close()
{
    m_attached = false;
    const bool closed = MidiIO::close();
    clear();
    return closed;
}

bool MidiInput::hasMessages() const
{
    QMutexLocker locker(&m_queueMutex);
    return !m_queue.isEmpty();
}

bool MidiInput::peek(MidiMessage &message) const
{
    QMutexLocker locker(&m_queueMutex);
    if (m_queue.isEmpty())
        return false;
    message = m_queue.first();
    return true;
}

bool MidiInput::read(MidiMessage &message)
{
    QMutexLocker locker(&m_queueMutex);
    if (m_queue.isEmpty())
        return false;
    message = m_queue.takeFirst();
    return true;
}

QList<MidiMessage> MidiInput::readMessages(int max)
{
    QMutexLocker locker(&m_queueMutex);
    const int count = qBound(0, max, int(m_queue.size()));
    QList<MidiMessage> taken = m_queue.mid(0, count);
    m_queue.remove(0, count);
    return taken;
}

QList<MidiMessage> MidiInput::takeAll()
{
    QMutexLocker locker(&m_queueMutex);
    QList<MidiMessage> taken;
    taken.swap(m_queue);
    return taken;
}

void MidiInput::clear()
{
    QMutexLocker locker(&m_queueMutex);
    m_queue.clear();
}

int MidiInput::limit() const
{
    QMutexLocker locker(&m_queueMutex);
    return m_limit;
}

void MidiInput::setLimit(int limit)
{
    QMutexLocker locker(&m_queueMutex);
    const int excess = int(m_queue.size()) - qMax(0, limit);
    if (excess > 0)
        m_queue.remove(0, excess);
    m_limit = limit;
}

int MidiInput::options() const
{
    QMutexLocker locker(&m_optionsMutex);
    return m_options;
}

void MidiInput::setOptions(int options)
{
    {
        QMutexLocker locker(&m_optionsMutex);
        m_options = options;
    }
    applyOptions();
}

bool MidiInput::applyOptions()
{
    const std::shared_ptr<PortRecord> port = portHandle();
    return port && applyOptions(*port);
}

bool MidiInput::applyOptions(PortRecord &port)
{
    QMutexLocker locker(port.mutex());
    QString error;
    if (!port.applyIgnoreOptions(&error)) {
        qWarning().noquote() << QStringLiteral("Cannot set the filters of MIDI port \"%1\": %2")
                                    .arg(port.deviceName(), error);
        return false;
    }
    return true;
}

void MidiInput::leftPort(PortRecord &port)
{
    // The others may ignore what this input let through.
    if (!port.subscribers().isEmpty())
        applyOptions(port);
}

void MidiInput::appendMessage(const MidiMessage &message)
{
    if (m_attached) {
        QMutexLocker locker(&m_queueMutex);
        if (m_queue.size() < m_limit)
            m_queue.append(message);
    }
    emit readyRead(this);
}

void MidiInput::waitForDelivery()
{
    if (const std::shared_ptr<PortRecord> port = portHandle())
        port->waitForDelivery();
}

int MidiInput::ignoredTypes() const
{
    return options();
}

void MidiInput::receiveMessage(const MidiMessage &message)
{
    if (!ignores(message))
        appendMessage(message);
}

bool MidiInput::ignores(const MidiMessage &message) const
{
    if (message.bytes.empty())
        return false;
    const int ignored = options();
    switch (message.bytes.front()) {
    case 0xF0:
    case 0xF7:
        return ignored & IgnoreSysex;
    case 0xF1:
    case 0xF8:
        return ignored & IgnoreTiming;
    case 0xFE:
        return ignored & IgnoreActiveSensing;
    default:
        return false;
    }
}

QSet<QString> MidiInput::availablePortNames()
{
    return MidiIO::availablePortNames(MidiDirection::Input);
}
