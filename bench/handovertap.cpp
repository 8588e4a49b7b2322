#include "handovertap.h"

class HandOverTap::Device : public MidiDevice
{
public:
    Device(std::unique_ptr<MidiDevice> device, HandOverTap *tap, const QString &port)
        : m_device(std::move(device)), m_tap(tap), m_port(port)
    {
    }

    bool send(const std::vector<unsigned char> &message, QString *error) override
    {
        if (!m_device->send(message, error))
            return false;
        m_tap->handedOver(m_port, message);
        return true;
    }
    bool setReceiver(Receiver receiver, QString *error) override
    {
        return m_device->setReceiver(std::move(receiver), error);
    }
    bool setIgnoredTypes(bool sysex, bool timing, bool activeSensing, QString *error) override
    {
        return m_device->setIgnoredTypes(sysex, timing, activeSensing, error);
    }
    bool close(QString *error) override { return m_device->close(error); }

private:
    std::unique_ptr<MidiDevice> m_device;
    HandOverTap *const m_tap;
    const QString m_port;
};

bool HandOverTap::portNames(MidiDirection direction, QStringList *names, QString *error)
{
    return m_library->portNames(direction, names, error);
}

std::unique_ptr<MidiDevice> HandOverTap::openPort(MidiDirection direction, const QString &name, QString *error)
{
    std::unique_ptr<MidiDevice> device = m_library->openPort(direction, name, error);
    return device ? std::make_unique<Device>(std::move(device), this, name) : nullptr;
}
