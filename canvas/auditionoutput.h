#ifndef AUDITIONOUTPUT_H
#define AUDITIONOUTPUT_H

#include "instrumentevent.h"
#include "timedeventqueue.h"

#include <QtGlobal>

// Where the canvas plays a node's pitches to the user: the application's MIDI
// thru instrument and the clock it runs on. The application installs one at
// start-up; until then, and in programs without MIDI, auditions play nothing.
class AuditionOutput
{
public:
    virtual ~AuditionOutput();

    // Whether the instrument's port is open: records queued while it is closed
    // would all sound at once when a port opens.
    virtual bool isOpen() const = 0;
    // The instrument's queue of records, due by the clock below.
    virtual TimedEventQueue<InstrumentEvent> &eventQueue() = 0;
    // Switches off every note sounding on the instrument's channels, now.
    virtual void allNotesOff() = 0;
    // The clock's position in ticks.
    virtual quint64 currentTick() const = 0;

    // The installed output (null allowed); the installer keeps it alive until
    // it installs another one or null.
    static void install(AuditionOutput *output);
    static AuditionOutput *installed();
};

#endif // AUDITIONOUTPUT_H
