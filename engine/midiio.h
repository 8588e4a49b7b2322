#ifndef MIDIIO_H
#define MIDIIO_H

#include "midibackend.h"

#include <QBitArray>
#include <QMutex>
#include <QSet>
#include <QString>

#include <memory>

class PortRecord;
struct MidiMessage;

// A named MIDI port that many objects may open at once: per direction, one
// backend port per name is shared by every MidiIO that opened that name.
//
// A name is opened as given when a port has exactly that name. Otherwise the
// port whose name matches once trailing ALSA client:port numbers (" 14:0")
// are ignored on both sides is opened, because those numbers change when a
// device is replugged; portName() keeps the name as given.
class MidiIO
{
public:
    explicit MidiIO(MidiDirection direction);
    virtual ~MidiIO();

    MidiIO(const MidiIO &) = delete;
    MidiIO &operator=(const MidiIO &) = delete;

    MidiDirection direction() const { return m_direction; }

    // False when a port is already open (that port stays open), when no port
    // has the name, when the name is one of Velka's own ports (OwnMidiPorts),
    // or when the backend fails; failures are printed. Waits on the MIDI
    // system: acquirePort() and adopt() split it for callers that must not.
    bool open(const QString &name);
    // Takes a port that acquirePort() opened for `name`; false, letting the
    // port go, when a port is open already.
    virtual bool adopt(std::shared_ptr<PortRecord> port, const QString &name);
    // False when no port was open.
    virtual bool close();

    // Bit n set: MIDI channel n + 1 is used. Empty at construction.
    virtual void setChannels(const QBitArray &channels);
    QBitArray channels() const;

    // The name given to open(); a null string while closed.
    QString portName() const;
    bool isOpen() const;

    std::shared_ptr<PortRecord> portHandle() const;

    // Inputs: the message kinds this object ignores (MidiInput::Option flags).
    virtual int ignoredTypes() const { return 0; }
    // Inputs: a message received on the open port; the backend's thread.
    virtual void receiveMessage(const MidiMessage &) {}

    // The port of the direction that opens `name`, shared with every object
    // that has it open; null with the reason when it cannot be opened. Any
    // thread: it waits on the MIDI system.
    static std::shared_ptr<PortRecord> acquirePort(MidiDirection direction, const QString &name, QString *error);

    // The name without trailing ALSA client:port numbers.
    static QString stableName(const QString &name);
    // The port name `name` opens among `available`, or a null string.
    static QString resolveName(const QString &name, const QStringList &available);

protected:
    static QSet<QString> availablePortNames(MidiDirection direction);
    // Called by close() after this object left the port's subscribers, while
    // the port is still held.
    virtual void leftPort(PortRecord &) {}

    mutable QMutex m_mutex;

private:
    const MidiDirection m_direction;
    std::shared_ptr<PortRecord> m_port;
    QString m_portName;
    QBitArray m_channels;
};

#endif // MIDIIO_H
