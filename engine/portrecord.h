#ifndef PORTRECORD_H
#define PORTRECORD_H

#include "midibackend.h"

#include <QList>
#include <QMutex>

#include <memory>

class MidiIO;
struct MidiMessage;

// One open MIDI port, shared by reference between the MidiIO objects that
// opened its name. The port closes when the last reference goes, on the
// closing thread of MidiDeviceCloser.
class PortRecord
{
public:
    PortRecord(MidiDirection direction, const QString &deviceName);
    ~PortRecord();

    PortRecord(const PortRecord &) = delete;
    PortRecord &operator=(const PortRecord &) = delete;

    MidiDirection direction() const { return m_direction; }
    // The name the port was opened under.
    QString deviceName() const { return m_deviceName; }

    // Serialises every use of the device.
    QMutex *mutex() { return &m_mutex; }
    // The open device; use it under mutex().
    MidiDevice *device() const { return m_device.get(); }
    void setDevice(std::unique_ptr<MidiDevice> device);

    void addSubscriber(MidiIO *io);
    // Once it returns, no received message is being handed to `io`.
    void removeSubscriber(MidiIO *io);
    QList<MidiIO *> subscribers() const;
    // Returns once no received message is being handed to the subscribers.
    void waitForDelivery();

    // Inputs: sets the device to drop only what every subscriber ignores, so
    // each subscriber still sees what it asked for. Call under mutex().
    bool applyIgnoreOptions(QString *error);

    // Hands a received message to every subscriber; the backend's thread.
    void deliver(const MidiMessage &message);

private:
    const MidiDirection m_direction;
    const QString m_deviceName;
    QMutex m_mutex;
    std::unique_ptr<MidiDevice> m_device;
    // Guards the subscribers and is held while a message is handed to them;
    // never held while the device opens or closes.
    mutable QMutex m_subscribersMutex;
    QList<MidiIO *> m_subscribers;
};

#endif // PORTRECORD_H
