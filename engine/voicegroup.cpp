#include "voicegroup.h"

#include "abstractsync.h"
#include "instrumentevent.h"
#include "monotonicclock.h"
#include "notenames.h"
#include "qmdvelkacontroller.h"
#include "tickrounding.h"
#include "voicerules.h"
#include "voiceschedule.h"

#include <QMutexLocker>

#include <algorithm>
#include <cmath>


namespace {
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
    , m_schedule(VoiceSchedule::of(controller))
    , m_random(std::random_device{}())
{
    QmdObserver<QmdVelkaController>::setController(controller);
}

VoiceGroup::~VoiceGroup()
{
    terminateSafely();
    wait();
    QMutexLocker step(m_schedule->stepMutex());
    for (Voice *voice : activeVoices())
        m_schedule->dequeue(this, voice);
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

void VoiceGroup::seedRandom(quint64 seed)
{
    QMutexLocker step(m_schedule->stepMutex());
    m_random.seed(seed);
}

quint64 VoiceGroup::drawRandom()
{
    return m_random();
}

void VoiceGroup::syncSync()
{
    if (!m_started.load() || !isRunning())
        return;
    QMutexLocker step(m_schedule->stepMutex());
    syncSyncBody();
}

void VoiceGroup::reset()
{
    if (!m_started.load() || !isRunning())
        return;
    QMutexLocker step(m_schedule->stepMutex());
    resetBody();
}

void VoiceGroup::continueIterating()
{
    if (!m_started.load() || !isRunning())
        return;
    QMutexLocker step(m_schedule->stepMutex());
    continueBody();
}

void VoiceGroup::pauseIterating()
{
    if (!m_started.load() || !isRunning())
        return;
    QMutexLocker step(m_schedule->stepMutex());
    m_playing.store(false);
    for (Voice *voice : activeVoices())
        m_schedule->dequeue(this, voice);
}

void VoiceGroup::gotoStart()
{
    QMutexLocker step(m_schedule->stepMutex());
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
    QMutexLocker step(m_schedule->stepMutex());
    for (Voice *voice : activeVoices()) {
        m_schedule->dequeue(this, voice);
        bool found = false;
        const quint64 ticks = travelTime(voice->state.item, &found);
        if (found) {
            voice->state.arrival = voice->state.start + ticks;
            queueIfPlaying(voice);
        } else {
            freeVoice(voice);
        }
    }
    pauseWhenEnded();
    m_schedule->wake();
}

QList<VoiceState> VoiceGroup::activeVoiceStates() const
{
    // Steps change a voice's state under the step mutex alone.
    QMutexLocker step(m_schedule->stepMutex());
    QMutexLocker voices(&m_voiceSetMutex);
    QList<VoiceState> states;
    for (const Voice *voice : m_activeVoices)
        states.append(voice->state);
    return states;
}

QList<Voice *> VoiceGroup::activeVoices() const
{
    QMutexLocker voices(&m_voiceSetMutex);
    return m_activeVoices;
}

void VoiceGroup::pauseWhenEnded()
{
    if (!hasActiveVoice())
        m_playing.store(false);
}

void VoiceGroup::continueBody()
{
    if (!hasActiveVoice()) {
        // Voices stepped ahead of the clock end before it reaches their last
        // arrival, whose note still waits in its queue: until the clock gets
        // there the group has not ended, and a continue does not start it
        // again.
        AbstractSync *clock = m_sync.load();
        if (clock && clock->currentTick() < m_lastArrival)
            return;
        resetBody();
    }
    if (!hasActiveVoice())
        return;
    m_playing.store(true);
    for (Voice *voice : activeVoices())
        m_schedule->enqueue(this, voice);
    m_schedule->wake();
}

void VoiceGroup::resetBody()
{
    m_lastArrival = 0;
    for (Voice *voice : activeVoices())
        m_schedule->dequeue(this, voice);
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
    queueIfPlaying(voice);
}

void VoiceGroup::syncSyncBody()
{
    QmdVelkaController *controller = this->controller();
    AbstractSync *clock = controller ? controller->sync() : nullptr;
    m_sync.store(clock);
    m_schedule->followClock(clock);
}

void VoiceGroup::run()
{
    {
        QMutexLocker step(m_schedule->stepMutex());
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
    // The schedule steps the voices; the thread stays until the group ends,
    // so the slots above keep telling a started group from one not started.
    m_waitCondition.wait(locker, [this] { return m_quit.load(); });
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

void VoiceGroup::queueIfPlaying(Voice *voice)
{
    if (m_playing.load())
        m_schedule->enqueue(this, voice);
}

void VoiceGroup::freeVoice(Voice *voice)
{
    m_schedule->dequeue(this, voice);
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
