#include "abstractoutputthread.h"

#include "abstractsync.h"
#include "monotonicclock.h"

#include <QMutexLocker>

#include <limits>

#include <pthread.h>
#include <sched.h>

AbstractOutputThread::AbstractOutputThread(QObject *parent) : QThread(parent)
{
}

AbstractOutputThread::~AbstractOutputThread()
{
    stopThread();
}

void AbstractOutputThread::setSync(AbstractSync *sync)
{
    m_sync.store(sync);
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
    QMutexLocker locker(&m_mutex);
    return m_state;
}

void AbstractOutputThread::wake()
{
    QMutexLocker locker(&m_mutex);
    m_woken = true;
    m_wakeCondition.wakeAll();
}

void AbstractOutputThread::play()
{
    setStateAndWake(Playing);
}

void AbstractOutputThread::pauseAndWait()
{
    QMutexLocker locker(&m_mutex);
    m_state = Paused;
    m_wakeCondition.wakeAll();
    if (QThread::currentThread() == this)
        return;
    while (m_stepping)
        m_idleCondition.wait(&m_mutex);
}

void AbstractOutputThread::terminateSafely()
{
    QMutexLocker locker(&m_mutex);
    m_terminate = true;
    m_wakeCondition.wakeAll();
}

quint64 AbstractOutputThread::nextStepTime(quint64 now)
{
    return now + quint64(interval()) * 1000;
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
    {
        QMutexLocker locker(&m_mutex);
        m_terminate = true;
        m_wakeCondition.wakeAll();
    }
    if (QThread::currentThread() != this)
        wait();
}

void AbstractOutputThread::setStateAndWake(State state)
{
    QMutexLocker locker(&m_mutex);
    m_state = state;
    m_wakeCondition.wakeAll();
}

void AbstractOutputThread::requestRealtimeScheduling()
{
    // Qt's time-critical priority has no effect under the default Linux policy;
    // real-time scheduling is used where the system grants it, else nothing changes.
    if (priority() != QThread::TimeCriticalPriority)
        return;
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_FIFO) + 9;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

void AbstractOutputThread::run()
{
    requestRealtimeScheduling();
    QMutexLocker locker(&m_mutex);
    while (!m_terminate) {
        if (m_state != Playing) {
            m_wakeCondition.wait(&m_mutex);
            continue;
        }
        m_stepping = true;
        m_woken = false;
        locker.unlock();
        process();
        const quint64 next = nextStepTime(MonotonicClock::nanoseconds());
        locker.relock();
        m_stepping = false;
        m_idleCondition.wakeAll();
        if (m_terminate || m_state != Playing || m_woken)
            continue;
        m_wakeCondition.wait(&m_mutex, MonotonicClock::deadlineTimer(next));
    }
    m_stepping = false;
    m_idleCondition.wakeAll();
}
