#include "edgeusagetile.h"

#include "edgetilepixmap.h"
#include "edgeusagelisteditor.h"
#include "palette.h"

#include <QGraphicsScene>
#include <QKeyEvent>
#include <QPainter>
#include <QTimeLine>

#include <algorithm>
#include <cmath>

namespace {

const int slideDuration = 300;
const int slideUpdateInterval = 10;
const qreal hoverSaturation = 0.6;

} // namespace

EdgeUsageTile::EdgeUsageTile(EdgeUsageListEditor *editor, QmdItemId edgeId, int arcIdentifier, int width,
                             int height)
    : m_editor(editor)
    , m_edgeId(edgeId)
    , m_arcIdentifier(arcIdentifier)
    , m_width(width)
    , m_height(height)
    , m_timeLine(new QTimeLine(slideDuration))
{
    editor->scene()->addItem(this);
    setFlags(ItemIsMovable | ItemIsSelectable | ItemIsFocusable | ItemSendsGeometryChanges);
    setShapeMode(BoundingRectShape);
    setPixmap(edgeTilePixmap(arcIdentifier, width, height));
    setAcceptHoverEvents(true);
    m_timeLine->setUpdateInterval(slideUpdateInterval);
    connect(m_timeLine, &QTimeLine::frameChanged, this, &EdgeUsageTile::onTimeLineFrameChanged);
    connect(m_timeLine, &QTimeLine::finished, this, &EdgeUsageTile::onTimeLineFinished);
}

EdgeUsageTile::~EdgeUsageTile()
{
    delete m_timeLine;
}

EdgeUsageListEditor *EdgeUsageTile::editor() const
{
    return m_editor.data();
}

void EdgeUsageTile::setUses(int uses)
{
    m_uses = uses;
    update();
}

QString EdgeUsageTile::label() const
{
    return m_uses == 0 ? QStringLiteral("\u221E") : QString::number(m_uses);
}

int EdgeUsageTile::index() const
{
    return m_editor ? int(m_editor->tiles().indexOf(const_cast<EdgeUsageTile *>(this))) : -1;
}

void EdgeUsageTile::moveToSlot(bool animated)
{
    const int x = slotX(index());
    if (animated) {
        animateTo(x);
        return;
    }
    m_timeLine->stop();
    m_settled = false;
    setPos(x, 0);
    m_settled = true;
}

void EdgeUsageTile::animateTo(int x)
{
    m_timeLine->stop();
    m_timeLine->setFrameRange(int(pos().x()), x);
    m_settled = false;
    m_timeLine->start();
}

bool EdgeUsageTile::isMoving() const
{
    return m_timeLine->state() == QTimeLine::Running;
}

void EdgeUsageTile::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget)
{
    QGraphicsPixmapItem::paint(painter, option, widget);
    painter->setPen(Qt::white);
    painter->drawText(boundingRect(), Qt::AlignCenter, label());
}

QVariant EdgeUsageTile::itemChange(GraphicsItemChange change, const QVariant &value)
{
    if (!m_settled || !scene())
        return QGraphicsPixmapItem::itemChange(change, value);
    if (change == ItemSelectedChange) {
        setZValue(value.toBool() ? 1.0 : 0.0);
        return value;
    }
    if (change == ItemPositionChange)
        return constrainedPos(value.toPointF());
    return QGraphicsPixmapItem::itemChange(change, value);
}

// A drag keeps the tile at or right of the strip's start and, once it leaves the
// strip, on the strip's line; every position names the slot the tile would drop
// into.
QPointF EdgeUsageTile::constrainedPos(const QPointF &proposed)
{
    QPointF result = proposed;
    if (!scene()->sceneRect().contains(boundingRect().translated(proposed)))
        result = QPointF(std::max<qreal>(0, proposed.x()), pos().y());
    const int count = m_editor ? int(m_editor->tiles().size()) : 0;
    if (count > 0) {
        const int target = std::clamp(int(std::lround(result.x() / slotWidth)), 0, count - 1);
        if (target != index())
            emit visualizeMove(this, target);
    }
    return result;
}

void EdgeUsageTile::hoverEnterEvent(QGraphicsSceneHoverEvent *event)
{
    QGraphicsPixmapItem::hoverEnterEvent(event);
    QColor color = paletteColor(m_arcIdentifier).toHsv();
    color.setHsvF(color.hsvHueF(), color.hsvSaturationF() * hoverSaturation, color.valueF(), color.alphaF());
    setPixmap(edgeTilePixmap(color, m_width, m_height));
    update();
}

void EdgeUsageTile::hoverLeaveEvent(QGraphicsSceneHoverEvent *event)
{
    QGraphicsPixmapItem::hoverLeaveEvent(event);
    setPixmap(edgeTilePixmap(m_arcIdentifier, m_width, m_height));
    update();
}

void EdgeUsageTile::keyPressEvent(QKeyEvent *event)
{
    QGraphicsPixmapItem::keyPressEvent(event);
    if (EdgeUsageListEditor::isRemoveKey(event)) {
        event->accept();
        emit removeTriggered(this);
    }
}

void EdgeUsageTile::mouseDoubleClickEvent(QGraphicsSceneMouseEvent *event)
{
    QGraphicsPixmapItem::mouseDoubleClickEvent(event);
    emit editTriggered(this);
}

void EdgeUsageTile::mouseReleaseEvent(QGraphicsSceneMouseEvent *event)
{
    QGraphicsPixmapItem::mouseReleaseEvent(event);
    emit moveFinished(this);
}

void EdgeUsageTile::onTimeLineFrameChanged(int frame)
{
    setPos(frame, 0);
}

void EdgeUsageTile::onTimeLineFinished()
{
    m_settled = true;
}
