#ifndef THRUAUDITION_H
#define THRUAUDITION_H

#include "auditionoutput.h"

class AbstractSync;
class MidiInstrument;

// The canvas's auditions go to the MIDI thru instrument, on the thru clock.
class ThruAudition : public AuditionOutput
{
public:
    ThruAudition(MidiInstrument *instrument, AbstractSync *clock);

    bool isOpen() const override;
    TimedEventQueue<InstrumentEvent> &eventQueue() override;
    void allNotesOff() override;
    quint64 currentTick() const override;

private:
    MidiInstrument *m_instrument;
    AbstractSync *m_clock;
};

#endif // THRUAUDITION_H
