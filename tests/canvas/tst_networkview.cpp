#include "canvasfixture.h"
#include "elementindexes.h"
#include "qwpcombobox.h"
#include "recordingitems.h"
#include "zoomrules.h"

#include <QPixmap>
#include <QScrollBar>

#include <cmath>
#include <limits>

// The view's tools, zoom and scene rectangle, driven as a user drives them:
// the document's keys, the zoom combo box and mouse events on the viewport.
class TestNetworkView : public QObject
{
    Q_OBJECT

private slots:
    void zoomRules_data();
    void zoomRules();
    void toolsTakeTheirCursors_data();
    void toolsTakeTheirCursors();
    void toolOutsideTheRangeIsIgnored();
    void zoomToolStepsWithinTheLimitsWithoutUndo();
    void zoomToolNeitherSelectsNorStartsARubberBand();
    void storedZoomScale_data();
    void storedZoomScale();
    void comboBoxChangesTheZoomWithoutUndo();
    void sceneRectCoversContentsAndVisibleArea();
    void viewportCenterInTicks();
    void dragMovesTheSelectionAsOneStep();
    void shiftClickTogglesSelection();
    void dragEndsWhenItsElementsGoOrUndoRuns();
    void dragSkipsElementsWithoutPosition();
    void releaseGoesWhereThePressWent();
    void resetAndControllerChanges();
    void sceneOrControllerDeletedFirst();
};

namespace {

const QString keyTool = QStringLiteral("Tool");
const QString keyZoomScale = QStringLiteral("ZoomScale");

// Writes a view key as the window does: outside the undo history.
void setViewKey(CanvasFixture &f, const QString &key, const QVariant &value)
{
    f.controller()->requestSetData(key, value, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    CanvasFixture::settle();
}

QImage cursorImage(const QWidget *widget)
{
    return widget->cursor().pixmap().toImage();
}

QImage pictureImage(const QString &path)
{
    return QPixmap(path).toImage();
}

} // namespace

void TestNetworkView::zoomRules_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<double>("usable");
    QTest::addColumn<int>("inMode");
    QTest::addColumn<int>("outMode");

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("1") << QVariant(1.0) << 1.0 << 0 << 1;
    QTest::newRow("0.375 kept") << QVariant(0.375) << 0.375 << 0 << 2;
    QTest::newRow("4 may double") << QVariant(4.0) << 4.0 << 0 << 1;
    QTest::newRow("8 may not") << QVariant(8.0) << 8.0 << 2 << 1;
    QTest::newRow("0.5 may halve") << QVariant(0.5) << 0.5 << 0 << 1;
    QTest::newRow("0.25 may not") << QVariant(0.25) << 0.25 << 0 << 2;
    QTest::newRow("0") << QVariant(0.0) << 1.0 << 0 << 1;
    QTest::newRow("negative") << QVariant(-2.0) << 1.0 << 0 << 1;
    QTest::newRow("NaN") << QVariant(nan) << 1.0 << 0 << 1;
    QTest::newRow("infinity") << QVariant(inf) << 1.0 << 0 << 1;
    QTest::newRow("1e6") << QVariant(1e6) << 8.0 << 2 << 1;
    QTest::newRow("tiny") << QVariant(1e-6) << 0.25 << 0 << 2;
    QTest::newRow("missing") << QVariant() << 1.0 << 0 << 1;
    QTest::newRow("text") << QVariant(QStringLiteral("big")) << 1.0 << 0 << 1;
    QTest::newRow("integer") << QVariant(2) << 2.0 << 0 << 1;
}

void TestNetworkView::zoomRules()
{
    QFETCH(QVariant, stored);
    QFETCH(double, usable);
    QFETCH(int, inMode);
    QFETCH(int, outMode);
    const double scale = usableZoomScale(stored);
    QCOMPARE(scale, usable);
    QCOMPARE(int(zoomModeFor(scale, false)), inMode);
    QCOMPARE(int(zoomModeFor(scale, true)), outMode);
}

void TestNetworkView::toolsTakeTheirCursors_data()
{
    QTest::addColumn<int>("tool");
    QTest::addColumn<int>("shape");
    QTest::addColumn<QString>("picture");

    QTest::newRow("selection") << 0 << int(Qt::ArrowCursor) << QString();
    QTest::newRow("zoom") << 1 << int(Qt::BitmapCursor) << QStringLiteral(":/images/Cursors/ZoomIn.png");
    QTest::newRow("node and edge") << 2 << int(Qt::BitmapCursor) << QStringLiteral(":/images/Cursors/Crosshair.png");
    QTest::newRow("voice group") << 3 << int(Qt::BitmapCursor) << QStringLiteral(":/images/Cursors/Crosshair.png");
    QTest::newRow("text box") << 4 << int(Qt::IBeamCursor) << QString();
}

void TestNetworkView::toolsTakeTheirCursors()
{
    QFETCH(int, tool);
    QFETCH(int, shape);
    QFETCH(QString, picture);

    CanvasFixture f;
    NetworkView *view = f.view();
    QCOMPARE(view->tool(), NetworkView::NodeAndEdgeTool); // what a new document holds
    setViewKey(f, keyTool, tool);
    QCOMPARE(int(view->tool()), tool);
    for (const QWidget *widget : {static_cast<QWidget *>(view), view->viewport()}) {
        QCOMPARE(int(widget->cursor().shape()), shape);
        if (!picture.isEmpty()) {
            QVERIFY(!pictureImage(picture).isNull());
            QCOMPARE(cursorImage(widget), pictureImage(picture));
            QCOMPARE(widget->cursor().hotSpot(), QPoint(7, 7));
        }
    }
}

void TestNetworkView::toolOutsideTheRangeIsIgnored()
{
    CanvasFixture f;
    NetworkView *view = f.view();
    setViewKey(f, keyTool, 3);
    for (const QVariant &value : {QVariant(7), QVariant(-1), QVariant(QStringLiteral("zoom"))}) {
        setViewKey(f, keyTool, value);
        QCOMPARE(view->tool(), NetworkView::VoiceGroupTool);
        QCOMPARE(cursorImage(view->viewport()), pictureImage(QStringLiteral(":/images/Cursors/Crosshair.png")));
    }
}

void TestNetworkView::zoomToolStepsWithinTheLimitsWithoutUndo()
{
    CanvasFixture f;
    NetworkView *view = f.view();
    QmdVelkaController *c = f.controller();
    const QmdItemId node = f.addNode(QmdVelka::TickPos(0, 0));
    QVERIFY(node);
    setViewKey(f, keyTool, NetworkView::ZoomTool);
    QVERIFY(c->canUndo());
    const QString undoText = c->undoText();
    const QPointF somewhere(100, 60);

    f.click(somewhere);
    QCOMPARE(c->data(keyZoomScale).toDouble(), 2.0);
    QCOMPARE(view->transform().m11(), 2.0);
    QCOMPARE(view->transform().m22(), 2.0);
    QCOMPARE(view->zoomComboBox()->currentText(), QStringLiteral("200%"));

    // At the upper limit the tool shows that it can do nothing.
    setViewKey(f, keyZoomScale, 8.0);
    QCOMPARE(view->zoomMode(), ZoomMode::None);
    QCOMPARE(cursorImage(view->viewport()), pictureImage(QStringLiteral(":/images/Cursors/ZoomNone.png")));
    f.click(somewhere);
    QCOMPARE(c->data(keyZoomScale).toDouble(), 8.0);

    // Zooming out, as the Alt key sets it.
    view->updateZoomMode(true);
    QCOMPARE(view->zoomMode(), ZoomMode::Out);
    QCOMPARE(cursorImage(view->viewport()), pictureImage(QStringLiteral(":/images/Cursors/ZoomOut.png")));
    f.click(somewhere);
    QCOMPARE(c->data(keyZoomScale).toDouble(), 4.0);
    QCOMPARE(view->transform().m11(), 4.0);

    setViewKey(f, keyZoomScale, 0.5);
    QCOMPARE(view->zoomMode(), ZoomMode::Out);
    f.click(somewhere);
    QCOMPARE(c->data(keyZoomScale).toDouble(), 0.25);
    QCOMPARE(view->zoomMode(), ZoomMode::None);
    f.click(somewhere);
    QCOMPARE(c->data(keyZoomScale).toDouble(), 0.25);
    QCOMPARE(view->transform().m11(), 0.25);

    // Back in: the mode follows the factor again.
    view->updateZoomMode(false);
    QCOMPARE(view->zoomMode(), ZoomMode::In);
    QCOMPARE(cursorImage(view->viewport()), pictureImage(QStringLiteral(":/images/Cursors/ZoomIn.png")));

    QVERIFY(c->canUndo());
    QCOMPARE(c->undoText(), undoText);
    c->requestUndo();
    CanvasFixture::settle();
    QVERIFY(c->elementIds().isEmpty()); // the node went, the zoom stayed
    QCOMPARE(c->data(keyZoomScale).toDouble(), 0.25);
}

void TestNetworkView::zoomToolNeitherSelectsNorStartsARubberBand()
{
    CanvasFixture f(new RecordingScene);
    NetworkView *view = f.view();
    const QmdItemId node = f.addNode(QmdVelka::TickPos(CanvasFixture::P, CanvasFixture::P));
    f.scene()->clearSelection();
    setViewKey(f, keyTool, NetworkView::ZoomTool);
    const QPointF nodePos = f.scene()->elementItem(node)->graphicsItem()->pos();

    f.press(nodePos);
    f.move(nodePos + QPointF(-100, -100));
    QVERIFY(view->rubberBandRect().isNull());
    f.release(nodePos + QPointF(-100, -100));
    CanvasFixture::settle();
    QVERIFY(f.scene()->selectedItems().isEmpty());
    QCOMPARE(f.controller()->data(keyZoomScale).toDouble(), 2.0);

    // The same gesture with the selection tool does both.
    setViewKey(f, keyTool, NetworkView::SelectionTool);
    setViewKey(f, keyZoomScale, 1.0);
    const QPointF from = nodePos + QPointF(-60, -60);
    f.press(from);
    f.move(from + QPointF(30, 30));
    f.move(nodePos + QPointF(20, 20));
    QVERIFY(!view->rubberBandRect().isNull());
    f.release(nodePos + QPointF(20, 20));
    CanvasFixture::settle();
    QCOMPARE(f.scene()->selectedElementIds(), QmdItemIdSet({node}));
}

void TestNetworkView::storedZoomScale_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<double>("shown");
    QTest::addColumn<int>("comboIndex");

    QTest::newRow("an item's factor") << QVariant(1.5) << 1.5 << 5;
    QTest::newRow("between items") << QVariant(0.375) << 0.375 << -1;
    QTest::newRow("0") << QVariant(0.0) << 1.0 << -1;
    QTest::newRow("NaN") << QVariant(std::numeric_limits<double>::quiet_NaN()) << 1.0 << -1;
    QTest::newRow("1e6") << QVariant(1e6) << 8.0 << -1;
}

void TestNetworkView::storedZoomScale()
{
    QFETCH(QVariant, stored);
    QFETCH(double, shown);
    QFETCH(int, comboIndex);

    CanvasFixture f;
    NetworkView *view = f.view();
    setViewKey(f, keyZoomScale, stored);
    QCOMPARE(view->transform().m11(), shown);
    QCOMPARE(view->transform().m22(), shown);
    QCOMPARE(view->zoomComboBox()->currentIndex(), comboIndex);

    // The view stays usable: its mappings, its scene rectangle and the tool.
    const QmdVelka::TickPos center = view->viewportCenterTickPos();
    QVERIFY(std::abs(center.x) < CanvasFixture::P && std::abs(center.y) < CanvasFixture::P);
    const QRectF rect = f.scene()->sceneRect();
    QVERIFY(std::isfinite(rect.width()) && rect.width() > 0);
    QCOMPARE(rect.width(), view->viewport()->width() / shown);
    setViewKey(f, keyTool, NetworkView::ZoomTool);
    f.click(QPointF(0, 0));
    // At 8 the tool can do nothing, and the document keeps what it held.
    if (shown < 8.0)
        QCOMPARE(f.controller()->data(keyZoomScale).toDouble(), shown * 2);
    else
        QCOMPARE(f.controller()->data(keyZoomScale), stored);
}

void TestNetworkView::comboBoxChangesTheZoomWithoutUndo()
{
    CanvasFixture f;
    NetworkView *view = f.view();
    QmdVelkaController *c = f.controller();
    QwpComboBox *combo = view->zoomComboBox();
    QCOMPARE(combo->count(), 11);
    QCOMPARE(combo->width(), 60);
    QCOMPARE(combo->currentText(), QStringLiteral("100%"));
    QCOMPARE(combo->parentWidget(), view->horizontalScrollBar()->parentWidget());
    const bool couldUndo = c->canUndo();

    combo->setCurrentIndex(8);
    emit combo->activated(8);
    CanvasFixture::settle();
    QCOMPARE(c->data(keyZoomScale).toDouble(), 4.0);
    QCOMPARE(view->transform().m11(), 4.0);
    QCOMPARE(c->canUndo(), couldUndo);

    // The document's value shows in the box.
    setViewKey(f, keyZoomScale, 0.25);
    QCOMPARE(combo->currentText(), QStringLiteral("25%"));
}

void TestNetworkView::sceneRectCoversContentsAndVisibleArea()
{
    CanvasFixture f(new RecordingScene);
    NetworkView *view = f.view();
    const QSizeF visible = view->viewport()->size();
    QCOMPARE(f.scene()->sceneRect(),
             QRectF(-visible.width() / 2, -visible.height() / 2, visible.width(), visible.height()));

    // A far node grows it, with a margin of 20 around the node's item.
    const QmdItemId far = f.addNode(QmdVelka::TickPos(20 * CanvasFixture::P, 0));
    QGraphicsItem *item = f.scene()->elementItem(far)->graphicsItem();
    const QRectF itemRect = item->sceneBoundingRect();
    QCOMPARE(f.scene()->sceneRect().right(), itemRect.right() + 20);

    // Zooming out makes the visible area the larger part.
    setViewKey(f, keyZoomScale, 0.25);
    QCOMPARE(f.scene()->sceneRect(), wantedSceneRect(visible * 4, f.scene()->sceneContentsRect()));

    // Removing the node shrinks it back.
    f.remove(far);
    QCOMPARE(f.scene()->sceneRect(), wantedSceneRect(visible * 4, QRectF()));

    // A resize follows the new visible area.
    view->resize(640, 480);
    QCOMPARE(f.scene()->sceneRect(), wantedSceneRect(QSizeF(view->viewport()->size()) * 4, QRectF()));
}

void TestNetworkView::viewportCenterInTicks()
{
    CanvasFixture f;
    NetworkView *view = f.view();
    const qint64 tickPerUnit = CanvasFixture::P / 160;
    f.addNode(QmdVelka::TickPos(40 * CanvasFixture::P, 30 * CanvasFixture::P));
    for (double zoom : {1.0, 2.0, 0.375}) {
        setViewKey(f, keyZoomScale, zoom);
        for (const QPointF &center : {QPointF(0, 0), QPointF(1600, 1200), QPointF(800, 400)}) {
            view->centerOn(center);
            const QmdVelka::TickPos pos = view->viewportCenterTickPos();
            const QPointF shown = view->mapToScene(view->viewport()->rect().center());
            // Within a pixel of what the view shows in the middle.
            QVERIFY2(std::abs(pos.x - qint64(shown.x() * tickPerUnit)) <= 2 * tickPerUnit / zoom,
                     qPrintable(QStringLiteral("%1 %2").arg(pos.x).arg(shown.x())));
            QVERIFY(std::abs(pos.y - qint64(shown.y() * tickPerUnit)) <= 2 * tickPerUnit / zoom);
        }
    }
}

namespace {

const QString keyTickPos = QStringLiteral("TickPos");

QmdVelka::TickPos tickPos(CanvasFixture &f, QmdItemId id)
{
    return f.controller()->elementData(id, keyTickPos).value<QmdVelka::TickPos>();
}

QPointF itemPos(CanvasFixture &f, QmdItemId id)
{
    return f.scene()->elementItem(id)->graphicsItem()->pos();
}

// Two nodes a principal apart and a text box, with the selection tool.
struct DragDocument
{
    explicit DragDocument(CanvasFixture &f)
    {
        f.view();
        a = f.addNode(QmdVelka::TickPos(CanvasFixture::P, CanvasFixture::P));
        b = f.addNode(QmdVelka::TickPos(2 * CanvasFixture::P, CanvasFixture::P));
        text = f.addTextBox(QmdVelka::TickPos(CanvasFixture::P, 2 * CanvasFixture::P));
        setViewKey(f, keyTool, NetworkView::SelectionTool);
    }
    QmdItemId a = 0;
    QmdItemId b = 0;
    QmdItemId text = 0;
};

} // namespace

void TestNetworkView::dragMovesTheSelectionAsOneStep()
{
    CanvasFixture f(new RecordingScene);
    const DragDocument d(f);
    QmdVelkaController *c = f.controller();
    f.scene()->clearSelection();
    for (QmdItemId id : {d.a, d.b, d.text})
        f.scene()->elementItem(id)->graphicsItem()->setSelected(true);
    const QString undoBefore = c->undoText();

    // 80 scene units at 96 DPI are half a principal; 3 units more snap away.
    f.drag(itemPos(f, d.a) + QPointF(3, 2), itemPos(f, d.a) + QPointF(83, 2));
    const qint64 half = CanvasFixture::P / 2;
    QCOMPARE(tickPos(f, d.a), QmdVelka::TickPos(CanvasFixture::P + half, CanvasFixture::P));
    QCOMPARE(tickPos(f, d.b), QmdVelka::TickPos(2 * CanvasFixture::P + half, CanvasFixture::P));
    QCOMPARE(tickPos(f, d.text), QmdVelka::TickPos(CanvasFixture::P + half, 2 * CanvasFixture::P));
    QCOMPARE(itemPos(f, d.b), QPointF(400, 160));
    QCOMPARE(c->undoText(), QStringLiteral("Move"));
    QCOMPARE(f.scene()->selectedElementIds(), QmdItemIdSet({d.a, d.b, d.text}));

    c->requestUndo();
    CanvasFixture::settle();
    QCOMPARE(tickPos(f, d.a), QmdVelka::TickPos(CanvasFixture::P, CanvasFixture::P));
    QCOMPARE(tickPos(f, d.b), QmdVelka::TickPos(2 * CanvasFixture::P, CanvasFixture::P));
    QCOMPARE(tickPos(f, d.text), QmdVelka::TickPos(CanvasFixture::P, 2 * CanvasFixture::P));
    QCOMPARE(c->undoText(), undoBefore);
}

void TestNetworkView::shiftClickTogglesSelection()
{
    CanvasFixture f(new RecordingScene);
    const DragDocument d(f);
    f.scene()->clearSelection();
    f.scene()->elementItem(d.a)->graphicsItem()->setSelected(true);
    f.scene()->elementItem(d.b)->graphicsItem()->setSelected(true);

    f.click(itemPos(f, d.a), Qt::ShiftModifier);
    QCOMPARE(f.scene()->selectedElementIds(), QmdItemIdSet({d.b}));
    f.click(itemPos(f, d.a), Qt::ShiftModifier);
    QCOMPARE(f.scene()->selectedElementIds(), QmdItemIdSet({d.a, d.b}));
    // A plain click selects the one item.
    f.click(itemPos(f, d.a));
    QCOMPARE(f.scene()->selectedElementIds(), QmdItemIdSet({d.a}));
}

void TestNetworkView::dragEndsWhenItsElementsGoOrUndoRuns()
{
    {
        // The dragged node removed mid-drag: no step follows.
        CanvasFixture f(new RecordingScene);
        const DragDocument d(f);
        QmdVelkaController *c = f.controller();
        const QPointF start = itemPos(f, d.a);
        f.scene()->clearSelection();
        f.press(start);
        f.move(start + QPointF(40, 0));
        CanvasFixture::settle();
        QCOMPARE(c->undoText(), QStringLiteral("Move"));
        f.remove(d.a);
        const QString afterRemove = c->undoText();
        const int steps = c->undoRedoCount();
        f.move(start + QPointF(120, 0));
        f.release(start + QPointF(120, 0));
        CanvasFixture::settle();
        QCOMPARE(c->undoText(), afterRemove);
        QCOMPARE(c->undoRedoCount(), steps);
        QCOMPARE(c->elementType(d.a), 0);
    }
    {
        // Undo mid-drag: the drag stops, the redo stays.
        CanvasFixture f(new RecordingScene);
        const DragDocument d(f);
        QmdVelkaController *c = f.controller();
        const QPointF start = itemPos(f, d.a);
        f.scene()->clearSelection();
        f.press(start);
        f.move(start + QPointF(40, 0));
        CanvasFixture::settle();
        c->requestUndo();
        CanvasFixture::settle();
        QVERIFY(c->canRedo());
        f.move(start + QPointF(120, 0));
        f.release(start + QPointF(120, 0));
        CanvasFixture::settle();
        QVERIFY(c->canRedo());
        QCOMPARE(c->redoText(), QStringLiteral("Move"));
        QCOMPARE(tickPos(f, d.a), QmdVelka::TickPos(CanvasFixture::P, CanvasFixture::P));
    }
}

void TestNetworkView::dragSkipsElementsWithoutPosition()
{
    CanvasFixture f(new RecordingScene);
    const DragDocument d(f);
    QmdVelkaController *c = f.controller();
    const std::optional<QmdIndex> entry = existingElementEntry(c, d.b, keyTickPos);
    QVERIFY(entry);
    c->requestRemove(*entry);
    CanvasFixture::settle();
    f.scene()->clearSelection();
    f.scene()->elementItem(d.a)->graphicsItem()->setSelected(true);
    f.scene()->elementItem(d.b)->graphicsItem()->setSelected(true);
    const QStringList rootKeys = c->keys(QmdIndex());

    f.drag(itemPos(f, d.a), itemPos(f, d.a) + QPointF(80, 0));
    QCOMPARE(tickPos(f, d.a).x, CanvasFixture::P + CanvasFixture::P / 2);
    QVERIFY(!c->elementData(d.b, keyTickPos).isValid());
    QCOMPARE(c->keys(QmdIndex()), rootKeys);
    QCOMPARE(c->elementType(d.b), 2);
}

void TestNetworkView::releaseGoesWhereThePressWent()
{
    CanvasFixture f(new RecordingScene);
    const DragDocument d(f);
    f.scene()->clearSelection();
    const QPointF a = itemPos(f, d.a);
    f.press(a);
    f.release(a, Qt::ShiftModifier);
    CanvasFixture::settle();
    QVERIFY(!f.scene()->mouseGrabberItem());
    f.click(itemPos(f, d.b));
    QCOMPARE(f.scene()->selectedElementIds(), QmdItemIdSet({d.b}));

    // A rubber band ended with Shift held ends too.
    f.scene()->clearSelection();
    f.press(a + QPointF(-60, -60));
    f.move(a + QPointF(20, 20));
    f.release(a + QPointF(20, 20), Qt::ShiftModifier);
    QVERIFY(f.view()->rubberBandRect().isNull());
}

void TestNetworkView::resetAndControllerChanges()
{
    CanvasFixture f;
    NetworkView *view = f.view();
    setViewKey(f, keyTool, NetworkView::SelectionTool);
    setViewKey(f, keyZoomScale, 2.0);

    // Another document: its tool and zoom, its combo box value.
    CanvasFixture other;
    other.controller()->requestSetData(keyZoomScale, 0.5, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    CanvasFixture::settle();
    view->setNetworkScene(other.scene());
    view->setController(other.controller());
    QCOMPARE(view->tool(), NetworkView::NodeAndEdgeTool);
    QCOMPARE(view->transform().m11(), 0.5);
    QCOMPARE(view->zoomComboBox()->currentText(), QStringLiteral("50%"));
    // The first document no longer reaches the view.
    setViewKey(f, keyZoomScale, 4.0);
    QCOMPARE(view->transform().m11(), 0.5);
    // The combo box writes into the new document only.
    view->zoomComboBox()->setCurrentIndex(3);
    emit view->zoomComboBox()->activated(3);
    CanvasFixture::settle();
    QCOMPARE(other.controller()->data(keyZoomScale).toDouble(), 1.0);
    QCOMPARE(f.controller()->data(keyZoomScale).toDouble(), 4.0);

    // A document reset (a load) brings its keys.
    other.controller()->requestSetData(keyTool, 0, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    other.controller()->reset();
    CanvasFixture::settle();
    QCOMPARE(view->tool(), NetworkView::NodeAndEdgeTool); // a reset sets the node tool

    view->setController(nullptr);
    view->setNetworkScene(nullptr);
    f.press(QPointF(0, 0));
    f.release(QPointF(0, 0));
    QCOMPARE(view->transform().m11(), 1.0);
}

void TestNetworkView::sceneOrControllerDeletedFirst()
{
    {
        CanvasFixture f;
        NetworkView *view = f.view();
        setViewKey(f, keyTool, NetworkView::SelectionTool);
        f.addNode(QmdVelka::TickPos(0, 0));
        f.press(QPointF(0, 0));
        f.deleteScene();
        QVERIFY(!view->networkScene());
        f.move(QPointF(100, 0));
        f.release(QPointF(100, 0));
        view->shrinkOrGrowSceneRect();
        view->reset();
    }
    {
        CanvasFixture f;
        NetworkView *view = f.view();
        f.deleteController();
        QVERIFY(!view->controller());
        f.click(QPointF(0, 0));
        view->reset();
    }
}

CANVAS_TEST_MAIN(TestNetworkView)
#include "tst_networkview.moc"
