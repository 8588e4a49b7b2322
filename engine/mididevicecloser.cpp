#include "mididevicecloser.h"

#include <QDebug>

#include <chrono>
#include <cstdlib>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace {

class Closer
{
public:
    // Each device closes on a thread of its own: closes wait, and one that
    // waits on a MIDI system that does not answer holds up no other.
    void add(std::unique_ptr<MidiDevice> device, const QString &name)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_closing;
        }
        std::thread([this, device = std::shared_ptr<MidiDevice>(std::move(device)), name]() mutable {
            QString error;
            if (!device->close(&error))
                qWarning().noquote() << "MIDI port" << name << "closed with an error:" << error;
            device.reset();
            std::lock_guard<std::mutex> lock(m_mutex);
            --m_closing;
            m_changed.notify_all();
        }).detach();
    }

    bool waitUntilIdle(int timeoutMs)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_closing == 0; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_closing = 0;
};

// How long a process that ends gives its ports to finish closing. A JACK
// client that vanishes half closed stalls the whole server for seconds while
// it waits on the dead client, which every other program on it hears.
constexpr int ExitWaitMs = 1000;

Closer &closer();

void waitForClosesAtExit()
{
    closer().waitUntilIdle(ExitWaitMs);
}

// Never destroyed: its thread may be inside the MIDI library when the program ends.
Closer &closer()
{
    static Closer *instance = [] {
        std::atexit(waitForClosesAtExit);
        return new Closer;
    }();
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
