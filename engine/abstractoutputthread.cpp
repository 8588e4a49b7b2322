#include "abstractoutputthread.h"

#include "abstractsync.h"
#include "monotonicclock.h"

#include <limits>


AbstractOutputThread::AbstractOutputThread(QObject *parent) : QThread(parent)
{
}

AbstractOutputThread::~AbstractOutputThread()
{
    stopThread();
}

void AbstractOutputThread::setSync(AbstractSync *sync)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_sync.store(sync);
    // A step in progress may still hold the clock it read before: the caller
    // may delete that clock once this returns, so wait for the step to end.
    if (QThread::currentThread() == this || !m_stepping)
        return;
    const quint64 step = m_steps;
    m_idleCondition.wait(locker, [this, step] { return !m_stepping || m_steps != step; });
}

AbstractSync *AbstractOutputThread::sync() const
{
    return m_sync.load();
}

void AbstractOutputThread::setInterval(quint32 microseconds)
{
    m_interval.store(microseconds);
}

quint32 AbstractOutputThread::interval() const
{
    return m_interval.load();
}

AbstractOutputThread::State AbstractOutputThread::state() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_state;
}

void AbstractOutputThread::wake()
{
    std::lock_guard<std::mutex> locker(m_mutex);
    m_woken = true;
    m_wakeCondition.notify_all();
}

void AbstractOutputThread::play()
{
    setStateAndWake(Playing);
}

void AbstractOutputThread::pauseAndWait()
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_state = Paused;
    m_wakeCondition.notify_all();
    if (QThread::currentThread() == this)
        return;
    m_idleCondition.wait(locker, [this] { return !m_stepping; });
}

void AbstractOutputThread::terminateSafely()
{
    terminateSafelyNow();
}

quint64 AbstractOutputThread::nextStepTime(quint64 now)
{
    return now + quint64(interval()) * 1000;
}

RealtimeScheduling::Rank AbstractOutputThread::realtimeRank() const
{
    return RealtimeScheduling::Output;
}

quint64 AbstractOutputThread::timeAtTick(quint64 tick, quint64 now) const
{
    AbstractSync *clock = sync();
    if (!clock || !clock->isPlaying())
        return now + StoppedClockRecheck;
    const quint64 at = clock->counterNanosecondsAtTick(tick);
    // A clock stopped between the two calls reports the largest time.
    if (at == std::numeric_limits<quint64>::max())
        return now + StoppedClockRecheck;
    return at;
}

void AbstractOutputThread::stopThread()
{
    terminateSafelyNow();
    if (QThread::currentThread() != this)
        wait();
}

void AbstractOutputThread::terminateSafelyNow()
{
    std::lock_guard<std::mutex> locker(m_mutex);
    m_terminate = true;
    m_wakeCondition.notify_all();
}

void AbstractOutputThread::setStateAndWake(State state)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    m_state = state;
    m_wakeCondition.notify_all();
}

void AbstractOutputThread::requestRealtimeScheduling()
{
    if (priority() == QThread::TimeCriticalPriority)
        RealtimeScheduling::request(realtimeRank());
}

void AbstractOutputThread::run()
{
    requestRealtimeScheduling();
    std::unique_lock<std::mutex> locker(m_mutex);
    while (!m_terminate) {
        if (m_state != Playing) {
            m_wakeCondition.wait(locker);
            continue;
        }
        m_stepping = true;
        ++m_steps;
        m_woken = false;
        locker.unlock();
        process();
        const quint64 next = nextStepTime(MonotonicClock::nanoseconds());
        locker.lock();
        m_stepping = false;
        m_idleCondition.notify_all();
        if (m_terminate || m_state != Playing || m_woken)
            continue;
        m_wakeCondition.wait_until(locker, MonotonicClock::deadline(next));
    }
}
