#include "canvasfixture.h"
#include "graphicstextboxedit.h"
#include "graphicstextboxitem.h"
#include "shareddialogs.h"

#include <QAbstractTextDocumentLayout>
#include <QColorDialog>
#include <QGraphicsView>
#include <QTextCursor>
#include <QTextEdit>

using QmdVelka::TickPos;

namespace {

constexpr qint64 P = CanvasFixture::P;

// A plain view on the fixture's scene, shown and active, so that clicks and
// keys reach the items as a user's would.
class ShownView
{
public:
    explicit ShownView(QGraphicsScene *scene)
    {
        view.setScene(scene);
        view.setAlignment(Qt::AlignLeft | Qt::AlignTop);
        view.setSceneRect(-400, -300, 800, 600);
        view.resize(800, 600);
        view.show();
        view.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&view));
    }

    QPoint at(const QPointF &scenePos) const { return view.mapFromScene(scenePos); }
    QPoint at(const QGraphicsItem *item) const
    {
        return at(item->mapToScene(item->boundingRect().center()));
    }
    void click(const QPoint &pos) { QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, pos); }
    QWidget *keys() const { return view.viewport(); }

    QGraphicsView view;
};

} // namespace

class TestGraphicsTextBoxItem : public QObject
{
    Q_OBJECT

private slots:
    void firstClickSelectsSecondClickEdits();
    void newBoxClosedUntouchedWritesNothing_data();
    void newBoxClosedUntouchedWritesNothing();
    void undoRedoAndLoadingOpenNoEditor();
    void dragOfSelectedBoxOpensNoEditor();
    void boxRemovedWhileEditingWritesNothing();
    void controlBTogglesBold();
    void colourDialogKeepsTheEditorOpen();
    void previewHasNoController();
};

void TestGraphicsTextBoxItem::firstClickSelectsSecondClickEdits()
{
    CanvasFixture f;
    const QmdItemId id = f.addTextBox(TickPos(0, 0), QStringLiteral("<p>abcdef</p>"));
    auto *box = f.itemFor<GraphicsTextBoxItem>(id);
    QVERIFY(box);
    QCOMPARE(box->type(), 0x10004);
    // The new box opened its editor; close it to start from a plain box.
    box->closeEditor();
    f.scene()->clearSelection();
    ShownView v(f.scene());
    const int stepsBefore = f.controller()->undoRedoCount();

    v.click(v.at(box));
    QVERIFY(box->isSelected());
    QVERIFY(!box->editor());

    // Second click near the start of the text: the cursor lands there.
    const QPointF nearStart = box->boundingRect().topLeft() + QPointF(6, box->boundingRect().height() / 2);
    v.click(v.at(box->mapToScene(nearStart)));
    QVERIFY(box->editor());
    QTextEdit *edit = box->editor()->textEdit();
    const int expected = box->document()->documentLayout()->hitTest(nearStart, Qt::FuzzyHit);
    QCOMPARE(edit->textCursor().position(), expected);
    QVERIFY(expected <= 1);

    QTest::keyClicks(v.keys(), QStringLiteral("X"));
    QVERIFY(box->toPlainText().contains(QLatin1Char('X')));

    v.click(v.at(QPointF(300, 250)));
    QVERIFY(!box->editor());
    CanvasFixture::settle();
    QCOMPARE(f.controller()->undoRedoCount(), stepsBefore + 1);
    QCOMPARE(f.controller()->undoText(), QStringLiteral("Text"));
    QCOMPARE(f.controller()->elementData(id, QStringLiteral("Text")).toString(), box->toHtml());
    // The written text comes back to the item without changing it, and an
    // editor opened and closed again untouched adds nothing.
    QCOMPARE(box->toPlainText().count(QLatin1Char('X')), 1);
    QCOMPARE(f.controller()->elementData(id, QStringLiteral("Text")).toString(), box->toHtml());
    v.click(v.at(box));
    v.click(v.at(box));
    QVERIFY(box->editor());
    v.click(v.at(QPointF(300, 250)));
    QVERIFY(!box->editor());
    CanvasFixture::settle();
    QCOMPARE(f.controller()->undoRedoCount(), stepsBefore + 1);
}

void TestGraphicsTextBoxItem::newBoxClosedUntouchedWritesNothing_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("fragment") << QStringLiteral("<html><body>Text</body></html>");
    QTest::newRow("plain") << QStringLiteral("Text Box");
    QTest::newRow("styled") << QStringLiteral("<p><b>Bold</b> and <span style=\"color:#ff0000\">red</span></p>");
}

void TestGraphicsTextBoxItem::newBoxClosedUntouchedWritesNothing()
{
    QFETCH(QString, text);
    CanvasFixture f;
    ShownView v(f.scene());
    const QmdItemId id = f.addTextBox(TickPos(0, 0), text);
    auto *box = f.itemFor<GraphicsTextBoxItem>(id);
    QVERIFY(box && box->editor());
    QVERIFY(box->editor()->textEdit()->textCursor().hasSelection());
    QCOMPARE(box->editor()->textEdit()->textCursor().selectedText(), box->toPlainText());
    const int steps = f.controller()->undoRedoCount();

    v.click(v.at(QPointF(300, 250)));
    QVERIFY(!box->editor());
    CanvasFixture::settle();
    QCOMPARE(f.controller()->undoRedoCount(), steps);
    QCOMPARE(f.controller()->undoText(), QStringLiteral("Text Box"));
}

void TestGraphicsTextBoxItem::undoRedoAndLoadingOpenNoEditor()
{
    CanvasFixture f;
    const QmdItemId id = f.addTextBox(TickPos(0, 0));
    QVERIFY(f.itemFor<GraphicsTextBoxItem>(id)->editor());
    f.itemFor<GraphicsTextBoxItem>(id)->closeEditor();

    f.controller()->requestUndo();
    CanvasFixture::settle();
    QVERIFY(!f.itemFor<GraphicsTextBoxItem>(id));
    f.controller()->requestRedo();
    CanvasFixture::settle();
    QVERIFY(f.itemFor<GraphicsTextBoxItem>(id));
    QVERIFY(!f.itemFor<GraphicsTextBoxItem>(id)->editor());

    // A document that already holds the box, as a loaded file does.
    f.scene()->reset();
    QVERIFY(f.itemFor<GraphicsTextBoxItem>(id));
    QVERIFY(!f.itemFor<GraphicsTextBoxItem>(id)->editor());
}

void TestGraphicsTextBoxItem::dragOfSelectedBoxOpensNoEditor()
{
    CanvasFixture f;
    const QmdItemId id = f.addTextBox(TickPos(0, 0));
    auto *box = f.itemFor<GraphicsTextBoxItem>(id);
    box->closeEditor();
    ShownView v(f.scene());
    box->setSelected(true);

    const QPoint start = v.at(box);
    QTest::mousePress(v.view.viewport(), Qt::LeftButton, {}, start);
    QMouseEvent move(QEvent::MouseMove, start + QPoint(20, 0), v.view.viewport()->mapToGlobal(start + QPoint(20, 0)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(v.view.viewport(), &move);
    QTest::mouseRelease(v.view.viewport(), Qt::LeftButton, {}, start + QPoint(40, 0));
    QVERIFY(!box->editor());

    // A still click on the selected box does open it.
    v.click(start);
    QVERIFY(box->editor());
}

void TestGraphicsTextBoxItem::boxRemovedWhileEditingWritesNothing()
{
    CanvasFixture f;
    ShownView v(f.scene());
    const QmdItemId id = f.addTextBox(TickPos(0, 0));
    auto *box = f.itemFor<GraphicsTextBoxItem>(id);
    QVERIFY(box->editor());
    QTest::keyClicks(v.keys(), QStringLiteral("changed"));

    // The element goes; the scene hears of it only later. Closing the editor
    // in between must not take the root for the element.
    f.controller()->requestRemove(QmdItemIdList{id}, f.controller()->findElementsIndex());
    box->closeEditor();
    CanvasFixture::settle();
    QVERIFY(!f.controller()->keys(QmdIndex()).contains(QStringLiteral("Text")));
    QVERIFY(!f.itemFor<GraphicsTextBoxItem>(id));

    // The same with the editor still open when the item goes.
    const QmdItemId second = f.addTextBox(TickPos(P, 0));
    QVERIFY(f.itemFor<GraphicsTextBoxItem>(second)->editor());
    QTest::keyClicks(v.keys(), QStringLiteral("again"));
    f.remove(second);
    QVERIFY(!f.itemFor<GraphicsTextBoxItem>(second));
    v.click(v.at(QPointF(300, 250)));
    CanvasFixture::settle();
    QVERIFY(!f.controller()->keys(QmdIndex()).contains(QStringLiteral("Text")));
    QVERIFY(f.controller()->undoText() != QStringLiteral("Text"));
}

void TestGraphicsTextBoxItem::controlBTogglesBold()
{
    CanvasFixture f;
    ShownView v(f.scene());
    const QmdItemId id = f.addTextBox(TickPos(0, 0), QStringLiteral("plain words"));
    auto *box = f.itemFor<GraphicsTextBoxItem>(id);
    QTextEdit *edit = box->editor()->textEdit();
    QVERIFY(edit->textCursor().hasSelection());
    QVERIFY(edit->fontWeight() <= QFont::Normal);

    QTest::keyClick(v.keys(), Qt::Key_B, Qt::ControlModifier);
    QCOMPARE(edit->fontWeight(), int(QFont::Bold));
    QTest::keyClick(v.keys(), Qt::Key_B, Qt::ControlModifier);
    QCOMPARE(edit->fontWeight(), int(QFont::Normal));

    // Ctrl+Shift+B is not the bold key: the text edit gets it and nothing changes.
    const QString before = box->toHtml();
    QTest::keyClick(v.keys(), Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(edit->fontWeight(), int(QFont::Normal));
    QCOMPARE(box->toHtml(), before);

    QTest::keyClick(v.keys(), Qt::Key_I, Qt::ControlModifier);
    QVERIFY(edit->fontItalic());
    QTest::keyClick(v.keys(), Qt::Key_U, Qt::ControlModifier);
    QVERIFY(edit->fontUnderline());
}

void TestGraphicsTextBoxItem::colourDialogKeepsTheEditorOpen()
{
    CanvasFixture f;
    ShownView v(f.scene());
    const QmdItemId id = f.addTextBox(TickPos(0, 0), QStringLiteral("colour me"));
    auto *box = f.itemFor<GraphicsTextBoxItem>(id);
    QVERIFY(box->editor());
    const int steps = f.controller()->undoRedoCount();

    // A click into the editor lends it the shared dialogs.
    QTest::mouseClick(v.view.viewport(), Qt::LeftButton, {}, v.at(box));
    QVERIFY(box->editor());
    QTextEdit *edit = box->editor()->textEdit();
    QCOMPARE(SharedDialogs::instance()->colorDialogReceiver(), edit);
    edit->selectAll();

    SharedDialogs::instance()->showColorDialog();
    // Focus leaves the canvas's window for the dialog.
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(f.scene(), &deactivate);
    QVERIFY(box->editor());
    SharedDialogs::instance()->colorDialog()->setCurrentColor(QColor(255, 0, 0));
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(f.scene(), &activate);
    QVERIFY(box->editor());

    // A click on the canvas ends the editing even with the dialog showing.
    v.click(v.at(QPointF(300, 250)));
    QVERIFY(!box->editor());
    SharedDialogs::instance()->colorDialog()->hide();
    CanvasFixture::settle();
    QCOMPARE(f.controller()->undoRedoCount(), steps + 1);
    QCOMPARE(f.controller()->undoText(), QStringLiteral("Text"));
    QVERIFY(f.controller()->elementData(id, QStringLiteral("Text")).toString().contains(QStringLiteral("#ff0000")));
}

void TestGraphicsTextBoxItem::previewHasNoController()
{
    CanvasFixture f;
    GraphicsTextBoxItem preview(f.scene());
    QCOMPARE(preview.id(), QmdItemId(0));
    preview.setHtml(QStringLiteral("preview"));
    preview.openEditor(QPointF());
    QVERIFY(preview.editor());
    preview.closeEditor();
    CanvasFixture::settle();
    QVERIFY(!f.controller()->keys(QmdIndex()).contains(QStringLiteral("Text")));
    QVERIFY(f.scene()->elementItems().isEmpty());
}

CANVAS_TEST_MAIN(TestGraphicsTextBoxItem)
#include "tst_graphicstextboxitem.moc"
