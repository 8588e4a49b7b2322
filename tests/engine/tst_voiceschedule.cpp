#include "voicegroup.h"
#include "voiceschedule.h"
#include "voicetestdocument.h"
#include "testsync.h"

#include <QtTest>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>

// Stepping ahead of the clock changes when a step runs, never what it plays:
// networks played under a clock set by hand give the same notes, ticks and
// order at each node whether voices are stepped at their arrival or up to the
// horizon before it. Voices arriving at one node on one tick take turns by
// group id.
class TestVoiceSchedule : public QObject
{
    Q_OBJECT

private slots:
    void sameNotesWithTheHorizon_data();
    void sameNotesWithTheHorizon();
    void groupsMeetingAtANodeTakeTurnsByGroupId();
    void pauseKeepsNotesQueuedAhead();
    void pauseBeforeAGroupsLastArrivalKeepsItEnded();
    void timelessChainPlaysInOnePass();
    void timelessCycleWaitsBetweenPasses();
    void clockFarAheadNeverHoldsTheWindow();
};

namespace {

constexpr quint64 P = quint64(VoiceTestDocument::P);
constexpr quint64 Step = P / 4;
constexpr quint64 End = 12 * P;

// Builds a network into the document; the groups it plays.
using Network = std::function<QList<QmdItemId>(VoiceTestDocument &)>;

QString edgeList(const QList<QPair<QmdItemId, int>> &entries)
{
    QStringList fields;
    for (const auto &entry : entries)
        fields << QStringLiteral("%1=%2").arg(entry.first).arg(entry.second);
    return fields.join(',');
}

// A triangle of nodes joined round in turn, sequential lists.
QList<QmdItemId> sequential(VoiceTestDocument &doc)
{
    const QmdItemId a = doc.addNode(0, 0, {{"PitchList", "C3,E3,G3"}, {"DurationList", "0.5,0.25"}});
    const QmdItemId b = doc.addNode(P, 0, {{"PitchList", "D3,F3"}, {"VelocityList", "100,50,+5"}});
    const QmdItemId c = doc.addNode(P, P, {{"PitchList", "A3"}});
    doc.addEdge(a, b);
    doc.addEdge(b, c);
    doc.addEdge(c, a);
    return {doc.addVoiceGroup(a), doc.addVoiceGroup(b, {{"InitialInstrument", 2u}})};
}

// A parallel hub sending every voice to three nodes that lead back.
QList<QmdItemId> parallel(VoiceTestDocument &doc)
{
    const QmdItemId hub = doc.addNode(0, 0, {{"SignallingMethod", 1}, {"PitchList", "C3,+2,+2"}});
    const QmdItemId a = doc.addNode(P, 0, {{"PitchList", "-1,+3"}});
    const QmdItemId b = doc.addNode(2 * P, 0, {{"PitchList", "E3"}});
    const QmdItemId c = doc.addNode(0, 3 * P / 2, {{"PitchList", "G3,C4"}});
    doc.addEdge(hub, a);
    doc.addEdge(hub, b);
    doc.addEdge(hub, c);
    doc.addEdge(a, hub);
    doc.addEdge(b, hub);
    doc.addEdge(c, hub);
    return {doc.addVoiceGroup(hub)};
}

// A random hub with weighted spokes, two groups with their own seeds.
QList<QmdItemId> random(VoiceTestDocument &doc)
{
    const QmdItemId hub = doc.addNode(0, 0, {{"SignallingMethod", 2}, {"PitchList", "C3,D3,E3,F3,G3"}});
    const QmdItemId a = doc.addNode(P / 2, 0, {{"PitchList", "A3"}});
    const QmdItemId b = doc.addNode(0, P, {{"PitchList", "B3"}});
    const QmdItemId c = doc.addNode(P, P, {{"PitchList", "C4"}});
    const QmdItemId toA = doc.addEdge(hub, a);
    const QmdItemId toB = doc.addEdge(hub, b);
    const QmdItemId toC = doc.addEdge(hub, c);
    doc.addEdge(a, hub);
    doc.addEdge(b, hub);
    doc.addEdge(c, hub);
    doc.set(hub, "ArcUsageList", edgeList({{toA, 3}, {toB, 2}, {toC, 1}}));
    return {doc.addVoiceGroup(hub), doc.addVoiceGroup(hub, {{"InitialPitch", "C5"}})};
}

// A sequential hub whose edge-usage list repeats edges by their counts.
QList<QmdItemId> edgeUsage(VoiceTestDocument &doc)
{
    const QmdItemId hub = doc.addNode(0, 0, {{"PitchList", "C3,D3"}});
    const QmdItemId a = doc.addNode(P / 2, 0, {{"PitchList", "E3"}});
    const QmdItemId b = doc.addNode(0, 3 * P / 4, {{"PitchList", "F3"}});
    const QmdItemId toA = doc.addEdge(hub, a);
    const QmdItemId toB = doc.addEdge(hub, b);
    doc.addEdge(a, hub);
    doc.addEdge(b, hub);
    doc.set(hub, "ArcUsageList", edgeList({{toA, 3}, {toB, 2}}));
    return {doc.addVoiceGroup(hub), doc.addVoiceGroup(a)};
}

// A wormhole and a zero-length edge on the way: notes at the tick a voice
// left, stepped in a further round of that tick.
QList<QmdItemId> timeless(VoiceTestDocument &doc)
{
    const QmdItemId a = doc.addNode(0, 0, {{"PitchList", "C3,D3"}});
    const QmdItemId b = doc.addNode(P, 0, {{"PitchList", "E3,+1"}});
    const QmdItemId c = doc.addNode(P, 0, {{"PitchList", "G3"}});
    const QmdItemId d = doc.addNode(2 * P, P, {{"PitchList", "A3,-2"}});
    const QmdItemId wormhole = doc.addEdge(a, b);
    doc.set(wormhole, "IsWormhole", true);
    doc.addEdge(b, c); // both ends at one place: no travel time
    doc.addEdge(c, d);
    doc.addEdge(d, a);
    return {doc.addVoiceGroup(a), doc.addVoiceGroup(d)};
}

// Four groups starting on one node and meeting again on each lap.
QList<QmdItemId> meeting(VoiceTestDocument &doc)
{
    const QmdItemId a = doc.addNode(0, 0, {{"PitchList", "C3,D3,E3,F3,G3"}, {"VelocityList", "10,+10"}});
    const QmdItemId b = doc.addNode(P / 2, 0, {{"PitchList", "A3,+1,-1"}, {"DurationList", "*2,/2,+50%"}});
    doc.addEdge(a, b);
    doc.addEdge(b, a);
    QList<QmdItemId> groups;
    for (int i = 0; i < 4; ++i)
        groups << doc.addVoiceGroup(a, {{"InitialInstrument", 1u + quint32(i % 2)}});
    return groups;
}

// Relative pitches, velocities and durations carried round a loop.
QList<QmdItemId> relative(VoiceTestDocument &doc)
{
    const QmdItemId a = doc.addNode(0, 0, {{"PitchList", "+3,-1"}, {"DurationList", "*2,/2,50%"},
                                           {"VelocityList", "+7,-3"}});
    const QmdItemId b = doc.addNode(3 * P / 4, 0, {{"PitchList", "-2"}, {"DurationList", "+50%,0.25"}});
    doc.addEdge(a, b);
    doc.addEdge(b, a);
    return {doc.addVoiceGroup(a, {{"InitialPitch", "C4"}}), doc.addVoiceGroup(b, {{"InitialPitch", "C2"}})};
}

// Two branches of one length leave a parallel fork and join again: voices of
// one group meet at a node on one tick and take turns by voice number.
QList<QmdItemId> rejoining(VoiceTestDocument &doc)
{
    const QmdItemId fork = doc.addNode(0, 0, {{"SignallingMethod", 1}, {"PitchList", "C3,D3"}});
    const QmdItemId up = doc.addNode(P / 2, 0, {{"PitchList", "E3"}});
    const QmdItemId down = doc.addNode(0, P / 2, {{"PitchList", "F3,G3"}});
    const QmdItemId join = doc.addNode(P / 2, P / 2, {{"PitchList", "A3,B3,+1"}, {"VelocityList", "90,-5"}});
    doc.addEdge(fork, up);
    doc.addEdge(fork, down);
    doc.addEdge(up, join);
    doc.addEdge(down, join);
    doc.addEdge(join, fork);
    return {doc.addVoiceGroup(fork), doc.addVoiceGroup(join, {{"InitialInstrument", 2u}})};
}

// One group's path ends at a node without edges while another plays on: the
// ended group leaves the schedule, the other keeps its turns.
const char *const Ending = "groups whose voices end";
QList<QmdItemId> ending(VoiceTestDocument &doc)
{
    const QmdItemId a = doc.addNode(0, 0, {{"PitchList", "C3,E3"}});
    const QmdItemId b = doc.addNode(P / 2, 0, {{"PitchList", "D3"}});
    doc.addEdge(a, b);
    doc.addEdge(b, a);
    const QmdItemId c = doc.addNode(0, P, {{"PitchList", "A3"}});
    const QmdItemId d = doc.addNode(P / 4, P, {{"PitchList", "B3,+3"}});
    const QmdItemId end = doc.addNode(P, P, {{"PitchList", "G3"}});
    doc.addEdge(c, d);
    doc.addEdge(d, end);
    return {doc.addVoiceGroup(c), doc.addVoiceGroup(a), doc.addVoiceGroup(d, {{"InitialInstrument", 2u}})};
}

const QList<QPair<const char *, Network>> &networks()
{
    static const QList<QPair<const char *, Network>> all{
        {"sequential", sequential}, {"parallel", parallel},     {"random with a seed", random},
        {"edge usage counts", edgeUsage}, {"wormhole and zero-length edge", timeless},
        {"groups meeting on one tick", meeting}, {"relative forms", relative},
        {"voices of one group meeting", rejoining}, {Ending, ending},
    };
    return all;
}

QString describe(const InstrumentEvent &event)
{
    return QStringLiteral("%1 %2 %3 %4 %5").arg(event.pos).arg(event.type).arg(event.pitch).arg(event.velocity)
        .arg(QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(event.bytes.data()),
                                            int(event.bytes.size())).toHex()));
}

QString describe(const FeedbackEvent &record)
{
    return QStringLiteral("%1 g%2 v%3 i%4 %5/%6/%7%8")
        .arg(record.tick)
        .arg(record.voiceGroup)
        .arg(record.voiceNumber)
        .arg(record.instrument)
        .arg(record.pitch)
        .arg(record.velocity)
        .arg(record.duration)
        .arg(record.muted ? QStringLiteral(" muted") : QString());
}

struct Recording
{
    QMap<QmdItemId, QStringList> atNode;       // played-node records in stepping order
    QMap<QmdItemId, QStringList> onInstrument; // messages in tick order
    int steppedAhead = 0; // records found before the clock reached their tick

    bool operator==(const Recording &other) const
    {
        return atNode == other.atNode && onInstrument == other.onInstrument;
    }
};

// True once no voice of the groups is due up to `limit`.
bool settled(const QList<VoiceGroup *> &groups, quint64 limit)
{
    for (VoiceGroup *group : groups) {
        for (const VoiceState &state : group->activeVoiceStates()) {
            if (state.arrival <= limit)
                return false;
        }
    }
    return true;
}

void collect(VoiceTestDocument &doc, quint64 now, Recording *recording)
{
    for (const FeedbackEvent &record : doc.takeFeedback()) {
        if (record.tick > now)
            ++recording->steppedAhead;
        if (record.tick <= End)
            recording->atNode[record.node] << describe(record);
    }
}

// Continues the groups while the clock stands, as the document primes its
// players, and starts the clock.
void startTogether(VoiceTestDocument &doc, const QList<VoiceGroup *> &groups)
{
    doc.sync()->setPlaying(false);
    for (VoiceGroup *group : groups)
        group->continueIterating();
    doc.sync()->setPlaying(true);
    doc.sync()->setTick(doc.sync()->currentTick());
}

// Plays the network from tick 0 to End, a quarter principal at a time, with
// the horizon given; `pauseAt` pauses and resumes the document there.
Recording play(const Network &network, quint64 horizon, quint64 pauseAt = 0)
{
    Recording recording;
    VoiceTestDocument doc;
    const QList<QmdItemId> ids = network(doc);
    QList<RecordingInstrument *> recorders{doc.recorder(1), doc.recorder(2)};
    doc.ready();
    VoiceSchedule::setHorizon(horizon);
    QList<VoiceGroup *> groups;
    for (QmdItemId id : ids) {
        VoiceGroup *group = doc.startGroup(id);
        group->seedRandom(id);
        groups << group;
    }
    startTogether(doc, groups);
    // The test clock counts a tick a nanosecond.
    for (quint64 tick = 0; tick <= End; tick += Step) {
        doc.sync()->setTick(tick);
        if (pauseAt != 0 && tick == pauseAt) {
            // As the document pauses: the clock stops, then the groups.
            doc.sync()->setPlaying(false);
            for (VoiceGroup *group : std::as_const(groups))
                group->pauseIterating();
            QTest::qWait(5);
            startTogether(doc, groups);
        }
        QElapsedTimer patience;
        patience.start();
        while (!settled(groups, tick + horizon) && patience.elapsed() < 10000)
            QTest::qWait(1);
        if (!settled(groups, tick + horizon))
            qWarning("voices still due at tick %llu", tick);
        collect(doc, tick, &recording);
    }
    for (int i = 0; i < recorders.size(); ++i) {
        // Steps at different nodes queue side by side: the messages of one
        // tick are compared as a set.
        std::vector<InstrumentEvent> events = recorders.at(i)->takeAll();
        std::stable_sort(events.begin(), events.end(), [](const InstrumentEvent &a, const InstrumentEvent &b) {
            return a.pos != b.pos ? a.pos < b.pos : describe(a) < describe(b);
        });
        QStringList &messages = recording.onInstrument[QmdItemId(i + 1)];
        for (const InstrumentEvent &event : events) {
            if (event.pos <= End)
                messages << describe(event);
        }
    }
    return recording;
}

int count(const QMap<QmdItemId, QStringList> &lists)
{
    int n = 0;
    for (const QStringList &list : lists)
        n += list.size();
    return n;
}

// Counts the warnings that the steps fall behind the clock, while it lives;
// other messages go on to the test's own handler.
class BehindReports
{
public:
    BehindReports() { s_previous = qInstallMessageHandler(&BehindReports::handle); }
    ~BehindReports() { qInstallMessageHandler(s_previous); }
    int count() const { return s_count.load(); }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (type == QtWarningMsg && message == QLatin1String("Playback: the clock runs ahead of the voice steps; "
                                                             "notes play late"))
            ++s_count;
        else
            s_previous(type, context, message);
    }
    static inline QtMessageHandler s_previous = nullptr;
    static inline std::atomic<int> s_count{0};
};

} // namespace

void TestVoiceSchedule::sameNotesWithTheHorizon_data()
{
    QTest::addColumn<int>("network");
    for (int i = 0; i < networks().size(); ++i)
        QTest::newRow(networks().at(i).first) << i;
}

void TestVoiceSchedule::sameNotesWithTheHorizon()
{
    QFETCH(int, network);
    const Network &build = networks().at(network).second;

    const Recording atArrival = play(build, 0);
    QCOMPARE(atArrival.steppedAhead, 0);
    QVERIFY(count(atArrival.atNode) >= 12);
    QVERIFY(count(atArrival.onInstrument) > 0);

    const Recording ahead = play(build, VoiceSchedule::DefaultHorizon);
    QVERIFY(ahead.steppedAhead > 0);
    QCOMPARE(ahead.atNode, atArrival.atNode);
    QCOMPARE(ahead.onInstrument, atArrival.onInstrument);

    // And again: the order is fixed, not the outcome of a race.
    const Recording again = play(build, VoiceSchedule::DefaultHorizon);
    QCOMPARE(again.atNode, atArrival.atNode);
    QCOMPARE(again.onInstrument, atArrival.onInstrument);
}

void TestVoiceSchedule::groupsMeetingAtANodeTakeTurnsByGroupId()
{
    VoiceTestDocument doc;
    const QmdItemId node = doc.addNode(0, 0, {{"PitchList", "C3,D3,E3,F3"}});
    const QmdItemId back = doc.addNode(P, 0, {{"PitchList", QString()}});
    doc.addEdge(node, back);
    doc.addEdge(back, node);
    QList<QmdItemId> ids;
    for (int i = 0; i < 4; ++i)
        ids << doc.addVoiceGroup(node);
    doc.recorder(1);
    doc.ready();
    // Started and continued in the reverse order of their ids.
    QList<VoiceGroup *> groups;
    for (int i = ids.size() - 1; i >= 0; --i)
        groups << doc.startGroup(ids.at(i));
    startTogether(doc, groups);

    QList<FeedbackEvent> played;
    for (quint64 tick : {quint64(0), P, 2 * P}) {
        doc.sync()->setTick(tick);
        QTRY_VERIFY(settled(groups, tick));
        played += doc.takeFeedback();
    }
    QStringList atNode;
    for (const FeedbackEvent &record : std::as_const(played)) {
        if (record.node == node)
            atNode << QStringLiteral("%1:%2").arg(ids.indexOf(record.voiceGroup)).arg(record.pitch);
    }
    QCOMPARE(atNode, (QStringList{"0:60", "1:62", "2:64", "3:65", "0:60", "1:62", "2:64", "3:65"}));
}

void TestVoiceSchedule::pauseKeepsNotesQueuedAhead()
{
    // Paused while notes for ticks not yet reached wait in the queues, and
    // resumed: every note plays once, as without the pause.
    for (int network = 0; network < networks().size(); ++network) {
        // A continue after a group's voices have ended starts it again, and
        // stepped ahead they end before the clock reaches their last tick.
        if (networks().at(network).first == Ending)
            continue;
        const Network &build = networks().at(network).second;
        const Recording through = play(build, 0);
        const Recording paused = play(build, VoiceSchedule::DefaultHorizon, 3 * P);
        QVERIFY2(paused.steppedAhead > 0, networks().at(network).first);
        QVERIFY2(paused.atNode == through.atNode, networks().at(network).first);
        QVERIFY2(paused.onInstrument == through.onInstrument, networks().at(network).first);
    }
}

void TestVoiceSchedule::pauseBeforeAGroupsLastArrivalKeepsItEnded()
{
    // Paused and resumed while the groups' last voices are still on their
    // way: stepped ahead, those voices have already ended, yet the groups
    // play on to their ends as at arrival and are not started again.
    const Recording atArrival = play(ending, 0, P / 2);
    const Recording ahead = play(ending, VoiceSchedule::DefaultHorizon, P / 2);
    QVERIFY(ahead.steppedAhead > 0);
    QCOMPARE(ahead.atNode, atArrival.atNode);
    QCOMPARE(ahead.onInstrument, atArrival.onInstrument);
}

void TestVoiceSchedule::timelessChainPlaysInOnePass()
{
    // Wormholes and zero-length edges in turn, six of them: every node of the
    // chain plays at the start tick, all in the pass that steps that tick.
    VoiceTestDocument doc;
    QList<QmdItemId> nodes{doc.addNode(0, 0, {{"PitchList", "C3"}})};
    for (int hop = 1; hop <= 6; ++hop) {
        const bool wormhole = hop % 2 == 1;
        const qint64 x = wormhole ? hop * qint64(P) : (hop - 1) * qint64(P);
        nodes << doc.addNode(x, 0, {{"PitchList", "+1"}});
        const QmdItemId edge = doc.addEdge(nodes.at(hop - 1), nodes.at(hop));
        if (wormhole)
            doc.set(edge, "IsWormhole", true);
    }
    const QmdItemId id = doc.addVoiceGroup(nodes.first());
    RecordingInstrument *recorder = doc.recorder(1);
    doc.ready();
    VoiceGroup *group = doc.startGroup(id);
    const std::shared_ptr<VoiceSchedule> schedule = VoiceSchedule::of(doc.controller());
    const quint64 before = schedule->steppingPasses();
    startTogether(doc, {group});
    QTRY_VERIFY(settled({group}, 0));

    QCOMPARE(schedule->steppingPasses() - before, quint64(1));
    QList<int> pitches;
    for (const InstrumentEvent &event : recorder->takeAll()) {
        if (event.type == InstrumentEvent::NoteOn) {
            QCOMPARE(event.pos, quint64(0));
            pitches << event.pitch;
        }
    }
    QCOMPARE(pitches.size(), nodes.size());
    for (int i = 1; i < pitches.size(); ++i)
        QCOMPARE(pitches.at(i), pitches.at(i - 1) + 1);
}

void TestVoiceSchedule::timelessCycleWaitsBetweenPasses()
{
    // Two nodes joined both ways by wormholes: the voice never leaves the
    // start tick. It goes on playing, a pass every 10 ms, never in a busy loop.
    VoiceTestDocument doc;
    const QmdItemId a = doc.addNode(0, 0, {{"PitchList", "C3"}});
    const QmdItemId b = doc.addNode(P, 0, {{"PitchList", "D3"}});
    doc.set(doc.addEdge(a, b), "IsWormhole", true);
    doc.set(doc.addEdge(b, a), "IsWormhole", true);
    const QmdItemId id = doc.addVoiceGroup(a);
    RecordingInstrument *recorder = doc.recorder(1);
    doc.ready();
    VoiceGroup *group = doc.startGroup(id);
    const std::shared_ptr<VoiceSchedule> schedule = VoiceSchedule::of(doc.controller());
    const quint64 before = schedule->steppingPasses();
    startTogether(doc, {group});
    QTest::qWait(200);
    const quint64 passes = schedule->steppingPasses() - before;
    QVERIFY2(passes >= 2, qPrintable(QString::number(passes)));
    QVERIFY2(passes <= 30, qPrintable(QString::number(passes)));
    group->pauseIterating();
    QVERIFY(!recorder->takeAll().empty());
}

void TestVoiceSchedule::clockFarAheadNeverHoldsTheWindow()
{
    // Two silent nodes a tick apart, joined both ways: the voice arrives on
    // every tick. The clock is set far ahead at once, as a tempo beyond any
    // the steps can follow leaves it: the steps fall behind, say so once,
    // and the calls of the window's thread that take the step mutex (pause,
    // continue, a new traversal, go to start) and the end of the group
    // still come back at once.
    auto owned = std::make_unique<VoiceTestDocument>();
    VoiceTestDocument &doc = *owned;
    const QmdItemId a = doc.addNode(0, 0, {{"DontPlayNote", true}});
    const QmdItemId b = doc.addNode(1, 0, {{"DontPlayNote", true}});
    doc.addEdge(a, b);
    doc.addEdge(b, a);
    const QmdItemId id = doc.addVoiceGroup(a);
    doc.recorder(1);
    doc.ready();
    VoiceGroup *group = doc.startGroup(id);
    startTogether(doc, {group});
    const BehindReports reports;
    // Far enough ahead that stepping up to it takes seconds.
    constexpr quint64 Far = 20000;

    // Each call waits for at most one round of steps (a few milliseconds);
    // without the bound on a pass it waits seconds. 500 ms leaves room for a
    // sanitizer build on a loaded machine, where 100 ms was seen exceeded.
    constexpr qint64 Bound = 500;
    const std::pair<const char *, std::function<void()>> calls[] = {
        {"pause", [group] { group->pauseIterating(); }},
        {"continue", [group] { group->continueIterating(); }},
        {"traverse", [group] { group->traverseFromPlaybackPos(); }},
        {"voice states", [group] { group->activeVoiceStates(); }},
        {"go to start", [group] { group->gotoStart(); }},
    };
    for (int round = 1; round <= 3; ++round) {
        // Going to the start starts the voice again at the clock's tick.
        doc.sync()->setTick(round * Far);
        for (const auto &call : calls) {
            QTest::qWait(20); // the steps are under way again
            QElapsedTimer waited;
            waited.start();
            call.second();
            const qint64 ms = waited.elapsed();
            QVERIFY2(ms < Bound, qPrintable(QStringLiteral("%1 waited %2 ms").arg(call.first).arg(ms)));
        }
    }
    QVERIFY(group->isPlaying());
    doc.sync()->setTick(4 * Far);
    QTest::qWait(20);
    // Said once each time the steps fell behind (at most four times: going
    // to the start caught them up), never once a pass.
    QVERIFY2(reports.count() >= 1 && reports.count() <= 4, qPrintable(QString::number(reports.count())));
    // Closed while playing: the groups and the schedule end at once.
    QElapsedTimer ending;
    ending.start();
    owned.reset();
    QVERIFY2(ending.elapsed() < 1000, qPrintable(QString::number(ending.elapsed())));
}

QTEST_GUILESS_MAIN(TestVoiceSchedule)

#include "tst_voiceschedule.moc"
