#ifndef VELKAWINDOW_H
#define VELKAWINDOW_H

#include "lcdglyphs.h"
#include "qmdindex.h"
#include "qmdtypes.h"

#include <QFile>
#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QVector>

#include <memory>

class NetworkScene;
class QAction;
class QCloseEvent;
class QDialog;
class QDockWidget;
class QGraphicsView;
class QLabel;
class QMenu;
class QMessageBox;
class QPrinter;
class QTimer;
class QmdMemModel;
class QmdVelkaController;
class Ui_PlaybackControlsForm;
class Ui_ToolChooserForm;
class Ui_VelkaWindowForm;

// The main window of one open network document. It owns the document's model,
// controller, canvas scene and printer, mirrors the document's state (title,
// modified marker, checked tool, zoom limits, playback position) and turns the
// user's actions into controller requests.
class VelkaWindow : public QMainWindow
{
    Q_OBJECT
    Q_PROPERTY(int playbackPosDisplayMode READ playbackPosDisplayMode WRITE setPlaybackPosDisplayMode
                   NOTIFY playbackPosDisplayModeChanged)

public:
    explicit VelkaWindow(QWidget *parent = nullptr);
    // Detaches the view and the scene first, so that nothing calls back into
    // a window half gone; then the printer, the controller (which joins its
    // players) and the model.
    ~VelkaWindow() override;

    QmdVelkaController *controller() const { return m_controller; }
    NetworkScene *scene() const { return m_scene; }
    QPrinter *printer() const { return m_printer; }
    QDockWidget *inspectorDock() const { return m_dock; }
    QGraphicsView *canvasView() const;
    QmdItemIdSet selectedElements() const;

    bool canZoomIn() const;
    bool canZoomOut() const;

    // Set by the close question's Save: the window closes once that save is
    // done; a cancelled or failed save clears it.
    bool closeAfterSave() const { return m_closeAfterSave; }
    // Puts the file first in the settings' list of recent files.
    void addRecentFile(const QString &fileName);

    bool isBlockedByDialog() const { return m_blockCount > 0; }
    // Blocks the window's commands while the dialog is open: the block ends
    // exactly once, however the dialog closes or when it is destroyed.
    void blockWhileOpen(QDialog *dialog);

    int playbackPosDisplayMode() const { return m_playbackPosDisplayMode; }

    // The labels of a display mode's page that the display draws into, left
    // to right (the hidden leading digits are left out).
    QVector<QLabel *> displayLabels(int mode) const;
    const LcdGlyphs &solidLcdChars() const { return m_solidLcdChars; }
    const LcdGlyphs &dimLcdChars() const { return m_dimLcdChars; }

signals:
    void elementSelectionChanged();
    void canZoomInChanged(bool canZoomIn);
    void canZoomOutChanged(bool canZoomOut);
    void blockedByDialogChanged(bool blockedByDialog);
    void playbackPosDisplayModeChanged(int mode);

public slots:
    // Re-reads file name, clean state and playback state from the controller.
    void reset();
    void save();
    void saveAs();
    void pageSetup();
    void print();
    void undo();
    void redo();
    void cut();
    void copy();
    void paste();
    void del();
    void selectAll();
    void zoomActualSize();
    void zoomIn();
    void zoomOut();
    void onPrintAccepted();
    void onSaveAsDialogFinished();
    void onFileSaved();
    void onFileSaveError(const QString &fileName, QFile::FileError error);
    void onFileLoaded();
    void onFileLoadError(const QString &fileName, QFile::FileError error);
    // Keeps what a load skipped or a save replaced until the request's
    // success shows it.
    void onFileWarningsReported(const QString &fileName, const QStringList &warnings);
    void onFileNameChanged(const QString &fileName);
    void onAtCleanStateChanged(bool atCleanState);
    void onItemsEffected(const QmdIndex &parent, const QStringList &keys);
    void onToolTriggered(QAction *action);
    void onPlaybackStateChanged(bool isPlaying);
    // Clamped to the zoom range; never an undo step.
    void zoom(qreal scale);
    // Nested blocks count: the signal reports only the first begin and the
    // last end.
    void beginBlockByDialog();
    void endBlockByDialog();
    void setPlaybackPosDisplayMode(int mode);
    void onDisplayModeMenuActionTriggered(QAction *action);
    void updatePlaybackPosDisplayForCurrentMode();

protected:
    void changeEvent(QEvent *event) override;
    // A modified document asks whether to save it first.
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void setUpPlaybackControls();
    void connectFileResults();
    // Shows the warnings kept for the file request that just succeeded.
    void showFileWarnings(bool saved);
    // True while another document window stays open.
    bool otherWindowRemains() const;
    void loadTemplate();
    void showText(const QVector<QLabel *> &labels, const QString &chars, int dimCount);

    std::unique_ptr<Ui_VelkaWindowForm> ui;
    std::unique_ptr<Ui_ToolChooserForm> toolChooserUi;
    std::unique_ptr<Ui_PlaybackControlsForm> playbackControlsUi;
    int m_blockCount = 0;
    bool m_closeAfterSave = false;
    QString m_warnedFileName;
    // A message about the file loaded before this window was first shown:
    // opened once the window is up, so that it never lies hidden beneath it.
    QPointer<QMessageBox> m_messageAwaitingShow;
    QStringList m_fileWarnings;
    QmdMemModel *m_model = nullptr;
    QmdVelkaController *m_controller = nullptr;
    NetworkScene *m_scene = nullptr;
    QPrinter *m_printer = nullptr;
    QDockWidget *m_dock = nullptr;
    QHash<int, QAction *> m_toolActions;
    QMenu *m_displayModeMenu = nullptr;
    QTimer *m_playbackPosRefreshTimer = nullptr;
    int m_playbackPosDisplayMode = 2;
    LcdGlyphs m_solidLcdChars;
    LcdGlyphs m_dimLcdChars;
    QVector<QLabel *> m_timeLabels;
    QVector<QLabel *> m_principalsLabels;
    QVector<QLabel *> m_beatsLabels;
};

#endif // VELKAWINDOW_H
