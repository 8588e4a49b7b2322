#include "canvascontextmenu.h"
#include "canvasfixture.h"
#include "editactionsrecorder.h"

#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMimeData>
#include <QRegularExpression>

using QmdVelka::TickPos;

// The canvas's context menu: the edit entries' states and calls, and the
// element entries bound to the selected elements of the kind under the mouse.
class TestCanvasContextMenu : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void emptyCanvasShowsTheEditEntries();
    void editEntriesCallTheReceiver();
    void routeEntriesWriteTheSelectedEdges();
    void nodeEntriesWriteOnlyTheSelectedNodes();
    void noElementEntriesOverEmptyCanvas();
    void watchMapHoldsExistingElementsOfTheKind();
    void noMenuWhileATextBoxIsEdited();

private:
    // Right click at a scene point; returns the menu, shown.
    CanvasContextMenu *openAt(const QPointF &scenePos);
    QAction *choice(QActionGroup *group, int data) const;

    std::unique_ptr<CanvasFixture> f;
    std::unique_ptr<EditActionsRecorder> receiver;
    NetworkView *view = nullptr;
    // Whether the last right click showed the menu.
    bool lastShown = false;
};

namespace {

constexpr qint64 P = CanvasFixture::P;
const QString keyPath = QStringLiteral("Path");

} // namespace

void TestCanvasContextMenu::init()
{
    f = std::make_unique<CanvasFixture>();
    view = f->view();
    receiver = std::make_unique<EditActionsRecorder>(f->controller(), f->scene());
    view->setEditActionsReceiver(receiver.get());
    QVERIFY(view->contextMenu());
    QApplication::clipboard()->clear();
}

void TestCanvasContextMenu::cleanup()
{
    if (view && view->contextMenu())
        view->contextMenu()->hide();
    f.reset();
    receiver.reset();
}

CanvasContextMenu *TestCanvasContextMenu::openAt(const QPointF &scenePos)
{
    const QPoint local = f->viewportPoint(scenePos);
    QContextMenuEvent event(QContextMenuEvent::Mouse, local, view->viewport()->mapToGlobal(local));
    QApplication::sendEvent(view->viewport(), &event);
    CanvasContextMenu *menu = view->contextMenu();
    lastShown = menu && menu->isVisible();
    if (menu)
        menu->hide();
    return menu;
}

QAction *TestCanvasContextMenu::choice(QActionGroup *group, int data) const
{
    const QList<QAction *> actions = group->actions();
    for (QAction *action : actions) {
        if (action->data().toInt() == data)
            return action;
    }
    return nullptr;
}

void TestCanvasContextMenu::emptyCanvasShowsTheEditEntries()
{
    CanvasContextMenu *menu = view->contextMenu();
    QStringList texts;
    const QList<QAction *> actions = menu->actions();
    for (const QAction *action : actions) {
        if (!action->isSeparator())
            texts.append(action->text());
    }
    QCOMPARE(texts, (QStringList{"Cu&t", "&Copy", "&Paste", "&Delete", "Select A&ll", "&Sequential", "Para&llel",
                                 "&Random", "&Mute", "City &Block", "City Block &Flipped", "Direc&t", "&Wormhole"}));

    openAt(QPointF(300, 200));
    QVERIFY(lastShown);
    QVERIFY(!menu->cutAction()->isEnabled());
    QVERIFY(!menu->copyAction()->isEnabled());
    QVERIFY(!menu->deleteAction()->isEnabled());
    QVERIFY(!menu->pasteAction()->isEnabled());
    QVERIFY(menu->selectAllAction()->isEnabled());
    QVERIFY(!menu->signallingGroup()->isVisible());
    QVERIFY(!menu->muteAction()->isVisible());
    QVERIFY(!menu->edgePathGroup()->isVisible());
    QVERIFY(!menu->wormholeAction()->isVisible());

    // Paste follows the clipboard's elements, not any text on it.
    QApplication::clipboard()->setText(QStringLiteral("words"));
    openAt(QPointF(300, 200));
    QVERIFY(!menu->pasteAction()->isEnabled());
    auto *mime = new QMimeData;
    mime->setData(QStringLiteral("text/velka-elements"), QByteArray("<plist/>"));
    QApplication::clipboard()->setMimeData(mime);
    openAt(QPointF(300, 200));
    QVERIFY(menu->pasteAction()->isEnabled());
    QVERIFY(!menu->cutAction()->isEnabled());

    // A selection enables the rest.
    const QmdItemId node = f->addNode(TickPos(0, 0));
    f->scene()->elementItem(node)->graphicsItem()->setSelected(true);
    openAt(QPointF(300, 200));
    QVERIFY(menu->cutAction()->isEnabled());
    QVERIFY(menu->copyAction()->isEnabled());
    QVERIFY(menu->deleteAction()->isEnabled());
}

void TestCanvasContextMenu::editEntriesCallTheReceiver()
{
    // Disabled entries call nothing: a selection and elements on the
    // clipboard enable them all.
    const QmdItemId node = f->addNode(TickPos(0, 0));
    f->scene()->elementItem(node)->graphicsItem()->setSelected(true);
    auto *mime = new QMimeData;
    mime->setData(QStringLiteral("text/velka-elements"), QByteArray("<plist/>"));
    QApplication::clipboard()->setMimeData(mime);
    CanvasContextMenu *menu = openAt(QPointF(300, 200));
    for (QAction *action : {menu->cutAction(), menu->copyAction(), menu->pasteAction(), menu->deleteAction(),
                            menu->selectAllAction()})
        action->trigger();
    QCOMPARE(receiver->calls, (QStringList{"cut", "copy", "paste", "del", "selectAll"}));
    CanvasFixture::settle();
    QVERIFY(f->controller()->elementIds().isEmpty());

    // A new receiver gets a new menu; none without one.
    EditActionsRecorder other(f->controller(), f->scene());
    view->setEditActionsReceiver(&other);
    view->contextMenu()->copyAction()->trigger();
    QCOMPARE(other.calls, QStringList{"copy"});
    QCOMPARE(receiver->calls.size(), 5);
    // A receiver without these slots: the entries stay disabled, quietly.
    QObject plain;
    QTest::failOnWarning(QRegularExpression(QStringLiteral("No such (slot|method)")));
    view->setEditActionsReceiver(&plain);
    menu = openAt(QPointF(300, 200));
    QVERIFY(!menu->cutAction()->isEnabled());
    QVERIFY(!menu->selectAllAction()->isEnabled());
    QTest::keyClick(view, Qt::Key_Backspace);
    view->setEditActionsReceiver(nullptr);
    QVERIFY(!view->contextMenu());
    openAt(QPointF(300, 200)); // nothing to open, nothing breaks
}

void TestCanvasContextMenu::routeEntriesWriteTheSelectedEdges()
{
    QmdVelkaController *c = f->controller();
    const QmdItemId a = f->addNode(TickPos(0, 0));
    const QmdItemId b = f->addNode(TickPos(2 * P, 0));
    const QmdItemId d = f->addNode(TickPos(0, P));
    const QmdItemId e = f->addNode(TickPos(2 * P, P));
    const QmdItemId first = f->addEdge(a, b, 0);
    const QmdItemId second = f->addEdge(d, e, 2);
    f->scene()->clearSelection();
    f->scene()->elementItem(first)->graphicsItem()->setSelected(true);
    f->scene()->elementItem(second)->graphicsItem()->setSelected(true);

    CanvasContextMenu *menu = openAt(QPointF(160, 0));
    QVERIFY(menu->edgePathGroup()->isVisible());
    QVERIFY(menu->wormholeAction()->isVisible());
    QVERIFY(!menu->signallingGroup()->isVisible());
    QVERIFY(!menu->muteAction()->isVisible());
    QVERIFY(!menu->wormholeAction()->isChecked());

    const int steps = c->undoRedoCount();
    choice(menu->edgePathGroup(), 2)->trigger();
    CanvasFixture::settle();
    QCOMPARE(c->elementData(first, keyPath).toInt(), 2);
    QCOMPARE(c->elementData(second, keyPath).toInt(), 2);
    QCOMPARE(c->undoRedoCount(), steps + 1);
    QCOMPARE(c->undoText(), QStringLiteral("Path"));

    // Both are direct now: the entry shows it, and choosing it again writes nothing.
    menu = openAt(QPointF(160, 0));
    QCOMPARE(menu->contextMenuEdgePath(), 2);
    QVERIFY(choice(menu->edgePathGroup(), 2)->isChecked());
    choice(menu->edgePathGroup(), 2)->trigger();
    CanvasFixture::settle();
    QCOMPARE(c->undoRedoCount(), steps + 1);

    menu->wormholeAction()->trigger();
    CanvasFixture::settle();
    QCOMPARE(c->elementData(first, QStringLiteral("IsWormhole")).toBool(), true);
    QCOMPARE(c->elementData(second, QStringLiteral("IsWormhole")).toBool(), true);
    QCOMPARE(c->undoRedoCount(), steps + 2);
    QCOMPARE(c->undoText(), QStringLiteral("Wormhole"));

    c->requestUndo();
    c->requestUndo();
    CanvasFixture::settle();
    QCOMPARE(c->elementData(first, keyPath).toInt(), 0);
    QCOMPARE(c->elementData(second, keyPath).toInt(), 2);
}

void TestCanvasContextMenu::nodeEntriesWriteOnlyTheSelectedNodes()
{
    QmdVelkaController *c = f->controller();
    const QmdItemId a = f->addNode(TickPos(0, 0));
    const QmdItemId b = f->addNode(TickPos(2 * P, 0));
    const QmdItemId other = f->addNode(TickPos(0, 2 * P));
    const QmdItemId edge = f->addEdge(a, b);
    f->scene()->clearSelection();
    f->scene()->elementItem(a)->graphicsItem()->setSelected(true);
    f->scene()->elementItem(edge)->graphicsItem()->setSelected(true);
    const int otherMethod = c->elementData(other, QStringLiteral("SignallingMethod")).toInt();

    CanvasContextMenu *menu = openAt(QPointF(0, 0));
    QVERIFY(menu->signallingGroup()->isVisible());
    QVERIFY(menu->muteAction()->isVisible());
    QVERIFY(!menu->edgePathGroup()->isVisible());
    QVERIFY(!menu->wormholeAction()->isVisible());
    QCOMPARE(menu->contextMenuNodeSigMethod(), c->elementData(a, QStringLiteral("SignallingMethod")).toInt());

    choice(menu->signallingGroup(), 2)->trigger();
    CanvasFixture::settle();
    QCOMPARE(c->elementData(a, QStringLiteral("SignallingMethod")).toInt(), 2);
    QCOMPARE(c->undoText(), QStringLiteral("Signalling"));
    QCOMPARE(c->elementData(other, QStringLiteral("SignallingMethod")).toInt(), otherMethod);
    QVERIFY(!c->keys(c->elementIndex(edge)).contains(QStringLiteral("SignallingMethod")));

    menu->muteAction()->trigger();
    CanvasFixture::settle();
    QCOMPARE(c->elementData(a, QStringLiteral("DontPlayNote")).toBool(), true);
    QCOMPARE(c->undoText(), QStringLiteral("Mute"));
    QCOMPARE(c->elementData(other, QStringLiteral("DontPlayNote")).toBool(), false);

    // Changes made elsewhere show at the next opening.
    f->set(a, QStringLiteral("SignallingMethod"), 1);
    f->set(a, QStringLiteral("DontPlayNote"), false);
    menu = openAt(QPointF(0, 0));
    QCOMPARE(menu->contextMenuNodeSigMethod(), 1);
    QVERIFY(!menu->muteAction()->isChecked());
}

void TestCanvasContextMenu::noElementEntriesOverEmptyCanvas()
{
    QmdVelkaController *c = f->controller();
    const QmdItemId a = f->addNode(TickPos(0, 0));
    f->scene()->elementItem(a)->graphicsItem()->setSelected(true);
    CanvasContextMenu *menu = openAt(QPointF(0, 0));
    QVERIFY(menu->signallingGroup()->isVisible());

    menu = openAt(QPointF(300, 200));
    QVERIFY(!menu->signallingGroup()->isVisible());
    QVERIFY(!menu->muteAction()->isVisible());
    QVERIFY(!menu->edgePathGroup()->isVisible());
    // The entries of the earlier opening write nothing any more.
    const int steps = c->undoRedoCount();
    choice(menu->signallingGroup(), 2)->trigger();
    menu->muteAction()->trigger();
    CanvasFixture::settle();
    QCOMPARE(c->undoRedoCount(), steps);
}

void TestCanvasContextMenu::watchMapHoldsExistingElementsOfTheKind()
{
    QmdVelkaController *c = f->controller();
    const QmdItemId a = f->addNode(TickPos(0, 0));
    const QmdItemId b = f->addNode(TickPos(P, 0));
    const QmdItemId edge = f->addEdge(a, b);
    const QmdItemId gone = f->addNode(TickPos(2 * P, 0));
    f->remove(gone);

    const QmdController::WatchMap nodes =
        CanvasContextMenu::selectedWatchMap(c, {a, edge, gone, 9999}, QmdVelka::Node, QStringLiteral("DontPlayNote"));
    QCOMPARE(nodes.size(), 1);
    QCOMPARE(nodes.value(c->elementIndex(a)), QStringList{"DontPlayNote"});
    const QmdController::WatchMap edges =
        CanvasContextMenu::selectedWatchMap(c, {a, b, edge, gone}, QmdVelka::Edge, keyPath);
    QCOMPARE(edges.keys(), QList<QmdIndex>{c->elementIndex(edge)});
    QVERIFY(CanvasContextMenu::selectedWatchMap(nullptr, {a}, QmdVelka::Node, keyPath).isEmpty());
}

void TestCanvasContextMenu::noMenuWhileATextBoxIsEdited()
{
    // Items take the scene's focus only while the scene is active.
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(f->scene(), &activate);
    const QmdItemId box = f->addTextBox(TickPos(0, 0));
    QVERIFY(f->scene()->focusItem());
    f->scene()->elementItem(box)->graphicsItem()->setSelected(true);
    CanvasContextMenu *menu = view->contextMenu();
    menu->cutAction()->setEnabled(false);
    openAt(QPointF(400, 300));
    QVERIFY(!lastShown);
    // The menu was not set up for the canvas.
    QVERIFY(!menu->cutAction()->isEnabled());
}

CANVAS_TEST_MAIN(TestCanvasContextMenu)
#include "tst_canvascontextmenu.moc"
