#include "canvasfixture.h"
#include "graphicsnodeitem.h"
#include "recordingitems.h"

using QmdVelka::TickPos;

class TestPlaybackFeedback : public QObject
{
    Q_OBJECT

private slots:
    void flashColour_data();
    void flashColour();
    void flashesLastTheirNotes();
    void mutedNodesFlashForAHundredMilliseconds();
    void thirtyTwoRecordsAPass();
    void stoppingEndsEveryFlash();
    void voicesShareTheNode();
    void strayRecordsAreDropped();
    void removedFlashingNodeLeavesNoEntry();
    void resetDuringAFlash();
};

namespace {

constexpr qint64 P = CanvasFixture::P;
constexpr quint64 hundredMs = 133056; // at the test clock's 120 bpm, one beat a principal

// A document with a red instrument, a node and a playing clock at tick 0.
struct Playing
{
    Playing()
    {
        node = f.addNode(TickPos(0, 0));
        f.controller()->requestAddInstrument();
        f.settle();
        instrument = f.controller()->instrumentIds().first();
        f.controller()->requestSetData(QStringLiteral("Color"), QColor(255, 0, 0),
                                       f.controller()->instrumentIndex(instrument));
        f.settle();
        f.sync()->setPlaying(true);
        f.scene()->clearSelection();
    }

    void push(quint64 tick, quint32 group, quint32 voice, quint64 duration, quint8 velocity = 127,
              quint32 muted = 0, QmdItemId at = 0)
    {
        QVERIFY(f.controller()->feedbackPipe().insert(
            FeedbackEvent(muted, tick, group, voice, at ? at : node, instrument, 60, velocity, duration)));
    }

    void passAt(quint64 tick)
    {
        f.sync()->setTick(tick);
        f.scene()->checkFeedbackPipe();
    }

    GraphicsNodeItem *item() const { return f.itemFor<GraphicsNodeItem>(node); }

    CanvasFixture f;
    QmdItemId node = 0;
    QmdItemId instrument = 0;
};

} // namespace

void TestPlaybackFeedback::flashColour_data()
{
    QTest::addColumn<QColor>("instrument");
    QTest::addColumn<int>("velocity");
    QTest::addColumn<QRgb>("flash");
    QTest::newRow("red 127") << QColor(255, 0, 0) << 127 << qRgba(255, 0, 0, 153);
    QTest::newRow("red 0") << QColor(255, 0, 0) << 0 << qRgba(255, 178, 178, 153);
    QTest::newRow("red 64") << QColor(255, 0, 0) << 64 << qRgba(255, 89, 89, 153);
    QTest::newRow("translucent") << QColor(255, 0, 0, 100) << 127 << qRgba(255, 0, 0, 60);
}

void TestPlaybackFeedback::flashColour()
{
    QFETCH(QColor, instrument);
    QFETCH(int, velocity);
    QFETCH(QRgb, flash);
    const QColor color = NetworkScene::flashColor(instrument, quint8(velocity), QColor(155, 158, 255));
    QCOMPARE(color.toRgb().rgba(), flash);
}

void TestPlaybackFeedback::flashesLastTheirNotes()
{
    Playing p;
    p.push(1000, 7, 1, 5000, 64);
    p.passAt(999);
    QCOMPARE(p.item()->flashCount(), 0);
    p.passAt(1000);
    QCOMPARE(p.item()->flashCount(), 1);
    QCOMPARE(p.item()->flashes().value(7).value(1).toRgb().rgba(), qRgba(255, 89, 89, 153));
    p.passAt(5999);
    QCOMPARE(p.item()->flashCount(), 1);
    p.passAt(6000);
    QCOMPARE(p.item()->flashCount(), 0);

    // A note that would end beyond the clock's range lasts until playback stops.
    p.push(7000, 7, 1, std::numeric_limits<quint64>::max() - 100);
    p.passAt(7000);
    QCOMPARE(p.item()->flashCount(), 1);
    p.passAt(std::numeric_limits<quint64>::max() - 1);
    QCOMPARE(p.item()->flashCount(), 1);
    p.f.sync()->setPlaying(false);
    p.passAt(0);
    QCOMPARE(p.item()->flashCount(), 0);
}

void TestPlaybackFeedback::mutedNodesFlashForAHundredMilliseconds()
{
    Playing p;
    const quint64 T = 10 * P;
    p.push(T, 1, 1, 4 * P, 127, 1);
    p.passAt(T);
    QCOMPARE(p.item()->flashCount(), 1);
    p.passAt(T + hundredMs - 1);
    QCOMPARE(p.item()->flashCount(), 1);
    p.passAt(T + hundredMs);
    QCOMPARE(p.item()->flashCount(), 0);
}

void TestPlaybackFeedback::thirtyTwoRecordsAPass()
{
    Playing p;
    const QmdItemId other = p.f.addNode(TickPos(P, 0));
    for (quint32 voice = 1; voice <= 40; ++voice)
        p.push(100, 1, voice, P, 127, 0, voice <= 20 ? p.node : other);
    p.passAt(200);
    QCOMPARE(p.item()->flashCount() + p.f.itemFor<GraphicsNodeItem>(other)->flashCount(), 32);
    QCOMPARE(p.f.controller()->feedbackPipe().size(), 8);
    p.passAt(300);
    QCOMPARE(p.item()->flashCount(), 20);
    QCOMPARE(p.f.itemFor<GraphicsNodeItem>(other)->flashCount(), 20);
    QVERIFY(p.f.controller()->feedbackPipe().isEmpty());
}

void TestPlaybackFeedback::stoppingEndsEveryFlash()
{
    Playing p;
    p.push(0, 1, 1, 10 * P);
    p.push(0, 2, 1, 20 * P);
    p.passAt(0);
    QCOMPARE(p.item()->flashCount(), 2);
    // Records queued after the stop wait in the pipe.
    p.push(10, 3, 1, P);
    p.f.sync()->setPlaying(false);
    p.passAt(100);
    QCOMPARE(p.item()->flashCount(), 0);
    QCOMPARE(p.f.controller()->feedbackPipe().size(), 1);
}

void TestPlaybackFeedback::voicesShareTheNode()
{
    Playing p;
    p.push(0, 1, 1, 100);
    p.push(0, 1, 2, 200);
    p.push(0, 2, 1, 300);
    p.passAt(0);
    QCOMPARE(p.item()->flashCount(), 3);
    p.passAt(100);
    QCOMPARE(p.item()->flashCount(), 2);
    QVERIFY(!p.item()->flashes().value(1).contains(1));

    // A voice's next note replaces its colour; the earlier end still ends it.
    p.push(150, 2, 1, 1000, 0);
    p.passAt(150);
    QCOMPARE(p.item()->flashCount(), 2);
    QCOMPARE(p.item()->flashes().value(2).value(1).toRgb().rgba(), qRgba(255, 178, 178, 153));
    p.passAt(300);
    QCOMPARE(p.item()->flashCount(), 0);
    p.passAt(1150);
    QCOMPARE(p.item()->flashCount(), 0);
}

void TestPlaybackFeedback::strayRecordsAreDropped()
{
    Playing p;
    const QmdItemId edge = p.f.addEdge(p.node, p.f.addNode(TickPos(P, 0)));
    p.push(0, 1, 1, 100, 127, 0, edge);
    p.push(0, 1, 2, 100, 127, 0, 99999);
    QVERIFY(p.f.controller()->feedbackPipe().insert(FeedbackEvent(0, 0, 1, 3, 0, p.instrument, 60, 127, 100)));
    // An instrument that is gone flashes in the nodes colour.
    QVERIFY(p.f.controller()->feedbackPipe().insert(FeedbackEvent(0, 0, 1, 4, p.node, 4242, 60, 127, 100)));
    p.passAt(0);
    QCOMPARE(p.item()->flashCount(), 1);
    QCOMPARE(p.item()->flashes().value(1).value(4), NetworkScene::flashColor(QColor(155, 158, 255), 127, QColor()));
    QCOMPARE(NetworkScene::flashColor(QColor(), 127, QColor(155, 158, 255)),
             NetworkScene::flashColor(QColor(155, 158, 255), 127, QColor()));
    QVERIFY(p.f.controller()->feedbackPipe().isEmpty());
}

void TestPlaybackFeedback::removedFlashingNodeLeavesNoEntry()
{
    Playing p;
    const QmdItemId other = p.f.addNode(TickPos(P, 0));
    p.push(0, 1, 1, 100);
    p.push(0, 1, 2, 100, 127, 0, other);
    p.passAt(0);
    p.f.remove(p.node);
    p.passAt(1000);
    QCOMPARE(p.f.itemFor<GraphicsNodeItem>(other)->flashCount(), 0);
}

void TestPlaybackFeedback::resetDuringAFlash()
{
    Playing p;
    p.push(0, 1, 1, 100);
    p.passAt(0);
    QCOMPARE(p.item()->flashCount(), 1);
    p.f.controller()->reset();
    p.f.settle();
    p.passAt(1000);
    QCOMPARE(p.item()->flashCount(), 0);
    // The timer drives the passes on its own, with the document's new clock.
    p.f.sync()->setPlaying(true);
    p.push(2000, 1, 1, P);
    p.f.sync()->setTick(2000);
    QTRY_COMPARE(p.item()->flashCount(), 1);
}

CANVAS_TEST_MAIN(TestPlaybackFeedback)
#include "tst_playbackfeedback.moc"
