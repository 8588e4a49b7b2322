#include "graphicsnodeitem.h"

#include "displayscale.h"
#include "leveldetail.h"
#include "nodepictures.h"
#include "qmdvelkakeys.h"
#include "sharedpaint.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGraphicsSimpleTextItem>
#include <QList>
#include <QPainter>
#include <QPen>
#include <QStyleOptionGraphicsItem>

#include <cmath>
#include <utility>

namespace {

constexpr qreal nodeRadius = 10.0; // points
constexpr int fillAlpha = 40;
// Pitch-list tooltips break after the first comma at or beyond this column.
constexpr int toolTipLineLength = 30;

// The hit counter, left out where the view is zoomed so far out that the
// bars of its digits (about a third of a line apart) would merge.
class CounterLabel : public QGraphicsSimpleTextItem
{
public:
    using QGraphicsSimpleTextItem::QGraphicsSimpleTextItem;

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override
    {
        if (LevelOfDetail::shows(painter, QFontMetricsF(font()).height() / 3))
            QGraphicsSimpleTextItem::paint(painter, option, widget);
    }
};

} // namespace

GraphicsNodeItem::GraphicsNodeItem(QmdItemId id, QmdVelkaController *controller, NetworkScene *scene,
                                   QGraphicsItem *parent)
    : GraphicsElementItem<QGraphicsEllipseItem>(id, controller, scene, parent)
{
    init();
}

GraphicsNodeItem::GraphicsNodeItem(NetworkScene *scene, QGraphicsItem *parent)
    : GraphicsElementItem<QGraphicsEllipseItem>(0, nullptr, scene, parent)
{
    init();
}

void GraphicsNodeItem::init()
{
    const qreal s = displayScaleX();
    const qreal t = displayScaleY();
    setRect(-nodeRadius * s, -nodeRadius * t, 2 * nodeRadius * s, 2 * nodeRadius * t);

    QFont font;
    font.setPointSize(10);
    m_counterLabel = new CounterLabel(this);
    m_counterLabel->setFont(font);
    m_counterLabel->setText(QStringLiteral("0"));
    const qreal diagonal = std::cos(M_PI / 4);
    m_counterLabel->setPos(s * nodeRadius * diagonal,
                           -QFontMetricsF(font).height() - t * nodeRadius * diagonal);
    m_counterLabel->setCacheMode(ItemCacheMode);
    // Presses on the label go to the node, whose shape covers the label.
    m_counterLabel->setAcceptedMouseButtons(Qt::NoButton);
    // The scene shows the label when the document shows node counters.
    m_counterLabel->setVisible(false);

    applyColor(Qt::black);
    applySceneColors();
}

void GraphicsNodeItem::setSignallingMethod(int method)
{
    m_signallingMethod = method;
    update();
}

void GraphicsNodeItem::setMuted(bool muted)
{
    m_muted = muted;
    update();
}

void GraphicsNodeItem::setCounter(unsigned value)
{
    m_counter = value;
    m_counterLabel->setText(QString::number(value));
}

bool GraphicsNodeItem::isCounterVisible() const
{
    return m_counterLabel->isVisible();
}

void GraphicsNodeItem::setCounterVisible(bool visible)
{
    if (visible == m_counterLabel->isVisible())
        return;
    // The label is part of the node's shape while it shows.
    prepareGeometryChange();
    m_counterLabel->setVisible(visible);
}

void GraphicsNodeItem::applyColor(const QColor &color)
{
    QPen pen(color, displayScaleX());
    pen.setCapStyle(Qt::RoundCap);
    setPen(sharedPen(pen));
    QColor fill = color;
    fill.setAlpha(fillAlpha);
    setBrush(sharedBrush(QBrush(fill, Qt::SolidPattern)));
    update();
}

void GraphicsNodeItem::applyAnnotationColor(const QColor &color)
{
    m_counterLabel->setBrush(sharedBrush(QBrush(color, Qt::SolidPattern)));
    m_counterLabel->update();
}

void GraphicsNodeItem::applySceneColors()
{
    if (NetworkScene *ns = networkScene()) {
        applyColor(ns->nodesColor());
        applyAnnotationColor(ns->annotationColor());
    }
}

void GraphicsNodeItem::startFlash(quint32 groupId, quint32 voiceNumber, const QColor &color, bool noUpdate)
{
    QMap<quint32, QColor> &voices = m_flashes[groupId];
    if (!voices.contains(voiceNumber))
        ++m_flashCount;
    voices.insert(voiceNumber, color);
    if (!noUpdate)
        update();
}

void GraphicsNodeItem::endFlash(quint32 groupId, quint32 voiceNumber, bool noUpdate)
{
    const auto group = m_flashes.find(groupId);
    if (group != m_flashes.end()) {
        if (group->remove(voiceNumber))
            --m_flashCount;
        if (group->isEmpty())
            m_flashes.erase(group);
    }
    if (!noUpdate)
        update();
}

void GraphicsNodeItem::onElementDataChangedOrRemoved(QmdItemId id, const QStringList &keys, QmdRequestId rid)
{
    GraphicsElementItem<QGraphicsEllipseItem>::onElementDataChangedOrRemoved(id, keys, rid);
    const QmdVelkaController *c = controller();
    if (!c || id != ElementItem::id())
        return;
    setSynced(false);
    if (keys.contains(QmdVelkaKeys::DontPlayNote))
        setMuted(c->elementData(id, QmdVelkaKeys::DontPlayNote).toBool());
    if (keys.contains(QmdVelkaKeys::PitchList))
        setToolTip(pitchListToolTip(c->elementData(id, QmdVelkaKeys::PitchList).toString()));
    // Read on every notification of the node, whatever keys it names.
    setSignallingMethod(c->elementData(id, QmdVelkaKeys::SignallingMethod).toInt());
    setSynced(true);
}

QString GraphicsNodeItem::pitchListToolTip(const QString &pitchList)
{
    QString rest = pitchList;
    QString tip;
    while (!rest.isEmpty()) {
        if (rest.size() <= toolTipLineLength) {
            tip += rest;
            break;
        }
        const int comma = rest.indexOf(QLatin1Char(','), toolTipLineLength);
        if (comma < 0) {
            tip += rest;
            break;
        }
        tip += rest.left(comma + 1);
        tip += QLatin1Char('\n');
        rest.remove(0, comma + 1);
    }
    return tip;
}

QRectF GraphicsNodeItem::outlineRect() const
{
    const qreal half = pen().style() == Qt::NoPen ? 0.0 : pen().widthF() / 2;
    return rect().adjusted(-half, -half, half, half);
}

QRectF GraphicsNodeItem::paintedRect() const
{
    // Room for the selected outline on the left and top, and for the
    // signalling glyph on the right and bottom.
    const QRectF r = outlineRect();
    const qreal margin = 1.5 * displayScaleX();
    return r.adjusted(-margin, -margin, r.width() / 4, r.height() / 4);
}

QRectF GraphicsNodeItem::boundingRect() const
{
    QRectF bounds = paintedRect();
    if (m_counterLabel && m_counterLabel->isVisible())
        bounds |= m_counterLabel->mapRectToParent(m_counterLabel->boundingRect());
    return bounds;
}

QPainterPath GraphicsNodeItem::shape() const
{
    QPainterPath path;
    path.addEllipse(outlineRect());
    if (m_counterLabel && m_counterLabel->isVisible())
        path.addRect(m_counterLabel->mapRectToParent(m_counterLabel->boundingRect()));
    return path;
}

void GraphicsNodeItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    const QRectF r = rect();
    painter->setOpacity(opacity());
    if (m_flashCount == 0) {
        const auto drawNode = [this, r](QPainter *p) {
            p->setPen(outlinePen());
            p->setBrush(brush());
            p->drawEllipse(r);
            drawGlyph(p, r);
        };
        NodePictures::Look look;
        look.outline = pen().color().rgba();
        look.fill = brush().color().rgba();
        look.selected = isSelected();
        look.muted = m_muted;
        look.signallingMethod = m_signallingMethod;
        look.circle = r;
        if (!NodePictures::paint(painter, look, paintedRect(), drawNode))
            drawNode(painter);
        return;
    }
    // Voices playing the node: one slice each, in their colours.
    painter->setPen(outlinePen());
    const int span = 5760 / m_flashCount;
    int start = (m_flashCount == 2 || m_flashCount == 4) ? 720 : 0;
    for (const QMap<quint32, QColor> &voices : m_flashes) {
        for (const QColor &color : voices) {
            painter->setBrush(QBrush(color, Qt::SolidPattern));
            if (m_flashCount == 1)
                painter->drawEllipse(r);
            else
                painter->drawPie(r, start, span);
            start += span;
        }
    }
    drawGlyph(painter, r);
}

QPen GraphicsNodeItem::outlinePen() const
{
    // Nodes of one look share the pen they are drawn with (see sharedPen):
    // made once per look, not once per node and paint.
    struct Look
    {
        QRgb color;
        bool selected;
        bool muted;
        qreal scale;
        bool operator==(const Look &other) const
        {
            return color == other.color && selected == other.selected && muted == other.muted
                   && scale == other.scale;
        }
    };
    static QList<std::pair<Look, QPen>> pens;
    const QPen own = pen();
    const Look look{own.color().rgba(), isSelected(), m_muted, displayScaleX()};
    for (const auto &made : std::as_const(pens)) {
        if (made.first == look)
            return made.second;
    }
    QPen outline = own;
    outline.setCapStyle(Qt::RoundCap);
    const qreal width = displayScaleX() * (look.selected ? 3.0 : 1.0);
    outline.setWidthF(width);
    // Dash patterns count in pen widths: the dashes are 4 units long at any width.
    if (m_muted && width > 0)
        outline.setDashPattern({4 / width, 4 / width});
    if (pens.size() >= 64)
        pens.clear();
    pens.append({look, sharedPen(outline)});
    return pens.last().second;
}

void GraphicsNodeItem::drawGlyph(QPainter *painter, const QRectF &r) const
{
    const qreal q = r.width() / 4;
    // The parallel strokes are 2q/3 apart: closer on the device than a pixel
    // or two, either glyph is a blot.
    if (!LevelOfDetail::shows(painter, 2 * q / 3))
        return;
    const QLineF stroke(-q, 0, q, 0);
    switch (m_signallingMethod) {
    case 1: // parallel: two strokes side by side
        painter->save();
        painter->rotate(45);
        painter->translate(0, -q / 3);
        painter->drawLine(QLineF(q, 0, 3 * q, 0));
        painter->translate(0, 2 * q / 3);
        painter->drawLine(QLineF(q, 0, 3 * q, 0));
        painter->restore();
        break;
    case 2: // random: two crossing strokes
        painter->save();
        painter->rotate(45);
        painter->translate(2 * q, 0);
        painter->rotate(30);
        painter->drawLine(stroke);
        painter->rotate(115);
        painter->drawLine(stroke);
        painter->restore();
        break;
    default:
        break;
    }
}
