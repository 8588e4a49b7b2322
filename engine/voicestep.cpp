// The voice step: what a node plays for an arriving voice and where the
// voice goes on. Part of VoiceGroup; the rules that read the node's lists are
// in voicerules.h.

#include "voicegroup.h"

#include "feedbackevent.h"
#include "instrumentevent.h"
#include "networkreader.h"
#include "playback.h"
#include "qmdreadlocker.h"
#include "qmdvelkacontroller.h"
#include "voicerules.h"
#include "voiceschedule.h"

#include <QDebug>

#include <optional>

namespace {
enum SignallingMethod { Sequential = 0, Parallel = 1, Random = 2 };

} // namespace

bool VoiceGroup::stepVoice(Voice *voice)
{
    QmdVelkaController *controller = this->controller();
    if (!controller || !m_sync.load())
        return true;

    VoiceState &state = voice->state;
    // The voice is free for the step's own departures once it arrived: what
    // it plays is taken from this copy.
    VoiceState arrived;
    const quint32 number = voice->number;
    QmdItemId node = 0;
    bool muted = false;
    std::optional<InstrumentEvent> message;
    {
        // What the step reads comes from the schedule's cache, which holds one
        // state of the network for the round (a node removed after the round
        // began may still be stepped as it was; one missing before plays
        // nothing), and what it writes back waits there until the round ends.
        // The schedule never runs two steps at one node side by side: the
        // read-advance-write of its state needs no lock of its own.
        NetworkCache *cache = m_schedule->networkCache();
        const NetworkReader network(controller, cache);
        node = network.edge(state.item).toNode;
        const NetworkCache::Node nodeRead = network.node(node);
        if (!nodeRead.found)
            return false; // tried again at the next pass
        m_lastArrival = state.arrival;
        const QList<QVariant> &nodeValues = nodeRead.values;

        QList<QVariant> stateValues = network.nodeState(node, nodeRead);
        QList<Departure> departures;
        const bool edgeUsageAdvanced =
            chooseEdges(network, nodeValues.at(NetworkReader::ArcUsageList).toString(),
                        nodeValues.at(NetworkReader::NodeSignallingMethod).toInt(), voice->draw, &stateValues,
                        &departures);

        if (nodeValues.at(NetworkReader::DoInstrumentChange).toBool())
            state.instrument = nodeValues.at(NetworkReader::NodeInstrument).toUInt();

        if (!stateValues.isEmpty()) {
            // The first edge's length serves the duration field too.
            const bool firstFound = !departures.isEmpty() && departures.first().travel.found;
            const quint64 firstTicks = firstFound ? departures.first().travel.ticks : 0;
            quint32 pitchCursor = stateValues.at(NetworkReader::PitchCursor).toUInt();
            quint32 velocityCursor = stateValues.at(NetworkReader::VelocityCursor).toUInt();
            quint32 durationCursor = stateValues.at(NetworkReader::DurationCursor).toUInt();
            quint32 messageCursor = stateValues.at(NetworkReader::MessageCursor).toUInt();
            const QString pitches = nodeValues.at(NetworkReader::PitchList).toString();
            const QString velocities = nodeValues.at(NetworkReader::VelocityList).toString();
            const QString durations = nodeValues.at(NetworkReader::DurationList).toString();
            const QString messages = nodeValues.at(NetworkReader::MessageList).toString();

            QString field;
            if (!pitches.isEmpty() && VoiceRules::listField(pitches, &pitchCursor, &field))
                state.pitch = VoiceRules::applyPitchField(state.pitch, field);
            if (!velocities.isEmpty() && VoiceRules::listField(velocities, &velocityCursor, &field))
                state.velocity = VoiceRules::applyVelocityField(state.velocity, field);
            if (!durations.isEmpty() && VoiceRules::listField(durations, &durationCursor, &field))
                state.duration = VoiceRules::applyDurationField(state.duration, field, firstFound, firstTicks);
            std::vector<unsigned char> bytes;
            if (!messages.isEmpty() && VoiceRules::userMidiMessage(messages, &messageCursor, &bytes))
                message = InstrumentEvent(state.arrival, bytes);

            stateValues[NetworkReader::PitchCursor] = pitchCursor + 1;
            stateValues[NetworkReader::VelocityCursor] = velocityCursor + 1;
            stateValues[NetworkReader::DurationCursor] = durationCursor + 1;
            stateValues[NetworkReader::MessageCursor] = messageCursor + 1;
            stateValues[NetworkReader::HitCount] = stateValues.at(NetworkReader::HitCount).toUInt() + 1;
        }
        muted = nodeValues.at(NetworkReader::DontPlayNote).toBool();

        arrived = state;
        freeVoice(voice);
        // The further edges are taken only once the first has a voice.
        QList<Departure *> departed;
        for (Departure &departure : departures) {
            if (!spawnVoice(arrived, departure))
                break;
            departed.append(&departure);
        }

        if (!stateValues.isEmpty())
            cache->writeState(node, nodeRead.state, stateValues, edgeUsageAdvanced);
        writeSentAlong(departed);
    }

    // The notes go to the instrument through the playback's own table, with
    // no lock of the document held.
    Playback *playback = controller->playback();
    if (message)
        playback->route(arrived.instrument, *message);
    if (!muted
        && playback->routePair(arrived.instrument, InstrumentEvent::noteOn(arrived.arrival, arrived.pitch, arrived.velocity),
                               InstrumentEvent::noteOff(arrived.arrival + arrived.duration, arrived.pitch, 0))
               == Playback::Routing::QueueFull) {
        // The instrument's queue is full: the note is lost, and says so. The
        // canvas shows it as a muted hit, and the log names the group once
        // per run of lost notes.
        muted = true;
        if (!m_reportedLostNote.exchange(true))
            qWarning().noquote() << QStringLiteral("Voice group %1: instrument %2 has no room for more notes; "
                                                   "notes are dropped")
                                        .arg(m_group)
                                        .arg(arrived.instrument);
    } else if (!muted) {
        m_reportedLostNote.store(false);
    }
    controller->feedbackPipe().insert(FeedbackEvent(muted ? 1 : 0, arrived.arrival, m_group, number, node,
                                                    arrived.instrument, arrived.pitch, arrived.velocity,
                                                    arrived.duration));
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
        quint32 index = stateValues->at(NetworkReader::EdgeUsageId).toUInt();
        qint32 uses = stateValues->at(NetworkReader::EdgeUsageUses).toInt();
        if (!VoiceRules::chooseSequential(list, &index, &uses, &first))
            return false;
        (*stateValues)[NetworkReader::EdgeUsageId] = index;
        (*stateValues)[NetworkReader::EdgeUsageUses] = uses;
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
        departure.travel = travel(network, edge);
        // An edge taken twice by one step counts on from its first departure.
        const auto earlier = std::find_if(departures->cbegin(), departures->cend(),
                                          [edge](const Departure &taken) { return taken.edge == edge; });
        departure.scale = network.edgeScale(edge, departure.travel);
        if (earlier != departures->cend())
            departure.scale = earlier->scale + 1;
        departures->append(departure);
    }
    return advanced;
}

void VoiceGroup::writeSentAlong(const QList<Departure *> &departed)
{
    for (int i = 0; i < departed.size(); ++i) {
        const Departure *departure = departed.at(i);
        // The last departure along an edge carries its count.
        const bool later = std::any_of(departed.cbegin() + i + 1, departed.cend(),
                                       [departure](const Departure *other) { return other->edge == departure->edge; });
        if (!later)
            m_schedule->networkCache()->writeScale(departure->edge, departure->travel.state, departure->scale + 1);
    }
}

bool VoiceGroup::spawnVoice(const VoiceState &state, const Departure &departure)
{
    if (departure.edge == 0 || !departure.travel.found || !departure.travel.hasState)
        return false;
    Voice *voice = takeFreeVoice();
    if (!voice)
        return false;
    voice->state = state;
    voice->state.item = departure.edge;
    voice->state.start = state.arrival;
    voice->state.arrival = state.arrival + departure.travel.ticks;
    queueIfPlaying(voice);
    return true;
}

NetworkCache::Edge VoiceGroup::travel(const NetworkReader &network, QmdItemId item) const
{
    NetworkCache::Edge edge = network.edge(item);
    if (item == m_group) {
        // The group's start voice reaches its node in no time.
        edge.found = true;
        edge.ticks = 0;
    }
    return edge;
}

quint64 VoiceGroup::travelTime(const NetworkReader &network, QmdItemId item, bool *found) const
{
    const NetworkCache::Edge edge = travel(network, item);
    *found = edge.found;
    return edge.ticks;
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
