#ifndef MIDIBACKEND_H
#define MIDIBACKEND_H

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

enum class MidiDirection { Input = 0, Output = 1 };

// One open port of a MIDI backend. Every operation reports failure through
// its result and a message; none throws. Calls on one device are serialised
// by its owner (PortRecord).
class MidiDevice
{
public:
    // Called on the backend's own thread for every received message.
    typedef std::function<void(double deltaTime, const std::vector<unsigned char> &bytes)> Receiver;

    virtual ~MidiDevice() = default;

    virtual bool send(const std::vector<unsigned char> &message, QString *error) = 0;
    // Inputs: installs the receiver; called once, right after opening.
    virtual bool setReceiver(Receiver receiver, QString *error) = 0;
    // Inputs: which message kinds the backend drops before they reach the receiver.
    virtual bool setIgnoredTypes(bool sysex, bool timing, bool activeSensing, QString *error) = 0;
    // Closes the port; once it returns the receiver is no longer called.
    virtual bool close(QString *error) = 0;
};

// A long-lived connection to a MIDI system that hears of ports coming and
// going through the system's own notifications. Made and used on one thread;
// the notification callback runs on a thread of the MIDI library.
class MidiPortMonitor
{
public:
    virtual ~MidiPortMonitor() = default;

    // Lists the ports through this connection.
    virtual bool portNames(MidiDirection direction, QStringList *names, QString *error) = 0;
    // False once the MIDI system went away: the monitor is of no more use.
    virtual bool isConnected() const = 0;
};

// Where MIDI ports come from: the MIDI library, or a replacement installed
// by tests. Operations report failure through their result and a message.
class MidiBackend
{
public:
    virtual ~MidiBackend() = default;

    virtual bool portNames(MidiDirection direction, QStringList *names, QString *error) = 0;
    // Opens the port with exactly this name; null on failure.
    virtual std::unique_ptr<MidiDevice> openPort(MidiDirection direction, const QString &name,
                                                 QString *error) = 0;

    // Called from any thread when ports may have changed or the MIDI system
    // went away.
    typedef std::function<void()> Notify;
    // The connection that tells of port changes; null with a message when the
    // MIDI system cannot be reached. This one never notifies: its lists are
    // read when asked.
    virtual std::unique_ptr<MidiPortMonitor> monitorPorts(Notify changed, QString *error);
    // The MIDI system's name as the user knows it ("JACK", "ALSA").
    virtual QString systemName() const { return QStringLiteral("MIDI"); }

    // The installed backend; the MIDI library's unless another was installed.
    static MidiBackend *instance();
    // Installs a backend (not owned); null restores the MIDI library's. Ports
    // opened through the previous backend keep using it until they close.
    static void setInstance(MidiBackend *backend);
};

#endif // MIDIBACKEND_H
