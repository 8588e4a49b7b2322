#include "qmdvelkakeys.h"
#include "voiceschedule.h"

#include "abstractsync.h"
#include "monotonicclock.h"
#include "qmdreadlocker.h"
#include "qmdvelkacontroller.h"
#include "realtimescheduling.h"
#include "voicegroup.h"

#include <QHash>
#include <QMutexLocker>
#include <QThreadPool>

#include <algorithm>
#include <limits>

namespace {
// The pace of arrivals that are due again after a pass (waiting for a node
// that is missing, or travelling a cycle that takes no time), so they never
// become a busy loop.
constexpr quint64 DueAgainInterval = 10000000; // nanoseconds
constexpr quint64 Never = std::numeric_limits<quint64>::max();
// Rounds of one tick in one pass: the arrivals due at it and those sent on
// from them along edges that take no time.
constexpr int MaxRoundsPerTick = 2;

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
    QMutexLocker locker(&registryMutex);
    auto it = registry().find(m_controller);
    if (it != registry().end() && it.value().expired())
        registry().erase(it);
}

void VoiceSchedule::addGroup(VoiceGroup *group)
{
    const auto place = std::lower_bound(m_groups.begin(), m_groups.end(), group,
                                        [](const VoiceGroup *a, const VoiceGroup *b) {
                                            return a->group() < b->group();
                                        });
    m_groups.insert(place, group);
}

void VoiceSchedule::removeGroup(VoiceGroup *group)
{
    m_groups.removeOne(group);
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
    QMutexLocker step(&m_stepMutex);
    QList<VoiceGroup *> playing;
    for (VoiceGroup *group : std::as_const(m_groups)) {
        if (group->takesPart())
            playing.append(group);
    }
    if (playing.isEmpty())
        return Never;
    AbstractSync *clock = m_clock;
    if (!clock || !clock->isPlaying())
        return MonotonicClock::nanoseconds() + DueAgainInterval;

    const quint64 ahead = horizon();
    const quint64 aheadTicks = ahead != 0 ? clock->nanosecondsToTicks(ahead) : 0;
    const quint64 limit = clock->currentTick() + aheadTicks;
    ++m_pass;
    bool dueAgain = false;
    quint64 tick = 0;
    quint64 roundTick = 0;
    int roundsAtTick = 0;
    while (earliestArrival(playing, limit, &tick)) {
        // Voices sent on along edges that take no time are due at the tick
        // they left and are stepped in a further round of it; past a few such
        // rounds (a cycle that takes no time) they wait for the next pass,
        // and no later arrival is stepped before them.
        roundsAtTick = roundsAtTick != 0 && tick == roundTick ? roundsAtTick + 1 : 1;
        roundTick = tick;
        if (roundsAtTick > MaxRoundsPerTick)
            return MonotonicClock::nanoseconds() + DueAgainInterval;
        stepRound(arrivalsAt(tick, playing));
    }

    bool any = false;
    quint64 nextArrival = Never;
    for (VoiceGroup *group : std::as_const(playing)) {
        const QList<Voice *> voices = group->activeVoices();
        if (voices.isEmpty()) {
            // Every voice has ended: the group pauses until the next continue
            // seeds a new start voice.
            group->pauseWhenEnded();
            continue;
        }
        for (const Voice *voice : voices) {
            any = true;
            if (voice->triedInPass == m_pass)
                dueAgain = true; // its node is missing
            else
                nextArrival = std::min(nextArrival, voice->state.arrival);
        }
    }
    if (!any)
        return Never;
    const quint64 now = MonotonicClock::nanoseconds();
    quint64 next = Never;
    if (nextArrival != Never) {
        const quint64 at = clock->counterNanosecondsAtTick(nextArrival);
        next = at == Never ? Never : (at > ahead ? at - ahead : 0);
    }
    if (dueAgain)
        next = std::min(next, now + DueAgainInterval);
    return next;
}

bool VoiceSchedule::earliestArrival(const QList<VoiceGroup *> &groups, quint64 limit, quint64 *tick)
{
    bool found = false;
    for (VoiceGroup *group : groups) {
        for (const Voice *voice : group->activeVoices()) {
            if (voice->triedInPass == m_pass || voice->state.arrival > limit)
                continue;
            if (!found || voice->state.arrival < *tick)
                *tick = voice->state.arrival;
            found = true;
        }
    }
    return found;
}

QList<VoiceSchedule::Arrival> VoiceSchedule::arrivalsAt(quint64 tick, const QList<VoiceGroup *> &groups)
{
    QList<Arrival> arrivals;
    for (VoiceGroup *group : groups) {
        for (Voice *voice : group->activeVoices()) {
            if (voice->triedInPass == m_pass || voice->state.arrival != tick)
                continue;
            voice->triedInPass = m_pass;
            // Drawn here, in stepping order, so the steps at different nodes
            // running side by side take their numbers in a fixed order.
            voice->draw = group->drawRandom();
            arrivals.append(Arrival{group, voice});
        }
    }
    return arrivals;
}

void VoiceSchedule::stepRound(const QList<Arrival> &arrivals)
{
    if (arrivals.isEmpty())
        return;
    // The arrivals at each node, in stepping order.
    QList<QList<Arrival>> byNode;
    // A group arriving at two nodes takes its free voices in the order of its
    // steps only when they run one after another.
    bool shared = false;
    {
        QHash<QmdItemId, int> nodeIndex;
        QHash<VoiceGroup *, int> groupNode;
        QmdReadLocker documentLock(m_controller);
        for (const Arrival &arrival : arrivals) {
            const QmdItemId node = m_controller->elementData(arrival.voice->state.item, QmdVelkaKeys::ToNode).toUInt();
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
            stepAtNode(atNode);
        return;
    }
    // The count of running node steps is a member, so a pool thread that
    // reports its end never touches memory that this round has already left.
    {
        std::lock_guard<std::mutex> lock(m_poolMutex);
        m_poolSteps = int(byNode.size()) - 1;
    }
    for (int i = 1; i < byNode.size(); ++i) {
        const QList<Arrival> atNode = byNode.at(i);
        QThreadPool::globalInstance()->start([this, atNode] {
            // Taken first so that the hand-over from this round is visible to
            // ThreadSanitizer, which does not see inside Qt's pool.
            { std::lock_guard<std::mutex> lock(m_poolMutex); }
            stepAtNode(atNode);
            std::lock_guard<std::mutex> lock(m_poolMutex);
            if (--m_poolSteps == 0)
                m_poolDone.notify_all();
        });
    }
    stepAtNode(byNode.first());
    std::unique_lock<std::mutex> lock(m_poolMutex);
    m_poolDone.wait(lock, [this] { return m_poolSteps == 0; });
}

void VoiceSchedule::stepAtNode(const QList<Arrival> &arrivals)
{
    for (const Arrival &arrival : arrivals)
        arrival.group->stepVoice(arrival.voice);
}
