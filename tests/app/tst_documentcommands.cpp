#include "abstractsync.h"
#include "applicationenvironment.h"
#include "dialoghelpers.h"
#include "instrumentsview.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"
#include "instrumentsmodel.h"
#include "velkaapplication.h"
#include "velkamenubar.h"
#include "velkawindow.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QGraphicsView>
#include <QLineEdit>
#include <QPointer>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <QVBoxLayout>

// The application's document commands and the keys of focused widgets, in
// the running application: files opened from names, menus and dialogs, the
// examples and the manual beside the program.

namespace {

// Collects the URLs the desktop would open.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void openUrl(const QUrl &url) { urls << url; }
};

VelkaApplication *app()
{
    return VelkaApplication::instance();
}

bool isPlaying(VelkaWindow *window)
{
    AbstractSync *sync = window->controller()->sync();
    return sync && sync->isPlaying();
}

VelkaWindow *windowOf(const QString &fileName)
{
    for (VelkaWindow *window : std::as_const(app()->windows())) {
        if (window->controller()->fileName() == fileName)
            return window;
    }
    return nullptr;
}

void writeDocument(const QString &fileName, int tempo)
{
    QmdMemModel model;
    QmdVelkaController controller;
    controller.setModel(&model);
    controller.requestSetData(QStringLiteral("Tempo"), tempo, QmdIndex(), QmdRequestOptions(QStringLiteral("Tempo")));
    QSignalSpy saved(&controller, &QmdDocController::fileSaved);
    controller.requestSave(fileName);
    QVERIFY(saved.count() == 1 || saved.wait());
    controller.setModel(nullptr);
}

VelkaMenuBar *menuBarOf(VelkaWindow *window)
{
    return qobject_cast<VelkaMenuBar *>(window->menuBar());
}

// Keeps only the first window; the others close.
void keepOneWindow()
{
    while (app()->windows().size() > 1)
        delete app()->windows().last();
}

} // namespace

class TestDocumentCommands : public QObject
{
    Q_OBJECT

public:
    explicit TestDocumentCommands(const QString &work) : m_work(work) {}

private slots:
    void initTestCase();
    void cleanupTestCase();

    void untouchedStartupWindowTakesFirstFile();
    void sameFileTwiceOpensOneWindow();
    void openFileComesForward();
    void folderIsRefused();
    void cancelledOpenDialogKeepsItsState();
    void examplesOpen();
    void manualOpensBesideProgram();
    void focusedWidgetsKeepTheirKeys();
    void spaceOnCanvasTogglesOnce();
    void damagedFileAsOnlyWindowKeepsProgram();
    void exitAsksEveryChangedWindow();

private:
    QString file(const QString &name) const { return QDir(m_work).filePath(name); }

    QString m_work;
    QStringList m_placed;
};

void TestDocumentCommands::initTestCase()
{
    QVERIFY(app());
    QTRY_VERIFY(app()->settings());
    QTRY_COMPARE(app()->windows().size(), 1);
    for (const char *name : {"a", "b", "c"})
        writeDocument(file(QString::fromLatin1(name) + QStringLiteral(".vlk")), 100);

    // The examples and the manual as the build placed them beside the
    // program, copied beside this test.
    const QString programDir = QStringLiteral(VELKA_PROGRAM_DIR);
    const QString here = QCoreApplication::applicationDirPath();
    QDir(here).mkpath(QStringLiteral("Examples"));
    m_placed << here + QStringLiteral("/Examples");
    const QStringList examples = QDir(programDir + QStringLiteral("/Examples")).entryList({"*.vlk"}, QDir::Files);
    QVERIFY(!examples.isEmpty());
    for (const QString &example : examples)
        QVERIFY(QFile::copy(programDir + QStringLiteral("/Examples/") + example,
                            here + QStringLiteral("/Examples/") + example));
}

void TestDocumentCommands::cleanupTestCase()
{
    for (const QString &placed : std::as_const(m_placed)) {
        if (QFileInfo(placed).isDir())
            QDir(placed).removeRecursively();
        else
            QFile::remove(placed);
    }
}

void TestDocumentCommands::untouchedStartupWindowTakesFirstFile()
{
    VelkaWindow *startup = app()->windows().first();
    // A relative name: the window holds the absolute one.
    QDir::setCurrent(m_work);
    app()->openDocument(QStringLiteral("a.vlk"));
    QCOMPARE(app()->windows().size(), 1);
    QTRY_COMPARE(startup->controller()->fileName(), file(QStringLiteral("a.vlk")));
    QTRY_COMPARE(startup->windowTitle(), QStringLiteral("a[*]"));

    app()->openDocument(file(QStringLiteral("b.vlk")));
    QCOMPARE(app()->windows().size(), 2);
    QTRY_VERIFY(windowOf(file(QStringLiteral("b.vlk"))));
    QCOMPARE(startup->controller()->fileName(), file(QStringLiteral("a.vlk")));
}

void TestDocumentCommands::sameFileTwiceOpensOneWindow()
{
    const int before = int(app()->windows().size());
    app()->openDocuments({file(QStringLiteral("c.vlk")), QDir(m_work).filePath(QStringLiteral("./c.vlk"))});
    QCOMPARE(int(app()->windows().size()), before + 1);
    QTRY_VERIFY(windowOf(file(QStringLiteral("c.vlk"))));
}

void TestDocumentCommands::openFileComesForward()
{
    VelkaWindow *window = windowOf(file(QStringLiteral("a.vlk")));
    QVERIFY(window);
    window->showMinimized();
    QTRY_VERIFY(window->isMinimized());
    const int before = int(app()->windows().size());
    app()->openDocument(file(QStringLiteral("a.vlk")));
    QCOMPARE(int(app()->windows().size()), before);
    QVERIFY(!window->isMinimized());
    QTRY_VERIFY(window->isActiveWindow());
}

void TestDocumentCommands::folderIsRefused()
{
    const int before = int(app()->windows().size());
    app()->openDocument(m_work);
    QMessageBox *box = shownTopLevel<QMessageBox>();
    QVERIFY(box);
    QVERIFY2(box->text().contains(QStringLiteral("is a folder")), qPrintable(box->text()));
    QCOMPARE(int(app()->windows().size()), before);
    clickButton(box, QMessageBox::Ok);
    QTRY_VERIFY(!shownTopLevel<QMessageBox>());
}

void TestDocumentCommands::cancelledOpenDialogKeepsItsState()
{
    app()->settings()->remove(QStringLiteral("OpenDialogGeometry"));
    app()->settings()->remove(QStringLiteral("OpenDialogState"));
    bool nativeRefused = false;
    answerWhenShown<QFileDialog>([&](QFileDialog *dialog) {
        nativeRefused = dialog->testOption(QFileDialog::DontUseNativeDialog);
        QCOMPARE(dialog->nameFilters(), QStringList{QStringLiteral("Velka Network ( *.vlk)")});
        dialog->reject();
    });
    const int before = int(app()->windows().size());
    VelkaWindow *window = app()->windows().first();
    menuEntry(menuBarOf(window)->fileMenu(), QStringLiteral("&Open..."))->trigger();
    QVERIFY(nativeRefused);
    QVERIFY(!app()->settings()->value(QStringLiteral("OpenDialogGeometry")).toByteArray().isEmpty());
    QVERIFY(!app()->settings()->value(QStringLiteral("OpenDialogState")).toByteArray().isEmpty());
    QCOMPARE(int(app()->windows().size()), before);
}

void TestDocumentCommands::examplesOpen()
{
    VelkaMenuBar *bar = menuBarOf(app()->windows().first());
    bar->updateOpenExampleMenu();
    const QList<QAction *> entries = bar->openExampleMenu()->actions();
    QVERIFY(!entries.isEmpty());
    QString refused;
    std::unique_ptr<QTimer> watch(answerWhenShown<QMessageBox>([&](QMessageBox *box) {
        refused = box->text();
        clickButton(box, QMessageBox::Ok);
    }));
    QStringList names;
    for (QAction *entry : entries) {
        names << entry->text();
        entry->trigger();
        QTRY_VERIFY(windowOf(entry->data().toString()));
        QCOMPARE(QFileInfo(entry->data().toString()).baseName(), entry->text());
    }
    QStringList sorted = names;
    sorted.sort(Qt::CaseInsensitive);
    QCOMPARE(names, sorted);
    QTest::qWait(50);
    QVERIFY2(refused.isEmpty(), qPrintable(refused));
    keepOneWindow();
}

void TestDocumentCommands::manualOpensBesideProgram()
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "openUrl");
    const QString manual = QCoreApplication::applicationDirPath() + QStringLiteral("/Velka Manual.pdf");
    QVERIFY(QFile::copy(QStringLiteral(VELKA_PROGRAM_DIR "/Velka Manual.pdf"), manual));
    m_placed << manual;

    QAction *entry = menuEntry(menuBarOf(app()->windows().first())->helpMenu(), QStringLiteral("Velka &Manual"));
    QVERIFY(entry);
    entry->trigger();
    QCOMPARE(catcher.urls.size(), 1);
    QCOMPARE(catcher.urls.first().toLocalFile(), manual);
    QVERIFY(!shownTopLevel<QMessageBox>());

    // Gone: a message names where it was looked for.
    QFile::remove(manual);
    entry->trigger();
    QCOMPARE(catcher.urls.size(), 1);
    QMessageBox *box = shownTopLevel<QMessageBox>();
    QVERIFY(box);
    QCOMPARE(box->text(), QStringLiteral("The manual could not be opened."));
    QVERIFY(box->informativeText().endsWith(QStringLiteral("Velka Manual.pdf")));
    clickButton(box, QMessageBox::Ok);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

void TestDocumentCommands::focusedWidgetsKeepTheirKeys()
{
    VelkaWindow *window = app()->windows().first();
    QmdVelkaController *controller = window->controller();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));

    controller->requestAddInstrument();
    controller->requestAddInstrument();
    controller->requestAddNode(QmdVelka::TickPos(0, 0));
    QTRY_COMPARE(controller->ids(controller->instrumentsIndex()).size(), 2);
    QTRY_COMPARE(controller->ids(controller->findElementsIndex()).size(), 1);
    // The node's item comes after the document's change.
    QTRY_VERIFY((window->selectAll(), window->selectedElements().size() == 1));

    // Stand-ins for the inspector's fields.
    auto *panel = new QWidget;
    auto *layout = new QVBoxLayout(panel);
    auto *author = new QLineEdit;
    auto *check = new QCheckBox(QStringLiteral("Muted"));
    auto *instruments = new InstrumentsView;
    instruments->setModel(controller->instrumentsModel());
    instruments->setSelectionMode(QAbstractItemView::ExtendedSelection);
    instruments->setController(controller);
    layout->addWidget(author);
    layout->addWidget(check);
    layout->addWidget(instruments);
    QWidget *previous = window->inspectorDock()->widget();
    window->inspectorDock()->setWidget(panel);
    QSignalSpy playback(controller, &QmdVelkaController::playbackStateChanged);

    author->setFocus();
    QTRY_VERIFY(author->hasFocus());
    QTest::keyClicks(author, QStringLiteral("J S"));
    QCOMPARE(author->text(), QStringLiteral("J S"));

    check->setFocus();
    QTRY_VERIFY(check->hasFocus());
    QTest::keyClick(check, Qt::Key_Space);
    QVERIFY(check->isChecked());

    instruments->setFocus();
    QTRY_VERIFY(instruments->hasFocus());
    instruments->selectAll();
    QTest::keyClick(instruments, Qt::Key_Delete);
    QTRY_COMPARE(controller->ids(controller->instrumentsIndex()).size(), 0);
    QTest::qWait(50);
    QCOMPARE(controller->ids(controller->findElementsIndex()).size(), 1);

    QCOMPARE(playback.count(), 0);
    QVERIFY(!isPlaying(window));
    window->inspectorDock()->setWidget(previous);
    delete panel;
}

void TestDocumentCommands::spaceOnCanvasTogglesOnce()
{
    VelkaWindow *window = app()->windows().first();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTRY_VERIFY(window->controller()->sync());
    auto *canvas = window->findChild<QGraphicsView *>(QStringLiteral("networkView"));
    QVERIFY(canvas);
    canvas->setFocus();
    QTRY_VERIFY(canvas->hasFocus());
    QSignalSpy playback(window->controller(), &QmdVelkaController::playbackStateChanged);
    QTest::keyClick(canvas, Qt::Key_Space);
    QTRY_COMPARE(playback.count(), 1);
    QVERIFY(isPlaying(window));
    QTest::qWait(50);
    QCOMPARE(playback.count(), 1);
    QTest::keyClick(canvas, Qt::Key_Space);
    QTRY_COMPARE(playback.count(), 2);
    QVERIFY(!isPlaying(window));
}

void TestDocumentCommands::damagedFileAsOnlyWindowKeepsProgram()
{
    const QString damaged = file(QStringLiteral("damaged.vlk"));
    QFile bytes(damaged);
    QVERIFY(bytes.open(QIODevice::WriteOnly));
    bytes.write("<?xml version=\"1.0\"?><plist><dict><key>Tempo</key>");
    bytes.close();

    // Every window closes; the damaged file then comes as the only one.
    keepOneWindow();
    delete app()->windows().first();
    QVERIFY(app()->windows().isEmpty());

    QString text;
    answerWhenShown<QMessageBox>([&](QMessageBox *box) {
        text = box->text();
        clickButton(box, QMessageBox::Ok);
    });
    app()->openDocument(damaged);
    QTRY_VERIFY(!text.isEmpty());
    QVERIFY(text.startsWith(QStringLiteral("The network “damaged.vlk” could not be opened.")));
    QTest::qWait(50);
    QCOMPARE(app()->windows().size(), 1);
    VelkaWindow *window = app()->windows().first();
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("Untitled"));
    QVERIFY(window->controller()->fileName().isEmpty());

    // Still running: the event loop ends only when told to.
    QTimer::singleShot(50, app(), [] { QCoreApplication::exit(5); });
    QCOMPARE(app()->exec(), 5);
    QCOMPARE(app()->windows().size(), 1);
}

void TestDocumentCommands::exitAsksEveryChangedWindow()
{
    QPointer<VelkaWindow> changed = app()->windows().first();
    QPointer<VelkaWindow> unchanged = app()->newDocument();
    changed->controller()->requestSetData(QStringLiteral("Tempo"), 95, QmdIndex(),
                                          QmdRequestOptions(QStringLiteral("Tempo")));
    QTRY_VERIFY(!changed->controller()->isAtCleanState());

    // Cancelled: the changed window keeps the program running.
    int questions = 0;
    answerWhenShown<QMessageBox>([&](QMessageBox *box) {
        ++questions;
        clickButton(box, QMessageBox::Cancel);
    });
    QAction *exit = menuEntry(menuBarOf(changed)->fileMenu(), QStringLiteral("E&xit"));
    QVERIFY(exit);
    exit->trigger();
    QTRY_VERIFY(unchanged.isNull());
    QCOMPARE(questions, 1);
    QVERIFY(changed);
    QCOMPARE(app()->windows().size(), 1);

    // Discarded: the last window goes and the program ends.
    answerWhenShown<QMessageBox>([&](QMessageBox *box) {
        ++questions;
        clickButton(box, QMessageBox::Discard);
    });
    QTimer::singleShot(0, exit, &QAction::trigger);
    QTimer::singleShot(10000, app(), [] { QCoreApplication::exit(7); });
    QCOMPARE(app()->exec(), 0);
    QCOMPARE(questions, 2);
    QVERIFY(changed.isNull());
}

int main(int argc, char *argv[])
{
    return runWithApplication<TestDocumentCommands>(argc, argv);
}

#include "tst_documentcommands.moc"
