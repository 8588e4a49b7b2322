// How late an output thread handles queued records against their due time,
// and how much processor time it uses while playing and while paused.
//
// A thread of the engine's kind sleeps until the earliest queued record is due
// (woken early when a record is queued ahead of it); a producer thread queues
// records 10 to 20 ms ahead every 10 ms, as voice groups do. Ticks here are
// MonotonicClock nanoseconds, so a record's tick is its due time.

#include "abstractoutputthread.h"
#include "benchstats.h"
#include "instrumentevent.h"
#include "monotonicclock.h"
#include "timedeventqueue.h"

#include <QCoreApplication>
#include <QMutex>
#include <QRandomGenerator>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

namespace {

class QueueThread : public AbstractOutputThread
{
public:
    QueueThread() : queue(1000)
    {
        queue.setFrontNotifier([this] { wake(); });
    }
    ~QueueThread() override { stopThread(); }

    // Processor time the thread has used, in microseconds.
    double cpuMicroseconds() const { return m_cpu.microseconds(); }

    std::vector<qint64> lateness() const
    {
        QMutexLocker locker(&m_latenessMutex);
        return m_lateness;
    }

    TimedEventQueue<InstrumentEvent> queue;
    std::atomic<quint64> steps{0};
    std::atomic<bool> realtime{false};

protected:
    void run() override
    {
        m_cpu.start();
        AbstractOutputThread::run();
    }

    void process() override
    {
        if (++steps == 1)
            realtime = runsRealtime();
        std::vector<InstrumentEvent> due;
        const quint64 now = MonotonicClock::nanoseconds();
        queue.takeDue(due, 32, now);
        const quint64 handled = MonotonicClock::nanoseconds();
        QMutexLocker locker(&m_latenessMutex);
        for (const InstrumentEvent &event : due)
            m_lateness.push_back(qint64(handled) - qint64(event.pos));
    }

    quint64 nextStepTime(quint64 now) override
    {
        quint64 front = 0;
        if (queue.frontTick(&front))
            return front;
        return now + 3600ull * 1000000000ull; // until a record is queued
    }

private:
    ThreadCpuClock m_cpu;
    mutable QMutex m_latenessMutex;
    std::vector<qint64> m_lateness;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;

    QueueThread thread;
    thread.start(QThread::TimeCriticalPriority);
    thread.play();

    const double cpuBeforePlaying = thread.cpuMicroseconds();
    const quint64 start = MonotonicClock::nanoseconds();
    const quint64 end = start + quint64(seconds) * 1000000000ull;
    quint64 nextDue = start + 10000000;
    quint64 queued = 0;
    while (MonotonicClock::nanoseconds() < end) {
        const quint64 horizon = MonotonicClock::nanoseconds() + 20000000;
        while (nextDue < horizon) {
            const quint64 due = nextDue;
            thread.queue.insertPair(InstrumentEvent::noteOn(due, 60, 100),
                                    InstrumentEvent::noteOff(due + 1000000, 60, 0));
            queued += 2;
            nextDue += 1000000 + QRandomGenerator::global()->bounded(3000000);
        }
        QThread::msleep(10);
    }
    QThread::msleep(50);
    const double cpuPlaying = thread.cpuMicroseconds() - cpuBeforePlaying;

    const double cpuBeforeIdle = thread.cpuMicroseconds();
    QThread::sleep(1);
    const double cpuPlayingIdle = thread.cpuMicroseconds() - cpuBeforeIdle;

    thread.pauseAndWait();
    QThread::msleep(10); // the thread notices the pause and blocks
    const double cpuBeforePause = thread.cpuMicroseconds();
    QThread::sleep(2);
    const double cpuPaused = thread.cpuMicroseconds() - cpuBeforePause;

    const std::vector<qint64> lateness = thread.lateness();
    std::printf("output thread: %zu of %llu records handled over %d s\n", lateness.size(),
                static_cast<unsigned long long>(queued), seconds);
    std::printf("scheduling: %s\n", thread.realtime ? "real-time (SCHED_FIFO)" : "normal (real-time refused)");
    std::printf("steps while playing: %llu\n", static_cast<unsigned long long>(thread.steps.load()));
    std::vector<double> microseconds;
    for (qint64 ns : lateness)
        microseconds.push_back(double(ns) / 1000.0);
    const Figures late = figures(microseconds);
    std::printf("lateness (us): median %.1f, 99th percentile %.1f, maximum %.1f\n", late.median, late.p99,
                late.maximum);
    std::printf("cpu while playing (us): %.0f over %d s (%.3f%% of a core)\n", cpuPlaying, seconds,
                cpuPlaying / (seconds * 1e4));
    std::printf("cpu while playing with nothing queued (us): %.0f over 1 s\n", cpuPlayingIdle);
    std::printf("cpu while paused (us): %.0f over 2 s\n", cpuPaused);
    return 0;
}
