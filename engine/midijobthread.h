#ifndef MIDIJOBTHREAD_H
#define MIDIJOBTHREAD_H

#include <functional>
#include <memory>

// Runs jobs that open and close MIDI ports on a thread of its own, one after
// the other in the order posted, so that the thread posting them never waits
// on the MIDI system.
class MidiJobThread
{
public:
    MidiJobThread();
    // Stops within StopWaitMs (see stop()).
    ~MidiJobThread();

    MidiJobThread(const MidiJobThread &) = delete;
    MidiJobThread &operator=(const MidiJobThread &) = delete;

    static constexpr int StopWaitMs = 500;

    void post(std::function<void()> job);
    // Returns once the jobs posted so far have run, or after `timeoutMs`;
    // false when jobs are left then.
    bool waitUntilIdle(int timeoutMs);
    // Drops the jobs not started and waits up to `timeoutMs` for the running
    // one. False when it is still running (inside the MIDI library): the
    // thread is left to end by itself, and what its job uses must outlive it.
    bool stop(int timeoutMs);

private:
    struct State;
    std::shared_ptr<State> m_state;
};

#endif // MIDIJOBTHREAD_H
