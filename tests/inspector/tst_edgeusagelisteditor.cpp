#include "controllertest.h"
#include "edgeusagelist.h"
#include "edgeusagelisteditor.h"
#include "edgeusagetile.h"
#include "palette.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

using ControllerTest::newId;
using ControllerTest::settle;
using QmdVelka::TickPos;

namespace {

constexpr qint64 P = 665280;
const QString keyArcUsageList = QStringLiteral("ArcUsageList");

} // namespace

Q_DECLARE_METATYPE(EdgeUsageList)

// A node with three outgoing edges, edited in a window that also holds a
// window-wide Delete action (as the document window does) and a button.
class EdgeUsageListEditorTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readsAndWritesLists_data();
    void readsAndWritesLists();
    void showsTheStoredList_data();
    void showsTheStoredList();
    void appendsFromTheMenu();
    void menuFollowsTheNodesEdges();

    void dragReorders_data();
    void dragReorders();
    void clickWritesNothing();
    void countEdit();

    void undoneRemovalComesBack();
    void changeDuringDragWinsOverTheDrag();
    void changeDuringCountEditWinsOverTheEdit();
    void nodeRemovedDuringDrag();
    void removedNodeEmptiesTheStrip();

    void deleteKeyStaysWithTheTile();

private:
    QmdItemId addNode(qint64 x);
    QmdItemId addEdge(QmdItemId from, QmdItemId to);
    QString usage() const;
    void setUsage(const QString &text);
    QString tileEdges() const;
    QPoint tileCenter(int index) const;
    void drag(int index, const QList<QPoint> &path);
    void doubleClick(int index);
    int undoSteps() const { return m_controller->undoRedoCount(); }

    std::unique_ptr<QmdMemModel> m_model;
    std::unique_ptr<QmdVelkaController> m_controller;
    std::unique_ptr<QMainWindow> m_window;
    EdgeUsageListEditor *m_editor = nullptr;
    QPushButton *m_button = nullptr;
    QAction *m_deleteAction = nullptr;
    QmdItemId m_node = 0;
    QList<QmdItemId> m_edges;
};

void EdgeUsageListEditorTest::init()
{
    m_model = std::make_unique<QmdMemModel>();
    m_controller = std::make_unique<QmdVelkaController>();
    m_controller->setModel(m_model.get());
    settle();
    m_node = addNode(0);
    m_edges.clear();
    for (int i = 1; i <= 3; ++i)
        m_edges << addEdge(m_node, addNode(i));
    settle();

    m_window = std::make_unique<QMainWindow>();
    auto *central = new QWidget(m_window.get());
    auto *layout = new QVBoxLayout(central);
    m_editor = new EdgeUsageListEditor(central);
    m_button = new QPushButton(QStringLiteral("Other"), central);
    layout->addWidget(m_editor);
    layout->addWidget(m_button);
    m_window->setCentralWidget(central);
    m_deleteAction = new QAction(QStringLiteral("&Delete"), m_window.get());
    m_deleteAction->setShortcut(QKeySequence::Delete);
    m_window->addAction(m_deleteAction);
    m_window->resize(320, 100);
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));

    m_editor->setController(m_controller.get());
    m_editor->setNode(m_node);
    QCOMPARE(m_editor->tiles().size(), 3);
}

void EdgeUsageListEditorTest::cleanup()
{
    m_window.reset();
    m_controller.reset();
    m_model.reset();
}

QmdItemId EdgeUsageListEditorTest::addNode(qint64 x)
{
    const QmdItemIdList before = m_controller->elementIds();
    m_controller->requestAddNode(TickPos(x * P, 0));
    return newId(before, m_controller->elementIds());
}

QmdItemId EdgeUsageListEditorTest::addEdge(QmdItemId from, QmdItemId to)
{
    const QmdItemIdList before = m_controller->elementIds();
    m_controller->requestAddEdge(m_controller->elementIndex(from), m_controller->elementIndex(to));
    return newId(before, m_controller->elementIds());
}

QString EdgeUsageListEditorTest::usage() const
{
    return m_controller->elementData(m_node, keyArcUsageList).toString();
}

void EdgeUsageListEditorTest::setUsage(const QString &text)
{
    m_controller->requestSetData(keyArcUsageList, text, m_controller->elementIndex(m_node),
                                 QmdRequestOptions(QStringLiteral("Test")));
    settle();
}

// The strip's edges as "first,second,...": the edges' positions in m_edges (1-based).
QString EdgeUsageListEditorTest::tileEdges() const
{
    QStringList names;
    for (const EdgeUsageTile *tile : m_editor->tiles())
        names << QString::number(m_edges.indexOf(tile->edgeId()) + 1);
    return names.join(QLatin1Char(','));
}

QPoint EdgeUsageListEditorTest::tileCenter(int index) const
{
    return m_editor->mapFromScene(m_editor->tiles().at(index)->sceneBoundingRect().center());
}

void EdgeUsageListEditorTest::drag(int index, const QList<QPoint> &path)
{
    QWidget *viewport = m_editor->viewport();
    QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, tileCenter(index));
    for (const QPoint &point : path)
        QTest::mouseMove(viewport, point);
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, path.isEmpty() ? tileCenter(index) : path.last());
}

// Press, release, double-click and release, as a mouse sends them.
void EdgeUsageListEditorTest::doubleClick(int index)
{
    QWidget *viewport = m_editor->viewport();
    const QPoint point = tileCenter(index);
    QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, point);
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, point);
    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, point);
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, point);
}

void EdgeUsageListEditorTest::readsAndWritesLists_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<EdgeUsageList>("entries");
    QTest::addColumn<QString>("written");

    QTest::newRow("empty") << "" << EdgeUsageList{} << "";
    QTest::newRow("empty entries") << "12=1,,7=0," << EdgeUsageList{{12, 1}, {7, 0}} << "12=1,7=0";
    QTest::newRow("repeated edge") << "12=1,7=0,12=3" << EdgeUsageList{{12, 1}, {7, 0}, {12, 3}} << "12=1,7=0,12=3";
    QTest::newRow("numbers that do not parse") << "x=2,5=y,5" << EdgeUsageList{{0, 2}, {5, 0}, {5, 0}}
                                               << "0=2,5=0,5=0";
    QTest::newRow("second equals sign") << "5=2=9" << EdgeUsageList{{5, 2}} << "5=2";
}

void EdgeUsageListEditorTest::readsAndWritesLists()
{
    QFETCH(QString, text);
    QFETCH(EdgeUsageList, entries);
    QFETCH(QString, written);

    QCOMPARE(parseEdgeUsageList(text), entries);
    QCOMPARE(edgeUsageListText(entries), written);
}

void EdgeUsageListEditorTest::showsTheStoredList_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<qreal>("sceneWidth");

    QTest::newRow("none") << "" << QStringList{} << 0.0;
    QTest::newRow("two with empty entries") << "%2=1,,%1=0," << QStringList{"1", "\u221E"} << 61.0;
    QTest::newRow("three") << "%1=4,%2=0,%3=99" << QStringList{"4", "\u221E", "99"} << 92.0;
}

void EdgeUsageListEditorTest::showsTheStoredList()
{
    QFETCH(QString, text);
    QFETCH(QStringList, labels);
    QFETCH(qreal, sceneWidth);

    setUsage(text.arg(m_edges[0]).arg(m_edges[1]).arg(m_edges[2]));
    QStringList shown;
    for (int i = 0; i < m_editor->tiles().size(); ++i) {
        const EdgeUsageTile *tile = m_editor->tiles().at(i);
        shown << tile->label();
        QCOMPARE(tile->pos(), QPointF(31 * i, 0));
        QCOMPARE(tile->pixmap().width(), 30);
        QCOMPARE(tile->arcIdentifier(), m_controller->arcIdentifier(m_node, tile->edgeId()));
    }
    QCOMPARE(shown, labels);
    QCOMPARE(m_editor->scene()->sceneRect().width(), sceneWidth);
}

void EdgeUsageListEditorTest::appendsFromTheMenu()
{
    setUsage(QString());
    QVERIFY(m_editor->tiles().isEmpty());
    const QList<QAction *> actions = m_editor->addMenu()->actions();
    QCOMPARE(actions.size(), 3);
    QCOMPARE(actions.at(1)->text(), paletteColorName(m_controller->arcIdentifier(m_node, m_edges[1])));
    QCOMPARE(actions.at(1)->data().toUInt(), m_edges[1]);

    const int steps = undoSteps();
    actions.at(1)->trigger();
    QCOMPARE(usage(), QStringLiteral("%1=1").arg(m_edges[1]));
    QCOMPARE(tileEdges(), QStringLiteral("2"));
    actions.at(1)->trigger();
    QCOMPARE(usage(), QStringLiteral("%1=1,%1=1").arg(m_edges[1]));
    QCOMPARE(undoSteps(), steps + 2);
    QCOMPARE(m_controller->undoText(), QStringLiteral("Edge Usage"));
}

void EdgeUsageListEditorTest::menuFollowsTheNodesEdges()
{
    const QmdItemId lone = addNode(9);
    settle();
    m_editor->setNode(lone);
    QList<QAction *> actions = m_editor->addMenu()->actions();
    QCOMPARE(actions.size(), 1);
    QCOMPARE(actions.at(0)->text(), QStringLiteral("(no edges)"));
    QVERIFY(!actions.at(0)->isEnabled());

    // A new edge from the node shows in the menu and, through its usage entry, in the strip.
    const QmdItemId edge = addEdge(lone, m_node);
    QTRY_COMPARE(m_editor->addMenu()->actions().size(), 1);
    QTRY_VERIFY(m_editor->addMenu()->actions().at(0)->isEnabled());
    QCOMPARE(m_editor->addMenu()->actions().at(0)->data().toUInt(), edge);
    QTRY_COMPARE(m_editor->tiles().size(), 1);
    QCOMPARE(m_editor->tiles().at(0)->edgeId(), edge);

    // Removing the edge removes its menu entry.
    m_controller->requestRemove(QmdItemIdList{edge}, m_controller->findElementsIndex());
    QTRY_COMPARE(m_editor->addMenu()->actions().at(0)->text(), QStringLiteral("(no edges)"));
}

void EdgeUsageListEditorTest::dragReorders_data()
{
    QTest::addColumn<int>("tile");
    QTest::addColumn<QList<QPoint>>("path"); // x in the viewport, y relative to the tiles' middle
    QTest::addColumn<QString>("order");

    QTest::newRow("past the right end") << 0 << QList<QPoint>{{40, 3}, {120, 3}, {250, 3}} << "2,3,1";
    QTest::newRow("to the far left") << 2 << QList<QPoint>{{60, -2}, {20, -2}, {-40, -2}} << "3,1,2";
    QTest::newRow("along the strip") << 0 << QList<QPoint>{{30, 0}, {46, 0}} << "2,1,3";
}

void EdgeUsageListEditorTest::dragReorders()
{
    QFETCH(int, tile);
    QFETCH(QList<QPoint>, path);
    QFETCH(QString, order);

    const int middle = tileCenter(0).y();
    for (QPoint &point : path)
        point.ry() += middle;
    EdgeUsageTile *dragged = m_editor->tiles().at(tile);
    const int steps = undoSteps();
    drag(tile, path);
    QCOMPARE(tileEdges(), order);
    QCOMPARE(dragged->pos(), QPointF(31 * dragged->index(), 0));
    QCOMPARE(undoSteps(), steps + 1);
    QCOMPARE(m_controller->undoText(), QStringLiteral("Edge Usage"));
    QStringList expected;
    for (const QString &n : order.split(QLatin1Char(',')))
        expected << QStringLiteral("%1=1").arg(m_edges[n.toInt() - 1]);
    QCOMPARE(usage(), expected.join(QLatin1Char(',')));
}

void EdgeUsageListEditorTest::clickWritesNothing()
{
    setUsage(QStringLiteral("%1=1,,%2=0,").arg(m_edges[0]).arg(m_edges[1]));
    const int steps = undoSteps();
    drag(1, {});
    QTest::mouseClick(m_editor->viewport(), Qt::LeftButton, Qt::NoModifier, tileCenter(0));
    settle();
    QCOMPARE(undoSteps(), steps);
    QCOMPARE(usage(), QStringLiteral("%1=1,,%2=0,").arg(m_edges[0]).arg(m_edges[1]));
}

void EdgeUsageListEditorTest::countEdit()
{
    auto *spinBox = m_editor->findChild<QSpinBox *>();
    QVERIFY(spinBox);
    QVERIFY(!spinBox->isVisible());

    doubleClick(1);
    QVERIFY(spinBox->isVisible());
    QTRY_VERIFY(spinBox->hasFocus());
    QCOMPARE(spinBox->value(), 1);

    // An unchanged count writes nothing.
    const int steps = undoSteps();
    QTest::keyClick(spinBox, Qt::Key_Return);
    QVERIFY(!spinBox->isVisible());
    QCOMPARE(undoSteps(), steps);

    doubleClick(1);
    QTRY_VERIFY(spinBox->hasFocus());
    QTest::keyClick(spinBox, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(spinBox, "0");
    QTest::keyClick(spinBox, Qt::Key_Return);
    QVERIFY(!spinBox->isVisible());
    QCOMPARE(m_editor->tiles().at(1)->label(), QStringLiteral("\u221E"));
    doubleClick(1);
    QCOMPARE(spinBox->text(), QStringLiteral("\u221E"));
    QTest::keyClick(spinBox, Qt::Key_Return);
    QCOMPARE(usage(), QStringLiteral("%1=1,%2=0,%3=1").arg(m_edges[0]).arg(m_edges[1]).arg(m_edges[2]));
    QCOMPARE(undoSteps(), steps + 1);
    QCOMPARE(m_controller->undoText(), QStringLiteral("Edge Usage"));

    // Leaving the spin box for another widget also finishes the edit.
    doubleClick(2);
    QTRY_VERIFY(spinBox->hasFocus());
    QTest::keyClick(spinBox, Qt::Key_Up);
    m_button->setFocus();
    QTRY_VERIFY(!spinBox->isVisible());
    QCOMPARE(usage(), QStringLiteral("%1=1,%2=0,%3=2").arg(m_edges[0]).arg(m_edges[1]).arg(m_edges[2]));
}

void EdgeUsageListEditorTest::undoneRemovalComesBack()
{
    QTest::mouseClick(m_editor->viewport(), Qt::LeftButton, Qt::NoModifier, tileCenter(1));
    QTest::keyClick(m_editor, Qt::Key_Delete);
    QCOMPARE(tileEdges(), QStringLiteral("1,3"));
    QCOMPARE(usage(), QStringLiteral("%1=1,%2=1").arg(m_edges[0]).arg(m_edges[2]));

    m_controller->requestUndo();
    QTRY_COMPARE(tileEdges(), QStringLiteral("1,2,3"));

    // The next drag writes the list with the restored entry in it.
    drag(0, {{60, tileCenter(0).y() + 3}, {250, tileCenter(0).y() + 3}});
    QCOMPARE(usage(), QStringLiteral("%1=1,%2=1,%3=1").arg(m_edges[1]).arg(m_edges[2]).arg(m_edges[0]));
}

void EdgeUsageListEditorTest::changeDuringDragWinsOverTheDrag()
{
    QWidget *viewport = m_editor->viewport();
    const QPoint start = tileCenter(0);
    QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, start);
    QTest::mouseMove(viewport, start + QPoint(40, 3));
    QTest::mouseMove(viewport, start + QPoint(100, 3));

    const QString changed = QStringLiteral("%1=5").arg(m_edges[2]);
    setUsage(changed);
    QCOMPARE(m_editor->tiles().size(), 3); // the drag goes on
    const int steps = undoSteps();
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, start + QPoint(100, 3));
    settle();
    QCOMPARE(usage(), changed);
    QCOMPARE(undoSteps(), steps);
    QTRY_COMPARE(tileEdges(), QStringLiteral("3"));
    QCOMPARE(m_editor->tiles().at(0)->label(), QStringLiteral("5"));
}

void EdgeUsageListEditorTest::changeDuringCountEditWinsOverTheEdit()
{
    auto *spinBox = m_editor->findChild<QSpinBox *>();
    doubleClick(0);
    QTRY_VERIFY(spinBox->hasFocus());
    QTest::keyClick(spinBox, Qt::Key_Up);

    const QString changed = QStringLiteral("%1=7").arg(m_edges[1]);
    setUsage(changed);
    QVERIFY(spinBox->isVisible()); // the edit goes on
    const int steps = undoSteps();
    QTest::keyClick(spinBox, Qt::Key_Return);
    QCOMPARE(usage(), changed);
    QCOMPARE(undoSteps(), steps);
    QCOMPARE(tileEdges(), QStringLiteral("2"));
}

void EdgeUsageListEditorTest::nodeRemovedDuringDrag()
{
    QWidget *viewport = m_editor->viewport();
    const QPoint start = tileCenter(1);
    QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, start);
    QTest::mouseMove(viewport, start + QPoint(60, 2));
    m_controller->requestRemove(QmdItemIdList{m_node}, m_controller->findElementsIndex());
    settle();
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, start + QPoint(60, 2));
    QTRY_VERIFY(m_editor->tiles().isEmpty());
    QCOMPARE(m_controller->elementType(m_node), 0);
}

void EdgeUsageListEditorTest::removedNodeEmptiesTheStrip()
{
    m_controller->requestRemove(QmdItemIdList{m_node}, m_controller->findElementsIndex());
    QTRY_VERIFY(m_editor->tiles().isEmpty());
    QCOMPARE(m_editor->addMenu()->actions().size(), 1);
    QCOMPARE(m_editor->addMenu()->actions().at(0)->text(), QStringLiteral("(no edges)"));

    // The strip comes back with the node and its list.
    for (int i = 0; i < 5 && usage().isEmpty(); ++i) {
        m_controller->requestUndo();
        settle();
    }
    QTRY_COMPARE(tileEdges(), QStringLiteral("1,2,3"));
    QCOMPARE(m_editor->addMenu()->actions().size(), 3);
}

void EdgeUsageListEditorTest::deleteKeyStaysWithTheTile()
{
    QSignalSpy fired(m_deleteAction, &QAction::triggered);

    // The window's Delete works elsewhere: the test can tell.
    m_button->setFocus();
    QTest::keyClick(m_button, Qt::Key_Delete);
    QCOMPARE(fired.count(), 1);

    QTest::mouseClick(m_editor->viewport(), Qt::LeftButton, Qt::NoModifier, tileCenter(2));
    QVERIFY(m_editor->hasFocus());
    QTest::keyClick(m_editor, Qt::Key_Delete);
    QCOMPARE(tileEdges(), QStringLiteral("1,2"));
    QCOMPARE(usage(), QStringLiteral("%1=1,%2=1").arg(m_edges[0]).arg(m_edges[1]));

    // With no tile focused the keys do nothing, in the strip or the window.
    settle();
    QTest::keyClick(m_editor, Qt::Key_Delete);
    QCOMPARE(tileEdges(), QStringLiteral("1,2"));

    QTest::mouseClick(m_editor->viewport(), Qt::LeftButton, Qt::NoModifier, tileCenter(0));
    QTest::keyClick(m_editor, Qt::Key_Backspace);
    QCOMPARE(tileEdges(), QStringLiteral("2"));
    QCOMPARE(fired.count(), 1);
}

QTEST_MAIN(EdgeUsageListEditorTest)
#include "tst_edgeusagelisteditor.moc"
