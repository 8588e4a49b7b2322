#ifndef VELKAMENUBAR_H
#define VELKAMENUBAR_H

#include "qmdindex.h"

#include <QHash>
#include <QList>
#include <QMenuBar>
#include <QMetaObject>
#include <QPointer>
#include <QStringList>

class QAction;
class QActionGroup;
class QMenu;
class VelkaWindow;

// The menu bar of one document window. Commands that need no document go to
// the application object; window commands to the attached window; document
// switches and playback to the window's controller. The entries follow the
// window (blocked by a dialog or not, zoom limits) and the document (undo
// texts, view switches, tool, playback).
class VelkaMenuBar : public QMenuBar
{
    Q_OBJECT

public:
    explicit VelkaMenuBar(VelkaWindow *window);
    ~VelkaMenuBar() override;

    VelkaWindow *velkaWindow() const { return m_window; }

    QMenu *fileMenu() const { return m_fileMenu; }
    QMenu *editMenu() const { return m_editMenu; }
    QMenu *viewMenu() const { return m_viewMenu; }
    QMenu *controlMenu() const { return m_controlMenu; }
    QMenu *toolMenu() const { return m_toolMenu; }
    QMenu *helpMenu() const { return m_helpMenu; }
    QMenu *openRecentMenu() const { return m_openRecentMenu; }
    QMenu *openExampleMenu() const { return m_openExampleMenu; }

public slots:
    // Attaches to the window (null allowed), cutting exactly the connections
    // made for the window attached before.
    void setVelkaWindow(VelkaWindow *window);
    void onModelReset();
    void onToolTriggered(QAction *action);
    void onItemsEffected(const QmdIndex &parent, const QStringList &keys);
    void onVelkaWindowBlockedByDialogChanged(bool blocked);
    void clearOpenRecentMenu();
    void updateOpenRecentMenu();
    void updateOpenExampleMenu();
    void onOpenFileActionTriggered(QAction *action);
    // Edit commands go to the focused widget when it has them, else to the
    // focused document window.
    void cut();
    void copy();
    void paste();
    void del();
    void selectAll();
    void syncEnabledStateOfSaveActions();
    void syncUndoActionText();
    void syncRedoActionText();
    void setShowGridActionText(bool shown);
    void setSnapToGridActionText(bool on);
    void setShowNodeCountersActionText(bool shown);
    void setPlayPauseActionText(bool playing);
    void syncInspectorActionText();
    void syncSynthDialogActionText();
    void mac_createWindowMenu();

private:
    void buildFileMenu();
    void buildEditMenu();
    void buildViewMenu();
    void buildControlMenu();
    void buildToolMenu();
    void buildHelpMenu();
    QAction *addEntry(QMenu *menu, const QString &text, const QKeySequence &shortcut = QKeySequence());
    bool isWindowUsable() const;
    void forwardEditCommand(const char *method);

    QPointer<VelkaWindow> m_window;
    QList<QMetaObject::Connection> m_windowConnections;
    QHash<uint, QAction *> m_toolActions;
    QActionGroup *m_toolGroup = nullptr;

    QMenu *m_fileMenu = nullptr;
    QMenu *m_editMenu = nullptr;
    QMenu *m_viewMenu = nullptr;
    QMenu *m_controlMenu = nullptr;
    QMenu *m_toolMenu = nullptr;
    QMenu *m_helpMenu = nullptr;
    QMenu *m_openRecentMenu = nullptr;
    QMenu *m_openExampleMenu = nullptr;

    QAction *m_newAction = nullptr;
    QAction *m_openAction = nullptr;
    QAction *m_closeAction = nullptr;
    QAction *m_saveAction = nullptr;
    QAction *m_saveAsAction = nullptr;
    QAction *m_pageSetupAction = nullptr;
    QAction *m_printAction = nullptr;
    QAction *m_exitAction = nullptr;
    QAction *m_undoAction = nullptr;
    QAction *m_redoAction = nullptr;
    QAction *m_cutAction = nullptr;
    QAction *m_copyAction = nullptr;
    QAction *m_pasteAction = nullptr;
    QAction *m_deleteAction = nullptr;
    QAction *m_selectAllAction = nullptr;
    QAction *m_preferencesAction = nullptr;
    QAction *m_actualSizeAction = nullptr;
    QAction *m_zoomInAction = nullptr;
    QAction *m_zoomOutAction = nullptr;
    QAction *m_showGridAction = nullptr;
    QAction *m_snapToGridAction = nullptr;
    QAction *m_showNodeCountersAction = nullptr;
    QAction *m_playPauseAction = nullptr;
    QAction *m_gotoStartAction = nullptr;
    QAction *m_manualAction = nullptr;
    QAction *m_websiteAction = nullptr;
    QAction *m_communityAction = nullptr;
    QAction *m_supportAction = nullptr;
    QAction *m_aboutAction = nullptr;
};

#endif // VELKAMENUBAR_H
