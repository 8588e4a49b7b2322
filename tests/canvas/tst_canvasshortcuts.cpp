#include "canvasfixture.h"
#include "editactionsrecorder.h"
#include "graphicstextboxedit.h"
#include "graphicstextboxitem.h"

#include <QAction>
#include <QMainWindow>
#include <QMenuBar>
#include <QTextEdit>

using QmdVelka::TickPos;

namespace {

constexpr qint64 P = CanvasFixture::P;

// Stands in for the document window: the canvas in its middle and, in its
// menus, the edit commands with their usual keys. Every triggered command is
// recorded; Delete calls the receiver's del() as the window's does.
class StandInWindow : public QMainWindow
{
public:
    StandInWindow(CanvasFixture &f, EditActionsRecorder *receiver)
    {
        view = new NetworkView;
        view->setDragMode(QGraphicsView::RubberBandDrag);
        view->setNetworkScene(f.scene());
        view->setController(f.controller());
        view->setEditActionsReceiver(receiver);
        setCentralWidget(view);

        QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
        add(edit, QStringLiteral("Undo"), QKeySequence::Undo);
        add(edit, QStringLiteral("Cut"), QKeySequence::Cut);
        add(edit, QStringLiteral("Copy"), QKeySequence::Copy);
        add(edit, QStringLiteral("Paste"), QKeySequence::Paste);
        QAction *del = add(edit, QStringLiteral("Delete"), QKeySequence::Delete);
        connect(del, &QAction::triggered, receiver, &EditActionsRecorder::del);
        add(edit, QStringLiteral("Select All"), QKeySequence::SelectAll);
        add(edit, QStringLiteral("Start"), QKeySequence(Qt::CTRL | Qt::Key_Left));
        QMenu *tools = menuBar()->addMenu(QStringLiteral("&Tools"));
        add(tools, QStringLiteral("Selection Tool"), QKeySequence(Qt::CTRL | Qt::Key_1));
        resize(900, 700);
    }

    QAction *add(QMenu *menu, const QString &text, const QKeySequence &keys)
    {
        QAction *action = menu->addAction(text);
        action->setShortcut(keys);
        connect(action, &QAction::triggered, this, [this, text] { triggered.append(text); });
        return action;
    }

    NetworkView *view = nullptr;
    QStringList triggered;
};

// A key as the user types it: to the focused widget, through the window's
// shortcuts.
void type(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *focus = QApplication::focusWidget();
    QVERIFY(focus);
    QTest::keyClick(focus, Qt::Key(key), modifiers);
}

} // namespace

// The window's shortcuts and the canvas: keys an open text box editor takes
// stay with it; without an editor Delete removes the selection once.
class TestCanvasShortcuts : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void editorKeepsItsKeys();
    void deleteWithoutEditorDeletesTheSelectionOnce();

private:
    std::unique_ptr<CanvasFixture> f;
    std::unique_ptr<EditActionsRecorder> receiver;
    std::unique_ptr<StandInWindow> window;
};

void TestCanvasShortcuts::init()
{
    f = std::make_unique<CanvasFixture>();
    receiver = std::make_unique<EditActionsRecorder>(f->controller(), f->scene());
    window = std::make_unique<StandInWindow>(*f, receiver.get());
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    window->view->setFocus();
    QCOMPARE(QApplication::focusWidget(), window->view);
}

void TestCanvasShortcuts::cleanup()
{
    window.reset();
    f.reset();
    receiver.reset();
}

void TestCanvasShortcuts::editorKeepsItsKeys()
{
    const QmdItemId id = f->addTextBox(TickPos(0, 0), QStringLiteral("abcdef"));
    auto *box = f->itemFor<GraphicsTextBoxItem>(id);
    QVERIFY(box->editor());
    QCOMPARE(f->scene()->focusItem(), box->editor());
    QTextEdit *edit = box->editor()->textEdit();

    type(Qt::Key_Home);
    type(Qt::Key_Delete);
    QCOMPARE(box->toPlainText(), QStringLiteral("bcdef"));
    type(Qt::Key_End);
    type(Qt::Key_Backspace);
    QCOMPARE(box->toPlainText(), QStringLiteral("bcde"));
    type(Qt::Key_Left, Qt::ControlModifier);
    QCOMPARE(edit->textCursor().position(), 0);
    type(Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(edit->textCursor().selectedText(), QStringLiteral("bcde"));
    type(Qt::Key_C, Qt::ControlModifier);
    type(Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(box->toPlainText(), QString());
    type(Qt::Key_V, Qt::ControlModifier);
    type(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box->toPlainText(), QStringLiteral("bcdebcde"));
    type(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(box->toPlainText(), QStringLiteral("bcde"));
    QVERIFY2(window->triggered.isEmpty(), qPrintable(window->triggered.join(QLatin1Char(','))));
    QVERIFY(receiver->calls.isEmpty());
    QVERIFY(box->editor());

    // What the text edit does not take is the window's.
    type(Qt::Key_1, Qt::ControlModifier);
    QCOMPARE(window->triggered, QStringList{"Selection Tool"});
    QVERIFY(box->editor());
    QCOMPARE(f->controller()->elementIds(), QmdItemIdList{id});
}

void TestCanvasShortcuts::deleteWithoutEditorDeletesTheSelectionOnce()
{
    const QmdItemId a = f->addNode(TickPos(0, 0));
    const QmdItemId b = f->addNode(TickPos(P, 0));
    const QmdItemId c = f->addNode(TickPos(2 * P, 0));
    QVERIFY(!f->scene()->focusItem());
    f->scene()->clearSelection();
    f->scene()->elementItem(a)->graphicsItem()->setSelected(true);
    const int steps = f->controller()->undoRedoCount();

    type(Qt::Key_Delete);
    CanvasFixture::settle();
    QCOMPARE(window->triggered, QStringList{"Delete"});
    QCOMPARE(receiver->calls, QStringList{"del"});
    QCOMPARE(f->controller()->elementIds(), (QmdItemIdList{b, c}));
    QCOMPARE(f->controller()->undoRedoCount(), steps + 1);

    // Backspace is no window key: the canvas deletes, once.
    f->scene()->elementItem(b)->graphicsItem()->setSelected(true);
    type(Qt::Key_Backspace);
    CanvasFixture::settle();
    QCOMPARE(window->triggered, QStringList{"Delete"});
    QCOMPARE(receiver->calls, (QStringList{"del", "del"}));
    QCOMPARE(f->controller()->elementIds(), QmdItemIdList{c});
    QCOMPARE(f->controller()->undoRedoCount(), steps + 2);
}

CANVAS_TEST_MAIN(TestCanvasShortcuts)
#include "tst_canvasshortcuts.moc"
