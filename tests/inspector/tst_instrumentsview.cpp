#include "instrumentsmodel.h"
#include "instrumentsview.h"
#include "outputportnames.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"

#include <QBitArray>
#include <QMainWindow>
#include <QMenuBar>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

namespace {

void settle()
{
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
}

// A document window in miniature: a controller with four instruments, the
// instruments list, and a window-wide Delete action that counts its triggers.
class Window
{
public:
    explicit Window(bool withController)
    {
        controller.setModel(&model);
        for (const char *label : {"Piano", "Bass", "Drums", "Strings"})
            controller.requestAddInstrument(label, Qt::red, QBitArray(16, true));
        controller.requestMarkAsCleanState();
        settle();

        auto *central = new QWidget(&window);
        auto *layout = new QVBoxLayout(central);
        view = new InstrumentsView(central);
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setModel(controller.instrumentsModel());
        if (withController)
            view->setController(&controller);
        layout->addWidget(view);
        window.setCentralWidget(central);

        QAction *del = window.menuBar()->addMenu(QStringLiteral("&Edit"))->addAction(QStringLiteral("&Delete"));
        del->setShortcuts(QKeySequence::keyBindings(QKeySequence::Delete) << QKeySequence(Qt::Key_Backspace));
        QObject::connect(del, &QAction::triggered, [this] { ++deleteTriggers; });

        window.show();
        window.activateWindow();
    }

    QModelIndex row(int r) const { return view->model()->index(r, 0); }

    void click(int r, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, view->visualRect(row(r)).center());
    }

    QStringList labels() const
    {
        QStringList list;
        for (QmdItemId id : controller.instrumentIds())
            list << controller.data(controller.index(QStringLiteral("Label"), controller.index(id, controller.instrumentsIndex()))).toString();
        return list;
    }

    QmdMemModel model;
    QmdVelkaController controller;
    QMainWindow window;
    InstrumentsView *view = nullptr;
    int deleteTriggers = 0;
};

} // namespace

class TestInstrumentsView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void keys_data();
    void removesTheSelectionInOneStep();
    void removesTheSelectionInOneStep_data() { keys_data(); }
    void nothingSelectedMakesNoStep();
    void nothingSelectedMakesNoStep_data() { keys_data(); }
    void withoutControllerRemovesNothing();
    void otherKeysMoveTheCurrentRow();
    void modifiedDeleteStaysAShortcut();
};

void TestInstrumentsView::initTestCase()
{
    OutputPortNames::setSource([] { return QSet<QString>(); });
}

void TestInstrumentsView::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("QObject::connect|No such (slot|signal)")));
}

void TestInstrumentsView::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Delete") << int(Qt::Key_Delete);
    QTest::newRow("Backspace") << int(Qt::Key_Backspace);
}

void TestInstrumentsView::removesTheSelectionInOneStep()
{
    QFETCH(int, key);
    Window w(true);
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    QCOMPARE(w.view->model()->rowCount(), 4);
    const int steps = w.controller.undoRedoCount();

    w.click(0);
    w.click(1, Qt::ControlModifier);
    w.click(3, Qt::ControlModifier);
    QCOMPARE(w.view->selectionModel()->selectedIndexes().size(), 3);
    QVERIFY(w.view->hasFocus());

    QTest::keyClick(w.view, Qt::Key(key));
    settle();
    QCOMPARE(w.labels(), QStringList{"Drums"});
    QCOMPARE(w.view->model()->rowCount(), 1);
    QCOMPARE(w.controller.undoRedoCount(), steps + 1);
    QCOMPARE(w.controller.undoText(), QStringLiteral("Remove"));
    QVERIFY(!w.controller.isAtCleanState());
    QCOMPARE(w.deleteTriggers, 0);

    w.controller.requestUndo();
    settle();
    QCOMPARE(w.labels(), (QStringList{"Piano", "Bass", "Drums", "Strings"}));
    QVERIFY(w.controller.isAtCleanState());
}

void TestInstrumentsView::nothingSelectedMakesNoStep()
{
    QFETCH(int, key);
    Window w(true);
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    w.view->setFocus();
    QTRY_VERIFY(w.view->hasFocus());
    QVERIFY(w.view->selectionModel()->selectedIndexes().isEmpty());
    const int steps = w.controller.undoRedoCount();
    QSignalSpy cleanChanges(&w.controller, &QmdController::atCleanStateChanged);

    QTest::keyClick(w.view, Qt::Key(key));
    settle();
    QCOMPARE(w.labels().size(), 4);
    QCOMPARE(w.controller.undoRedoCount(), steps);
    QVERIFY(w.controller.isAtCleanState());
    QCOMPARE(cleanChanges.count(), 0);
    QCOMPARE(w.deleteTriggers, 0);
}

// Before the inspector hands it the controller the list only selects; the
// keys still stay away from the window's shortcut.
void TestInstrumentsView::withoutControllerRemovesNothing()
{
    Window w(false);
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    const int steps = w.controller.undoRedoCount();
    w.click(0);
    w.click(2, Qt::ShiftModifier);
    QCOMPARE(w.view->selectionModel()->selectedIndexes().size(), 3);

    QTest::keyClick(w.view, Qt::Key_Delete);
    QTest::keyClick(w.view, Qt::Key_Backspace);
    settle();
    QCOMPARE(w.labels().size(), 4);
    QCOMPARE(w.controller.undoRedoCount(), steps);
    QCOMPARE(w.deleteTriggers, 0);
}

void TestInstrumentsView::otherKeysMoveTheCurrentRow()
{
    Window w(true);
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    const int steps = w.controller.undoRedoCount();
    w.click(0);
    QTest::keyClick(w.view, Qt::Key_Down);
    QCOMPARE(w.view->currentIndex().row(), 1);
    QTest::keyClicks(w.view, QStringLiteral("Str"));
    QCOMPARE(w.view->currentIndex().row(), 3);
    settle();
    QCOMPARE(w.labels().size(), 4);
    QCOMPARE(w.controller.undoRedoCount(), steps);
}

// Shift+Delete is not the list's: a window-wide shortcut on it still fires.
void TestInstrumentsView::modifiedDeleteStaysAShortcut()
{
    Window w(true);
    QAction *cut = w.window.menuBar()->addMenu(QStringLiteral("&More"))->addAction(QStringLiteral("Cu&t"));
    cut->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Delete));
    int cuts = 0;
    QObject::connect(cut, &QAction::triggered, [&cuts] { ++cuts; });
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    w.click(1);

    QTest::keyClick(w.view, Qt::Key_Delete, Qt::ShiftModifier);
    settle();
    QCOMPARE(cuts, 1);
    QCOMPARE(w.labels().size(), 4);
}

QTEST_MAIN(TestInstrumentsView)
#include "tst_instrumentsview.moc"
