#include "midicallwatch.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

class Watch
{
public:
    Watch() { std::thread([this] { run(); }).detach(); }

    quint64 begin()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const quint64 id = ++m_lastId;
        m_calls.emplace(id, Clock::now());
        m_changed.notify_one();
        return id;
    }

    void end(quint64 id)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.erase(id);
        if (m_calls.empty() && m_silent)
            m_changed.notify_one();
    }

    int count()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return int(m_calls.size());
    }

    void setReporter(MidiCallWatch::Reporter reporter)
    {
        std::lock_guard<std::mutex> lock(m_reporterMutex);
        m_reporter = std::move(reporter);
    }

private:
    // Sleeps while no call is in progress, and until the oldest call's
    // deadline while one is.
    void run()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            if (m_calls.empty()) {
                if (m_silent) {
                    m_silent = false;
                    report(lock, true);
                    continue;
                }
                m_changed.wait(lock);
                continue;
            }
            if (m_silent) {
                m_changed.wait(lock);
                continue;
            }
            // Ids grow with time: the first call is the oldest.
            const Clock::time_point deadline = m_calls.begin()->second + std::chrono::milliseconds(MidiCallWatch::SilenceMs);
            if (Clock::now() >= deadline) {
                m_silent = true;
                report(lock, false);
                continue;
            }
            m_changed.wait_until(lock, deadline);
        }
    }

    void report(std::unique_lock<std::mutex> &lock, bool answering)
    {
        lock.unlock();
        {
            std::lock_guard<std::mutex> reporting(m_reporterMutex);
            if (m_reporter)
                m_reporter(answering);
        }
        lock.lock();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<quint64, Clock::time_point> m_calls;
    quint64 m_lastId = 0;
    bool m_silent = false;
    std::mutex m_reporterMutex;
    MidiCallWatch::Reporter m_reporter;
};

// Never destroyed: its thread may still wait when the program ends.
Watch &watch()
{
    static Watch *instance = new Watch;
    return *instance;
}

} // namespace

void MidiCallWatch::setReporter(Reporter reporter)
{
    watch().setReporter(std::move(reporter));
}

int MidiCallWatch::callsInProgress()
{
    return watch().count();
}

MidiCallWatch::Guard::Guard() : m_id(watch().begin())
{
}

MidiCallWatch::Guard::~Guard()
{
    watch().end(m_id);
}
