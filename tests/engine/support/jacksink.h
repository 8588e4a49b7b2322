#ifndef JACKSINK_H
#define JACKSINK_H

#include <QElapsedTimer>
#include <QList>
#include <QMutex>
#include <QString>

#include <rtmidi/RtMidi.h>

#include <vector>

class AbstractInstrument;
class MidiOutput;

// A virtual JACK input port that records what arrives, with the time it arrived.
// Its client is named after the test process, so tests running side by side on one
// server never see each other's ports.
class JackSink
{
public:
    using Bytes = std::vector<unsigned char>;

    struct Arrival
    {
        qint64 ms; // since the sink opened
        Bytes bytes;
        quint64 time; // MonotonicClock nanoseconds when the callback ran
    };

    // What the connection checks send; the readers below leave it out.
    static const Bytes Probe;

    // Opens `port` on a client named `client`, a dash and the process id.
    JackSink(const QByteArray &client, const char *port);

    // The port's name as the outputs list it; empty until JACK lists it.
    QString name() const;

    // Everything that arrived so far.
    QList<Bytes> messages() const;
    // What arrived since the last take.
    QList<Bytes> take();
    QList<Arrival> takeArrivals();
    void clear();

    // Takes until `count` messages have arrived (or ten seconds passed).
    QList<Bytes> waitFor(int count);

    // True once a probe sent through `output` (or played by `instrument`) arrives:
    // JACK connects ports a little after they open.
    bool connected(MidiOutput &output);
    bool reachedBy(AbstractInstrument &instrument);

private:
    template<typename Send>
    bool probe(Send send);
    bool containsProbe() const;
    static void received(double, std::vector<unsigned char> *message, void *sink);

    const QString m_client;
    const QString m_port;
    QElapsedTimer m_clock;
    // Declared before the port: its callback may run as soon as the port exists.
    mutable QMutex m_mutex;
    QList<Arrival> m_arrivals;
    RtMidiIn m_in;
};

#endif // JACKSINK_H
