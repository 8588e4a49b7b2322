// The voice step: what a node plays for an arriving voice and where the
// voice goes on. Part of VoiceGroup; the rules that read the node's lists are
// in voicerules.h.

#include "qmdvelkakeys.h"
#include "voicegroup.h"

#include "feedbackevent.h"
#include "instrumentevent.h"
#include "playback.h"
#include "qmdreadlocker.h"
#include "qmdvelkacontroller.h"
#include "voicerules.h"

#include <QDebug>

#include <optional>

namespace {
const QString UserMidiMessageListKey = QStringLiteral("UserMidiMessageList");

enum SignallingMethod { Sequential = 0, Parallel = 1, Random = 2 };

// Playback write-backs never enter the undo history.
QmdRequestOptions writeBack()
{
    return QmdRequestOptions(Qmd::NoUndoHistory);
}
} // namespace

bool VoiceGroup::stepVoice(Voice *voice)
{
    QmdVelkaController *controller = this->controller();
    if (!controller || !m_sync.load())
        return true;

    VoiceState &state = voice->state;
    QmdItemId node = 0;
    QmdIndex nodeState;
    QHash<QString, QVariant> nodeWrites;
    QmdItemId first = 0;
    QmdItemIdList further;
    bool firstFound = false;
    quint64 firstTicks = 0;
    bool muted = false;
    std::optional<InstrumentEvent> message;
    {
        // The node is read under one hold of the document lock, so a node
        // removed meanwhile plays nothing and a note is played from one state
        // of it. The schedule never runs two steps at one node side by side:
        // the read-advance-write of its state needs no further lock.
        QmdReadLocker documentLock(controller);
        node = controller->elementData(state.item, QmdVelkaKeys::ToNode).toUInt();
        const QmdIndex nodeEntry = controller->elementIndex(node);
        if (!nodeEntry.isValid())
            return false; // tried again at the next pass
        m_lastArrival = state.arrival;
        const QString messages = controller->data(UserMidiMessageListKey, nodeEntry).toString();

        nodeState = controller->elementStateIndex(node);
        chooseEdges(nodeEntry, nodeState, voice->draw, &first, &further, &nodeWrites);

        // The first edge's length serves both the duration field and the voice
        // sent along it.
        firstTicks = first != 0 ? travelTime(first, &firstFound) : 0;

        if (controller->data(QmdVelkaKeys::DoInstrumentChange, nodeEntry).toBool())
            state.instrument = controller->data(QmdVelkaKeys::Instrument, nodeEntry).toUInt();

        if (nodeState.isValid()) {
            quint32 pitchCursor = controller->data(QmdVelkaKeys::CurrentPitchId, nodeState).toUInt();
            quint32 velocityCursor = controller->data(QmdVelkaKeys::CurrentVelocityId, nodeState).toUInt();
            quint32 durationCursor = controller->data(QmdVelkaKeys::CurrentDurationId, nodeState).toUInt();
            quint32 messageCursor = controller->data(QmdVelkaKeys::CurrentUserMidiMessageId, nodeState).toUInt();
            const quint32 hitCount = controller->data(QmdVelkaKeys::HitCount, nodeState).toUInt();
            const QString pitches = controller->data(QmdVelkaKeys::PitchList, nodeEntry).toString();
            const QString velocities = controller->data(QmdVelkaKeys::VelocityList, nodeEntry).toString();
            const QString durations = controller->data(QmdVelkaKeys::DurationList, nodeEntry).toString();

            QString field;
            if (!pitches.isEmpty() && VoiceRules::listField(pitches, &pitchCursor, &field))
                state.pitch = VoiceRules::applyPitchField(state.pitch, field);
            if (!velocities.isEmpty() && VoiceRules::listField(velocities, &velocityCursor, &field))
                state.velocity = VoiceRules::applyVelocityField(state.velocity, field);
            if (!durations.isEmpty() && VoiceRules::listField(durations, &durationCursor, &field))
                state.duration = VoiceRules::applyDurationField(state.duration, field, firstFound, firstTicks);
            if (!messages.isEmpty() && VoiceRules::listField(messages, &messageCursor, &field))
                message = InstrumentEvent(state.arrival, VoiceRules::userMidiMessageBytes(field));

            nodeWrites.insert(QmdVelkaKeys::CurrentPitchId, pitchCursor + 1);
            nodeWrites.insert(QmdVelkaKeys::CurrentVelocityId, velocityCursor + 1);
            nodeWrites.insert(QmdVelkaKeys::CurrentDurationId, durationCursor + 1);
            nodeWrites.insert(QmdVelkaKeys::CurrentUserMidiMessageId, messageCursor + 1);
            nodeWrites.insert(QmdVelkaKeys::HitCount, hitCount + 1);
        }
        muted = controller->data(QmdVelkaKeys::DontPlayNote, nodeEntry).toBool();
    }

    // The notes go to the instrument through the playback's own table, with
    // no lock of the document held.
    Playback *playback = controller->playback();
    if (message)
        playback->route(state.instrument, *message);
    if (!muted
        && playback->routePair(state.instrument, InstrumentEvent::noteOn(state.arrival, state.pitch, state.velocity),
                               InstrumentEvent::noteOff(state.arrival + state.duration, state.pitch, 0))
               == Playback::Routing::QueueFull) {
        // The instrument's queue is full: the note is lost, and says so. The
        // canvas shows it as a muted hit, and the log names the group once
        // per run of lost notes.
        muted = true;
        if (!m_reportedLostNote.exchange(true))
            qWarning().noquote() << QStringLiteral("Voice group %1: instrument %2 has no room for more notes; "
                                                   "notes are dropped")
                                        .arg(m_group)
                                        .arg(state.instrument);
    } else if (!muted) {
        m_reportedLostNote.store(false);
    }
    controller->feedbackPipe().insert(FeedbackEvent(muted ? 1 : 0, state.arrival, m_group, voice->number, node,
                                                    state.instrument, state.pitch, state.velocity,
                                                    state.duration));

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

    // What the node remembers is written back last, once the notes are
    // queued: requests cost far more than reads. The node's state is written
    // in one request, so a reader of its counters never sees half of them.
    // The node's writes exist only when its state entry was found under the
    // document lock above; a request through an entry removed since changes
    // nothing.
    if (!nodeWrites.isEmpty())
        controller->requestSetData(nodeWrites, nodeState, writeBack());
    writeSentAlong(sentAlong);
    return true;
}

void VoiceGroup::chooseEdges(const QmdIndex &nodeEntry, const QmdIndex &nodeState, quint64 draw,
                             QmdItemId *first, QmdItemIdList *further, QHash<QString, QVariant> *nodeWrites)
{
    *first = 0;
    further->clear();
    QmdVelkaController *controller = this->controller();
    if (!controller || !nodeState.isValid())
        return;
    const QString list = controller->data(QmdVelkaKeys::ArcUsageList, nodeEntry).toString();
    if (list.isEmpty())
        return;

    switch (controller->data(QmdVelkaKeys::SignallingMethod, nodeEntry).toInt()) {
    case Sequential: {
        if (!hasFreeVoice())
            return; // nothing chosen, the position in the list stays
        quint32 index = controller->data(QmdVelkaKeys::CurrentEdgeUsageId, nodeState).toUInt();
        qint32 uses = controller->data(QmdVelkaKeys::CurrentEdgeUsageUses, nodeState).toInt();
        if (!VoiceRules::chooseSequential(list, &index, &uses, first))
            return;
        nodeWrites->insert(QmdVelkaKeys::CurrentEdgeUsageId, index);
        nodeWrites->insert(QmdVelkaKeys::CurrentEdgeUsageUses, uses);
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
        *first = VoiceRules::chooseRandom(list, draw);
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
        QmdIndex edgeState;
        {
            // An index is checked under the document lock, as the GUI thread
            // changes the model meanwhile; the request takes its own.
            QmdReadLocker documentLock(controller);
            edgeState = controller->elementStateIndex(it.key());
            if (!edgeState.isValid())
                continue;
        }
        controller->requestSetData(QmdVelkaKeys::CurrentScaleId, it.value(), edgeState, writeBack());
    }
}

bool VoiceGroup::spawnVoice(const VoiceState &state, QmdItemId edge, quint64 ticks, bool found,
                            QHash<QmdItemId, quint32> *sentAlong)
{
    QmdVelkaController *controller = this->controller();
    if (edge == 0 || !controller || !found)
        return false;
    const auto sent = sentAlong->constFind(edge);
    quint32 before = sent != sentAlong->cend() ? sent.value() : 0;
    {
        QmdReadLocker documentLock(controller);
        const QmdIndex edgeState = controller->elementStateIndex(edge);
        if (!edgeState.isValid())
            return false;
        if (sent == sentAlong->cend())
            before = controller->data(QmdVelkaKeys::CurrentScaleId, edgeState).toUInt();
    }
    Voice *voice = takeFreeVoice();
    if (!voice)
        return false;
    voice->state = state;
    voice->state.item = edge;
    voice->state.start = state.arrival;
    voice->state.arrival = state.arrival + ticks;
    queueIfPlaying(voice);
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
    if (controller->elementData(item, QmdVelkaKeys::IsWormhole).toBool()) {
        *found = true;
        return 0;
    }
    bool ok = false;
    const qint64 length = controller->edgeLength(item, &ok);
    *found = ok;
    return ok && length > 0 ? quint64(length) : 0;
}
