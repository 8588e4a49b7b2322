#include "canvasfixture.h"
#include "graphicsnodeitem.h"
#include "recordingpaintdevice.h"
#include "sceneshot.h"

#include <QGraphicsSimpleTextItem>
#include <QImage>
#include <QPicture>

#include <algorithm>
#include <cstdlib>
#include <QPainter>
#include <QStyleOptionGraphicsItem>

using QmdVelka::TickPos;

class TestGraphicsNodeItem : public QObject
{
    Q_OBJECT

private slots:
    void circleInTheNodesColour();
    void counterLabel();
    void mutedDashesKeepTheirLength();
    void pitchListToolTip_data();
    void pitchListToolTip();
    void signallingMethodReadOnEveryNotification();
    void detailsLeftOutWhenTiny_data();
    void detailsLeftOutWhenTiny();
    void sharedPicturesDrawAsDirectDrawingDoes_data();
    void sharedPicturesDrawAsDirectDrawingDoes();
    void flashesShowOneSliceAVoice();
    void pressOnTheLabelSelectsTheNode();
    void preview();
};

namespace {

constexpr qint64 P = CanvasFixture::P;

// The pens that paint() hands the painter, in order.
QList<QPen> paintedPens(GraphicsNodeItem *node)
{
    RecordingPaintDevice device;
    QPainter painter(&device);
    QStyleOptionGraphicsItem option;
    node->paint(&painter, &option);
    painter.end();
    QList<QPen> pens;
    for (const auto &stroke : device.strokes())
        pens.append(stroke.pen);
    return pens;
}

} // namespace

void TestGraphicsNodeItem::circleInTheNodesColour()
{
    CanvasFixture f;
    auto *node = f.itemFor<GraphicsNodeItem>(f.addNode(TickPos(P, P / 2)));
    QVERIFY(node);
    QCOMPARE(node->type(), 0x10002);
    QCOMPARE(node->pos(), QPointF(160, 80));
    QCOMPARE(node->rect(), QRectF(-40.0 / 3, -40.0 / 3, 80.0 / 3, 80.0 / 3));
    QCOMPARE(node->brush().color(), QColor(155, 158, 255, 40));
    QCOMPARE(node->pen().color(), QColor(155, 158, 255));
    QCOMPARE(node->pen().widthF(), 4.0 / 3);

    // Room for the thick outline on the upper left, for the glyph on the lower right.
    const QRectF bounds = node->boundingRect();
    QVERIFY(bounds.left() < node->rect().left() - 2);
    QVERIFY(bounds.right() >= node->rect().right() + node->rect().width() / 4);

    QVERIFY(f.controller()->requestLoadStylePreset(QStringLiteral("Light")));
    f.settle();
    QCOMPARE(node->pen().color(), QColor(44, 101, 169));
    QCOMPARE(node->brush().color(), QColor(44, 101, 169, 40));
    QCOMPARE(node->counterLabel()->brush().color(), QColor(Qt::black));
}

void TestGraphicsNodeItem::counterLabel()
{
    CanvasFixture f;
    const QmdItemId id = f.addNode(TickPos(0, 0));
    auto *node = f.itemFor<GraphicsNodeItem>(id);
    QGraphicsSimpleTextItem *label = node->counterLabel();
    QCOMPARE(label->parentItem(), node);
    QVERIFY(!label->isVisible());
    QCOMPARE(label->brush().color(), QColor(255, 255, 255, 128));
    QCOMPARE(label->acceptedMouseButtons(), Qt::NoButton);
    // Just above and right of the circle's upper-right point.
    QCOMPARE(label->pos().x(), 40.0 / 3 * std::cos(M_PI / 4));
    QVERIFY(label->pos().y() < -40.0 / 3 * std::sin(M_PI / 4) - 10);

    f.controller()->requestSetData(QStringLiteral("HitCount"), 12u, f.controller()->elementStateIndex(id),
                                   QmdRequestOptions(Qmd::NoUndoHistory));
    f.controller()->requestToggleShowNodeCounters();
    f.settle();
    QVERIFY(label->isVisible());
    QCOMPARE(label->text(), QStringLiteral("12"));
    QCOMPARE(node->counter(), 12u);
    node->setCounter(4000000000u);
    QCOMPARE(label->text(), QStringLiteral("4000000000"));
}

void TestGraphicsNodeItem::mutedDashesKeepTheirLength()
{
    CanvasFixture f;
    const QmdItemId id = f.addNode(TickPos(0, 0));
    auto *node = f.itemFor<GraphicsNodeItem>(id);
    f.scene()->clearSelection();
    QList<QPen> pens = paintedPens(node);
    QVERIFY(!pens.isEmpty());
    QCOMPARE(pens.first().style(), Qt::SolidLine);
    QCOMPARE(pens.first().widthF(), 4.0 / 3);

    f.set(id, QStringLiteral("DontPlayNote"), true);
    QVERIFY(node->isMuted());
    pens = paintedPens(node);
    QCOMPARE(pens.first().style(), Qt::CustomDashLine);
    QCOMPARE(pens.first().widthF(), 4.0 / 3);
    QCOMPARE(pens.first().dashPattern(), QList<qreal>({3.0, 3.0}));

    node->setSelected(true);
    pens = paintedPens(node);
    QCOMPARE(pens.first().widthF(), 4.0);
    QCOMPARE(pens.first().dashPattern(), QList<qreal>({1.0, 1.0}));
    QCOMPARE(pens.first().capStyle(), Qt::RoundCap);
}

void TestGraphicsNodeItem::pitchListToolTip_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("tip");
    const QString c = QStringLiteral("C#3,");
    // 70 characters with a comma every 4: lines break after the commas at 31 and 63.
    const QString seventy = c.repeated(17) + QStringLiteral("C#");
    QTest::newRow("70 characters") << seventy
                                   << c.repeated(8) + QStringLiteral("\n") + c.repeated(8) + QStringLiteral("\n")
                                          + c + QStringLiteral("C#");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("30 characters") << QStringLiteral("x").repeated(30) << QStringLiteral("x").repeated(30);
    QTest::newRow("no comma after 30") << QStringLiteral("C3,") + QStringLiteral("x").repeated(40)
                                       << QStringLiteral("C3,") + QStringLiteral("x").repeated(40);
    QTest::newRow("comma at 30") << QStringLiteral("x").repeated(30) + QStringLiteral(",y")
                                 << QStringLiteral("x").repeated(30) + QStringLiteral(",\ny");
    QTest::newRow("ends in comma") << QStringLiteral("x").repeated(31) + QStringLiteral(",")
                                   << QStringLiteral("x").repeated(31) + QStringLiteral(",\n");
}

void TestGraphicsNodeItem::pitchListToolTip()
{
    QFETCH(QString, list);
    QFETCH(QString, tip);
    QCOMPARE(GraphicsNodeItem::pitchListToolTip(list), tip);
}

void TestGraphicsNodeItem::signallingMethodReadOnEveryNotification()
{
    CanvasFixture f;
    const QmdItemId id = f.addNode(TickPos(0, 0));
    auto *node = f.itemFor<GraphicsNodeItem>(id);
    const QString list = QStringLiteral("C#3,").repeated(17) + QStringLiteral("C#");
    f.set(id, QStringLiteral("PitchList"), list);
    QCOMPARE(node->toolTip().count(QLatin1Char('\n')), 2);

    f.set(id, QStringLiteral("SignallingMethod"), 2);
    QCOMPARE(node->signallingMethod(), 2);
    node->setSignallingMethod(0);
    node->onElementDataChangedOrRemoved(id, {QStringLiteral("PitchList")}, 99);
    QCOMPARE(node->signallingMethod(), 2);
    // Another node's notification is not this node's.
    node->setSignallingMethod(1);
    node->onElementDataChangedOrRemoved(id + 1000, {QStringLiteral("PitchList")}, 99);
    QCOMPARE(node->signallingMethod(), 1);
}

void TestGraphicsNodeItem::detailsLeftOutWhenTiny_data()
{
    QTest::addColumn<qreal>("zoom");
    QTest::addColumn<int>("glyphStrokes");
    QTest::addColumn<bool>("counterDrawn");
    // The parallel strokes are 40/9 units apart, 1.1 device pixels at 25 %;
    // the counter's line is about 16 units high, the bars of its digits a third of that apart.
    QTest::newRow("25 %") << 0.25 << 0 << false;
    QTest::newRow("50 %") << 0.5 << 2 << true;
    QTest::newRow("100 %") << 1.0 << 2 << true;
}

void TestGraphicsNodeItem::detailsLeftOutWhenTiny()
{
    QFETCH(qreal, zoom);
    QFETCH(int, glyphStrokes);
    QFETCH(bool, counterDrawn);
    CanvasFixture f;
    const QmdItemId id = f.addNode(TickPos(0, 0));
    f.set(id, QStringLiteral("SignallingMethod"), 1);
    f.controller()->requestToggleShowNodeCounters();
    f.settle();
    auto *node = f.itemFor<GraphicsNodeItem>(id);
    QVERIFY(node->isCounterVisible());

    RecordingPaintDevice device;
    QPainter painter(&device);
    painter.scale(zoom, zoom);
    QStyleOptionGraphicsItem option;
    node->paint(&painter, &option);
    // The circle, then the glyph's strokes.
    painter.end();
    QCOMPARE(device.strokes().size(), 1 + glyphStrokes);

    QImage label(64, 64, QImage::Format_ARGB32_Premultiplied);
    label.fill(Qt::transparent);
    QPainter labelPainter(&label);
    labelPainter.scale(zoom, zoom);
    node->counterLabel()->paint(&labelPainter, &option, nullptr);
    labelPainter.end();
    bool drawn = false;
    for (int y = 0; y < label.height() && !drawn; ++y) {
        for (int x = 0; x < label.width() && !drawn; ++x)
            drawn = qAlpha(label.pixel(x, y)) != 0;
    }
    QCOMPARE(drawn, counterDrawn);
}

void TestGraphicsNodeItem::sharedPicturesDrawAsDirectDrawingDoes_data()
{
    QTest::addColumn<qreal>("zoom");
    QTest::addColumn<QPointF>("offset");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<bool>("muted");
    QTest::addColumn<int>("method");
    QTest::newRow("plain") << 1.0 << QPointF(30, 30) << false << false << 0;
    QTest::newRow("between pixels") << 1.0 << QPointF(30.3, 29.6) << false << false << 0;
    QTest::newRow("selected") << 1.0 << QPointF(30.5, 30.5) << true << false << 0;
    QTest::newRow("muted, parallel") << 1.0 << QPointF(30, 30.25) << false << true << 1;
    QTest::newRow("selected, muted, random") << 1.0 << QPointF(30.75, 30) << true << true << 2;
    QTest::newRow("zoomed in") << 2.5 << QPointF(50.2, 50.9) << true << false << 1;
    QTest::newRow("zoomed out") << 0.5 << QPointF(20.4, 20.1) << false << true << 2;
}

void TestGraphicsNodeItem::sharedPicturesDrawAsDirectDrawingDoes()
{
    // A node is copied from a picture of its look only where the painter
    // rasterizes; a recorded picture replays its drawing directly. Both must
    // give the same pixels but for rounding where strokes blend into the
    // translucent fill: a level for each stroke laid over another layer
    // (the outline, a glyph's stroke where it crosses the outline).
    QFETCH(qreal, zoom);
    QFETCH(QPointF, offset);
    QFETCH(bool, selected);
    QFETCH(bool, muted);
    QFETCH(int, method);
    CanvasFixture f;
    const QmdItemId id = f.addNode(TickPos(0, 0));
    f.set(id, QStringLiteral("SignallingMethod"), method);
    f.set(id, QStringLiteral("DontPlayNote"), muted);
    auto *node = f.itemFor<GraphicsNodeItem>(id);
    f.scene()->clearSelection();
    node->setSelected(selected);
    QStyleOptionGraphicsItem option;
    const auto paintInto = [&](QPaintDevice *device) {
        QPainter painter(device);
        painter.setRenderHints(QPainter::Antialiasing);
        painter.translate(offset);
        painter.scale(zoom, zoom);
        node->paint(&painter, &option);
    };
    const QColor background(37, 38, 48);
    QImage copied(120, 120, QImage::Format_ARGB32_Premultiplied);
    copied.fill(background);
    // Twice, so that the second copy comes from the picture the first made.
    paintInto(&copied);
    copied.fill(background);
    paintInto(&copied);

    QPicture recorded;
    paintInto(&recorded);
    QImage direct(copied.size(), QImage::Format_ARGB32_Premultiplied);
    direct.fill(background);
    QPainter replay(&direct);
    recorded.play(&replay);
    replay.end();

    int differing = 0;
    int largest = 0;
    for (int y = 0; y < direct.height(); ++y) {
        for (int x = 0; x < direct.width(); ++x) {
            const QRgb a = copied.pixel(x, y);
            const QRgb b = direct.pixel(x, y);
            if (a == b)
                continue;
            ++differing;
            largest = std::max({largest, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                std::abs(qBlue(a) - qBlue(b))});
        }
    }
    QVERIFY2(largest <= 2, qPrintable(QStringLiteral("%1 pixels differ, by up to %2").arg(differing).arg(largest)));
    // The node was drawn at all.
    QVERIFY(copied.pixel(int(offset.x()), int(offset.y())) != QColor(background).rgba());
}

void TestGraphicsNodeItem::flashesShowOneSliceAVoice()
{
    CanvasFixture f;
    auto *node = f.itemFor<GraphicsNodeItem>(f.addNode(TickPos(0, 0)));
    f.scene()->clearSelection();
    auto view = makeSceneView(f.scene(), QRectF(-20, -20, 40, 40), 4.0);
    const qreal r = 8; // inside the circle, off the outline
    const auto at = [&](qreal degrees) {
        return QPointF(r * std::cos(degrees * M_PI / 180), -r * std::sin(degrees * M_PI / 180));
    };
    const QColor red(255, 0, 0), green(0, 255, 0), blue(0, 0, 255);

    // Slices go by ascending group, then voice, from 0 degrees anticlockwise.
    node->startFlash(2, 1, blue, false);
    node->startFlash(1, 2, green, false);
    node->startFlash(1, 1, red, false);
    QCOMPARE(node->flashCount(), 3);
    QImage image = grabView(view.get(), QStringLiteral("node-three-voices"));
    QCOMPARE(colorAt(image, view.get(), at(60)), red);
    QCOMPARE(colorAt(image, view.get(), at(180)), green);
    QCOMPARE(colorAt(image, view.get(), at(300)), blue);

    // Two halves from 45 degrees; one voice fills the circle.
    node->endFlash(1, 2, false);
    QCOMPARE(node->flashCount(), 2);
    image = grabView(view.get(), QStringLiteral("node-two-voices"));
    QCOMPARE(colorAt(image, view.get(), at(135)), red);
    QCOMPARE(colorAt(image, view.get(), at(315)), blue);
    QCOMPARE(colorAt(image, view.get(), at(30)), blue);
    node->endFlash(2, 1, false);
    node->startFlash(1, 1, green, false); // the voice's new note replaces its colour
    QCOMPARE(node->flashCount(), 1);
    image = grabView(view.get());
    for (qreal degrees : {0, 90, 180, 270})
        QCOMPARE(colorAt(image, view.get(), at(degrees)), green);

    // Ending flashes that are not there changes nothing.
    node->endFlash(1, 7, false);
    node->endFlash(9, 1, false);
    QCOMPARE(node->flashCount(), 1);
    node->endFlash(1, 1, false);
    QCOMPARE(node->flashCount(), 0);
    QVERIFY(node->flashes().isEmpty());
}

void TestGraphicsNodeItem::pressOnTheLabelSelectsTheNode()
{
    CanvasFixture f;
    const QmdItemId id = f.addNode(TickPos(0, 0));
    auto *node = f.itemFor<GraphicsNodeItem>(id);
    f.controller()->requestToggleShowNodeCounters();
    f.settle();
    f.scene()->clearSelection();
    auto view = makeSceneView(f.scene(), QRectF(-40, -40, 80, 80), 2.0);
    const QPointF label = node->counterLabel()->sceneBoundingRect().center();
    QVERIFY(!node->rect().contains(label));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->mapFromScene(label));
    QCOMPARE(f.scene()->selectedElementIds(), QmdItemIdSet({id}));
}

void TestGraphicsNodeItem::preview()
{
    CanvasFixture f;
    auto *preview = new GraphicsNodeItem(f.scene());
    QCOMPARE(preview->id(), QmdItemId(0));
    QVERIFY(!preview->controller());
    QCOMPARE(preview->scene(), f.scene());
    QVERIFY(!f.scene()->elementItems().contains(preview));
    QCOMPARE(preview->pen().color(), QColor(155, 158, 255));
    preview->onElementDataChangedOrRemoved(0, {QStringLiteral("SignallingMethod")}, 1);
    QCOMPARE(preview->signallingMethod(), 0);
    delete preview;

    // Without a scene it still draws, in black.
    GraphicsNodeItem loose(nullptr);
    QCOMPARE(loose.pen().color(), QColor(Qt::black));
    QVERIFY(!paintedPens(&loose).isEmpty());
}

CANVAS_TEST_MAIN(TestGraphicsNodeItem)
#include "tst_graphicsnodeitem.moc"
