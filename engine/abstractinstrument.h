#ifndef ABSTRACTINSTRUMENT_H
#define ABSTRACTINSTRUMENT_H

#include "abstractoutputthread.h"
#include "instrumentevent.h"
#include "instrumentplayer.h"
#include "qmdobserver.h"
#include "qmdtypes.h"
#include "qmdvelkacontroller.h"
#include "timedeventqueue.h"

#include <QMetaObject>
#include <QStringList>

#include <vector>

// The player behind one record of a document's "Instruments" container. Voice
// steps fill its event queue through the document's Playback; its output
// thread sleeps until the earliest queued event is due and then hands every
// due event, at most 32 at a time, to outputEvents().
class AbstractInstrument : public AbstractOutputThread,
                           public QmdObserver<QmdVelkaController>,
                           public InstrumentPlayer
{
    Q_OBJECT

public:
    static constexpr quint32 QueueLimit = 1000;
    static constexpr int MaxEventsPerStep = 32;

    explicit AbstractInstrument(QmdItemId instrument);
    ~AbstractInstrument() override;

    QmdItemId instrument() const { return m_instrument; }

    virtual QString type() const = 0;
    virtual QString description() const = 0;

    // Sends one event at once on the calling thread; the queue is not used.
    virtual void outputEventNow(const InstrumentEvent &event);

    // Drops the connections to the previous controller, follows the record
    // through the new one and resets.
    void setController(QmdVelkaController *controller) override;

    TimedEventQueue<InstrumentEvent> &eventQueue() override { return m_queue; }
    QThread *playerThread() override { return this; }
    // Also wakes the thread at every change of the clock's timing, since its
    // sleep towards the next event was measured at the old tempo.
    void setSync(AbstractSync *sync) override;

public slots:
    // Drops every queued event.
    void reset() override;
    virtual void onInstrumentDataEffected(QmdItemId instrument, const QStringList &keys,
                                          QmdRequestId rid);

    void play() override { AbstractOutputThread::play(); }
    void pauseAndWait() override { AbstractOutputThread::pauseAndWait(); }
    void terminateSafely() override { AbstractOutputThread::terminateSafely(); }

protected:
    virtual void outputEvents(const std::vector<InstrumentEvent> &events) = 0;

    void process() override;
    quint64 nextStepTime(quint64 now) override;

private:
    const QmdItemId m_instrument;
    TimedEventQueue<InstrumentEvent> m_queue{QueueLimit};
    std::vector<InstrumentEvent> m_due;
    QMetaObject::Connection m_timingConnection;
    QMetaObject::Connection m_startConnection;
};

#endif // ABSTRACTINSTRUMENT_H
