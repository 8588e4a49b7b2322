#ifndef RTMIDIBACKEND_H
#define RTMIDIBACKEND_H

#include "midibackend.h"

// MIDI ports of the RtMidi library. The library's API is chosen explicitly:
// VELKA_MIDI_API ("alsa", "jack" or "none" for no MIDI at all) when set, otherwise ALSA when its
// sequencer device can be opened, else JACK. Every library error, thrown or
// reported through the library's error callback, becomes a failed result.
// Every client it opens is named OwnMidiPorts::clientName(). JACK port lists
// are read from JACK in one call, through a client that never joins the
// server's processing cycles; the monitor of ports is one long-lived client
// told of changes (JACK's registration callbacks, ALSA's announce port).
class RtMidiBackend : public MidiBackend
{
public:
    bool portNames(MidiDirection direction, QStringList *names, QString *error) override;
    std::unique_ptr<MidiDevice> openPort(MidiDirection direction, const QString &name,
                                         QString *error) override;
    std::unique_ptr<MidiPortMonitor> monitorPorts(Notify changed, QString *error) override;
    QString systemName() const override;

    // "alsa", "jack" or "none": the API the next port operation uses.
    static QString apiName();
};

#endif // RTMIDIBACKEND_H
