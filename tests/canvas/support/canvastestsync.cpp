#include "canvastestsync.h"

#include "monotonicclock.h"

#include <limits>

CanvasTestSync::CanvasTestSync(QObject *parent) : AbstractSync(parent)
{
}

void CanvasTestSync::setTick(quint64 tick)
{
    m_tick.store(tick);
    emit timingChanged();
}

quint64 CanvasTestSync::nanosecondsToTicks(quint64 nanoseconds) const
{
    return quint64((unsigned __int128)nanoseconds * TicksPerSecond / 1000000000u);
}

quint64 CanvasTestSync::ticksToNanoseconds(quint64 ticks) const
{
    return quint64((unsigned __int128)ticks * 1000000000u / TicksPerSecond);
}

quint64 CanvasTestSync::counterNanosecondsAtTick(quint64 tick) const
{
    return tick <= m_tick.load() ? MonotonicClock::nanoseconds() : std::numeric_limits<quint64>::max();
}

quint64 CanvasTestSync::counterNanosecondsAtBeatTick(quint64 beatTick) const
{
    return counterNanosecondsAtTick(beatTick);
}

AbstractSync *CanvasTestFactory::createSync(const QString &, QObject *parent)
{
    return new CanvasTestSync(parent);
}

InstrumentPlayer *CanvasTestFactory::createInstrument(const QString &, QmdItemId)
{
    return nullptr;
}

VoicePlayer *CanvasTestFactory::createVoiceGroup(QmdItemId, QmdVelkaController *)
{
    return nullptr;
}
