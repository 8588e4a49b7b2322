#ifndef MIDIINPUT_H
#define MIDIINPUT_H

#include "midiio.h"
#include "midimessage.h"

#include <QList>
#include <QObject>

#include <atomic>

// A MIDI input port. Messages arrive on the backend's thread, are stamped
// with MonotonicClock time, filtered by this input's options, queued and
// announced with readyRead(); receivers drain the queue on their own thread.
//
// Slots connected directly to readyRead() run on the backend's thread while
// the port hands out the message: they must not open, close or set the
// options of inputs of the same port, and no thread may close such an input
// while holding a lock that those slots take. A queued receiver gets the input
// as a plain pointer: it must not use it once the input may have been deleted.
class MidiInput : public QObject, public MidiIO
{
    Q_OBJECT

public:
    enum Option {
        IgnoreSysex = 0x1,
        IgnoreTiming = 0x2,        // Timing Clock and MIDI Time Code quarter frames
        IgnoreActiveSensing = 0x4
    };
    static constexpr int DefaultOptions = IgnoreSysex | IgnoreTiming | IgnoreActiveSensing;
    static constexpr int DefaultLimit = 1024;

    explicit MidiInput(QObject *parent = nullptr);
    ~MidiInput() override;

    bool adopt(std::shared_ptr<PortRecord> port, const QString &name) override;
    bool close() override;

    bool hasMessages() const;
    bool peek(MidiMessage &message) const;
    bool read(MidiMessage &message);
    QList<MidiMessage> readMessages(int max);
    QList<MidiMessage> takeAll();
    void clear();

    int limit() const;
    // Drops the oldest messages beyond the new limit.
    void setLimit(int limit);

    int options() const;
    void setOptions(int options);

    // Queues a message when a port is open (unless the queue is full) and
    // emits readyRead() in every case.
    void appendMessage(const MidiMessage &message);

    // Returns once no received message is being handed to this input, so a
    // receiver that disconnected from readyRead() is no longer called.
    void waitForDelivery();

    int ignoredTypes() const override;
    void receiveMessage(const MidiMessage &message) override;

    // Every input port present now.
    static QSet<QString> availablePortNames();

signals:
    void readyRead(MidiInput *input);

protected:
    void leftPort(PortRecord &port) override;

private:
    bool applyOptions();
    static bool applyOptions(PortRecord &port);
    bool ignores(const MidiMessage &message) const;

    std::atomic<bool> m_attached{false};
    QList<MidiMessage> m_queue;
    int m_limit = DefaultLimit;
    mutable QMutex m_queueMutex;
    int m_options = DefaultOptions;
    mutable QMutex m_optionsMutex;
};

#endif // MIDIINPUT_H
