#include "mididevicecloser.h"

#include <QDebug>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace {

class Closer
{
public:
    Closer() { std::thread([this] { run(); }).detach(); }

    void add(std::unique_ptr<MidiDevice> device, const QString &name)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.emplace_back(std::move(device), name);
        m_changed.notify_all();
    }

    bool waitUntilIdle(int timeoutMs)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [this] { return m_queue.empty() && !m_closing; });
    }

private:
    void run()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return !m_queue.empty(); });
            std::pair<std::unique_ptr<MidiDevice>, QString> next = std::move(m_queue.front());
            m_queue.pop_front();
            m_closing = true;
            lock.unlock();
            QString error;
            if (!next.first->close(&error))
                qWarning().noquote() << "MIDI port" << next.second << "closed with an error:" << error;
            next.first.reset();
            lock.lock();
            m_closing = false;
            m_changed.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::pair<std::unique_ptr<MidiDevice>, QString>> m_queue;
    bool m_closing = false;
};

// Never destroyed: its thread may be inside the MIDI library when the program ends.
Closer &closer()
{
    static Closer *instance = new Closer;
    return *instance;
}

} // namespace

void MidiDeviceCloser::close(std::unique_ptr<MidiDevice> device, const QString &name)
{
    if (device)
        closer().add(std::move(device), name);
}

bool MidiDeviceCloser::waitUntilIdle(int timeoutMs)
{
    return closer().waitUntilIdle(timeoutMs);
}
