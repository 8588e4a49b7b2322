#include "midijobthread.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

struct MidiJobThread::State
{
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> jobs;
    bool running = false;
    bool stop = false;
    bool finished = false;

    void run()
    {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return stop || !jobs.empty(); });
            if (stop)
                break;
            std::function<void()> job = std::move(jobs.front());
            jobs.pop_front();
            running = true;
            lock.unlock();
            job();
            job = nullptr;
            lock.lock();
            running = false;
            changed.notify_all();
        }
        finished = true;
        changed.notify_all();
    }
};

MidiJobThread::MidiJobThread() : m_state(std::make_shared<State>())
{
    std::thread([state = m_state] { state->run(); }).detach();
}

MidiJobThread::~MidiJobThread()
{
    stop(StopWaitMs);
}

void MidiJobThread::post(std::function<void()> job)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    if (m_state->stop)
        return;
    m_state->jobs.push_back(std::move(job));
    m_state->changed.notify_all();
}

bool MidiJobThread::waitUntilIdle(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_state->mutex);
    return m_state->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                     [this] { return m_state->jobs.empty() && !m_state->running; });
}

bool MidiJobThread::stop(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_state->mutex);
    m_state->stop = true;
    m_state->jobs.clear();
    m_state->changed.notify_all();
    return m_state->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                     [this] { return m_state->finished; });
}
