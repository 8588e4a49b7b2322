#include "voicegroup.h"
#include "voicetestdocument.h"
#include "testsync.h"

#include <QtTest>

#include <algorithm>

// What small networks play: the notes, ticks, write-backs and played-node
// records of voices travelling two to four nodes, with the clock set by hand.
class TestVoiceStep : public QObject
{
    Q_OBJECT

private slots:
    void lists_data();
    void lists();
    void writeBacks();
    void editsBetweenVisitsAreHeard();
    void mutedNode();
    void fullQueueLosesNoNoteSilently();
    void stepPassesTheCanvasLock();
    void userMidiMessages();
    void unreadableMessageIsNotSent();
    void instrumentChange();
    void edgeChoice_data();
    void edgeChoice();
    void parallelNode_data();
    void parallelNode();
    void wormhole();
    void voiceLimit();

private:
    static constexpr qint64 P = VoiceTestDocument::P;
};

namespace {

struct Played
{
    quint64 tick;
    QmdItemId node;
    quint32 voice;
    int pitch;
    int velocity;
    quint64 duration;
};

// Moves the clock to each tick in turn and collects the played-node records,
// expecting `perTick[i]` of them at ticks[i].
QList<FeedbackEvent> playThrough(VoiceTestDocument &doc, const QList<quint64> &ticks, const QList<int> &perTick)
{
    QList<FeedbackEvent> played;
    for (int i = 0; i < ticks.size(); ++i) {
        doc.sync()->setTick(ticks.at(i));
        int expected = 0;
        for (int j = 0; j <= i; ++j)
            expected += perTick.at(j);
        QElapsedTimer patience;
        patience.start();
        while (played.size() < expected && patience.elapsed() < 10000) {
            played += doc.takeFeedback();
            if (played.size() < expected)
                QTest::qWait(1);
        }
        if (played.size() != expected) {
            qWarning("at tick %llu: %d played, %d expected", ticks.at(i), int(played.size()), expected);
            return played;
        }
    }
    return played;
}

QList<quint64> everyPrincipal(int count)
{
    QList<quint64> ticks;
    for (int i = 0; i < count; ++i)
        ticks.append(quint64(i) * VoiceTestDocument::P);
    return ticks;
}

// Two nodes one principal apart, joined both ways; the group starts at the
// first. The second node's lists are empty, so it plays what the voice brings.
struct Shuttle
{
    Shuttle(VoiceTestDocument &doc)
    {
        first = doc.addNode(0, 0);
        second = doc.addNode(VoiceTestDocument::P, 0,
                             {{"PitchList", QString()}, {"VelocityList", QString()}, {"DurationList", QString()}});
        out = doc.addEdge(first, second);
        back = doc.addEdge(second, first);
        group = doc.addVoiceGroup(first);
    }
    QmdItemId first, second, out, back, group;
};

using Triple = QList<quint64>; // pitch, velocity, duration of one visit

} // namespace

void TestVoiceStep::lists_data()
{
    QTest::addColumn<QString>("pitches");
    QTest::addColumn<QString>("velocities");
    QTest::addColumn<QString>("durations");
    QTest::addColumn<QList<Triple>>("visits"); // at the first node, three visits

    const quint64 p = P;
    QTest::newRow("new node") << "C3" << "64" << "100%"
                              << QList<Triple>{{60, 64, p}, {60, 64, p}, {60, 64, p}};
    QTest::newRow("note names in turn") << "C3,E3,G3" << "64" << "100%"
                                        << QList<Triple>{{60, 64, p}, {64, 64, p}, {67, 64, p}};
    QTest::newRow("empty pitch field skipped") << "C3,,E3" << "64" << "100%"
                                               << QList<Triple>{{60, 64, p}, {64, 64, p}, {60, 64, p}};
    QTest::newRow("octave up each visit") << "+12" << "64" << "100%"
                                          << QList<Triple>{{72, 64, p}, {84, 64, p}, {96, 64, p}};
    QTest::newRow("pitch stops at 127") << "+40" << "64" << "100%"
                                        << QList<Triple>{{100, 64, p}, {127, 64, p}, {127, 64, p}};
    QTest::newRow("pitch past the MIDI range") << "G#8" << "64" << "100%"
                                               << QList<Triple>{{127, 64, p}, {127, 64, p}, {127, 64, p}};
    QTest::newRow("velocities") << "C3" << "100,+10" << "100%"
                                << QList<Triple>{{60, 100, p}, {60, 110, p}, {60, 100, p}};
    QTest::newRow("velocity stops at 127") << "C3" << "+100" << "100%"
                                           << QList<Triple>{{60, 127, p}, {60, 127, p}, {60, 127, p}};
    QTest::newRow("quarter principal") << "C3" << "64" << "0.25"
                                       << QList<Triple>{{60, 64, p / 4}, {60, 64, p / 4}, {60, 64, p / 4}};
    QTest::newRow("half the travel time") << "C3" << "64" << "50%"
                                          << QList<Triple>{{60, 64, p / 2}, {60, 64, p / 2}, {60, 64, p / 2}};
    QTest::newRow("double") << "C3" << "64" << "*2"
                            << QList<Triple>{{60, 64, 2 * p}, {60, 64, 4 * p}, {60, 64, 8 * p}};
    QTest::newRow("halve") << "C3" << "64" << "/2"
                           << QList<Triple>{{60, 64, p / 2}, {60, 64, p / 4}, {60, 64, p / 8}};
    QTest::newRow("add half the travel time") << "C3" << "64" << "+50%"
                                              << QList<Triple>{{60, 64, 3 * p / 2}, {60, 64, 2 * p}, {60, 64, 5 * p / 2}};
    QTest::newRow("plain then double") << "C3" << "64" << "1.0,*2"
                                       << QList<Triple>{{60, 64, p}, {60, 64, 2 * p}, {60, 64, p}};
    QTest::newRow("divided by zero") << "C3" << "64" << "/0"
                                     << QList<Triple>{{60, 64, p}, {60, 64, p}, {60, 64, p}};
}

void TestVoiceStep::lists()
{
    QFETCH(QString, pitches);
    QFETCH(QString, velocities);
    QFETCH(QString, durations);
    QFETCH(QList<Triple>, visits);

    VoiceTestDocument doc;
    Shuttle net(doc);
    doc.set(net.first, "PitchList", pitches);
    doc.set(net.first, "VelocityList", velocities);
    doc.set(net.first, "DurationList", durations);
    RecordingInstrument *instrument = doc.recorder(1);
    doc.ready();
    VoiceGroup *group = doc.startGroup(net.group);
    group->continueIterating();

    const QList<FeedbackEvent> played = playThrough(doc, everyPrincipal(6), {1, 1, 1, 1, 1, 1});
    QCOMPARE(played.size(), 6);

    std::vector<InstrumentEvent> expectedNotes;
    for (int i = 0; i < played.size(); ++i) {
        const FeedbackEvent &f = played.at(i);
        const Triple &visit = visits.at(i / 2); // the second node repeats the first
        QCOMPARE(f.tick, quint64(i) * P);
        QCOMPARE(f.node, i % 2 ? net.second : net.first);
        QCOMPARE(f.voiceGroup, net.group);
        QCOMPARE(f.voiceNumber, 1u);
        QCOMPARE(f.instrument, QmdItemId(1));
        QCOMPARE(f.muted, 0u);
        QCOMPARE(quint64(f.pitch), visit.at(0));
        QCOMPARE(quint64(f.velocity), visit.at(1));
        QCOMPARE(f.duration, visit.at(2));
        expectedNotes.push_back(InstrumentEvent::noteOn(f.tick, f.pitch, f.velocity));
        expectedNotes.push_back(InstrumentEvent::noteOff(f.tick + f.duration, f.pitch, 0));
    }
    std::stable_sort(expectedNotes.begin(), expectedNotes.end(),
                     [](const InstrumentEvent &a, const InstrumentEvent &b) { return a.pos < b.pos; });
    const std::vector<InstrumentEvent> notes = instrument->takeAll();
    QCOMPARE(notes.size(), expectedNotes.size());
    for (size_t i = 0; i < notes.size(); ++i) {
        QCOMPARE(notes[i].type, expectedNotes[i].type);
        QCOMPARE(notes[i].pos, expectedNotes[i].pos);
        QCOMPARE(notes[i].pitch, expectedNotes[i].pitch);
        QCOMPARE(notes[i].velocity, expectedNotes[i].velocity);
    }
}

void TestVoiceStep::writeBacks()
{
    VoiceTestDocument doc;
    Shuttle net(doc);
    doc.set(net.first, "PitchList", "C3,E3,G3");
    doc.recorder(1);
    doc.ready();
    const QString undoText = doc.controller()->undoText();
    // What the canvas hears of the write-backs: the changed keys of each
    // state entry, on the controller's thread.
    QHash<QmdIndex, QSet<QString>> announced;
    connect(doc.controller(), qOverload<const QmdIndex &, const QStringList &, QmdRequestId>(&QmdController::itemsChanged),
            this, [&announced](const QmdIndex &parent, const QStringList &keys, QmdRequestId) {
                QVERIFY(QThread::currentThread() == QCoreApplication::instance()->thread());
                announced[parent].unite(QSet<QString>(keys.cbegin(), keys.cend()));
            });
    VoiceGroup *group = doc.startGroup(net.group);
    group->continueIterating();

    QCOMPARE(playThrough(doc, everyPrincipal(5), {1, 1, 1, 1, 1}).size(), 5);

    // Three visits of the first node, two of the second.
    QTRY_COMPARE(doc.state(net.out, "CurrentScaleId").toUInt(), 3u);
    QCOMPARE(doc.state(net.back, "CurrentScaleId").toUInt(), 2u);
    QCOMPARE(doc.state(net.first, "HitCount").toUInt(), 3u);
    QCOMPARE(doc.state(net.first, "CurrentPitchId").toUInt(), 3u);
    QCOMPARE(doc.state(net.first, "CurrentVelocityId").toUInt(), 1u); // one field, used again
    QCOMPARE(doc.state(net.first, "CurrentEdgeUsageId").toUInt(), 0u);
    QCOMPARE(doc.state(net.first, "CurrentEdgeUsageUses").toInt(), 1);
    // A cursor whose list is empty still advances.
    QCOMPARE(doc.state(net.second, "HitCount").toUInt(), 2u);
    QCOMPARE(doc.state(net.second, "CurrentPitchId").toUInt(), 2u);
    QCOMPARE(doc.state(net.second, "CurrentUserMidiMessageId").toUInt(), 2u);
    // Playback leaves the undo history alone.
    QCOMPARE(doc.controller()->undoText(), undoText);

    const QSet<QString> nodeKeys{"HitCount", "CurrentPitchId", "CurrentVelocityId", "CurrentDurationId",
                                 "CurrentUserMidiMessageId", "CurrentEdgeUsageId", "CurrentEdgeUsageUses"};
    QTRY_COMPARE(announced.value(doc.controller()->elementStateIndex(net.first)), nodeKeys);
    QTRY_COMPARE(announced.value(doc.controller()->elementStateIndex(net.out)), QSet<QString>{"CurrentScaleId"});
    QTRY_COMPARE(announced.value(doc.controller()->elementStateIndex(net.back)), QSet<QString>{"CurrentScaleId"});
}

void TestVoiceStep::editsBetweenVisitsAreHeard()
{
    VoiceTestDocument doc;
    Shuttle net(doc);
    doc.set(net.first, "PitchList", "C3,E3,G3");
    doc.recorder(1);
    doc.ready();
    VoiceGroup *group = doc.startGroup(net.group);
    group->continueIterating();
    QList<FeedbackEvent> played = playThrough(doc, {0, P}, {1, 1});
    QCOMPARE(played.size(), 2);
    QCOMPARE(played.first().pitch, 60);
    QTRY_COMPARE(doc.state(net.first, "CurrentPitchId").toUInt(), 1u);

    // Between two visits of the first node: a new list, its cursor set back
    // by hand, and the edge on from it gone. The next visit plays the new
    // list from its start and ends the voice there.
    doc.set(net.first, "PitchList", "D3,F3");
    QmdVelkaController *controller = doc.controller();
    controller->requestSetData(QStringLiteral("CurrentPitchId"), 0, controller->elementStateIndex(net.first));
    doc.remove(net.out);
    played = playThrough(doc, {2 * P}, {1});
    QCOMPARE(played.size(), 1);
    QCOMPARE(played.first().node, net.first);
    QCOMPARE(played.first().pitch, 62);
    QTRY_COMPARE(doc.state(net.first, "HitCount").toUInt(), 2u);
    QCOMPARE(doc.state(net.first, "CurrentPitchId").toUInt(), 1u);
    doc.sync()->setTick(4 * P);
    QTest::qWait(50);
    QVERIFY(doc.takeFeedback().isEmpty());
}

void TestVoiceStep::mutedNode()
{
    VoiceTestDocument doc;
    Shuttle net(doc);
    doc.set(net.first, "DontPlayNote", true);
    RecordingInstrument *instrument = doc.recorder(1);
    doc.ready();
    doc.startGroup(net.group)->continueIterating();

    const QList<FeedbackEvent> played = playThrough(doc, everyPrincipal(3), {1, 1, 1});
    QCOMPARE(played.size(), 3);
    QCOMPARE(played.at(0).muted, 1u);
    QCOMPARE(played.at(1).muted, 0u);
    QCOMPARE(played.at(2).muted, 1u);
    QTRY_COMPARE(doc.state(net.first, "HitCount").toUInt(), 2u);
    QCOMPARE(doc.state(net.first, "CurrentPitchId").toUInt(), 1u);

    // Only the second node sounds.
    const std::vector<InstrumentEvent> notes = instrument->takeAll();
    QCOMPARE(notes.size(), size_t(2));
    QCOMPARE(notes[0].type, quint32(InstrumentEvent::NoteOn));
    QCOMPARE(notes[0].pos, quint64(P));
}

void TestVoiceStep::fullQueueLosesNoNoteSilently()
{
    VoiceTestDocument doc;
    Shuttle net(doc);
    RecordingInstrument *instrument = doc.recorder(1);
    // Room for one more record, not for a note on with its note off.
    while (instrument->eventQueue().size() < 999)
        instrument->eventQueue().insert(InstrumentEvent::noteOn(100 * P, 1, 1));
    doc.ready();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("has no room for more notes"));
    doc.startGroup(net.group)->continueIterating();

    QList<FeedbackEvent> played = playThrough(doc, {0}, {1});
    QCOMPARE(played.size(), 1);
    QCOMPARE(played.at(0).muted, 1u); // lost, and shown as a hit that did not sound
    instrument->takeAll();
    played = playThrough(doc, {quint64(P)}, {1});
    QCOMPARE(played.size(), 1);
    QCOMPARE(played.at(0).muted, 0u);
    QCOMPARE(instrument->takeAll().size(), size_t(2));
}

void TestVoiceStep::stepPassesTheCanvasLock()
{
    VoiceTestDocument doc;
    Shuttle net(doc);
    RecordingInstrument *instrument = doc.recorder(1);
    doc.ready();
    VoiceGroup *group = doc.startGroup(net.group);
    {
        // The controller's own mutex, held as by a canvas reading the counters
        // for as long as the step takes: the note reaches its instrument and
        // the node's and edge's states are written back all the same.
        QMutexLocker canvasLock(doc.controller()->mutex());
        group->continueIterating();
        QCOMPARE(playThrough(doc, {0}, {1}).size(), 1);
        QTRY_COMPARE(instrument->eventQueue().size(), 2);
        QTRY_COMPARE(doc.state(net.out, "CurrentScaleId").toUInt(), 1u);
        QCOMPARE(doc.state(net.first, "HitCount").toUInt(), 1u);
    }
    const std::vector<InstrumentEvent> notes = instrument->takeAll();
    QCOMPARE(notes.size(), size_t(2));
    QCOMPARE(notes[0].type, quint32(InstrumentEvent::NoteOn));
    QCOMPARE(notes[1].type, quint32(InstrumentEvent::NoteOff));
}

void TestVoiceStep::userMidiMessages()
{
    VoiceTestDocument doc;
    Shuttle net(doc);
    doc.set(net.first, "UserMidiMessageList", "b0 07 64,,c0 05");
    doc.set(net.first, "DontPlayNote", true);
    RecordingInstrument *instrument = doc.recorder(1);
    doc.ready();
    doc.startGroup(net.group)->continueIterating();
    QCOMPARE(playThrough(doc, everyPrincipal(5), {1, 1, 1, 1, 1}).size(), 5);

    std::vector<InstrumentEvent> raw;
    for (const InstrumentEvent &event : instrument->takeAll()) {
        if (event.type == InstrumentEvent::RawMessage)
            raw.push_back(event);
    }
    QCOMPARE(raw.size(), size_t(3));
    QCOMPARE(raw[0].pos, quint64(0));
    QCOMPARE(raw[0].bytes, (std::vector<unsigned char>{0xb0, 0x07, 0x64}));
    QCOMPARE(raw[1].pos, quint64(2 * P));
    QCOMPARE(raw[1].bytes, (std::vector<unsigned char>{0xc0, 0x05}));
    QCOMPARE(raw[2].bytes, raw[0].bytes);
}

// Bytes typed without their separating blank are no message: nothing is sent
// for it, and the list goes on with the next message.
void TestVoiceStep::unreadableMessageIsNotSent()
{
    VoiceTestDocument doc;
    Shuttle net(doc);
    doc.set(net.first, "UserMidiMessageList", "0x0b0x7b 0x00,0xc0 0x5");
    doc.set(net.first, "DontPlayNote", true);
    RecordingInstrument *instrument = doc.recorder(1);
    doc.ready();
    doc.startGroup(net.group)->continueIterating();
    QCOMPARE(playThrough(doc, everyPrincipal(3), {1, 1, 1}).size(), 3);

    std::vector<std::vector<unsigned char>> raw;
    for (const InstrumentEvent &event : instrument->takeAll()) {
        if (event.type == InstrumentEvent::RawMessage)
            raw.push_back(event.bytes);
    }
    QCOMPARE(raw.size(), size_t(2));
    for (const std::vector<unsigned char> &bytes : raw)
        QCOMPARE(bytes, (std::vector<unsigned char>{0xc0, 0x05}));
}

void TestVoiceStep::instrumentChange()
{
    VoiceTestDocument doc;
    Shuttle net(doc);
    doc.set(net.second, "DoInstrumentChange", true);
    doc.set(net.second, "Instrument", 2u);
    RecordingInstrument *one = doc.recorder(1);
    RecordingInstrument *two = doc.recorder(2);
    doc.ready();
    doc.startGroup(net.group)->continueIterating();

    const QList<FeedbackEvent> played = playThrough(doc, everyPrincipal(3), {1, 1, 1});
    QCOMPARE(played.size(), 3);
    QCOMPARE(played.at(0).instrument, QmdItemId(1));
    QCOMPARE(played.at(1).instrument, QmdItemId(2));
    QCOMPARE(played.at(2).instrument, QmdItemId(2)); // the voice keeps its new instrument
    QCOMPARE(one->takeAll().size(), size_t(2));
    QCOMPARE(two->takeAll().size(), size_t(4));
}

void TestVoiceStep::edgeChoice_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<QString>("list"); // "A" and "B" stand for the edges to a and b
    QTest::addColumn<QString>("path"); // the nodes reached after each visit of the hub

    QTest::newRow("sequential counts") << 0 << "A=2,B=1" << "aabaab";
    QTest::newRow("sequential, empty field ends the list") << 0 << "A=1,,B=1" << "aaa";
    QTest::newRow("sequential, count 0 forever") << 0 << "A=0,B=1" << "aaa";
    QTest::newRow("sequential, unknown edge ends the voice") << 0 << "99=1,B=1" << "";
    QTest::newRow("random, count 0 always") << 2 << "B=3,A=0" << "aaa";
    QTest::newRow("random, single entry") << 2 << "B=5" << "bbb";
    QTest::newRow("unknown method") << 7 << "A=1,B=1" << "";
}

void TestVoiceStep::edgeChoice()
{
    QFETCH(int, method);
    QFETCH(QString, list);
    QFETCH(QString, path);

    // A hub with a spoke to a and one to b, each leading back.
    VoiceTestDocument doc;
    const QmdItemId hub = doc.addNode(0, 0, {{"SignallingMethod", method}});
    const QmdItemId a = doc.addNode(P, 0);
    const QmdItemId b = doc.addNode(0, P);
    const QmdItemId toA = doc.addEdge(hub, a);
    const QmdItemId toB = doc.addEdge(hub, b);
    doc.addEdge(a, hub);
    doc.addEdge(b, hub);
    doc.set(hub, "ArcUsageList",
            QString(list).replace("A", QString::number(toA)).replace("B", QString::number(toB)));
    const QmdItemId groupId = doc.addVoiceGroup(hub);
    doc.recorder(1);
    doc.ready();
    VoiceGroup *group = doc.startGroup(groupId);
    group->continueIterating();

    if (path.isEmpty()) {
        QCOMPARE(playThrough(doc, everyPrincipal(1), {1}).size(), 1);
        QTRY_VERIFY(!group->isPlaying()); // the only voice ended: the group pauses itself
        QVERIFY(group->activeVoiceStates().isEmpty());
        return;
    }
    const int arrivals = 2 * int(path.size());
    QList<int> perTick;
    for (int i = 0; i < arrivals; ++i)
        perTick.append(1);
    const QList<FeedbackEvent> played = playThrough(doc, everyPrincipal(arrivals), perTick);
    QCOMPARE(played.size(), arrivals);
    QString reached;
    for (int i = 0; i < arrivals; ++i) {
        const QmdItemId node = played.at(i).node;
        if (i % 2 == 0)
            QCOMPARE(node, hub);
        else
            reached += node == a ? QLatin1Char('a') : node == b ? QLatin1Char('b') : QLatin1Char('?');
    }
    QCOMPARE(reached, path);
}

void TestVoiceStep::parallelNode_data()
{
    QTest::addColumn<QString>("list"); // "A", "B", "C": edges of 1, 3 and 3 principals
    QTest::addColumn<QString>("played"); // node@principal:voice after the hub

    QTest::newRow("longest first, then list order") << "A=1,B=1,C=1" << "a@1:2 b@3:1 c@3:3";
    QTest::newRow("first edge named twice") << "B=1,A=1,B=1" << "a@1:2 b@3:1";
    QTest::newRow("unknown edge skipped") << "99=1,C=1" << "c@3:1";
    QTest::newRow("further edge named twice") << "B=1,A=1,A=1" << "a@1:2 a@1:3 b@3:1";
}

void TestVoiceStep::parallelNode()
{
    QFETCH(QString, list);
    QFETCH(QString, played);

    VoiceTestDocument doc;
    const QmdItemId hub = doc.addNode(0, 0, {{"SignallingMethod", 1}, {"DurationList", "100%"}});
    const QHash<QmdItemId, QChar> names{{doc.addNode(P, 0), 'a'}, {doc.addNode(3 * P, 0), 'b'},
                                        {doc.addNode(0, 3 * P), 'c'}};
    QString edges = list;
    QHash<QChar, QmdItemId> spokes;
    for (auto it = names.begin(); it != names.end(); ++it) {
        spokes.insert(it.value(), doc.addEdge(hub, it.key()));
        edges.replace(it.value().toUpper(), QString::number(spokes.value(it.value())));
    }
    doc.set(hub, "ArcUsageList", edges);
    const QmdItemId groupId = doc.addVoiceGroup(hub);
    doc.recorder(1);
    doc.ready();
    VoiceGroup *group = doc.startGroup(groupId);
    group->continueIterating();

    const QStringList expected = played.split(' ');
    const QList<FeedbackEvent> records =
        playThrough(doc, {0, quint64(P), quint64(3 * P)}, {1, int(played.count("@1")), int(played.count("@3"))});
    QCOMPARE(records.size(), 1 + expected.size());
    // At the hub the note lasts the longest travel time among the chosen edges.
    QCOMPARE(records.at(0).duration, quint64(played.contains("b@") || played.contains("c@") ? 3 * P : P));
    QStringList reached;
    for (int i = 1; i < records.size(); ++i) {
        const FeedbackEvent &f = records.at(i);
        reached << QStringLiteral("%1@%2:%3").arg(names.value(f.node)).arg(f.tick / P).arg(f.voiceNumber);
    }
    std::sort(reached.begin(), reached.end());
    QCOMPARE(reached, expected);
    QTRY_VERIFY(!group->isPlaying()); // the spokes lead nowhere
    for (auto it = spokes.begin(); it != spokes.end(); ++it)
        QCOMPARE(doc.state(it.value(), "CurrentScaleId").toInt(), int(played.count(QString(it.key()) + '@')));
}

void TestVoiceStep::wormhole()
{
    VoiceTestDocument doc;
    Shuttle net(doc);
    doc.set(net.out, "IsWormhole", true);
    doc.recorder(1);
    doc.ready();
    doc.startGroup(net.group)->continueIterating();

    const QList<FeedbackEvent> played = playThrough(doc, {0, quint64(P)}, {2, 2});
    QCOMPARE(played.size(), 4);
    const QList<quint64> ticks{played.at(0).tick, played.at(1).tick, played.at(2).tick, played.at(3).tick};
    QCOMPARE(ticks, (QList<quint64>{0, 0, quint64(P), quint64(P)}));
    QCOMPARE(played.at(1).node, net.second);
    // A note through a wormhole lasts the time the wormhole takes: none.
    QCOMPARE(played.at(0).duration, quint64(0));
}

void TestVoiceStep::voiceLimit()
{
    // Two nodes sending every voice on along two edges each way: the voices
    // double at every arrival until the group's 24 are all travelling.
    VoiceTestDocument doc;
    const QmdItemId left = doc.addNode(0, 0, {{"SignallingMethod", 1}});
    const QmdItemId right = doc.addNode(P, 0, {{"SignallingMethod", 1}});
    doc.addEdge(left, right, 0);
    doc.addEdge(left, right, 1);
    doc.addEdge(right, left, 0);
    doc.addEdge(right, left, 1);
    const QmdItemId groupId = doc.addVoiceGroup(left);
    doc.recorder(1);
    doc.ready();
    VoiceGroup *group = doc.startGroup(groupId);
    group->continueIterating();

    const QList<int> perTick{1, 2, 4, 8, 16, 24, 24};
    const QList<FeedbackEvent> played = playThrough(doc, everyPrincipal(perTick.size()), perTick);
    QCOMPARE(played.size(), 79);
    QSet<quint32> numbers;
    for (const FeedbackEvent &f : played)
        numbers.insert(f.voiceNumber);
    QCOMPARE(numbers.size(), 24);
    QVERIFY(*std::min_element(numbers.begin(), numbers.end()) == 1);
    QVERIFY(*std::max_element(numbers.begin(), numbers.end()) == 24);
    QTRY_COMPARE(group->activeVoiceStates().size(), 24);
}

QTEST_GUILESS_MAIN(TestVoiceStep)

#include "tst_voicestep.moc"
