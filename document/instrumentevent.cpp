#include "instrumentevent.h"

InstrumentEvent::InstrumentEvent(quint32 type, quint64 pos, int pitch, int velocity)
    : type(type), pos(pos), pitch(toDataByte(pitch)), velocity(toDataByte(velocity)), bankLsb(0)
{
}

InstrumentEvent::InstrumentEvent(quint64 pos, const std::vector<unsigned char> &bytes)
    : type(RawMessage), pos(pos), pitch(0), velocity(0), bankLsb(0), bytes(bytes)
{
}

InstrumentEvent InstrumentEvent::noteOn(quint64 pos, int pitch, int velocity)
{
    return InstrumentEvent(NoteOn, pos, pitch, velocity);
}

InstrumentEvent InstrumentEvent::noteOff(quint64 pos, int pitch, int velocity)
{
    return InstrumentEvent(NoteOff, pos, pitch, velocity);
}

InstrumentEvent InstrumentEvent::programChange(quint64 pos, int program, int bankMsb, int bankLsb)
{
    InstrumentEvent event(ProgramChange, pos, program, bankMsb);
    event.bankLsb = toDataByte(bankLsb);
    return event;
}

quint8 InstrumentEvent::toDataByte(int value)
{
    return static_cast<quint8>(qBound(0, value, 127));
}
