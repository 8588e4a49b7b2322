#ifndef STEPMUTEX_H
#define STEPMUTEX_H

#include <QMutex>

#include <atomic>
#include <condition_variable>
#include <mutex>

// The step mutex of a document's voice schedule: a mutex that knows whether
// anyone waits for it. The schedule's passes run back to back while its clock
// runs ahead of the steps; a pass ends early when another thread (a group's
// slot on the window's thread) wants the mutex, and the next pass lets that
// thread have it first, so such a thread never waits more than one round of
// steps however far behind playback is.
class StepMutex
{
public:
    void lock()
    {
        m_waiting.fetch_add(1);
        m_mutex.lock();
        if (m_waiting.fetch_sub(1) == 1) {
            // The last waiter is in: a pass that let it go first may begin.
            std::lock_guard<std::mutex> locker(m_waitingMutex);
            m_noneWaiting.notify_all();
        }
    }
    void unlock() { m_mutex.unlock(); }

    // Taken by a pass: first lets every thread already waiting have the mutex.
    void lockAfterWaiters()
    {
        {
            std::unique_lock<std::mutex> locker(m_waitingMutex);
            m_noneWaiting.wait(locker, [this] { return m_waiting.load() == 0; });
        }
        m_mutex.lock();
    }

    // Whether another thread waits for the mutex; asked by its holder.
    bool isWanted() const { return m_waiting.load() != 0; }

private:
    QMutex m_mutex;
    std::atomic<int> m_waiting{0};
    std::mutex m_waitingMutex;
    std::condition_variable m_noneWaiting;
};

#endif // STEPMUTEX_H
