// Icons and cursors: the tools, the inspector pages, the edge routes, the
// display modes and the small drop-down arrows.
#include "imagestyle.h"

#include <QPen>

namespace ImageStyle {
namespace {

QPainterPath circle(const QPointF &centre, qreal radius)
{
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

QPainterPath polygon(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    path.addPolygon(QPolygonF(QVector<QPointF>(points)));
    path.closeSubpath();
    return path;
}

QPainterPath rect(qreal x, qreal y, qreal w, qreal h)
{
    QPainterPath path;
    path.addRect(x, y, w, h);
    return path;
}

QPainterPath polyline(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    const QVector<QPointF> list(points);
    path.moveTo(list.first());
    for (int i = 1; i < list.size(); ++i)
        path.lineTo(list.at(i));
    return path;
}

// A node of the canvas: a filled accent disc with a darker rim.
void node(QPainter &p, const QPointF &centre, qreal radius)
{
    p.save();
    p.setPen(QPen(accent.darker(140), 1));
    p.setBrush(accent);
    p.drawEllipse(centre, radius, radius);
    p.restore();
}

// A magnifier whose lens is centred on centre; sign 1 plus, -1 minus, 0 none.
void magnifier(QPainter &p, const QPointF &centre, qreal radius, qreal handleEnd, int sign, qreal haloWidth)
{
    const QPointF handleStart = centre + QPointF(radius, radius) * 0.72;
    strokeShape(p, polyline({handleStart, QPointF(handleEnd, handleEnd)}), ink, 2.6, haloWidth);
    QPainterPath lens = circle(centre, radius);
    if (haloWidth > 0)
        strokeShape(p, lens, halo, 1.4, haloWidth);
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 170));
    p.drawPath(lens);
    p.restore();
    strokeShape(p, lens, ink, 1.4);
    const qreal arm = radius * 0.5;
    if (sign != 0)
        fillShape(p, rect(centre.x() - arm, centre.y() - 0.6, 2 * arm, 1.2), ink);
    if (sign > 0)
        fillShape(p, rect(centre.x() - 0.6, centre.y() - arm, 1.2, 2 * arm), ink);
}

void crosshair(QPainter &p, const QSize &)
{
    const qreal c = 7.5; // the hot spot's pixel centre
    QPainterPath arms = polyline({QPointF(0.5, c), QPointF(c - 2, c)});
    arms.addPath(polyline({QPointF(c + 2, c), QPointF(14.5, c)}));
    arms.addPath(polyline({QPointF(c, 0.5), QPointF(c, c - 2)}));
    arms.addPath(polyline({QPointF(c, c + 2), QPointF(c, 14.5)}));
    strokeShape(p, arms, ink, 1, 1);
    fillShape(p, rect(c - 0.5, c - 0.5, 1, 1), ink, 0.8);
}

void selectionTool(QPainter &p, const QSize &)
{
    fillShape(p,
              polygon({{3, 0.5}, {3, 11.5}, {5.7, 9}, {7.6, 13}, {9.4, 12.1}, {7.6, 8.3}, {11.2, 8.2}}),
              ink);
}

void nodeAndEdgeTool(QPainter &p, const QSize &)
{
    const QPointF from(3, 11), to(11, 3);
    strokeShape(p, polyline({from, QPointF(8.2, 5.8)}), ink, 1.3);
    fillShape(p, arrowHead(from, QPointF(8.9, 5.1), 3.6, 2.1), ink);
    node(p, from, 2.3);
    node(p, to, 2.3);
}

// The voice group marker of the canvas: a triangle pointing at its node.
void voiceGroupMarker(QPainter &p, qreal left, qreal top, qreal height, qreal nodeRadius)
{
    const qreal tipX = left + height * 0.62;
    fillShape(p, polygon({{left, top}, {tipX, top + height / 2}, {left, top + height}}), ink);
    node(p, QPointF(tipX + nodeRadius + 0.8, top + height / 2), nodeRadius);
}

void textBoxTool(QPainter &p, const QSize &)
{
    p.save();
    p.setPen(QPen(softInk, 1, Qt::DotLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, 13, 13));
    p.restore();
    fillShape(p, rect(3, 3, 8, 2), ink);
    fillShape(p, rect(6, 5, 2, 6.5), ink);
}

void documentIcon(QPainter &p, const QSize &)
{
    QPainterPath page = polygon({{3.5, 1.5}, {9.5, 1.5}, {12.5, 4.5}, {12.5, 14.5}, {3.5, 14.5}});
    p.save();
    p.setPen(QPen(ink, 1));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.restore();
    strokeShape(p, polyline({{9.5, 1.5}, {9.5, 4.5}, {12.5, 4.5}}), ink, 1);
    for (qreal y : {7.5, 9.5, 11.5})
        strokeShape(p, polyline({{5.5, y}, {10.5, y}}), softInk, 1);
}

void instrumentIcon(QPainter &p, const QSize &)
{
    p.save();
    p.setPen(QPen(ink, 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 3.5, 13, 9));
    p.restore();
    const qreal key = 13.0 / 4;
    for (int i = 1; i < 4; ++i)
        strokeShape(p, polyline({{1.5 + key * i, 3.5}, {1.5 + key * i, 12.5}}), ink, 1);
    for (int i = 1; i < 3; ++i)
        fillShape(p, rect(1.5 + key * i - 1, 3.5, 2, 5), ink);
}

void edgeIcon(QPainter &p, const QSize &)
{
    const QPointF from(3, 13), tip(13.5, 2.5);
    strokeShape(p, polyline({from, QPointF(11.6, 4.4)}), ink, 1.5);
    fillShape(p, arrowHead(from, tip, 4.5, 2.5), ink);
    node(p, from, 1.8);
}

void nodeIcon(QPainter &p, const QSize &)
{
    node(p, QPointF(8, 8), 5.5);
}

// An edge route from the lower left node to the upper right one.
void edgeRoute(QPainter &p, const QPointF &corner, bool hasCorner)
{
    const QPointF from(3, 13), to(13, 3);
    const QPointF last = hasCorner ? corner : from;
    QLineF finalLeg(to, last);
    finalLeg.setLength(2.6);
    const QPointF tip = finalLeg.p2();
    QLineF shaft(to, last);
    shaft.setLength(5);
    QPainterPath route;
    route.moveTo(from);
    if (hasCorner)
        route.lineTo(corner);
    route.lineTo(shaft.p2());
    strokeShape(p, route, ink, 1.4);
    fillShape(p, arrowHead(last, tip, 4, 2.3), ink);
    node(p, from, 2);
    node(p, to, 2);
}

void timeIcon(QPainter &p, const QSize &)
{
    const QPointF c(8, 8);
    p.save();
    p.setPen(QPen(halo, 3));
    p.setBrush(Qt::white);
    p.drawEllipse(c, 6.3, 6.3);
    p.setPen(QPen(ink, 1.3));
    p.drawEllipse(c, 6.3, 6.3);
    p.restore();
    strokeShape(p, polyline({{8, 3.6}, c, {11.2, 8}}), ink, 1.4);
}

void principalsIcon(QPainter &p, const QSize &)
{
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(0.5, 4.5, 15, 8));
    p.restore();
    QPainterPath ticks = polyline({{0.5, 12.5}, {15.5, 12.5}});
    for (int i = 0; i <= 8; ++i) {
        const qreal x = 1 + i * 14.0 / 8;
        const qreal height = (i % 4 == 0) ? 7.5 : 3.5;
        ticks.addPath(polyline({{x, 12.5}, {x, 12.5 - height}}));
    }
    strokeShape(p, ticks, ink, 1.2, 0.8);
}

void beatsIcon(QPainter &p, const QSize &)
{
    QPainterPath head;
    head.addEllipse(QPointF(0, 0), 3.2, 2.3);
    QTransform place;
    place.translate(5.8, 12);
    place.rotate(-22);
    QPainterPath note = place.map(head);
    note.addRect(QRectF(8.2, 2, 1.4, 10));
    QPainterPath flag;
    flag.moveTo(9.6, 2);
    flag.cubicTo(10.5, 5, 13.8, 5.5, 12.6, 9.5);
    flag.cubicTo(12.6, 7, 11, 6, 9.6, 5.8);
    flag.closeSubpath();
    note.addPath(flag);
    note.setFillRule(Qt::WindingFill);
    fillShape(p, note.simplified(), ink, 0.8);
}

} // namespace

void addSymbols(Registry &registry)
{
    registry.insert("Tools/SelectionTool.png", selectionTool);
    registry.insert("Tools/ZoomTool.png",
                    [](QPainter &p, const QSize &) { magnifier(p, QPointF(5.5, 5.5), 3.9, 12.6, 0, 0); });
    registry.insert("Tools/NodeAndEdgeTool.png", nodeAndEdgeTool);
    registry.insert("Tools/VoiceGroupTool.png",
                    [](QPainter &p, const QSize &) { voiceGroupMarker(p, 0.5, 2, 10, 2.4); });
    registry.insert("Tools/TextBoxTool.png", textBoxTool);

    registry.insert("Cursors/Crosshair.png", crosshair);
    registry.insert("Cursors/ZoomIn.png",
                    [](QPainter &p, const QSize &) { magnifier(p, QPointF(7.5, 7.5), 4.6, 14.6, 1, 1); });
    registry.insert("Cursors/ZoomOut.png",
                    [](QPainter &p, const QSize &) { magnifier(p, QPointF(7.5, 7.5), 4.6, 14.6, -1, 1); });
    registry.insert("Cursors/ZoomNone.png",
                    [](QPainter &p, const QSize &) { magnifier(p, QPointF(7.5, 7.5), 4.6, 14.6, 0, 1); });

    registry.insert("Inspector/InspectDocument.png", documentIcon);
    registry.insert("Inspector/InspectInstrument.png", instrumentIcon);
    registry.insert("Inspector/InspectEdge.png", edgeIcon);
    registry.insert("Inspector/InspectNode.png", nodeIcon);
    registry.insert("Inspector/InspectVoiceGroup.png",
                    [](QPainter &p, const QSize &) { voiceGroupMarker(p, 1, 2.5, 11, 2.8); });

    registry.insert("Inspector/EdgePathCityBlock.png",
                    [](QPainter &p, const QSize &) { edgeRoute(p, QPointF(13, 13), true); });
    registry.insert("Inspector/EdgePathCityBlockFlipped.png",
                    [](QPainter &p, const QSize &) { edgeRoute(p, QPointF(3, 3), true); });
    registry.insert("Inspector/EdgePathDirect.png",
                    [](QPainter &p, const QSize &) { edgeRoute(p, QPointF(), false); });

    registry.insert("LCDTimeIcon.png", timeIcon);
    registry.insert("LCDPrincipalsIcon.png", principalsIcon);
    registry.insert("LCDBeatsIcon.png", beatsIcon);

    registry.insert("DropDownSymbol.png", [](QPainter &p, const QSize &) {
        fillShape(p, polygon({{1, 1}, {8, 1}, {4.5, 5}}), ink);
    });
    registry.insert("AddDropDownSymbol.png", [](QPainter &p, const QSize &) {
        fillShape(p, rect(0, 3, 8, 2), ink);
        fillShape(p, rect(3, 0, 2, 8), ink);
        fillShape(p, polygon({{10, 2}, {17, 2}, {13.5, 6}}), ink);
    });
}

} // namespace ImageStyle
