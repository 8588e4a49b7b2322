#ifndef MIDIOUTPUT_H
#define MIDIOUTPUT_H

#include "instrumentevent.h"
#include "midiio.h"

#include <array>
#include <mutex>
#include <vector>

// A MIDI output port that turns instrument events into MIDI messages on the
// enabled channels.
//
// It remembers on which channels its notes sound, so that a note off reaches
// the channels its note on went to, and nothing is left sounding when the
// channels or the port change or playback pauses.
class MidiOutput : public MidiIO
{
public:
    static constexpr int ChannelCount = 16;

    MidiOutput();
    ~MidiOutput() override;

    // Silences the enabled channels and those with a note on, then releases
    // the port.
    bool close() override;

    // A different set first silences every channel that has a note on.
    void setChannels(const QBitArray &channels) override;

    // Sends the events in order: note ons and program changes once per
    // enabled channel, note offs once per channel their note on went to (the
    // enabled channels when none is known), raw messages once. False without
    // a port, or at the first failure (printed), leaving the rest unsent.
    bool sendEvents(const std::vector<InstrumentEvent> &events);
    // All Notes Off on every enabled channel and every channel with a note on.
    bool allNotesOff();

    // Every output port present now.
    static QSet<QString> availablePortNames();

    // The messages one event becomes on the given channels.
    static std::vector<std::vector<unsigned char>> messagesFor(const InstrumentEvent &event,
                                                                const QBitArray &channels);

private:
    static constexpr int NoteCount = 128;

    // With the notes mutex held: the channels a note event goes to, its
    // sounding notes counted.
    QBitArray channelsFor(const InstrumentEvent &event, const QBitArray &enabled);
    // With the port's mutex held: All Notes Off on the channels, the notes
    // sounding on them forgotten.
    bool silence(PortRecord &port, const QBitArray &channels);
    QBitArray soundingChannels() const;

    // Taken inside a port's mutex, never the other way round.
    mutable std::mutex m_notesMutex;
    // Notes on without their note off yet, by channel and note number.
    std::array<std::array<quint16, NoteCount>, ChannelCount> m_sounding{};
};

#endif // MIDIOUTPUT_H
