#ifndef GRAPHICSEDGEITEM_H
#define GRAPHICSEDGEITEM_H

#include "graphicselementitem.h"

#include <QColor>
#include <QGraphicsPathItem>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>

class QGraphicsPolygonItem;

// One edge of the network: a line from its from-node's circle to an arrow head
// that touches its to-node's circle, routed right-angled (horizontal leg
// first, or vertical leg first) or straight. It follows its two nodes, is
// dashed when it is a wormhole, thicker when selected, tells its musical
// length as tooltip and, while its from-node alone is selected, takes the
// colour of the number the from-node gives it.
//
// The item sits at its from-node's centre; its path is relative to it. The
// preview edge that the view drags out has id 0 and no controller: the view
// sets its points and kind and calls updatePath().
class GraphicsEdgeItem : public GraphicsElementItem<QGraphicsPathItem>
{
public:
    enum { Type = EdgeItemType };

    GraphicsEdgeItem(QmdItemId id, QmdVelkaController *controller, NetworkScene *scene,
                     QGraphicsItem *parent = nullptr);
    explicit GraphicsEdgeItem(NetworkScene *scene, QGraphicsItem *parent = nullptr);

    int type() const override { return Type; }

    QPointF fromPoint() const { return m_fromPoint; }
    // Also moves the item there.
    void setFromPoint(const QPointF &point);
    QPointF toPoint() const { return m_toPoint; }
    void setToPoint(const QPointF &point);
    // QmdVelka::EdgePath.
    int pathKind() const { return m_pathKind; }
    void setPathKind(int kind);
    // Routes the path from the from point to the to point; does nothing when
    // neither their distance nor the kind changed since the last routing.
    void updatePath();

    bool isWormhole() const { return m_wormhole; }
    void setWormhole(bool wormhole);

    // The colour the edge has when it is not highlighted.
    QColor baseColor() const { return m_baseColor; }
    void setColor(const QColor &color);
    // The colour drawn now.
    QColor currentColor() const { return m_currentColor; }
    void applyColor(const QColor &color);
    void applyPenStyle(bool selected);
    void applySceneColors() override;

    QGraphicsPolygonItem *arrowHead() const { return m_arrowHead; }
    // Direction of the last leg in degrees.
    qreal arrowAngle() const { return m_arrowAngle; }
    QmdItemId fromNode() const { return m_fromNode; }
    QmdItemId toNode() const { return m_toNode; }

    // "1.5 principals = 6 divisions"; empty without a length.
    void updateToolTip();

    void onElementDataChangedOrRemoved(QmdItemId id, const QStringList &keys, QmdRequestId rid) override;
    void onSelectionChanged() override;

    // The stroked path widened a little, and the arrow head, so that a press
    // on the arrow head reaches the edge.
    QPainterPath shape() const override;
    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget = nullptr) override;

protected:
    void hoverEnterEvent(QGraphicsSceneHoverEvent *event) override;
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;

private:
    void init();
    // The scene point of a node's "TickPos"; notified is the node whose
    // notification is being handled (0 for none).
    void placeAtNode(QmdItemId node, QmdItemId notified, QPointF &point);
    void invalidateShape();

    QPointF m_fromPoint;
    QPointF m_toPoint;
    int m_pathKind = 0;
    QColor m_baseColor;
    QColor m_currentColor;
    bool m_wormhole = false;
    QGraphicsPolygonItem *m_arrowHead = nullptr;
    qreal m_arrowAngle = 0;
    // The arrow head's polygon in the edge's coordinates, as paint() draws it.
    QPolygonF m_arrowOutline;
    QmdItemId m_fromNode = 0;
    QmdItemId m_toNode = 0;
    // Inputs of the last routing.
    QPointF m_routedVector;
    int m_routedKind = -1;
    // Built on demand from the path, the pen and the arrow head.
    mutable QPainterPath m_shape;
    mutable bool m_shapeValid = false;
    mutable QRectF m_bounds;
    mutable bool m_boundsValid = false;
};

#endif // GRAPHICSEDGEITEM_H
