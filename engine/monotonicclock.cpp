#include "monotonicclock.h"

#include <atomic>
#include <thread>

namespace {

quint64 systemNanoseconds()
{
    const auto sinceEpoch = std::chrono::steady_clock::now().time_since_epoch();
    return quint64(std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch).count());
}

std::atomic<MonotonicClock::Source> currentSource{&systemNanoseconds};

} // namespace

quint64 MonotonicClock::nanoseconds()
{
    return currentSource.load(std::memory_order_acquire)();
}

void MonotonicClock::setSource(Source source)
{
    currentSource.store(source ? source : &systemNanoseconds, std::memory_order_release);
}

quint64 MonotonicClock::nanosecondsUntil(quint64 time)
{
    const quint64 now = nanoseconds();
    return time > now ? time - now : 0;
}

std::chrono::steady_clock::time_point MonotonicClock::deadline(quint64 time)
{
    // steady_clock counts in nanoseconds on the platforms we build for, so the sum is exact.
    return std::chrono::steady_clock::now()
        + std::chrono::nanoseconds(qint64(qMin<quint64>(nanosecondsUntil(time), quint64(INT64_MAX) / 2)));
}

QDeadlineTimer MonotonicClock::deadlineTimer(quint64 time)
{
    const quint64 remaining = qMin<quint64>(nanosecondsUntil(time), quint64(INT64_MAX) / 2);
    return QDeadlineTimer(std::chrono::nanoseconds(qint64(remaining)), Qt::PreciseTimer);
}

void MonotonicClock::sleepUntil(quint64 time)
{
    const quint64 remaining = nanosecondsUntil(time);
    if (remaining > 0)
        std::this_thread::sleep_for(std::chrono::nanoseconds(qint64(qMin<quint64>(remaining, quint64(INT64_MAX) / 2))));
}
