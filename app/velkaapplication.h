#ifndef VELKAAPPLICATION_H
#define VELKAAPPLICATION_H

#include "abstractsettingsview.h"

#include <QApplication>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QStringList>

#include <memory>

class AbstractSync;
class ApplicationDialogs;
class ApplicationMidi;
class MidiInstrument;
class MidiSynth;
class QColor;
class QFont;
class QSettings;
class QSplashScreen;
class SettingsController;
class SettingsModel;
class SingleInstance;
class Ui_AboutBoxForm;
class VelkaWindow;

// The one application object. The first launch becomes the running instance:
// it shows the splash, starts settings, MIDI and the user interface in turn,
// and from then on keeps the document windows, follows which of them has the
// focus and opens what later launches send. A later launch hands its command
// line to the running instance and quits.
class VelkaApplication : public QApplication, public AbstractSettingsView
{
    Q_OBJECT

public:
    VelkaApplication(int &argc, char **argv);
    // Windows still open go first, so that their players stop while the
    // engine's objects exist; then the dialogs, the splash and MIDI.
    ~VelkaApplication() override;

    // Null before the constructor and after the destructor.
    static VelkaApplication *instance();

    static QString applicationNameText();
    static QString versionString();
    // The key under which later launches find the running instance.
    static QString instanceIdentity();

    bool isRunningElsewhere() const;
    VelkaWindow *focusWindow() const { return m_focusWindow; }
    QList<VelkaWindow *> &windows() { return m_windows; }
    // The store of the application settings; null until init() made it.
    QSettings *settings() const;

    QSet<QString> midiInputPortNames() const;
    QSet<QString> midiOutputPortNames() const;
    QStringList sortedMidiInputPortNames() const;
    QStringList sortedMidiOutputPortNames() const;
    MidiInstrument *thruInstrument() const;
    AbstractSync *thruSync() const;
    MidiSynth *synth() const;
    // True while the synthesizer dialog is open; false from the moment it closes.
    bool isSynthDialogOpen() const;

    // The shared font and colour dialogs, kept by SharedDialogs.
    bool isAppFontDialogVisible() const;
    bool isAppColorDialogVisible() const;
    QObject *appFontDialogReceiver() const;
    QObject *appColorDialogReceiver() const;

    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void velkaFocusWindowChanged(VelkaWindow *window);
    void mac_inspectorVisibilityToggled();
    // Once when the synthesizer dialog opens, once when it is gone.
    void synthDialogToggled();
    void midiInputPortsChanged();
    void midiOutputPortsChanged();

public slots:
    VelkaWindow *newDocument();
    // Opens each named file in a window of its own, or brings forward the
    // window that already shows it. Names are made absolute first; a folder
    // is refused with a message, a missing file skipped.
    void openDocuments(const QStringList &fileNames);
    void openDocument(const QString &fileName);
    // Asks for the files with the Open dialog.
    void openDocuments();
    void saveAllDocuments();
    void closeActiveWindow();
    // Asks every window to close; a window whose close is refused keeps the
    // program running.
    void appQuit();
    void showAppHelp();
    // The manual beside the program; a message when it cannot be opened.
    void openVelkaManual();
    void openVelkaWebsiteUrl();
    void openVelkaCommunityUrl();
    void openVelkaSupportUrl();
    void mac_setInspectorVisible(bool visible);
    void mac_toggleInspector();
    // The synthesizer dialog: at most one, made on demand. No menu entry
    // opens it.
    void setSynthDialogOpen(bool open);
    void toggleSynthDialog();
    void showAppFontDialog();
    bool connectAppFontDialog(QObject *receiver, const char *member);
    void disconnectAppFontDialog();
    void updateAppFontDialog(const QFont &font);
    void showAppColorDialog();
    bool connectAppColorDialog(QObject *receiver, const char *member);
    void disconnectAppColorDialog();
    void updateAppColorDialog(const QColor &color);
    // The preferences: at most one dialog, made on demand.
    void showAppPrefs();
    void showAppAbout();
    void init();
    void handleMessage(const QString &message);
    void pollMidiPorts();
    void onFocusChanged(QWidget *old, QWidget *now);
    void onVelkaWindowDestroyed(QObject *obj);
    void smartShowDocument(VelkaWindow *doc);

protected:
    void customEvent(QEvent *event) override;
    void settingsModelReadyEvent(VEvent *event) override;
    void settingsValueChangedEvent(VSettingsValueChangedEvent *event) override;

private:
    void initMidi();
    void initUi();
    void showLaunchStep(const QString &text);
    VelkaWindow *registerWindow();
    // Untitled, unmodified and without undo history: may take the first file.
    static bool isUntouched(const VelkaWindow *window);
    void showFolderRefused(const QString &folder);
    // Hands the stored MIDI choices to the MIDI objects.
    void applyMidiSettings();

    static VelkaApplication *s_instance;

    SingleInstance *m_singleInstance = nullptr;
    bool m_initialised = false;
    VelkaWindow *m_focusWindow = nullptr;
    QList<VelkaWindow *> m_windows;
    QPointer<VelkaWindow> m_startupWindow;
    QSplashScreen *m_splash = nullptr;
    std::unique_ptr<Ui_AboutBoxForm> m_aboutBoxUi;
    SettingsModel *m_settingsModel = nullptr;
    SettingsController *m_settingsController = nullptr;
    ApplicationMidi *m_midi = nullptr;
    ApplicationDialogs *m_dialogs = nullptr;
};

#endif // VELKAAPPLICATION_H
