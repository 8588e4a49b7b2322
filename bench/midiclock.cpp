// How evenly the MIDI clock sender spaces its Timing Clocks, how late each one leaves
// against the moment the playback position crosses it, and how much processor time the
// sender thread uses while playing and while paused.
//
// The sender plays a document clock (MidiSync) into a port of a recording backend that
// stamps every message with MonotonicClock time at the send call.

#include "benchstats.h"
#include "midibackend.h"
#include "midioutputsyncclock.h"
#include "midisync.h"
#include "monotonicclock.h"

#include <QCoreApplication>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

const QString PortName = QStringLiteral("Clock Bench");

// One output port that keeps the send times of Timing Clocks.
class StampingBackend : public MidiBackend
{
public:
    class Device : public MidiDevice
    {
    public:
        explicit Device(StampingBackend *backend) : m_backend(backend) {}
        bool send(const std::vector<unsigned char> &message, QString *) override
        {
            const quint64 now = MonotonicClock::nanoseconds();
            if (message.size() == 1 && message.front() == 0xF8) {
                QMutexLocker locker(&m_backend->m_mutex);
                m_backend->m_clockTimes.push_back(now);
            }
            return true;
        }
        bool setReceiver(Receiver, QString *) override { return true; }
        bool setIgnoredTypes(bool, bool, bool, QString *) override { return true; }
        bool close(QString *) override { return true; }

    private:
        StampingBackend *m_backend;
    };

    bool portNames(MidiDirection direction, QStringList *names, QString *) override
    {
        *names = direction == MidiDirection::Output ? QStringList{PortName} : QStringList();
        return true;
    }
    std::unique_ptr<MidiDevice> openPort(MidiDirection, const QString &, QString *) override
    {
        return std::make_unique<Device>(this);
    }

    std::vector<quint64> clockTimes() const
    {
        QMutexLocker locker(&m_mutex);
        return m_clockTimes;
    }

private:
    mutable QMutex m_mutex;
    std::vector<quint64> m_clockTimes;
};

// The sender, with access to its thread's processor clock.
class MeasuredSender : public MidiOutputSyncClock
{
public:
    // Processor time the thread has used, in microseconds.
    double cpuMicroseconds() const { return m_cpu.microseconds(); }

    std::atomic<bool> realtime{false};

protected:
    void run() override
    {
        m_cpu.start();
        MidiOutputSyncClock::run();
    }

    void process() override
    {
        if (!m_checked) {
            realtime = runsRealtime();
            m_checked = true;
        }
        MidiOutputSyncClock::process();
    }

private:
    bool m_checked = false;
    ThreadCpuClock m_cpu;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    const uint tempo = argc > 2 ? uint(std::max(1, atoi(argv[2]))) : 120;

    StampingBackend backend;
    MidiBackend::setInstance(&backend);

    MidiSync sync;
    sync.setTempo(tempo);
    MeasuredSender sender;
    sender.setSync(&sync);
    sender.setTempo(tempo);
    if (!sender.open(PortName)) {
        std::fprintf(stderr, "the bench port did not open\n");
        return 1;
    }
    sender.QThread::start(QThread::TimeCriticalPriority);
    QThread::msleep(50);

    const double cpuBeforePlaying = sender.cpuMicroseconds();
    sync.setPlaying(true);
    sender.sendStart();
    sender.start();
    // When the position crosses each clock, computed while the clock plays.
    const quint64 expected = quint64(seconds) * tempo * 24 / 60;
    std::vector<quint64> due;
    for (quint64 k = 1; k <= expected + 100; ++k)
        due.push_back(sync.counterNanosecondsAtBeatTick(k * AbstractSync::BeatTicksPerMidiClock));
    QThread::sleep(seconds);
    sync.setPlaying(false);
    sender.pauseAndWait();
    const double cpuPlaying = sender.cpuMicroseconds() - cpuBeforePlaying;

    QThread::msleep(10);
    const double cpuBeforePause = sender.cpuMicroseconds();
    QThread::sleep(2);
    const double cpuPaused = sender.cpuMicroseconds() - cpuBeforePause;

    // The first clock marks the start; the counted clocks follow it.
    const std::vector<quint64> times = backend.clockTimes();
    const double ideal = 60e9 / (double(tempo) * 24.0);
    std::vector<double> intervalError;
    std::vector<double> lateness;
    for (size_t i = 1; i < times.size(); ++i) {
        if (i >= 2)
            intervalError.push_back(std::abs(double(times[i] - times[i - 1]) - ideal) / 1000.0);
        // The clocks sent by the stop go out late by design; only those the thread sent count.
        if (i - 1 < due.size() && times[i] < due.back())
            lateness.push_back((double(times[i]) - double(due[i - 1])) / 1000.0);
    }
    const Figures interval = figures(intervalError);
    const Figures late = figures(lateness);

    std::printf("MIDI clock sender: tempo %u, %zu Timing Clocks over %d s (about %llu expected)\n", tempo,
                times.size(), seconds, static_cast<unsigned long long>(expected + 1));
    std::printf("scheduling: %s\n", sender.realtime ? "real-time (SCHED_FIFO)" : "normal (real-time refused)");
    std::printf("interval error (us): median %.1f, 99th percentile %.1f, maximum %.1f (ideal %.1f us)\n",
                interval.median, interval.p99, interval.maximum, ideal / 1000.0);
    std::printf("lateness against the position (us): median %.1f, 99th percentile %.1f, maximum %.1f\n",
                late.median, late.p99, late.maximum);
    std::printf("cpu while playing (us): %.0f over %d s (%.3f%% of a core)\n", cpuPlaying, seconds,
                cpuPlaying / (seconds * 1e4));
    std::printf("cpu while paused (us): %.0f over 2 s\n", cpuPaused);

    sender.terminateSafely();
    sender.wait();
    MidiBackend::setInstance(nullptr);
    return 0;
}
