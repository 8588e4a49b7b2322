#include "applicationenvironment.h"
#include "networkscene.h"
#include "networkview.h"
#include "velkaapplication.h"
#include "velkawindow.h"

#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

// Where and how large document windows open on a 1600 x 1000 screen: the
// first one maximised, later ones at the size of the window that was active,
// moved down and right of it, or, with none active, large enough for a
// canvas of at least 800 x 600.
class TestWindowPlacement : public QObject
{
    Q_OBJECT

public:
    explicit TestWindowPlacement(const QString &work) : m_work(work) {}

private slots:
    void initTestCase();
    void laterWindowTakesActiveWindowsSize();
    void laterWindowWithoutActiveOneHasRoomyCanvas();

private:
    QString m_work;
};

namespace {

VelkaApplication *app()
{
    return VelkaApplication::instance();
}

// The canvas's visible part, without the scroll bars.
QSize canvasSize(VelkaWindow *window)
{
    auto *view = window->findChild<NetworkView *>();
    return view ? view->viewport()->size() : QSize();
}

} // namespace

void TestWindowPlacement::initTestCase()
{
    QTRY_COMPARE(app()->windows().size(), 1);
    QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1600, 1000));
    VelkaWindow *first = app()->windows().first();
    QTRY_VERIFY(first->isVisible());
    QVERIFY(first->isMaximized());
}

void TestWindowPlacement::laterWindowTakesActiveWindowsSize()
{
    VelkaWindow *first = app()->windows().first();
    first->showNormal();
    first->setGeometry(120, 90, 1100, 760);
    first->activateWindow();
    QTRY_COMPARE(app()->focusWindow(), first);
    QTRY_COMPARE(first->geometry(), QRect(120, 90, 1100, 760));

    VelkaWindow *second = app()->newDocument();
    QVERIFY(second != first);
    QVERIFY(!second->isMaximized());
    QTRY_COMPARE(second->size(), first->size());
    QVERIFY(second->pos().x() > first->pos().x());
    QVERIFY(second->pos().y() > first->pos().y());
    QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().contains(second->frameGeometry()));

    // Cascading never leaves the screen.
    QTRY_COMPARE(app()->focusWindow(), second);
    for (int i = 0; i < 30; ++i) {
        VelkaWindow *next = app()->newDocument();
        QTRY_COMPARE(app()->focusWindow(), next);
        QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().contains(next->frameGeometry()));
    }
    while (app()->windows().size() > 1)
        delete app()->windows().last();
}

void TestWindowPlacement::laterWindowWithoutActiveOneHasRoomyCanvas()
{
    VelkaWindow *first = app()->windows().first();
    VelkaWindow *gone = app()->newDocument();
    QTRY_COMPARE(app()->focusWindow(), gone);
    delete gone;
    QCOMPARE(app()->focusWindow(), nullptr);

    VelkaWindow *window = app()->newDocument();
    QVERIFY(window != first);
    QVERIFY(!window->isMaximized());
    QTRY_VERIFY(window->isVisible());
    const QSize canvas = canvasSize(window);
    QVERIFY2(canvas.width() >= 800 && canvas.height() >= 600,
             qPrintable(QStringLiteral("%1 x %2").arg(canvas.width()).arg(canvas.height())));
    QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().contains(window->frameGeometry()));
    delete window;
}

int main(int argc, char *argv[])
{
    // A screen as large as the musician's, rather than the offscreen default.
    QTemporaryDir config;
    const QString screens = config.filePath(QStringLiteral("screens.json"));
    QFile file(screens);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(R"({"screens": [{"name": "wide", "x": 0, "y": 0, "width": 1600, "height": 1000,
                   "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screens));
    return runWithApplication<TestWindowPlacement>(argc, argv);
}

#include "tst_windowplacement.moc"
