#ifndef INSTRUMENTEVENT_H
#define INSTRUMENTEVENT_H

#include <QtGlobal>

#include <vector>

// One event for an instrument, due at a tick of the playback clock. A plain
// value: copies own their bytes. Pitch, velocity, program and bank numbers are
// clamped to the MIDI data range 0..127 when a record is built, so a record
// never carries a value that would read as a status byte on the wire.
class InstrumentEvent
{
public:
    enum Type : quint32 {
        NoteOn = 0,
        NoteOff = 1,
        ProgramChange = 2, // with bank select MSB and LSB
        RawMessage = 3
    };

    InstrumentEvent(quint32 type, quint64 pos, int pitch, int velocity);
    // A raw MIDI message, sent once and unchanged whatever the channels.
    InstrumentEvent(quint64 pos, const std::vector<unsigned char> &bytes);

    static InstrumentEvent noteOn(quint64 pos, int pitch, int velocity);
    static InstrumentEvent noteOff(quint64 pos, int pitch, int velocity);
    static InstrumentEvent programChange(quint64 pos, int program, int bankMsb, int bankLsb);

    static quint8 toDataByte(int value);

    quint32 type;
    quint64 pos;      // tick at which the event is due
    quint8 pitch;     // note number; the program (0-based) of a program change
    quint8 velocity;  // velocity; the bank select MSB of a program change
    quint8 bankLsb;   // bank select LSB of a program change; 0 otherwise
    std::vector<unsigned char> bytes; // the raw message; empty otherwise
};

inline quint64 timedEventTick(const InstrumentEvent &event)
{
    return event.pos;
}

#endif // INSTRUMENTEVENT_H
