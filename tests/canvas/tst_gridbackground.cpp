#include "canvasfixture.h"
#include "gridbackground.h"
#include "sceneshot.h"

#include <QElapsedTimer>

using QmdVelka::TickPos;

class TestGridBackground : public QObject
{
    Q_OBJECT

private slots:
    void divisionsFrom_data();
    void divisionsFrom();
    void darkGridPixels();
    void lightGridPixels();
    void transparentPointsShowTheLines();
    void noDivisionsDrawOnThePrincipals();
    void strayDivisionCountsPaintPromptly_data();
    void strayDivisionCountsPaintPromptly();
    void withoutControllerNothingIsPainted();
    void networkOnBothPresets();
};

namespace {

const QStringList StylePresetsNames = {QStringLiteral("Dark"), QStringLiteral("Light")};
const QColor background(39, 39, 47);
const QColor divisionPoints(128, 128, 128);
const QColor principalPoints(200, 200, 200);
const QColor principalLines(46, 46, 54);

// The scene from (-80, -80) on, 320 units square, at zoom 1.
std::unique_ptr<QGraphicsView> gridView(CanvasFixture &f)
{
    return makeSceneView(f.scene(), QRectF(-80, -80, 320, 320));
}

} // namespace

void TestGridBackground::divisionsFrom_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<double>("divisions");
    QTest::newRow("4") << QVariant(4) << 4.0;
    QTest::newRow("0") << QVariant(0) << 1.0;
    QTest::newRow("-1") << QVariant(-1) << 1.0;
    QTest::newRow("nan") << QVariant(qQNaN()) << 1.0;
    QTest::newRow("infinite") << QVariant(qInf()) << 1.0;
    QTest::newRow("100000") << QVariant(100000) << 100000.0;
    QTest::newRow("above a tick") << QVariant(1e12) << 665280.0;
    QTest::newRow("missing") << QVariant() << 1.0;
    QTest::newRow("2.5") << QVariant(2.5) << 2.5;
}

void TestGridBackground::divisionsFrom()
{
    QFETCH(QVariant, stored);
    QFETCH(double, divisions);
    QCOMPARE(GridBackground::divisionsFrom(stored), divisions);
}

void TestGridBackground::darkGridPixels()
{
    CanvasFixture f;
    f.setRoot(QStringLiteral("DivsPerPrincipal"), 4);
    auto view = gridView(f);
    QImage image = grabView(view.get(), QStringLiteral("grid-dark"));
    QVERIFY(colorNear(image, view.get(), QPointF(40, 40), divisionPoints));
    QVERIFY(colorNear(image, view.get(), QPointF(160, 160), principalPoints));
    QVERIFY(colorAround(image, view.get(), QPointF(80, 20), background));
    QVERIFY(colorNear(image, view.get(), QPointF(160, 20), principalLines));

    f.controller()->requestToggleShowGrid();
    f.settle();
    QVERIFY(!f.controller()->data(QStringLiteral("ShowGrid")).toBool());
    image = grabView(view.get());
    for (const QPointF &p : {QPointF(40, 40), QPointF(160, 160), QPointF(80, 20), QPointF(160, 20)})
        QVERIFY(colorAround(image, view.get(), p, background));
}

void TestGridBackground::lightGridPixels()
{
    CanvasFixture f;
    f.setRoot(QStringLiteral("DivsPerPrincipal"), 4);
    QVERIFY(f.controller()->requestLoadStylePreset(QStringLiteral("Light")));
    f.settle();
    auto view = gridView(f);
    const QImage image = grabView(view.get(), QStringLiteral("grid-light"));
    // Division lines under principal lines, no points.
    QVERIFY(colorNear(image, view.get(), QPointF(40, 20), QColor(220, 230, 240)));
    QVERIFY(colorNear(image, view.get(), QPointF(160, 20), QColor(180, 180, 180)));
    QVERIFY(colorNear(image, view.get(), QPointF(160, 160), QColor(180, 180, 180)));
    QVERIFY(colorAround(image, view.get(), QPointF(20, 20), Qt::white));
}

void TestGridBackground::transparentPointsShowTheLines()
{
    CanvasFixture f;
    f.setRoot(QStringLiteral("DivsPerPrincipal"), 4);
    f.setRoot(QStringLiteral("StylePrincipalPointsColor"), QColor(Qt::transparent));
    QCOMPARE(f.scene()->principalPointsColor().alpha(), 0);
    auto view = gridView(f);
    const QImage image = grabView(view.get());
    QVERIFY(colorNear(image, view.get(), QPointF(160, 160), principalLines));
    QVERIFY(!colorNear(image, view.get(), QPointF(160, 160), principalPoints));
    QVERIFY(colorNear(image, view.get(), QPointF(40, 40), divisionPoints));
}

void TestGridBackground::noDivisionsDrawOnThePrincipals()
{
    CanvasFixture f;
    f.setRoot(QStringLiteral("DivsPerPrincipal"), 0);
    auto view = gridView(f);
    const QImage image = grabView(view.get());
    QVERIFY(colorAround(image, view.get(), QPointF(40, 40), background));
    QVERIFY(colorNear(image, view.get(), QPointF(160, 160), principalPoints));
}

void TestGridBackground::strayDivisionCountsPaintPromptly_data()
{
    QTest::addColumn<QVariant>("divs");
    QTest::newRow("-1") << QVariant(-1);
    QTest::newRow("100000") << QVariant(100000);
    QTest::newRow("-1e300") << QVariant(-1e300);
}

void TestGridBackground::strayDivisionCountsPaintPromptly()
{
    QFETCH(QVariant, divs);
    CanvasFixture f;
    f.setRoot(QStringLiteral("DivsPerPrincipal"), divs);
    auto view = gridView(f);
    QElapsedTimer timer;
    timer.start();
    const QImage image = grabView(view.get());
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    // The principals still show.
    QVERIFY(colorNear(image, view.get(), QPointF(160, 160), principalPoints));
}

void TestGridBackground::withoutControllerNothingIsPainted()
{
    NetworkScene scene;
    scene.setBackgroundColor(Qt::red);
    auto view = makeSceneView(&scene, QRectF(0, 0, 40, 40));
    const QImage image = grabView(view.get());
    QVERIFY(!colorNear(image, view.get(), QPointF(20, 20), Qt::red));
}

void TestGridBackground::networkOnBothPresets()
{
    CanvasFixture f;
    constexpr qint64 P = CanvasFixture::P;
    f.setRoot(QStringLiteral("DivsPerPrincipal"), 4);
    const QmdItemId a = f.addNode(TickPos(0, 0));
    const QmdItemId b = f.addNode(TickPos(P, 0));
    const QmdItemId c = f.addNode(TickPos(P, P));
    f.addEdge(a, b);
    f.addEdge(b, c, 1);
    const QmdItemId wormhole = f.addEdge(a, c, 2);
    f.set(wormhole, QStringLiteral("IsWormhole"), true);
    f.set(b, QStringLiteral("SignallingMethod"), 1);
    f.set(c, QStringLiteral("SignallingMethod"), 2);
    f.set(c, QStringLiteral("DontPlayNote"), true);
    f.addVoiceGroup(a);
    f.controller()->requestToggleShowNodeCounters();
    f.settle();
    f.scene()->clearSelection();
    auto view = gridView(f);
    for (const QString &preset : StylePresetsNames) {
        QVERIFY(f.controller()->requestLoadStylePreset(preset));
        f.settle();
        const QImage image = grabView(view.get(), QStringLiteral("network-") + preset);
        // The nodes are drawn in the nodes colour.
        QVERIFY(colorNear(image, view.get(), QPointF(160, -40.0 / 3), f.scene()->nodesColor()));
    }
}

CANVAS_TEST_MAIN(TestGridBackground)
#include "tst_gridbackground.moc"
