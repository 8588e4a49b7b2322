#ifndef PLAYBACKCAPTURE_H
#define PLAYBACKCAPTURE_H

#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <vector>

#include <jack/jack.h>

// A JACK client with MIDI input ports that stamps every event it receives
// with the time it sits at on the wire: jack_get_time() when the process
// cycle runs plus the event's frame offset, turned into MonotonicClock
// nanoseconds, so the stamps compare with the playback clock.
// The process callback only writes into storage made in advance.
class PlaybackCapture
{
public:
    struct Event
    {
        quint64 time; // MonotonicClock nanoseconds
        int port;     // index into the port list given to open()
        unsigned char bytes[3];
        unsigned char size;
    };

    explicit PlaybackCapture(size_t capacity = 1 << 17);
    ~PlaybackCapture();

    // Opens the client (never starting a server) and registers one MIDI input
    // port per name; false with a message when that fails.
    bool open(const QString &clientName, const QStringList &ports, QString *error);
    void close();

    // The full JACK name of a port ("client:port").
    QString fullPortName(int port) const;
    quint32 periodFrames() const;
    quint32 sampleRate() const;

    // Events received since the last call, in arrival order; also how many did
    // not fit into the storage.
    std::vector<Event> take(size_t *lost = nullptr);

    // A server in asynchronous mode that runs late may skip a client's cycle
    // (whatever was written to its ports then is gone) or run it twice (the
    // same events again; the second run is not read). Counted since the last call.
    struct Cycles
    {
        size_t skipped = 0;  // cycles the server went through without running this client
        size_t repeated = 0; // runs of a cycle already run
    };
    Cycles takeCycles();

private:
    static int processCallback(jack_nframes_t frames, void *self);
    int process(jack_nframes_t frames);
    void calibrate();
    quint64 toMonotonic(jack_time_t microseconds) const;

    jack_client_t *m_client = nullptr;
    std::vector<jack_port_t *> m_ports;
    std::vector<Event> m_events;
    std::atomic<size_t> m_written{0};
    std::atomic<size_t> m_lost{0};
    // Frame time of the cycle last run; touched by the process callback only.
    jack_nframes_t m_lastCycle = 0;
    bool m_ranCycle = false;
    std::atomic<size_t> m_skippedCycles{0};
    std::atomic<size_t> m_repeatedCycles{0};
    size_t m_taken = 0;
    // Two readings of both clocks; stamps are mapped between them linearly.
    double m_jackAt[2] = {0, 0};
    double m_monotonicAt[2] = {0, 0};
};

#endif // PLAYBACKCAPTURE_H
