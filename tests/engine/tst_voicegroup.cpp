#include "voicegroup.h"
#include "voicetestdocument.h"
#include "testsync.h"

#include <QtTest>

// The life of a voice group: its start voice, its slots and its thread.
class TestVoiceGroup : public QObject
{
    Q_OBJECT

private slots:
    void startVoice_data();
    void startVoice();
    void pausesWhenEveryVoiceHasEnded();
    void slotsBeforeStart();
    void pauseKeepsVoices();
    void gotoStartSeedsAgain();
    void traverseFollowsTheNetwork();
    void terminatesWhilePlaying();

private:
    static constexpr qint64 P = VoiceTestDocument::P;
};

namespace {

// Waits for the next played-node record.
bool nextPlayed(VoiceTestDocument &doc, FeedbackEvent *record)
{
    for (int i = 0; i < 10000; ++i) {
        const QList<FeedbackEvent> records = doc.takeFeedback();
        if (!records.isEmpty()) {
            *record = records.first();
            return records.size() == 1;
        }
        QTest::qWait(1);
    }
    return false;
}

// Two nodes one principal apart, an edge out and (unless `oneWay`) one back, a
// voice group starting at the first node playing instrument 1; the document is ready.
struct TwoNodes
{
    QmdItemId first = 0;
    QmdItemId second = 0;
    QmdItemId out = 0;
    QmdItemId group = 0;
};

TwoNodes twoNodes(VoiceTestDocument &doc, bool oneWay = false)
{
    TwoNodes net;
    net.first = doc.addNode(0, 0);
    net.second = doc.addNode(VoiceTestDocument::P, 0);
    net.out = doc.addEdge(net.first, net.second);
    if (!oneWay)
        doc.addEdge(net.second, net.first);
    net.group = doc.addVoiceGroup(net.first);
    doc.recorder(1);
    doc.ready();
    return net;
}

} // namespace

void TestVoiceGroup::startVoice_data()
{
    QTest::addColumn<QString>("pitch");
    QTest::addColumn<QString>("velocity");
    QTest::addColumn<QString>("duration");
    QTest::addColumn<int>("playedPitch");
    QTest::addColumn<int>("playedVelocity");
    QTest::addColumn<quint64>("playedDuration");

    QTest::newRow("new group") << "C3" << "64" << "1.0" << 60 << 64 << quint64(P);
    QTest::newRow("half a principal") << "C3" << "64" << "0.5" << 60 << 64 << quint64(332640);
    QTest::newRow("rounds to the nearest tick") << "C3" << "64" << "0.0000007516" << 60 << 64 << quint64(1);
    QTest::newRow("pitch past the MIDI range") << "G#8" << "64" << "1" << 127 << 64 << quint64(P);
    QTest::newRow("velocity past the MIDI range") << "C3" << "300" << "1" << 60 << 127 << quint64(P);
    QTest::newRow("negative duration") << "C3" << "64" << "-1" << 60 << 64 << quint64(0);
    QTest::newRow("unreadable duration") << "C3" << "64" << "long" << 60 << 64 << quint64(0);
    QTest::newRow("endless duration") << "C3" << "64" << "inf" << 60 << 64 << quint64(6652800000ull);
    QTest::newRow("longest duration") << "C3" << "64" << "1e9" << 60 << 64 << quint64(6652800000ull);
}

void TestVoiceGroup::startVoice()
{
    QFETCH(QString, pitch);
    QFETCH(QString, velocity);
    QFETCH(QString, duration);
    QFETCH(int, playedPitch);
    QFETCH(int, playedVelocity);
    QFETCH(quint64, playedDuration);

    VoiceTestDocument doc;
    const QmdItemId node = doc.addNode(0, 0, {{"PitchList", QString()}, {"VelocityList", QString()},
                                              {"DurationList", QString()}});
    const QmdItemId groupId = doc.addVoiceGroup(node, {{"InitialPitch", pitch}, {"InitialVelocity", velocity},
                                                       {"InitialDuration", duration},
                                                       {"InitialInstrument", 7u}});
    doc.recorder(7);
    doc.ready();
    doc.sync()->setTick(5 * P + 3);
    doc.startGroup(groupId)->continueIterating();

    FeedbackEvent played(0, 0, 0, 0, 0, 0, 0, 0, 0);
    QVERIFY(nextPlayed(doc, &played));
    QCOMPARE(played.tick, quint64(5 * P + 3)); // seeded at the tick it was continued
    QCOMPARE(played.node, node);
    QCOMPARE(played.voiceGroup, groupId);
    QCOMPARE(played.instrument, QmdItemId(7));
    QCOMPARE(int(played.pitch), playedPitch);
    QCOMPARE(int(played.velocity), playedVelocity);
    QCOMPARE(played.duration, playedDuration);
}

void TestVoiceGroup::pausesWhenEveryVoiceHasEnded()
{
    VoiceTestDocument doc;
    const QmdItemId node = doc.addNode(0, 0);
    const QmdItemId groupId = doc.addVoiceGroup(node);
    doc.recorder(1);
    doc.ready();
    VoiceGroup *group = doc.startGroup(groupId);
    group->continueIterating();

    FeedbackEvent played(0, 0, 0, 0, 0, 0, 0, 0, 0);
    QVERIFY(nextPlayed(doc, &played));
    QTRY_VERIFY(!group->isPlaying());
    QVERIFY(group->activeVoiceStates().isEmpty());

    doc.sync()->setTick(4 * P);
    group->continueIterating();
    QVERIFY(nextPlayed(doc, &played));
    QCOMPARE(played.tick, quint64(4 * P));
}

void TestVoiceGroup::slotsBeforeStart()
{
    VoiceTestDocument doc;
    const QmdItemId node = doc.addNode(0, 0);
    const QmdItemId groupId = doc.addVoiceGroup(node);
    doc.recorder(1);
    doc.ready();

    {
        // Never started: every slot is harmless, and so is destruction.
        VoiceGroup idle(groupId, doc.controller());
        idle.syncSync();
        idle.reset();
        idle.continueIterating();
        idle.pauseIterating();
        idle.traverseFromPlaybackPos();
        idle.gotoStart();
        idle.terminateSafely();
        QVERIFY(!idle.isPlaying());
        QVERIFY(idle.activeVoiceStates().isEmpty());
    }

    VoiceGroup *group = doc.startGroup(groupId);
    QVERIFY(group->isStarted());
    QVERIFY(!group->isPlaying());
    group->continueIterating();
    FeedbackEvent played(0, 0, 0, 0, 0, 0, 0, 0, 0);
    QVERIFY(nextPlayed(doc, &played));
}

void TestVoiceGroup::pauseKeepsVoices()
{
    VoiceTestDocument doc;
    const auto [first, second, out, groupId] = twoNodes(doc);
    VoiceGroup *group = doc.startGroup(groupId);
    group->continueIterating();
    FeedbackEvent played(0, 0, 0, 0, 0, 0, 0, 0, 0);
    QVERIFY(nextPlayed(doc, &played));
    QTRY_COMPARE(group->activeVoiceStates().size(), 1);

    group->pauseIterating();
    QVERIFY(!group->isPlaying());
    doc.sync()->setTick(3 * P);
    const VoiceState travelling = group->activeVoiceStates().first();
    QCOMPARE(travelling.item, out);
    QCOMPARE(travelling.arrival, quint64(P));

    // Continuing resumes the voice where it was: it arrives late, at its own
    // tick, and so does the voice it sends on.
    group->continueIterating();
    QList<FeedbackEvent> records;
    QTRY_VERIFY((records += doc.takeFeedback()).size() >= 2);
    QCOMPARE(records.at(0).node, second);
    QCOMPARE(records.at(0).tick, quint64(P));
    QCOMPARE(records.at(1).node, first);
    QCOMPARE(records.at(1).tick, quint64(2 * P));
}

void TestVoiceGroup::gotoStartSeedsAgain()
{
    VoiceTestDocument doc;
    const auto [first, second, out, groupId] = twoNodes(doc);
    VoiceGroup *group = doc.startGroup(groupId);
    group->continueIterating();
    FeedbackEvent played(0, 0, 0, 0, 0, 0, 0, 0, 0);
    QVERIFY(nextPlayed(doc, &played));

    // While paused: the start voice waits at the current tick, still paused.
    group->pauseIterating();
    doc.sync()->setTick(7 * P);
    group->gotoStart();
    QVERIFY(!group->isPlaying());
    QTRY_COMPARE(group->activeVoiceStates().size(), 1);
    const VoiceState start = group->activeVoiceStates().first();
    QCOMPARE(start.item, groupId);
    QCOMPARE(start.arrival, quint64(7 * P));

    // While playing: it goes on playing from the start voice.
    group->continueIterating();
    QVERIFY(nextPlayed(doc, &played));
    QCOMPARE(played.tick, quint64(7 * P));
    QCOMPARE(played.node, first);
    doc.sync()->setTick(7 * P + 1); // the voice sent on is still travelling
    group->gotoStart();
    QVERIFY(group->isPlaying());
    QVERIFY(nextPlayed(doc, &played));
    QCOMPARE(played.tick, quint64(7 * P + 1));
    QCOMPARE(played.node, first);
}

void TestVoiceGroup::traverseFollowsTheNetwork()
{
    VoiceTestDocument doc;
    const auto [first, second, out, groupId] = twoNodes(doc, true);
    VoiceGroup *group = doc.startGroup(groupId);
    group->continueIterating();
    FeedbackEvent played(0, 0, 0, 0, 0, 0, 0, 0, 0);
    QVERIFY(nextPlayed(doc, &played));
    QTRY_COMPARE(group->activeVoiceStates().size(), 1);

    // A longer edge: the voice arrives later.
    doc.set(second, "TickPos", QmdVelka::TickPos(2 * P, 0));
    group->traverseFromPlaybackPos();
    QCOMPARE(group->activeVoiceStates().first().arrival, quint64(2 * P));
    QVERIFY(group->isPlaying());

    // A wormhole: the voice arrives at the tick it left.
    doc.set(out, "IsWormhole", true);
    group->pauseIterating();
    group->traverseFromPlaybackPos();
    QCOMPARE(group->activeVoiceStates().first().arrival, quint64(0));

    // A deleted edge: the voice on it is gone.
    doc.remove(out);
    group->traverseFromPlaybackPos();
    QVERIFY(group->activeVoiceStates().isEmpty());
}

void TestVoiceGroup::terminatesWhilePlaying()
{
    VoiceTestDocument doc;
    const auto [first, second, out, groupId] = twoNodes(doc);

    // Playing, waiting for a voice far ahead.
    VoiceGroup playing(groupId, doc.controller());
    playing.start();
    playing.waitUntilStarted();
    playing.continueIterating();
    FeedbackEvent played(0, 0, 0, 0, 0, 0, 0, 0, 0);
    QVERIFY(nextPlayed(doc, &played));
    playing.terminateSafely();
    QVERIFY(playing.wait(10000));

    // Idle, never played.
    VoiceGroup idle(groupId, doc.controller());
    idle.start();
    idle.waitUntilStarted();
    idle.terminateSafely();
    QVERIFY(idle.wait(10000));
}

QTEST_GUILESS_MAIN(TestVoiceGroup)

#include "tst_voicegroup.moc"
