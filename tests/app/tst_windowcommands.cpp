#include "abstractsync.h"
#include "dialoghelpers.h"
#include "displayscale.h"
#include "engineplayerfactory.h"
#include "filemessages.h"
#include "networkscene.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"
#include "recentfiles.h"
#include "tickpos.h"
#include "velkaapplication.h"
#include "velkamenubar.h"
#include "velkawindow.h"

#include <QClipboard>
#include <QComboBox>
#include <QDockWidget>
#include <QFileDialog>
#include <QGraphicsView>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

// The document window's file, edit and zoom commands and its menu bar, on
// windows made without the application object.

namespace {

const QString TempoKey = QStringLiteral("Tempo");
const QString ToolKey = QStringLiteral("Tool");
const QString ZoomScaleKey = QStringLiteral("ZoomScale");

QSettings applicationSettings()
{
    return QSettings(VelkaApplication::tr("Velka"), VelkaApplication::applicationNameText());
}

QStringList recentFiles()
{
    QSettings settings = applicationSettings();
    return RecentFiles::read(&settings);
}

// Runs the request and waits until the window has seen its result.
bool saveAndWait(VelkaWindow &window, const QString &fileName)
{
    QSignalSpy saved(window.controller(), &QmdDocController::fileSaved);
    window.controller()->requestSave(fileName);
    return saved.count() == 1 || saved.wait();
}

bool setTempo(VelkaWindow &window, int tempo)
{
    QSignalSpy changed(window.controller(),
                       qOverload<const QmdIndex &, const QStringList &, QmdRequestId>(&QmdController::itemsChanged));
    window.controller()->requestSetData(TempoKey, tempo, QmdIndex(), QmdRequestOptions(QStringLiteral("Tempo")));
    return changed.count() > 0 || changed.wait();
}

// A window of its own, deleted when closed; made visible and active.
QPointer<VelkaWindow> shownWindow()
{
    auto *window = new VelkaWindow;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    window->activateWindow();
    QCoreApplication::processEvents();
    return window;
}

VelkaMenuBar *menuBarOf(VelkaWindow &window)
{
    return qobject_cast<VelkaMenuBar *>(window.menuBar());
}

bool clipboardHoldsElements()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasFormat(QStringLiteral("text/velka-elements"));
}

void settle()
{
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
}

} // namespace

class TestWindowCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void fileMessages_data();
    void fileMessages();
    void saveOfUntitledAsksForName();
    void recentFilesKeepEachFileOnceNewestFirst();
    void saveErrorNamesFileAndCode();
    void closeAsksAboutChanges_data();
    void closeAsksAboutChanges();
    void saveOfNamedDocumentClosesAfterSave();
    void loadErrorKeepsLastWindow();
    void otherFilesNameTheirReason_data();
    void otherFilesNameTheirReason();
    void loadSetsSelectionToolWithoutUndo();
    void loadWarningsAreShown();
    void replacedCharactersAreShown();
    void printWritesPdf();
    void failedPrintWarnsAndEndsBlock();
    void undoPastSaveAsks();
    void cutMakesOneDeleteStep();
    void zoomIsClampedWithoutUndo();
    void menuTextsAndShortcuts();
    void undoEntryNamesStep();
    void dialogDisablesWindowEntries();
    void reattachingConnectsOnce();
    void unknownToolFallsBack();
    void openRecentMenu();
    void deleteEntryDeletesInFocusedLineEdit();
    void editEntriesReachFocusedSpinAndComboBoxes_data();
    void editEntriesReachFocusedSpinAndComboBoxes();
    void linuxShortcutsReachTheirCommands();

private:
    QTemporaryDir m_dir;
};

void TestWindowCommands::initTestCase()
{
    setDisplayScale(96, 96);
    static EnginePlayerFactory factory;
    QmdVelkaController::setPlayerFactory(&factory);
    QVERIFY(m_dir.isValid());
}

void TestWindowCommands::cleanup()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QDialog *>(widget))
            widget->close();
    }
    settle();
    applicationSettings().remove(QStringLiteral("RecentFiles"));
}

void TestWindowCommands::fileMessages_data()
{
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");

    const QString permission = QStringLiteral("You may not have permission.");
    const QString unknown = QStringLiteral("An unknown error occurred.");
    QTest::newRow("save, permissions") << true << QStringLiteral("/some/folder/x.vlk") << int(QFile::PermissionsError)
                                       << QStringLiteral("The network could not be saved as “x.vlk”. ") + permission;
    QTest::newRow("save, read error") << true << QStringLiteral("/some/x.vlk") << int(QFile::ReadError)
                                      << QStringLiteral("The network could not be saved as “x.vlk”. ") + unknown;
    QTest::newRow("save, no folder") << true << QStringLiteral("x.vlk") << int(QFile::WriteError)
                                     << QStringLiteral("The network could not be saved as “Untitled”. ") + permission;
    QTest::newRow("load, read error") << false << QStringLiteral("/a/y.vlk") << int(QFile::ReadError)
                                      << QStringLiteral("The network “y.vlk” could not be opened. ") + permission;
    QTest::newRow("load, other") << false << QStringLiteral("/a/y.vlk") << int(QFile::ResourceError)
                                 << QStringLiteral("The network “y.vlk” could not be opened. ") + unknown;
}

void TestWindowCommands::fileMessages()
{
    QFETCH(bool, save);
    QFETCH(QString, fileName);
    QFETCH(int, error);
    QFETCH(QString, text);
    const auto fileError = QFile::FileError(error);
    QCOMPARE(save ? FileMessages::saveErrorText(fileName, fileError) : FileMessages::loadErrorText(fileName, fileError),
             text);
    QCOMPARE(FileMessages::codeText(fileError), QStringLiteral("Code: %1").arg(error));
    QCOMPARE(FileMessages::documentFilter(), QStringLiteral("Velka Network ( *.vlk)"));
}

void TestWindowCommands::saveOfUntitledAsksForName()
{
    QPointer<VelkaWindow> window = shownWindow();
    VelkaMenuBar *bar = menuBarOf(*window);
    QAction *saveEntry = menuEntry(bar->fileMenu(), QStringLiteral("&Save"));
    QVERIFY(saveEntry && saveEntry->isEnabled());

    saveEntry->trigger();
    auto *dialog = window->findChild<QFileDialog *>();
    QVERIFY(dialog);
    QTRY_VERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowModality(), Qt::WindowModal);
    QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
    QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).fileName(), QStringLiteral("Untitled.vlk"));
    QVERIFY(window->isBlockedByDialog());
    QVERIFY(!saveEntry->isEnabled());
    QVERIFY(!menuEntry(bar->fileMenu(), QStringLiteral("&Print..."))->isEnabled());

    const QString fileName = m_dir.filePath(QStringLiteral("named.vlk"));
    QSignalSpy saved(window->controller(), &QmdDocController::fileSaved);
    dialog->selectFile(fileName);
    static_cast<QDialog *>(dialog)->accept();
    QVERIFY(saved.count() == 1 || saved.wait());
    QCOMPARE(saved.at(0).at(0).toString(), fileName);
    QVERIFY(!window->isBlockedByDialog());
    QVERIFY(saveEntry->isEnabled());
    QTRY_COMPARE(window->windowTitle(), QStringLiteral("named[*]"));
    QVERIFY(applicationSettings().contains(QStringLiteral("SaveAsDialogState")));
    delete window;
}

void TestWindowCommands::recentFilesKeepEachFileOnceNewestFirst()
{
    VelkaWindow window;
    const QString first = m_dir.filePath(QStringLiteral("r0.vlk"));
    QVERIFY(saveAndWait(window, first));
    QVERIFY(saveAndWait(window, first));
    QCOMPARE(recentFiles(), QStringList{first});

    for (int i = 1; i <= 10; ++i)
        QVERIFY(saveAndWait(window, m_dir.filePath(QStringLiteral("r%1.vlk").arg(i))));
    const QStringList files = recentFiles();
    QCOMPARE(files.size(), 10);
    QCOMPARE(files.first(), m_dir.filePath(QStringLiteral("r10.vlk")));
    QVERIFY(!files.contains(first));
}

void TestWindowCommands::saveErrorNamesFileAndCode()
{
    // A plain file where the folder should be: no one may write there, not
    // even the administrator.
    const QString notAFolder = m_dir.filePath(QStringLiteral("plain"));
    QFile plain(notAFolder);
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();

    QPointer<VelkaWindow> window = shownWindow();
    QVERIFY(setTempo(*window, 100));
    QSignalSpy failed(window->controller(), &QmdDocController::fileSaveError);
    window->controller()->requestSave(notAFolder + QStringLiteral("/x.vlk"));
    QVERIFY(failed.count() == 1 || failed.wait());
    QMessageBox *box = nullptr;
    QTRY_VERIFY((box = window->findChild<QMessageBox *>()) && box->isVisible());
    QCOMPARE(box->windowModality(), Qt::WindowModal);
    QCOMPARE(box->windowTitle(), QStringLiteral("Velka"));
    QCOMPARE(box->text(), QStringLiteral("The network could not be saved as “x.vlk”. You may not have permission."));
    // The reason the controller found stands above the code.
    QVERIFY(!window->controller()->fileErrorString().isEmpty());
    QCOMPARE(box->informativeText(),
             window->controller()->fileErrorString()
                 + QStringLiteral("\nCode: %1").arg(int(failed.at(0).at(1).value<QFile::FileError>())));
    QVERIFY(!window->controller()->isAtCleanState());
    QVERIFY(!window->closeAfterSave());
    clickButton(box, QMessageBox::Ok);
    QVERIFY(window);
    delete window;
}

void TestWindowCommands::closeAsksAboutChanges_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closes");
    QTest::newRow("cancel") << int(QMessageBox::Cancel) << false;
    QTest::newRow("discard") << int(QMessageBox::Discard) << true;
    QTest::newRow("save, then cancel the name") << int(QMessageBox::Save) << false;
}

void TestWindowCommands::closeAsksAboutChanges()
{
    QFETCH(int, answer);
    QFETCH(bool, closes);

    QPointer<VelkaWindow> window = shownWindow();
    QVERIFY(setTempo(*window, 101));
    QString question;
    answerWhenShown<QMessageBox>([&](QMessageBox *box) {
        question = box->text();
        QVERIFY(window->isBlockedByDialog());
        clickButton(box, QMessageBox::StandardButton(answer));
    });
    window->close();
    QCOMPARE(question, QStringLiteral("Do you want to save the changes you made to the network “Untitled”?"));
    if (answer == QMessageBox::Save) {
        auto *dialog = window->findChild<QFileDialog *>();
        QVERIFY(dialog);
        QVERIFY(window->closeAfterSave());
        dialog->reject();
        settle();
        QVERIFY(!window->closeAfterSave());
    }
    if (closes)
        QTRY_VERIFY(window.isNull());
    settle();
    if (!closes) {
        QVERIFY(window);
        QVERIFY(!window->controller()->isAtCleanState());
        QCOMPARE(window->controller()->data(TempoKey).toInt(), 101);
        QVERIFY(!window->isBlockedByDialog());
        delete window;
    }
}

void TestWindowCommands::saveOfNamedDocumentClosesAfterSave()
{
    QPointer<VelkaWindow> window = shownWindow();
    const QString fileName = m_dir.filePath(QStringLiteral("closing.vlk"));
    QVERIFY(saveAndWait(*window, fileName));
    QVERIFY(setTempo(*window, 102));
    answerWhenShown<QMessageBox>([](QMessageBox *box) { clickButton(box, QMessageBox::Save); });
    window->close();
    QVERIFY(window);
    QTRY_VERIFY(window.isNull());

    // What was saved is the changed document.
    VelkaWindow reader;
    QSignalSpy loaded(reader.controller(), &QmdDocController::fileLoaded);
    reader.controller()->requestLoad(fileName);
    QVERIFY(loaded.count() == 1 || loaded.wait());
    QCOMPARE(reader.controller()->data(TempoKey).toInt(), 102);
}

void TestWindowCommands::loadErrorKeepsLastWindow()
{
    const QString damaged = m_dir.filePath(QStringLiteral("damaged.vlk"));
    QFile file(damaged);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<plist><dict><key>Tempo");
    file.close();

    // The only window stays, untitled and unchanged.
    QPointer<VelkaWindow> only = shownWindow();
    QString text;
    QString detail;
    answerWhenShown<QMessageBox>([&](QMessageBox *box) {
        text = box->text();
        detail = box->informativeText();
        QCOMPARE(box->windowModality(), Qt::ApplicationModal);
        clickButton(box, QMessageBox::Ok);
    });
    QSignalSpy failed(only->controller(), &QmdDocController::fileLoadError);
    only->controller()->requestLoad(damaged);
    QTRY_VERIFY(!text.isEmpty());
    QVERIFY(text.startsWith(QStringLiteral("The network “damaged.vlk” could not be opened.")));
    // A damaged file says what is wrong with it, not only a code.
    QVERIFY(!only->controller()->fileErrorString().isEmpty());
    QCOMPARE(detail, only->controller()->fileErrorString()
                         + QStringLiteral("\nCode: %1").arg(int(failed.at(0).at(1).value<QFile::FileError>())));
    settle();
    QVERIFY(only);
    QVERIFY(only->isVisible());
    QCOMPARE(only->windowTitle(), QStringLiteral("Untitled"));

    // With another window open, the one that failed goes.
    QPointer<VelkaWindow> failing = shownWindow();
    answerWhenShown<QMessageBox>([](QMessageBox *box) { clickButton(box, QMessageBox::Ok); });
    failing->controller()->requestLoad(damaged);
    QTRY_VERIFY(failing.isNull());
    QVERIFY(only);
    delete only;
}

void TestWindowCommands::otherFilesNameTheirReason_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");

    QTest::newRow("text file") << QStringLiteral("notes.txt") << QStringLiteral("This is not a Velka document.");
    QTest::newRow("picture") << QStringLiteral("photo.png") << QStringLiteral("This is not a Velka document.");
    QTest::newRow("truncated document") << QStringLiteral("cut.vlk")
                                        << QStringLiteral("The file is not well-formed at line ");
}

void TestWindowCommands::otherFilesNameTheirReason()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);
    const QString fileName = m_dir.filePath(name);
    if (name.endsWith(QLatin1String(".png"))) {
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        QVERIFY(picture.save(fileName));
    } else if (name.endsWith(QLatin1String(".vlk"))) {
        VelkaWindow source;
        QVERIFY(setTempo(source, 125));
        QVERIFY(saveAndWait(source, fileName));
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.resize(file.size() / 2));
    } else {
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Shopping list\n- milk\n- bread\n");
    }

    QPointer<VelkaWindow> window = shownWindow();
    QString text;
    QString detail;
    answerWhenShown<QMessageBox>([&](QMessageBox *box) {
        text = box->text();
        detail = box->informativeText();
        clickButton(box, QMessageBox::Ok);
    });
    window->controller()->requestLoad(fileName);
    QTRY_VERIFY(!text.isEmpty());
    // A file anyone may read is not a question of permission.
    QCOMPARE(text, QStringLiteral("The network “%1” could not be opened.").arg(name));
    QVERIFY2(detail.startsWith(reason), qPrintable(detail));
    QVERIFY2(detail.endsWith(QStringLiteral("\nCode: %1").arg(int(QFile::ReadError))), qPrintable(detail));
    settle();
    delete window;
}

void TestWindowCommands::loadSetsSelectionToolWithoutUndo()
{
    const QString fileName = m_dir.filePath(QStringLiteral("tool3.vlk"));
    {
        VelkaWindow writer;
        writer.controller()->requestSetData(ToolKey, 3, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
        QVERIFY(saveAndWait(writer, fileName));
    }
    VelkaWindow window;
    QSignalSpy loaded(window.controller(), &QmdDocController::fileLoaded);
    window.controller()->requestLoad(fileName);
    QVERIFY(loaded.count() == 1 || loaded.wait());
    QTRY_COMPARE(window.controller()->data(ToolKey).toInt(), 0);
    settle();
    QVERIFY(!window.controller()->canUndo());
    QVERIFY(window.controller()->isAtCleanState());
    QCOMPARE(recentFiles().value(0), fileName);
}

void TestWindowCommands::loadWarningsAreShown()
{
    const QString fileName = m_dir.filePath(QStringLiteral("warned.vlk"));
    {
        VelkaWindow writer;
        QVERIFY(setTempo(writer, 103));
        QVERIFY(saveAndWait(writer, fileName));
    }
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray contents = file.readAll();
    file.close();
    const int dict = contents.indexOf("<dict>");
    QVERIFY(dict > 0);
    contents.insert(dict + 6, "<key>Odd</key><integer>many</integer>");
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
    file.close();

    QPointer<VelkaWindow> window = shownWindow();
    window->controller()->requestLoad(fileName);
    QMessageBox *box = nullptr;
    QTRY_VERIFY((box = window->findChild<QMessageBox *>()) && box->isVisible());
    QCOMPARE(box->windowModality(), Qt::WindowModal);
    QVERIFY2(box->text().contains(QStringLiteral("“warned.vlk”")), qPrintable(box->text()));
    QVERIFY2(box->informativeText().contains(QStringLiteral("many")), qPrintable(box->informativeText()));
    QCOMPARE(window->controller()->data(TempoKey).toInt(), 103);
    clickButton(box, QMessageBox::Ok);
    delete window;
}

void TestWindowCommands::replacedCharactersAreShown()
{
    QPointer<VelkaWindow> window = shownWindow();
    window->controller()->requestSetData(QStringLiteral("Author"), QStringLiteral("bell\x07"), QmdIndex(),
                                         QmdRequestOptions(QStringLiteral("Author")));
    QVERIFY(saveAndWait(*window, m_dir.filePath(QStringLiteral("replaced.vlk"))));
    QMessageBox *box = nullptr;
    QTRY_VERIFY((box = window->findChild<QMessageBox *>()) && box->isVisible());
    QCOMPARE(box->text(),
             QStringLiteral("The network was saved as “replaced.vlk”, but characters it cannot hold were replaced."));
    QVERIFY2(box->informativeText().contains(QStringLiteral("Author")), qPrintable(box->informativeText()));
    clickButton(box, QMessageBox::Ok);
    delete window;
}

void TestWindowCommands::printWritesPdf()
{
    VelkaWindow window;
    window.controller()->requestAddNode(QmdVelka::TickPos(0, 0));
    settle();
    const QString pdf = m_dir.filePath(QStringLiteral("network.pdf"));
    window.printer()->setOutputFormat(QPrinter::PdfFormat);
    window.printer()->setOutputFileName(pdf);
    window.onPrintAccepted();
    QVERIFY(QFileInfo(pdf).size() > 0);
    QVERIFY(!window.findChild<QMessageBox *>());
}

void TestWindowCommands::failedPrintWarnsAndEndsBlock()
{
    QPointer<VelkaWindow> window = shownWindow();
    window->printer()->setOutputFormat(QPrinter::PdfFormat);
    window->printer()->setOutputFileName(m_dir.filePath(QStringLiteral("missing/folder/network.pdf")));
    window->print();
    auto *dialog = window->findChild<QPrintDialog *>();
    QVERIFY(dialog);
    QVERIFY(window->isBlockedByDialog());
    // The dialog hands its choice to the printer when accepted; keep the
    // output file the test chose.
    dialog->printer()->setOutputFileName(m_dir.filePath(QStringLiteral("missing/folder/network.pdf")));
    QMetaObject::invokeMethod(dialog, "done", Q_ARG(int, QDialog::Accepted));
    QMessageBox *box = nullptr;
    QTRY_VERIFY((box = window->findChild<QMessageBox *>()) && box->isVisible());
    QCOMPARE(box->text(), QStringLiteral("The network could not be printed."));
    QTRY_VERIFY(!window->isBlockedByDialog());
    clickButton(box, QMessageBox::Ok);
    delete window;
}

void TestWindowCommands::undoPastSaveAsks()
{
    QPointer<VelkaWindow> window = shownWindow();
    QmdVelkaController *controller = window->controller();
    QVERIFY(setTempo(*window, 110));
    QVERIFY(setTempo(*window, 111));
    QVERIFY(saveAndWait(*window, m_dir.filePath(QStringLiteral("undo.vlk"))));

    // Escape keeps the saved state.
    QString informative;
    QStringList buttons;
    answerWhenShown<QMessageBox>([&](QMessageBox *box) {
        QCOMPARE(box->text(), QStringLiteral("Warning"));
        informative = box->informativeText();
        for (QAbstractButton *button : box->buttons())
            buttons << button->text();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    window->undo();
    settle();
    QVERIFY(informative.startsWith(QStringLiteral("You are about to undo past the last point")));
    buttons.sort();
    QCOMPARE(buttons, (QStringList{"&Don't Undo", "&Undo"}));
    QCOMPARE(controller->data(TempoKey).toInt(), 111);
    QVERIFY(!window->isBlockedByDialog());

    // "&Undo" undoes.
    answerWhenShown<QMessageBox>([](QMessageBox *box) {
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == QStringLiteral("&Undo"))
                button->click();
        }
    });
    window->undo();
    QTRY_COMPARE(controller->data(TempoKey).toInt(), 110);

    // In a modified document nothing is asked, even when the step reaches
    // the saved state.
    window->undo();
    QTRY_COMPARE(controller->data(TempoKey).toInt(), 120);
    QVERIFY(!shownTopLevel<QMessageBox>());
    delete window;
}

void TestWindowCommands::cutMakesOneDeleteStep()
{
    VelkaWindow window;
    QmdVelkaController *controller = window.controller();
    controller->requestAddNode(QmdVelka::TickPos(0, 0));
    controller->requestAddNode(QmdVelka::TickPos(665280, 0));
    QTRY_COMPARE(controller->ids(controller->findElementsIndex()).size(), 2);
    settle();
    QGuiApplication::clipboard()->clear();

    // Nothing selected: nothing happens.
    window.scene()->clearSelection();
    QVERIFY(window.selectedElements().isEmpty());
    const QString undoBefore = controller->undoText();
    window.cut();
    settle();
    QCOMPARE(controller->undoText(), undoBefore);
    QVERIFY(!clipboardHoldsElements());

    window.selectAll();
    QCOMPARE(window.selectedElements().size(), 2);
    window.cut();
    QTRY_COMPARE(controller->undoText(), QStringLiteral("Delete"));
    QVERIFY(clipboardHoldsElements());
    QTRY_COMPARE(controller->ids(controller->findElementsIndex()).size(), 0);
    controller->requestUndo();
    QTRY_COMPARE(controller->undoText(), undoBefore);
}

void TestWindowCommands::zoomIsClampedWithoutUndo()
{
    VelkaWindow window;
    QmdVelkaController *controller = window.controller();
    QVERIFY(setTempo(window, 130));
    const QString undoText = controller->undoText();

    controller->requestSetData(ZoomScaleKey, 6.0, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    QTRY_COMPARE(controller->data(ZoomScaleKey).toDouble(), 6.0);
    window.zoomIn();
    QTRY_COMPARE(controller->data(ZoomScaleKey).toDouble(), 8.0);
    QVERIFY(!window.canZoomIn());

    controller->requestSetData(ZoomScaleKey, 0.3, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    QTRY_COMPARE(controller->data(ZoomScaleKey).toDouble(), 0.3);
    window.zoomOut();
    QTRY_COMPARE(controller->data(ZoomScaleKey).toDouble(), 0.25);
    QVERIFY(!window.canZoomOut());
    window.zoomActualSize();
    QTRY_COMPARE(controller->data(ZoomScaleKey).toDouble(), 1.0);

    QCOMPARE(controller->undoText(), undoText);
    QVERIFY(!controller->canRedo());
}

void TestWindowCommands::menuTextsAndShortcuts()
{
    VelkaWindow window;
    VelkaMenuBar *bar = menuBarOf(window);
    QVERIFY(bar);
    QStringList titles;
    for (QAction *menu : bar->actions())
        titles << menu->text();
    QCOMPARE(titles, QStringList({"&File", "&Edit", "&View", "&Control", "&Tool", "&Help"}));

    // The platform's bindings first; the keys a Linux user expects where the
    // platform gives none.
    const auto orElse = [](QKeySequence::StandardKey key, const QKeySequence &fallback) {
        const QList<QKeySequence> bindings = QKeySequence::keyBindings(key).mid(0, 1);
        return bindings.isEmpty() ? QList<QKeySequence>{fallback} : bindings;
    };
    const QList<QKeySequence> saveAsKeys = orElse(QKeySequence::SaveAs, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    const QList<QKeySequence> exitKeys = orElse(QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q));
    QList<QKeySequence> zoomInKeys = QKeySequence::keyBindings(QKeySequence::ZoomIn);
    if (!zoomInKeys.contains(QKeySequence(Qt::CTRL | Qt::Key_Equal)))
        zoomInKeys << QKeySequence(Qt::CTRL | Qt::Key_Equal);

    const struct
    {
        QMenu *menu;
        QString text;
        QList<QKeySequence> shortcuts;
    } entries[] = {
        {bar->fileMenu(), "&New", QKeySequence::keyBindings(QKeySequence::New).mid(0, 1)},
        {bar->fileMenu(), "Save &As...", saveAsKeys},
        {bar->fileMenu(), "Page Set&up...", {QKeySequence(QStringLiteral("Shift+Ctrl+P"))}},
        {bar->fileMenu(), "E&xit", exitKeys},
        {bar->editMenu(), "&Delete", QKeySequence::keyBindings(QKeySequence::Delete).mid(0, 1)},
        {bar->viewMenu(), "Actual Size", {QKeySequence(Qt::CTRL | Qt::Key_0)}},
        {bar->viewMenu(), "Zoom &In", zoomInKeys},
        {bar->viewMenu(), "Zoom &Out", QKeySequence::keyBindings(QKeySequence::ZoomOut).mid(0, 1)},
        {bar->viewMenu(), "Hide &Grid", {QKeySequence(Qt::CTRL | Qt::Key_Apostrophe)}},
        {bar->viewMenu(), "Turn &Snap to Grid Off", {QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_Apostrophe)}},
        {bar->controlMenu(), "Play", {QKeySequence(Qt::Key_Space)}},
        {bar->controlMenu(), "Go to &Start", {QKeySequence(Qt::CTRL | Qt::Key_Left)}},
        {bar->toolMenu(), "   &Selection", {QKeySequence(Qt::CTRL | Qt::Key_1)}},
        {bar->toolMenu(), "   &Node && Edge", {QKeySequence(Qt::CTRL | Qt::Key_3)}},
        {bar->helpMenu(), "Velka &Manual", {}},
        {bar->helpMenu(), "&About Velka", {}},
    };
    for (const auto &entry : entries) {
        QAction *action = menuEntry(entry.menu, entry.text);
        QVERIFY2(action, qPrintable(entry.text));
        QCOMPARE(action->shortcuts(), entry.shortcuts);
    }
    QVERIFY(!menuEntry(bar->toolMenu(), QStringLiteral("General"))->isEnabled());
    QVERIFY(!menuEntry(bar->toolMenu(), QStringLiteral("Elements"))->isEnabled());
}

void TestWindowCommands::undoEntryNamesStep()
{
    VelkaWindow window;
    VelkaMenuBar *bar = menuBarOf(window);
    QmdVelkaController *controller = window.controller();
    controller->requestAddNode(QmdVelka::TickPos(0, 0));
    settle();
    window.selectAll();
    window.del();
    QTRY_COMPARE(bar->editMenu()->actions().at(0)->text(), QStringLiteral("&Undo Delete"));
    QVERIFY(bar->editMenu()->actions().at(0)->isEnabled());
    bar->editMenu()->actions().at(0)->trigger();
    QTRY_COMPARE(bar->editMenu()->actions().at(1)->text(), QStringLiteral("&Redo Delete"));
    QVERIFY(bar->editMenu()->actions().at(1)->isEnabled());
}

void TestWindowCommands::dialogDisablesWindowEntries()
{
    QPointer<VelkaWindow> window = shownWindow();
    VelkaMenuBar *bar = menuBarOf(*window);
    const QList<QAction *> windowEntries{
        menuEntry(bar->fileMenu(), QStringLiteral("&Close")), menuEntry(bar->fileMenu(), QStringLiteral("&Save")),
        menuEntry(bar->fileMenu(), QStringLiteral("Save &As...")),
        menuEntry(bar->fileMenu(), QStringLiteral("&Print...")),
        menuEntry(bar->viewMenu(), QStringLiteral("Actual Size")),
        menuEntry(bar->viewMenu(), QStringLiteral("Zoom &In")),
        menuEntry(bar->controlMenu(), QStringLiteral("Play")),
        menuEntry(bar->toolMenu(), QStringLiteral("   &Zoom")), bar->editMenu()->menuAction(),
        bar->controlMenu()->menuAction(), bar->toolMenu()->menuAction()};
    QVERIFY(!windowEntries.contains(nullptr));
    for (QAction *action : windowEntries)
        QVERIFY2(action->isEnabled(), qPrintable(action->text()));

    window->pageSetup();
    auto *dialog = window->findChild<QPageSetupDialog *>();
    QVERIFY(dialog);
    for (QAction *action : windowEntries)
        QVERIFY2(!action->isEnabled(), qPrintable(action->text()));
    QVERIFY(menuEntry(bar->fileMenu(), QStringLiteral("&New"))->isEnabled());
    QVERIFY(menuEntry(bar->helpMenu(), QStringLiteral("&About Velka"))->isEnabled());

    dialog->reject();
    settle();
    for (QAction *action : windowEntries)
        QVERIFY2(action->isEnabled(), qPrintable(action->text()));
    delete window;
}

void TestWindowCommands::reattachingConnectsOnce()
{
    QPointer<VelkaWindow> window = shownWindow();
    VelkaMenuBar *bar = menuBarOf(*window);
    QmdVelkaController *controller = window->controller();
    const QString fileName = m_dir.filePath(QStringLiteral("counted.vlk"));
    QVERIFY(saveAndWait(*window, fileName));

    for (int i = 0; i < 20; ++i) {
        window->pageSetup();
        window->findChild<QPageSetupDialog *>()->reject();
        settle();
    }
    for (int i = 0; i < 5; ++i) {
        QSignalSpy reset(controller, &QmdController::modelReset);
        controller->requestLoad(fileName);
        QVERIFY(reset.count() > 0 || reset.wait());
    }
    settle();

    QSignalSpy saved(controller, &QmdDocController::fileSaved);
    menuEntry(bar->fileMenu(), QStringLiteral("&Save"))->trigger();
    QVERIFY(saved.count() == 1 || saved.wait());
    settle();
    QCOMPARE(saved.count(), 1);

    QVERIFY(setTempo(*window, 140));
    QVERIFY(setTempo(*window, 141));
    bar->editMenu()->actions().at(0)->trigger();
    QTRY_COMPARE(controller->data(TempoKey).toInt(), 140);
    settle();
    QCOMPARE(controller->data(TempoKey).toInt(), 140);

    QSignalSpy playback(controller, &QmdVelkaController::playbackStateChanged);
    menuEntry(bar->controlMenu(), QStringLiteral("Play"))->trigger();
    QTRY_VERIFY(controller->sync() && controller->sync()->isPlaying());
    settle();
    QCOMPARE(playback.count(), 1);
    QTRY_COMPARE(menuEntry(bar->controlMenu(), QStringLiteral("Pause")) != nullptr, true);
    controller->requestPause();

    QSignalSpy tool(controller,
                    qOverload<const QmdIndex &, const QStringList &, QmdRequestId>(&QmdController::itemsChanged));
    menuEntry(bar->toolMenu(), QStringLiteral("   &Voice Group"))->trigger();
    QTRY_COMPARE(controller->data(ToolKey).toInt(), 3);
    settle();
    int toolChanges = 0;
    for (const QList<QVariant> &change : std::as_const(tool))
        toolChanges += change.at(1).toStringList().contains(ToolKey);
    QCOMPARE(toolChanges, 1);
    QVERIFY(menuEntry(bar->toolMenu(), QStringLiteral("   &Voice Group"))->isChecked());
    delete window;
}

void TestWindowCommands::unknownToolFallsBack()
{
    VelkaWindow window;
    VelkaMenuBar *bar = menuBarOf(window);
    const QString undoText = window.controller()->undoText();
    window.controller()->requestSetData(ToolKey, 7, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    QTRY_COMPARE(window.controller()->data(ToolKey).toInt(), 0);
    settle();
    QCOMPARE(window.controller()->data(ToolKey).toInt(), 0);
    QVERIFY(menuEntry(bar->toolMenu(), QStringLiteral("   &Selection"))->isChecked());
    QCOMPARE(window.controller()->undoText(), undoText);
}

void TestWindowCommands::openRecentMenu()
{
    VelkaWindow window;
    VelkaMenuBar *bar = menuBarOf(window);
    QMenu *menu = bar->openRecentMenu();

    // No existing file: a lone disabled "&Clear Menu".
    {
        QSettings settings = applicationSettings();
        RecentFiles::add(&settings, m_dir.filePath(QStringLiteral("gone.vlk")));
    }
    bar->updateOpenRecentMenu();
    QCOMPARE(menu->actions().size(), 1);
    QCOMPARE(menu->actions().at(0)->text(), QStringLiteral("&Clear Menu"));
    QVERIFY(!menu->actions().at(0)->isEnabled());

    QDir(m_dir.path()).mkpath(QStringLiteral("a"));
    QDir(m_dir.path()).mkpath(QStringLiteral("b"));
    for (const QString &name : {QStringLiteral("a/net.vlk"), QStringLiteral("b/net.vlk"), QStringLiteral("solo.vlk")}) {
        QFile file(m_dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QSettings settings = applicationSettings();
        RecentFiles::add(&settings, file.fileName());
    }
    bar->updateOpenRecentMenu();
    QStringList texts;
    for (QAction *action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("|") : action->text());
    QCOMPARE(texts, QStringList({"solo", "net — b", "net — a", "|", "&Clear Menu"}));
    QCOMPARE(menu->actions().at(1)->data().toString(), m_dir.filePath(QStringLiteral("b/net.vlk")));
    QVERIFY(menu->actions().last()->isEnabled());

    menu->actions().last()->trigger();
    QVERIFY(recentFiles().isEmpty());
}

void TestWindowCommands::deleteEntryDeletesInFocusedLineEdit()
{
    QPointer<VelkaWindow> window = shownWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    window->controller()->requestAddNode(QmdVelka::TickPos(0, 0));
    settle();
    window->selectAll();
    QCOMPARE(window->selectedElements().size(), 1);

    auto *field = new QLineEdit(QStringLiteral("author name"));
    window->inspectorDock()->setWidget(field);
    field->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), field);
    field->setSelection(0, 7);

    VelkaMenuBar *bar = menuBarOf(*window);
    menuEntry(bar->editMenu(), QStringLiteral("&Delete"))->trigger();
    QCOMPARE(field->text(), QStringLiteral("name"));
    settle();
    QCOMPARE(window->selectedElements().size(), 1);
    QCOMPARE(window->controller()->undoText(), QStringLiteral("Node"));
    delete window;
}

void TestWindowCommands::editEntriesReachFocusedSpinAndComboBoxes_data()
{
    QTest::addColumn<bool>("comboBox");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("clipboardBefore");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("clipboard");

    const QString all = QStringLiteral("Select A&ll");
    const QString cut = QStringLiteral("Cu&t");
    const QString del = QStringLiteral("&Delete");
    const QString paste = QStringLiteral("&Paste");
    const QString kept = QStringLiteral("kept");
    QTest::newRow("tempo, delete") << false << QStringList{all, del} << kept << QString() << kept;
    QTest::newRow("tempo, cut") << false << QStringList{all, cut} << kept << QString() << QStringLiteral("121");
    QTest::newRow("tempo, paste") << false << QStringList{all, paste} << QStringLiteral("95")
                                  << QStringLiteral("95") << QStringLiteral("95");
    QTest::newRow("combo, delete") << true << QStringList{all, del} << kept << QString() << kept;
    QTest::newRow("combo, cut") << true << QStringList{all, cut} << kept << QString() << QStringLiteral("combo text");
    QTest::newRow("combo, paste") << true << QStringList{all, paste} << kept << kept << kept;
}

void TestWindowCommands::editEntriesReachFocusedSpinAndComboBoxes()
{
    QFETCH(bool, comboBox);
    QFETCH(QStringList, entries);
    QFETCH(QString, clipboardBefore);
    QFETCH(QString, text);
    QFETCH(QString, clipboard);

    QPointer<VelkaWindow> window = shownWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QVERIFY(setTempo(*window, 121));
    window->controller()->requestAddNode(QmdVelka::TickPos(0, 0));
    settle();
    window->selectAll();
    QCOMPARE(window->selectedElements().size(), 1);
    QGuiApplication::clipboard()->setText(clipboardBefore);

    QWidget *field = nullptr;
    QLineEdit *edit = nullptr;
    if (comboBox) {
        auto *box = new QComboBox;
        box->setEditable(true);
        box->setEditText(QStringLiteral("combo text"));
        window->inspectorDock()->setWidget(box);
        field = box;
        edit = box->lineEdit();
    } else {
        auto *tempo = window->findChild<QSpinBox *>(QStringLiteral("tempoSpinBox"));
        QVERIFY(tempo);
        QCOMPARE(tempo->text(), QStringLiteral("121"));
        field = tempo;
        edit = tempo->findChild<QLineEdit *>();
    }
    QVERIFY(edit);
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());

    VelkaMenuBar *bar = menuBarOf(*window);
    for (const QString &entry : std::as_const(entries)) {
        QAction *action = menuEntry(bar->editMenu(), entry);
        QVERIFY2(action && action->isEnabled(), qPrintable(entry));
        action->trigger();
    }
    QCOMPARE(edit->text(), text);
    QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
    settle();
    // The canvas's selection is neither cut nor deleted.
    QCOMPARE(window->selectedElements().size(), 1);
    QCOMPARE(window->controller()->undoText(), QStringLiteral("Node"));
    delete window;
}

void TestWindowCommands::linuxShortcutsReachTheirCommands()
{
    QPointer<VelkaWindow> window = shownWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QmdVelkaController *controller = window->controller();
    controller->requestSetData(ZoomScaleKey, 1.0, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    QTRY_COMPARE(controller->data(ZoomScaleKey).toDouble(), 1.0);
    QWidget *canvas = window->findChild<QGraphicsView *>();
    QVERIFY(canvas);
    canvas->setFocus();
    QTRY_VERIFY(canvas->hasFocus());

    QTest::keyClick(canvas, Qt::Key_Equal, Qt::ControlModifier);
    QTRY_COMPARE(controller->data(ZoomScaleKey).toDouble(), 2.0);

    QTest::keyClick(canvas, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QTRY_VERIFY(window->findChild<QFileDialog *>() && window->findChild<QFileDialog *>()->isVisible());
    window->findChild<QFileDialog *>()->reject();
    settle();

    QAction *exitEntry = menuEntry(menuBarOf(*window)->fileMenu(), QStringLiteral("E&xit"));
    QVERIFY(exitEntry->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Q)));
    delete window;
}

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication::setAttribute(Qt::AA_Use96Dpi, true);
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    TestWindowCommands test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windowcommands.moc"
