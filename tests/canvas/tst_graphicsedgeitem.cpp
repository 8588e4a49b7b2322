#include "canvasfixture.h"
#include "elementindexes.h"
#include "graphicsedgeitem.h"
#include "graphicsnodeitem.h"
#include "palette.h"
#include "recordingpaintdevice.h"
#include "sceneshot.h"

#include <QGraphicsPolygonItem>
#include <QPainter>
#include <QStyleOptionGraphicsItem>

using QmdVelka::TickPos;

Q_DECLARE_METATYPE(QList<QPointF>)

class TestGraphicsEdgeItem : public QObject
{
    Q_OBJECT

private slots:
    void routing_data();
    void routing();
    void edgesFollowTheirNodes();
    void lengthToolTip_data();
    void lengthToolTip();
    void toolTipOnHover();
    void wormholesAreDashed();
    void fromNodeAloneHighlightsItsEdges();
    void pressOnTheArrowSelectsTheEdge();
    void arrowHeadDrawnByTheEdge();
    void arrowHeadLeftOutWhenTiny_data();
    void arrowHeadLeftOutWhenTiny();
    void bothEndsMovedTogetherKeepTheRoute();
    void preview();
};

namespace {

constexpr qint64 P = CanvasFixture::P;
constexpr qreal third = 1.0 / 3;

// Scene units to ticks at 96 DPI: 160 units a principal.
qint64 ticks(qreal units)
{
    return qRound64(units * P / 160);
}

QList<QPointF> pathPoints(const QPainterPath &path)
{
    QList<QPointF> points;
    for (int i = 0; i < path.elementCount(); ++i)
        points.append(path.elementAt(i));
    return points;
}

bool fuzzyPoints(const QList<QPointF> &a, const QList<QPointF> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (QLineF(a[i], b[i]).length() > 1e-3)
            return false;
    }
    return true;
}

} // namespace

void TestGraphicsEdgeItem::routing_data()
{
    QTest::addColumn<QPointF>("to");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QList<QPointF>>("points");
    QTest::addColumn<qreal>("angle");
    const qreal near = 40 * third;        // 13.333: on the from-node's circle
    const qreal far = 160 - 76 * third;   // 134.667: 19 points before the to-node's centre
    QTest::newRow("horizontal first") << QPointF(160, 160) << 0
                                      << QList<QPointF>{{near, 0}, {160, 0}, {160, far}} << 90.0;
    QTest::newRow("vertical first") << QPointF(160, 160) << 1
                                    << QList<QPointF>{{0, near}, {0, 160}, {far, 160}} << 0.0;
    QTest::newRow("direct") << QPointF(160, 0) << 2 << QList<QPointF>{{near, 0}, {far, 0}} << 0.0;
    QTest::newRow("short vertical leg") << QPointF(160, 10) << 0
                                        << QList<QPointF>{{near, 0}, {far, 0}, {far, 10}} << 0.0;
    QTest::newRow("short vertical leg leftwards")
        << QPointF(-160, 10) << 0 << QList<QPointF>{{-near, 0}, {-far, 0}, {-far, 10}} << 180.0;
    QTest::newRow("short horizontal leg") << QPointF(10, 160) << 1
                                          << QList<QPointF>{{0, near}, {0, far}, {10, far}} << 90.0;
    QTest::newRow("same row") << QPointF(160, 0) << 0 << QList<QPointF>{{near, 0}, {far, 0}} << 0.0;
    QTest::newRow("same column") << QPointF(0, 160) << 1 << QList<QPointF>{{0, near}, {0, far}} << 90.0;
    QTest::newRow("same column upwards")
        << QPointF(0, -160) << 0 << QList<QPointF>{{0, -near}, {0, -far}} << -90.0;
}

void TestGraphicsEdgeItem::routing()
{
    QFETCH(QPointF, to);
    QFETCH(int, kind);
    QFETCH(QList<QPointF>, points);
    QFETCH(qreal, angle);
    CanvasFixture f;
    const QmdItemId a = f.addNode(TickPos(0, 0));
    const QmdItemId b = f.addNode(TickPos(ticks(to.x()), ticks(to.y())));
    auto *edge = f.itemFor<GraphicsEdgeItem>(f.addEdge(a, b, kind));
    QVERIFY(edge);
    QCOMPARE(edge->type(), 0x10001);
    QCOMPARE(edge->pos(), QPointF(0, 0));
    QCOMPARE(edge->toPoint(), to);
    f.scene()->clearSelection();
    const QList<QPointF> actual = pathPoints(edge->path());
    QVERIFY2(fuzzyPoints(actual, points), qPrintable(QDebug::toString(actual)));
    QVERIFY(qAbs(edge->arrowAngle() - angle) < 1e-9);
    // The arrow starts where the path ends; unselected its tip touches the to-node.
    QVERIFY(QLineF(edge->arrowHead()->pos(), points.last()).length() < 1e-3);
    const QPointF tip = edge->arrowHead()->mapToScene(QPointF(12, 0));
    QVERIFY2(qAbs(QLineF(tip, to).length() - 40 * third) < 1e-3, qPrintable(QDebug::toString(tip)));
}

void TestGraphicsEdgeItem::edgesFollowTheirNodes()
{
    CanvasFixture f;
    const QmdItemId a = f.addNode(TickPos(0, 0));
    const QmdItemId b = f.addNode(TickPos(P, P));
    const QmdItemId other = f.addNode(TickPos(-P, 0));
    auto *edge = f.itemFor<GraphicsEdgeItem>(f.addEdge(a, b));
    QCOMPARE(edge->fromNode(), a);
    QCOMPARE(edge->toNode(), b);

    f.set(b, QStringLiteral("TickPos"), QVariant(TickPos(P, 0)));
    QVERIFY(fuzzyPoints(pathPoints(edge->path()), {{40 * third, 0}, {160 - 76 * third, 0}}));
    f.set(a, QStringLiteral("TickPos"), QVariant(TickPos(-P, P)));
    QCOMPARE(edge->pos(), QPointF(-160, 160));
    QCOMPARE(edge->fromPoint(), QPointF(-160, 160));
    const QPainterPath routed = edge->path();
    QCOMPARE(pathPoints(routed).last(), QPointF(320, -160 + 76 * third));

    // Moving another node, recolouring or selecting leaves the route alone.
    f.set(other, QStringLiteral("TickPos"), QVariant(TickPos(5 * P, 5 * P)));
    QVERIFY(f.controller()->requestLoadStylePreset(QStringLiteral("Light")));
    f.settle();
    QCOMPARE(edge->currentColor(), QColor(40, 40, 40));
    edge->setSelected(true);
    QCOMPARE(edge->path(), routed);
    QCOMPARE(edge->pos(), QPointF(-160, 160));

    // A new kind or new to-node reroutes.
    f.set(edge->id(), QStringLiteral("Path"), 1);
    QCOMPARE(pathPoints(edge->path()).size(), 3);
    QCOMPARE(pathPoints(edge->path())[1], QPointF(0, -160));
    f.set(edge->id(), QStringLiteral("ToNode"), other);
    QCOMPARE(edge->toPoint(), QPointF(800, 800));
}

void TestGraphicsEdgeItem::lengthToolTip_data()
{
    QTest::addColumn<TickPos>("to");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QVariant>("divs");
    QTest::addColumn<QString>("tip");
    QTest::newRow("one principal") << TickPos(P, 0) << 0 << QVariant(4)
                                   << QStringLiteral("1 principal = 4 divisions");
    QTest::newRow("city block") << TickPos(P, P / 2) << 0 << QVariant(4)
                                << QStringLiteral("1.5 principals = 6 divisions");
    QTest::newRow("direct") << TickPos(P, P) << 2 << QVariant(4)
                            << QStringLiteral("1.41421 principals = 5.65685 divisions");
    QTest::newRow("one division") << TickPos(P / 4, 0) << 0 << QVariant(4)
                                  << QStringLiteral("0.25 principals = 1 division");
    QTest::newRow("no divisions") << TickPos(P, 0) << 1 << QVariant(0)
                                  << QStringLiteral("1 principal = 0 divisions");
}

void TestGraphicsEdgeItem::lengthToolTip()
{
    QFETCH(TickPos, to);
    QFETCH(int, kind);
    QFETCH(QVariant, divs);
    QFETCH(QString, tip);
    CanvasFixture f;
    f.setRoot(QStringLiteral("DivsPerPrincipal"), divs);
    auto *edge = f.itemFor<GraphicsEdgeItem>(f.addEdge(f.addNode(TickPos(0, 0)), f.addNode(to), kind));
    edge->updateToolTip();
    QCOMPARE(edge->toolTip(), tip);
    QCOMPARE(edge->arrowHead()->toolTip(), tip);
}

void TestGraphicsEdgeItem::toolTipOnHover()
{
    CanvasFixture f;
    f.setRoot(QStringLiteral("DivsPerPrincipal"), 4);
    const QmdItemId b = f.addNode(TickPos(P, 0));
    auto *edge = f.itemFor<GraphicsEdgeItem>(f.addEdge(f.addNode(TickPos(0, 0)), b));
    auto view = makeSceneView(f.scene(), QRectF(-40, -40, 240, 80));
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    QTest::mouseMove(view->viewport(), view->mapFromScene(QPointF(80, 0)));
    QTRY_COMPARE(edge->toolTip(), QStringLiteral("1 principal = 4 divisions"));

    // The length is read anew at every hover.
    f.set(b, QStringLiteral("TickPos"), QVariant(TickPos(2 * P, 0)));
    QTest::mouseMove(view->viewport(), view->mapFromScene(QPointF(80, 30)));
    QTest::mouseMove(view->viewport(), view->mapFromScene(QPointF(80, 0)));
    QTRY_COMPARE(edge->toolTip(), QStringLiteral("2 principals = 8 divisions"));
}

void TestGraphicsEdgeItem::wormholesAreDashed()
{
    CanvasFixture f;
    const QmdItemId a = f.addNode(TickPos(0, 0));
    auto *edge = f.itemFor<GraphicsEdgeItem>(f.addEdge(a, f.addNode(TickPos(P, 0))));
    f.scene()->clearSelection();
    QCOMPARE(edge->pen().style(), Qt::SolidLine);
    QCOMPARE(edge->pen().widthF(), 4.0 / 3);
    QCOMPARE(edge->pen().joinStyle(), Qt::MiterJoin);
    edge->setSelected(true);
    QCOMPARE(edge->pen().style(), Qt::SolidLine);
    QCOMPARE(edge->pen().widthF(), 4.0);
    QCOMPARE(edge->arrowHead()->transform(), QTransform().scale(1.3, 1.3));

    f.set(edge->id(), QStringLiteral("IsWormhole"), true);
    QVERIFY(edge->isWormhole());
    QCOMPARE(edge->pen().style(), Qt::CustomDashLine);
    const QList<qreal> selected = edge->pen().dashPattern();
    QCOMPARE(selected.size(), 2);
    QCOMPARE(selected[0], 32.0 / 9);
    QCOMPARE(selected[1], 32.0 / 9);
    edge->setSelected(false);
    QCOMPARE(edge->pen().dashPattern(), QList<qreal>({32.0 / 3, 32.0 / 3}));
    QCOMPARE(edge->pen().widthF(), 4.0 / 3);
    QCOMPARE(edge->arrowHead()->transform(), QTransform());

    // Drawn in the edges colour, the arrow head filled with it and unoutlined.
    QCOMPARE(edge->pen().color(), QColor(113, 117, 137));
    QCOMPARE(edge->arrowHead()->brush().color(), QColor(113, 117, 137));
    QCOMPARE(edge->arrowHead()->pen().style(), Qt::NoPen);
    QCOMPARE(edge->arrowHead()->polygon(), QPolygonF({QPointF(0, -6), QPointF(12, 0), QPointF(0, 6)}));
}

void TestGraphicsEdgeItem::fromNodeAloneHighlightsItsEdges()
{
    CanvasFixture f;
    const QmdItemId a = f.addNode(TickPos(0, 0));
    const QmdItemId b = f.addNode(TickPos(P, 0));
    const QmdItemId c = f.addNode(TickPos(0, P));
    auto *first = f.itemFor<GraphicsEdgeItem>(f.addEdge(a, b));
    auto *second = f.itemFor<GraphicsEdgeItem>(f.addEdge(a, c));
    auto *incoming = f.itemFor<GraphicsEdgeItem>(f.addEdge(b, a));
    QCOMPARE(f.controller()->arcIdentifier(a, first->id()), 0);
    QCOMPARE(f.controller()->arcIdentifier(a, second->id()), 1);
    const QColor base(113, 117, 137);

    f.scene()->clearSelection();
    f.itemFor<GraphicsNodeItem>(a)->setSelected(true);
    QCOMPARE(first->currentColor(), QColor(255, 128, 0));
    QCOMPARE(first->zValue(), 1.0);
    QCOMPARE(second->currentColor(), paletteColor(1));
    QCOMPARE(first->pen().color(), QColor(255, 128, 0));
    QCOMPARE(first->arrowHead()->brush().color(), QColor(255, 128, 0));
    QCOMPARE(incoming->currentColor(), base);
    QCOMPARE(incoming->zValue(), 0.0);

    f.itemFor<GraphicsNodeItem>(c)->setSelected(true);
    QCOMPARE(first->currentColor(), base);
    QCOMPARE(first->zValue(), 0.0);
    QCOMPARE(first->pen().color(), base);

    // A preset met during a highlight recolours the base, not the highlight.
    f.scene()->clearSelection();
    f.itemFor<GraphicsNodeItem>(a)->setSelected(true);
    QVERIFY(f.controller()->requestLoadStylePreset(QStringLiteral("Light")));
    f.settle();
    QCOMPARE(first->baseColor(), QColor(40, 40, 40));
    QCOMPARE(first->currentColor(), QColor(255, 128, 0));
    f.scene()->clearSelection();
    QCOMPARE(first->currentColor(), QColor(40, 40, 40));
}

void TestGraphicsEdgeItem::pressOnTheArrowSelectsTheEdge()
{
    CanvasFixture f;
    const QmdItemId a = f.addNode(TickPos(0, 0));
    auto *edge = f.itemFor<GraphicsEdgeItem>(f.addEdge(a, f.addNode(TickPos(P, 0))));
    f.scene()->clearSelection();
    auto view = makeSceneView(f.scene(), QRectF(-40, -40, 240, 80), 2.0);
    QCOMPARE(edge->arrowHead()->acceptedMouseButtons(), Qt::NoButton);
    // Off the line, on the arrow head's wing.
    const QPointF wing = edge->arrowHead()->mapToScene(QPointF(2, 4.5));
    QVERIFY(!QGraphicsPathItem(edge->path()).shape().contains(edge->mapFromScene(wing)));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->mapFromScene(wing));
    QCOMPARE(f.scene()->selectedElementIds(), QmdItemIdSet({edge->id()}));

    // Next to the line, within the margin.
    f.scene()->clearSelection();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->mapFromScene(QPointF(80, 1.2)));
    QCOMPARE(f.scene()->selectedElementIds(), QmdItemIdSet({edge->id()}));
    f.scene()->clearSelection();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->mapFromScene(QPointF(80, 3)));
    QVERIFY(f.scene()->selectedElementIds().isEmpty());
}

void TestGraphicsEdgeItem::arrowHeadDrawnByTheEdge()
{
    // The arrow head's own item paints nothing; the edge draws it in its place.
    CanvasFixture f;
    auto *edge = f.itemFor<GraphicsEdgeItem>(f.addEdge(f.addNode(TickPos(0, 0)), f.addNode(TickPos(P, 0))));
    f.scene()->clearSelection();
    QVERIFY(edge->arrowHead()->flags() & QGraphicsItem::ItemHasNoContents);
    auto view = makeSceneView(f.scene(), QRectF(-40, -40, 240, 80));
    const QImage image = grabView(view.get(), QStringLiteral("edge-arrow-head"));
    // Inside the head, off the line: between the wings, 4 units short of the tip.
    const QPointF inside = edge->arrowHead()->mapToScene(QPointF(8, 2));
    QVERIFY(colorNear(image, view.get(), inside, QColor(113, 117, 137)));
}

void TestGraphicsEdgeItem::arrowHeadLeftOutWhenTiny_data()
{
    QTest::addColumn<qreal>("zoom");
    QTest::addColumn<int>("shapes");
    // The wings are 6 units (4.5 points) from the line: 1.5 device pixels at 25 %.
    QTest::newRow("25 %") << 0.25 << 1;
    QTest::newRow("33 %") << 0.34 << 2;
    QTest::newRow("50 %") << 0.5 << 2;
    QTest::newRow("100 %") << 1.0 << 2;
    QTest::newRow("400 %") << 4.0 << 2;
}

void TestGraphicsEdgeItem::arrowHeadLeftOutWhenTiny()
{
    QFETCH(qreal, zoom);
    QFETCH(int, shapes);
    CanvasFixture f;
    auto *edge = f.itemFor<GraphicsEdgeItem>(f.addEdge(f.addNode(TickPos(0, 0)), f.addNode(TickPos(P, 0))));
    RecordingPaintDevice device;
    QPainter painter(&device);
    painter.scale(zoom, zoom);
    QStyleOptionGraphicsItem option;
    edge->paint(&painter, &option);
    painter.end();
    // The line, then the arrow head filled without outline.
    QCOMPARE(device.strokes().size(), shapes);
    QCOMPARE(device.strokes().first().pen.color(), QColor(113, 117, 137));
    if (shapes == 2) {
        QCOMPARE(device.strokes().last().pen.style(), Qt::NoPen);
        QCOMPARE(device.strokes().last().brush.color(), QColor(113, 117, 137));
    }
}

void TestGraphicsEdgeItem::bothEndsMovedTogetherKeepTheRoute()
{
    // A drag moves both nodes in one request: the edge moves along whole.
    CanvasFixture f;
    const QmdItemId a = f.addNode(TickPos(0, 0));
    const QmdItemId b = f.addNode(TickPos(P, P / 2));
    auto *edge = f.itemFor<GraphicsEdgeItem>(f.addEdge(a, b));
    const QList<QPointF> route = pathPoints(edge->path());
    QHash<QmdIndex, QVariant> moves;
    moves.insert(*existingElementEntry(f.controller(), a, QStringLiteral("TickPos")), QVariant::fromValue(TickPos(P, P)));
    moves.insert(*existingElementEntry(f.controller(), b, QStringLiteral("TickPos")),
                 QVariant::fromValue(TickPos(2 * P, 3 * P / 2)));
    f.controller()->requestSetData(moves, QmdRequestOptions(QStringLiteral("Move")));
    f.settle();
    QCOMPARE(edge->pos(), QPointF(160, 160));
    QCOMPARE(edge->fromPoint(), QPointF(160, 160));
    QCOMPARE(edge->toPoint(), QPointF(320, 240));
    QVERIFY(fuzzyPoints(pathPoints(edge->path()), route));
}

void TestGraphicsEdgeItem::preview()
{
    CanvasFixture f;
    auto *preview = new GraphicsEdgeItem(f.scene());
    QCOMPARE(preview->id(), QmdItemId(0));
    QVERIFY(!preview->controller());
    QVERIFY(!f.scene()->elementItems().contains(preview));
    QCOMPARE(preview->currentColor(), QColor(113, 117, 137));
    preview->setFromPoint(QPointF(160, 0));
    preview->setToPoint(QPointF(320, 160));
    preview->setPathKind(1);
    preview->updatePath();
    QCOMPARE(preview->pos(), QPointF(160, 0));
    QVERIFY(fuzzyPoints(pathPoints(preview->path()), {{0, 40 * third}, {0, 160}, {160 - 76 * third, 160}}));
    preview->onElementDataChangedOrRemoved(0, {QStringLiteral("TickPos"), QStringLiteral("Path")}, 1);
    QCOMPARE(preview->pathKind(), 1);
    preview->updateToolTip();
    QVERIFY(preview->toolTip().isEmpty());
    // Selecting the from-node of nothing highlights nothing.
    f.itemFor<GraphicsNodeItem>(f.addNode(TickPos(P, 0)))->setSelected(true);
    QCOMPARE(preview->currentColor(), QColor(113, 117, 137));
    delete preview;
}

CANVAS_TEST_MAIN(TestGraphicsEdgeItem)
#include "tst_graphicsedgeitem.moc"
