#ifndef MIDIOUTPUT_H
#define MIDIOUTPUT_H

#include "instrumentevent.h"
#include "midiio.h"

#include <vector>

// A MIDI output port that turns instrument events into MIDI messages on the
// enabled channels.
class MidiOutput : public MidiIO
{
public:
    MidiOutput();
    ~MidiOutput() override;

    // Silences the enabled channels, then releases the port.
    bool close() override;

    // Sends the events in order: notes and program changes once per enabled
    // channel, raw messages once. False without a port, or at the first
    // failure (printed), leaving the rest unsent.
    bool sendEvents(const std::vector<InstrumentEvent> &events);
    // All Notes Off on every enabled channel.
    bool allNotesOff();

    // Every output port present now.
    static QSet<QString> availablePortNames();

    // The messages one event becomes on the given channels.
    static std::vector<std::vector<unsigned char>> messagesFor(const InstrumentEvent &event,
                                                                const QBitArray &channels);
};

#endif // MIDIOUTPUT_H
