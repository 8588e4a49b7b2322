#ifndef INSTRUMENTPLAYER_H
#define INSTRUMENTPLAYER_H

#include "instrumentevent.h"
#include "timedeventqueue.h"

class AbstractSync;
class QThread;
class QmdVelkaController;

// What a network document asks of the player behind one of its instrument
// records. The playback engine implements it (its instruments are output
// threads); the document's Playback creates players through a PlayerFactory
// and drives them through this interface only.
class InstrumentPlayer
{
public:
    virtual ~InstrumentPlayer() = default;

    // The thread that sends this instrument's events; the Playback starts it,
    // waits for it after terminateSafely() and then deletes the player.
    virtual QThread *playerThread() = 0;

    // Returns once the player no longer uses the clock it had, so its owner
    // may delete that clock then.
    virtual void setSync(AbstractSync *sync) = 0;
    virtual void setController(QmdVelkaController *controller) = 0;

    virtual void play() = 0;
    virtual void pauseAndWait() = 0;
    virtual void reset() = 0;
    virtual void terminateSafely() = 0;

    // The tick-ordered queue that voice steps fill through the Playback.
    virtual TimedEventQueue<InstrumentEvent> &eventQueue() = 0;
};

#endif // INSTRUMENTPLAYER_H
