#include "velkaapplication.h"

#include "applicationdialogs.h"
#include "applicationmidi.h"
#include "csettingschangevalueevent.h"
#include "datafiles.h"
#include "displayscale.h"
#include "engineplayerfactory.h"
#include "filemessages.h"
#include "focusedkeysfilter.h"
#include "midioutput.h"
#include "midisynth.h"
#include "mvcevent.h"
#include "outputportnames.h"
#include "qmdvelkacontroller.h"
#include "settingscontroller.h"
#include "settingskeys.h"
#include "settingsmodel.h"
#include "shareddialogs.h"
#include "singleinstance.h"
#include "ui_AboutBoxForm.h"
#include "velkawindow.h"
#include "windowplacement.h"
#include "vsettingsvaluechangedevent.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHash>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPixmapCache>
#include <QScreen>
#include <QSettings>
#include <QSplashScreen>
#include <QSysInfo>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

VelkaApplication *VelkaApplication::s_instance = nullptr;

namespace {

constexpr int VersionMajor = 1;
constexpr int VersionMinor = 6;
constexpr int VersionPatch = 0;
constexpr int VersionBuild = 695;
constexpr int PixmapCacheLimitKb = 65536;

const QString NewDocumentMessage = QStringLiteral("new");
const QString OpenDialogGeometrySetting = QStringLiteral("OpenDialogGeometry");
const QString OpenDialogStateSetting = QStringLiteral("OpenDialogState");
const QString WebsiteUrl = QStringLiteral("https://velka.example/");
const QString CommunityUrl = QStringLiteral("https://velka.example/community/");
const QString SupportAddress = QStringLiteral("mailto:support@velka.example");

void showWarning(const QString &text, const QString &informativeText)
{
    auto *box = new QMessageBox(QMessageBox::Warning, VelkaApplication::applicationNameText(), text,
                                QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setInformativeText(informativeText);
    box->setWindowModality(Qt::ApplicationModal);
    box->open();
}

// Every document's players come from here; it outlives every document.
EnginePlayerFactory &enginePlayerFactory()
{
    static EnginePlayerFactory factory;
    return factory;
}

} // namespace

VelkaApplication::VelkaApplication(int &argc, char **argv)
    : QApplication(argc, argv)
    , AbstractSettingsView(this)
{
    s_instance = this;

    m_singleInstance = new SingleInstance(instanceIdentity(), this);
    if (m_singleInstance->isRunning()) {
        QStringList messages = arguments().mid(1);
        // The running instance has its own working folder.
        for (QString &message : messages)
            message = QFileInfo(message).absoluteFilePath();
        if (messages.isEmpty())
            messages.append(NewDocumentMessage);
        if (!m_singleInstance->sendMessages(messages)) {
            // Nothing this launch asked for opens: it says what and fails.
            const QString missed = messages == QStringList{NewDocumentMessage}
                                       ? tr("a new window")
                                       : messages.join(QStringLiteral(", "));
            qWarning().noquote() << QStringLiteral("The running %1 did not answer within %2 ms; not opened: %3")
                                        .arg(applicationNameText())
                                        .arg(SingleInstance::SendTimeoutMs)
                                        .arg(missed);
            QTimer::singleShot(0, this, [] { QCoreApplication::exit(1); });
            return;
        }
        QTimer::singleShot(0, this, &QCoreApplication::quit);
        return;
    }

    setApplicationName(applicationNameText());
    setOrganizationName(tr("Velka"));
    setOrganizationDomain(tr("velka.example"));

    m_splash = new QSplashScreen(QPixmap());
    m_aboutBoxUi = std::make_unique<Ui_AboutBoxForm>();
    m_aboutBoxUi->setupUi(m_splash);
    m_aboutBoxUi->launchInfoLabel->setText(tr("Launching..."));
    m_aboutBoxUi->versionInfoLabel->setText(versionString());
    m_aboutBoxUi->backgroundLabel->setStyleSheet(
        QStringLiteral("QLabel { border: 1px solid rgb(80, 80, 80); }"));
    if (QScreen *screen = primaryScreen()) {
        const QRect area = screen->availableGeometry();
        m_splash->move(area.x() + area.width() / 2 - m_splash->width() / 2,
                       area.y() + area.height() / 2 - m_splash->height() / 2);
    }
    m_splash->show();
    m_splash->activateWindow();
    m_splash->raise();

    // The splash or a dialog of the start-up closing must not end the program.
    setQuitOnLastWindowClosed(false);
    QTimer::singleShot(0, this, &VelkaApplication::init);
}

VelkaApplication::~VelkaApplication()
{
    const QList<VelkaWindow *> windows = m_windows;
    for (VelkaWindow *window : windows) {
        disconnect(window, nullptr, this, nullptr);
        delete window;
    }
    m_windows.clear();
    m_focusWindow = nullptr;

    // The dialogs go before the synthesizer they show.
    delete m_dialogs;
    m_dialogs = nullptr;
    delete m_splash;
    delete m_midi;
    if (m_initialised) {
        QmdVelkaController::setPlayerFactory(nullptr);
        OutputPortNames::setSource({});
    }
    s_instance = nullptr;
}

VelkaApplication *VelkaApplication::instance()
{
    return s_instance;
}

QString VelkaApplication::applicationNameText()
{
    return tr("Velka");
}

QString VelkaApplication::versionString()
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(VersionMajor)
        .arg(VersionMinor)
        .arg(VersionPatch)
        .arg(VersionBuild);
}

QString VelkaApplication::instanceIdentity()
{
    return QStringLiteral("%1/%2 (%3; %4)")
        .arg(applicationNameText(), versionString(), QSysInfo::kernelType(),
             QSysInfo::buildCpuArchitecture());
}

bool VelkaApplication::isRunningElsewhere() const
{
    return m_singleInstance->isRunning();
}

QSettings *VelkaApplication::settings() const
{
    return m_settingsModel ? m_settingsModel->settings() : nullptr;
}

QSet<QString> VelkaApplication::midiInputPortNames() const
{
    return m_midi ? m_midi->inputPortNames() : QSet<QString>();
}

QSet<QString> VelkaApplication::midiOutputPortNames() const
{
    return m_midi ? m_midi->outputPortNames() : QSet<QString>();
}

QStringList VelkaApplication::sortedMidiInputPortNames() const
{
    return m_midi ? m_midi->sortedInputPortNames() : QStringList();
}

QStringList VelkaApplication::sortedMidiOutputPortNames() const
{
    return m_midi ? m_midi->sortedOutputPortNames() : QStringList();
}

MidiInstrument *VelkaApplication::thruInstrument() const
{
    return m_midi ? m_midi->thruInstrument() : nullptr;
}

AbstractSync *VelkaApplication::thruSync() const
{
    return m_midi ? m_midi->thruSync() : nullptr;
}

MidiSynth *VelkaApplication::synth() const
{
    return m_midi ? m_midi->synth() : nullptr;
}

bool VelkaApplication::isSynthDialogOpen() const
{
    return m_dialogs && m_dialogs->isSynthDialogOpen();
}

void VelkaApplication::init()
{
    if (m_initialised)
        return;
    m_initialised = true;
    QPixmapCache::setCacheLimit(PixmapCacheLimitKb);

    showLaunchStep(tr("Loading settings..."));
    m_settingsModel = new SettingsModel(this);
    m_settingsController = new SettingsController(m_settingsModel, this);
    // The model-ready and value-changed notifications follow through the event loop.
    m_settingsController->attachView(this);

    showLaunchStep(tr("Initializing MIDI..."));
    initMidi();

    initUi();
}

void VelkaApplication::initMidi()
{
    // Before any document exists: documents take their players and their
    // default output port from here.
    QmdVelkaController::setPlayerFactory(&enginePlayerFactory());
    OutputPortNames::setSource([] { return MidiOutput::availablePortNames(); });

    m_midi = new ApplicationMidi(this);
    connect(m_midi, &ApplicationMidi::midiInputPortsChanged, this,
            &VelkaApplication::midiInputPortsChanged);
    connect(m_midi, &ApplicationMidi::midiOutputPortsChanged, this,
            &VelkaApplication::midiOutputPortsChanged);
    m_midi->start();
}

void VelkaApplication::initUi()
{
    showLaunchStep(tr("Loading user interface..."));
    connect(this, &QApplication::focusChanged, this, &VelkaApplication::onFocusChanged);
    installEventFilter(new FocusedKeysFilter(this));
    SharedDialogs::instance()->fontDialog();
    SharedDialogs::instance()->colorDialog();

    m_dialogs = new ApplicationDialogs(m_settingsController, synth(), this);
    connect(m_dialogs, &ApplicationDialogs::synthDialogToggled, this,
            &VelkaApplication::synthDialogToggled);

    setQuitOnLastWindowClosed(true);
    if (QScreen *screen = primaryScreen())
        setDisplayScale(screen->logicalDotsPerInchX(), screen->logicalDotsPerInchY());

    const QStringList fileNames = arguments().mid(1);
    if (!fileNames.isEmpty())
        openDocuments(fileNames);
    if (m_windows.isEmpty())
        m_startupWindow = newDocument();

    m_aboutBoxUi->launchInfoLabel->clear();
    QTimer::singleShot(0, m_splash, &QWidget::hide);

    connect(m_singleInstance, &SingleInstance::messageReceived, this,
            &VelkaApplication::handleMessage);
    m_singleInstance->startDelivery();
}

void VelkaApplication::showLaunchStep(const QString &text)
{
    m_aboutBoxUi->launchInfoLabel->setText(text);
    processEvents();
}

void VelkaApplication::handleMessage(const QString &message)
{
    if (message == NewDocumentMessage)
        newDocument();
    else
        openDocument(message);
}

void VelkaApplication::pollMidiPorts()
{
    if (m_midi)
        m_midi->pollMidiPorts();
}

void VelkaApplication::onFocusChanged(QWidget *, QWidget *now)
{
    auto *window = qobject_cast<VelkaWindow *>(now ? now->window() : nullptr);
    if (!window || window == m_focusWindow)
        return;
    m_focusWindow = window;
    emit velkaFocusWindowChanged(window);
}

void VelkaApplication::onVelkaWindowDestroyed(QObject *obj)
{
    // The window is already a plain QObject here: compare addresses only.
    for (int i = 0; i < m_windows.size(); ++i) {
        if (static_cast<QObject *>(m_windows.at(i)) == obj) {
            m_windows.removeAt(i);
            break;
        }
    }
    if (static_cast<QObject *>(m_focusWindow) == obj) {
        m_focusWindow = nullptr;
        emit velkaFocusWindowChanged(nullptr);
    }
    if (m_windows.isEmpty())
        quit();
}

bool VelkaApplication::eventFilter(QObject *watched, QEvent *event)
{
    if (m_focusWindow && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space) {
        // Held down, the key repeats; one press toggles once.
        if (!QApplication::eventFilter(watched, event)
            && !static_cast<QKeyEvent *>(event)->isAutoRepeat())
            m_focusWindow->controller()->requestTogglePlayback();
        return true;
    }
    return QApplication::eventFilter(watched, event);
}

void VelkaApplication::customEvent(QEvent *event)
{
    // Settings events share type numbers with other custom events (MidiEvent).
    if (auto *mvc = dynamic_cast<MvcEvent *>(event))
        mvcEvent(mvc);
    else
        QApplication::customEvent(event);
}

void VelkaApplication::settingsModelReadyEvent(VEvent *)
{
    SettingsModel *model = settingsModel();
    if (!model)
        return;
    for (const QString &key : {midiInputEnabledKey(), midiThruEnabledKey()}) {
        if (!model->settings()->contains(key))
            postToController(new CSettingsChangeValueEvent(key, true, this));
    }
    applyMidiSettings();
}

void VelkaApplication::settingsValueChangedEvent(VSettingsValueChangedEvent *event)
{
    const QString key = event->key();
    if (key == midiInputEnabledKey() || key == midiInputPortKey() || key == midiThruEnabledKey()
        || key == midiThruPortKey())
        applyMidiSettings();
}

void VelkaApplication::applyMidiSettings()
{
    SettingsModel *model = settingsModel();
    if (!model || !m_midi)
        return;
    // Stored as text in the platform's store: read through the conversions.
    m_midi->setInputChoice(model->value(midiInputEnabledKey(), true).toBool(),
                           model->value(midiInputPortKey()).toString());
    m_midi->setThruChoice(model->value(midiThruEnabledKey(), true).toBool(),
                          model->value(midiThruPortKey()).toString());
}

VelkaWindow *VelkaApplication::registerWindow()
{
    auto *window = new VelkaWindow;
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(window, &QObject::destroyed, this, &VelkaApplication::onVelkaWindowDestroyed);
    m_windows.append(window);
    window->installEventFilter(this);
    return window;
}

bool VelkaApplication::isUntouched(const VelkaWindow *window)
{
    const QmdVelkaController *controller = window->controller();
    return controller->fileName().isEmpty() && controller->isAtCleanState() && !controller->canUndo()
           && !controller->canRedo();
}

VelkaWindow *VelkaApplication::newDocument()
{
    VelkaWindow *window = registerWindow();
    smartShowDocument(window);
    return window;
}

void VelkaApplication::smartShowDocument(VelkaWindow *doc)
{
    if (m_windows.size() < 2) {
        doc->showMaximized();
    } else {
        // A window shown before (the start-up window taking a file) keeps
        // its place.
        if (!doc->isVisible())
            placeLaterWindow(doc, m_focusWindow != doc ? m_focusWindow : nullptr);
        doc->show();
    }
    doc->activateWindow();
    doc->raise();
}

void VelkaApplication::openDocuments(const QStringList &fileNames)
{
    // A start-up window the user has changed, saved or undone in is never
    // reused: it holds the user's document.
    if (m_startupWindow && !isUntouched(m_startupWindow))
        m_startupWindow = nullptr;

    QHash<QString, VelkaWindow *> open;
    for (VelkaWindow *window : std::as_const(m_windows)) {
        const QString fileName = window->controller()->fileName();
        if (!fileName.isEmpty())
            open.insert(QFileInfo(fileName).absoluteFilePath(), window);
    }

    for (const QString &name : fileNames) {
        // An empty name would stand for the current folder.
        if (name.isEmpty())
            continue;
        const QFileInfo file(name);
        const QString fileName = file.absoluteFilePath();
        if (!file.exists())
            continue;
        if (file.isDir()) {
            showFolderRefused(fileName);
            continue;
        }
        if (VelkaWindow *window = open.value(fileName)) {
            if (window->isMinimized())
                window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
            window->activateWindow();
            window->raise();
            continue;
        }
        VelkaWindow *window = m_startupWindow;
        m_startupWindow = nullptr;
        if (!window)
            window = registerWindow();
        // The same file named again in this call finds this window.
        open.insert(fileName, window);
        window->controller()->requestLoad(fileName);
        smartShowDocument(window);
    }
}

void VelkaApplication::openDocument(const QString &fileName)
{
    openDocuments(QStringList{fileName});
}

void VelkaApplication::mac_setInspectorVisible(bool)
{
}

void VelkaApplication::mac_toggleInspector()
{
}

void VelkaApplication::setSynthDialogOpen(bool open)
{
    if (m_dialogs)
        m_dialogs->setSynthDialogOpen(open);
}

void VelkaApplication::toggleSynthDialog()
{
    setSynthDialogOpen(!isSynthDialogOpen());
}

bool VelkaApplication::isAppFontDialogVisible() const
{
    return SharedDialogs::instance()->isFontDialogVisible();
}

bool VelkaApplication::isAppColorDialogVisible() const
{
    return SharedDialogs::instance()->isColorDialogVisible();
}

QObject *VelkaApplication::appFontDialogReceiver() const
{
    return SharedDialogs::instance()->fontDialogReceiver();
}

QObject *VelkaApplication::appColorDialogReceiver() const
{
    return SharedDialogs::instance()->colorDialogReceiver();
}

void VelkaApplication::showAppFontDialog()
{
    SharedDialogs::instance()->showFontDialog();
}

bool VelkaApplication::connectAppFontDialog(QObject *receiver, const char *member)
{
    return SharedDialogs::instance()->connectFontDialog(receiver, member);
}

void VelkaApplication::disconnectAppFontDialog()
{
    SharedDialogs::instance()->disconnectFontDialog();
}

void VelkaApplication::updateAppFontDialog(const QFont &font)
{
    SharedDialogs::instance()->updateFontDialog(font);
}

void VelkaApplication::showAppColorDialog()
{
    SharedDialogs::instance()->showColorDialog();
}

bool VelkaApplication::connectAppColorDialog(QObject *receiver, const char *member)
{
    return SharedDialogs::instance()->connectColorDialog(receiver, member);
}

void VelkaApplication::disconnectAppColorDialog()
{
    SharedDialogs::instance()->disconnectColorDialog();
}

void VelkaApplication::updateAppColorDialog(const QColor &color)
{
    SharedDialogs::instance()->updateColorDialog(color);
}

void VelkaApplication::showAppPrefs()
{
    if (m_dialogs)
        m_dialogs->showPreferences();
}

void VelkaApplication::showAppAbout()
{
    m_aboutBoxUi->launchInfoLabel->clear();
    m_splash->show();
    m_splash->activateWindow();
    m_splash->raise();
}

void VelkaApplication::showFolderRefused(const QString &folder)
{
    showWarning(tr("%1 is a folder, not a network file.").arg(FileMessages::quotedName(folder)),
                QDir::toNativeSeparators(folder));
}

void VelkaApplication::openDocuments()
{
    QFileDialog dialog(nullptr, tr("Open"), QString(), FileMessages::documentFilter());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    QSettings *store = settings();
    if (store) {
        dialog.restoreGeometry(store->value(OpenDialogGeometrySetting).toByteArray());
        dialog.restoreState(store->value(OpenDialogStateSetting).toByteArray());
    }
    const int result = dialog.exec();
    if (store) {
        store->setValue(OpenDialogGeometrySetting, dialog.saveGeometry());
        store->setValue(OpenDialogStateSetting, dialog.saveState());
    }
    if (result == QDialog::Accepted)
        openDocuments(dialog.selectedFiles());
}

void VelkaApplication::saveAllDocuments()
{
    const QList<VelkaWindow *> windows = m_windows;
    for (VelkaWindow *window : windows)
        window->save();
}

void VelkaApplication::closeActiveWindow()
{
    if (QWidget *window = activeWindow())
        window->close();
}

void VelkaApplication::appQuit()
{
    if (m_windows.isEmpty()) {
        quit();
        return;
    }
    // The program ends when the last window is gone.
    const QList<QPointer<VelkaWindow>> windows(m_windows.cbegin(), m_windows.cend());
    for (const QPointer<VelkaWindow> &window : windows) {
        if (window)
            window->close();
    }
}

void VelkaApplication::showAppHelp()
{
    qDebug("VelkaApplication::showAppHelp");
}

void VelkaApplication::openVelkaManual()
{
    QString path = DataFiles::locate(DataFiles::manualFileName());
    if (path.isEmpty())
        path = QDir::cleanPath(applicationDirPath() + QLatin1Char('/') + DataFiles::manualFileName());
    if (!QFileInfo(path).isFile() || !QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        showWarning(tr("The manual could not be opened."), QDir::toNativeSeparators(path));
}

void VelkaApplication::openVelkaWebsiteUrl()
{
    QDesktopServices::openUrl(QUrl(WebsiteUrl));
}

void VelkaApplication::openVelkaCommunityUrl()
{
    QDesktopServices::openUrl(QUrl(CommunityUrl));
}

void VelkaApplication::openVelkaSupportUrl()
{
    QUrl url(SupportAddress);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("subject"), tr("%1 Support").arg(instanceIdentity()));
    url.setQuery(query);
    QDesktopServices::openUrl(url);
}
