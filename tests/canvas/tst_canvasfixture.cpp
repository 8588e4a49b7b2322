#include "canvasfixture.h"
#include "displayscale.h"

#include <QScreen>

// The shared fixture itself: later canvas tests rely on what it promises.
class TestCanvasFixture : public QObject
{
    Q_OBJECT

private slots:
    void offscreenAt96Dpi();
    void clockIsSetByHandAndNothingPlays();
    void helpersReturnTheNewElements();
};

void TestCanvasFixture::offscreenAt96Dpi()
{
    CanvasFixture f;
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("offscreen"));
    QCOMPARE(displayScaleX(), 96.0 / 72.0);
    QCOMPARE(displayScaleY(), 96.0 / 72.0);
    QCOMPARE(QGuiApplication::primaryScreen()->logicalDotsPerInchX(), 96.0);
    QVERIFY(f.scene()->views().isEmpty());
}

void TestCanvasFixture::clockIsSetByHandAndNothingPlays()
{
    CanvasFixture f;
    TestSync *sync = f.sync();
    QVERIFY(sync);
    QVERIFY(!sync->isPlaying());
    QCOMPARE(sync->nanosecondsToTicks(100000000), quint64(133056));
    QCOMPARE(sync->ticksToNanoseconds(133056), quint64(100000000));
    sync->setTick(665280);
    sync->setPlaying(true);
    QCOMPARE(sync->currentTick(), quint64(665280));
    QVERIFY(sync->isPlaying());

    f.controller()->requestAddInstrument();
    const QmdItemId node = f.addNode(QmdVelka::TickPos(0, 0));
    f.addVoiceGroup(node);
    QVERIFY(f.controller()->instrumentThreads().isEmpty());
    QVERIFY(f.controller()->voiceGroups().isEmpty());
}

void TestCanvasFixture::helpersReturnTheNewElements()
{
    CanvasFixture f;
    const QmdItemId a = f.addNode(QmdVelka::TickPos(0, 0));
    const QmdItemId b = f.addNode(QmdVelka::TickPos(CanvasFixture::P, 0));
    const QmdItemId edge = f.addEdge(a, b, 2);
    const QmdItemId group = f.addVoiceGroup(a);
    const QmdItemId text = f.addTextBox(QmdVelka::TickPos(0, CanvasFixture::P), QStringLiteral("<b>Hi</b>"));
    QmdVelkaController *c = f.controller();
    QCOMPARE(c->elementType(a), 2);
    QCOMPARE(c->elementType(edge), 1);
    QCOMPARE(c->elementData(edge, QStringLiteral("Path")).toInt(), 2);
    QCOMPARE(c->elementData(edge, QStringLiteral("ToNode")).toUInt(), b);
    QCOMPARE(c->elementType(group), 4);
    QCOMPARE(c->elementData(group, QStringLiteral("ToNode")).toUInt(), a);
    QCOMPARE(c->elementType(text), 3);
    QCOMPARE(c->elementData(text, QStringLiteral("Text")).toString(), QStringLiteral("<b>Hi</b>"));

    // A missing element takes no writes, not even into the root.
    f.set(9999, QStringLiteral("Tempo"), 1);
    QVERIFY(c->data(QStringLiteral("Tempo")).toInt() != 1);
}

CANVAS_TEST_MAIN(TestCanvasFixture)
#include "tst_canvasfixture.moc"
