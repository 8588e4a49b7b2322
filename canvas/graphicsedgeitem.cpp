#include "graphicsedgeitem.h"

#include "displayscale.h"
#include "palette.h"
#include "qmdvelkakeys.h"

#include <QCoreApplication>
#include <QGraphicsPolygonItem>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPen>
#include <QStyleOptionGraphicsItem>

#include <cmath>

namespace {

constexpr qreal nodeRadius = 10.0;  // points
constexpr qreal arrowLength = 9.0;  // points
constexpr qreal dashLength = 8.0;   // points, in pen widths of an unselected edge
constexpr qreal selectedScale = 1.3; // of the arrow head
constexpr qreal hitMargin = 1.5;

// The arrow head and the wormhole dashes of every edge, made for the display
// scale in force when they are first needed.
struct EdgeShapes
{
    qreal scale = 0;
    QPolygonF arrow;
    QVector<qreal> dashes;
    QVector<qreal> selectedDashes;
};

const EdgeShapes &edgeShapes()
{
    static EdgeShapes shapes;
    const qreal s = displayScaleX();
    if (shapes.arrow.isEmpty() || shapes.scale != s) {
        shapes.scale = s;
        shapes.arrow = QPolygonF({QPointF(0, -arrowLength / 2 * s), QPointF(arrowLength * s, 0),
                                  QPointF(0, arrowLength / 2 * s)});
        // Patterns count in pen widths: a selected pen is three times as wide,
        // so its pattern is a third as long and the dashes look the same.
        shapes.dashes = {dashLength * s, dashLength * s};
        shapes.selectedDashes = {dashLength * s / 3, dashLength * s / 3};
    }
    return shapes;
}

QString plural(double value, const char *one, const char *many)
{
    return QCoreApplication::translate("GraphicsEdgeItem", value == 1.0 ? one : many);
}

} // namespace

GraphicsEdgeItem::GraphicsEdgeItem(QmdItemId id, QmdVelkaController *controller, NetworkScene *scene,
                                   QGraphicsItem *parent)
    : GraphicsElementItem<QGraphicsPathItem>(id, controller, scene, parent)
{
    init();
}

GraphicsEdgeItem::GraphicsEdgeItem(NetworkScene *scene, QGraphicsItem *parent)
    : GraphicsElementItem<QGraphicsPathItem>(0, nullptr, scene, parent)
{
    init();
}

void GraphicsEdgeItem::init()
{
    if (NetworkScene *ns = networkScene())
        m_baseColor = ns->edgesColor();
    m_currentColor = m_baseColor;

    m_arrowHead = new QGraphicsPolygonItem(edgeShapes().arrow, this);
    m_arrowHead->setPen(Qt::NoPen);
    m_arrowHead->setAcceptHoverEvents(true);
    m_arrowHead->setCacheMode(ItemCacheMode);
    // Presses on the arrow head go to the edge, whose shape covers it.
    m_arrowHead->setAcceptedMouseButtons(Qt::NoButton);
    setAcceptHoverEvents(true);
    updatePath();
}

void GraphicsEdgeItem::setFromPoint(const QPointF &point)
{
    m_fromPoint = point;
    setPos(point);
}

void GraphicsEdgeItem::setToPoint(const QPointF &point)
{
    m_toPoint = point;
}

void GraphicsEdgeItem::setPathKind(int kind)
{
    m_pathKind = kind;
}

void GraphicsEdgeItem::updatePath()
{
    const QPointF F = m_fromPoint;
    const QPointF T = m_toPoint;
    const QPointF r = T - F;
    if (!path().isEmpty() && qFuzzyCompare(r.x(), m_routedVector.x()) && qFuzzyCompare(r.y(), m_routedVector.y())
        && m_pathKind == m_routedKind)
        return;
    m_routedVector = r;
    m_routedKind = m_pathKind;

    const qreal s = displayScaleX();
    const qreal t = displayScaleY();
    const qreal D = (nodeRadius + arrowLength) * s;

    bool cornered = false;
    QPointF K;
    if (std::abs(r.x()) > 1e-6 && std::abs(r.y()) > 1e-6) {
        if (m_pathKind == QmdVelka::CityBlock) {
            K = QPointF(T.x(), F.y());
            cornered = true;
        } else if (m_pathKind == QmdVelka::CityBlockFlipped) {
            K = QPointF(F.x(), T.y());
            cornered = true;
        }
    }

    qreal a1;
    qreal a2;
    if (!cornered) {
        a1 = a2 = std::atan2(r.y(), r.x());
    } else {
        a1 = std::atan2(K.y() - F.y(), K.x() - F.x());
        const qreal dy = std::abs(r.y());
        const qreal dx = std::abs(r.x());
        if (m_pathKind == QmdVelka::CityBlock && dy > 1e-7 && dy < D) {
            // Too short a last leg for the arrow: pull the corner back so that
            // the arrow comes in horizontally after a short jog.
            K = QPointF(r.x() > 0 ? T.x() - D : T.x() + D, F.y());
            a2 = std::atan2(0.0, T.x() - K.x());
        } else if (m_pathKind == QmdVelka::CityBlockFlipped && dx > 1e-7 && dx < D) {
            K = QPointF(F.x(), r.y() > 0 ? T.y() - D : T.y() + D);
            a2 = std::atan2(T.y() - K.y(), 0.0);
        } else {
            a2 = std::atan2(T.y() - K.y(), T.x() - K.x());
        }
    }

    const QPointF S(nodeRadius * s * std::cos(a1), nodeRadius * t * std::sin(a1));
    const QPointF E(r.x() - D * std::cos(a2), r.y() - D * std::sin(a2));
    QPainterPath route(S);
    if (cornered)
        route.lineTo(K - F);
    route.lineTo(E);
    invalidateShape();
    setPath(route);

    m_arrowAngle = a2 * 180 / M_PI;
    m_arrowHead->setPos(E);
    applyPenStyle(isSelected());
}

void GraphicsEdgeItem::setWormhole(bool wormhole)
{
    m_wormhole = wormhole;
    applyPenStyle(isSelected());
}

void GraphicsEdgeItem::setColor(const QColor &color)
{
    m_baseColor = color;
    onSelectionChanged();
}

void GraphicsEdgeItem::applyColor(const QColor &color)
{
    m_currentColor = color;
    QPen pen = this->pen();
    pen.setColor(color);
    setPen(pen);
    m_arrowHead->setBrush(QBrush(color, Qt::SolidPattern));
    update();
    m_arrowHead->update();
}

void GraphicsEdgeItem::applyPenStyle(bool selected)
{
    const EdgeShapes &shapes = edgeShapes();
    QPen pen = this->pen();
    pen.setColor(m_currentColor);
    pen.setJoinStyle(Qt::MiterJoin);
    pen.setWidthF(displayScaleX() * (selected ? 3.0 : 1.0));
    pen.setDashPattern(selected ? shapes.selectedDashes : shapes.dashes);
    pen.setStyle(m_wormhole ? Qt::CustomDashLine : Qt::SolidLine);
    invalidateShape();
    setPen(pen);

    m_arrowHead->setBrush(QBrush(m_currentColor, Qt::SolidPattern));
    QTransform transform;
    transform.rotate(m_arrowAngle);
    if (selected)
        transform.scale(selectedScale, selectedScale);
    m_arrowHead->setTransform(transform);
    update();
    m_arrowHead->update();
}

void GraphicsEdgeItem::applySceneColors()
{
    if (NetworkScene *ns = networkScene())
        setColor(ns->edgesColor());
}

void GraphicsEdgeItem::updateToolTip()
{
    QString text;
    if (const QmdVelkaController *c = controller()) {
        bool ok = false;
        const qint64 length = c->edgeLength(id(), &ok);
        if (ok) {
            const double d = c->data(QmdVelkaKeys::DivsPerPrincipal).toDouble();
            const double principal = double(ticksPerPrincipal);
            const double principals = double(length) / principal;
            const double divisions = d == 0 ? 0.0 : double(length) / (principal / d);
            text = QStringLiteral("%1 %2 = %3 %4")
                       .arg(principals, 0, 'g', -1)
                       .arg(plural(principals, "principal", "principals"))
                       .arg(divisions, 0, 'g', -1)
                       .arg(plural(divisions, "division", "divisions"));
        }
    }
    setToolTip(text);
    m_arrowHead->setToolTip(text);
}

void GraphicsEdgeItem::placeAtNode(QmdItemId node, QPointF &point)
{
    point = tickPosToScene(controller()->elementData(node, QmdVelkaKeys::TickPos).value<QmdVelka::TickPos>());
}

void GraphicsEdgeItem::onElementDataChangedOrRemoved(QmdItemId id, const QStringList &keys, QmdRequestId rid)
{
    GraphicsElementItem<QGraphicsPathItem>::onElementDataChangedOrRemoved(id, keys, rid);
    const QmdVelkaController *c = controller();
    if (!c)
        return;
    setSynced(false);
    bool reroute = false;
    bool nodesChanged = false;
    if (id == ElementItem::id()) {
        if (keys.contains(QmdVelkaKeys::Path)) {
            m_pathKind = c->elementData(id, QmdVelkaKeys::Path).toInt();
            reroute = true;
        }
        if (keys.contains(QmdVelkaKeys::FromNode)) {
            m_fromNode = c->elementData(id, QmdVelkaKeys::FromNode).toUInt();
            nodesChanged = true;
            if (m_fromNode == 0) {
                setFromPoint(QPointF());
                reroute = true;
            }
        }
        if (keys.contains(QmdVelkaKeys::ToNode)) {
            m_toNode = c->elementData(id, QmdVelkaKeys::ToNode).toUInt();
            nodesChanged = true;
            if (m_toNode == 0) {
                m_toPoint = QPointF();
                reroute = true;
            }
        }
        if (keys.contains(QmdVelkaKeys::IsWormhole))
            setWormhole(c->elementData(id, QmdVelkaKeys::IsWormhole).toBool());
    }
    const bool moved = keys.contains(QmdVelkaKeys::TickPos);
    if (m_fromNode != 0 && (id == m_fromNode || nodesChanged) && (moved || nodesChanged)) {
        QPointF point;
        placeAtNode(m_fromNode, point);
        setFromPoint(point);
        reroute = true;
    }
    if (m_toNode != 0 && (id == m_toNode || nodesChanged) && (moved || nodesChanged)) {
        placeAtNode(m_toNode, m_toPoint);
        reroute = true;
    }
    if (reroute)
        updatePath();
    setSynced(true);
}

void GraphicsEdgeItem::onSelectionChanged()
{
    QColor color = m_baseColor;
    qreal z = 0.0;
    NetworkScene *ns = networkScene();
    const QmdVelkaController *c = controller();
    if (ns && c && m_fromNode != 0) {
        const QmdItemIdSet &selected = ns->selectedElementIds();
        if (selected.size() == 1 && selected.contains(m_fromNode)) {
            color = paletteColor(c->arcIdentifier(m_fromNode, id()));
            z = 1.0;
        }
    }
    // Every selection change reaches every edge: leave the scene's index
    // alone where nothing changes.
    if (zValue() != z)
        setZValue(z);
    if (color != m_currentColor)
        applyColor(color);
}

void GraphicsEdgeItem::invalidateShape()
{
    prepareGeometryChange();
    m_shapeValid = false;
    m_boundsValid = false;
}

QPainterPath GraphicsEdgeItem::shape() const
{
    if (!m_shapeValid) {
        // The stroke a little wider than drawn, joined with the arrow head,
        // outside the two nodes.
        const QPen drawn = pen();
        QPainterPathStroker stroker;
        stroker.setWidth(drawn.widthF() + hitMargin);
        stroker.setJoinStyle(drawn.joinStyle());
        stroker.setCapStyle(drawn.capStyle());
        stroker.setMiterLimit(drawn.miterLimit());
        m_shape = stroker.createStroke(path());
        if (m_arrowHead) {
            QPainterPath arrow;
            arrow.addPolygon(m_arrowHead->mapToParent(m_arrowHead->polygon()));
            arrow.closeSubpath();
            m_shape = m_shape.united(arrow);
        }
        // Where the route or the arrow head lies over one of its nodes (a
        // short jog can cross the from-node's centre), the node takes the
        // clicks.
        const qreal rx = (nodeRadius + 0.5) * displayScaleX();
        const qreal ry = (nodeRadius + 0.5) * displayScaleY();
        for (const QPointF &centre : {QPointF(0, 0), m_toPoint - m_fromPoint}) {
            QPainterPath node;
            node.addEllipse(centre, rx, ry);
            m_shape = m_shape.subtracted(node);
        }
        m_shapeValid = true;
    }
    return m_shape;
}

QRectF GraphicsEdgeItem::boundingRect() const
{
    // Far cheaper than the shape, whose union with the arrow head the view
    // never needs for painting: the route grown by the furthest a mitred
    // corner of the hit stroke can reach, and the arrow head.
    if (!m_boundsValid) {
        const QPen drawn = pen();
        const qreal reach = (drawn.widthF() + hitMargin) * std::max<qreal>(drawn.miterLimit(), 1.0);
        m_bounds = path().controlPointRect().adjusted(-reach, -reach, reach, reach);
        if (m_arrowHead)
            m_bounds |= m_arrowHead->mapToParent(m_arrowHead->polygon()).boundingRect();
        m_boundsValid = true;
    }
    return m_bounds;
}

void GraphicsEdgeItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget)
{
    // Selection shows through the pen alone, never through Qt's frame.
    QStyleOptionGraphicsItem plain(*option);
    plain.state &= ~QStyle::State_Selected;
    QGraphicsPathItem::paint(painter, &plain, widget);
}

void GraphicsEdgeItem::hoverEnterEvent(QGraphicsSceneHoverEvent *event)
{
    updateToolTip();
    GraphicsElementItem<QGraphicsPathItem>::hoverEnterEvent(event);
}

QVariant GraphicsEdgeItem::itemChange(GraphicsItemChange change, const QVariant &value)
{
    const QVariant result = GraphicsElementItem<QGraphicsPathItem>::itemChange(change, value);
    if (change == ItemSelectedChange)
        applyPenStyle(value.toBool());
    return result;
}
