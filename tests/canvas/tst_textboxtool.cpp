#include "canvasfixture.h"
#include "graphicstextboxedit.h"
#include "graphicstextboxitem.h"
#include "textboxplacement.h"

#include <QTextCursor>
#include <QTextEdit>

using QmdVelka::TickPos;

// The text-box tool of the view: a press on a text box edits it, a press
// anywhere else places a new one, "Text", with its editor open.
class TestTextBoxTool : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void clickPlacesATextBoxWithItsEditorOpen();
    void pressOnATextBoxEditsIt();
    void pressOnANodeOrEdgePlacesATextBox();
    void dragCarriesTheNewBoxAlongTheGrid();
    void escapeDropsTheNewBox();

private:
    std::unique_ptr<CanvasFixture> f;
    NetworkView *view = nullptr;
};

namespace {

constexpr qint64 P = CanvasFixture::P;
const QString keyText = QStringLiteral("Text");
const QPointF away(-400, -250);

} // namespace

void TestTextBoxTool::init()
{
    f = std::make_unique<CanvasFixture>();
    view = f->view();
    // Editors take the scene's focus only while the scene is active.
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(f->scene(), &activate);
    f->controller()->requestSetData(QStringLiteral("Tool"), int(NetworkView::TextBoxTool), QmdIndex(),
                                    QmdRequestOptions(Qmd::NoUndoHistory));
    CanvasFixture::settle();
    QCOMPARE(view->tool(), NetworkView::TextBoxTool);
}

void TestTextBoxTool::clickPlacesATextBoxWithItsEditorOpen()
{
    QmdVelkaController *c = f->controller();
    const int steps = c->undoRedoCount();
    const QPointF at(100, 60);
    f->click(at);
    QVERIFY(!view->textBoxPlacement().isActive());

    QCOMPARE(c->elementIds().size(), 1);
    const QmdItemId id = c->elementIds().first();
    QCOMPARE(c->elementType(id), int(QmdVelka::TextBox));
    QCOMPARE(c->undoRedoCount(), steps + 1);
    QCOMPARE(c->undoText(), QStringLiteral("Text Box"));
    auto *box = f->itemFor<GraphicsTextBoxItem>(id);
    QVERIFY(box);
    QCOMPARE(box->toPlainText(), QStringLiteral("Text"));
    // Centred on the click, its corner on the grid.
    const QPointF centre = box->mapToScene(box->boundingRect().center());
    QVERIFY2((centre - at).manhattanLength() < 160, qPrintable(QStringLiteral("%1,%2").arg(centre.x()).arg(centre.y())));
    const TickPos corner = c->elementData(id, QStringLiteral("TickPos")).value<TickPos>();
    QCOMPARE(corner.x % f->scene()->snapSpacing(), 0);
    QCOMPARE(corner.y % f->scene()->snapSpacing(), 0);

    QVERIFY(box->editor());
    QCOMPARE(f->scene()->focusItem(), box->editor());
    QCOMPARE(box->editor()->textEdit()->textCursor().selectedText(), QStringLiteral("Text"));

    // Clicking away untouched closes the editor, adds no step and places no
    // second box.
    f->click(away);
    QVERIFY(!box->editor());
    QCOMPARE(c->elementIds().size(), 1);
    QCOMPARE(c->undoRedoCount(), steps + 1);

    // Undo and redo bring no editor back.
    c->requestUndo();
    CanvasFixture::settle();
    QVERIFY(c->elementIds().isEmpty());
    c->requestRedo();
    CanvasFixture::settle();
    QVERIFY(f->itemFor<GraphicsTextBoxItem>(id));
    QVERIFY(!f->itemFor<GraphicsTextBoxItem>(id)->editor());
    QVERIFY(!f->scene()->focusItem());
}

void TestTextBoxTool::pressOnATextBoxEditsIt()
{
    QmdVelkaController *c = f->controller();
    const QmdItemId id = f->addTextBox(TickPos(0, 0), QStringLiteral("<p>existing words</p>"));
    auto *box = f->itemFor<GraphicsTextBoxItem>(id);
    box->closeEditor();
    f->scene()->clearSelection();
    const int steps = c->undoRedoCount();

    f->click(box->mapToScene(box->boundingRect().center()));
    QVERIFY(box->editor());
    QCOMPARE(c->elementIds(), QmdItemIdList{id});
    QVERIFY(!view->textBoxPlacement().isActive());
    // The cursor sits at the middle of the text.
    const int position = box->editor()->textEdit()->textCursor().position();
    QVERIFY2(position > 2 && position < 12, qPrintable(QString::number(position)));

    QTest::keyClicks(view, QStringLiteral("new "));
    f->click(away);
    QVERIFY(!box->editor());
    QCOMPARE(c->elementIds(), QmdItemIdList{id});
    QCOMPARE(c->undoRedoCount(), steps + 1);
    QCOMPARE(c->undoText(), QStringLiteral("Text"));
    QVERIFY(c->elementData(id, keyText).toString().contains(QStringLiteral("new ")));
}

void TestTextBoxTool::pressOnANodeOrEdgePlacesATextBox()
{
    QmdVelkaController *c = f->controller();
    const QmdItemId a = f->addNode(TickPos(0, 0));
    const QmdItemId b = f->addNode(TickPos(2 * P, 0));
    const QmdItemId edge = f->addEdge(a, b);
    QVERIFY(edge);

    for (const QPointF &at : {QPointF(0, 0), QPointF(160, 0)}) {
        const QmdItemIdList before = c->elementIds();
        f->click(at);
        const QmdItemIdList after = c->elementIds();
        QCOMPARE(after.size(), before.size() + 1);
        QCOMPARE(c->elementType(after.last()), int(QmdVelka::TextBox));
        QCOMPARE(c->undoText(), QStringLiteral("Text Box"));
        f->click(away);
    }
}

void TestTextBoxTool::dragCarriesTheNewBoxAlongTheGrid()
{
    QmdVelkaController *c = f->controller();
    f->press(QPointF(0, 0));
    QVERIFY(view->textBoxPlacement().isActive());
    GraphicsTextBoxItem *preview = view->textBoxPlacement().preview();
    QCOMPARE(preview->id(), QmdItemId(0));
    QCOMPARE(preview->opacity(), TextBoxPlacement::PreviewOpacity);
    QVERIFY(!preview->isSelected()); // drawn without a frame
    const QPointF start = preview->pos();
    // Nothing is added while the box moves.
    f->move(QPointF(170, 0));
    CanvasFixture::settle();
    QVERIFY(c->elementIds().isEmpty());
    QCOMPARE(preview->pos(), start + QPointF(160, 0));
    f->release(QPointF(170, 0));
    CanvasFixture::settle();

    QCOMPARE(c->elementIds().size(), 1);
    const TickPos pos = c->elementData(c->elementIds().first(), QStringLiteral("TickPos")).value<TickPos>();
    QCOMPARE(pos, sceneToTickPos(start) + TickPos(P, 0));
    QCOMPARE(c->undoText(), QStringLiteral("Text Box"));
}

void TestTextBoxTool::escapeDropsTheNewBox()
{
    QmdVelkaController *c = f->controller();
    const int steps = c->undoRedoCount();
    f->press(QPointF(0, 0));
    QVERIFY(view->textBoxPlacement().isActive());
    QTest::keyClick(view, Qt::Key_Escape);
    QVERIFY(!view->textBoxPlacement().isActive());
    f->release(QPointF(0, 0));
    CanvasFixture::settle();
    QVERIFY(c->elementIds().isEmpty());
    QCOMPARE(c->undoRedoCount(), steps);
    for (QGraphicsItem *item : f->scene()->items())
        QVERIFY(!dynamic_cast<GraphicsTextBoxItem *>(item));
}

CANVAS_TEST_MAIN(TestTextBoxTool)
#include "tst_textboxtool.moc"
