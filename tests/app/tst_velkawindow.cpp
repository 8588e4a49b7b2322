#include "abstractsync.h"
#include "debuginstrument.h"
#include "dialoghelpers.h"
#include "displayscale.h"
#include "networkscene.h"
#include "networkview.h"
#include "playerfactory.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"
#include "qwpcombobox.h"
#include "tickpos.h"
#include "velkaapplication.h"
#include "velkawindow.h"
#include "voicegroup.h"

#include "ui_ToolChooserForm.h"
#include "ui_VelkaWindowForm.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QGraphicsItem>
#include <QGraphicsView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <atomic>
#include <limits>
#include <memory>

namespace {

constexpr quint64 P = 665280;

// A clock whose position the test sets by hand; it counts the calls that
// start or stop it.
class HandSetSync : public AbstractSync
{
public:
    using AbstractSync::AbstractSync;

    quint64 nanoseconds = 0;
    quint64 tick = 0;
    quint64 beatTick = 0;
    std::atomic<bool> playing{false};
    std::atomic<int> setPlayingCalls{0};

    QString type() const override { return QStringLiteral("test"); }
    QString description() const override { return QStringLiteral("Test"); }
    bool isPlaying() const override { return playing; }
    void setPlaying(bool play) override
    {
        ++setPlayingCalls;
        playing = play;
    }
    uint tempo() const override { return 120; }
    uint principalsToBeatsNumerator() const override { return 1; }
    uint principalsToBeatsDenominator() const override { return 1; }
    quint64 currentNanoseconds() const override { return nanoseconds; }
    quint64 currentTick() const override { return tick; }
    quint64 currentBeatTick() const override { return beatTick; }
    quint64 nanosecondsToTicks(quint64 ns) const override { return ns; }
    quint64 ticksToNanoseconds(quint64 ticks) const override { return ticks; }
    quint64 nanosecondsToBeatTicks(quint64 ns) const override { return ns; }
    quint64 beatTicksToNanoseconds(quint64 beatTicks) const override { return beatTicks; }
    quint64 ticksToBeatTicks(quint64 ticks) const override { return ticks; }
    quint64 beatTicksToTicks(quint64 beatTicks) const override { return beatTicks; }
    quint64 counterNanosecondsAtTick(quint64) const override { return std::numeric_limits<quint64>::max(); }
    quint64 counterNanosecondsAtBeatTick(quint64) const override { return std::numeric_limits<quint64>::max(); }
    void setTempo(uint) override {}
    void setPrincipalsToBeatsNumerator(uint) override {}
    void setPrincipalsToBeatsDenominator(uint) override {}
};

// Hand-set clocks; with `withPlayers`, the engine's voice groups and silent
// instruments as well.
class TestFactory : public PlayerFactory
{
public:
    bool withPlayers = false;

    AbstractSync *createSync(const QString &, QObject *parent) override { return new HandSetSync(parent); }
    InstrumentPlayer *createInstrument(const QString &, QmdItemId instrument) override
    {
        return withPlayers ? new DebugInstrument(instrument) : nullptr;
    }
    VoicePlayer *createVoiceGroup(QmdItemId group, QmdVelkaController *controller) override
    {
        return withPlayers ? new VoiceGroup(group, controller) : nullptr;
    }
};

void settle()
{
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
}

HandSetSync *clockOf(VelkaWindow &window)
{
    return dynamic_cast<HandSetSync *>(window.controller()->sync());
}

// The document's divisions of a principal; an invalid value leaves the key unset.
void setDivisions(VelkaWindow &window, const QVariant &divs)
{
    if (!divs.isValid())
        return;
    window.controller()->requestSetData(QStringLiteral("DivsPerPrincipal"), divs, QmdIndex(),
                                        QmdRequestOptions(Qmd::NoUndoHistory));
    settle();
}

QSettings applicationSettings()
{
    return QSettings(VelkaApplication::tr("Velka"), VelkaApplication::applicationNameText());
}

// Writes a document holding the given root values.
void writeDocument(const QString &fileName, const QHash<QString, QVariant> &values)
{
    QmdMemModel model;
    QmdVelkaController controller;
    controller.setModel(&model);
    controller.requestSetData(values, QmdIndex(), QmdRequestOptions(QStringLiteral("Set")));
    QSignalSpy saved(&controller, &QmdDocController::fileSaved);
    controller.requestSave(fileName);
    QVERIFY(saved.count() == 1 || saved.wait());
    controller.setModel(nullptr);
}

QString programTemplate()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/template.vlk");
}

template <class T>
T *child(QObject &parent, const char *name)
{
    T *found = parent.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qWarning("no child %s", name);
    return found;
}

} // namespace

class TestVelkaWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void formsHaveTheirGeometry();
    void newWindowIsUntitledAtDefaultZoom();
    void templateComesFromSettingOrProgramFolder_data();
    void templateComesFromSettingOrProgramFolder();
    void titleFollowsFileNameAndCleanState();
    void toolFollowsDocument();
    void zoomKeyAnnouncesLimitsInOrder();
    void viewFollowsToolAndZoom();
    void display_data();
    void display();
    void oddDivisionsDrawWithoutCrash_data();
    void oddDivisionsDrawWithoutCrash();
    void modeMenuWritesKeyWithoutUndo();
    void playButtonSendsOnlyUserClicks();
    void tempoBoxMakesOneUndoStep();
    void tempoBoxShowsATempoFromBeyondItsRange();
    void loadWarningsWaitForTheWindow();
    void dialogBlocksNest();
    void pageSetupEndsBlock_data();
    void pageSetupEndsBlock();
    void teardownOrder();
    void closingPlayingWindowIsClean();

private:
    TestFactory m_factory;
};

void TestVelkaWindow::initTestCase()
{
    setDisplayScale(96, 96);
    QmdVelkaController::setPlayerFactory(&m_factory);
    QVERIFY(!QFileInfo::exists(programTemplate()));
}

void TestVelkaWindow::cleanup()
{
    m_factory.withPlayers = false;
    applicationSettings().remove(QStringLiteral("TemplateFile"));
    QFile::remove(programTemplate());
}

void TestVelkaWindow::formsHaveTheirGeometry()
{
    QMainWindow bare;
    Ui_VelkaWindowForm form;
    form.setupUi(&bare);
    QCOMPARE(bare.windowTitle(), QStringLiteral("Untitled[*]"));
    QCOMPARE(bare.size(), QSize(622, 475));

    VelkaWindow window;
    auto *view = child<NetworkView>(window, "networkView");
    QVERIFY(view);
    QCOMPARE(view->networkScene(), window.scene());
    QCOMPARE(view->controller(), window.controller());
    QCOMPARE(view->editActionsReceiver(), &window);
    QCOMPARE(view->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(view->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(view->dragMode(), QGraphicsView::RubberBandDrag);

    auto *toolBar = child<QToolBar>(window, "toolBar");
    toolBar->setFixedHeight(200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (const char *name : {"selectionTool", "zoomTool", "nodeAndEdgeTool", "voiceGroupTool", "textBoxTool"}) {
        auto *button = child<QToolButton>(window, name);
        QVERIFY(button);
        QCOMPARE(button->size(), QSize(40, 24));
        QVERIFY(button->defaultAction());
    }
    auto *dock = window.inspectorDock();
    QVERIFY(dock && dock->isVisible() && !dock->isFloating());
    QCOMPARE(window.dockWidgetArea(dock), Qt::RightDockWidgetArea);

    window.grab().save(QDir::temp().filePath(QStringLiteral("velkawindow.png")));
}

void TestVelkaWindow::newWindowIsUntitledAtDefaultZoom()
{
    VelkaWindow window;
    settle();
    QCOMPARE(window.windowTitle(), QStringLiteral("Untitled"));
    QVERIFY(!window.isWindowModified());
    QCOMPARE(window.controller()->data(QStringLiteral("ZoomScale")), QVariant(0.75));
    QVERIFY(!window.controller()->canUndo());
    QCOMPARE(window.playbackPosDisplayMode(), 2);
    QCOMPARE(child<QStackedWidget>(window, "displayStackedWidget")->currentIndex(), 1);
}

void TestVelkaWindow::templateComesFromSettingOrProgramFolder_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<bool>("settingFileExists");
    QTest::addColumn<bool>("programTemplateExists");
    QTest::addColumn<QVariant>("tempo");
    QTest::addColumn<bool>("broken");

    QTest::newRow("setting names a file") << "set.vlk" << true << true << QVariant(55) << false;
    QTest::newRow("setting empty") << "" << false << true << QVariant(97) << false;
    QTest::newRow("setting names a missing file") << "missing.vlk" << false << true << QVariant(97) << false;
    QTest::newRow("neither: a new document's tempo") << "missing.vlk" << false << false << QVariant(120) << false;
    QTest::newRow("setting names a broken file: empty document, a warning")
        << "broken.vlk" << true << true << QVariant(120) << true;
}

void TestVelkaWindow::templateComesFromSettingOrProgramFolder()
{
    QFETCH(QString, setting);
    QFETCH(bool, settingFileExists);
    QFETCH(bool, programTemplateExists);
    QFETCH(QVariant, tempo);
    QFETCH(bool, broken);

    QTemporaryDir dir;
    const QString settingFile = setting.isEmpty() ? QString() : dir.filePath(setting);
    if (settingFileExists && broken) {
        QFile file(settingFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<plist><dict><key>Tempo");
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("^The template document .*broken\\.vlk could not be read")));
    } else if (settingFileExists) {
        writeDocument(settingFile, {{QStringLiteral("Tempo"), 55}});
    }
    if (programTemplateExists)
        writeDocument(programTemplate(), {{QStringLiteral("Tempo"), 97}});
    applicationSettings().setValue(QStringLiteral("TemplateFile"), settingFile);

    VelkaWindow window;
    settle();
    QCOMPARE(window.controller()->data(QStringLiteral("Tempo")).toInt(), tempo.toInt());
    QCOMPARE(child<QSpinBox>(window, "tempoSpinBox")->value(), tempo.toInt());
    QCOMPARE(window.windowTitle(), QStringLiteral("Untitled"));
    QVERIFY(!window.controller()->canUndo());
    QVERIFY(window.findChildren<QMessageBox *>().isEmpty());
}

void TestVelkaWindow::titleFollowsFileNameAndCleanState()
{
    QTemporaryDir dir;
    VelkaWindow window;
    settle();
    const QString fileName = dir.filePath(QStringLiteral("a.b.vlk"));
    QSignalSpy saved(window.controller(), &QmdDocController::fileSaved);
    window.controller()->requestSave(fileName);
    QVERIFY(saved.count() == 1 || saved.wait());
    settle();
    QCOMPARE(window.windowTitle(), QStringLiteral("a[*]"));
    QCOMPARE(window.windowFilePath(), QFileInfo(fileName).absoluteFilePath());
    QVERIFY(!window.isWindowModified());

    window.controller()->requestSetData(QStringLiteral("Tempo"), 130, QmdIndex(),
                                        QmdRequestOptions(QStringLiteral("Tempo")));
    settle();
    QVERIFY(window.isWindowModified());
}

void TestVelkaWindow::toolFollowsDocument()
{
    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("tool.vlk"));
    writeDocument(fileName, {{QStringLiteral("Tool"), 9}});

    VelkaWindow window;
    settle();
    auto *selection = child<QAction>(window, "actionSelectionTool");
    auto *zoom = child<QAction>(window, "actionZoomTool");
    auto *textBox = child<QAction>(window, "actionTextBoxTool");

    // The user's choice goes to the document without an undo step.
    textBox->trigger();
    settle();
    QCOMPARE(window.controller()->data(QStringLiteral("Tool")).toInt(), 4);
    QVERIFY(textBox->isChecked());
    QVERIFY(!window.controller()->canUndo());

    // A change made elsewhere moves the check mark.
    window.controller()->requestSetData(QStringLiteral("Tool"), 1, QmdIndex(),
                                        QmdRequestOptions(Qmd::NoUndoHistory));
    settle();
    QVERIFY(zoom->isChecked());

    // The same key under an element touches nothing.
    window.controller()->requestAddNode(QmdVelka::TickPos(0, 0), QmdVelka::NoCreationFlags,
                                              QmdRequestOptions(Qmd::NoUndoHistory));
    settle();
    const QmdIndex node = window.controller()->elementIndex(window.controller()->elementIds().value(0));
    QVERIFY(node.isValid());
    window.controller()->requestSetData(QStringLiteral("Tool"), 4, node, QmdRequestOptions(Qmd::NoUndoHistory));
    settle();
    QVERIFY(zoom->isChecked());

    // A tool out of range (a hand-edited file) falls back to the selection
    // tool without an undo step of its own.
    const int steps = window.controller()->undoRedoCount();
    window.controller()->requestSetData(QStringLiteral("Tool"), 9, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    settle();
    QCOMPARE(window.controller()->data(QStringLiteral("Tool")).toInt(), 0);
    QVERIFY(selection->isChecked());
    QCOMPARE(window.controller()->undoRedoCount(), steps);

    // A loaded document, here one saved with tool 9, starts with the
    // selection tool, without an undo step.
    zoom->trigger();
    settle();
    QSignalSpy loaded(window.controller(), &QmdDocController::fileLoaded);
    window.controller()->requestLoad(fileName);
    QVERIFY(loaded.count() == 1 || loaded.wait());
    settle();
    QCOMPARE(window.controller()->data(QStringLiteral("Tool")).toInt(), 0);
    QVERIFY(selection->isChecked());
    QVERIFY(!window.controller()->canUndo());
}

void TestVelkaWindow::zoomKeyAnnouncesLimitsInOrder()
{
    VelkaWindow window;
    settle();
    QStringList heard;
    connect(&window, &VelkaWindow::canZoomInChanged, this,
            [&heard](bool can) { heard << QStringLiteral("in %1").arg(can); });
    connect(&window, &VelkaWindow::canZoomOutChanged, this,
            [&heard](bool can) { heard << QStringLiteral("out %1").arg(can); });

    QmdVelkaController *controller = window.controller();
    controller->requestSetData(QStringLiteral("ZoomScale"), 8.0, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    settle();
    QCOMPARE(heard, (QStringList{"in 0", "out 1"}));

    heard.clear();
    controller->requestSetData(QStringLiteral("ZoomScale"), 0.25, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    settle();
    QCOMPARE(heard, (QStringList{"in 1", "out 0"}));

    heard.clear();
    controller->requestAddNode(QmdVelka::TickPos(0, 0), QmdVelka::NoCreationFlags,
                                              QmdRequestOptions(Qmd::NoUndoHistory));
    settle();
    const QmdIndex node = controller->elementIndex(controller->elementIds().value(0));
    controller->requestSetData(QStringLiteral("ZoomScale"), 2.0, node, QmdRequestOptions(Qmd::NoUndoHistory));
    settle();
    QVERIFY(heard.isEmpty());
}

void TestVelkaWindow::viewFollowsToolAndZoom()
{
    VelkaWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    settle();
    auto *view = child<NetworkView>(window, "networkView");
    QmdVelkaController *controller = window.controller();
    QCOMPARE(view->transform().m11(), 0.75);
    QCOMPARE(view->zoomComboBox()->currentText(), QStringLiteral("75%"));

    // A chooser button moves the document's tool, and with it the view's.
    QTest::mouseClick(child<QToolButton>(window, "nodeAndEdgeTool"), Qt::LeftButton);
    settle();
    QCOMPARE(controller->data(QStringLiteral("Tool")).toInt(), int(NetworkView::NodeAndEdgeTool));
    QCOMPARE(view->tool(), NetworkView::NodeAndEdgeTool);

    // A tool set elsewhere reaches both the view and the chooser.
    controller->requestSetData(QStringLiteral("Tool"), int(NetworkView::VoiceGroupTool), QmdIndex(),
                               QmdRequestOptions(Qmd::NoUndoHistory));
    settle();
    QCOMPARE(view->tool(), NetworkView::VoiceGroupTool);
    QVERIFY(child<QToolButton>(window, "voiceGroupTool")->isChecked());

    // A tool out of range leaves the view on the selection tool, as the chooser.
    controller->requestSetData(QStringLiteral("Tool"), 9, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    settle();
    QCOMPARE(view->tool(), NetworkView::SelectionTool);
    QVERIFY(child<QToolButton>(window, "selectionTool")->isChecked());

    // The zoom box chosen by the user: the key, the view and the limits follow.
    QSignalSpy canZoomIn(&window, &VelkaWindow::canZoomInChanged);
    QSignalSpy canZoomOut(&window, &VelkaWindow::canZoomOutChanged);
    view->zoomComboBox()->setFocus();
    QTest::keyClick(view->zoomComboBox(), Qt::Key_End);
    settle();
    QCOMPARE(controller->data(QStringLiteral("ZoomScale")).toDouble(), 8.0);
    QCOMPARE(view->transform().m11(), 8.0);
    QCOMPARE(canZoomIn.count(), 1);
    QCOMPARE(canZoomIn.last().at(0).toBool(), false);
    QCOMPARE(canZoomOut.last().at(0).toBool(), true);
    QVERIFY(!window.canZoomIn());
    QVERIFY(!controller->canUndo());

    QTest::keyClick(view->zoomComboBox(), Qt::Key_Home);
    settle();
    QCOMPARE(controller->data(QStringLiteral("ZoomScale")).toDouble(), 0.25);
    QCOMPARE(view->transform().m11(), 0.25);
    QVERIFY(window.canZoomIn());
    QVERIFY(!window.canZoomOut());

    // A zoom set elsewhere moves the box and the view.
    controller->requestSetData(QStringLiteral("ZoomScale"), 2.0, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    settle();
    QCOMPARE(view->zoomComboBox()->currentText(), QStringLiteral("200%"));
    QCOMPARE(view->transform().m11(), 2.0);

    // A stored zoom the view cannot use counts as 1.0 for the limits as well.
    controller->requestSetData(QStringLiteral("ZoomScale"), QStringLiteral("x"), QmdIndex(),
                               QmdRequestOptions(Qmd::NoUndoHistory));
    settle();
    QCOMPARE(view->transform().m11(), 1.0);
    QVERIFY(window.canZoomIn() && window.canZoomOut());
}

void TestVelkaWindow::display_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<quint64>("position");
    QTest::addColumn<QVariant>("divs");
    QTest::addColumn<QString>("dim");
    QTest::addColumn<QString>("solid");

    const quint64 second = 1000000000;
    QTest::newRow("time 0") << 1 << quint64(0) << QVariant() << "00:00:" << "00.000";
    QTest::newRow("time 61.5 s") << 1 << quint64(61.5 * second) << QVariant() << "00:" << "01:01.500";
    QTest::newRow("time over an hour") << 1 << quint64(3723004) * 1000000 << QVariant() << "" << "01:02:03.004";
    QTest::newRow("time wraps at 60 hours") << 1 << quint64(60 * 3600 + 1) * second << QVariant() << ""
                                            << "00:00:01.000";
    QTest::newRow("principals 0") << 2 << quint64(0) << QVariant(4) << "000," << "001.01";
    QTest::newRow("principals division 4") << 2 << P + 3 * 166320 << QVariant(4) << "000," << "002.04";
    QTest::newRow("principal 1000") << 2 << 999 * P << QVariant(4) << "" << "001,000.01";
    QTest::newRow("beats 0") << 3 << quint64(0) << QVariant() << "000," << "001.001";
    QTest::newRow("last pulse") << 3 << 2772 * quint64(239) << QVariant() << "000," << "001.240";
    QTest::newRow("second beat") << 3 << P << QVariant() << "000," << "002.001";
}

void TestVelkaWindow::display()
{
    QFETCH(int, mode);
    QFETCH(quint64, position);
    QFETCH(QVariant, divs);
    QFETCH(QString, dim);
    QFETCH(QString, solid);

    VelkaWindow window;
    settle();
    setDivisions(window, divs);
    HandSetSync *clock = clockOf(window);
    QVERIFY(clock);
    clock->nanoseconds = clock->tick = clock->beatTick = position;
    window.setPlaybackPosDisplayMode(mode);

    const QVector<QLabel *> labels = window.displayLabels(mode);
    const QString shown = dim + solid;
    QCOMPARE(labels.size(), shown.size());
    for (int i = 0; i < labels.size(); ++i) {
        const LcdGlyphs &glyphs = i < dim.size() ? window.dimLcdChars() : window.solidLcdChars();
        const QPixmap expected = glyphs.glyph(shown.at(i));
        QVERIFY(!expected.isNull());
        QVERIFY2(labels.at(i)->pixmap().cacheKey() == expected.cacheKey(),
                 qPrintable(QStringLiteral("label %1 should show %2").arg(i).arg(shown.at(i))));
    }
    // Glyphs keep the display's geometry whatever the strip's pixel ratio.
    const QPixmap zero = window.solidLcdChars().glyph(QLatin1Char('0'));
    QCOMPARE(zero.deviceIndependentSize().toSize(), QSize(10, 18));
}

void TestVelkaWindow::oddDivisionsDrawWithoutCrash_data()
{
    QTest::addColumn<QVariant>("divs");
    QTest::addColumn<QChar>("lastDigit");
    // Below 1 counts as one division; above a tick a division as a tick each.
    QTest::newRow("missing") << QVariant() << QChar('1');
    QTest::newRow("zero") << QVariant(0) << QChar('1');
    QTest::newRow("negative") << QVariant(-5) << QChar('1');
    QTest::newRow("not a number") << QVariant(QStringLiteral("x")) << QChar('1');
    QTest::newRow("beyond a tick a division") << QVariant(10000000) << QChar('8');
}

void TestVelkaWindow::oddDivisionsDrawWithoutCrash()
{
    QFETCH(QVariant, divs);
    QFETCH(QChar, lastDigit);
    VelkaWindow window;
    settle();
    setDivisions(window, divs);
    clockOf(window)->tick = 5 * P + 7;
    window.setPlaybackPosDisplayMode(2);
    const QVector<QLabel *> labels = window.displayLabels(2);
    QCOMPARE(labels.last()->pixmap().cacheKey(), window.solidLcdChars().glyph(lastDigit).cacheKey());
    QCOMPARE(labels.at(6)->pixmap().cacheKey(), window.solidLcdChars().glyph(QLatin1Char('6')).cacheKey());
}

void TestVelkaWindow::modeMenuWritesKeyWithoutUndo()
{
    VelkaWindow window;
    settle();
    QSignalSpy changed(&window, &VelkaWindow::playbackPosDisplayModeChanged);
    auto *button = child<QToolButton>(window, "displayModeButton");
    QVERIFY(button && button->menu());
    QCOMPARE(button->popupMode(), QToolButton::InstantPopup);
    const QList<QAction *> actions = button->menu()->actions();
    QCOMPARE(actions.size(), 3);
    QCOMPARE(actions.at(2)->text(), QStringLiteral("Beats"));

    actions.at(2)->trigger();
    settle();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toInt(), 3);
    QCOMPARE(window.controller()->data(QStringLiteral("PlaybackPosDisplayMode")).toInt(), 3);
    QVERIFY(!window.controller()->canUndo());
    QCOMPARE(child<QStackedWidget>(window, "displayStackedWidget")->currentIndex(), 2);
    QCOMPARE(button->toolTip(), QStringLiteral("Beats"));
    QVERIFY(actions.at(2)->isChecked());

    // Choosing it again announces nothing but shows the present position.
    clockOf(window)->beatTick = P;
    actions.at(2)->trigger();
    settle();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(window.displayLabels(3).at(6)->pixmap().cacheKey(),
             window.solidLcdChars().glyph(QLatin1Char('2')).cacheKey());

    // The document's key sets the mode.
    window.controller()->requestSetData(QStringLiteral("PlaybackPosDisplayMode"), 1, QmdIndex(),
                                        QmdRequestOptions(Qmd::NoUndoHistory));
    settle();
    QCOMPARE(window.playbackPosDisplayMode(), 1);
    QVERIFY(actions.at(0)->isChecked());
}

void TestVelkaWindow::playButtonSendsOnlyUserClicks()
{
    VelkaWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    settle();
    HandSetSync *clock = clockOf(window);
    auto *button = child<QPushButton>(window, "playPauseButton");
    QVERIFY(button->isCheckable());

    QTest::mouseClick(button, Qt::LeftButton);
    settle();
    QCOMPARE(clock->setPlayingCalls.load(), 1);
    QVERIFY(clock->isPlaying());
    QVERIFY(button->isChecked());

    // Space or the menu: the toggle's own call, no second one from the button.
    window.controller()->requestTogglePlayback();
    settle();
    QCOMPARE(clock->setPlayingCalls.load(), 2);
    QVERIFY(!button->isChecked());

    // The engine starting and stopping by itself moves the button only.
    clock->setPlaying(true);
    clock->setPlayingCalls = 0;
    window.controller()->requestPrimePlaybackForSyncStateChange(true);
    settle();
    QVERIFY(button->isChecked());
    clock->playing = false;
    window.controller()->requestPrimePlaybackForSyncStateChange(false);
    settle();
    QVERIFY(!button->isChecked());
    QCOMPARE(clock->setPlayingCalls.load(), 0);
}

void TestVelkaWindow::tempoBoxMakesOneUndoStep()
{
    VelkaWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    settle();
    auto *box = child<QSpinBox>(window, "tempoSpinBox");
    QCOMPARE(box->minimum(), 1);
    QCOMPARE(box->maximum(), 999);

    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, QStringLiteral("1305"));
    QTest::keyClick(box, Qt::Key_Return);
    settle();
    QCOMPARE(window.controller()->data(QStringLiteral("Tempo")).toInt(), 130);
    QCOMPARE(window.controller()->undoRedoCount(), 1);
    QCOMPARE(window.controller()->undoText(), QStringLiteral("Tempo"));

    QTest::keyClick(box, Qt::Key_Up);
    settle();
    QCOMPARE(window.controller()->data(QStringLiteral("Tempo")).toInt(), 131);
    QCOMPARE(window.controller()->undoRedoCount(), 2);
}

void TestVelkaWindow::tempoBoxShowsATempoFromBeyondItsRange()
{
    // A hand-edited file, then a request, with the largest tempo a document
    // can hold: the document plays at the top of the box's range, and the
    // box shows that, not its bottom.
    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("fast.vlk"));
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
               "<key>ContainerType</key><string>StrDict</string>"
               "<key>Tempo</key><integer>4294967295</integer></dict></plist>\n");
    file.close();

    VelkaWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    settle();
    auto *box = child<QSpinBox>(window, "tempoSpinBox");
    QSignalSpy loaded(window.controller(), &QmdDocController::fileLoaded);
    window.controller()->requestLoad(fileName);
    QVERIFY(loaded.count() == 1 || loaded.wait());
    settle();
    QCOMPARE(box->value(), 999);
    QCOMPARE(window.controller()->data(QStringLiteral("Tempo")), QVariant(999u));

    window.controller()->requestSetData(QStringLiteral("Tempo"), 60u);
    settle();
    QCOMPARE(box->value(), 60);
    window.controller()->requestSetData(QStringLiteral("Tempo"), 4294967295u);
    settle();
    QCOMPARE(box->value(), 999);
    QCOMPARE(window.controller()->data(QStringLiteral("Tempo")), QVariant(999u));
}

void TestVelkaWindow::loadWarningsWaitForTheWindow()
{
    // A file named at launch loads before its window shows. Its warnings
    // opened then lay beneath the window once it came up, and the window
    // seemed frozen behind its own modal message.
    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("fast.vlk"));
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
               "<key>ContainerType</key><string>StrDict</string>"
               "<key>Tempo</key><integer>4294967295</integer></dict></plist>\n");
    file.close();

    VelkaWindow window;
    QSignalSpy loaded(window.controller(), &QmdDocController::fileLoaded);
    window.controller()->requestLoad(fileName);
    QVERIFY(loaded.count() == 1 || loaded.wait());
    settle();
    const auto shownMessages = [&window] {
        const QList<QMessageBox *> boxes = window.findChildren<QMessageBox *>();
        return std::count_if(boxes.cbegin(), boxes.cend(), [](QMessageBox *box) { return box->isVisible(); });
    };
    QCOMPARE(shownMessages(), 0);

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(shownMessages(), 1);
    QVERIFY(window.findChild<QMessageBox *>()->informativeText().contains(QStringLiteral("Tempo")));
}

void TestVelkaWindow::dialogBlocksNest()
{
    VelkaWindow window;
    QSignalSpy blocked(&window, &VelkaWindow::blockedByDialogChanged);
    window.beginBlockByDialog();
    window.beginBlockByDialog();
    window.endBlockByDialog();
    QVERIFY(window.isBlockedByDialog());
    window.endBlockByDialog();
    window.endBlockByDialog();
    QVERIFY(!window.isBlockedByDialog());
    QCOMPARE(blocked.count(), 2);
    QCOMPARE(blocked.at(0).at(0).toBool(), true);
    QCOMPARE(blocked.at(1).at(0).toBool(), false);

    // The surplus end did not take the count below zero.
    window.beginBlockByDialog();
    QVERIFY(window.isBlockedByDialog());
    QCOMPARE(blocked.count(), 3);
}

void TestVelkaWindow::pageSetupEndsBlock_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("escape") << "escape";
    QTest::newRow("window manager") << "close";
    QTest::newRow("accept") << "accept";
    QTest::newRow("window closes first") << "destroy";
}

void TestVelkaWindow::pageSetupEndsBlock()
{
    QFETCH(QString, how);
    auto window = std::make_unique<VelkaWindow>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QSignalSpy blocked(window.get(), &VelkaWindow::blockedByDialogChanged);

    window->pageSetup();
    QVERIFY(window->isBlockedByDialog());
    QPointer<QPageSetupDialog> dialog = window->findChild<QPageSetupDialog *>();
    QVERIFY(dialog);
    QTRY_VERIFY(dialog->isVisible());

    if (how == QLatin1String("escape"))
        QTest::keyClick(dialog, Qt::Key_Escape);
    else if (how == QLatin1String("close"))
        dialog->close();
    else if (how == QLatin1String("accept"))
        dialog->accept();
    else {
        window.reset();
        QVERIFY(!dialog);
        return;
    }
    settle();
    QVERIFY(!window->isBlockedByDialog());
    QCOMPARE(blocked.count(), 2);
    QTRY_VERIFY(!dialog);
}

void TestVelkaWindow::teardownOrder()
{
    auto *window = new VelkaWindow;
    settle();
    QStringList gone;
    // The view outlives the scene and the controller, detached from both.
    auto *view = child<NetworkView>(*window, "networkView");
    connect(window->scene(), &QObject::destroyed, this, [&gone, view] {
        QVERIFY(!view->scene() && !view->networkScene() && !view->controller());
        gone << QStringLiteral("scene");
    });
    connect(window->controller(), &QObject::destroyed, this, [&gone] { gone << QStringLiteral("controller"); });
    QObject *model = dynamic_cast<QObject *>(window->controller()->model());
    QVERIFY(model);
    connect(model, &QObject::destroyed, this, [&gone] { gone << QStringLiteral("model"); });
    delete window;
    QCOMPARE(gone, (QStringList{"scene", "controller", "model"}));
}

void TestVelkaWindow::closingPlayingWindowIsClean()
{
    m_factory.withPlayers = true;
    auto *window = new VelkaWindow;
    window->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<VelkaWindow> alive = window;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    settle();

    QmdVelkaController *controller = window->controller();
    const QmdRequestOptions options(Qmd::NoUndoHistory);
    controller->requestAddNode(QmdVelka::TickPos(0, 0), QmdVelka::NoCreationFlags, options);
    controller->requestAddNode(QmdVelka::TickPos(P, 0), QmdVelka::NoCreationFlags, options);
    settle();
    const QmdItemIdList nodes = controller->elementIds();
    QCOMPARE(nodes.size(), 2);
    controller->requestAddEdge(controller->elementIndex(nodes.at(0)), controller->elementIndex(nodes.at(1)),
                               QmdVelka::CityBlock, QmdVelka::NoCreationFlags, options);
    controller->requestAddVoiceGroup(controller->elementIndex(nodes.at(0)), QmdVelka::NoCreationFlags, options);
    settle();
    for (QGraphicsItem *item : window->scene()->items())
        item->setSelected(true);
    controller->requestSetPlayback(true);
    settle();
    QVERIFY(window->findChild<QPushButton *>(QStringLiteral("playPauseButton"))->isChecked());

    // The changed document is not kept.
    if (!controller->isAtCleanState())
        answerWhenShown<QMessageBox>([](QMessageBox *box) { clickButton(box, QMessageBox::Discard); });
    window->close();
    QTRY_VERIFY(!alive);
}

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication::setAttribute(Qt::AA_Use96Dpi, true);
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    TestVelkaWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_velkawindow.moc"
