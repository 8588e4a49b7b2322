#ifndef NETWORKVIEW_H
#define NETWORKVIEW_H

#include "creationgesture.h"
#include "midinoteentry.h"
#include "qmdindex.h"
#include "qmdobserver.h"
#include "qmdtypes.h"
#include "qmdvelkacontroller.h"
#include "textboxplacement.h"
#include "tickpos.h"
#include "zoomrules.h"

#include <QGraphicsView>
#include <QHash>
#include <QPointer>
#include <QStringList>

class CanvasContextMenu;
class NetworkScene;
class QwpComboBox;

// The view through which the user edits one network document. It shows the
// document's scene, follows the document's "Tool" and "ZoomScale" keys, and
// turns the mouse gestures of the current tool into requests: selecting and
// dragging elements, zooming, drawing nodes and edges, adding voice groups.
// While a gesture is under way it draws translucent previews (unbound items of
// id 0); the committed element's item replaces them when it arrives.
//
// It keeps the scene rectangle large enough for the contents and for the
// visible area, so that the network can always be scrolled into view, and
// for the area a zoom-tool click brought into view.
class NetworkView : public QGraphicsView, public QmdObserver<QmdVelkaController>
{
    Q_OBJECT

public:
    // The values of the document key "Tool".
    enum Tool {
        SelectionTool = 0,
        ZoomTool = 1,
        NodeAndEdgeTool = 2,
        VoiceGroupTool = 3,
        TextBoxTool = 4
    };
    Q_ENUM(Tool)

    explicit NetworkView(QWidget *parent = nullptr);
    ~NetworkView() override;

    // The object whose slots cut(), copy(), paste(), del() and selectAll() the
    // canvas's edit commands call; the context menu is built for it.
    void setEditActionsReceiver(QObject *receiver);
    QObject *editActionsReceiver() const { return m_editActionsReceiver; }
    // Null until there is a receiver.
    CanvasContextMenu *contextMenu() const { return m_contextMenu; }

    // Shows the scene (null allowed); the scene's growth widens the scene
    // rectangle at once.
    void setNetworkScene(NetworkScene *scene);
    NetworkScene *networkScene() const { return m_scene; }

    // Follows the controller (null allowed): its element notifications, its
    // "Tool" and "ZoomScale", and the zoom combo box's binding.
    void setController(QmdVelkaController *controller) override;

    Tool tool() const { return m_tool; }
    ZoomMode zoomMode() const { return m_zoomMode; }
    QwpComboBox *zoomComboBox() const { return m_zoomComboBox; }

    // The centre of the visible area, in ticks.
    QmdVelka::TickPos viewportCenterTickPos() const;

    // Sets the zoom tool's mode for zooming out (the Alt key held) or in, and
    // its cursor.
    void updateZoomMode(bool zoomOut);

    // The route (QmdVelka::EdgePath) of the edge being drawn, if any: Shift
    // flips it while held.
    void setPreviewEdgePathKind(int kind);
    // The node, edge and voice-group gesture under way, with its previews.
    const CreationGesture &creationGesture() const { return m_creation; }
    // The text-box tool's gesture under way.
    const TextBoxPlacement &textBoxPlacement() const { return m_textBoxPlacement; }

public slots:
    // Drops any gesture under way, then takes the document's zoom and tool.
    void reset();
    // Removes the previews and ends the gesture under way (Escape).
    void clearPreviews();
    // Sets the scene rectangle to what the contents and the visible area need.
    void shrinkOrGrowSceneRect();
    // The same, but only ever growing: while items move.
    void smartUpdateSceneRect();
    void onElementsAdded(const QmdItemIdList &idList, QmdRequestId rid);
    void onElementsRemoved(const QmdItemIdList &idList, QmdRequestId rid);
    void onItemsChanged(const QmdIndex &parent, const QStringList &keys);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    // MIDI input: notes go into the selected nodes and voice groups.
    void customEvent(QEvent *event) override;

private slots:
    void onRequestFinished(QmdRequestId rid);

private:
    bool hasModel() const;
    // True when the scene has a focus item (a text box being edited): the
    // view then leaves the mouse to the base class.
    bool sceneHasFocusItem() const;
    QPointF scenePoint(const QPointF &viewportPos) const;
    QRectF neededSceneRect() const;
    void applyZoomScale();
    // A zoom-tool click at viewportPos: asks for the next factor and keeps
    // the clicked point to be put back under the mouse when it comes.
    void zoomByTool(const QPoint &viewportPos);
    // Scrolls, as far as the scene rectangle allows, so that scenePos shows
    // at viewportPos.
    void scrollSceneToViewport(const QPointF &scenePos, const QPoint &viewportPos);
    void updateCursor();
    void endDrag();
    bool hasMovingItem() const;
    void pressWithTextBoxTool(QGraphicsItem *item, const QPointF &scenePos);
    // The top-level item a left press of the current tool at viewportPos
    // acts on; null for none.
    QGraphicsItem *pressedItem(const QPoint &viewportPos) const;
    // A press on a selected edge that hides others at that spot selects the
    // next of them instead; false when there is none (the scene then
    // handles the press as usual).
    bool selectNextHiddenEdge(QGraphicsItem *pressed, const QPoint &viewportPos);

    QPointer<QObject> m_editActionsReceiver;
    QPointer<NetworkScene> m_scene;
    Tool m_tool = SelectionTool;
    ZoomMode m_zoomMode = ZoomMode::In;
    QmdRequestId m_zoomRequestId = 0;
    // The point of the last zoom-tool click, and the area in view after its
    // zoom (null once another zoom or scene came): the scene rectangle keeps
    // room for it.
    QPoint m_zoomAnchorViewportPos;
    QPointF m_zoomAnchorScenePos;
    QRectF m_zoomAnchorArea;
    QwpComboBox *m_zoomComboBox = nullptr;
    CanvasContextMenu *m_contextMenu = nullptr;
    TextBoxPlacement m_textBoxPlacement;
    MidiNoteEntry m_midiNoteEntry;

    // The drag of existing elements. The moving element is the pressed node
    // or text box; the offsets hold, for the "TickPos" entry of each dragged
    // element, its position minus the pressed element's.
    QmdItemId m_movingElement = 0;
    QmdRequestId m_moveRequestId = 0;
    QmdVelka::TickPos m_lastTickPos;
    QmdVelka::TickPos m_pressOffset;
    QHash<QmdIndex, QmdVelka::TickPos> m_moveOffsets;
    QmdItemIdSet m_movedElements;
    bool m_firstMove = false;
    CreationGesture m_creation;
    // The press went to the base class, so its release must too.
    bool m_basePressed = false;
};

#endif // NETWORKVIEW_H
