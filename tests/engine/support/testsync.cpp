#include "testsync.h"

#include "monotonicclock.h"

#include <limits>

TestSync::TestSync(quint64 ticksPerSecond, QObject *parent) : AbstractSync(parent), m_ticksPerSecond(ticksPerSecond)
{
}

void TestSync::setTick(quint64 tick)
{
    m_tick.store(tick);
    emit timingChanged();
}

quint64 TestSync::nanosecondsToTicks(quint64 nanoseconds) const
{
    return quint64((unsigned __int128)nanoseconds * m_ticksPerSecond / NanosecondsPerSecond);
}

quint64 TestSync::ticksToNanoseconds(quint64 ticks) const
{
    return quint64((unsigned __int128)ticks * NanosecondsPerSecond / m_ticksPerSecond);
}

quint64 TestSync::counterNanosecondsAtTick(quint64 tick) const
{
    return tick <= m_tick.load() ? MonotonicClock::nanoseconds() : std::numeric_limits<quint64>::max();
}

quint64 TestSync::counterNanosecondsAtBeatTick(quint64 beatTick) const
{
    return counterNanosecondsAtTick(beatTick);
}
