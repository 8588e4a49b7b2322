#include "midiportwatcher.h"

#include "midicallwatch.h"
#include "ownmidiports.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// What the running watcher found last, for MidiIO::availablePortNames.
struct Published
{
    std::mutex mutex;
    bool running = false;
    QStringList names[2];
};

Published &published()
{
    static Published lists;
    return lists;
}

QStringList withoutOwnPorts(QStringList names)
{
    names.removeIf([](const QString &name) { return OwnMidiPorts::contains(name); });
    names.removeDuplicates();
    return names;
}

} // namespace

struct MidiPortWatcher::State
{
    std::mutex mutex;
    std::condition_variable wake;
    MidiPortWatcher *owner = nullptr;
    bool stop = false;
    bool dirty = true;
    bool finished = false;

    // With the mutex held: hands a call to the owner's thread while it lives.
    template <typename Call>
    void post(Call call)
    {
        if (owner)
            QMetaObject::invokeMethod(owner, call, Qt::QueuedConnection);
    }

    void changed()
    {
        std::lock_guard<std::mutex> lock(mutex);
        dirty = true;
        wake.notify_one();
    }

    void run(MidiBackend *backend);
};

void MidiPortWatcher::State::run(MidiBackend *backend)
{
    std::unique_ptr<MidiPortMonitor> monitor;
    QStringList lists[2];
    bool listed = false;
    bool failing = false;
    std::unique_lock<std::mutex> lock(mutex);
    while (!stop) {
        if (!dirty && monitor && monitor->isConnected()) {
            wake.wait(lock);
            continue;
        }
        QString error;
        bool read = true;
        if (!monitor || !monitor->isConnected()) {
            lock.unlock();
            monitor.reset();
            monitor = backend->monitorPorts([this] { changed(); }, &error);
            lock.lock();
            read = monitor != nullptr;
        } else {
            // A burst of notifications (a client with many ports) is read once.
            wake.wait_for(lock, std::chrono::milliseconds(SettleMs), [this] { return stop; });
        }
        dirty = false;
        QStringList found[2];
        if (read) {
            lock.unlock();
            read = monitor->portNames(MidiDirection::Input, &found[0], &error)
                   && monitor->portNames(MidiDirection::Output, &found[1], &error);
            lock.lock();
        }
        if (!read) {
            found[0].clear();
            found[1].clear();
            if (!failing) {
                failing = true;
                post([owner = owner, error] { emit owner->unreachable(error); });
            }
        } else if (failing) {
            failing = false;
            post([owner = owner] { emit owner->reachable(); });
        }
        for (QStringList &names : found)
            names = withoutOwnPorts(names);
        if (!listed || found[0] != lists[0] || found[1] != lists[1]) {
            listed = true;
            lists[0] = found[0];
            lists[1] = found[1];
            {
                std::lock_guard<std::mutex> publishing(published().mutex);
                if (owner) {
                    published().names[0] = lists[0];
                    published().names[1] = lists[1];
                }
            }
            post([owner = owner, inputs = lists[0], outputs = lists[1]] { emit owner->portsChanged(inputs, outputs); });
        }
        if (!read)
            wake.wait_for(lock, std::chrono::milliseconds(RetryMs), [this] { return stop || dirty; });
    }
    lock.unlock();
    monitor.reset();
    lock.lock();
    finished = true;
    wake.notify_all();
}

MidiPortWatcher::MidiPortWatcher(QObject *parent) : QObject(parent)
{
}

MidiPortWatcher::~MidiPortWatcher()
{
    if (!m_state)
        return;
    {
        std::lock_guard<std::mutex> lock(published().mutex);
        published().running = false;
        published().names[0].clear();
        published().names[1].clear();
    }
    std::unique_lock<std::mutex> lock(m_state->mutex);
    m_state->owner = nullptr;
    m_state->stop = true;
    m_state->wake.notify_all();
    m_state->wake.wait_for(lock, std::chrono::milliseconds(StopWaitMs), [this] { return m_state->finished; });
}

void MidiPortWatcher::start()
{
    if (m_state)
        return;
    m_state = std::make_shared<State>();
    m_state->owner = this;
    {
        std::lock_guard<std::mutex> lock(published().mutex);
        published().running = true;
    }
    MidiBackend *backend = MidiBackend::instance();
    std::thread([state = m_state, backend] { state->run(backend); }).detach();
}

void MidiPortWatcher::refresh()
{
    if (m_state)
        m_state->changed();
}

bool MidiPortWatcher::publishedPortNames(MidiDirection direction, QStringList *names)
{
    std::lock_guard<std::mutex> lock(published().mutex);
    if (!published().running)
        return false;
    *names = published().names[int(direction)];
    return true;
}
