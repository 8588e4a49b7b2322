#include "canvascoordinates.h"
#include "canvasfixture.h"

#include <cmath>
#include <limits>

class TestCanvasCoordinates : public QObject
{
    Q_OBJECT

private slots:
    void conversionsAt96Dpi();
    void snapping_data();
    void snapping();
    void snappedPointsRoundTrip();
    void snapSaturates();
    void nonFiniteScenePoints();
    void withoutSceneNothingSnaps();
};

void TestCanvasCoordinates::conversionsAt96Dpi()
{
    CanvasFixture f;
    QCOMPARE(tickPosToScene(QmdVelka::TickPos(665280, 0)), QPointF(160, 0));
    QCOMPARE(sceneToTickPos(QPointF(160, 0)), QmdVelka::TickPos(665280, 0));
    QCOMPARE(tickPosToScene(QmdVelka::TickPos(-332640, 665280 * 2)), QPointF(-80, 320));
    // Halves round away from zero.
    const double halfTick = 160.0 / 665280 / 2;
    QCOMPARE(sceneToTickPos(QPointF(halfTick, -halfTick)), QmdVelka::TickPos(1, -1));
}

void TestCanvasCoordinates::snapping_data()
{
    QTest::addColumn<int>("divs");
    QTest::addColumn<bool>("snap");
    QTest::addColumn<qint64>("x");
    QTest::addColumn<qint64>("snapped");
    QTest::newRow("half a spacing") << 4 << true << qint64(83160) << qint64(166320);
    QTest::newRow("minus half a spacing") << 4 << true << qint64(-83160) << qint64(-166320);
    QTest::newRow("just under half") << 4 << true << qint64(83159) << qint64(0);
    QTest::newRow("on the grid") << 4 << true << qint64(-332640) << qint64(-332640);
    QTest::newRow("snapping off") << 4 << false << qint64(83160) << qint64(83160);
    QTest::newRow("whole principals") << 1 << true << qint64(400000) << qint64(665280);
}

void TestCanvasCoordinates::snapping()
{
    QFETCH(int, divs);
    QFETCH(bool, snap);
    QFETCH(qint64, x);
    QFETCH(qint64, snapped);
    CanvasFixture f;
    f.setRoot(QStringLiteral("DivsPerPrincipal"), divs);
    f.setRoot(QStringLiteral("SnapToGrid"), snap);
    QCOMPARE(f.scene()->snapToGrid(), snap);

    QmdVelka::TickPos pos(x, x);
    snapTickPos(pos, f.scene());
    QCOMPARE(pos, QmdVelka::TickPos(snapped, snapped));

    QPointF point = tickPosToScene(QmdVelka::TickPos(x, 0));
    snapScenePoint(point, f.scene());
    QCOMPARE(sceneToTickPos(point), QmdVelka::TickPos(snapped, 0));
}

void TestCanvasCoordinates::snappedPointsRoundTrip()
{
    CanvasFixture f;
    for (int divs : {1, 3, 4, 7, 64}) {
        f.setRoot(QStringLiteral("DivsPerPrincipal"), divs);
        const qint64 spacing = f.scene()->snapSpacing();
        for (qint64 k = -10; k <= 10; ++k) {
            const QmdVelka::TickPos grid(k * spacing, -k * spacing);
            QCOMPARE(sceneToTickPos(tickPosToScene(grid)), grid);
            QPointF point = tickPosToScene(grid) + QPointF(0.01, -0.01);
            snapScenePoint(point, f.scene());
            QCOMPARE(sceneToTickPos(point), grid);
        }
    }
}

void TestCanvasCoordinates::snapSaturates()
{
    const qint64 max = std::numeric_limits<qint64>::max();
    const qint64 min = std::numeric_limits<qint64>::min();
    // The nearest multiple lies inside the range, or beyond it: then the end.
    QCOMPARE(snapTick(max, 665280), max - 194047);
    QCOMPARE(snapTick(max - 1, 7), max);
    QCOMPARE(snapTick(max, qint64(1) << 62), max);
    QCOMPARE(snapTick(min + 1, qint64(1) << 62), min);
    QCOMPARE(snapTick(12345, 0), qint64(12345));
    QCOMPARE(snapTick(12345, -4), qint64(12345));
}

void TestCanvasCoordinates::nonFiniteScenePoints()
{
    CanvasFixture f;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QCOMPARE(sceneToTickPos(QPointF(nan, nan)), QmdVelka::TickPos(0, 0));
    QCOMPARE(sceneToTickPos(QPointF(inf, -inf)).x, qint64(0));
    QPointF point(nan, 1e300);
    snapScenePoint(point, f.scene());
    QVERIFY(std::isfinite(point.x()));
    QVERIFY(std::isfinite(point.y()));
}

void TestCanvasCoordinates::withoutSceneNothingSnaps()
{
    CanvasFixture f;
    QmdVelka::TickPos pos(83160, 1);
    snapTickPos(pos, nullptr);
    QCOMPARE(pos, QmdVelka::TickPos(83160, 1));
    QPointF point(1.5, 2.5);
    snapScenePoint(point, nullptr);
    QCOMPARE(point, QPointF(1.5, 2.5));
}

CANVAS_TEST_MAIN(TestCanvasCoordinates)
#include "tst_canvascoordinates.moc"
