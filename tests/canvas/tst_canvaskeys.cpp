#include "canvasfixture.h"
#include "editactionsrecorder.h"
#include "graphicsedgeitem.h"
#include "graphicstextboxedit.h"
#include "graphicstextboxitem.h"
#include "sceneshot.h"

#include <QPixmap>
#include <QTextEdit>

using QmdVelka::TickPos;

// The view's keys: Escape cancels a gesture, Delete and Backspace delete the
// selection through the window, Shift flips the route of an edge being drawn,
// Alt turns the zoom tool round.
class TestCanvasKeys : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void altZoomsOutWhileHeld();
    void deleteAndBackspaceCallTheWindowOnce();
    void keysOfAnEditedTextBoxAreItsOwn();
    void shiftWhileDrawingAnEdge();
    void escapeCancelsANodeAndEdgeDrag();
    void escapeEndsTextBoxEditingKeepingTheText();

private:
    void setTool(NetworkView::Tool tool);
    // Items of the view's gesture: element items of no element.
    int previewCount() const;

    std::unique_ptr<CanvasFixture> f;
    std::unique_ptr<EditActionsRecorder> receiver;
    NetworkView *view = nullptr;
};

namespace {

constexpr qint64 P = CanvasFixture::P;
const QString keyZoomScale = QStringLiteral("ZoomScale");

QImage cursorImage(const QWidget *widget)
{
    return widget->cursor().pixmap().toImage();
}

QmdItemIdList edgeIds(const QmdVelkaController *c)
{
    QmdItemIdList edges;
    const QmdItemIdList ids = c->elementIds();
    for (QmdItemId id : ids) {
        if (c->elementType(id) == QmdVelka::Edge)
            edges.append(id);
    }
    return edges;
}

QImage pictureImage(const char *path)
{
    return QPixmap(QString::fromLatin1(path)).toImage();
}

} // namespace

void TestCanvasKeys::init()
{
    f = std::make_unique<CanvasFixture>();
    view = f->view();
    receiver = std::make_unique<EditActionsRecorder>(f->controller(), f->scene());
    view->setEditActionsReceiver(receiver.get());
}

void TestCanvasKeys::cleanup()
{
    f.reset();
    receiver.reset();
}

void TestCanvasKeys::setTool(NetworkView::Tool tool)
{
    f->controller()->requestSetData(QStringLiteral("Tool"), int(tool), QmdIndex(),
                                    QmdRequestOptions(Qmd::NoUndoHistory));
    CanvasFixture::settle();
    QCOMPARE(view->tool(), tool);
}

int TestCanvasKeys::previewCount() const
{
    int count = 0;
    const QList<QGraphicsItem *> items = f->scene()->items();
    for (QGraphicsItem *item : items) {
        const auto *element = dynamic_cast<const ElementItem *>(item);
        if (element && element->id() == 0)
            ++count;
    }
    return count;
}

void TestCanvasKeys::altZoomsOutWhileHeld()
{
    setTool(NetworkView::ZoomTool);
    QmdVelkaController *c = f->controller();
    QCOMPARE(cursorImage(view->viewport()), pictureImage(":/images/Cursors/ZoomIn.png"));

    QTest::keyPress(view, Qt::Key_Alt, Qt::AltModifier);
    QCOMPARE(view->zoomMode(), ZoomMode::Out);
    QCOMPARE(cursorImage(view->viewport()), pictureImage(":/images/Cursors/ZoomOut.png"));
    f->click(QPointF(50, 50), Qt::AltModifier);
    QCOMPARE(c->data(keyZoomScale).toDouble(), 0.5);
    f->click(QPointF(50, 50), Qt::AltModifier);
    QCOMPARE(c->data(keyZoomScale).toDouble(), 0.25);
    QCOMPARE(view->zoomMode(), ZoomMode::None);

    QTest::keyRelease(view, Qt::Key_Alt);
    QCOMPARE(view->zoomMode(), ZoomMode::In);
    QCOMPARE(cursorImage(view->viewport()), pictureImage(":/images/Cursors/ZoomIn.png"));
    f->click(QPointF(50, 50));
    QCOMPARE(c->data(keyZoomScale).toDouble(), 0.5);
}

void TestCanvasKeys::deleteAndBackspaceCallTheWindowOnce()
{
    setTool(NetworkView::SelectionTool);
    const QmdItemId a = f->addNode(TickPos(0, 0));
    const QmdItemId b = f->addNode(TickPos(P, 0));
    f->scene()->clearSelection();
    f->scene()->elementItem(a)->graphicsItem()->setSelected(true);

    QTest::keyClick(view, Qt::Key_Backspace);
    CanvasFixture::settle();
    QCOMPARE(receiver->calls, QStringList{"del"});
    QCOMPARE(f->controller()->elementIds(), QmdItemIdList{b});

    f->scene()->elementItem(b)->graphicsItem()->setSelected(true);
    QTest::keyClick(view, Qt::Key_Delete);
    CanvasFixture::settle();
    QCOMPARE(receiver->calls, (QStringList{"del", "del"}));
    QVERIFY(f->controller()->elementIds().isEmpty());

    // Other keys delete nothing.
    QTest::keyClick(view, Qt::Key_X);
    QTest::keyClick(view, Qt::Key_Escape);
    QCOMPARE(receiver->calls.size(), 2);
}

void TestCanvasKeys::keysOfAnEditedTextBoxAreItsOwn()
{
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(f->scene(), &activate);
    setTool(NetworkView::ZoomTool);
    const QmdItemId id = f->addTextBox(TickPos(0, 0), QStringLiteral("abc"));
    auto *box = f->itemFor<GraphicsTextBoxItem>(id);
    QVERIFY(box->editor());
    QCOMPARE(f->scene()->focusItem(), box->editor());
    box->editor()->textEdit()->moveCursor(QTextCursor::End);

    QTest::keyClick(view, Qt::Key_Backspace);
    QTest::keyClick(view, Qt::Key_Delete);
    QCOMPARE(box->toPlainText(), QStringLiteral("ab"));
    QVERIFY(receiver->calls.isEmpty());
    QVERIFY(box->editor());

    // Alt pressed while editing is the editor's; its release still sets the
    // zoom tool back.
    QTest::keyPress(view, Qt::Key_Alt, Qt::AltModifier);
    QCOMPARE(view->zoomMode(), ZoomMode::In);
    view->updateZoomMode(true);
    QTest::keyRelease(view, Qt::Key_Alt);
    QCOMPARE(view->zoomMode(), ZoomMode::In);
}

void TestCanvasKeys::shiftWhileDrawingAnEdge()
{
    setTool(NetworkView::NodeAndEdgeTool);
    QmdVelkaController *c = f->controller();
    const QmdItemId a = f->addNode(TickPos(0, 0));
    f->press(QPointF(0, 0));
    f->move(QPointF(160, 160));
    QVERIFY(view->creationGesture().previewEdge());
    QTest::keyPress(view, Qt::Key_Shift, Qt::ShiftModifier);
    QCOMPARE(view->creationGesture().previewEdge()->pathKind(), int(QmdVelka::CityBlockFlipped));
    QTest::keyRelease(view, Qt::Key_Shift);
    QCOMPARE(view->creationGesture().previewEdge()->pathKind(), int(QmdVelka::CityBlock));
    QTest::keyPress(view, Qt::Key_Shift, Qt::ShiftModifier);
    f->release(QPointF(160, 160));
    CanvasFixture::settle();
    QTest::keyRelease(view, Qt::Key_Shift);

    QCOMPARE(c->elementIds().size(), 3);
    QCOMPARE(c->undoText(), QStringLiteral("Node && Edge"));
    QmdItemIdList edges = edgeIds(c);
    QCOMPARE(edges.size(), 1);
    QCOMPARE(c->elementData(edges.first(), QStringLiteral("FromNode")).toUInt(), a);
    QCOMPARE(c->elementData(edges.first(), QStringLiteral("Path")).toInt(), int(QmdVelka::CityBlockFlipped));

    // Released again: the next edge takes the plain route.
    f->press(QPointF(0, 0));
    f->move(QPointF(-160, 160));
    f->release(QPointF(-160, 160));
    CanvasFixture::settle();
    edges = edgeIds(c);
    QCOMPARE(edges.size(), 2);
    QCOMPARE(c->elementData(edges.last(), QStringLiteral("Path")).toInt(), int(QmdVelka::CityBlock));
}

void TestCanvasKeys::escapeCancelsANodeAndEdgeDrag()
{
    setTool(NetworkView::NodeAndEdgeTool);
    QmdVelkaController *c = f->controller();
    f->addNode(TickPos(0, 0));
    const QmdItemIdList before = c->elementIds();
    const int steps = c->undoRedoCount();

    f->press(QPointF(0, 0));
    f->move(QPointF(160, 160));
    QVERIFY(view->creationGesture().previewEdge());
    QCOMPARE(previewCount(), 2);
    QTest::keyClick(view, Qt::Key_Escape);
    QCOMPARE(previewCount(), 0);
    f->release(QPointF(160, 160));
    CanvasFixture::settle();
    QCOMPARE(c->elementIds(), before);
    QCOMPARE(c->undoRedoCount(), steps);
    QCOMPARE(previewCount(), 0);
}

void TestCanvasKeys::escapeEndsTextBoxEditingKeepingTheText()
{
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(f->scene(), &activate);
    QmdVelkaController *c = f->controller();
    const QString keyText = QStringLiteral("Text");

    // A new box: its editor is open with all text selected.
    const QmdItemId id = f->addTextBox(TickPos(0, 0), QStringLiteral("abc"));
    auto *box = f->itemFor<GraphicsTextBoxItem>(id);
    QVERIFY(box->editor());
    QTest::keyClicks(view, QStringLiteral("Dorian"));
    const QImage editing = view->grab().toImage();
    QTest::keyClick(view, Qt::Key_Escape);
    QVERIFY(!box->editor());
    QVERIFY(!f->scene()->focusItem());
    CanvasFixture::settle();
    QCOMPARE(box->toPlainText(), QStringLiteral("Dorian"));
    QVERIFY(c->elementData(id, keyText).toString().contains(QStringLiteral("Dorian")));
    QCOMPARE(c->undoText(), QStringLiteral("Text"));
    QVERIFY(receiver->calls.isEmpty());
    keepPicture(editing, QStringLiteral("escape-editing"));
    keepPicture(view->grab().toImage(), QStringLiteral("escape-ended"));

    // A second click on the selected box edits it again; Escape keeps the
    // added text too, and one more Escape changes nothing.
    setTool(NetworkView::SelectionTool);
    f->scene()->clearSelection();
    const QPointF inside = box->sceneBoundingRect().center();
    f->click(inside);
    f->click(inside);
    QVERIFY(box->editor());
    box->editor()->textEdit()->moveCursor(QTextCursor::End);
    QTest::keyClicks(view, QStringLiteral(" mode"));
    QTest::keyClick(view, Qt::Key_Escape);
    QVERIFY(!box->editor());
    CanvasFixture::settle();
    QCOMPARE(box->toPlainText(), QStringLiteral("Dorian mode"));
    QVERIFY(c->elementData(id, keyText).toString().contains(QStringLiteral("Dorian mode")));
    const int steps = c->undoRedoCount();
    QTest::keyClick(view, Qt::Key_Escape);
    CanvasFixture::settle();
    QCOMPARE(c->undoRedoCount(), steps);
    QCOMPARE(c->elementIds(), QmdItemIdList({id}));
}

CANVAS_TEST_MAIN(TestCanvasKeys)
#include "tst_canvaskeys.moc"
