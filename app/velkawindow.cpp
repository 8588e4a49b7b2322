#include "qmdvelkakeys.h"
#include "qmdvelkavalues.h"
#include "velkawindow.h"

#include "abstractsync.h"
#include "applicationsettings.h"
#include "canvascoordinates.h"
#include "contentscentring.h"
#include "datafiles.h"
#include "inspector.h"
#include "filemessages.h"
#include "networkprinting.h"
#include "networkscene.h"
#include "networkview.h"
#include "playbackpostext.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"
#include "recentfiles.h"
#include "velkaapplication.h"
#include "velkamenubar.h"
#include "zoomrules.h"

#include "ui_PlaybackControlsForm.h"
#include "ui_ToolChooserForm.h"
#include "ui_VelkaWindowForm.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPainterPath>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

constexpr int UndoRedoLimit = 100;
constexpr int RefreshIntervalMs = 32;
constexpr double DefaultZoomScale = 0.75;
constexpr int TimeMode = 1;
constexpr int PrincipalsMode = 2;
constexpr int BeatsMode = 3;

const QString PlaybackPosDisplayModeKey = QStringLiteral("PlaybackPosDisplayMode");
const QString TemplateFileSetting = QStringLiteral("TemplateFile");

const char *const ToolBarStyleSheet = R"(
QToolBar {
    padding: 9px;
    border-top: 1px solid rgb(100, 100, 100);
    border-bottom: 1px solid rgb(100, 100, 100);
    background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1,
                                stop: 0 rgb(180, 180, 180), stop: 1 rgb(140, 140, 140));
}
QWidget#ToolChooserForm > QToolButton { border: none; }
QPushButton { border: none; }
QPushButton#gotoStartButton { background-image: url(:/images/MasterControls/GotoStartNormal.png); }
QPushButton#gotoStartButton:pressed { background-image: url(:/images/MasterControls/GotoStartPressed.png); }
QPushButton#playPauseButton { background-image: url(:/images/MasterControls/PlayNormal.png); }
QPushButton#playPauseButton:pressed { background-image: url(:/images/MasterControls/PlayPressed.png); }
QPushButton#playPauseButton:checked { background-image: url(:/images/MasterControls/PauseNormal.png); }
QPushButton#playPauseButton:checked:pressed { background-image: url(:/images/MasterControls/PausePressed.png); }
QLabel { color: rgb(40, 40, 40); }
QToolButton#displayModeButton { border: 0px; background: transparent; }
QToolButton#displayModeButton::menu-indicator { image: url(:/images/DropDownSymbol.png); }
QFrame#lcdFrame {
    margin: 0px;
    border-image: url(:/images/LCDNormal.png) 0 9 0 9;
    border-left: 9px transparent;
    border-right: 9px transparent;
}
QSpinBox#tempoSpinBox { border: 0px; background: transparent; }
QToolButton#selectionTool { background-image: url(:/images/Chooser/LeftNormal.png); }
QToolButton#selectionTool:hover { background-image: url(:/images/Chooser/LeftHover.png); }
QToolButton#selectionTool:pressed, QToolButton#selectionTool:checked { background-image: url(:/images/Chooser/LeftPressed.png); }
QToolButton#zoomTool, QToolButton#nodeAndEdgeTool, QToolButton#voiceGroupTool { background-image: url(:/images/Chooser/MiddleNormal.png); }
QToolButton#zoomTool:hover, QToolButton#nodeAndEdgeTool:hover, QToolButton#voiceGroupTool:hover { background-image: url(:/images/Chooser/MiddleHover.png); }
QToolButton#zoomTool:pressed, QToolButton#zoomTool:checked,
QToolButton#nodeAndEdgeTool:pressed, QToolButton#nodeAndEdgeTool:checked,
QToolButton#voiceGroupTool:pressed, QToolButton#voiceGroupTool:checked { background-image: url(:/images/Chooser/MiddlePressed.png); }
QToolButton#textBoxTool { background-image: url(:/images/Chooser/RightNormal.png); }
QToolButton#textBoxTool:hover { background-image: url(:/images/Chooser/RightHover.png); }
QToolButton#textBoxTool:pressed, QToolButton#textBoxTool:checked { background-image: url(:/images/Chooser/RightPressed.png); }
)";

// The application's settings; a window made without the application object
// (a test) reads the same names through a settings object of its own.
QVariant applicationSetting(const QString &key)
{
    QVariant value;
    withApplicationSettings([&](QSettings &settings) { value = settings.value(key); });
    return value;
}

} // namespace

VelkaWindow::VelkaWindow(QWidget *parent)
    : QMainWindow(parent),
      ui(new Ui_VelkaWindowForm),
      toolChooserUi(new Ui_ToolChooserForm),
      playbackControlsUi(new Ui_PlaybackControlsForm)
{
    ui->setupUi(this);
    ui->networkView->setEditActionsReceiver(this);
    // Render hints go here: the form cannot name them all.
    ui->networkView->setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing
                                    | QPainter::SmoothPixmapTransform);

    m_model = new QmdMemModel(this);
    m_controller = new QmdVelkaController(this);
    m_controller->setModel(m_model);
    m_controller->requestSetUndoRedoLimit(UndoRedoLimit);

    // The template comes before the zoom, so the zoom is the document's own.
    loadTemplate();
    m_controller->requestSetData(QmdVelkaKeys::ZoomScale, DefaultZoomScale, QmdIndex(),
                                 QmdRequestOptions(Qmd::NoUndoHistory, tr("Windows: Default Zoom")));

    m_scene = new NetworkScene(this);
    ui->networkView->setNetworkScene(m_scene);
    connect(m_scene, &QGraphicsScene::selectionChanged, this, &VelkaWindow::elementSelectionChanged);

    m_printer = new QPrinter(QPrinter::HighResolution);
    m_printer->setPageOrientation(QPageLayout::Landscape);

    ui->toolBar->setMovable(false);

    auto *toolGroup = new QActionGroup(this);
    toolGroup->setExclusive(true);
    const QList<QAction *> tools{ui->actionSelectionTool, ui->actionZoomTool, ui->actionNodeAndEdgeTool,
                                 ui->actionVoiceGroupTool, ui->actionTextBoxTool};
    for (int tool = 0; tool < tools.size(); ++tool) {
        toolGroup->addAction(tools.at(tool));
        tools.at(tool)->setData(tool);
        m_toolActions.insert(tool, tools.at(tool));
    }
    connect(toolGroup, &QActionGroup::triggered, this, &VelkaWindow::onToolTriggered);

    auto *toolChooser = new QWidget(ui->toolBar);
    toolChooserUi->setupUi(toolChooser);
    const QList<QToolButton *> toolButtons{toolChooserUi->selectionTool, toolChooserUi->zoomTool,
                                           toolChooserUi->nodeAndEdgeTool, toolChooserUi->voiceGroupTool,
                                           toolChooserUi->textBoxTool};
    for (int tool = 0; tool < toolButtons.size(); ++tool)
        toolButtons.at(tool)->setDefaultAction(m_toolActions.value(tool));
    ui->toolBar->addWidget(toolChooser);

    auto *spacer = new QWidget(ui->toolBar);
    spacer->setFixedHeight(0);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    ui->toolBar->addWidget(spacer);

    auto *playbackControls = new QFrame(ui->toolBar);
    playbackControlsUi->setupUi(playbackControls);
    ui->toolBar->addWidget(playbackControls);
    setUpPlaybackControls();

    ui->toolBar->setStyleSheet(QString::fromLatin1(ToolBarStyleSheet));

    m_playbackPosRefreshTimer = new QTimer(this);
    m_playbackPosRefreshTimer->setInterval(RefreshIntervalMs);
    connect(m_playbackPosRefreshTimer, &QTimer::timeout, this,
            &VelkaWindow::updatePlaybackPosDisplayForCurrentMode);
    connect(m_controller, &QmdVelkaController::playbackStateChanged, this, &VelkaWindow::onPlaybackStateChanged);
    connect(m_controller, &QmdVelkaController::playbackJogged, this,
            &VelkaWindow::updatePlaybackPosDisplayForCurrentMode);

    connectFileResults();
    connect(m_controller, &QmdDocController::fileNameChanged, this,
            [this](const QString &fileName) { onFileNameChanged(fileName); });
    connect(m_controller, &QmdController::atCleanStateChanged, this,
            [this](bool atCleanState) { onAtCleanStateChanged(atCleanState); });
    connect(m_controller, qOverload<const QmdIndex &, const QStringList &, QmdRequestId>(&QmdController::itemsChanged),
            this, [this](const QmdIndex &parent, const QStringList &keys) { onItemsEffected(parent, keys); });
    connect(m_controller, qOverload<const QmdIndex &, const QStringList &, QmdRequestId>(&QmdController::itemsRemoved),
            this, [this](const QmdIndex &parent, const QStringList &keys) { onItemsEffected(parent, keys); });
    connect(m_controller, &QmdController::modelReset, this, &VelkaWindow::reset);

    m_scene->setController(m_controller);
    ui->networkView->setController(m_controller);

    // A document drawn away from the origin would open on empty canvas.
    auto *centring = new ContentsCentring(ui->networkView, m_scene, this);
    connect(m_controller, &QmdDocController::fileLoaded, centring, &ContentsCentring::watch);

    setMenuBar(new VelkaMenuBar(this));

    m_dock = new QDockWidget(this, Qt::Tool);
    m_dock->setObjectName(QStringLiteral("inspectorDock"));
    auto *inspector = new Inspector(this, m_dock);
    // The ports first: the document's clock port entries are sorted out once.
    if (VelkaApplication *app = VelkaApplication::instance()) {
        inspector->setMidiInputPortNames(app->sortedMidiInputPortNames());
        inspector->setMidiOutputPortNames(app->sortedMidiOutputPortNames());
        connect(app, &VelkaApplication::midiInputPortsChanged, inspector,
                [inspector, app] { inspector->setMidiInputPortNames(app->sortedMidiInputPortNames()); });
        connect(app, &VelkaApplication::midiOutputPortsChanged, inspector,
                [inspector, app] { inspector->setMidiOutputPortNames(app->sortedMidiOutputPortNames()); });
    }
    inspector->setDocument(m_controller, m_scene);
    m_dock->setWidget(inspector);
    addDockWidget(Qt::RightDockWidgetArea, m_dock);
    m_dock->setFloating(false);
    m_dock->show();

    reset();
}

VelkaWindow::~VelkaWindow()
{
    m_playbackPosRefreshTimer->stop();
    disconnect(m_scene, nullptr, this, nullptr);
    m_scene->setController(nullptr);
    ui->networkView->setController(nullptr);
    ui->networkView->setNetworkScene(nullptr);
    if (auto *bar = qobject_cast<VelkaMenuBar *>(menuBar()))
        bar->setVelkaWindow(nullptr);
    // A dialog still open goes with the window's children; its end of the
    // block must not reach a window already gone.
    for (QDialog *dialog : findChildren<QDialog *>(QString(), Qt::FindDirectChildrenOnly))
        disconnect(dialog, nullptr, this, nullptr);
    disconnect(m_controller, nullptr, this, nullptr);
    delete m_dock;
    m_dock = nullptr;
    delete m_scene;
    m_scene = nullptr;

    delete m_printer;
    m_printer = nullptr;
    delete m_controller;
    m_controller = nullptr;
    delete m_model;
    m_model = nullptr;
}

QGraphicsView *VelkaWindow::canvasView() const
{
    return ui->networkView;
}

QmdItemIdSet VelkaWindow::selectedElements() const
{
    return m_scene->selectedElementIds();
}

bool VelkaWindow::canZoomIn() const
{
    return usableZoomScale(m_controller->data(QmdVelkaKeys::ZoomScale)) < MaxZoomScale;
}

bool VelkaWindow::canZoomOut() const
{
    return usableZoomScale(m_controller->data(QmdVelkaKeys::ZoomScale)) > MinZoomScale;
}

void VelkaWindow::blockWhileOpen(QDialog *dialog)
{
    beginBlockByDialog();
    auto ended = std::make_shared<bool>(false);
    auto end = [this, ended] {
        if (*ended)
            return;
        *ended = true;
        endBlockByDialog();
    };
    connect(dialog, &QDialog::finished, this, end);
    connect(dialog, &QObject::destroyed, this, end);
}

QVector<QLabel *> VelkaWindow::displayLabels(int mode) const
{
    switch (mode) {
    case TimeMode:
        return m_timeLabels;
    case PrincipalsMode:
        return m_principalsLabels;
    case BeatsMode:
        return m_beatsLabels;
    default:
        return {};
    }
}

void VelkaWindow::reset()
{
    m_playbackPosRefreshTimer->stop();
    onFileNameChanged(m_controller->fileName());
    onAtCleanStateChanged(m_controller->isAtCleanState());
    const AbstractSync *clock = m_controller->sync();
    onPlaybackStateChanged(clock && clock->isPlaying());
}

void VelkaWindow::pageSetup()
{
    auto *dialog = new QPageSetupDialog(m_printer, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    blockWhileOpen(dialog);
    dialog->open();
}

void VelkaWindow::onFileNameChanged(const QString &fileName)
{
    setWindowFilePath(fileName);
    // An untitled document has no marker placeholder, so it never shows one.
    // The name is cut at its first dot: "a.b.vlk" is "a".
    setWindowTitle(fileName.isEmpty() ? tr("Untitled")
                                      : QFileInfo(fileName).baseName() + QStringLiteral("[*]"));
}

void VelkaWindow::onAtCleanStateChanged(bool atCleanState)
{
    // An untitled window shows no marker (see onFileNameChanged).
    if (windowTitle().contains(QLatin1String("[*]")))
        setWindowModified(!atCleanState);
}

void VelkaWindow::onItemsEffected(const QmdIndex &parent, const QStringList &keys)
{
    if (parent != QmdIndex())
        return;
    if (keys.contains(QmdVelkaKeys::Tool)) {
        bool ok = false;
        const uint tool = m_controller->data(QmdVelkaKeys::Tool).toUInt(&ok);
        if (QAction *action = ok ? m_toolActions.value(int(tool)) : nullptr)
            action->setChecked(true);
        else
            m_controller->requestSetData(QmdVelkaKeys::Tool, 0, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    }
    if (keys.contains(QmdVelkaKeys::ZoomScale)) {
        emit canZoomInChanged(canZoomIn());
        emit canZoomOutChanged(canZoomOut());
    }
}

void VelkaWindow::onToolTriggered(QAction *action)
{
    m_controller->requestSetData(QmdVelkaKeys::Tool, action->data(), QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
}

void VelkaWindow::onPlaybackStateChanged(bool isPlaying)
{
    if (isPlaying)
        m_playbackPosRefreshTimer->start();
    else
        m_playbackPosRefreshTimer->stop();
    updatePlaybackPosDisplayForCurrentMode();
}

void VelkaWindow::beginBlockByDialog()
{
    if (++m_blockCount == 1)
        emit blockedByDialogChanged(true);
}

void VelkaWindow::endBlockByDialog()
{
    if (m_blockCount == 0)
        return;
    if (--m_blockCount == 0)
        emit blockedByDialogChanged(false);
}

void VelkaWindow::setPlaybackPosDisplayMode(int mode)
{
    const bool changed = mode != m_playbackPosDisplayMode;
    m_playbackPosDisplayMode = mode;

    QIcon icon;
    QString toolTip;
    for (QAction *action : m_displayModeMenu->actions()) {
        if (action->data().toInt() != mode)
            continue;
        if (!action->isChecked())
            action->setChecked(true);
        icon = action->icon();
        toolTip = action->text();
    }
    updatePlaybackPosDisplayForCurrentMode();
    playbackControlsUi->displayModeButton->setIcon(icon);
    playbackControlsUi->displayModeButton->setToolTip(toolTip);
    playbackControlsUi->displayStackedWidget->setCurrentIndex(mode - 1);
    if (changed)
        emit playbackPosDisplayModeChanged(mode);
}

void VelkaWindow::onDisplayModeMenuActionTriggered(QAction *action)
{
    setPlaybackPosDisplayMode(action->data().toInt());
}

void VelkaWindow::updatePlaybackPosDisplayForCurrentMode()
{
    // Without a clock (no players, or one being replaced) the position is 0.
    const AbstractSync *clock = m_controller->sync();
    PlaybackPosText::Text text;
    switch (m_playbackPosDisplayMode) {
    case TimeMode:
        text = PlaybackPosText::time(clock ? clock->currentNanoseconds() : 0);
        break;
    case PrincipalsMode:
        text = PlaybackPosText::principals(
            clock ? clock->currentTick() : 0,
            PlaybackPosText::clampedDivsPerPrincipal(m_controller->data(QmdVelkaKeys::DivsPerPrincipal)));
        break;
    case BeatsMode:
        text = PlaybackPosText::beats(clock ? clock->currentBeatTick() : 0);
        break;
    default:
        return;
    }
    showText(displayLabels(m_playbackPosDisplayMode), text.chars, text.dimCount);
}

void VelkaWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
}

void VelkaWindow::setUpPlaybackControls()
{
    Ui_PlaybackControlsForm &form = *playbackControlsUi;

    connect(form.gotoStartButton, &QPushButton::clicked, m_controller, &QmdVelkaController::requestGotoStart);
    form.gotoStartButton->setFlat(true);

    // Only the user's clicks become requests; the engine's state comes back
    // through setChecked, which emits no click.
    form.playPauseButton->setCheckable(true);
    form.playPauseButton->setFlat(true);
    connect(form.playPauseButton, &QPushButton::clicked, m_controller, &QmdVelkaController::requestSetPlayback);
    connect(m_controller, &QmdVelkaController::playbackStateChanged, form.playPauseButton,
            &QPushButton::setChecked);

    m_displayModeMenu = new QMenu(this);
    auto *modeGroup = new QActionGroup(this);
    modeGroup->setExclusive(true);
    const struct
    {
        const char *icon;
        QString text;
        int mode;
    } modes[] = {{":/images/LCDTimeIcon.png", tr("Time"), TimeMode},
                 {":/images/LCDPrincipalsIcon.png", tr("Principals"), PrincipalsMode},
                 {":/images/LCDBeatsIcon.png", tr("Beats"), BeatsMode}};
    for (const auto &mode : modes) {
        QAction *action = modeGroup->addAction(QIcon(QString::fromLatin1(mode.icon)), mode.text);
        action->setData(mode.mode);
        action->setCheckable(true);
        m_displayModeMenu->addAction(action);
    }
    form.displayModeButton->setMenu(m_displayModeMenu);
    form.displayModeButton->setPopupMode(QToolButton::InstantPopup);
    // The form opens on the Beats page; the window starts in Principals mode
    // and shows it before the document's key takes over.
    m_playbackPosDisplayMode = PrincipalsMode;
    setPlaybackPosDisplayMode(PrincipalsMode);

    m_controller->bindKey(this, "playbackPosDisplayMode", SIGNAL(playbackPosDisplayModeChanged(int)),
                          PlaybackPosDisplayModeKey, QmdIndex(), PrincipalsMode, PrincipalsMode,
                          tr("Playback Pos Display Mode"), Qmd::NoUndoHistory);
    connect(m_displayModeMenu, &QMenu::triggered, this, &VelkaWindow::onDisplayModeMenuActionTriggered);

    // Cut once, for the screen the window opens on.
    m_solidLcdChars = LcdGlyphs(QStringLiteral(":/images/LCDSolidChars.png"), devicePixelRatioF());
    m_dimLcdChars = LcdGlyphs(QStringLiteral(":/images/LCDDimChars.png"), devicePixelRatioF());

    for (QLabel *label : {form.pal100000000s, form.pal10000000s, form.pal1000000s, form.pal1000000sComma,
                          form.beat100000000s, form.beat10000000s, form.beat1000000s, form.beat1000000sComma})
        label->hide();
    m_timeLabels = {form.hr10s, form.hr1s, form.hrColon, form.min10s, form.min1s, form.minColon,
                    form.sec10s, form.sec1s, form.secDot, form.ms100s, form.ms10s, form.ms1s};
    m_principalsLabels = {form.pal100000s, form.pal10000s, form.pal1000s, form.pal1000sComma,
                          form.pal100s, form.pal10s, form.pal1s, form.pal1sDot, form.div10s, form.div1s};
    m_beatsLabels = {form.beat100000s, form.beat10000s, form.beat1000s, form.beat1000sComma,
                     form.beat100s, form.beat10s, form.beat1s, form.beat1sDot,
                     form.pulse100s, form.pulse10s, form.pulse1s};

    QFont bpmFont(QStringLiteral("Arial"));
    bpmFont.setPixelSize(9);
    form.bpmLabel->setFont(bpmFont);
    QFont tempoFont(QStringLiteral("Arial"));
    tempoFont.setPixelSize(11);
    form.tempoSpinBox->setFont(tempoFont);
    form.tempoSpinBox->setFrame(false);
    QmdVelkaValues::TimingRange tempo;
    QmdVelkaValues::timingRange(QmdVelkaKeys::Tempo, &tempo);
    form.tempoSpinBox->setRange(int(tempo.lowest), int(tempo.highest));
    // A typed tempo is one change when it is complete, not one a keystroke.
    form.tempoSpinBox->setKeyboardTracking(false);
    m_controller->bindKey(form.tempoSpinBox, "value", SIGNAL(valueChanged(int)), QmdVelkaKeys::Tempo, QmdIndex(), 0, QVariant(),
                          tr("Tempo"));
}

void VelkaWindow::loadTemplate()
{
    QString fileName = applicationSetting(TemplateFileSetting).toString();
    if (fileName.isEmpty() || !QFileInfo::exists(fileName))
        fileName = DataFiles::locate(DataFiles::templateFileName());
    if (fileName.isEmpty() || !QFileInfo(fileName).isFile())
        return;
    // A broken template leaves the new document empty; the window still opens.
    connect(m_controller, &QmdDocController::templateLoadError, this,
            [](const QString &name, QFile::FileError error) {
                qWarning("The template document %s could not be read (file error %d); the new document is empty.",
                         qPrintable(QDir::toNativeSeparators(name)), int(error));
            });
    m_controller->requestLoadTemplate(fileName);
}

void VelkaWindow::showText(const QVector<QLabel *> &labels, const QString &chars, int dimCount)
{
    for (int i = 0; i < labels.size() && i < chars.size(); ++i) {
        const QPixmap glyph = (i < dimCount ? m_dimLcdChars : m_solidLcdChars).glyph(chars.at(i));
        QLabel *label = labels.at(i);
        // Only a changed glyph is handed over: the display refreshes every 32 ms.
        if (label->pixmap().cacheKey() != glyph.cacheKey())
            label->setPixmap(glyph);
    }
}

// ---- File commands ----------------------------------------------------------

namespace {

const QString SaveAsDialogGeometrySetting = QStringLiteral("SaveAsDialogGeometry");
const QString SaveAsDialogStateSetting = QStringLiteral("SaveAsDialogState");

QMessageBox *warningBox(QWidget *parent, const QString &text, const QString &informativeText)
{
    auto *box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(VelkaApplication::applicationNameText());
    box->setIcon(QMessageBox::Warning);
    box->setStandardButtons(QMessageBox::Ok);
    box->setText(text);
    box->setInformativeText(informativeText);
    return box;
}

} // namespace

void VelkaWindow::connectFileResults()
{
    connect(m_controller, &QmdDocController::fileSaved, this, &VelkaWindow::onFileSaved);
    connect(m_controller, &QmdDocController::fileSaveError, this,
            [this](const QString &fileName, QFile::FileError error) { onFileSaveError(fileName, error); });
    connect(m_controller, &QmdDocController::fileLoaded, this, &VelkaWindow::onFileLoaded);
    connect(m_controller, &QmdDocController::fileLoadError, this,
            [this](const QString &fileName, QFile::FileError error) { onFileLoadError(fileName, error); });
    connect(m_controller, &QmdDocController::fileWarningsReported, this,
            [this](const QString &fileName, const QStringList &warnings) {
                onFileWarningsReported(fileName, warnings);
            });
    // What the template skipped is not the user's document: nothing to show.
    connect(m_controller, &QmdDocController::templateLoaded, this, [this] { m_fileWarnings.clear(); });
}

void VelkaWindow::save()
{
    const QString fileName = m_controller->fileName();
    if (fileName.isEmpty())
        saveAs();
    else
        m_controller->requestSave(fileName);
}

void VelkaWindow::saveAs()
{
    activateWindow();
    raise();
    const QString fileName = m_controller->fileName();
    auto *dialog = new QFileDialog(this, tr("Save As"));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(FileMessages::documentSuffix());
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilter(FileMessages::documentFilter());
    dialog->selectFile(fileName.isEmpty() ? tr("Untitled.%1").arg(FileMessages::documentSuffix()) : fileName);
    withApplicationSettings([dialog](QSettings &settings) {
        dialog->restoreGeometry(settings.value(SaveAsDialogGeometrySetting).toByteArray());
        dialog->restoreState(settings.value(SaveAsDialogStateSetting).toByteArray());
    });
    connect(dialog, &QDialog::finished, this, &VelkaWindow::onSaveAsDialogFinished);
    blockWhileOpen(dialog);
    dialog->open();
}

void VelkaWindow::onSaveAsDialogFinished()
{
    auto *dialog = qobject_cast<QFileDialog *>(sender());
    if (!dialog)
        return;
    const QStringList files = dialog->selectedFiles();
    withApplicationSettings([dialog](QSettings &settings) {
        settings.setValue(SaveAsDialogGeometrySetting, dialog->saveGeometry());
        settings.setValue(SaveAsDialogStateSetting, dialog->saveState());
    });
    if (dialog->result() == QDialog::Accepted && !files.isEmpty() && !files.first().isEmpty())
        m_controller->requestSave(files.first());
    else
        m_closeAfterSave = false;
}

void VelkaWindow::onFileSaved()
{
    addRecentFile(m_controller->fileName());
    showFileWarnings(true);
    if (m_closeAfterSave)
        QTimer::singleShot(0, this, &QWidget::close);
}

void VelkaWindow::onFileSaveError(const QString &fileName, QFile::FileError error)
{
    m_closeAfterSave = false;
    m_fileWarnings.clear();
    QMessageBox *box = warningBox(this, FileMessages::saveErrorText(fileName, error),
                                  FileMessages::errorDetailText(m_controller->fileErrorString(), error));
    box->setWindowModality(Qt::WindowModal);
    box->open();
}

void VelkaWindow::onFileLoaded()
{
    // A loaded document always starts with the selection tool.
    m_controller->requestSetData(QmdVelkaKeys::Tool, 0, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    addRecentFile(m_controller->fileName());
    showFileWarnings(false);
}

void VelkaWindow::onFileLoadError(const QString &fileName, QFile::FileError error)
{
    m_fileWarnings.clear();
    QMessageBox *box = warningBox(nullptr, FileMessages::loadErrorText(fileName, error),
                                  FileMessages::errorDetailText(m_controller->fileErrorString(), error));
    box->setWindowModality(Qt::ApplicationModal);
    box->exec();
    // A failed load changed nothing: the last window stays, so that the
    // program goes on running.
    if (otherWindowRemains())
        close();
}

void VelkaWindow::onFileWarningsReported(const QString &fileName, const QStringList &warnings)
{
    m_warnedFileName = fileName;
    m_fileWarnings = warnings;
}

void VelkaWindow::showFileWarnings(bool saved)
{
    if (m_fileWarnings.isEmpty())
        return;
    const QStringList warnings = std::exchange(m_fileWarnings, QStringList());
    const QString text = saved ? FileMessages::saveWarningsText(m_warnedFileName)
                               : FileMessages::loadWarningsText(m_warnedFileName);
    // A window that closes after this save leaves the message on its own.
    QMessageBox *box = warningBox(m_closeAfterSave ? nullptr : this, text, warnings.join(QLatin1Char('\n')));
    box->setWindowModality(m_closeAfterSave ? Qt::ApplicationModal : Qt::WindowModal);
    if (box->parentWidget() && !isVisible()) {
        m_messageAwaitingShow = box;
        return;
    }
    box->open();
}

void VelkaWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // After the window's own mapping, so the window manager stacks the
    // message above it.
    if (QMessageBox *box = std::exchange(m_messageAwaitingShow, nullptr))
        QTimer::singleShot(0, box, &QDialog::open);
}

bool VelkaWindow::otherWindowRemains() const
{
    const QWidgetList topLevels = QApplication::topLevelWidgets();
    return std::any_of(topLevels.cbegin(), topLevels.cend(), [this](QWidget *widget) {
        return widget != this && qobject_cast<VelkaWindow *>(widget) && widget->isVisible();
    });
}

void VelkaWindow::addRecentFile(const QString &fileName)
{
    withApplicationSettings([&fileName](QSettings &settings) { RecentFiles::add(&settings, fileName); });
}

void VelkaWindow::closeEvent(QCloseEvent *event)
{
    if (m_controller->isAtCleanState()) {
        event->accept();
        return;
    }
    activateWindow();
    raise();
    setFocus(Qt::OtherFocusReason);

    QString title = windowTitle();
    title.remove(QStringLiteral("[*]"));
    QMessageBox box(this);
    box.setWindowModality(Qt::WindowModal);
    box.setWindowTitle(VelkaApplication::applicationNameText());
    box.setIcon(QMessageBox::Question);
    box.setText(tr("Do you want to save the changes you made to the network “%1”?").arg(title));
    box.setInformativeText(tr("Your changes will be lost if you don't save them."));
    box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    beginBlockByDialog();
    const int answer = box.exec();
    endBlockByDialog();

    switch (answer) {
    case QMessageBox::Save:
        m_closeAfterSave = true;
        save();
        event->ignore();
        break;
    case QMessageBox::Discard:
        event->accept();
        break;
    default:
        event->ignore();
        break;
    }
}

void VelkaWindow::print()
{
    auto *dialog = new QPrintDialog(m_printer, this);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    blockWhileOpen(dialog);
    dialog->open(this, SLOT(onPrintAccepted()));
}

void VelkaWindow::onPrintAccepted()
{
    QPainter painter;
    if (!painter.begin(m_printer)) {
        QMessageBox *box = warningBox(this, tr("The network could not be printed."), QString());
        box->setWindowModality(Qt::WindowModal);
        box->open();
        return;
    }
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    renderNetwork(painter, *m_scene);
    painter.end();
}

// ---- Edit and zoom commands ---------------------------------------------------

void VelkaWindow::undo()
{
    if (!m_controller->canUndo())
        return;
    if (!m_controller->isAtCleanState()) {
        m_controller->requestUndo();
        return;
    }
    // Undoing now leaves the state the file was saved in.
    activateWindow();
    raise();
    setFocus(Qt::OtherFocusReason);
    QMessageBox box(this);
    box.setWindowModality(Qt::WindowModal);
    box.setWindowTitle(VelkaApplication::applicationNameText());
    box.setIcon(QMessageBox::Question);
    box.setText(tr("Warning"));
    box.setInformativeText(tr("You are about to undo past the last point that this file was saved. "
                              "Do you want to do this?"));
    QPushButton *undoButton = box.addButton(tr("&Undo"), QMessageBox::AcceptRole);
    QPushButton *keepButton = box.addButton(tr("&Don't Undo"), QMessageBox::RejectRole);
    box.setDefaultButton(undoButton);
    box.setEscapeButton(keepButton);
    beginBlockByDialog();
    box.exec();
    if (box.clickedButton() == undoButton)
        m_controller->requestUndo();
    endBlockByDialog();
}

void VelkaWindow::redo()
{
    if (m_controller->canRedo())
        m_controller->requestRedo();
}

void VelkaWindow::cut()
{
    copy();
    del();
}

void VelkaWindow::copy()
{
    const QmdItemIdSet selection = selectedElements();
    if (!selection.isEmpty())
        m_controller->requestCopy(selection);
}

void VelkaWindow::paste()
{
    QGraphicsView *view = ui->networkView;
    auto *networkView = qobject_cast<NetworkView *>(view);
    m_controller->requestPaste(networkView ? networkView->viewportCenterTickPos()
                                           : sceneToTickPos(view->mapToScene(view->viewport()->rect().center())));
}

void VelkaWindow::del()
{
    const QmdItemIdSet selection = selectedElements();
    if (selection.isEmpty())
        return;
    QmdItemIdList ids(selection.cbegin(), selection.cend());
    std::sort(ids.begin(), ids.end());
    // One request: the whole selection goes in one undo step.
    m_controller->requestRemove(ids, m_controller->findElementsIndex(), QmdRequestOptions(tr("Delete")));
}

void VelkaWindow::selectAll()
{
    QPainterPath area;
    area.addRect(m_scene->sceneContentsRect());
    m_scene->setSelectionArea(area, Qt::ReplaceSelection, Qt::IntersectsItemShape, QTransform());
}

void VelkaWindow::zoomActualSize()
{
    zoom(1.0);
}

void VelkaWindow::zoomIn()
{
    // From the factor the view shows, also when the stored one is unusable.
    zoom(usableZoomScale(m_controller->data(QmdVelkaKeys::ZoomScale)) * 2.0);
}

void VelkaWindow::zoomOut()
{
    zoom(usableZoomScale(m_controller->data(QmdVelkaKeys::ZoomScale)) / 2.0);
}

void VelkaWindow::zoom(qreal scale)
{
    m_controller->requestSetData(QmdVelkaKeys::ZoomScale, qBound(MinZoomScale, double(scale), MaxZoomScale), QmdIndex(),
                                 QmdRequestOptions(Qmd::NoUndoHistory, tr("Zoom")));
}
