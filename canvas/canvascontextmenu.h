#ifndef CANVASCONTEXTMENU_H
#define CANVASCONTEXTMENU_H

#include "qmdcontroller.h"
#include "qmdtypes.h"

#include <QHash>
#include <QMenu>
#include <QPointer>

class NetworkScene;
class QAction;
class QActionGroup;
class QGraphicsItem;
class QmdVelkaController;

// The canvas's context menu: the document window's edit commands and, for
// the kind of element under the mouse, the signalling method and mute switch
// of the selected nodes or the route and wormhole switch of the selected
// edges. The element entries carry no code of their own: each opening binds
// them to the keys of the selected elements of that kind, so that choosing
// one writes every such element in one request, and only what differs.
class CanvasContextMenu : public QMenu
{
    Q_OBJECT
    Q_PROPERTY(int contextMenuNodeSigMethod READ contextMenuNodeSigMethod WRITE setContextMenuNodeSigMethod)
    Q_PROPERTY(int contextMenuEdgePath READ contextMenuEdgePath WRITE setContextMenuEdgePath)

public:
    // The edit entries call the receiver's slots cut(), copy(), paste(),
    // del() and selectAll().
    CanvasContextMenu(QObject *editActionsReceiver, QWidget *parent);

    // Sets the entries up for an opening over item (its top-level item; null
    // over empty canvas): the edit entries' states, and the element entries of
    // item's kind, bound to the selected elements of that kind.
    void prepare(QmdVelkaController *controller, NetworkScene *scene, QGraphicsItem *item);

    // The watch map of key in every selected element of the given "Type" that
    // exists now.
    static QmdController::WatchMap selectedWatchMap(const QmdVelkaController *controller,
                                                    const QmdItemIdSet &selected, int elementType,
                                                    const QString &key);

    // The data of the checked signalling or route entry; -1 when none is
    // checked. Writing a value that no entry carries leaves the checks.
    int contextMenuNodeSigMethod() const;
    void setContextMenuNodeSigMethod(int method);
    int contextMenuEdgePath() const;
    void setContextMenuEdgePath(int path);

    QAction *cutAction() const { return m_cut; }
    QAction *copyAction() const { return m_copy; }
    QAction *pasteAction() const { return m_paste; }
    QAction *deleteAction() const { return m_delete; }
    QAction *selectAllAction() const { return m_selectAll; }
    QActionGroup *signallingGroup() const { return m_signalling; }
    QAction *muteAction() const { return m_mute; }
    QActionGroup *edgePathGroup() const { return m_edgePath; }
    QAction *wormholeAction() const { return m_wormhole; }

signals:
    void contextMenuNodeSigMethodChanged();
    void contextMenuEdgePathChanged();

private:
    void connectEditAction(QAction *action, QObject *receiver, const char *slot);
    QActionGroup *addChoices(const QStringList &texts);
    void showNodeEntries(bool show);
    void showEdgeEntries(bool show);
    void unbindElementEntries();

    QAction *m_cut = nullptr;
    QAction *m_copy = nullptr;
    QAction *m_paste = nullptr;
    QAction *m_delete = nullptr;
    QAction *m_selectAll = nullptr;
    QActionGroup *m_signalling = nullptr;
    QAction *m_mute = nullptr;
    QActionGroup *m_edgePath = nullptr;
    QAction *m_wormhole = nullptr;
    // Edit entries whose slot the receiver does not have.
    QHash<QAction *, bool> m_unavailable;
    // The controller that holds the element entries' bindings.
    QPointer<QmdVelkaController> m_bindingController;
};

#endif // CANVASCONTEXTMENU_H
