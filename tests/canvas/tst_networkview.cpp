#include "canvasfixture.h"
#include "elementindexes.h"
#include "graphicsedgeitem.h"
#include "graphicsnodeitem.h"
#include "graphicstextboxitem.h"
#include "graphicsvoicegroupitem.h"
#include "qwpcombobox.h"
#include "recordingitems.h"
#include "sceneshot.h"
#include "zoomrules.h"

#include <QGraphicsSimpleTextItem>
#include <QPainterPathStroker>
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
    void dragOfASelectedTextBoxMovesIt();
    void dragCarriesEdgesAndVoiceGroups();
    void shiftClickTogglesSelection();
    void dragEndsWithItsElementsOrTheDocument_data();
    void dragEndsWithItsElementsOrTheDocument();
    void dragSkipsElementsWithoutPosition();
    void releaseGoesWhereThePressWent();
    void resetAndControllerChanges();
    void sceneOrControllerDeletedFirst();
    void nodeToolClickMakesANode();
    void nodeToolDrawsAnEdgeBetweenNodes();
    void pressOnACounterLabelActsOnItsNode();
    void nodeToolDrawsANodeWithItsEdge();
    void nodeToolMakesNothingOnANode();
    void nodeToolReleaseWithShiftLeavesNoGrab();
    void voiceGroupToolNeedsANode();
    void gestureEndsWhenItsNodeGoes_data();
    void gestureEndsWhenItsNodeGoes();
    void newPressEndsAGestureWaitingForItsNode();
    void previewsAreNoElements();
    void sceneRectGrowsWhileDragging();
    void sceneDeletedDuringAGesture();
    void zoomToolKeepsTheClickedPointUnderTheMouse_data();
    void zoomToolKeepsTheClickedPointUnderTheMouse();
    void doubleClickLeavesNoMouseGrab();
    void editorOpenedByASecondClickEndsTheDrag();
    void toolsReachANodeUnderAnEdge_data();
    void toolsReachANodeUnderAnEdge();
    void selectionToolReachesANodeUnderItsOwnEdge();
    void clicksAtOneSpotStepThroughHiddenEdges();
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

// A selected text box dragged by its text moves like any element, and the
// press that started the drag opens no editor.
void TestNetworkView::dragOfASelectedTextBoxMovesIt()
{
    CanvasFixture f;
    const DragDocument d(f);
    // The new box came with its editor open.
    f.itemFor<GraphicsTextBoxItem>(d.text)->closeEditor();
    QTRY_VERIFY(!f.scene()->focusItem());
    f.scene()->clearSelection();
    f.scene()->elementItem(d.text)->graphicsItem()->setSelected(true);

    // 40 scene units are one division, a quarter principal.
    const QPointF grip = f.scene()->elementItem(d.text)->graphicsItem()->sceneBoundingRect().center();
    f.drag(grip, grip + QPointF(40, 0));
    QCOMPARE(tickPos(f, d.text), QmdVelka::TickPos(CanvasFixture::P + CanvasFixture::P / 4, 2 * CanvasFixture::P));
    QCOMPARE(f.controller()->undoText(), QStringLiteral("Move"));
    QVERIFY(!f.itemFor<GraphicsTextBoxItem>(d.text)->editor());
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

void TestNetworkView::dragEndsWithItsElementsOrTheDocument_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("dragged node removed") << QStringLiteral("remove");
    QTest::newRow("undo") << QStringLiteral("undo");
    QTest::newRow("reset") << QStringLiteral("reset");
    QTest::newRow("escape") << QStringLiteral("escape");
}

// Whatever ends a drag midway, the rest of the mouse's path writes nothing:
// no step into a removed element, none that would clear the redo history.
void TestNetworkView::dragEndsWithItsElementsOrTheDocument()
{
    QFETCH(QString, how);
    CanvasFixture f(new RecordingScene);
    const DragDocument d(f);
    QmdVelkaController *c = f.controller();
    const QPointF start = itemPos(f, d.a);
    f.scene()->clearSelection();
    f.press(start);
    f.move(start + QPointF(40, 0));
    CanvasFixture::settle();
    QCOMPARE(c->undoText(), QStringLiteral("Move"));

    if (how == QLatin1String("remove"))
        f.remove(d.a);
    else if (how == QLatin1String("undo"))
        c->requestUndo();
    else if (how == QLatin1String("reset"))
        c->reset();
    else
        QTest::keyClick(f.view(), Qt::Key_Escape);
    CanvasFixture::settle();
    const QString undoText = c->undoText();
    const QString redoText = c->redoText();
    const int steps = c->undoRedoCount();
    const bool nodeLeft = c->elementType(d.a) == 2;
    const QmdVelka::TickPos position = nodeLeft ? tickPos(f, d.a) : QmdVelka::TickPos();

    f.move(start + QPointF(120, 0));
    f.release(start + QPointF(120, 0));
    CanvasFixture::settle();
    QCOMPARE(c->undoText(), undoText);
    QCOMPARE(c->redoText(), redoText);
    QCOMPARE(c->undoRedoCount(), steps);
    QCOMPARE(c->elementType(d.a) == 2, nodeLeft);
    if (nodeLeft)
        QCOMPARE(tickPos(f, d.a), position);
    if (how == QLatin1String("undo")) {
        QCOMPARE(redoText, QStringLiteral("Move"));
        QCOMPARE(position, QmdVelka::TickPos(CanvasFixture::P, CanvasFixture::P));
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

namespace {

const QString keyFromNode = QStringLiteral("FromNode");
const QString keyToNode = QStringLiteral("ToNode");
const QString keyPath = QStringLiteral("Path");
const QString keyType = QStringLiteral("Type");

// Two nodes on the grid, A at scene (160, 160) and B at (320, 160), at zoom 1
// with four divisions (40 scene units) and snapping on, with the tool set.
struct NodeDocument
{
    NodeDocument(CanvasFixture &f, NetworkView::Tool tool)
    {
        f.view();
        a = f.addNode(QmdVelka::TickPos(CanvasFixture::P, CanvasFixture::P));
        b = f.addNode(QmdVelka::TickPos(2 * CanvasFixture::P, CanvasFixture::P));
        setViewKey(f, keyTool, tool);
        f.scene()->clearSelection();
        QCOMPARE(f.controller()->data(QStringLiteral("DivsPerPrincipal")).toInt(), 4);
        QVERIFY(f.scene()->snapToGrid());
        QCOMPARE(f.view()->transform().m11(), 1.0);
    }
    const QPointF posA{160, 160};
    const QPointF posB{320, 160};
    QmdItemId a = 0;
    QmdItemId b = 0;
};

QmdItemIdList elementsOfType(CanvasFixture &f, int type)
{
    QmdItemIdList ids;
    for (QmdItemId id : f.controller()->elementIds()) {
        if (f.controller()->elementType(id) == type)
            ids.append(id);
    }
    return ids;
}

// The unbound items the view shows during a gesture.
int previewCount(CanvasFixture &f)
{
    int count = 0;
    for (QGraphicsItem *item : f.scene()->items()) {
        const ElementItem *element = dynamic_cast<ElementItem *>(item);
        if (element && element->id() == 0)
            ++count;
    }
    return count;
}

QColor previewNodeColor(CanvasFixture &f)
{
    const GraphicsNodeItem *node = f.view()->creationGesture().previewNode();
    return node ? node->pen().color() : QColor();
}

} // namespace

void TestNetworkView::nodeToolClickMakesANode()
{
    CanvasFixture f;
    f.view();
    setViewKey(f, keyTool, NetworkView::NodeAndEdgeTool);
    f.click(QPointF(205, 118));
    const QmdItemIdList nodes = elementsOfType(f, 2);
    QCOMPARE(nodes.size(), 1);
    QCOMPARE(tickPos(f, nodes.first()), QmdVelka::TickPos(831600, 498960));
    QCOMPARE(itemPos(f, nodes.first()), QPointF(200, 120));
    QCOMPARE(f.controller()->undoText(), QStringLiteral("Node"));
    QCOMPARE(previewCount(f), 0);
    QCOMPARE(f.controller()->elementIds().size(), 1);
}

void TestNetworkView::nodeToolDrawsAnEdgeBetweenNodes()
{
    CanvasFixture f;
    const NodeDocument d(f, NetworkView::NodeAndEdgeTool);
    QmdVelkaController *c = f.controller();

    f.press(d.posA);
    QVERIFY(f.view()->creationGesture().previewEdge());
    f.move(d.posA + QPointF(60, 5));
    QCOMPARE(previewNodeColor(f), QColor(155, 158, 255));
    f.move(d.posB + QPointF(4, -3));
    QCOMPARE(previewNodeColor(f), QColor(0, 255, 0));
    QCOMPARE(f.view()->creationGesture().previewNode()->pos(), d.posB);
    QCOMPARE(f.view()->creationGesture().previewEdge()->toPoint(), d.posB);
    f.release(d.posB + QPointF(4, -3));
    CanvasFixture::settle();

    QmdItemIdList edges = elementsOfType(f, 1);
    QCOMPARE(edges.size(), 1);
    QCOMPARE(c->elementData(edges.first(), keyFromNode).toUInt(), d.a);
    QCOMPARE(c->elementData(edges.first(), keyToNode).toUInt(), d.b);
    QCOMPARE(c->elementData(edges.first(), keyPath).toInt(), 0);
    QCOMPARE(c->undoText(), QStringLiteral("Edge"));
    QCOMPARE(elementsOfType(f, 2).size(), 2);
    QCOMPARE(previewCount(f), 0);

    // The route shown at release is the route made (Shift flips it).
    f.press(d.posB);
    f.move(d.posB + QPointF(-80, 40));
    f.view()->setPreviewEdgePathKind(1);
    QCOMPARE(f.view()->creationGesture().previewEdge()->pathKind(), 1);
    f.move(d.posA);
    f.release(d.posA);
    CanvasFixture::settle();
    edges = elementsOfType(f, 1);
    QCOMPARE(edges.size(), 2);
    QCOMPARE(c->elementData(edges.last(), keyFromNode).toUInt(), d.b);
    QCOMPARE(c->elementData(edges.last(), keyPath).toInt(), 1);

    // Leaving the node and coming back draws an edge from the node to itself.
    f.press(d.posA);
    f.move(d.posA + QPointF(0, 80));
    f.move(d.posA + QPointF(2, 1));
    f.release(d.posA + QPointF(2, 1));
    CanvasFixture::settle();
    edges = elementsOfType(f, 1);
    QCOMPARE(edges.size(), 3);
    QCOMPARE(c->elementData(edges.last(), keyFromNode).toUInt(), d.a);
    QCOMPARE(c->elementData(edges.last(), keyToNode).toUInt(), d.a);
    QCOMPARE(elementsOfType(f, 2).size(), 2);
}


// A node's counter label is part of its node: an edge drawn from the label
// starts at the node.
void TestNetworkView::pressOnACounterLabelActsOnItsNode()
{
    CanvasFixture f;
    const NodeDocument d(f, NetworkView::NodeAndEdgeTool);
    f.controller()->requestToggleShowNodeCounters();
    CanvasFixture::settle();
    auto *nodeA = f.itemFor<GraphicsNodeItem>(d.a);
    QVERIFY(nodeA && nodeA->counterLabel()->isVisible());
    const QPointF label = nodeA->counterLabel()->sceneBoundingRect().center();
    QVERIFY(!nodeA->mapRectToScene(nodeA->rect()).contains(label));

    f.press(label);
    f.move(label + QPointF(60, 5));
    f.move(d.posB + QPointF(4, -3));
    f.release(d.posB + QPointF(4, -3));
    CanvasFixture::settle();
    const QmdItemIdList edges = elementsOfType(f, 1);
    QCOMPARE(edges.size(), 1);
    QCOMPARE(f.controller()->elementData(edges.first(), keyFromNode).toUInt(), d.a);
    QCOMPARE(f.controller()->elementData(edges.first(), keyToNode).toUInt(), d.b);
    QCOMPARE(elementsOfType(f, 2).size(), 2);
}

void TestNetworkView::nodeToolDrawsANodeWithItsEdge()
{
    CanvasFixture f;
    const NodeDocument d(f, NetworkView::NodeAndEdgeTool);
    QmdVelkaController *c = f.controller();
    const int steps = c->undoRedoCount();

    f.drag(QPointF(200, 120), QPointF(365, 118)); // from A's side: nothing
    QCOMPARE(elementsOfType(f, 2).size(), 3);
    c->requestUndo();
    CanvasFixture::settle();

    f.drag(d.posA, QPointF(365, 118));
    const QmdItemIdList nodes = elementsOfType(f, 2);
    QCOMPARE(nodes.size(), 3);
    const QmdItemId added = nodes.last();
    QCOMPARE(itemPos(f, added), QPointF(360, 120));
    const QmdItemIdList edges = elementsOfType(f, 1);
    QCOMPARE(edges.size(), 1);
    QCOMPARE(c->elementData(edges.first(), keyFromNode).toUInt(), d.a);
    QCOMPARE(c->elementData(edges.first(), keyToNode).toUInt(), added);
    QCOMPARE(c->undoText(), QStringLiteral("Node && Edge"));
    QCOMPARE(previewCount(f), 0);
    QVERIFY(!f.view()->creationGesture().isWaitingForNode());

    c->requestUndo();
    CanvasFixture::settle();
    QCOMPARE(c->elementIds(), QmdItemIdList({d.a, d.b}));
    QCOMPARE(c->undoRedoCount(), steps + 1);
}

void TestNetworkView::nodeToolMakesNothingOnANode()
{
    CanvasFixture f;
    const NodeDocument d(f, NetworkView::NodeAndEdgeTool);
    QmdVelkaController *c = f.controller();
    const QString undoText = c->undoText();

    // From empty canvas onto B: the preview turns red and nothing is made.
    f.press(QPointF(240, 240));
    f.move(QPointF(280, 200));
    QCOMPARE(previewNodeColor(f), QColor(155, 158, 255));
    f.move(d.posB + QPointF(3, 3));
    QCOMPARE(previewNodeColor(f), QColor(255, 0, 0));
    f.release(d.posB + QPointF(3, 3));
    CanvasFixture::settle();
    QCOMPARE(c->elementIds(), QmdItemIdList({d.a, d.b}));
    QCOMPARE(previewCount(f), 0);

    // A click on A, even one that wobbles within the drag distance.
    const QPointF wobble(QApplication::startDragDistance() / 2, 0);
    f.click(d.posA);
    f.press(d.posA);
    f.move(d.posA + wobble);
    f.release(d.posA + wobble);
    CanvasFixture::settle();
    QCOMPARE(c->elementIds(), QmdItemIdList({d.a, d.b}));
    QCOMPARE(c->undoText(), undoText);
    QCOMPARE(previewCount(f), 0);
}

void TestNetworkView::nodeToolReleaseWithShiftLeavesNoGrab()
{
    CanvasFixture f;
    const NodeDocument d(f, NetworkView::NodeAndEdgeTool);
    f.press(d.posA);
    f.release(d.posA, Qt::ShiftModifier);
    CanvasFixture::settle();
    QVERIFY(!f.scene()->mouseGrabberItem());
    f.click(d.posB);
    QCOMPARE(f.scene()->selectedElementIds(), QmdItemIdSet({d.b}));
    QCOMPARE(f.controller()->elementIds(), QmdItemIdList({d.a, d.b}));
}

void TestNetworkView::voiceGroupToolNeedsANode()
{
    CanvasFixture f;
    const NodeDocument d(f, NetworkView::VoiceGroupTool);
    QmdVelkaController *c = f.controller();

    f.press(d.posB + QPointF(2, 2));
    QCOMPARE(f.view()->creationGesture().previewVoiceGroup()->pos(), d.posB);
    f.release(d.posB + QPointF(2, 2));
    CanvasFixture::settle();
    const QmdItemIdList groups = elementsOfType(f, 4);
    QCOMPARE(groups.size(), 1);
    QCOMPARE(c->elementData(groups.first(), keyToNode).toUInt(), d.b);
    QCOMPARE(c->undoText(), QStringLiteral("Voice Group"));
    QCOMPARE(previewCount(f), 0);

    f.click(QPointF(240, 240));
    QCOMPARE(elementsOfType(f, 4).size(), 1);
    QCOMPARE(c->undoText(), QStringLiteral("Voice Group"));
    QCOMPARE(previewCount(f), 0);
}

void TestNetworkView::gestureEndsWhenItsNodeGoes_data()
{
    QTest::addColumn<int>("tool");
    QTest::addColumn<QString>("how");

    QTest::newRow("edge, start node removed") << 2 << QStringLiteral("remove");
    QTest::newRow("edge, start node removed, no notice yet") << 2 << QStringLiteral("remove unsettled");
    QTest::newRow("edge, undo of the start node") << 2 << QStringLiteral("undo");
    QTest::newRow("edge, document reset") << 2 << QStringLiteral("reset");
    QTest::newRow("edge, cleared") << 2 << QStringLiteral("clear");
    QTest::newRow("voice group, node removed") << 3 << QStringLiteral("remove");
    QTest::newRow("voice group, node removed, no notice yet") << 3 << QStringLiteral("remove unsettled");
    QTest::newRow("voice group, document reset") << 3 << QStringLiteral("reset");
}

void TestNetworkView::gestureEndsWhenItsNodeGoes()
{
    QFETCH(int, tool);
    QFETCH(QString, how);

    CanvasFixture f;
    const NodeDocument d(f, NetworkView::Tool(tool));
    QmdVelkaController *c = f.controller();
    const QmdItemId start = f.addNode(QmdVelka::TickPos(CanvasFixture::P, 2 * CanvasFixture::P));
    const QPointF startPos(160, 320);
    const QPointF end = tool == 2 ? d.posB : startPos;

    f.press(startPos);
    f.move(startPos + (end - startPos) / 2);
    QVERIFY(previewCount(f) > 0);
    if (how == QLatin1String("remove")) {
        f.remove(start);
    } else if (how == QLatin1String("remove unsettled")) {
        c->requestRemove(QmdItemIdList{start}, c->findElementsIndex());
    } else if (how == QLatin1String("undo")) {
        c->requestUndo();
        CanvasFixture::settle();
    } else if (how == QLatin1String("reset")) {
        c->reset();
        CanvasFixture::settle();
    } else {
        f.view()->clearPreviews();
    }
    if (how != QLatin1String("remove unsettled"))
        QCOMPARE(previewCount(f), 0);
    f.move(end);
    f.release(end);
    CanvasFixture::settle();
    QCOMPARE(previewCount(f), 0);
    QCOMPARE(elementsOfType(f, 1).size(), 0);
    QCOMPARE(elementsOfType(f, 4).size(), 0);
    QVERIFY(elementsOfType(f, 2).size() <= 3);
    QVERIFY(!elementsOfType(f, 2).contains(0));
}

void TestNetworkView::newPressEndsAGestureWaitingForItsNode()
{
    CanvasFixture f;
    const NodeDocument d(f, NetworkView::NodeAndEdgeTool);
    QmdVelkaController *c = f.controller();

    // The node of a node-with-edge gesture is requested; its notice is still
    // on its way when the next press comes.
    f.press(d.posA);
    f.move(QPointF(440, 160));
    f.release(QPointF(440, 160));
    QVERIFY(f.view()->creationGesture().isWaitingForNode());
    f.press(QPointF(440, 400));
    QVERIFY(!f.view()->creationGesture().isWaitingForNode());
    QCOMPARE(previewCount(f), 1); // the new press's own preview node
    f.release(QPointF(440, 400));
    CanvasFixture::settle();
    QCOMPARE(elementsOfType(f, 2).size(), 4);
    QCOMPARE(elementsOfType(f, 1).size(), 0);
    QCOMPARE(previewCount(f), 0);

    // The start node removed before the new node arrives: no edge to a node
    // that is gone.
    f.press(d.posA);
    f.move(QPointF(440, 560));
    f.release(QPointF(440, 560));
    c->requestRemove(QmdItemIdList{d.a}, c->findElementsIndex());
    CanvasFixture::settle();
    QCOMPARE(elementsOfType(f, 1).size(), 0);
    QCOMPARE(previewCount(f), 0);
    QVERIFY(!f.view()->creationGesture().isWaitingForNode());
}

void TestNetworkView::previewsAreNoElements()
{
    CanvasFixture f;
    const NodeDocument d(f, NetworkView::NodeAndEdgeTool);
    f.press(d.posA);
    f.move(QPointF(400, 320));
    const CreationGesture &gesture = f.view()->creationGesture();
    const QList<QGraphicsItem *> previews{gesture.previewNode(), gesture.previewEdge()};
    for (QGraphicsItem *preview : previews) {
        QVERIFY(preview);
        QVERIFY(!(preview->flags() & QGraphicsItem::ItemIsSelectable));
        QCOMPARE(preview->acceptedMouseButtons(), Qt::NoButton);
        for (const QGraphicsItem *child : preview->childItems())
            QCOMPARE(child->acceptedMouseButtons(), Qt::NoButton);
    }
    QCOMPARE(gesture.previewNode()->opacity(), 0.6);
    QCOMPARE(gesture.previewEdge()->opacity(), 0.6);
    QCOMPARE(gesture.previewNode()->zValue(), 10.0);

    // Selecting everything selects the elements only.
    QPainterPath everything;
    everything.addRect(f.scene()->sceneRect());
    f.scene()->setSelectionArea(everything);
    QCOMPARE(f.scene()->selectedElementIds(), QmdItemIdSet({d.a, d.b}));
    for (QGraphicsItem *preview : previews)
        QVERIFY(!preview->isSelected());
    f.release(QPointF(400, 320));
    CanvasFixture::settle();
    QVERIFY(!f.scene()->selectedElementIds().contains(0));
}

void TestNetworkView::dragCarriesEdgesAndVoiceGroups()
{
    CanvasFixture f;
    const NodeDocument d(f, NetworkView::SelectionTool);
    QmdVelkaController *c = f.controller();
    const QmdItemId edge = f.addEdge(d.a, d.b);
    const QmdItemId group = f.addVoiceGroup(d.b);
    f.scene()->clearSelection();
    f.scene()->elementItem(d.a)->graphicsItem()->setSelected(true);
    f.scene()->elementItem(d.b)->graphicsItem()->setSelected(true);

    f.drag(d.posB, d.posB + QPointF(80, 0));
    QCOMPARE(tickPos(f, d.a).x, CanvasFixture::P + 332640);
    QCOMPARE(tickPos(f, d.b).x, 2 * CanvasFixture::P + 332640);
    QCOMPARE(tickPos(f, d.b).y, CanvasFixture::P);
    const auto *edgeItem = f.itemFor<GraphicsEdgeItem>(edge);
    QVERIFY(edgeItem);
    QCOMPARE(edgeItem->fromPoint(), d.posA + QPointF(80, 0));
    QCOMPARE(edgeItem->toPoint(), d.posB + QPointF(80, 0));
    QCOMPARE(itemPos(f, group), d.posB + QPointF(80, 0));
    QCOMPARE(c->undoText(), QStringLiteral("Move"));

    c->requestUndo();
    CanvasFixture::settle();
    QCOMPARE(itemPos(f, d.a), d.posA);
    QCOMPARE(edgeItem->fromPoint(), d.posA);
    QCOMPARE(itemPos(f, group), d.posB);
    QCOMPARE(c->undoText(), QStringLiteral("Voice Group"));
}

void TestNetworkView::sceneRectGrowsWhileDragging()
{
    CanvasFixture f;
    const NodeDocument d(f, NetworkView::SelectionTool);
    const QRectF before = f.scene()->sceneRect();
    const QPointF far(before.right() + 200, 160);

    f.press(d.posA);
    for (int i = 1; i <= 4; ++i) {
        f.move(d.posA + (far - d.posA) * i / 4);
        CanvasFixture::settle();
    }
    const QRectF itemRect = f.scene()->elementItem(d.a)->graphicsItem()->sceneBoundingRect();
    QVERIFY(itemRect.left() > before.right());
    QVERIFY(f.scene()->sceneRect().contains(itemRect));
    f.release(far);
    CanvasFixture::settle();
    const QSizeF visible = f.view()->viewport()->size();
    QCOMPARE(f.scene()->sceneRect(), wantedSceneRect(visible, f.scene()->sceneContentsRect()));
}

void TestNetworkView::sceneDeletedDuringAGesture()
{
    for (int tool : {2, 3, 4}) {
        CanvasFixture f;
        const NodeDocument d(f, NetworkView::Tool(tool));
        NetworkView *view = f.view();
        f.press(d.posA);
        f.move(QPointF(400, 320));
        QCOMPARE(view->textBoxPlacement().isActive(), tool == 4);
        f.deleteScene();
        QVERIFY(!view->creationGesture().hasPreviews());
        QVERIFY(!view->textBoxPlacement().isActive());
        f.move(QPointF(440, 320));
        view->setPreviewEdgePathKind(1);
        f.release(QPointF(440, 320));
        CanvasFixture::settle();
        view->clearPreviews();
        QCOMPARE(f.controller()->elementIds(), QmdItemIdList({d.a, d.b}));
    }
}

void TestNetworkView::zoomToolKeepsTheClickedPointUnderTheMouse_data()
{
    QTest::addColumn<QList<QPointF>>("nodes"); // in principals
    QTest::addColumn<int>("clickedNode");
    QTest::addColumn<bool>("zoomOut");

    const QList<QPointF> square{{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    QTest::newRow("square first node") << square << 3 << false;
    QTest::newRow("square another node") << square << 0 << false;
    QTest::newRow("one node") << QList<QPointF>{{2, 1.5}} << 0 << false;
    QTest::newRow("two nodes") << QList<QPointF>{{-3, -2}, {3, 2}} << 1 << false;
    QTest::newRow("far network") << QList<QPointF>{{-20, -12}, {20, 12}, {18, -10}} << 2 << false;
    QTest::newRow("zooming out") << QList<QPointF>{{3, 2}, {-1, 0}} << 0 << true;
}

void TestNetworkView::zoomToolKeepsTheClickedPointUnderTheMouse()
{
    QFETCH(QList<QPointF>, nodes);
    QFETCH(int, clickedNode);
    QFETCH(bool, zoomOut);
    CanvasFixture f;
    NetworkView *view = f.view();
    QmdItemIdList ids;
    for (const QPointF &p : nodes)
        ids.append(f.addNode(QmdVelka::TickPos(qint64(p.x() * CanvasFixture::P), qint64(p.y() * CanvasFixture::P))));
    if (zoomOut)
        setViewKey(f, keyZoomScale, 8.0);
    setViewKey(f, keyTool, NetworkView::ZoomTool);
    view->updateZoomMode(zoomOut);
    // The node must be in view to be clicked: the view looks at it first.
    const QPointF target = itemPos(f, ids.at(clickedNode));
    view->centerOn(target);
    const QPoint clicked = f.viewportPoint(target) + QPoint(17, -11);
    QVERIFY(view->viewport()->rect().contains(clicked));
    const QPointF anchor = view->mapToScene(clicked);

    const QImage before = view->grab().toImage();
    double expected = zoomOut ? 8.0 : 1.0;
    for (int i = 0; i < 3; ++i) {
        QMouseEvent press(QEvent::MouseButtonPress, clicked, view->viewport()->mapToGlobal(clicked),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &press);
        CanvasFixture::settle();
        // The release comes after the zoom, as a user's does.
        QMouseEvent release(QEvent::MouseButtonRelease, clicked, view->viewport()->mapToGlobal(clicked),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &release);
        CanvasFixture::settle();
        expected *= zoomOut ? 0.5 : 2.0;
        QCOMPARE(f.controller()->data(keyZoomScale).toDouble(), expected);
        const QPointF now = view->mapFromScene(anchor);
        QVERIFY2(QLineF(now, clicked).length() <= 1.5,
                 qPrintable(QStringLiteral("click %1: the point went from (%2, %3) to (%4, %5)")
                                .arg(i + 1)
                                .arg(clicked.x())
                                .arg(clicked.y())
                                .arg(now.x())
                                .arg(now.y())));
        // Everything the network covers can still be scrolled to.
        QVERIFY(f.scene()->sceneRect().contains(f.scene()->sceneContentsRect()));
    }
    const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-'));
    keepPicture(before, QStringLiteral("zoom-tool-") + tag + QStringLiteral("-before"));
    keepPicture(view->grab().toImage(), QStringLiteral("zoom-tool-") + tag + QStringLiteral("-after"));
}

void TestNetworkView::doubleClickLeavesNoMouseGrab()
{
    CanvasFixture f;
    const DragDocument d(f);
    f.itemFor<GraphicsTextBoxItem>(d.text)->closeEditor();
    QTRY_VERIFY(!f.scene()->focusItem());
    f.scene()->clearSelection();
    const QmdVelka::TickPos a = tickPos(f, d.a);
    const QmdVelka::TickPos b = tickPos(f, d.b);

    // After a double-click on node A, a drag of node B moves B alone.
    f.doubleClick(itemPos(f, d.a));
    QVERIFY(!f.scene()->mouseGrabberItem());
    f.drag(itemPos(f, d.b), itemPos(f, d.b) + QPointF(40, 40));
    QCOMPARE(tickPos(f, d.a), a);
    QCOMPARE(tickPos(f, d.b), b + QmdVelka::TickPos(CanvasFixture::P / 4, CanvasFixture::P / 4));
    QCOMPARE(f.scene()->selectedElementIds(), QmdItemIdSet({d.b}));

    // After a double-click on the text box, a click on empty canvas opens no
    // editor and selects nothing.
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(f.scene(), &activate);
    auto *box = f.itemFor<GraphicsTextBoxItem>(d.text);
    const QPointF boxCentre = box->sceneBoundingRect().center();
    f.scene()->clearSelection();
    f.doubleClick(boxCentre);
    QVERIFY(!f.scene()->mouseGrabberItem());
    if (box->editor()) {
        box->closeEditor();
        QTRY_VERIFY(!f.scene()->focusItem());
    }
    f.click(QPointF(-300, -200));
    QVERIFY(!box->editor());
    QVERIFY(!f.scene()->focusItem());
    QVERIFY(f.scene()->selectedElementIds().isEmpty());
}

void TestNetworkView::editorOpenedByASecondClickEndsTheDrag()
{
    CanvasFixture f;
    const DragDocument d(f);
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(f.scene(), &activate);
    auto *box = f.itemFor<GraphicsTextBoxItem>(d.text);
    box->closeEditor();
    QTRY_VERIFY(!f.scene()->focusItem());
    f.scene()->clearSelection();
    const QPointF boxCentre = box->sceneBoundingRect().center() + QPointF(7, 3);

    // The first click selects the box, the second opens its editor.
    f.click(boxCentre);
    QVERIFY(!box->editor());
    f.click(boxCentre);
    QVERIFY(box->editor());
    QCOMPARE(f.view()->dragMode(), QGraphicsView::RubberBandDrag);

    // A press on node B ends the editing and selects B; that press belongs
    // to the editing and moves nothing. The next drag moves B by the
    // mouse's way, without any offset of the box's click.
    const QmdVelka::TickPos b = tickPos(f, d.b);
    const QPointF posB = itemPos(f, d.b);
    f.drag(posB, posB + QPointF(40, 0));
    QTRY_VERIFY(!box->editor());
    QCOMPARE(f.scene()->selectedElementIds(), QmdItemIdSet({d.b}));
    QCOMPARE(tickPos(f, d.b), b);
    f.drag(posB, posB + QPointF(40, 0));
    QCOMPARE(tickPos(f, d.b), b + QmdVelka::TickPos(CanvasFixture::P / 4, 0));

    // Once more, and a rubber band from empty canvas ends the editing and
    // selects node A.
    f.scene()->clearSelection();
    f.click(boxCentre);
    f.click(boxCentre);
    QVERIFY(box->editor());
    const QPointF posA = itemPos(f, d.a);
    f.press(posA + QPointF(-60, -60));
    f.move(posA + QPointF(-30, -30));
    f.move(posA + QPointF(20, 20));
    QVERIFY(!f.view()->rubberBandRect().isNull());
    f.release(posA + QPointF(20, 20));
    CanvasFixture::settle();
    QTRY_VERIFY(!box->editor());
    QCOMPARE(f.scene()->selectedElementIds(), QmdItemIdSet({d.a}));
}

namespace {

// Node A at the origin. "own edge" runs from A to a node B 24 scene units
// right of and above it: too short a vertical leg for the arrow, so the
// route's corner falls left of A and the horizontal leg crosses A's centre. "other edge" runs from a node C left of A to a node D right of
// and below A: its horizontal leg passes over A.
struct CoveredNode
{
    CoveredNode(CanvasFixture &f, const QString &cover)
    {
        f.view();
        a = f.addNode(QmdVelka::TickPos(0, 0));
        if (cover == QLatin1String("own edge")) {
            const qint64 unit = CanvasFixture::P / 160; // one scene unit
            b = f.addNode(QmdVelka::TickPos(24 * unit, -24 * unit));
            edge = f.addEdge(a, b, QmdVelka::CityBlock);
        } else {
            b = f.addNode(QmdVelka::TickPos(-2 * CanvasFixture::P, 0));
            const QmdItemId d = f.addNode(QmdVelka::TickPos(2 * CanvasFixture::P, CanvasFixture::P));
            edge = f.addEdge(b, d, QmdVelka::CityBlock);
        }
        f.scene()->clearSelection();
        // Lifted as when its from-node alone was selected.
        f.scene()->elementItem(edge)->graphicsItem()->setZValue(1.0);
    }
    QmdItemId a = 0;
    QmdItemId b = 0;
    QmdItemId edge = 0;
};

// The edge's drawn route passes over the scene point.
bool edgeDrawnOver(CanvasFixture &f, QmdItemId edge, const QPointF &scenePos)
{
    const auto *item = f.itemFor<GraphicsEdgeItem>(edge);
    QPainterPathStroker stroker;
    stroker.setWidth(item->pen().widthF());
    return stroker.createStroke(item->path()).contains(item->mapFromScene(scenePos));
}

QmdItemIdList edgesFrom(CanvasFixture &f, QmdItemId node)
{
    QmdItemIdList ids;
    for (QmdItemId id : f.controller()->elementIds()) {
        if (f.controller()->elementType(id) == QmdVelka::Edge
            && f.controller()->elementData(id, QStringLiteral("FromNode")).toUInt() == node)
            ids.append(id);
    }
    return ids;
}

} // namespace

void TestNetworkView::toolsReachANodeUnderAnEdge_data()
{
    QTest::addColumn<QString>("cover");
    QTest::addColumn<int>("tool");
    for (const char *cover : {"own edge", "other edge"}) {
        for (int tool : {int(NetworkView::NodeAndEdgeTool), int(NetworkView::VoiceGroupTool)})
            QTest::addRow("%s, tool %d", cover, tool) << QString::fromLatin1(cover) << tool;
    }
}

void TestNetworkView::toolsReachANodeUnderAnEdge()
{
    QFETCH(QString, cover);
    QFETCH(int, tool);
    CanvasFixture f;
    const CoveredNode d(f, cover);
    const QPointF centre = itemPos(f, d.a);
    QCOMPARE(centre, QPointF(0, 0));
    QVERIFY(edgeDrawnOver(f, d.edge, centre));
    setViewKey(f, keyTool, tool);

    if (tool == NetworkView::VoiceGroupTool) {
        f.click(centre);
        const QmdItemIdList groups = elementsOfType(f, QmdVelka::VoiceGroup);
        QCOMPARE(groups.size(), 1);
        QCOMPARE(f.controller()->elementData(groups.first(), QStringLiteral("ToNode")).toUInt(), d.a);
    } else {
        // A drag from the node draws an edge from it.
        f.drag(centre, QPointF(0, 320));
        QCOMPARE(edgesFrom(f, d.a).size(), cover == QLatin1String("own edge") ? 2 : 1);
        QCOMPARE(f.controller()->undoText(), QStringLiteral("Node && Edge"));
    }
}

void TestNetworkView::selectionToolReachesANodeUnderItsOwnEdge()
{
    CanvasFixture f;
    const CoveredNode d(f, QStringLiteral("own edge"));
    setViewKey(f, keyTool, NetworkView::SelectionTool);
    QVERIFY(edgeDrawnOver(f, d.edge, itemPos(f, d.a)));
    f.click(itemPos(f, d.a));
    QCOMPARE(f.scene()->selectedElementIds(), QmdItemIdSet({d.a}));
    // Outside its nodes the edge is hit as before.
    const QPointF leg = f.scene()->elementItem(d.edge)->graphicsItem()->mapToScene(
        f.itemFor<GraphicsEdgeItem>(d.edge)->path().pointAtPercent(0.85));
    f.click(leg);
    QCOMPARE(f.scene()->selectedElementIds(), QmdItemIdSet({d.edge}));
}

void TestNetworkView::clicksAtOneSpotStepThroughHiddenEdges()
{
    CanvasFixture f;
    f.view();
    const qint64 P = CanvasFixture::P;
    // Three edges from A share their first leg along the x axis.
    const QmdItemId a = f.addNode(QmdVelka::TickPos(0, 0));
    QmdItemIdList edges;
    for (qint64 y : {P, -P, 2 * P})
        edges.append(f.addEdge(a, f.addNode(QmdVelka::TickPos(2 * P, y)), QmdVelka::CityBlock));
    const QmdItemId lone = f.addEdge(f.addNode(QmdVelka::TickPos(0, 3 * P)), f.addNode(QmdVelka::TickPos(2 * P, 3 * P)));
    setViewKey(f, keyTool, NetworkView::SelectionTool);
    f.scene()->clearSelection();
    const QPointF spot(160, 0);

    // Each click at the same spot selects the next edge below, round again.
    QmdItemIdList selected;
    for (int i = 0; i < 4; ++i) {
        f.click(spot);
        const QmdItemIdSet now = f.scene()->selectedElementIds();
        QCOMPARE(now.size(), 1);
        QVERIFY(edges.contains(*now.begin()));
        selected.append(*now.begin());
    }
    QCOMPARE(QSet<QmdItemId>(selected.begin(), selected.begin() + 3).size(), 3);
    QCOMPARE(selected.at(3), selected.at(0));

    // A lone edge stays selected click after click.
    for (int i = 0; i < 2; ++i) {
        f.click(QPointF(160, 480));
        QCOMPARE(f.scene()->selectedElementIds(), QmdItemIdSet({lone}));
    }
}

CANVAS_TEST_MAIN(TestNetworkView)
#include "tst_networkview.moc"
