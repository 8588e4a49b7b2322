#include "qmdvelkakeys.h"
#include "velkamenubar.h"

#include "abstractsync.h"
#include "applicationsettings.h"
#include "datafiles.h"
#include "filemessages.h"
#include "qmdvelkacontroller.h"
#include "recentfiles.h"
#include "velkaapplication.h"
#include "velkawindow.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTextEdit>

namespace {

const QString RecentFilesGroup = QStringLiteral("RecentFiles");

// A text field deletes its own selection; the focus may be in one when the
// entry is chosen with the mouse.
bool deleteInTextField(QWidget *widget)
{
    if (auto *lineEdit = qobject_cast<QLineEdit *>(widget)) {
        lineEdit->del();
        return true;
    }
    if (auto *textEdit = qobject_cast<QTextEdit *>(widget)) {
        textEdit->textCursor().removeSelectedText();
        return true;
    }
    if (auto *plainTextEdit = qobject_cast<QPlainTextEdit *>(widget)) {
        plainTextEdit->textCursor().removeSelectedText();
        return true;
    }
    return false;
}

// A spin box or an editable combo box edits its text in a line edit of its
// own, which does not hold the focus itself: the commands go there.
QWidget *editingWidget(QWidget *focus)
{
    if (auto *comboBox = qobject_cast<QComboBox *>(focus)) {
        if (QLineEdit *lineEdit = comboBox->lineEdit())
            return lineEdit;
    }
    if (qobject_cast<QAbstractSpinBox *>(focus)) {
        if (auto *lineEdit = focus->findChild<QLineEdit *>(QString(), Qt::FindDirectChildrenOnly))
            return lineEdit;
    }
    return focus;
}

// The platform's first binding of the key; ours where the platform has none.
QKeySequence standardOrOwnKey(QKeySequence::StandardKey key, const QKeySequence &own)
{
    const QList<QKeySequence> bindings = QKeySequence::keyBindings(key);
    return bindings.isEmpty() ? own : bindings.first();
}

bool invokeIfPresent(QObject *receiver, const char *method)
{
    const QByteArray signature = QByteArray(method) + "()";
    if (!receiver || receiver->metaObject()->indexOfMethod(signature.constData()) < 0)
        return false;
    return QMetaObject::invokeMethod(receiver, method, Qt::DirectConnection);
}

} // namespace

VelkaMenuBar::VelkaMenuBar(VelkaWindow *window)
    : QMenuBar(window)
{
    buildFileMenu();
    buildEditMenu();
    buildViewMenu();
    buildControlMenu();
    buildToolMenu();
    buildHelpMenu();
    setVelkaWindow(window);
}

VelkaMenuBar::~VelkaMenuBar() = default;

QAction *VelkaMenuBar::addEntry(QMenu *menu, const QString &text, const QKeySequence &shortcut)
{
    QAction *action = menu->addAction(text);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    return action;
}

void VelkaMenuBar::buildFileMenu()
{
    m_fileMenu = addMenu(tr("&File"));
    m_newAction = addEntry(m_fileMenu, tr("&New"), QKeySequence::New);
    m_openAction = addEntry(m_fileMenu, tr("&Open..."), QKeySequence::Open);
    m_openRecentMenu = m_fileMenu->addMenu(tr("Open &Recent"));
    connect(m_openRecentMenu, &QMenu::aboutToShow, this, &VelkaMenuBar::updateOpenRecentMenu);
    connect(m_openRecentMenu, &QMenu::triggered, this, &VelkaMenuBar::onOpenFileActionTriggered);
    m_openExampleMenu = m_fileMenu->addMenu(tr("Open &Example"));
    connect(m_openExampleMenu, &QMenu::aboutToShow, this, &VelkaMenuBar::updateOpenExampleMenu);
    connect(m_openExampleMenu, &QMenu::triggered, this, &VelkaMenuBar::onOpenFileActionTriggered);
    m_closeAction = addEntry(m_fileMenu, tr("&Close"), QKeySequence::Close);
    m_fileMenu->addSeparator();
    m_saveAction = addEntry(m_fileMenu, tr("&Save"), QKeySequence::Save);
    m_saveAsAction = addEntry(m_fileMenu, tr("Save &As..."),
                              standardOrOwnKey(QKeySequence::SaveAs, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)));
    m_fileMenu->addSeparator();
    m_pageSetupAction = addEntry(m_fileMenu, tr("Page Set&up..."), QKeySequence(tr("Shift+Ctrl+P")));
    m_printAction = addEntry(m_fileMenu, tr("&Print..."), QKeySequence::Print);
    m_fileMenu->addSeparator();
    m_exitAction = addEntry(m_fileMenu, tr("E&xit"),
                            standardOrOwnKey(QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q)));

    if (VelkaApplication *app = VelkaApplication::instance()) {
        connect(m_newAction, &QAction::triggered, app, &VelkaApplication::newDocument);
        connect(m_openAction, &QAction::triggered, app, [app] { app->openDocuments(); });
        connect(m_closeAction, &QAction::triggered, app, &VelkaApplication::closeActiveWindow);
        connect(m_exitAction, &QAction::triggered, app, &VelkaApplication::appQuit);
    }
}

void VelkaMenuBar::buildEditMenu()
{
    m_editMenu = addMenu(tr("&Edit"));
    m_undoAction = addEntry(m_editMenu, tr("&Undo"), QKeySequence::Undo);
    m_redoAction = addEntry(m_editMenu, tr("&Redo"), QKeySequence::Redo);
    m_editMenu->addSeparator();
    m_cutAction = addEntry(m_editMenu, tr("Cu&t"), QKeySequence::Cut);
    m_copyAction = addEntry(m_editMenu, tr("&Copy"), QKeySequence::Copy);
    m_pasteAction = addEntry(m_editMenu, tr("&Paste"), QKeySequence::Paste);
    m_deleteAction = addEntry(m_editMenu, tr("&Delete"), QKeySequence::Delete);
    m_selectAllAction = addEntry(m_editMenu, tr("Select A&ll"), QKeySequence::SelectAll);
    m_editMenu->addSeparator();
    m_preferencesAction = addEntry(m_editMenu, tr("&Preferences..."));

    connect(m_cutAction, &QAction::triggered, this, &VelkaMenuBar::cut);
    connect(m_copyAction, &QAction::triggered, this, &VelkaMenuBar::copy);
    connect(m_pasteAction, &QAction::triggered, this, &VelkaMenuBar::paste);
    connect(m_deleteAction, &QAction::triggered, this, &VelkaMenuBar::del);
    connect(m_selectAllAction, &QAction::triggered, this, &VelkaMenuBar::selectAll);
    if (VelkaApplication *app = VelkaApplication::instance())
        connect(m_preferencesAction, &QAction::triggered, app, &VelkaApplication::showAppPrefs);
}

void VelkaMenuBar::buildViewMenu()
{
    m_viewMenu = addMenu(tr("&View"));
    m_actualSizeAction = addEntry(m_viewMenu, tr("Actual Size"), QKeySequence(Qt::CTRL | Qt::Key_0));
    m_zoomInAction = m_viewMenu->addAction(tr("Zoom &In"));
    // Ctrl+= too: on most keyboards "+" is "=" with Shift.
    QList<QKeySequence> zoomInKeys = QKeySequence::keyBindings(QKeySequence::ZoomIn);
    const QKeySequence unshiftedZoomIn(Qt::CTRL | Qt::Key_Equal);
    if (!zoomInKeys.contains(unshiftedZoomIn))
        zoomInKeys << unshiftedZoomIn;
    m_zoomInAction->setShortcuts(zoomInKeys);
    m_zoomOutAction = addEntry(m_viewMenu, tr("Zoom &Out"), QKeySequence::ZoomOut);
    m_viewMenu->addSeparator();
    m_showGridAction = addEntry(m_viewMenu, tr("Show &Grid"), QKeySequence(tr("Ctrl+'")));
    m_snapToGridAction = addEntry(m_viewMenu, tr("Turn &Snap to Grid On"), QKeySequence(tr("Shift+Ctrl+'")));
    m_viewMenu->addSeparator();
    m_showNodeCountersAction = addEntry(m_viewMenu, tr("Show Node &Counters"), QKeySequence(tr("Shift+Ctrl+C")));
}

void VelkaMenuBar::buildControlMenu()
{
    m_controlMenu = addMenu(tr("&Control"));
    m_playPauseAction = addEntry(m_controlMenu, tr("Play"), QKeySequence(Qt::Key_Space));
    // A held key toggles once.
    m_playPauseAction->setAutoRepeat(false);
    m_controlMenu->addSeparator();
    m_gotoStartAction = addEntry(m_controlMenu, tr("Go to &Start"), QKeySequence(tr("Ctrl+Left")));
}

void VelkaMenuBar::buildToolMenu()
{
    m_toolMenu = addMenu(tr("&Tool"));
    m_toolGroup = new QActionGroup(this);
    m_toolGroup->setExclusive(true);
    const struct
    {
        QString text;
        QString shortcut;
    } tools[] = {{tr("   &Selection"), tr("Ctrl+1")},
                 {tr("   &Zoom"), tr("Ctrl+2")},
                 {tr("   &Node && Edge"), tr("Ctrl+3")},
                 {tr("   &Voice Group"), tr("Ctrl+4")},
                 {tr("   &Text Box"), tr("Ctrl+5")}};
    for (uint tool = 0; tool < 5; ++tool) {
        if (tool == 0)
            m_toolMenu->addAction(tr("General"))->setEnabled(false);
        else if (tool == 2)
            m_toolMenu->addAction(tr("Elements"))->setEnabled(false);
        QAction *action = addEntry(m_toolMenu, tools[tool].text, QKeySequence(tools[tool].shortcut));
        action->setCheckable(true);
        action->setData(tool);
        m_toolGroup->addAction(action);
        m_toolActions.insert(tool, action);
    }
    connect(m_toolGroup, &QActionGroup::triggered, this, &VelkaMenuBar::onToolTriggered);
}

void VelkaMenuBar::buildHelpMenu()
{
    m_helpMenu = addMenu(tr("&Help"));
    m_manualAction = addEntry(m_helpMenu, tr("Velka &Manual"));
    m_helpMenu->addSeparator();
    m_websiteAction = addEntry(m_helpMenu, tr("Velka &Website"));
    m_communityAction = addEntry(m_helpMenu, tr("Velka &Community"));
    m_supportAction = addEntry(m_helpMenu, tr("Contact &Support"));
    m_helpMenu->addSeparator();
    m_aboutAction = addEntry(m_helpMenu, tr("&About Velka"));
    if (VelkaApplication *app = VelkaApplication::instance()) {
        connect(m_manualAction, &QAction::triggered, app, &VelkaApplication::openVelkaManual);
        connect(m_websiteAction, &QAction::triggered, app, &VelkaApplication::openVelkaWebsiteUrl);
        connect(m_communityAction, &QAction::triggered, app, &VelkaApplication::openVelkaCommunityUrl);
        connect(m_supportAction, &QAction::triggered, app, &VelkaApplication::openVelkaSupportUrl);
        connect(m_aboutAction, &QAction::triggered, app, &VelkaApplication::showAppAbout);
    }
}

bool VelkaMenuBar::isWindowUsable() const
{
    return m_window && m_window->controller() && !m_window->isBlockedByDialog();
}

void VelkaMenuBar::setVelkaWindow(VelkaWindow *window)
{
    for (const QMetaObject::Connection &connection : std::as_const(m_windowConnections))
        disconnect(connection);
    m_windowConnections.clear();

    m_window = window;
    QmdVelkaController *controller = window ? window->controller() : nullptr;
    if (window && controller) {
        auto &c = m_windowConnections;
        c << connect(controller, &QmdController::modelReset, this, &VelkaMenuBar::onModelReset);
        c << connect(controller,
                     qOverload<const QmdIndex &, const QStringList &, QmdRequestId>(&QmdController::itemsChanged),
                     this, [this](const QmdIndex &parent, const QStringList &keys) { onItemsEffected(parent, keys); });
        c << connect(controller,
                     qOverload<const QmdIndex &, const QStringList &, QmdRequestId>(&QmdController::itemsRemoved),
                     this, [this](const QmdIndex &parent, const QStringList &keys) { onItemsEffected(parent, keys); });
        c << connect(controller, &QmdVelkaController::playbackStateChanged, this,
                     &VelkaMenuBar::setPlayPauseActionText);
        c << connect(controller, &QmdController::undoTextChanged, this, &VelkaMenuBar::syncUndoActionText);
        c << connect(controller, &QmdController::redoTextChanged, this, &VelkaMenuBar::syncRedoActionText);
        c << connect(controller, &QmdController::canUndoChanged, m_undoAction,
                     [this](bool canUndo) { m_undoAction->setEnabled(isWindowUsable() && canUndo); });
        c << connect(controller, &QmdController::canRedoChanged, m_redoAction,
                     [this](bool canRedo) { m_redoAction->setEnabled(isWindowUsable() && canRedo); });

        c << connect(m_showGridAction, &QAction::triggered, controller, &QmdVelkaController::requestToggleShowGrid);
        c << connect(m_snapToGridAction, &QAction::triggered, controller,
                     &QmdVelkaController::requestToggleSnapToGrid);
        c << connect(m_showNodeCountersAction, &QAction::triggered, controller,
                     &QmdVelkaController::requestToggleShowNodeCounters);
        c << connect(m_playPauseAction, &QAction::triggered, controller,
                     &QmdVelkaController::requestTogglePlayback);
        c << connect(m_gotoStartAction, &QAction::triggered, controller, &QmdVelkaController::requestGotoStart);

        c << connect(m_saveAction, &QAction::triggered, window, &VelkaWindow::save);
        c << connect(m_saveAsAction, &QAction::triggered, window, &VelkaWindow::saveAs);
        c << connect(m_pageSetupAction, &QAction::triggered, window, &VelkaWindow::pageSetup);
        c << connect(m_printAction, &QAction::triggered, window, &VelkaWindow::print);
        c << connect(m_undoAction, &QAction::triggered, window, &VelkaWindow::undo);
        c << connect(m_redoAction, &QAction::triggered, window, &VelkaWindow::redo);
        c << connect(m_actualSizeAction, &QAction::triggered, window, &VelkaWindow::zoomActualSize);
        c << connect(m_zoomInAction, &QAction::triggered, window, &VelkaWindow::zoomIn);
        c << connect(m_zoomOutAction, &QAction::triggered, window, &VelkaWindow::zoomOut);

        c << connect(window, &VelkaWindow::canZoomInChanged, m_zoomInAction,
                     [this](bool canZoomIn) { m_zoomInAction->setEnabled(isWindowUsable() && canZoomIn); });
        c << connect(window, &VelkaWindow::canZoomOutChanged, m_zoomOutAction,
                     [this](bool canZoomOut) { m_zoomOutAction->setEnabled(isWindowUsable() && canZoomOut); });
        c << connect(window, &VelkaWindow::blockedByDialogChanged, this,
                     &VelkaMenuBar::onVelkaWindowBlockedByDialogChanged);
    }

    const bool usable = isWindowUsable();
    m_closeAction->setEnabled(usable);
    syncEnabledStateOfSaveActions();
    m_pageSetupAction->setEnabled(usable);
    m_printAction->setEnabled(usable);
    m_editMenu->setEnabled(usable);
    for (QAction *action : m_editMenu->actions())
        action->setEnabled(usable);
    syncUndoActionText();
    syncRedoActionText();
    m_undoAction->setEnabled(usable && controller->canUndo());
    m_redoAction->setEnabled(usable && controller->canRedo());
    m_actualSizeAction->setEnabled(usable);
    m_zoomInAction->setEnabled(usable && window->canZoomIn());
    m_zoomOutAction->setEnabled(usable && window->canZoomOut());
    for (QAction *action : {m_showGridAction, m_snapToGridAction, m_showNodeCountersAction})
        action->setEnabled(usable);
    m_controlMenu->setEnabled(usable);
    m_playPauseAction->setEnabled(usable);
    m_gotoStartAction->setEnabled(usable);
    m_toolMenu->setEnabled(usable);
    for (QAction *action : std::as_const(m_toolActions))
        action->setEnabled(usable);

    setSnapToGridActionText(false);
    setShowGridActionText(false);
    setShowNodeCountersActionText(false);
    setPlayPauseActionText(false);

    if (controller) {
        onItemsEffected(QmdIndex(), {QmdVelkaKeys::ShowGrid, QmdVelkaKeys::SnapToGrid, QmdVelkaKeys::ShowNodeCounters, QmdVelkaKeys::Tool});
        const AbstractSync *clock = controller->sync();
        setPlayPauseActionText(clock && clock->isPlaying());
    }
}

void VelkaMenuBar::onModelReset()
{
    setVelkaWindow(m_window);
}

void VelkaMenuBar::onToolTriggered(QAction *action)
{
    if (m_window && m_window->controller())
        m_window->controller()->requestSetData(QmdVelkaKeys::Tool, action->data(), QmdIndex(),
                                               QmdRequestOptions(Qmd::NoUndoHistory));
}

void VelkaMenuBar::onItemsEffected(const QmdIndex &parent, const QStringList &keys)
{
    if (!m_window || !m_window->controller() || parent != QmdIndex())
        return;
    QmdVelkaController *controller = m_window->controller();
    if (keys.contains(QmdVelkaKeys::ShowGrid))
        setShowGridActionText(controller->data(QmdVelkaKeys::ShowGrid).toBool());
    if (keys.contains(QmdVelkaKeys::SnapToGrid))
        setSnapToGridActionText(controller->data(QmdVelkaKeys::SnapToGrid).toBool());
    if (keys.contains(QmdVelkaKeys::ShowNodeCounters))
        setShowNodeCountersActionText(controller->data(QmdVelkaKeys::ShowNodeCounters).toBool());
    if (keys.contains(QmdVelkaKeys::Tool)) {
        bool ok = false;
        const uint tool = controller->data(QmdVelkaKeys::Tool).toUInt(&ok);
        if (QAction *action = ok ? m_toolActions.value(tool) : nullptr)
            action->setChecked(true);
        else
            controller->requestSetData(QmdVelkaKeys::Tool, 0, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    }
}

void VelkaMenuBar::onVelkaWindowBlockedByDialogChanged(bool)
{
    setVelkaWindow(m_window);
}

void VelkaMenuBar::clearOpenRecentMenu()
{
    withApplicationSettings([](QSettings &settings) { settings.remove(RecentFilesGroup); });
}

void VelkaMenuBar::updateOpenRecentMenu()
{
    m_openRecentMenu->clear();
    QStringList paths;
    withApplicationSettings([&paths](QSettings &settings) { paths = RecentFiles::read(&settings); });
    QList<QFileInfo> files;
    QHash<QString, int> baseNameCounts;
    for (const QString &path : std::as_const(paths)) {
        const QFileInfo file(path);
        if (path.isEmpty() || !file.exists())
            continue;
        files.append(file);
        ++baseNameCounts[file.baseName()];
    }
    QFileIconProvider icons;
    for (const QFileInfo &file : std::as_const(files)) {
        QString text = file.baseName();
        if (baseNameCounts.value(text) > 1)
            text += tr(" — ") + file.dir().dirName();
        QAction *action = m_openRecentMenu->addAction(icons.icon(file), text);
        action->setData(file.filePath());
    }
    if (!files.isEmpty())
        m_openRecentMenu->addSeparator();
    QAction *clear = m_openRecentMenu->addAction(tr("&Clear Menu"));
    connect(clear, &QAction::triggered, this, &VelkaMenuBar::clearOpenRecentMenu);
    clear->setEnabled(!files.isEmpty());
}

void VelkaMenuBar::updateOpenExampleMenu()
{
    m_openExampleMenu->clear();
    // Listed at once: the menu shows what the folder holds now.
    const QString folder = DataFiles::locate(DataFiles::examplesFolderName());
    const QFileInfoList examples =
        folder.isEmpty() ? QFileInfoList()
                         : QDir(folder).entryInfoList({QStringLiteral("*.") + FileMessages::documentSuffix()},
                                                      QDir::Files, QDir::Name);
    if (examples.isEmpty()) {
        m_openExampleMenu->addAction(tr("(Empty)"))->setEnabled(false);
        return;
    }
    QFileIconProvider icons;
    for (const QFileInfo &example : examples) {
        QAction *action = m_openExampleMenu->addAction(icons.icon(example), example.baseName());
        action->setData(example.filePath());
    }
}

void VelkaMenuBar::onOpenFileActionTriggered(QAction *action)
{
    VelkaApplication *app = VelkaApplication::instance();
    const QString fileName = action ? action->data().toString() : QString();
    if (app && !fileName.isEmpty())
        app->openDocument(fileName);
}

void VelkaMenuBar::forwardEditCommand(const char *method)
{
    if (QWidget *focus = editingWidget(QApplication::focusWidget())) {
        if (qstrcmp(method, "del") == 0 && deleteInTextField(focus))
            return;
        if (invokeIfPresent(focus, method))
            return;
    }
    VelkaApplication *app = VelkaApplication::instance();
    invokeIfPresent(app ? app->focusWindow() : m_window.data(), method);
}

void VelkaMenuBar::cut()
{
    forwardEditCommand("cut");
}

void VelkaMenuBar::copy()
{
    forwardEditCommand("copy");
}

void VelkaMenuBar::paste()
{
    forwardEditCommand("paste");
}

void VelkaMenuBar::del()
{
    forwardEditCommand("del");
}

void VelkaMenuBar::selectAll()
{
    forwardEditCommand("selectAll");
}

void VelkaMenuBar::syncEnabledStateOfSaveActions()
{
    const bool usable = isWindowUsable();
    m_saveAction->setEnabled(usable);
    m_saveAsAction->setEnabled(usable);
}

void VelkaMenuBar::syncUndoActionText()
{
    m_undoAction->setText(m_window && m_window->controller() ? tr("&Undo") + QLatin1Char(' ') + m_window->controller()->undoText()
                                   : tr("&Undo"));
}

void VelkaMenuBar::syncRedoActionText()
{
    m_redoAction->setText(m_window && m_window->controller() ? tr("&Redo") + QLatin1Char(' ') + m_window->controller()->redoText()
                                   : tr("&Redo"));
}

void VelkaMenuBar::setShowGridActionText(bool shown)
{
    m_showGridAction->setText(shown ? tr("Hide &Grid") : tr("Show &Grid"));
}

void VelkaMenuBar::setSnapToGridActionText(bool on)
{
    m_snapToGridAction->setText(on ? tr("Turn &Snap to Grid Off") : tr("Turn &Snap to Grid On"));
}

void VelkaMenuBar::setShowNodeCountersActionText(bool shown)
{
    m_showNodeCountersAction->setText(shown ? tr("Hide Node &Counters") : tr("Show Node &Counters"));
}

void VelkaMenuBar::setPlayPauseActionText(bool playing)
{
    m_playPauseAction->setText(playing ? tr("Pause") : tr("Play"));
}

void VelkaMenuBar::syncInspectorActionText()
{
}

void VelkaMenuBar::syncSynthDialogActionText()
{
}

void VelkaMenuBar::mac_createWindowMenu()
{
}
