#include "thruaudition.h"

#include "abstractsync.h"
#include "midiinstrument.h"

ThruAudition::ThruAudition(MidiInstrument *instrument, AbstractSync *clock)
    : m_instrument(instrument)
    , m_clock(clock)
{
}

bool ThruAudition::isOpen() const
{
    return m_instrument->isOpen();
}

TimedEventQueue<InstrumentEvent> &ThruAudition::eventQueue()
{
    return m_instrument->eventQueue();
}

void ThruAudition::allNotesOff()
{
    m_instrument->allNotesOff();
}

quint64 ThruAudition::currentTick() const
{
    return m_clock->currentTick();
}
