#include "displayscale.h"
#include "inspector.h"
#include "networkscene.h"
#include "qmdvelkacontroller.h"
#include "tickpos.h"
#include "velkawindow.h"

#include <QApplication>
#include <QDockWidget>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTest>

// The inspector in the dock of a document window: it edits the window's
// document and follows the window's canvas selection.
class TestVelkaWindowInspector : public QObject
{
    Q_OBJECT

private slots:
    void dockHoldsTheInspectorOfTheDocument();
};

void TestVelkaWindowInspector::dockHoldsTheInspectorOfTheDocument()
{
    auto *window = new VelkaWindow;
    window->show();
    auto *inspector = qobject_cast<Inspector *>(window->inspectorDock()->widget());
    QVERIFY(inspector);
    QCOMPARE(inspector->controller(), window->controller());
    QVERIFY(!window->inspectorDock()->isFloating());
    QCOMPARE(window->inspectorDock()->windowTitle(), QStringLiteral("Document"));

    // A new node comes selected on the canvas: the inspector shows it.
    window->controller()->requestAddNode(QmdVelka::TickPos(0, 0));
    QTRY_COMPARE(window->selectedElements().size(), 1);
    QTRY_COMPARE(inspector->stack()->currentIndex(), int(Inspector::NodePage));
    QCOMPARE(window->inspectorDock()->windowTitle(), QStringLiteral("Node"));

    delete window;
}

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication::setAttribute(Qt::AA_Use96Dpi, true);
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    setDisplayScale(96, 96);
    TestVelkaWindowInspector test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_velkawindowinspector.moc"
