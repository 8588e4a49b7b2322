#ifndef VOICESCHEDULE_H
#define VOICESCHEDULE_H

#include "networkcache.h"
#include "qmdtypes.h"
#include "stepmutex.h"

#include <QList>
#include <QMetaObject>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

class AbstractSync;
class QmdVelkaController;
struct Voice;
class VoiceGroup;

// The stepping of every voice group of one document. A single thread sleeps
// until the earliest arrival among the playing groups' voices comes within
// the horizon, then steps every arrival up to it in one fixed order: by
// arrival tick, then by group id, then by voice number. The notes of a step go
// into the instruments' tick-stamped queues, whose output threads send them
// when their tick comes, so the time a step takes is no longer heard.
//
// The travelling voices of the groups taking part wait in one arrival queue
// kept in that order, so a pass costs by the voices due, not by the groups.
// A group puts its voices in when it continues and takes them out when it
// pauses; a step puts in the voices it sends on.
//
// The arrivals of one tick are stepped node by node: the steps at one node run
// one after another in that order (so list cursors, edge-usage positions and
// counters advance as if each voice were stepped on its arrival), the steps at
// different nodes side by side on the schedule's step workers, threads that
// sleep until a round has node steps for them. A voice sent along an edge
// that takes no time (a wormhole, a zero-length edge) is due at the tick it
// left and is stepped in a further round of that tick; a cycle that takes no
// time waits 10 ms after 16 rounds, and no later arrival is stepped before
// it. A voice whose node is missing is tried again 10 ms later.
//
// The steps of a round read the network through the schedule's NetworkCache,
// which follows the document's changes at the start of every round, so they
// take no lock of the document for what was read before; what they write
// back is stored in the document when the round ends.
//
// A pass steps for at most a few milliseconds, and ends after its current
// round when another thread waits for the step mutex; the next pass begins
// at once, after that thread. So a clock that runs faster than the voices
// can be stepped makes playback late (said once on standard error, until the
// steps catch up again), never a wait for pause, edits or the end.
//
// With a horizon of 0 every arrival is stepped once its tick is reached.
class VoiceSchedule : public QThread
{
    Q_OBJECT

public:
    // How far ahead of the clock arrivals are stepped, in nanoseconds.
    static constexpr quint64 DefaultHorizon = 5000000;
    // Applies to every schedule from its next pass on.
    static void setHorizon(quint64 nanoseconds);
    static quint64 horizon();

    // The schedule of the document of the controller, shared by its groups:
    // made with the first group, ended with the last.
    static std::shared_ptr<VoiceSchedule> of(QmdVelkaController *controller);

    ~VoiceSchedule() override;

    // Held by a pass and by every slot of a group that changes its voices.
    StepMutex *stepMutex() { return &m_stepMutex; }

    // The arrival queue, from any thread: a travelling voice of a group taking
    // part goes in with its arrival tick; its arrival changes only while it
    // is out.
    void enqueue(VoiceGroup *group, Voice *voice);
    void dequeue(VoiceGroup *group, Voice *voice);

    // Follows the clock's start and changes of timing; under the step mutex.
    void followClock(AbstractSync *clock);

    // Makes the thread look for due arrivals now. Safe from any thread.
    void wake();

    // What the steps of the document read of its network, and what they
    // write back until their round ends.
    NetworkCache *networkCache() { return &m_networkCache; }

    // The passes so far that stepped at least one arrival; passes cut short
    // count with the one that completes them.
    quint64 steppingPasses() const { return m_steppingPasses.load(std::memory_order_relaxed); }

protected:
    void run() override;

private:
    explicit VoiceSchedule(QmdVelkaController *controller);

    struct Arrival
    {
        VoiceGroup *group;
        Voice *voice;
    };
    struct Entry
    {
        quint64 arrival;
        QmdItemId group;
        quint32 number;
        Arrival queued;
        bool operator<(const Entry &other) const
        {
            if (arrival != other.arrival)
                return arrival < other.arrival;
            return group != other.group ? group < other.group : number < other.number;
        }
    };

    // One pass; the counter time of the next, or the largest value when
    // nothing plays.
    quint64 stepDueArrivals();
    // Ends a pass: cut short (goingOn) or complete, having stepped or not.
    void finishPass(bool goingOn, bool stepped);
    // Takes the arrivals of the earliest tick up to `limit` out of the queue,
    // in stepping order; false when none is due.
    bool takeEarliest(quint64 limit, QList<Arrival> *arrivals);
    // The earliest arrival tick queued; false when the queue is empty.
    bool earliestQueued(quint64 *tick);
    void enqueueAll(const QList<Arrival> &arrivals);
    // Steps a round; the arrivals whose node is missing go into *missing.
    void stepRound(const QList<Arrival> &arrivals, QList<Arrival> *missing);
    QList<Arrival> stepAtNode(const QList<Arrival> &arrivals);
    // Stores the states the round's steps wrote in the document.
    void writeBackStates();

    QmdVelkaController *const m_controller;
    NetworkCache m_networkCache;
    std::vector<NetworkCache::StateWrite> m_stateWrites; // of writeBackStates, kept for their room
    std::vector<NetworkCache::ScaleWrite> m_scaleWrites;

    StepMutex m_stepMutex;
    AbstractSync *m_clock = nullptr;
    QMetaObject::Connection m_timingConnection;
    QMetaObject::Connection m_startConnection;

    // Taken last and alone, also by pool threads whose steps send voices on.
    std::mutex m_queueMutex;
    std::set<Entry> m_queue;

    std::mutex m_waitMutex;
    std::condition_variable m_waitCondition;
    bool m_woken = false;
    bool m_quit = false;
    std::atomic<quint64> m_steppingPasses{0};
    // Of the schedule's thread. A pass cut short (out of time, or giving
    // way to a thread that waits for the step mutex) and the passes that go
    // on with it count as one: the rounds of the tick they are at, whether
    // they stepped, and whether falling behind the clock was reported since
    // the steps last caught up with it.
    quint64 m_roundTick = 0;
    int m_roundsAtTick = 0;
    bool m_steppedGoingOn = false;
    bool m_reportedBehind = false;

    // Node steps of a round waiting for or running on the step workers, all
    // under the pool mutex: the workers take a job from the list, the round
    // waits until the count of unfinished jobs is 0.
    struct NodeJob
    {
        const QList<Arrival> *arrivals;
        QList<Arrival> *missing;
    };
    void runWorker();
    std::mutex m_poolMutex;
    std::condition_variable m_jobReady;
    std::condition_variable m_poolDone;
    std::vector<NodeJob> m_jobs;
    int m_poolSteps = 0;
    bool m_workersQuit = false;
    std::vector<std::thread> m_workers; // started with the first round that needs them
};

#endif // VOICESCHEDULE_H
