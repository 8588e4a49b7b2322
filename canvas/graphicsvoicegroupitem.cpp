#include "graphicsvoicegroupitem.h"

#include "displayscale.h"
#include "nodepictures.h"
#include "qmdvelkakeys.h"

#include <QPen>
#include <QStyleOptionGraphicsItem>

namespace {

constexpr qreal nodeRadius = 10.0;   // points
constexpr qreal markerLength = 17.0; // points
constexpr qreal markerHeight = 24.0; // points

// The marker of every voice group, made for the display scale in force when
// it is first needed: a triangle pointing along +x whose tip touches the
// left of the node's circle.
const QPolygonF &markerPolygon()
{
    static qreal builtFor = 0;
    static QPolygonF marker;
    const qreal s = displayScaleX();
    const qreal t = displayScaleY();
    if (marker.isEmpty() || builtFor != s) {
        builtFor = s;
        const qreal w = markerLength * s;
        const qreal h = markerHeight / 2 * t;
        marker = QPolygonF({QPointF(-w, 0), QPointF(-w, -h), QPointF(0, 0), QPointF(-w, h)});
        marker.translate(-nodeRadius * s, 0);
    }
    return marker;
}

} // namespace

GraphicsVoiceGroupItem::GraphicsVoiceGroupItem(QmdItemId id, QmdVelkaController *controller,
                                               NetworkScene *scene, QGraphicsItem *parent)
    : GraphicsElementItem<QGraphicsPolygonItem>(id, controller, scene, parent)
{
    init();
}

GraphicsVoiceGroupItem::GraphicsVoiceGroupItem(NetworkScene *scene, QGraphicsItem *parent)
    : GraphicsElementItem<QGraphicsPolygonItem>(0, nullptr, scene, parent)
{
    init();
}

void GraphicsVoiceGroupItem::init()
{
    setPolygon(markerPolygon());
    QPen pen(QColor(44, 101, 169), displayScaleX());
    pen.setJoinStyle(Qt::MiterJoin);
    setPen(pen);
    applyDefaultLook();
}

void GraphicsVoiceGroupItem::applyDefaultLook()
{
    setPenColor(QColor(44, 101, 169, 255));
    setBrush(QBrush(QColor(170, 200, 255, 127), Qt::SolidPattern));
}

QmdItemId GraphicsVoiceGroupItem::toNode() const
{
    const QmdVelkaController *c = controller();
    return c ? c->elementData(id(), QmdVelkaKeys::ToNode).toUInt() : 0;
}

void GraphicsVoiceGroupItem::applyInstrument(QmdItemId instrument)
{
    const QmdVelkaController *c = controller();
    if (!c)
        return;
    const QColor color = c->instrumentData(instrument, QmdVelkaKeys::Color).value<QColor>();
    setToolTip(c->instrumentData(instrument, QmdVelkaKeys::Label).toString());
    // A group without a usable instrument keeps the look it has without one,
    // rather than a black marker that vanishes on a dark canvas.
    if (!color.isValid()) {
        applyDefaultLook();
        return;
    }
    QColor outline = color;
    outline.setAlphaF(1.0);
    setPenColor(outline);
    QColor fill = color;
    fill.setAlphaF(0.5f * color.alphaF());
    setBrush(QBrush(fill, Qt::SolidPattern));
}

void GraphicsVoiceGroupItem::setPenColor(const QColor &color)
{
    QPen pen = this->pen();
    pen.setColor(color);
    setPen(pen);
}

void GraphicsVoiceGroupItem::onElementDataChangedOrRemoved(QmdItemId id, const QStringList &keys,
                                                           QmdRequestId rid)
{
    GraphicsElementItem<QGraphicsPolygonItem>::onElementDataChangedOrRemoved(id, keys, rid);
    const QmdVelkaController *c = controller();
    if (!c)
        return;
    setSynced(false);
    const QmdItemId node = toNode();
    const bool own = id == ElementItem::id();
    // The group's own position never counts: it always sits at its node.
    if ((own && (keys.contains(QmdVelkaKeys::ToNode) || keys.contains(QmdVelkaKeys::TickPos)))
        || (id == node && node != 0 && keys.contains(QmdVelkaKeys::TickPos)))
        setPos(tickPosToScene(c->elementData(node, QmdVelkaKeys::TickPos).value<QmdVelka::TickPos>()));
    if (own && keys.contains(QmdVelkaKeys::InitialInstrument))
        applyInstrument(c->elementData(id, QmdVelkaKeys::InitialInstrument).toUInt());
    setSynced(true);
}

void GraphicsVoiceGroupItem::onInstrumentDataChangedOrRemoved(QmdItemId id, const QStringList &keys,
                                                              QmdRequestId rid)
{
    GraphicsElementItem<QGraphicsPolygonItem>::onInstrumentDataChangedOrRemoved(id, keys, rid);
    const QmdVelkaController *c = controller();
    if (!c)
        return;
    setSynced(false);
    if (id != 0 && id == c->elementData(ElementItem::id(), QmdVelkaKeys::InitialInstrument).toUInt()
        && (keys.contains(QmdVelkaKeys::Color) || keys.contains(QmdVelkaKeys::Label)))
        applyInstrument(id);
    setSynced(true);
}

void GraphicsVoiceGroupItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget)
{
    // Selection shows through the pen alone, never through Qt's frame.
    QStyleOptionGraphicsItem plain(*option);
    plain.state &= ~QStyle::State_Selected;
    const auto drawMarker = [this, &plain, widget](QPainter *p) { QGraphicsPolygonItem::paint(p, &plain, widget); };
    // Every marker has the same shape; its pen's width follows the selection.
    NodePictures::Look look;
    look.marker = true;
    look.outline = pen().color().rgba();
    look.fill = brush().color().rgba();
    look.selected = isSelected();
    look.circle = polygon().boundingRect();
    if (!NodePictures::paint(painter, look, boundingRect(), drawMarker))
        drawMarker(painter);
}

QVariant GraphicsVoiceGroupItem::itemChange(GraphicsItemChange change, const QVariant &value)
{
    const QVariant result = GraphicsElementItem<QGraphicsPolygonItem>::itemChange(change, value);
    if (change == ItemSelectedChange) {
        QPen pen = this->pen();
        pen.setWidthF(displayScaleX() * (value.toBool() ? 3.0 : 1.0));
        setPen(pen);
    }
    return result;
}
