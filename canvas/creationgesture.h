#ifndef CREATIONGESTURE_H
#define CREATIONGESTURE_H

#include "qmdtypes.h"

#include <QColor>
#include <QPoint>
#include <QPointF>
#include <QPointer>

class GraphicsEdgeItem;
class GraphicsNodeItem;
class GraphicsVoiceGroupItem;
class NetworkScene;
class QGraphicsItem;
class QmdVelkaController;

// The gestures that create elements joined to nodes: a node, an edge drawn
// between two nodes, a node with the edge drawn to it, and a voice group put
// on a node. The view hands it the press, the moves with the left button held
// and the release; the gesture shows translucent previews (unbound items of
// id 0 that take neither the selection nor the mouse) and ends in one undoable
// request, or in two that share one request id.
//
// A node with its edge takes two steps: the edge can only be asked for once
// the node's id is known, that is when the node's elementsAdded notification
// arrives. Until then the gesture waits with its previews shown.
//
// The nodes a gesture joins are checked to be nodes still whenever it makes a
// request, and a gesture whose node is removed ends at once: no element ever
// points at a node that is gone.
class CreationGesture
{
public:
    // The pen colours of the preview node: over a node that the edge being
    // drawn would end on, over a node where nothing can be placed, elsewhere.
    static const QColor EdgeTargetColor;
    static const QColor BlockedColor;
    static const QColor FreeColor;
    static constexpr qreal PreviewOpacity = 0.6;
    static constexpr qreal PreviewNodeZValue = 10.0;

    CreationGesture() = default;
    ~CreationGesture();
    CreationGesture(const CreationGesture &) = delete;
    CreationGesture &operator=(const CreationGesture &) = delete;

    // The bound node item of a top-level item: null for anything else,
    // previews included.
    static GraphicsNodeItem *boundNodeItem(QGraphicsItem *item);

    // A left press with the node-and-edge tool at the snapped scene point;
    // node is the node under the mouse (null for none). A press on a node
    // starts an edge from it.
    void beginNodeAndEdge(NetworkScene *scene, const QPointF &snappedPoint, GraphicsNodeItem *node,
                          const QPoint &viewportPos);
    // A left press with the voice-group tool; without a node nothing starts.
    void beginVoiceGroup(NetworkScene *scene, const QmdVelkaController *controller, GraphicsNodeItem *node);

    // The mouse moved with the left button held: the preview node follows the
    // snapped point and looks for a node there; a voice group stays on its
    // node.
    void moveTo(const QPointF &snappedPoint, const QPoint &viewportPos, const QmdVelkaController *controller);
    // The left button was released: the gesture asks for its elements, or
    // ends without any.
    void release(QmdVelkaController *controller, const QPoint &viewportPos);

    // The controller's notifications: a waiting edge is asked for when its
    // node arrives; a gesture ends when one of its nodes goes.
    void onElementsAdded(QmdVelkaController *controller, const QmdItemIdList &idList, QmdRequestId rid);
    void onElementsRemoved(const QmdItemIdList &idList);

    // Removes the previews and ends the gesture (Escape, a reset, a new
    // scene).
    void clear();

    // True while the mouse draws a preview (between press and release).
    bool isTracking() const { return m_tracking; }
    // True from the release of a node-with-edge gesture until its node comes.
    bool isWaitingForNode() const { return m_pendingNodeRequest != 0; }
    bool hasPreviews() const;

    // The route of the edge being drawn (QmdVelka::EdgePath); the edge is
    // made with the route shown at release.
    void setEdgePathKind(int kind);

    GraphicsNodeItem *previewNode() const { return alive() ? m_previewNode : nullptr; }
    GraphicsEdgeItem *previewEdge() const { return alive() ? m_previewEdge : nullptr; }
    GraphicsVoiceGroupItem *previewVoiceGroup() const { return alive() ? m_previewVoiceGroup : nullptr; }
    QmdItemId fromNode() const { return m_fromNode; }
    QmdItemId toNode() const { return m_toNode; }
    QmdRequestId pendingNodeRequest() const { return m_pendingNodeRequest; }

private:
    // The scene deletes the previews with itself.
    bool alive() const { return !m_scene.isNull(); }
    void forgetIfSceneGone();
    void deletePreviews();
    void takePreview(QGraphicsItem *item, qreal opacity);
    void setPreviewNodeColor(const QColor &color);
    void updateEdgeTo(const QPointF &point);
    void requestEdge(QmdVelkaController *controller, QmdItemId to, QmdRequestId rid);
    void requestNode(QmdVelkaController *controller);
    void requestVoiceGroup(QmdVelkaController *controller);

    QPointer<NetworkScene> m_scene;
    GraphicsNodeItem *m_previewNode = nullptr;
    GraphicsEdgeItem *m_previewEdge = nullptr;
    GraphicsVoiceGroupItem *m_previewVoiceGroup = nullptr;
    QmdItemId m_fromNode = 0;
    QmdItemId m_toNode = 0;
    QmdRequestId m_pendingNodeRequest = 0;
    QPoint m_pressViewportPos;
    // The mouse went further than the drag distance from the press: a release
    // back on the start node then draws an edge to that node.
    bool m_leftPressArea = false;
    bool m_tracking = false;
};

#endif // CREATIONGESTURE_H
