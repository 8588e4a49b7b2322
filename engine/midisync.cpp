#include "midisync.h"

#include "midiinput.h"
#include "midijobthread.h"
#include "midioutputsyncclock.h"
#include "monotonicclock.h"
#include "portrecord.h"
#include "qmdvelkacontroller.h"
#include "qmdvelkakeys.h"
#include "voiceschedule.h"

#include <QDebug>
#include <QCoreApplication>
#include <QMutexLocker>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Clock ports open here, one after the other: opening waits on the MIDI
// system. Never destroyed, as a thread stuck in the MIDI library may hold it.
MidiJobThread &clockPortJobs()
{
    static auto *jobs = new MidiJobThread;
    return *jobs;
}

typedef unsigned __int128 Wide;

constexpr quint64 NanosecondsPerMinute = 60000000000ull;
constexpr quint64 MaxTime = std::numeric_limits<quint64>::max();
// Half a MIDI clock: a larger position error is corrected when it persists.
constexpr qint64 ClockTolerance = 13860;
constexpr int ClocksBeforeCorrection = 3;
constexpr quint64 RateWindowNanoseconds = 2000000000ull;
constexpr quint64 TempoUpdateNanoseconds = 100000000ull;

// 0 is taken as 1: no conversion divides by zero.
quint64 atLeastOne(uint value)
{
    return value ? value : 1;
}

quint64 saturate(Wide value)
{
    return value > Wide(MaxTime) ? MaxTime : quint64(value);
}

// floor(a * b / c), or the ceiling when roundUp is set, saturated at the largest 64-bit
// value. b and c are below 2^95, which holds for every factor of the clock (at most
// 2^32 * 665280 * 2^32 and 2^32 * 6e10).
quint64 mulDiv(quint64 a, Wide b, Wide c, bool roundUp = false)
{
    const Wide bq = b / c;
    const Wide br = b % c;
    if (a != 0 && bq > Wide(MaxTime))
        return MaxTime;
    const Wide whole = Wide(a) * bq;
    if (whole > Wide(MaxTime))
        return MaxTime;
    // a * br / c without overflow: split a into 32-bit halves.
    const Wide high = Wide(a >> 32) * br;
    const Wide highQuotient = high / c;
    const Wide rest = ((high % c) << 32) + Wide(a & 0xffffffffu) * br;
    Wide result = whole + (highQuotient << 32) + rest / c;
    if (roundUp && rest % c != 0)
        ++result;
    return saturate(result);
}

// A measured rate in beats per minute as a tempo the clock accepts.
uint rateToTempo(double beatsPerMinute)
{
    return uint(qBound(1.0, std::round(beatsPerMinute), 999.0));
}

quint64 addSigned(quint64 position, qint64 correction)
{
    if (correction >= 0)
        return MaxTime - position < quint64(correction) ? MaxTime : position + quint64(correction);
    const quint64 magnitude = quint64(-(correction + 1)) + 1;
    return position < magnitude ? 0 : position - magnitude;
}

} // namespace

MidiSync::MidiSync(QObject *parent)
    : AbstractSync(parent)
{
    recomputeFactors();
}

MidiSync::~MidiSync()
{
    MidiSync::setController(nullptr);
}

quint64 MidiSync::counterNanoseconds()
{
    return MonotonicClock::nanoseconds();
}

QString MidiSync::type() const
{
    return QStringLiteral("internal");
}

QString MidiSync::description() const
{
    return tr("MidiSync");
}

bool MidiSync::isPlaying() const
{
    return m_playing.load();
}

uint MidiSync::tempo() const
{
    return m_tempo.load();
}

uint MidiSync::principalsToBeatsNumerator() const
{
    return m_numerator.load();
}

uint MidiSync::principalsToBeatsDenominator() const
{
    return m_denominator.load();
}

// Conversions. Ticks per nanosecond = numerator * 665280 * tempo / (denominator * 6e10);
// beat ticks per nanosecond = tempo * 665280 / 6e10.

quint64 MidiSync::nanosecondsToTicks(quint64 nanoseconds) const
{
    ClockLocker locker(m_clockMutex);
    return mulDiv(nanoseconds, Wide(atLeastOne(m_numerator)) * TicksPerPrincipal * atLeastOne(m_tempo),
                  Wide(atLeastOne(m_denominator)) * NanosecondsPerMinute);
}

quint64 MidiSync::ticksToNanoseconds(quint64 ticks) const
{
    ClockLocker locker(m_clockMutex);
    return mulDiv(ticks, Wide(atLeastOne(m_denominator)) * NanosecondsPerMinute,
                  Wide(atLeastOne(m_numerator)) * TicksPerPrincipal * atLeastOne(m_tempo));
}

quint64 MidiSync::ticksToNanosecondsCeil(quint64 ticks) const
{
    return mulDiv(ticks, Wide(atLeastOne(m_denominator)) * NanosecondsPerMinute,
                  Wide(atLeastOne(m_numerator)) * TicksPerPrincipal * atLeastOne(m_tempo), true);
}

quint64 MidiSync::nanosecondsToBeatTicks(quint64 nanoseconds) const
{
    ClockLocker locker(m_clockMutex);
    return mulDiv(nanoseconds, Wide(atLeastOne(m_tempo)) * BeatTicksPerBeat, NanosecondsPerMinute);
}

quint64 MidiSync::beatTicksToNanoseconds(quint64 beatTicks) const
{
    ClockLocker locker(m_clockMutex);
    return mulDiv(beatTicks, NanosecondsPerMinute, Wide(atLeastOne(m_tempo)) * BeatTicksPerBeat);
}

quint64 MidiSync::beatTicksToNanosecondsCeil(quint64 beatTicks) const
{
    return mulDiv(beatTicks, NanosecondsPerMinute, Wide(atLeastOne(m_tempo)) * BeatTicksPerBeat, true);
}

quint64 MidiSync::ticksToBeatTicks(quint64 ticks) const
{
    ClockLocker locker(m_clockMutex);
    return mulDiv(ticks, atLeastOne(m_denominator), atLeastOne(m_numerator));
}

quint64 MidiSync::beatTicksToTicks(quint64 beatTicks) const
{
    ClockLocker locker(m_clockMutex);
    return mulDiv(beatTicks, atLeastOne(m_numerator), atLeastOne(m_denominator));
}

// Position.

quint64 MidiSync::elapsedAt(quint64 now) const
{
    return m_playing && now > m_startTime ? now - m_startTime : 0;
}

quint64 MidiSync::currentNanoseconds() const
{
    ClockLocker locker(m_clockMutex);
    return m_nanosecondOffset + elapsedAt(counterNanoseconds());
}

quint64 MidiSync::currentTick() const
{
    ClockLocker locker(m_clockMutex);
    const quint64 position = m_tickOffset + nanosecondsToTicks(elapsedAt(counterNanoseconds()));
    return addSigned(position, m_tickCorrection);
}

quint64 MidiSync::currentBeatTick() const
{
    ClockLocker locker(m_clockMutex);
    const quint64 position = m_beatTickOffset + nanosecondsToBeatTicks(elapsedAt(counterNanoseconds()));
    return addSigned(position, m_beatTickCorrection);
}

quint64 MidiSync::counterTimeOf(quint64 target, quint64 offset, qint64 correction,
                                quint64 (MidiSync::*toNanosecondsCeil)(quint64) const) const
{
    if (!m_playing)
        return MaxTime;
    // The position is offset + floor(elapsed * rate) + correction; find the least elapsed
    // time at which it reaches target.
    const __int128 distance = __int128(target) - __int128(offset) - __int128(correction);
    if (distance <= 0)
        return m_startTime;
    const quint64 elapsed = (this->*toNanosecondsCeil)(saturate(Wide(distance)));
    return MaxTime - m_startTime < elapsed ? MaxTime : m_startTime + elapsed;
}

quint64 MidiSync::counterNanosecondsAtTick(quint64 tick) const
{
    ClockLocker locker(m_clockMutex);
    return counterTimeOf(tick, m_tickOffset, m_tickCorrection, &MidiSync::ticksToNanosecondsCeil);
}

quint64 MidiSync::counterNanosecondsAtBeatTick(quint64 beatTick) const
{
    ClockLocker locker(m_clockMutex);
    return counterTimeOf(beatTick, m_beatTickOffset, m_beatTickCorrection, &MidiSync::beatTicksToNanosecondsCeil);
}

void MidiSync::rebase(quint64 time)
{
    // A time before the start (a stop stamped before the clock started) changes nothing.
    if (time < m_startTime)
        time = m_startTime;
    const quint64 elapsed = time - m_startTime;
    m_nanosecondOffset += elapsed;
    m_tickOffset += nanosecondsToTicks(elapsed);
    m_beatTickOffset += nanosecondsToBeatTicks(elapsed);
    m_startTime = time;
}

void MidiSync::rebaseNow()
{
    rebase(counterNanoseconds());
}

void MidiSync::recomputeFactors()
{
    ClockLocker locker(m_clockMutex);
    const quint64 magnitude = m_beatTickCorrection < 0 ? quint64(-(m_beatTickCorrection + 1)) + 1
                                                       : quint64(m_beatTickCorrection);
    const quint64 ticks = qMin<quint64>(beatTicksToTicks(magnitude), quint64(std::numeric_limits<qint64>::max()));
    m_tickCorrection = m_beatTickCorrection < 0 ? -qint64(ticks) : qint64(ticks);
}

// Playing state.

void MidiSync::setPlaying(bool play)
{
    // The position begins one step horizon after the call, so the arrivals due
    // at the start tick are stepped before it comes, as every later one is;
    // sync outputs need a lead of their own for MIDI Start.
    quint64 lead = VoiceSchedule::horizon();
    {
        ClockLocker locker(m_clockMutex);
        if (!m_syncOutputs.isEmpty())
            lead = std::max(lead, SyncOutputLeadNanoseconds);
    }
    setPlayingAt(counterNanoseconds(), lead, play);
}

// Senders are told outside the clock mutex: their steps read the position, and a sender
// whose send fails waits for its step in progress before it pauses.
void MidiSync::setPlayingAt(quint64 time, quint64 lead, bool play)
{
    QList<MidiOutputSyncClock *> outputs;
    {
        ClockLocker locker(m_clockMutex);
        outputs = m_syncOutputs;
        if (!play) {
            if (m_playing)
                rebase(time);
            m_playing = false;
            // A clock that followed MIDI clock stops exactly where the received clocks
            // counted.
            QMutexLocker inputLocker(&m_clockInputMutex);
            if (m_clockBeatTicks != 0 && m_clocksCountedSinceStart) {
                m_beatTickCorrection = qint64(m_clockBeatTicks) - qint64(m_beatTickOffset);
                m_outOfToleranceCount = 0;
                recomputeFactors();
            }
        } else if (m_playing) {
            // Already running: fold the time played into the offsets so the position goes
            // on from where it is; the senders keep streaming.
            rebase(time);
            return;
        }
    }
    if (!play) {
        // The clocks still due up to the final position, then MIDI Stop.
        for (MidiOutputSyncClock *output : std::as_const(outputs))
            output->pauseAndWait();
        return;
    }

    for (MidiOutputSyncClock *output : std::as_const(outputs))
        output->sendStart();
    {
        // Playing from now on; the position stays at the offsets until the start time.
        ClockLocker locker(m_clockMutex);
        m_startTime = time + lead;
        m_playing = true;
        QMutexLocker inputLocker(&m_clockInputMutex);
        m_clocksCountedSinceStart = false;
    }
    // Players primed while the clock stood wait for it: their next step is
    // due now.
    emit started();
    // Each sender marks the start with its Timing Clock once the lead has
    // passed; nobody waits for it here.
    for (MidiOutputSyncClock *output : std::as_const(outputs))
        output->startAt(time + lead);
}

void MidiSync::reset()
{
    AbstractSync::reset();
    QList<MidiOutputSyncClock *> outputs;
    {
        ClockLocker locker(m_clockMutex);
        QMutexLocker inputLocker(&m_clockInputMutex);
        m_playing = false;
        m_nanosecondOffset = 0;
        m_tickOffset = 0;
        m_beatTickOffset = 0;
        m_startTime = 0;
        m_startPending = false;
        m_startPendingFromZero = false;
        m_clockBeatTicks = 0;
        m_beatTickCorrection = 0;
        m_outOfToleranceCount = 0;
        m_clocksCountedSinceStart = false;
        recomputeFactors();
        outputs = m_syncOutputs;
    }
    // The senders are not paused and send no Stop; while the clock is stopped their
    // steps send nothing.
    for (MidiOutputSyncClock *output : std::as_const(outputs))
        output->sendSongPositionZero();
}

// Tempo and ratio.

void MidiSync::setTempo(uint tempo)
{
    bool changed = false;
    {
        ClockLocker locker(m_clockMutex);
        if (tempo != m_tempo) {
            if (m_playing)
                rebaseNow();
            m_tempo = tempo;
            recomputeFactors();
            for (MidiOutputSyncClock *output : std::as_const(m_syncOutputs))
                output->setTempo(tempo);
            changed = true;
        }
    }
    if (changed)
        emit tempoChanged(tempo);
}

void MidiSync::setPrincipalsToBeatsNumerator(uint numerator)
{
    bool changed = false;
    {
        ClockLocker locker(m_clockMutex);
        if (numerator != m_numerator) {
            if (m_playing)
                rebaseNow();
            m_numerator = numerator;
            recomputeFactors();
            changed = true;
        }
    }
    if (changed)
        emit principalsToBeatsNumeratorChanged(numerator);
}

void MidiSync::setPrincipalsToBeatsDenominator(uint denominator)
{
    bool changed = false;
    {
        ClockLocker locker(m_clockMutex);
        if (denominator != m_denominator) {
            if (m_playing)
                rebaseNow();
            m_denominator = denominator;
            recomputeFactors();
            changed = true;
        }
    }
    if (changed)
        emit principalsToBeatsDenominatorChanged(denominator);
}

// Document binding and sync ports.

void MidiSync::setController(QmdVelkaController *controller)
{
    if (QmdVelkaController *old = this->controller()) {
        disconnect(old, qOverload<const QmdIndex &, const QStringList &, QmdRequestId>(&QmdController::itemsChanged),
                   this, &MidiSync::onItemsChanged);
        disconnect(old, qOverload<const QmdIndex &, const QStringList &, QmdRequestId>(&QmdController::itemsRemoved),
                   this, &MidiSync::onItemsRemoved);
    }
    closeAllSyncPorts();
    AbstractSync::setController(controller);
    if (!controller)
        return;
    connect(controller, qOverload<const QmdIndex &, const QStringList &, QmdRequestId>(&QmdController::itemsChanged),
            this, &MidiSync::onItemsChanged);
    connect(controller, qOverload<const QmdIndex &, const QStringList &, QmdRequestId>(&QmdController::itemsRemoved),
            this, &MidiSync::onItemsRemoved);
    const QmdIndex inputs = controller->syncMidiInputsIndex();
    onItemsChanged(inputs, controller->keys(inputs));
    const QmdIndex outputs = controller->syncMidiOutputsIndex();
    onItemsChanged(outputs, controller->keys(outputs));
}

void MidiSync::collectPortChanges(const QmdIndex &container, const QmdIndex &parent,
                                  const QStringList &keys, PortChanges *changes) const
{
    QmdVelkaController *controller = this->controller();
    if (!container.isValid())
        return;
    if (parent == container) {
        for (const QString &port : keys) {
            if (controller->data(QmdVelkaKeys::MidiSync, controller->index(port, container)).toBool())
                changes->open.append(port);
        }
    } else if (parent.isValid() && controller->parent(parent) == container
               && keys.contains(QmdVelkaKeys::MidiSync)) {
        if (controller->data(QmdVelkaKeys::MidiSync, parent).toBool())
            changes->open.append(parent.key());
        else
            changes->close.append(parent.key());
    }
}

void MidiSync::collectPortRemovals(const QmdIndex &container, const QmdIndex &parent,
                                   const QStringList &keys, PortChanges *changes) const
{
    if (!container.isValid())
        return;
    if (parent == container)
        changes->close.append(keys);
    else if (parent.isValid() && controller()->parent(parent) == container
             && keys.contains(QmdVelkaKeys::MidiSync))
        changes->close.append(parent.key());
}

void MidiSync::onItemsChanged(const QmdIndex &parent, const QStringList &keys)
{
    QmdVelkaController *controller = this->controller();
    if (!controller)
        return;
    PortChanges inputs;
    PortChanges outputs;
    collectPortChanges(controller->syncMidiInputsIndex(), parent, keys, &inputs);
    collectPortChanges(controller->syncMidiOutputsIndex(), parent, keys, &outputs);
    closeSyncInputs(inputs.close);
    openSyncInputs(inputs.open);
    destroySyncOutputs(takeSyncOutputs(&outputs.close));
    openSyncOutputs(outputs.open);
}

void MidiSync::onItemsRemoved(const QmdIndex &parent, const QStringList &keys)
{
    QmdVelkaController *controller = this->controller();
    if (!controller)
        return;
    PortChanges inputs;
    PortChanges outputs;
    collectPortRemovals(controller->syncMidiInputsIndex(), parent, keys, &inputs);
    collectPortRemovals(controller->syncMidiOutputsIndex(), parent, keys, &outputs);
    closeSyncInputs(inputs.close);
    destroySyncOutputs(takeSyncOutputs(&outputs.close));
}

// Ports open outside the clock mutex: every player's position read takes it,
// and opening waits for the MIDI library.
void MidiSync::openLater(MidiIO *io, const QString &name)
{
    const MidiDirection direction = io->direction();
    const QPointer<MidiSync> self(this);
    clockPortJobs().post([self, io, name, direction] {
        QString error;
        const std::shared_ptr<PortRecord> port = MidiIO::acquirePort(direction, name, &error);
        // Back on the clock's thread, where the clock may be gone by now.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, io, port, name, error] {
                if (self)
                    self->adoptSyncPort(io, port, name, error);
            },
            Qt::QueuedConnection);
    });
}

void MidiSync::adoptSyncPort(MidiIO *io, const std::shared_ptr<PortRecord> &port, const QString &name,
                             const QString &error)
{
    MidiInput *input = nullptr;
    MidiOutputSyncClock *output = nullptr;
    {
        ClockLocker locker(m_clockMutex);
        // Closed while it opened: the port goes again.
        if (m_syncPortNames.value(io) != name)
            return;
        for (MidiInput *candidate : std::as_const(m_syncInputs)) {
            if (static_cast<MidiIO *>(candidate) == io)
                input = candidate;
        }
        for (MidiOutputSyncClock *candidate : std::as_const(m_syncOutputs)) {
            if (static_cast<MidiIO *>(candidate) == io)
                output = candidate;
        }
    }
    if (!input && !output)
        return;
    if (!port) {
        qWarning().noquote() << QStringLiteral("Cannot open MIDI port \"%1\": %2").arg(name, error);
        qWarning().noquote() << (input ? QStringLiteral("MIDI clock input \"%1\" did not open: no clock is followed from it")
                                       : QStringLiteral("MIDI clock output \"%1\" did not open: no clock is sent to it"))
                                        .arg(name);
        return;
    }
    io->adopt(port, name);
    if (output && m_playing) {
        output->skipClocksBefore(currentBeatTick());
        output->sendStart();
        output->start();
    }
}

void MidiSync::openSyncInputs(const QStringList &names)
{
    for (const QString &name : names) {
        {
            ClockLocker locker(m_clockMutex);
            if (std::any_of(m_syncInputs.cbegin(), m_syncInputs.cend(),
                            [&](MidiInput *input) { return m_syncPortNames.value(input) == name; }))
                continue;
        }
        auto *input = new MidiInput(this);
        // Let Timing Clock through; system exclusive and active sensing stay ignored.
        input->setOptions(input->options() ^ MidiInput::IgnoreTiming);
        connect(input, &MidiInput::readyRead, this, &MidiSync::onMidiSyncReadyRead, Qt::QueuedConnection);
        {
            ClockLocker locker(m_clockMutex);
            m_syncInputs.append(input);
            m_syncPortNames.insert(input, name);
        }
        openLater(input, name);
    }
}

void MidiSync::closeSyncInputs(const QStringList &names)
{
    ClockLocker locker(m_clockMutex);
    for (int i = m_syncInputs.size() - 1; i >= 0; --i) {
        MidiInput *input = m_syncInputs.at(i);
        if (names.contains(m_syncPortNames.value(input))) {
            m_syncInputs.removeAt(i);
            m_syncPortNames.remove(input);
            input->deleteLater();
        }
    }
}

void MidiSync::openSyncOutputs(const QStringList &names)
{
    for (const QString &name : names) {
        {
            ClockLocker locker(m_clockMutex);
            if (std::any_of(m_syncOutputs.cbegin(), m_syncOutputs.cend(),
                            [&](MidiOutputSyncClock *output) { return m_syncPortNames.value(output) == name; }))
                continue;
        }
        auto *output = new MidiOutputSyncClock(this);
        output->setSync(this);
        output->setTempo(m_tempo);
        output->QThread::start(QThread::TimeCriticalPriority);
        {
            ClockLocker locker(m_clockMutex);
            m_syncOutputs.append(output);
            m_syncPortNames.insert(output, name);
        }
        openLater(output, name);
    }
}

QList<MidiOutputSyncClock *> MidiSync::takeSyncOutputs(const QStringList *names)
{
    ClockLocker locker(m_clockMutex);
    QList<MidiOutputSyncClock *> taken;
    for (int i = m_syncOutputs.size() - 1; i >= 0; --i) {
        MidiOutputSyncClock *output = m_syncOutputs.at(i);
        if (!names || names->contains(m_syncPortNames.value(output))) {
            m_syncOutputs.removeAt(i);
            m_syncPortNames.remove(output);
            taken.append(output);
        }
    }
    return taken;
}

void MidiSync::destroySyncOutputs(const QList<MidiOutputSyncClock *> &outputs)
{
    for (MidiOutputSyncClock *output : outputs) {
        output->terminateSafely();
        output->wait();
        delete output;
    }
}

void MidiSync::closeAllSyncPorts()
{
    {
        ClockLocker locker(m_clockMutex);
        for (MidiInput *input : std::as_const(m_syncInputs)) {
            m_syncPortNames.remove(input);
            input->deleteLater();
        }
        m_syncInputs.clear();
    }
    destroySyncOutputs(takeSyncOutputs(nullptr));
}

QStringList MidiSync::syncInputPortNames() const
{
    ClockLocker locker(m_clockMutex);
    QStringList names;
    for (MidiInput *input : m_syncInputs) {
        if (input->isOpen())
            names.append(input->portName());
    }
    names.sort();
    return names;
}

QStringList MidiSync::syncOutputPortNames() const
{
    ClockLocker locker(m_clockMutex);
    QStringList names;
    for (MidiOutputSyncClock *output : m_syncOutputs) {
        if (output->isOpen())
            names.append(output->portName());
    }
    names.sort();
    return names;
}

// Following MIDI clock.

// The controller's playback slots are called through the meta-object: they run on this
// thread, like a direct call, and a controller without them is left alone.
void MidiSync::requestGotoStart()
{
    if (QmdVelkaController *controller = this->controller())
        QMetaObject::invokeMethod(controller, "requestGotoStart", Qt::DirectConnection);
}

void MidiSync::requestPrimePlayback(bool play)
{
    if (QmdVelkaController *controller = this->controller())
        QMetaObject::invokeMethod(controller, "requestPrimePlaybackForSyncStateChange", Qt::DirectConnection,
                                  Q_ARG(bool, play));
}

void MidiSync::onMidiSyncReadyRead(MidiInput *input)
{
    {
        // A queued notice of an input that has been closed since: the pointer may be
        // dangling, so it is only compared.
        ClockLocker locker(m_clockMutex);
        if (!input || !m_syncInputs.contains(input))
            return;
    }
    followMidiClock(input->takeAll());
}

void MidiSync::followMidiClock(const QList<MidiMessage> &messages)
{
    bool clockSeen = false;
    quint64 lastCountedStamp = 0;
    for (const MidiMessage &message : messages) {
        const auto &bytes = message.bytes;
        if (bytes.size() == 3) {
            if (bytes[0] == 0xF2 && bytes[1] == 0x00 && bytes[2] == 0x00) {
                requestGotoStart();
            }
            continue;
        }
        if (bytes.size() != 1)
            continue;
        switch (bytes[0]) {
        case 0xF8:
            followTimingClock(message, &clockSeen, &lastCountedStamp);
            break;
        case 0xFA:
            requestGotoStart();
            {
                ClockLocker locker(m_clockMutex);
                m_startPending = true;
                m_startPendingFromZero = true;
            }
            break;
        case 0xFB: {
            ClockLocker locker(m_clockMutex);
            m_startPending = true;
            m_startPendingFromZero = false;
            break;
        }
        case 0xFC:
            {
                ClockLocker locker(m_clockMutex);
                m_startPending = false;
                m_startPendingFromZero = false;
            }
            requestPrimePlayback(false);
            setPlayingAt(message.timeStamp, 0, false);
            break;
        default:
            break;
        }
    }

    bool startPending = false;
    {
        ClockLocker locker(m_clockMutex);
        startPending = m_startPending;
    }
    if (startPending)
        requestPrimePlayback(true);
    if (clockSeen)
        correctFromCountedClocks(lastCountedStamp);
}

void MidiSync::followTimingClock(const MidiMessage &message, bool *clockSeen, quint64 *lastCountedStamp)
{
    const quint64 stamp = message.timeStamp;
    bool started = false;
    bool reanchored = false;
    {
        ClockLocker locker(m_clockMutex);
        started = m_startPending;
        const bool fromZero = m_startPendingFromZero;
        m_startPending = false;
        m_startPendingFromZero = false;
        if (started && fromZero && m_playing) {
            // MIDI Start while the rewound clock already runs: position 0 is this clock.
            m_startTime = stamp;
            QMutexLocker inputLocker(&m_clockInputMutex);
            m_clocksCountedSinceStart = false;
            reanchored = true;
        }
    }
    if (started && !reanchored)
        setPlayingAt(stamp, 0, true);
    if (!isPlaying())
        return;

    uint estimate = tempo();
    QMutexLocker inputLocker(&m_clockInputMutex);
    if (started) {
        // The first clock after Start or Continue marks the position and is not counted;
        // it opens the rate window.
        m_clockStamps.clear();
        m_windowStart = stamp;
        m_lastTempoUpdate = 0;
    } else {
        m_clockBeatTicks += BeatTicksPerMidiClock;
        m_clocksCountedSinceStart = true;
        *clockSeen = true;
        *lastCountedStamp = stamp;
        // 60 / (24 * interval) beats per minute from the distance to the previous clock.
        const quint64 previous = m_clockStamps.isEmpty() ? m_windowStart : m_clockStamps.last();
        if (stamp > previous)
            estimate = rateToTempo(2.5e9 / double(stamp - previous));

        const quint64 windowFloor = stamp > RateWindowNanoseconds ? stamp - RateWindowNanoseconds : 0;
        while (!m_clockStamps.isEmpty() && m_clockStamps.first() < windowFloor)
            m_windowStart = m_clockStamps.takeFirst();
        m_clockStamps.append(stamp);
        const quint64 span = stamp > m_windowStart ? stamp - m_windowStart : 0;
        if (span != 0) {
            const double count = double(m_clockStamps.size());
            const double seconds = double(span) / 1e9;
            const double windowRate = (count / 24.0) / seconds * 60.0;
            if (seconds > 0.9 || (seconds > 0.5 && count > 200))
                estimate = rateToTempo(windowRate);
            if (qAbs(m_lastRateEstimate - windowRate) > m_lastRateEstimate * 0.01) {
                m_clockStamps.clear();
                m_windowStart = stamp;
            }
            m_lastRateEstimate = windowRate;
        }
    }
    const bool updateTempo = stamp >= m_lastTempoUpdate + TempoUpdateNanoseconds;
    if (updateTempo)
        m_lastTempoUpdate = stamp;
    inputLocker.unlock();
    if (updateTempo)
        setTempo(qBound<uint>(1, estimate, 999));
}

void MidiSync::correctFromCountedClocks(quint64 lastCountedStamp)
{
    {
        ClockLocker locker(m_clockMutex);
        QMutexLocker inputLocker(&m_clockInputMutex);
        // Where the clock stood when the last counted clock arrived.
        const quint64 position = m_beatTickOffset + nanosecondsToBeatTicks(elapsedAt(lastCountedStamp));
        const qint64 error = qint64(m_clockBeatTicks) - qint64(position);
        if (qAbs(error - m_beatTickCorrection) <= ClockTolerance) {
            m_outOfToleranceCount = 0;
            return;
        }
        if (++m_outOfToleranceCount < ClocksBeforeCorrection)
            return;
        m_beatTickCorrection = error;
        m_outOfToleranceCount = 0;
        recomputeFactors();
        // The next clock of each sender is due at another time now.
        for (MidiOutputSyncClock *output : std::as_const(m_syncOutputs))
            output->wake();
    }
    // Outside the clock's locks: the players woken by it read the position at once.
    emit positionCorrected();
}
