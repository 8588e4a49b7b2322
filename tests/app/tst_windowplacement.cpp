#include "applicationenvironment.h"
#include "elementitem.h"
#include "networkscene.h"
#include "networkview.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"
#include "velkaapplication.h"
#include "velkawindow.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QSignalSpy>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

// Where and how large document windows open on a 1600 x 1000 screen: the
// first one maximised, later ones at the size of the window that was active,
// moved down and right of it, or, with none active, large enough for a
// canvas of at least 800 x 600; and a network drawn far from the origin
// shows when its file opens.
class TestWindowPlacement : public QObject
{
    Q_OBJECT

public:
    explicit TestWindowPlacement(const QString &work) : m_work(work) {}

private slots:
    void initTestCase();
    void laterWindowTakesActiveWindowsSize();
    void laterWindowWithoutActiveOneHasRoomyCanvas();
    void farNetworkShowsWhenOpened();
    void examplesShowWhole_data();
    void examplesShowWhole();

private:
    QString m_work;
};

namespace {

VelkaApplication *app()
{
    return VelkaApplication::instance();
}

VelkaWindow *windowOf(const QString &fileName)
{
    for (VelkaWindow *window : std::as_const(app()->windows())) {
        if (window->controller()->fileName() == fileName)
            return window;
    }
    return nullptr;
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
        const QRect frame = next->frameGeometry();
        QVERIFY2(QGuiApplication::primaryScreen()->availableGeometry().contains(frame),
                 qPrintable(QStringLiteral("%1,%2 %3x%4").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height())));
    }
    while (app()->windows().size() > 1)
        delete app()->windows().last();

    // Beside a maximised window: a step down and right, smaller by the step.
    first->showMaximized();
    first->activateWindow();
    QTRY_COMPARE(app()->focusWindow(), first);
    QTRY_VERIFY(first->isMaximized());
    VelkaWindow *beside = app()->newDocument();
    QTRY_COMPARE(app()->focusWindow(), beside);
    QVERIFY(!beside->isMaximized());
    QVERIFY(beside->pos().x() > first->pos().x());
    QVERIFY(beside->pos().y() > first->pos().y());
    QVERIFY(beside->width() >= first->width() - 100);
    QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().contains(beside->frameGeometry()));
    delete beside;
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

void TestWindowPlacement::farNetworkShowsWhenOpened()
{
    constexpr qint64 P = 665280;
    const QString fileName = QDir(m_work).filePath(QStringLiteral("far.vlk"));
    {
        QmdMemModel model;
        QmdVelkaController controller;
        controller.setModel(&model);
        for (const QPoint &at : {QPoint(60, 40), QPoint(62, 40), QPoint(61, 42)})
            controller.requestAddNode(QmdVelka::TickPos(at.x() * P, at.y() * P));
        controller.requestSetData(QStringLiteral("ZoomScale"), 1.0, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
        QSignalSpy saved(&controller, &QmdDocController::fileSaved);
        controller.requestSave(fileName);
        QVERIFY(saved.count() == 1 || saved.wait());
        controller.setModel(nullptr);
    }

    app()->openDocument(fileName);
    VelkaWindow *window = nullptr;
    QTRY_VERIFY((window = windowOf(fileName)));
    auto *view = window->findChild<NetworkView *>();
    QVERIFY(view);
    QTRY_COMPARE(window->scene()->elementItems().size(), 3);
    const auto someNodeShows = [view, window] {
        const QRectF visible = view->mapToScene(view->viewport()->rect()).boundingRect();
        for (ElementItem *item : window->scene()->elementItems()) {
            if (item->graphicsItem()->sceneBoundingRect().intersects(visible))
                return true;
        }
        return false;
    };
    QTRY_VERIFY(someNodeShows());
    view->grab().save(QDir(m_work).filePath(QStringLiteral("far.png")));
}

void TestWindowPlacement::examplesShowWhole_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("maximised");

    const QDir examples(QStringLiteral(VELKA_PROGRAM_DIR "/Examples"));
    const QStringList names = examples.entryList({QStringLiteral("*.vlk")}, QDir::Files, QDir::Name);
    QCOMPARE(names.size(), 7);
    for (const QString &name : names) {
        QTest::addRow("%s, maximised", qPrintable(name)) << examples.filePath(name) << true;
        QTest::addRow("%s, later window", qPrintable(name)) << examples.filePath(name) << false;
    }
}

// Every element of an example, its text included, lies in the canvas as
// the example opens, in a maximised window and in a later one.
void TestWindowPlacement::examplesShowWhole()
{
    QFETCH(QString, fileName);
    QFETCH(bool, maximised);
    VelkaWindow *first = app()->windows().first();
    first->showMaximized();
    first->activateWindow();
    QTRY_COMPARE(app()->focusWindow(), first);
    VelkaWindow *window = first;
    if (!maximised) {
        // No window active: the later window gets the default size.
        VelkaWindow *gone = app()->newDocument();
        QTRY_COMPARE(app()->focusWindow(), gone);
        delete gone;
        window = app()->newDocument();
        QVERIFY(!window->isMaximized());
    }
    QSignalSpy loaded(window->controller(), &QmdDocController::fileLoaded);
    window->controller()->requestLoad(fileName);
    QVERIFY(loaded.count() == 1 || loaded.wait());
    auto *view = window->findChild<NetworkView *>();
    QVERIFY(view);
    QTRY_VERIFY(!window->scene()->elementItems().isEmpty());
    QTest::qWait(50);
    const QRectF visible = view->mapToScene(view->viewport()->rect()).boundingRect();
    const QString picture = QStringLiteral("/tmp/velka-example-%1-%2.png")
                                .arg(QFileInfo(fileName).baseName().replace(QLatin1Char(' '), QLatin1Char('-')),
                                     maximised ? QStringLiteral("maximised") : QStringLiteral("later"));
    window->grab().save(picture);
    for (ElementItem *item : window->scene()->elementItems()) {
        const QRectF drawn = item->graphicsItem()->sceneBoundingRect();
        QVERIFY2(visible.contains(drawn),
                 qPrintable(QStringLiteral("element %1 at %2,%3 %4x%5 outside %6,%7 %8x%9 (%10)")
                                .arg(item->id())
                                .arg(drawn.x()).arg(drawn.y()).arg(drawn.width()).arg(drawn.height())
                                .arg(visible.x()).arg(visible.y()).arg(visible.width()).arg(visible.height())
                                .arg(picture)));
    }
    if (window != first)
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
