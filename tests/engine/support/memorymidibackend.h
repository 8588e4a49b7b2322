#ifndef MEMORYMIDIBACKEND_H
#define MEMORYMIDIBACKEND_H

#include "midibackend.h"

#include <QList>
#include <QMutex>
#include <QString>

#include <memory>
#include <vector>

// An in-memory MIDI backend: ports are names, every sent message is recorded
// with its time, messages can be injected into inputs from any thread, and
// listing, opening and sending can be told to fail. Like the MIDI library,
// closing an input waits for a message being handed to its receiver.
class MemoryMidiBackend : public MidiBackend
{
public:
    struct Sent
    {
        QString port;
        std::vector<unsigned char> bytes;
        quint64 time; // MonotonicClock nanoseconds
    };

    MemoryMidiBackend();
    ~MemoryMidiBackend() override;

    bool portNames(MidiDirection direction, QStringList *names, QString *error) override;
    std::unique_ptr<MidiDevice> openPort(MidiDirection direction, const QString &name,
                                         QString *error) override;

    // Installs this backend for the MIDI ports; the destructor uninstalls it.
    void install();

    void addPort(MidiDirection direction, const QString &name);
    // The port disappears: it is no longer listed and open devices fail to send.
    void removePort(MidiDirection direction, const QString &name);

    void setListingFails(bool fails);
    void setOpeningFails(bool fails);
    // Sends fail once this many more messages have been sent to any port.
    void failSendsAfter(int messages);

    QList<Sent> sent() const;
    QList<std::vector<unsigned char>> sentTo(const QString &port) const;
    // The notes the messages leave sounding, as channel * 128 + note number,
    // sorted: a note on with a velocity starts a note, a note off (or a note
    // on of velocity 0) ends it, All Notes Off ends every note of its channel.
    static QList<int> soundingNotes(const QList<std::vector<unsigned char>> &messages);
    void clearSent();

    // Devices currently open, and opened in total, for a port name.
    int openDevices(MidiDirection direction, const QString &name) const;
    int timesOpened(MidiDirection direction, const QString &name) const;

    // Hands a message to every open input device of the port, on the calling
    // thread, unless the device's ignore settings drop it.
    void receive(const QString &port, const std::vector<unsigned char> &bytes, double deltaTime = 0);

    // The ignore settings of the open input device of the port: bits 1 sysex,
    // 2 timing, 4 active sensing; -1 when none is open.
    int ignoredTypes(const QString &port) const;

    struct DeviceState;

private:
    friend class MemoryMidiDevice;
    bool sendFrom(const DeviceState &device, const std::vector<unsigned char> &message, QString *error);

    mutable QMutex m_mutex;
    QStringList m_ports[2];
    bool m_listingFails = false;
    bool m_openingFails = false;
    int m_sendsLeft = -1;
    QList<Sent> m_sent;
    QList<std::shared_ptr<DeviceState>> m_devices;
    QStringList m_opened[2];
    bool m_installed = false;
};

#endif // MEMORYMIDIBACKEND_H
