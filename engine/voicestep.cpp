// The voice step: what a node plays for an arriving voice and where the
// voice goes on. Part of VoiceGroup; the rules that read the node's lists are
// in voicerules.h.

#include "qmdvelkakeys.h"
#include "voicegroup.h"

#include "feedbackevent.h"
#include "instrumentevent.h"
#include "networkreader.h"
#include "playback.h"
#include "qmdreadlocker.h"
#include "qmdvelkacontroller.h"
#include "voicerules.h"

#include <QDebug>

#include <optional>

namespace {
const QString UserMidiMessageListKey = QStringLiteral("UserMidiMessageList");

enum SignallingMethod { Sequential = 0, Parallel = 1, Random = 2 };

// What a step reads of its node, in this order.
enum NodeValue {
    MessageList,
    DoInstrumentChange,
    NodeInstrument,
    PitchList,
    VelocityList,
    DurationList,
    DontPlayNote,
    ArcUsageList,
    NodeSignallingMethod
};
const QStringList &nodeKeys()
{
    static const QStringList keys{UserMidiMessageListKey,       QmdVelkaKeys::DoInstrumentChange,
                                  QmdVelkaKeys::Instrument,     QmdVelkaKeys::PitchList,
                                  QmdVelkaKeys::VelocityList,   QmdVelkaKeys::DurationList,
                                  QmdVelkaKeys::DontPlayNote,   QmdVelkaKeys::ArcUsageList,
                                  QmdVelkaKeys::SignallingMethod};
    return keys;
}

// What a node's state holds, in this order: the list cursors and the hit
// count, which every step advances, then the position in the edge-usage list,
// which a sequential choice advances.
enum StateValue { PitchCursor, VelocityCursor, DurationCursor, MessageCursor, HitCount, EdgeUsageId, EdgeUsageUses };
const QStringList &stateKeys()
{
    static const QStringList keys{QmdVelkaKeys::CurrentPitchId,      QmdVelkaKeys::CurrentVelocityId,
                                  QmdVelkaKeys::CurrentDurationId,   QmdVelkaKeys::CurrentUserMidiMessageId,
                                  QmdVelkaKeys::HitCount,            QmdVelkaKeys::CurrentEdgeUsageId,
                                  QmdVelkaKeys::CurrentEdgeUsageUses};
    return keys;
}
const QStringList &counterKeys()
{
    static const QStringList keys = stateKeys().mid(0, EdgeUsageId);
    return keys;
}
const QStringList &scaleKeys()
{
    static const QStringList keys{QmdVelkaKeys::CurrentScaleId};
    return keys;
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
    QList<QVariant> stateValues;
    bool edgeUsageAdvanced = false;
    QList<Departure> departures;
    bool muted = false;
    std::optional<InstrumentEvent> message;
    {
        // Everything the step reads is read under one hold of the document
        // lock, so a node removed meanwhile plays nothing and a note is played
        // from one state of the network. The schedule never runs two steps at
        // one node side by side: the read-advance-write of its state needs no
        // further lock.
        QmdReadLocker documentLock(controller);
        const NetworkReader network(controller);
        node = network.value(QmdVelkaKeys::ToNode, network.element(state.item)).toUInt();
        const QmdIndex nodeEntry = network.element(node);
        if (!nodeEntry.isValid())
            return false; // tried again at the next pass
        m_lastArrival = state.arrival;
        const QList<QVariant> nodeValues = network.values(nodeKeys(), nodeEntry);

        nodeState = network.state(node);
        if (nodeState.isValid())
            stateValues = network.values(stateKeys(), nodeState);
        edgeUsageAdvanced = chooseEdges(network, nodeValues.at(ArcUsageList).toString(),
                                        nodeValues.at(NodeSignallingMethod).toInt(), voice->draw, &stateValues,
                                        &departures);

        if (nodeValues.at(DoInstrumentChange).toBool())
            state.instrument = nodeValues.at(NodeInstrument).toUInt();

        if (!stateValues.isEmpty()) {
            // The first edge's length serves the duration field too.
            const bool firstFound = !departures.isEmpty() && departures.first().found;
            const quint64 firstTicks = firstFound ? departures.first().ticks : 0;
            quint32 pitchCursor = stateValues.at(PitchCursor).toUInt();
            quint32 velocityCursor = stateValues.at(VelocityCursor).toUInt();
            quint32 durationCursor = stateValues.at(DurationCursor).toUInt();
            quint32 messageCursor = stateValues.at(MessageCursor).toUInt();
            const QString pitches = nodeValues.at(PitchList).toString();
            const QString velocities = nodeValues.at(VelocityList).toString();
            const QString durations = nodeValues.at(DurationList).toString();
            const QString messages = nodeValues.at(MessageList).toString();

            QString field;
            if (!pitches.isEmpty() && VoiceRules::listField(pitches, &pitchCursor, &field))
                state.pitch = VoiceRules::applyPitchField(state.pitch, field);
            if (!velocities.isEmpty() && VoiceRules::listField(velocities, &velocityCursor, &field))
                state.velocity = VoiceRules::applyVelocityField(state.velocity, field);
            if (!durations.isEmpty() && VoiceRules::listField(durations, &durationCursor, &field))
                state.duration = VoiceRules::applyDurationField(state.duration, field, firstFound, firstTicks);
            if (!messages.isEmpty() && VoiceRules::listField(messages, &messageCursor, &field))
                message = InstrumentEvent(state.arrival, VoiceRules::userMidiMessageBytes(field));

            stateValues[PitchCursor] = pitchCursor + 1;
            stateValues[VelocityCursor] = velocityCursor + 1;
            stateValues[DurationCursor] = durationCursor + 1;
            stateValues[MessageCursor] = messageCursor + 1;
            stateValues[HitCount] = stateValues.at(HitCount).toUInt() + 1;
        }
        muted = nodeValues.at(DontPlayNote).toBool();
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
    // The further edges are taken only once the first has a voice.
    QList<Departure *> departed;
    for (Departure &departure : departures) {
        if (!spawnVoice(arrived, departure))
            break;
        departed.append(&departure);
    }

    // What the node and its edges remember is written back last, once the
    // notes are queued. The node's state is written in one write-back, so a
    // reader of its counters never sees half of them. The writes exist only
    // for entries found under the document lock above; a write-back through an
    // entry removed since changes nothing.
    if (!stateValues.isEmpty()) {
        if (edgeUsageAdvanced)
            controller->writeBack(stateKeys(), stateValues, nodeState);
        else
            controller->writeBack(counterKeys(), stateValues.mid(0, EdgeUsageId), nodeState);
    }
    writeSentAlong(departed);
    return true;
}

bool VoiceGroup::chooseEdges(const NetworkReader &network, const QString &list, int method, quint64 draw,
                             QList<QVariant> *stateValues, QList<Departure> *departures)
{
    departures->clear();
    if (stateValues->isEmpty() || list.isEmpty())
        return false;

    QmdItemId first = 0;
    QmdItemIdList further;
    bool advanced = false;
    switch (method) {
    case Sequential: {
        if (!hasFreeVoice())
            return false; // nothing chosen, the position in the list stays
        quint32 index = stateValues->at(EdgeUsageId).toUInt();
        qint32 uses = stateValues->at(EdgeUsageUses).toInt();
        if (!VoiceRules::chooseSequential(list, &index, &uses, &first))
            return false;
        (*stateValues)[EdgeUsageId] = index;
        (*stateValues)[EdgeUsageUses] = uses;
        advanced = true;
        break;
    }
    case Parallel:
        if (!hasFreeVoice())
            return false;
        VoiceRules::chooseParallel(
            list, [this, &network](QmdItemId edge, quint64 *ticks) {
                bool found = false;
                *ticks = travelTime(network, edge, &found);
                return found;
            },
            &first, &further);
        break;
    case Random:
        first = VoiceRules::chooseRandom(list, draw);
        break;
    default:
        break;
    }
    if (first == 0)
        return advanced;

    further.prepend(first);
    for (QmdItemId edge : std::as_const(further)) {
        Departure departure;
        departure.edge = edge;
        departure.ticks = travelTime(network, edge, &departure.found);
        departure.state = network.state(edge);
        departure.hasState = departure.state.isValid();
        // An edge taken twice by one step counts on from its first departure.
        const auto earlier = std::find_if(departures->cbegin(), departures->cend(),
                                          [edge](const Departure &taken) { return taken.edge == edge; });
        departure.scale =
            departure.hasState ? network.value(QmdVelkaKeys::CurrentScaleId, departure.state).toUInt() : 0;
        if (earlier != departures->cend())
            departure.scale = earlier->scale + 1;
        departures->append(departure);
    }
    return advanced;
}

void VoiceGroup::writeSentAlong(const QList<Departure *> &departed)
{
    QmdVelkaController *controller = this->controller();
    if (!controller)
        return;
    for (int i = 0; i < departed.size(); ++i) {
        const Departure *departure = departed.at(i);
        // The last departure along an edge carries its count.
        const bool later = std::any_of(departed.cbegin() + i + 1, departed.cend(),
                                       [departure](const Departure *other) { return other->edge == departure->edge; });
        if (!later)
            controller->writeBack(scaleKeys(), {departure->scale + 1}, departure->state);
    }
}

bool VoiceGroup::spawnVoice(const VoiceState &state, const Departure &departure)
{
    if (departure.edge == 0 || !departure.found || !departure.hasState)
        return false;
    Voice *voice = takeFreeVoice();
    if (!voice)
        return false;
    voice->state = state;
    voice->state.item = departure.edge;
    voice->state.start = state.arrival;
    voice->state.arrival = state.arrival + departure.ticks;
    queueIfPlaying(voice);
    return true;
}

quint64 VoiceGroup::travelTime(const NetworkReader &network, QmdItemId item, bool *found) const
{
    if (item == m_group) {
        *found = true;
        return 0;
    }
    return network.travelTime(item, found);
}

quint64 VoiceGroup::travelTime(QmdItemId item, bool *found) const
{
    QmdVelkaController *controller = this->controller();
    if (!controller) {
        *found = item == m_group;
        return 0;
    }
    QmdReadLocker documentLock(controller);
    return travelTime(NetworkReader(controller), item, found);
}
