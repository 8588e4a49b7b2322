#include "abstractsync.h"
#include "csettingschangevalueevent.h"
#include "inspector.h"
#include "midiinstrument.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"
#include "recentfiles.h"
#include "settingscontroller.h"
#include "shareddialogs.h"
#include "applicationenvironment.h"
#include "velkaapplication.h"
#include "velkawindow.h"

#include <QColorDialog>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QSplashScreen>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

// The running application in this process, started the way main() starts it,
// with one command-line argument that names a missing file. Later launches
// are the real program, started as processes that find this one running.

namespace {

// The texts the splash's step line showed, as they were painted.
class StepRecorder : public QObject
{
public:
    QStringList steps;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->objectName() == QLatin1String("launchInfoLabel")) {
            const QString text = static_cast<QLabel *>(watched)->text();
            if (steps.value(steps.size() - 1) != text)
                steps << text;
        }
        return false;
    }
};

QSplashScreen *splashScreen()
{
    QSplashScreen *found = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *splash = qobject_cast<QSplashScreen *>(widget)) {
            if (found)
                return nullptr; // there must be one only
            found = splash;
        }
    }
    return found;
}

bool isPlaying(VelkaWindow *window)
{
    AbstractSync *sync = window->controller()->sync();
    return sync && sync->isPlaying();
}

} // namespace

class TestVelkaApplication : public QObject
{
    Q_OBJECT

public:
    TestVelkaApplication(StepRecorder *steps, const QString &workFolder)
        : m_steps(steps), m_work(workFolder)
    {
    }

public slots:
    void takeColor(const QColor &color) { m_color = color; }

private slots:
    void initTestCase();

    void splashShowsTheStepsInOrder();
    void missingFileArgumentGivesOneUntitledWindow();
    void emptyStoreEnablesMidiAndOpensNoPort();
    void absentStoredPortStaysStored();
    void secondInitDoesNothing();
    void windowInspectorFollowsThePortLists();
    void aboutBoxShowsTheVersionAndHidesOnClick();
    void sharedColorDialogReachesItsReceiver();
    void spaceTogglesTheFocusWindowOncePerPress();
    void spaceTypedIntoAFieldDoesNotToggle();
    void laterLaunchWithoutArgumentsOpensANewWindow();
    void laterLaunchOpensItsFileOnce();
    void closingTheLastWindowEndsWithZero();

private:
    VelkaApplication *app() const { return VelkaApplication::instance(); }
    // Runs the program from `folder` and returns its exit code: -1 when it did
    // not end within LaunchLimitMs, -4 when it says nobody answered it.
    int launch(const QStringList &arguments, const QString &folder);

    // A later launch waits up to 5 s for the answer. It ends well within 2 s on
    // an idle machine; the bound leaves room for a sanitizer build's start on a
    // loaded one while still telling an answer from a time-out.
    static constexpr int LaunchLimitMs = 4500;

    StepRecorder *m_steps;
    QString m_work;
    QColor m_color;
};

void TestVelkaApplication::initTestCase()
{
    QVERIFY(app());
    QVERIFY(!app()->isRunningElsewhere());
    QTRY_VERIFY(app()->settings());
    QTRY_COMPARE(app()->windows().size(), 1);
    QTRY_VERIFY(!splashScreen()->isVisible());
}

void TestVelkaApplication::splashShowsTheStepsInOrder()
{
    QCOMPARE(m_steps->steps, (QStringList{"Launching...", "Loading settings...", "Initializing MIDI...",
                                          "Loading user interface..."}));
}

void TestVelkaApplication::missingFileArgumentGivesOneUntitledWindow()
{
    QCOMPARE(app()->windows().size(), 1);
    VelkaWindow *window = app()->windows().first();
    QCOMPARE(window->windowTitle(), QStringLiteral("Untitled"));
    QVERIFY(window->controller()->fileName().isEmpty());
    QVERIFY(window->isVisible());
    QVERIFY(window->testAttribute(Qt::WA_DeleteOnClose));
}

void TestVelkaApplication::emptyStoreEnablesMidiAndOpensNoPort()
{
    QSettings *settings = app()->settings();
    QTRY_VERIFY(settings->contains(QStringLiteral("MidiInputEnabled")));
    QTRY_VERIFY(settings->contains(QStringLiteral("MidiThruEnabled")));
    QCOMPARE(settings->value(QStringLiteral("MidiInputEnabled")).toBool(), true);
    QCOMPARE(settings->value(QStringLiteral("MidiThruEnabled")).toBool(), true);
    QVERIFY(!settings->contains(QStringLiteral("MidiInputPort")));
    QVERIFY(!app()->thruInstrument()->isOpen());
    QVERIFY(app()->thruInstrument()->state() != AbstractOutputThread::Playing);
    // No MIDI system in this process: the lists are empty and stay so.
    QVERIFY(app()->sortedMidiInputPortNames().isEmpty());
    QVERIFY(app()->sortedMidiOutputPortNames().isEmpty());
    QVERIFY(app()->thruSync()->isPlaying());
}

void TestVelkaApplication::absentStoredPortStaysStored()
{
    SettingsController *controller = app()->settingsController();
    QVERIFY(controller);
    QCoreApplication::postEvent(controller,
                                new CSettingsChangeValueEvent(QStringLiteral("MidiThruPort"),
                                                              QStringLiteral("Absent Port 3")));
    QTRY_COMPARE(app()->settings()->value(QStringLiteral("MidiThruPort")).toString(),
                 QStringLiteral("Absent Port 3"));
    app()->pollMidiPorts();
    QTest::qWait(50);
    QCOMPARE(app()->settings()->value(QStringLiteral("MidiThruPort")).toString(),
             QStringLiteral("Absent Port 3"));
    QVERIFY(!app()->thruInstrument()->isOpen());
}

void TestVelkaApplication::secondInitDoesNothing()
{
    QSettings *settings = app()->settings();
    MidiInstrument *thru = app()->thruInstrument();
    app()->init();
    QCoreApplication::processEvents();
    QCOMPARE(app()->settings(), settings);
    QCOMPARE(app()->thruInstrument(), thru);
    QCOMPARE(app()->windows().size(), 1);
}

void TestVelkaApplication::windowInspectorFollowsThePortLists()
{
    VelkaWindow *window = app()->windows().value(0);
    QVERIFY(window);
    auto *inspector = qobject_cast<Inspector *>(window->inspectorDock()->widget());
    QVERIFY(inspector);
    QCOMPARE(inspector->midiInputPortNames(), app()->sortedMidiInputPortNames());
    QCOMPARE(inspector->midiOutputPortNames(), app()->sortedMidiOutputPortNames());

    // Whenever the application announces new lists, the panel takes them.
    const QStringList stale{QStringLiteral("gone:port")};
    inspector->setMidiInputPortNames(stale);
    inspector->setMidiOutputPortNames(stale);
    emit app()->midiInputPortsChanged();
    QCOMPARE(inspector->midiInputPortNames(), app()->sortedMidiInputPortNames());
    QCOMPARE(inspector->midiOutputPortNames(), stale);
    emit app()->midiOutputPortsChanged();
    QCOMPARE(inspector->midiOutputPortNames(), app()->sortedMidiOutputPortNames());
}

void TestVelkaApplication::aboutBoxShowsTheVersionAndHidesOnClick()
{
    QSplashScreen *splash = splashScreen();
    QVERIFY(splash);
    app()->showAppAbout();
    QVERIFY(splash->isVisible());
    QCOMPARE(splash->size(), QSize(600, 360));
    QCOMPARE(splash->findChild<QLabel *>(QStringLiteral("launchInfoLabel"))->text(), QString());
    QCOMPARE(splash->findChild<QLabel *>(QStringLiteral("versionInfoLabel"))->text(),
             QStringLiteral("1.6.0.695"));
    QCOMPARE(VelkaApplication::versionString(), QStringLiteral("1.6.0.695"));
    if (qEnvironmentVariableIsSet("VELKA_TEST_PICTURES"))
        splash->grab().save(QDir(qEnvironmentVariable("VELKA_TEST_PICTURES")).filePath("about.png"));

    QTest::mouseClick(splash, Qt::LeftButton, Qt::NoModifier, QPoint(300, 180));
    QTRY_VERIFY(!splash->isVisible());
    app()->showAppAbout();
    QCOMPARE(splashScreen(), splash);
    QVERIFY(splash->isVisible());
    QTest::mouseClick(splash, Qt::LeftButton);
    QTRY_VERIFY(!splash->isVisible());
}

void TestVelkaApplication::sharedColorDialogReachesItsReceiver()
{
    QColorDialog *dialog = SharedDialogs::instance()->colorDialog();
    QVERIFY(!dialog->isVisible());
    QVERIFY(app()->connectAppColorDialog(this, SLOT(takeColor(QColor))));
    QCOMPARE(app()->appColorDialogReceiver(), this);

    app()->updateAppColorDialog(Qt::blue);
    QCOMPARE(dialog->currentColor(), QColor(Qt::blue));
    QVERIFY(!m_color.isValid()); // shown, not sent
    dialog->setCurrentColor(Qt::red);
    QCOMPARE(m_color, QColor(Qt::red));

    app()->showAppColorDialog();
    QVERIFY(app()->isAppColorDialogVisible());
    app()->disconnectAppColorDialog();
    QCOMPARE(app()->appColorDialogReceiver(), nullptr);
    dialog->setCurrentColor(Qt::green);
    QCOMPARE(m_color, QColor(Qt::red));
    dialog->hide();
}

void TestVelkaApplication::spaceTogglesTheFocusWindowOncePerPress()
{
    VelkaWindow *window = app()->windows().first();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTRY_COMPARE(app()->focusWindow(), window);
    QTRY_VERIFY(window->controller()->sync());
    QVERIFY(!isPlaying(window));
    QSignalSpy toggled(window->controller(), &QmdVelkaController::playbackStateChanged);

    // To the focused canvas surface, which leaves the key to its window.
    QWidget *focused = QApplication::focusWidget();
    QVERIFY(focused && focused->window() == window);
    QTest::keyClick(focused, Qt::Key_Space);
    QTRY_COMPARE(toggled.count(), 1);
    QVERIFY(isPlaying(window));

    // A held key repeats: the repeats change nothing.
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
    QCoreApplication::sendEvent(window, &repeat);
    QTest::qWait(20);
    QCOMPARE(toggled.count(), 1);

    QTest::keyClick(window, Qt::Key_Space);
    QTRY_COMPARE(toggled.count(), 2);
    QVERIFY(!isPlaying(window));
    QTest::qWait(20);
    QCOMPARE(toggled.count(), 2);
}

void TestVelkaApplication::spaceTypedIntoAFieldDoesNotToggle()
{
    VelkaWindow *window = app()->windows().first();
    QTRY_COMPARE(app()->focusWindow(), window);
    auto *field = new QLineEdit(window->centralWidget());
    field->show();
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());
    QTest::keyClicks(field, QStringLiteral("a b"));
    QCOMPARE(field->text(), QStringLiteral("a b"));
    QTest::qWait(20);
    QVERIFY(!isPlaying(window));
    delete field;
}

int TestVelkaApplication::launch(const QStringList &arguments, const QString &folder)
{
    QProcess later;
    later.setWorkingDirectory(folder);
    later.start(QStringLiteral(VELKA_EXECUTABLE), arguments);
    if (!later.waitForStarted(5000))
        return -2;
    // This process must keep serving its socket while the launch waits.
    QDeadlineTimer deadline(LaunchLimitMs);
    while (later.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        later.waitForFinished(10);
    }
    if (later.state() != QProcess::NotRunning) {
        later.kill();
        later.waitForFinished();
        return -1;
    }
    const QByteArray output = later.readAllStandardError();
    if (output.contains("did not answer"))
        return -4;
    return later.exitStatus() == QProcess::NormalExit ? later.exitCode() : -3;
}

void TestVelkaApplication::laterLaunchWithoutArgumentsOpensANewWindow()
{
    QCOMPARE(app()->windows().size(), 1);
    QCOMPARE(launch({}, m_work), 0);
    QTRY_COMPARE(app()->windows().size(), 2);
    VelkaWindow *added = app()->windows().last();
    QCOMPARE(added->windowTitle(), QStringLiteral("Untitled"));
    added->close();
    QTRY_COMPARE(app()->windows().size(), 1);
}

void TestVelkaApplication::laterLaunchOpensItsFileOnce()
{
    QDir work(m_work);
    QVERIFY(work.mkpath(QStringLiteral("elsewhere/sub")));
    const QString path = work.filePath(QStringLiteral("elsewhere/sub/doc.vlk"));
    {
        QmdMemModel model;
        QmdVelkaController document;
        document.setModel(&model);
        QSignalSpy saved(&document, &QmdDocController::fileSaved);
        document.requestSave(path);
        QTRY_COMPARE(saved.count(), 1);
    }

    // The untouched start-up window takes the first file opened.
    VelkaWindow *startup = app()->windows().first();
    QCOMPARE(launch({QStringLiteral("sub/doc.vlk")}, work.filePath(QStringLiteral("elsewhere"))), 0);
    QTRY_COMPARE(startup->controller()->fileName(), path);
    QCOMPARE(app()->windows().size(), 1);
    QTRY_COMPARE(startup->windowTitle(), QStringLiteral("doc[*]"));
    QTRY_COMPARE(RecentFiles::read(app()->settings()).value(0), path);

    // Named again, from another folder, it is brought forward, not loaded again.
    QSignalSpy loaded(startup->controller(), &QmdDocController::fileLoaded);
    QCOMPARE(launch({path}, m_work), 0);
    QTest::qWait(100);
    QCOMPARE(loaded.count(), 0);
    QCOMPARE(app()->windows().size(), 1);
}

void TestVelkaApplication::closingTheLastWindowEndsWithZero()
{
    QCOMPARE(app()->windows().size(), 1);
    QPointer<VelkaWindow> last = app()->windows().first();
    QTimer::singleShot(0, last, &QWidget::close);
    // Guards against a loop that never ends.
    QTimer::singleShot(10000, app(), [] { QCoreApplication::exit(7); });
    QCOMPARE(app()->exec(), 0);
    QVERIFY(last.isNull());
    QVERIFY(app()->windows().isEmpty());
    QCOMPARE(app()->focusWindow(), nullptr);
}

int main(int argc, char *argv[])
{
    // This process, and the launches it starts, keep to their own instance
    // and store, with no MIDI system.
    ApplicationEnvironment environment;
    if (!environment.isValid())
        return 1;

    QByteArray program(argv[0]);
    QByteArray missing = QFile::encodeName(QDir(environment.workPath()).filePath(QStringLiteral("missing.vlk")));
    int appArgc = 2;
    char *appArgv[] = {program.data(), missing.data(), nullptr};
    VelkaApplication app(appArgc, appArgv);
    StepRecorder steps;
    // The splash painted its first step when it was shown; the recorder is
    // installed before the event loop first runs, so it sees every later one.
    if (QSplashScreen *splash = splashScreen()) {
        auto *label = splash->findChild<QLabel *>(QStringLiteral("launchInfoLabel"));
        if (splash->isVisible() && label) {
            steps.steps << label->text();
            label->installEventFilter(&steps);
        }
    }
    TestVelkaApplication test(&steps, environment.workPath());
    return QTest::qExec(&test, argc, argv);
}

#include "tst_velkaapplication.moc"
