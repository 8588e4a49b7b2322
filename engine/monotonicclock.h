#ifndef MONOTONICCLOCK_H
#define MONOTONICCLOCK_H

#include <QDeadlineTimer>
#include <QtGlobal>

#include <chrono>

// The one time source of playback: the playback clock's position, the time stamps of
// received MIDI messages and every timed wait of the players read it, so they all agree.
// It is the system's monotonic clock in nanoseconds. Tests may replace it with a source
// they set by hand; timed waits then still sleep in real time for the distance the
// source reports.
class MonotonicClock
{
public:
    typedef quint64 (*Source)();

    // Nanoseconds of the current source.
    static quint64 nanoseconds();

    // Replaces the source; null restores the system's monotonic clock.
    static void setSource(Source source);

    // Nanoseconds from now until the source reaches the given time, 0 when it has passed.
    static quint64 nanosecondsUntil(quint64 time);

    // The steady-clock time point at which the source reaches the given time,
    // rounded up so a wait never ends before it.
    static std::chrono::steady_clock::time_point deadline(quint64 time);

    // The same deadline for Qt's timed waits (QWaitCondition, QThread::sleep ...).
    static QDeadlineTimer deadlineTimer(quint64 time);

    // Sleeps the calling thread until the source reaches the given time.
    static void sleepUntil(quint64 time);
};

#endif // MONOTONICCLOCK_H
