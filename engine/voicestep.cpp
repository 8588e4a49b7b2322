// The voice step: what a node plays for an arriving voice and where the
// voice goes on. Part of VoiceGroup; the rules that read the node's lists are
// in voicerules.h.

#include "voicegroup.h"

#include "abstractsync.h"
#include "feedbackevent.h"
#include "instrumentevent.h"
#include "qmdreadlocker.h"
#include "qmdvelkacontroller.h"
#include "voicerules.h"

#include <QDebug>
#include <QMutexLocker>
#include <QThreadPool>

namespace {
const QString ToNodeKey = QStringLiteral("ToNode");
const QString IsWormholeKey = QStringLiteral("IsWormhole");
const QString PitchListKey = QStringLiteral("PitchList");
const QString VelocityListKey = QStringLiteral("VelocityList");
const QString DurationListKey = QStringLiteral("DurationList");
const QString UserMidiMessageListKey = QStringLiteral("UserMidiMessageList");
const QString DontPlayNoteKey = QStringLiteral("DontPlayNote");
const QString DoInstrumentChangeKey = QStringLiteral("DoInstrumentChange");
const QString InstrumentKey = QStringLiteral("Instrument");
const QString SignallingMethodKey = QStringLiteral("SignallingMethod");
const QString ArcUsageListKey = QStringLiteral("ArcUsageList");
const QString CurrentPitchIdKey = QStringLiteral("CurrentPitchId");
const QString CurrentVelocityIdKey = QStringLiteral("CurrentVelocityId");
const QString CurrentDurationIdKey = QStringLiteral("CurrentDurationId");
const QString CurrentUserMidiMessageIdKey = QStringLiteral("CurrentUserMidiMessageId");
const QString HitCountKey = QStringLiteral("HitCount");
const QString CurrentEdgeUsageIdKey = QStringLiteral("CurrentEdgeUsageId");
const QString CurrentEdgeUsageUsesKey = QStringLiteral("CurrentEdgeUsageUses");
const QString CurrentScaleIdKey = QStringLiteral("CurrentScaleId");

enum SignallingMethod { Sequential = 0, Parallel = 1, Random = 2 };

// Playback write-backs never enter the undo history.
QmdRequestOptions writeBack()
{
    return QmdRequestOptions(Qmd::NoUndoHistory);
}
} // namespace

void VoiceGroup::stepAll(const QList<Voice *> &voices)
{
    if (voices.isEmpty())
        return;
    if (voices.size() == 1) {
        stepVoice(voices.first());
        return;
    }
    // Several due voices are stepped side by side on the global pool; each
    // step serialises its work on the node through the controller's mutex.
    // The count of running steps is a member, so a pool thread that reports
    // its end never touches memory that this pass has already left.
    {
        std::lock_guard<std::mutex> lock(m_poolMutex);
        m_poolSteps = int(voices.size()) - 1;
    }
    for (int i = 1; i < voices.size(); ++i) {
        Voice *voice = voices.at(i);
        QThreadPool::globalInstance()->start([this, voice] {
            // Taken first so that the hand-over from this pass is visible to
            // ThreadSanitizer, which does not see inside Qt's pool.
            { std::lock_guard<std::mutex> lock(m_poolMutex); }
            // A group being stopped skips the steps still waiting for a pool
            // thread, so whoever joins it does not wait behind other groups.
            if (!m_quit.load())
                stepVoice(voice);
            std::lock_guard<std::mutex> lock(m_poolMutex);
            if (--m_poolSteps == 0)
                m_poolDone.notify_all();
        });
    }
    stepVoice(voices.first());
    std::unique_lock<std::mutex> lock(m_poolMutex);
    m_poolDone.wait(lock, [this] { return m_poolSteps == 0; });
}

void VoiceGroup::stepVoice(Voice *voice)
{
    QmdVelkaController *controller = this->controller();
    AbstractSync *clock = m_sync.load();
    if (!controller || !clock)
        return;
    if (voice->state.arrival > clock->currentTick())
        return;

    QmdItemId node = 0;
    QmdIndex nodeEntry;
    QString messages;
    bool dontPlayNote = false;
    {
        // The node is looked up once; its keys are then read through its entry.
        QmdReadLocker documentLock(controller);
        node = controller->elementData(voice->state.item, ToNodeKey).toUInt();
        nodeEntry = controller->elementIndex(node);
        if (!nodeEntry.isValid())
            return; // tried again at the next pass
        messages = controller->data(UserMidiMessageListKey, nodeEntry).toString();
        dontPlayNote = controller->data(DontPlayNoteKey, nodeEntry).toBool();
    }

    QMutexLocker nodeLock(controller->mutex());
    // The rest of the step reads and writes under one hold of the document
    // lock rather than taking it for every read: voices due at the same tick
    // would otherwise take turns with it at each of this step's reads.
    QmdReadLocker documentLock(controller);

    // What the node remembers is written back last, once the notes are queued:
    // requests cost far more than reads, and every voice arriving meanwhile
    // waits for this mutex. Holding it until the writes are done keeps the
    // read-advance-write of the node's state whole.
    const QmdIndex nodeState = controller->elementStateIndex(node);
    QHash<QString, QVariant> nodeWrites;
    QmdItemId first = 0;
    QmdItemIdList further;
    chooseEdges(nodeEntry, nodeState, &first, &further, &nodeWrites);

    // The first edge's length serves both the duration field and the voice
    // sent along it.
    bool firstFound = false;
    const quint64 firstTicks = first != 0 ? travelTime(first, &firstFound) : 0;

    VoiceState &state = voice->state;
    if (controller->data(DoInstrumentChangeKey, nodeEntry).toBool())
        state.instrument = controller->data(InstrumentKey, nodeEntry).toUInt();

    if (nodeState.isValid()) {
        quint32 pitchCursor = controller->data(CurrentPitchIdKey, nodeState).toUInt();
        quint32 velocityCursor = controller->data(CurrentVelocityIdKey, nodeState).toUInt();
        quint32 durationCursor = controller->data(CurrentDurationIdKey, nodeState).toUInt();
        quint32 messageCursor = controller->data(CurrentUserMidiMessageIdKey, nodeState).toUInt();
        const quint32 hitCount = controller->data(HitCountKey, nodeState).toUInt();
        const QString pitches = controller->data(PitchListKey, nodeEntry).toString();
        const QString velocities = controller->data(VelocityListKey, nodeEntry).toString();
        const QString durations = controller->data(DurationListKey, nodeEntry).toString();

        QString field;
        if (!pitches.isEmpty() && VoiceRules::listField(pitches, &pitchCursor, &field))
            state.pitch = VoiceRules::applyPitchField(state.pitch, field);
        if (!velocities.isEmpty() && VoiceRules::listField(velocities, &velocityCursor, &field))
            state.velocity = VoiceRules::applyVelocityField(state.velocity, field);
        if (!durations.isEmpty() && VoiceRules::listField(durations, &durationCursor, &field))
            state.duration = VoiceRules::applyDurationField(state.duration, field, firstFound, firstTicks);
        if (!messages.isEmpty() && VoiceRules::listField(messages, &messageCursor, &field)) {
            controller->queueInstrumentEvent(
                state.instrument, InstrumentEvent(state.arrival, VoiceRules::userMidiMessageBytes(field)));
        }

        nodeWrites.insert(CurrentPitchIdKey, pitchCursor + 1);
        nodeWrites.insert(CurrentVelocityIdKey, velocityCursor + 1);
        nodeWrites.insert(CurrentDurationIdKey, durationCursor + 1);
        nodeWrites.insert(CurrentUserMidiMessageIdKey, messageCursor + 1);
        nodeWrites.insert(HitCountKey, hitCount + 1);
    }

    bool muted = dontPlayNote;
    if (!dontPlayNote
        && !controller->queueInstrumentEventPair(
            state.instrument, InstrumentEvent::noteOn(state.arrival, state.pitch, state.velocity),
            InstrumentEvent::noteOff(state.arrival + state.duration, state.pitch, 0))
        && controller->instrumentThreads().contains(state.instrument)) {
        // The instrument's queue is full: the note is lost, and says so. The
        // canvas shows it as a muted hit, and the log names the group once
        // per run of lost notes.
        muted = true;
        if (!m_reportedLostNote.exchange(true))
            qWarning().noquote() << QStringLiteral("Voice group %1: instrument %2 has no room for more notes; "
                                                   "notes are dropped")
                                        .arg(m_group)
                                        .arg(state.instrument);
    } else if (!dontPlayNote) {
        m_reportedLostNote.store(false);
    }
    controller->feedbackPipe().insert(FeedbackEvent(muted ? 1 : 0, state.arrival, m_group,
                                                    voice->number, node, state.instrument, state.pitch,
                                                    state.velocity, state.duration));

    const VoiceState arrived = state;
    freeVoice(voice);
    QHash<QmdItemId, quint32> sentAlong;
    if (spawnVoice(arrived, first, firstTicks, firstFound, &sentAlong)) {
        for (QmdItemId edge : std::as_const(further)) {
            bool found = false;
            const quint64 ticks = travelTime(edge, &found);
            if (!spawnVoice(arrived, edge, ticks, found, &sentAlong))
                break;
        }
    }

    if (!nodeWrites.isEmpty() && nodeState.isValid())
        controller->requestSetData(nodeWrites, nodeState, writeBack());
    writeSentAlong(sentAlong);
}

void VoiceGroup::chooseEdges(const QmdIndex &nodeEntry, const QmdIndex &nodeState, QmdItemId *first,
                             QmdItemIdList *further, QHash<QString, QVariant> *nodeWrites)
{
    *first = 0;
    further->clear();
    QmdVelkaController *controller = this->controller();
    if (!controller || !nodeState.isValid())
        return;
    const QString list = controller->data(ArcUsageListKey, nodeEntry).toString();
    if (list.isEmpty())
        return;

    switch (controller->data(SignallingMethodKey, nodeEntry).toInt()) {
    case Sequential: {
        if (!hasFreeVoice())
            return; // nothing chosen, the position in the list stays
        quint32 index = controller->data(CurrentEdgeUsageIdKey, nodeState).toUInt();
        qint32 uses = controller->data(CurrentEdgeUsageUsesKey, nodeState).toInt();
        if (!VoiceRules::chooseSequential(list, &index, &uses, first))
            return;
        nodeWrites->insert(CurrentEdgeUsageIdKey, index);
        nodeWrites->insert(CurrentEdgeUsageUsesKey, uses);
        break;
    }
    case Parallel:
        if (!hasFreeVoice())
            return;
        VoiceRules::chooseParallel(
            list, [this](QmdItemId edge, quint64 *ticks) {
                bool found = false;
                *ticks = travelTime(edge, &found);
                return found;
            },
            first, further);
        break;
    case Random:
        *first = VoiceRules::chooseRandom(list);
        break;
    default:
        break;
    }
}

void VoiceGroup::writeSentAlong(const QHash<QmdItemId, quint32> &sentAlong)
{
    QmdVelkaController *controller = this->controller();
    if (!controller)
        return;
    for (auto it = sentAlong.cbegin(); it != sentAlong.cend(); ++it) {
        const QmdIndex edgeState = controller->elementStateIndex(it.key());
        if (edgeState.isValid())
            controller->requestSetData(CurrentScaleIdKey, it.value(), edgeState, writeBack());
    }
}

bool VoiceGroup::spawnVoice(const VoiceState &state, QmdItemId edge, quint64 ticks, bool found,
                            QHash<QmdItemId, quint32> *sentAlong)
{
    QmdVelkaController *controller = this->controller();
    if (edge == 0 || !controller)
        return false;
    const QmdIndex edgeState = controller->elementStateIndex(edge);
    if (!found || !edgeState.isValid())
        return false;
    Voice *voice = takeFreeVoice();
    if (!voice)
        return false;
    voice->state = state;
    voice->state.item = edge;
    voice->state.start = state.arrival;
    voice->state.arrival = state.arrival + ticks;
    const auto sent = sentAlong->constFind(edge);
    const quint32 before = sent != sentAlong->cend() ? sent.value()
                                                     : controller->data(CurrentScaleIdKey, edgeState).toUInt();
    sentAlong->insert(edge, before + 1);
    return true;
}

quint64 VoiceGroup::travelTime(QmdItemId item, bool *found) const
{
    *found = false;
    if (item == m_group) {
        *found = true;
        return 0;
    }
    QmdVelkaController *controller = this->controller();
    if (!controller)
        return 0;
    if (controller->elementData(item, IsWormholeKey).toBool()) {
        *found = true;
        return 0;
    }
    bool ok = false;
    const qint64 length = controller->edgeLength(item, &ok);
    *found = ok;
    return ok && length > 0 ? quint64(length) : 0;
}
