#ifndef RTMIDIBACKEND_H
#define RTMIDIBACKEND_H

#include "midibackend.h"

// MIDI ports of the RtMidi library. The library's API is chosen explicitly:
// VELKA_MIDI_API ("alsa" or "jack") when set, otherwise ALSA when its
// sequencer device can be opened, else JACK. Every library error, thrown or
// reported through the library's error callback, becomes a failed result.
// JACK port lists are read from JACK in one call, through a client that never
// joins the server's processing cycles.
class RtMidiBackend : public MidiBackend
{
public:
    bool portNames(MidiDirection direction, QStringList *names, QString *error) override;
    std::unique_ptr<MidiDevice> openPort(MidiDirection direction, const QString &name,
                                         QString *error) override;

    // "alsa" or "jack": the API the next port operation uses.
    static QString apiName();
};

#endif // RTMIDIBACKEND_H
