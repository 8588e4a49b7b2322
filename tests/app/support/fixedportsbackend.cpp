#include "fixedportsbackend.h"

#include <QMutexLocker>

class FixedPortsDevice : public MidiDevice
{
public:
    FixedPortsDevice(FixedPortsBackend *backend, MidiDirection direction, const QString &name)
        : m_backend(backend), m_direction(direction), m_name(name)
    {
    }
    ~FixedPortsDevice() override { close(nullptr); }

    bool send(const std::vector<unsigned char> &, QString *) override { return true; }
    bool setReceiver(Receiver, QString *) override { return true; }
    bool setIgnoredTypes(bool, bool, bool, QString *) override { return true; }
    bool close(QString *) override
    {
        if (m_open)
            m_backend->closed(m_direction, m_name);
        m_open = false;
        return true;
    }

private:
    FixedPortsBackend *m_backend;
    MidiDirection m_direction;
    QString m_name;
    bool m_open = true;
};

FixedPortsBackend::~FixedPortsBackend() = default;

void FixedPortsBackend::setPorts(MidiDirection direction, const QStringList &names)
{
    QMutexLocker locker(&m_mutex);
    m_ports[int(direction)] = names;
}

QStringList FixedPortsBackend::openPorts(MidiDirection direction) const
{
    QMutexLocker locker(&m_mutex);
    return m_open[int(direction)];
}

bool FixedPortsBackend::portNames(MidiDirection direction, QStringList *names, QString *)
{
    QMutexLocker locker(&m_mutex);
    *names = m_ports[int(direction)];
    return true;
}

std::unique_ptr<MidiDevice> FixedPortsBackend::openPort(MidiDirection direction,
                                                        const QString &name, QString *error)
{
    QMutexLocker locker(&m_mutex);
    if (!m_ports[int(direction)].contains(name)) {
        *error = QStringLiteral("no such port");
        return nullptr;
    }
    m_open[int(direction)].append(name);
    return std::make_unique<FixedPortsDevice>(this, direction, name);
}

void FixedPortsBackend::closed(MidiDirection direction, const QString &name)
{
    QMutexLocker locker(&m_mutex);
    m_open[int(direction)].removeOne(name);
}
