#include "voicetestsync.h"

#include "monotonicclock.h"

#include <limits>

VoiceTestSync::VoiceTestSync(QObject *parent) : AbstractSync(parent)
{
}

void VoiceTestSync::setTick(quint64 tick)
{
    m_tick.store(tick);
    emit timingChanged();
}

quint64 VoiceTestSync::counterNanosecondsAtTick(quint64 tick) const
{
    return tick <= m_tick.load() ? MonotonicClock::nanoseconds() : std::numeric_limits<quint64>::max();
}

quint64 VoiceTestSync::counterNanosecondsAtBeatTick(quint64 beatTick) const
{
    return counterNanosecondsAtTick(beatTick);
}
