#include "voicegroup.h"

#include "abstractsync.h"
#include "monotonicclock.h"
#include "notenames.h"
#include "realtimescheduling.h"
#include "qmdvelkacontroller.h"
#include "tickrounding.h"
#include "voicerules.h"

#include <QMutexLocker>

#include <algorithm>
#include <cmath>
#include <mutex>


namespace {
// The pace of voices that are due again straight after a step. A group
// otherwise sleeps until its next arrival; a clock that changes its timing or
// corrects its position wakes it (timingChanged).
constexpr quint64 DueAgainInterval = 10000000; // nanoseconds

void insertByNumber(QList<Voice *> &voices, Voice *voice)
{
    const auto place = std::lower_bound(voices.begin(), voices.end(), voice,
                                        [](const Voice *a, const Voice *b) { return a->number < b->number; });
    voices.insert(place, voice);
}
} // namespace

VoiceGroup::VoiceGroup(QmdItemId group, QmdVelkaController *controller)
    : QThread(nullptr)
    , m_group(group)
{
    QmdObserver<QmdVelkaController>::setController(controller);
}

VoiceGroup::~VoiceGroup()
{
    terminateSafely();
    wait();
    QMutexLocker step(&m_stepMutex);
    QMutexLocker voices(&m_voiceSetMutex);
    m_freeVoices.clear();
    m_activeVoices.clear();
    m_voices.clear();
}

void VoiceGroup::waitUntilStarted()
{
    std::unique_lock<std::mutex> locker(m_waitMutex);
    while (!m_started.load() && isRunning())
        m_idleCondition.wait(locker);
}

void VoiceGroup::syncSync()
{
    if (!m_started.load() || !isRunning())
        return;
    QMutexLocker step(&m_stepMutex);
    syncSyncBody();
}

void VoiceGroup::reset()
{
    if (!m_started.load() || !isRunning())
        return;
    QMutexLocker step(&m_stepMutex);
    resetBody();
}

void VoiceGroup::continueIterating()
{
    if (!m_started.load() || !isRunning())
        return;
    QMutexLocker step(&m_stepMutex);
    continueBody();
}

void VoiceGroup::pauseIterating()
{
    if (!m_started.load() || !isRunning())
        return;
    QMutexLocker step(&m_stepMutex);
    pauseBody();
}

void VoiceGroup::gotoStart()
{
    QMutexLocker step(&m_stepMutex);
    const bool wasPlaying = m_playing.load();
    resetBody();
    if (wasPlaying)
        continueBody();
}

void VoiceGroup::terminateSafely()
{
    std::unique_lock<std::mutex> locker(m_waitMutex);
    m_quit.store(true);
    m_waitCondition.notify_all();
}

void VoiceGroup::traverseFromPlaybackPos()
{
    if (!m_started.load() || !isRunning())
        return;
    QMutexLocker step(&m_stepMutex);
    const bool wasPlaying = m_playing.load();
    if (m_busy.load())
        pauseAndWaitIdle();
    QList<Voice *> active;
    {
        QMutexLocker voices(&m_voiceSetMutex);
        active = m_activeVoices;
    }
    for (Voice *voice : active) {
        bool found = false;
        const quint64 ticks = travelTime(voice->state.item, &found);
        if (found)
            voice->state.arrival = voice->state.start + ticks;
        else
            freeVoice(voice);
    }
    if (wasPlaying)
        continueBody();
}

QList<VoiceState> VoiceGroup::activeVoiceStates() const
{
    // Steps change a voice's state under the step mutex alone.
    QMutexLocker step(&m_stepMutex);
    QMutexLocker voices(&m_voiceSetMutex);
    QList<VoiceState> states;
    for (const Voice *voice : m_activeVoices)
        states.append(voice->state);
    return states;
}

void VoiceGroup::pauseBody()
{
    std::unique_lock<std::mutex> locker(m_waitMutex);
    m_playing.store(false);
    m_waitCondition.notify_all();
}

void VoiceGroup::pauseAndWaitIdle()
{
    pauseBody();
    std::unique_lock<std::mutex> locker(m_waitMutex);
    while (m_busy.load() && !m_playing.load())
        m_idleCondition.wait(locker);
}

void VoiceGroup::continueBody()
{
    if (!hasActiveVoice())
        resetBody();
    if (!hasActiveVoice())
        return;
    std::unique_lock<std::mutex> locker(m_waitMutex);
    m_playing.store(true);
    m_waitCondition.notify_all();
}

void VoiceGroup::resetBody()
{
    if (m_busy.load())
        pauseAndWaitIdle();
    {
        QMutexLocker voices(&m_voiceSetMutex);
        for (Voice *voice : std::as_const(m_activeVoices))
            insertByNumber(m_freeVoices, voice);
        m_activeVoices.clear();
    }
    Voice *voice = takeFreeVoice();
    if (!voice)
        return; // no voices before the thread has made them
    AbstractSync *clock = m_sync.load();
    const quint64 now = clock ? clock->currentTick() : 0;
    VoiceState &state = voice->state;
    state.item = m_group;
    state.start = now;
    state.arrival = now;
    if (QmdVelkaController *controller = this->controller()) {
        state.pitch = InstrumentEvent::toDataByte(
            noteNameToNumber(controller->elementData(m_group, QStringLiteral("InitialPitch")).toString()));
        state.velocity = InstrumentEvent::toDataByte(
            controller->elementData(m_group, QStringLiteral("InitialVelocity")).toInt());
        const double ticks = controller->elementData(m_group, QStringLiteral("InitialDuration")).toDouble()
                             * double(VoiceRules::TicksPerPrincipal);
        // Kept to the range of a node's durations, so a note off never comes
        // before its note on; a value that is no number gives no duration.
        if (std::isnan(ticks) || ticks <= 0.0)
            state.duration = 0;
        else if (ticks >= double(VoiceRules::MaxDuration))
            state.duration = VoiceRules::MaxDuration;
        else
            state.duration = quint64(roundToTick(ticks));
        state.instrument = controller->elementData(m_group, QStringLiteral("InitialInstrument")).toUInt();
    }
}

void VoiceGroup::syncSyncBody()
{
    const bool wasPlaying = m_playing.load();
    if (m_busy.load())
        pauseAndWaitIdle();
    QmdVelkaController *controller = this->controller();
    AbstractSync *clock = controller ? controller->sync() : nullptr;
    m_sync.store(clock);
    followTiming(clock);
    if (wasPlaying)
        continueBody();
}

void VoiceGroup::followTiming(AbstractSync *clock)
{
    disconnect(m_timingConnection);
    disconnect(m_startConnection);
    if (clock) {
        m_timingConnection = connect(clock, &AbstractSync::timingChanged, this,
                                     [this] { wake(); }, Qt::DirectConnection);
        m_startConnection = connect(clock, &AbstractSync::started, this, [this] { wake(); }, Qt::DirectConnection);
    }
}

void VoiceGroup::wake()
{
    std::unique_lock<std::mutex> locker(m_waitMutex);
    m_woken = true;
    m_waitCondition.notify_all();
}

void VoiceGroup::run()
{
    if (priority() == QThread::TimeCriticalPriority)
        RealtimeScheduling::request(RealtimeScheduling::VoiceSteps);
    {
        QMutexLocker step(&m_stepMutex);
        {
            QMutexLocker voices(&m_voiceSetMutex);
            for (quint32 number = 1; number < quint32(Capacity); ++number) {
                m_voices.push_back(std::make_unique<Voice>(number));
                m_freeVoices.append(m_voices.back().get());
            }
        }
        syncSyncBody();
    }
    std::unique_lock<std::mutex> locker(m_waitMutex);
    m_started.store(true);
    m_idleCondition.notify_all();
    while (!m_quit.load()) {
        if (!m_playing.load()) {
            m_busy.store(false);
            m_idleCondition.notify_all();
            m_waitCondition.wait(locker);
            continue;
        }
        m_busy.store(true);
        m_woken = false;
        locker.unlock();
        const quint64 next = stepDueVoices();
        locker.lock();
        if (m_quit.load() || !m_playing.load() || m_woken)
            continue;
        m_waitCondition.wait_until(locker, MonotonicClock::deadline(next));
    }
    m_busy.store(false);
    m_idleCondition.notify_all();
}

quint64 VoiceGroup::stepDueVoices()
{
    // A slot that holds the step mutex either finishes soon or pauses the
    // group and waits for it to go idle; in that case this pass gives up.
    while (!m_stepMutex.tryLock(1)) {
        if (m_quit.load() || !m_playing.load())
            return MonotonicClock::nanoseconds();
    }
    std::unique_lock<QMutex> step(m_stepMutex, std::adopt_lock);
    const quint64 now = MonotonicClock::nanoseconds();
    AbstractSync *clock = m_sync.load();
    if (!clock || !clock->isPlaying())
        return now + DueAgainInterval;

    const quint64 passTick = clock->currentTick();
    QList<Voice *> due;
    {
        QMutexLocker voices(&m_voiceSetMutex);
        for (Voice *voice : std::as_const(m_activeVoices)) {
            if (voice->state.arrival <= passTick)
                due.append(voice);
        }
    }
    std::stable_sort(due.begin(), due.end(), [](const Voice *a, const Voice *b) {
        return a->state.arrival < b->state.arrival;
    });
    stepAll(due);

    bool any = false;
    quint64 nextArrival = 0;
    {
        QMutexLocker voices(&m_voiceSetMutex);
        for (const Voice *voice : std::as_const(m_activeVoices)) {
            if (!any || voice->state.arrival < nextArrival)
                nextArrival = voice->state.arrival;
            any = true;
        }
    }
    if (!any) {
        // Every voice has ended: the group pauses until the next continue
        // seeds a new start voice. Done under the step mutex, so a continue
        // made meanwhile is not undone.
        pauseBody();
        return now;
    }
    const quint64 after = MonotonicClock::nanoseconds();
    if (nextArrival <= passTick)
        return after + DueAgainInterval;
    return clock->counterNanosecondsAtTick(nextArrival);
}

Voice *VoiceGroup::takeFreeVoice()
{
    QMutexLocker voices(&m_voiceSetMutex);
    if (m_freeVoices.isEmpty())
        return nullptr;
    Voice *voice = m_freeVoices.takeFirst();
    voice->state.clear();
    insertByNumber(m_activeVoices, voice);
    return voice;
}

void VoiceGroup::freeVoice(Voice *voice)
{
    QMutexLocker voices(&m_voiceSetMutex);
    if (!m_activeVoices.removeOne(voice))
        return;
    insertByNumber(m_freeVoices, voice);
}

bool VoiceGroup::hasFreeVoice() const
{
    QMutexLocker voices(&m_voiceSetMutex);
    return !m_freeVoices.isEmpty();
}

bool VoiceGroup::hasActiveVoice() const
{
    QMutexLocker voices(&m_voiceSetMutex);
    return !m_activeVoices.isEmpty();
}
