#include "voiceschedule.h"

#include "abstractsync.h"
#include "monotonicclock.h"
#include "networkreader.h"
#include "qmdreadlocker.h"
#include "qmdvelkacontroller.h"
#include "realtimescheduling.h"
#include "voicegroup.h"

#include <QDebug>
#include <QHash>
#include <QMutexLocker>

#include <algorithm>
#include <chrono>
#include <limits>

namespace {
// The pace of arrivals that are due again after a pass (waiting for a node
// that is missing, or travelling a cycle that takes no time), so they never
// become a busy loop.
constexpr quint64 DueAgainInterval = 10000000; // nanoseconds
constexpr quint64 Never = std::numeric_limits<quint64>::max();
// Rounds of one tick in one pass: the arrivals due at it and those sent on
// from them along edges that take no time (wormholes, zero-length edges), so
// a chain of up to 15 such edges plays at its tick; only a cycle that takes
// no time runs out of them.
constexpr int MaxRoundsPerTick = 16;
// Threads that step the nodes of one round side by side, besides the
// schedule's own.
constexpr int MaxStepWorkers = 7;
// Wall-clock time a pass steps before it lets go of the step mutex, so a
// clock far ahead of the steps never holds the window's thread.
constexpr std::chrono::milliseconds PassBudget{2};

std::atomic<quint64> horizonNanoseconds{VoiceSchedule::DefaultHorizon};

QMutex registryMutex;
QHash<QmdVelkaController *, std::weak_ptr<VoiceSchedule>> &registry()
{
    static QHash<QmdVelkaController *, std::weak_ptr<VoiceSchedule>> schedules;
    return schedules;
}
} // namespace

void VoiceSchedule::setHorizon(quint64 nanoseconds)
{
    horizonNanoseconds.store(nanoseconds);
}

quint64 VoiceSchedule::horizon()
{
    return horizonNanoseconds.load();
}

std::shared_ptr<VoiceSchedule> VoiceSchedule::of(QmdVelkaController *controller)
{
    QMutexLocker locker(&registryMutex);
    std::weak_ptr<VoiceSchedule> &entry = registry()[controller];
    if (std::shared_ptr<VoiceSchedule> schedule = entry.lock())
        return schedule;
    std::shared_ptr<VoiceSchedule> schedule(new VoiceSchedule(controller));
    entry = schedule;
    schedule->setObjectName(QStringLiteral("voice steps"));
    schedule->start(QThread::TimeCriticalPriority);
    return schedule;
}

VoiceSchedule::VoiceSchedule(QmdVelkaController *controller) : QThread(nullptr), m_controller(controller)
{
}

VoiceSchedule::~VoiceSchedule()
{
    {
        std::lock_guard<std::mutex> locker(m_waitMutex);
        m_quit = true;
        m_waitCondition.notify_all();
    }
    wait();
    // Taken once more so that ThreadSanitizer, which does not see the thread
    // end inside Qt, knows the thread is done with the members.
    { std::lock_guard<std::mutex> locker(m_waitMutex); }
    {
        std::lock_guard<std::mutex> locker(m_poolMutex);
        m_workersQuit = true;
        m_jobReady.notify_all();
    }
    for (std::thread &worker : m_workers)
        worker.join();
    QMutexLocker locker(&registryMutex);
    auto it = registry().find(m_controller);
    if (it != registry().end() && it.value().expired())
        registry().erase(it);
}

void VoiceSchedule::enqueue(VoiceGroup *group, Voice *voice)
{
    std::lock_guard<std::mutex> locker(m_queueMutex);
    if (voice->queued)
        return;
    voice->queued = true;
    voice->queuedArrival = voice->state.arrival;
    m_queue.insert(Entry{voice->queuedArrival, group->group(), voice->number, Arrival{group, voice}});
}

void VoiceSchedule::dequeue(VoiceGroup *group, Voice *voice)
{
    std::lock_guard<std::mutex> locker(m_queueMutex);
    if (!voice->queued)
        return;
    voice->queued = false;
    m_queue.erase(Entry{voice->queuedArrival, group->group(), voice->number, Arrival{group, voice}});
}

void VoiceSchedule::enqueueAll(const QList<Arrival> &arrivals)
{
    for (const Arrival &arrival : arrivals)
        enqueue(arrival.group, arrival.voice);
}

bool VoiceSchedule::takeEarliest(quint64 limit, QList<Arrival> *arrivals)
{
    arrivals->clear();
    std::lock_guard<std::mutex> locker(m_queueMutex);
    while (!m_queue.empty()) {
        const auto first = m_queue.begin();
        if (first->arrival > limit || (!arrivals->isEmpty() && first->arrival != arrivals->first().voice->queuedArrival))
            break;
        const Arrival arrival = first->queued;
        m_queue.erase(first);
        arrival.voice->queued = false;
        // A group that is ending keeps its voices out.
        if (arrival.group->takesPart())
            arrivals->append(arrival);
    }
    return !arrivals->isEmpty();
}

bool VoiceSchedule::earliestQueued(quint64 *tick)
{
    std::lock_guard<std::mutex> locker(m_queueMutex);
    if (m_queue.empty())
        return false;
    *tick = m_queue.begin()->arrival;
    return true;
}

void VoiceSchedule::followClock(AbstractSync *clock)
{
    if (clock == m_clock)
        return;
    disconnect(m_timingConnection);
    disconnect(m_startConnection);
    m_clock = clock;
    if (clock) {
        m_timingConnection = connect(clock, &AbstractSync::timingChanged, this, [this] { wake(); },
                                     Qt::DirectConnection);
        m_startConnection = connect(clock, &AbstractSync::started, this, [this] { wake(); },
                                    Qt::DirectConnection);
    }
    wake();
}

void VoiceSchedule::wake()
{
    std::lock_guard<std::mutex> locker(m_waitMutex);
    m_woken = true;
    m_waitCondition.notify_all();
}

void VoiceSchedule::run()
{
    RealtimeScheduling::request(RealtimeScheduling::VoiceSteps);
    std::unique_lock<std::mutex> locker(m_waitMutex);
    while (!m_quit) {
        m_woken = false;
        locker.unlock();
        const quint64 next = stepDueArrivals();
        locker.lock();
        if (m_quit || m_woken)
            continue;
        if (next == Never)
            m_waitCondition.wait(locker);
        else
            m_waitCondition.wait_until(locker, MonotonicClock::deadline(next));
    }
}

quint64 VoiceSchedule::stepDueArrivals()
{
    m_stepMutex.lockAfterWaiters();
    const std::unique_lock<StepMutex> step(m_stepMutex, std::adopt_lock);
    quint64 nextArrival = 0;
    if (!earliestQueued(&nextArrival)) {
        finishPass(false, false);
        return Never;
    }
    AbstractSync *clock = m_clock;
    if (!clock || !clock->isPlaying()) {
        finishPass(false, false);
        return MonotonicClock::nanoseconds() + DueAgainInterval;
    }

    const quint64 ahead = horizon();
    const quint64 aheadTicks = ahead != 0 ? clock->nanosecondsToTicks(ahead) : 0;
    const quint64 limit = clock->currentTick() + aheadTicks;
    // Arrivals whose node is missing, kept out until the pass ends.
    QList<Arrival> missing;
    QList<VoiceGroup *> stepped;
    QList<Arrival> arrivals;
    bool cut = false;
    // Passes that run out of time or give way follow at once.
    bool yielded = false;
    bool outOfTime = false;
    const auto passEnd = std::chrono::steady_clock::now() + PassBudget;
    while (takeEarliest(limit, &arrivals)) {
        // Voices sent on along edges that take no time are due at the tick
        // they left and are stepped in a further round of it; past a few such
        // rounds (a cycle that takes no time) they wait for the next pass,
        // and no later arrival is stepped before them.
        const quint64 tick = arrivals.first().voice->queuedArrival;
        m_roundsAtTick = m_roundsAtTick != 0 && tick == m_roundTick ? m_roundsAtTick + 1 : 1;
        m_roundTick = tick;
        if (m_roundsAtTick > MaxRoundsPerTick) {
            enqueueAll(arrivals);
            cut = true;
            break;
        }
        for (const Arrival &arrival : std::as_const(arrivals)) {
            // Drawn here, in stepping order, so the steps at different nodes
            // running side by side take their numbers in a fixed order.
            arrival.voice->draw = arrival.group->drawRandom();
            if (!stepped.contains(arrival.group))
                stepped.append(arrival.group);
        }
        stepRound(arrivals, &missing);
        if (m_stepMutex.isWanted()) {
            yielded = true;
            break;
        }
        if (std::chrono::steady_clock::now() >= passEnd) {
            outOfTime = true;
            break;
        }
    }
    // Out of time with an arrival the clock has already passed: the steps
    // fall behind. Like a full note queue, it is said once, until a pass
    // steps everything due again.
    quint64 earliest = 0;
    if (outOfTime && !m_reportedBehind && earliestQueued(&earliest) && earliest < clock->currentTick()) {
        m_reportedBehind = true;
        qWarning().noquote() << QStringLiteral("Playback: the clock runs ahead of the voice steps; notes play late");
    } else if (!outOfTime && !yielded && !cut) {
        m_reportedBehind = false;
    }
    finishPass(yielded || outOfTime, !stepped.isEmpty());
    // Every voice of a group has ended: it pauses until the next continue
    // seeds a new start voice.
    for (VoiceGroup *group : std::as_const(stepped))
        group->pauseWhenEnded();

    const quint64 now = MonotonicClock::nanoseconds();
    const bool queued = earliestQueued(&nextArrival);
    enqueueAll(missing);
    if (cut)
        return now + DueAgainInterval;
    if (yielded || outOfTime)
        return now;
    quint64 next = Never;
    if (queued) {
        const quint64 at = clock->counterNanosecondsAtTick(nextArrival);
        next = at == Never ? Never : (at > ahead ? at - ahead : 0);
    }
    if (!missing.isEmpty())
        next = std::min(next, now + DueAgainInterval);
    return next;
}

void VoiceSchedule::finishPass(bool goingOn, bool stepped)
{
    m_steppedGoingOn = m_steppedGoingOn || stepped;
    if (goingOn)
        return;
    if (m_steppedGoingOn)
        m_steppingPasses.fetch_add(1, std::memory_order_relaxed);
    m_steppedGoingOn = false;
    m_roundTick = 0;
    m_roundsAtTick = 0;
}

void VoiceSchedule::stepRound(const QList<Arrival> &arrivals, QList<Arrival> *missing)
{
    // The arrivals at each node, in stepping order.
    QList<QList<Arrival>> byNode;
    // A group arriving at two nodes takes its free voices in the order of its
    // steps only when they run one after another.
    bool shared = false;
    {
        QHash<QmdItemId, int> nodeIndex;
        QHash<VoiceGroup *, int> groupNode;
        QmdReadLocker documentLock(m_controller);
        m_networkCache.follow(m_controller->changeStamp());
        const NetworkReader network(m_controller, &m_networkCache);
        for (const Arrival &arrival : arrivals) {
            const QmdItemId node = network.edge(arrival.voice->state.item).toNode;
            auto it = nodeIndex.constFind(node);
            if (it == nodeIndex.cend()) {
                it = nodeIndex.insert(node, int(byNode.size()));
                byNode.append(QList<Arrival>());
            }
            byNode[it.value()].append(arrival);
            const auto seen = groupNode.constFind(arrival.group);
            if (seen == groupNode.cend())
                groupNode.insert(arrival.group, it.value());
            else if (seen.value() != it.value())
                shared = true;
        }
    }
    if (byNode.size() == 1 || shared) {
        for (const QList<Arrival> &atNode : std::as_const(byNode))
            missing->append(stepAtNode(atNode));
        writeBackStates();
        return;
    }
    // Each node step reports the arrivals it could not step into a slot of
    // its own; the first node is stepped on this thread.
    std::vector<QList<Arrival>> missingAt(size_t(byNode.size()));
    {
        std::lock_guard<std::mutex> lock(m_poolMutex);
        if (m_workers.empty()) {
            const int count = std::clamp(QThread::idealThreadCount() - 1, 1, MaxStepWorkers);
            for (int i = 0; i < count; ++i)
                m_workers.emplace_back([this] { runWorker(); });
        }
        for (int i = 1; i < byNode.size(); ++i)
            m_jobs.push_back(NodeJob{&byNode.at(i), &missingAt[size_t(i)]});
        m_poolSteps = int(byNode.size()) - 1;
        m_jobReady.notify_all();
    }
    missingAt[0] = stepAtNode(byNode.first());
    std::unique_lock<std::mutex> lock(m_poolMutex);
    m_poolDone.wait(lock, [this] { return m_poolSteps == 0; });
    for (const QList<Arrival> &notStepped : missingAt)
        missing->append(notStepped);
    writeBackStates();
}

void VoiceSchedule::writeBackStates()
{
    m_networkCache.takeWrites(&m_stateWrites, &m_scaleWrites);
    if (m_stateWrites.empty() && m_scaleWrites.empty())
        return;
    // In one hold of the document lock. A write-back through an entry removed
    // since the round began changes nothing.
    QmdReadLocker documentLock(m_controller);
    for (const NetworkCache::StateWrite &write : m_stateWrites) {
        if (write.edgeUsage)
            m_controller->writeBack(NetworkReader::stateKeys(), write.values, write.entry);
        else
            m_controller->writeBack(NetworkReader::counterKeys(), write.values.mid(0, NetworkReader::EdgeUsageId),
                                    write.entry);
    }
    for (const NetworkCache::ScaleWrite &write : m_scaleWrites)
        m_controller->writeBack(NetworkReader::scaleKeys(), {write.scale}, write.entry);
}

void VoiceSchedule::runWorker()
{
    std::unique_lock<std::mutex> lock(m_poolMutex);
    while (true) {
        m_jobReady.wait(lock, [this] { return m_workersQuit || !m_jobs.empty(); });
        if (m_workersQuit)
            return;
        const NodeJob job = m_jobs.back();
        m_jobs.pop_back();
        lock.unlock();
        QList<Arrival> notStepped = stepAtNode(*job.arrivals);
        lock.lock();
        *job.missing = std::move(notStepped);
        if (--m_poolSteps == 0)
            m_poolDone.notify_all();
    }
}

QList<VoiceSchedule::Arrival> VoiceSchedule::stepAtNode(const QList<Arrival> &arrivals)
{
    QList<Arrival> notStepped;
    for (const Arrival &arrival : arrivals) {
        if (!arrival.group->stepVoice(arrival.voice))
            notStepped.append(arrival);
    }
    return notStepped;
}
