#ifndef RECORDINGINSTRUMENT_H
#define RECORDINGINSTRUMENT_H

#include "instrumentevent.h"
#include "instrumentplayer.h"
#include "timedeventqueue.h"

#include <vector>

// An instrument player that plays nothing: it only collects what is queued for it.
class RecordingInstrument : public InstrumentPlayer
{
public:
    explicit RecordingInstrument(quint32 limit = 1000) : m_queue(limit) {}

    QThread *playerThread() override { return nullptr; }
    void setSync(AbstractSync *) override {}
    void setController(QmdVelkaController *) override {}
    void play() override {}
    void pauseAndWait() override {}
    void reset() override {}
    void terminateSafely() override {}
    TimedEventQueue<InstrumentEvent> &eventQueue() override { return m_queue; }

    // Every queued event, in tick order; the queue is emptied.
    std::vector<InstrumentEvent> takeAll();

private:
    TimedEventQueue<InstrumentEvent> m_queue;
};

#endif // RECORDINGINSTRUMENT_H
