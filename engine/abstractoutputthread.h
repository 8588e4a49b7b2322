#ifndef ABSTRACTOUTPUTTHREAD_H
#define ABSTRACTOUTPUTTHREAD_H

#include "realtimescheduling.h"

#include <QThread>

#include <atomic>
#include <condition_variable>
#include <mutex>

class AbstractSync;

// Base of the players that emit output close to a tick of the playback clock
// (instruments and MIDI clock senders). While playing, the thread runs one
// process() step and then sleeps until the next step is due: by default one
// interval later, or at the time a subclass reports from nextStepTime(), or
// earlier when wake() says that something due sooner has arrived. While new or
// paused it blocks without using the processor.
//
// A concrete subclass must call stopThread() in its own destructor, so that
// the thread has ended before the subclass's members are destroyed.
class AbstractOutputThread : public QThread
{
    Q_OBJECT

public:
    enum State { New = 0, Paused = 1, Playing = 2 };

    static constexpr quint32 DefaultInterval = 500; // microseconds

    explicit AbstractOutputThread(QObject *parent = nullptr);
    ~AbstractOutputThread() override;

    // Returns once no step can still use the clock set before, so that clock
    // may be deleted then.
    void setSync(AbstractSync *sync);
    AbstractSync *sync() const;

    // Sleep between two steps in microseconds; takes effect from the next sleep.
    void setInterval(quint32 microseconds);
    quint32 interval() const;

    State state() const;

    // Makes a sleeping thread step now, for example because a record due
    // earlier than the one it waits for was queued. Safe from any thread.
    void wake();

public slots:
    virtual void play();
    // Pauses and returns once no step is in progress: after it returns no step
    // runs until the next play(). Called from the thread's own step, it only
    // pauses (a step cannot wait for itself).
    virtual void pauseAndWait();
    virtual void terminateSafely();

protected:
    // One step of output; runs on this thread only.
    virtual void process() = 0;

    // When the next step is due, in MonotonicClock nanoseconds, asked after each
    // step. The default is one interval after `now`.
    virtual quint64 nextStepTime(quint64 now);

    // The time at which the clock reaches `tick`, rounded up; while there is no
    // clock or it is stopped, `now` plus StoppedClockRecheck, so a thread whose
    // clock starts later finds its due records without being woken.
    quint64 timeAtTick(quint64 tick, quint64 now) const;
    static constexpr quint64 StoppedClockRecheck = 20000000; // nanoseconds

    // The real-time rank the thread asks for when started time-critical.
    virtual RealtimeScheduling::Rank realtimeRank() const;

    // Ends the loop and joins the thread. Idempotent.
    void stopThread();

    void run() override;

private:
    void terminateSafelyNow();
    void setStateAndWake(State state);
    void requestRealtimeScheduling();

    std::atomic<AbstractSync *> m_sync{nullptr};
    State m_state = New;
    bool m_terminate = false;
    bool m_woken = false;
    bool m_stepping = false;
    quint64 m_steps = 0; // steps begun; under m_mutex
    std::atomic<quint32> m_interval{DefaultInterval};
    std::condition_variable m_wakeCondition;
    std::condition_variable m_idleCondition;
    mutable std::mutex m_mutex;
};

#endif // ABSTRACTOUTPUTTHREAD_H
