// Button faces and frames: the tool chooser's segments, the transport
// buttons, the inspector's page and list buttons, the position display's
// frame and the shading of the edge-usage tiles.
#include "imagestyle.h"

#include <QPen>

namespace ImageStyle {
namespace {

enum class Face { Normal, Hover, Pressed };

QLinearGradient chooserFill(const QRectF &r, Face face)
{
    switch (face) {
    case Face::Hover:
        return verticalGradient(r, QColor(255, 255, 255), QColor(234, 236, 240));
    case Face::Pressed:
        return verticalGradient(r, QColor(150, 172, 204), QColor(184, 200, 224));
    case Face::Normal:
        break;
    }
    return verticalGradient(r, QColor(246, 246, 246), QColor(216, 217, 220));
}

// One segment of the tool chooser. The rounded outline of the whole control
// runs past the segment's sides that join a neighbour, so only the two ends
// show rounded corners; every segment but the last draws the divider on its
// right.
void chooserSegment(QPainter &p, const QSize &size, bool first, bool last, Face face)
{
    const qreal w = size.width(), h = size.height();
    const QRectF outline(first ? 0.5 : -8, 0.5, (first ? w - 0.5 : w + 8) + (last ? -0.5 : 8), h - 1);
    p.save();
    p.setClipRect(QRectF(0, 0, w, h));
    p.setPen(QPen(edgeLine, 1));
    p.setBrush(chooserFill(outline, face));
    p.drawRoundedRect(outline, 4, 4);
    if (face == Face::Pressed) {
        p.setPen(QPen(QColor(0, 0, 0, 50), 1));
        p.drawLine(QPointF(first ? 3 : 0, 1.5), QPointF(last ? w - 3 : w, 1.5));
    } else {
        p.setPen(QPen(QColor(255, 255, 255, 200), 1));
        p.drawLine(QPointF(first ? 3 : 0, 1.5), QPointF(last ? w - 3 : w, 1.5));
    }
    if (!last) {
        p.setPen(QPen(QColor(140, 140, 140), 1));
        p.drawLine(QPointF(w - 0.5, 1), QPointF(w - 0.5, h - 1));
    }
    p.restore();
}

enum class Transport { GotoStart, Play, Pause };

// A round transport button with its symbol; pressed, the face darkens and
// the symbol sinks by half a pixel.
void transportButton(QPainter &p, const QSize &size, Transport symbol, bool pressed)
{
    const qreal d = size.width();
    const QPointF c(d / 2, d / 2);
    const qreal r = d / 2 - 1.5;
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 55));
    p.drawEllipse(c + QPointF(0, 1), r + 0.8, r + 0.8);
    const QRectF face(c.x() - r, c.y() - r, 2 * r, 2 * r);
    p.setPen(QPen(QColor(88, 88, 92), 1));
    p.setBrush(pressed ? verticalGradient(face, QColor(188, 192, 198), QColor(222, 224, 228))
                       : verticalGradient(face, QColor(252, 252, 252), QColor(206, 208, 212)));
    p.drawEllipse(face);
    p.restore();

    const qreal s = d / 45.0; // symbols are laid out on the 45-pixel button
    p.save();
    p.translate(c + QPointF(0, pressed ? 0.5 : 0));
    p.scale(s, s);
    QPainterPath shape;
    switch (symbol) {
    case Transport::GotoStart:
        shape.addRect(QRectF(-8.5, -7.5, 3.2, 15));
        shape.addPolygon(QPolygonF({QPointF(7.5, -7.5), QPointF(7.5, 7.5), QPointF(-4.6, 0)}));
        break;
    case Transport::Play:
        shape.addPolygon(QPolygonF({QPointF(-5, -9.5), QPointF(-5, 9.5), QPointF(10, 0)}));
        break;
    case Transport::Pause:
        shape.addRect(QRectF(-7, -8.5, 5, 17));
        shape.addRect(QRectF(2, -8.5, 5, 17));
        break;
    }
    shape.setFillRule(Qt::WindingFill);
    fillShape(p, shape, symbol == Transport::Pause ? accent : ink);
    p.restore();
}

enum class PageButton { Normal, Pressed, Selected };

void pageButtonFace(QPainter &p, const QSize &size, PageButton state)
{
    const QRectF r(0, 0, size.width(), size.height());
    switch (state) {
    case PageButton::Normal:
        p.fillRect(r, verticalGradient(r, QColor(244, 244, 245), QColor(218, 219, 222)));
        break;
    case PageButton::Pressed:
        p.fillRect(r, verticalGradient(r, QColor(192, 194, 198), QColor(212, 214, 218)));
        break;
    case PageButton::Selected:
        p.fillRect(r, verticalGradient(r, QColor(204, 218, 238), QColor(172, 194, 224)));
        break;
    }
    p.fillRect(QRectF(0, 0, size.width(), 1),
               state == PageButton::Normal ? QColor(255, 255, 255) : QColor(0, 0, 0, 40));
    p.fillRect(QRectF(0, size.height() - 1, size.width(), 1), QColor(160, 162, 166));
}

// The strip under the instrument list and the faces of its buttons.
void listStrip(QPainter &p, const QSize &size, bool pressed)
{
    const QRectF r(0, 0, size.width(), size.height());
    p.fillRect(r, pressed ? verticalGradient(r, QColor(200, 202, 206), QColor(220, 222, 226))
                          : verticalGradient(r, QColor(248, 248, 249), QColor(224, 225, 228)));
    p.fillRect(QRectF(0, 0, size.width(), 1), QColor(176, 178, 182));
}

void listButton(QPainter &p, const QSize &size, bool pressed, bool add)
{
    listStrip(p, size, pressed);
    p.fillRect(QRectF(0, 1, 1, size.height() - 1), QColor(190, 192, 196));
    const QPointF c(size.width() / 2.0, size.height() / 2.0 + (pressed ? 1 : 0.5));
    QPainterPath symbol;
    if (add) {
        symbol.addRect(QRectF(c.x() - 4.5, c.y() - 1, 9, 2));
        symbol.addRect(QRectF(c.x() - 1, c.y() - 4.5, 2, 9));
    } else {
        for (int i = -1; i <= 1; ++i)
            symbol.addEllipse(QPointF(c.x() - 3 + 4 * i, c.y()), 1.4, 1.4);
        symbol.addPolygon(QPolygonF({QPointF(c.x() + 5.5, c.y() - 1.5), QPointF(c.x() + 10.5, c.y() - 1.5),
                                     QPointF(c.x() + 8, c.y() + 1.5)}));
    }
    symbol.setFillRule(Qt::WindingFill);
    fillShape(p, symbol, ink);
}

// The display's frame: a pale green liquid-crystal face in a dark rim. The
// left and right nine pixels are its ends; the middle is stretched.
void lcdFrame(QPainter &p, const QSize &size)
{
    const QRectF outer(0.5, 0.5, size.width() - 1, size.height() - 1);
    p.save();
    p.setPen(QPen(QColor(72, 80, 72), 1));
    p.setBrush(verticalGradient(outer, QColor(200, 214, 190), QColor(172, 188, 162)));
    p.drawRoundedRect(outer, 6, 6);
    p.setPen(QPen(QColor(0, 0, 0, 40), 1));
    p.drawLine(QPointF(5, 1.5), QPointF(size.width() - 5, 1.5));
    p.restore();
}

// Drawn over a tile filled with its edge's colour: light above, shade below,
// a darker rim.
void edgeTileShading(QPainter &p, const QSize &size)
{
    const QRectF r(0, 0, size.width(), size.height());
    QLinearGradient shading(r.topLeft(), r.bottomLeft());
    shading.setColorAt(0, QColor(255, 255, 255, 120));
    shading.setColorAt(0.45, QColor(255, 255, 255, 30));
    shading.setColorAt(0.55, QColor(0, 0, 0, 0));
    shading.setColorAt(1, QColor(0, 0, 0, 70));
    p.fillRect(r, shading);
    p.save();
    p.setPen(QPen(QColor(0, 0, 0, 90), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0.5, 0.5, -0.5, -0.5));
    p.restore();
}

} // namespace

void addSurfaces(Registry &registry)
{
    const struct
    {
        const char *name;
        bool first, last;
    } segments[] = {{"Left", true, false}, {"Middle", false, false}, {"Right", false, true}};
    const struct
    {
        const char *name;
        Face face;
    } faces[] = {{"Normal", Face::Normal}, {"Hover", Face::Hover}, {"Pressed", Face::Pressed}};
    for (const auto &segment : segments) {
        for (const auto &face : faces) {
            const bool first = segment.first, last = segment.last;
            const Face look = face.face;
            registry.insert(QStringLiteral("Chooser/%1%2.png").arg(segment.name, face.name),
                            [first, last, look](QPainter &p, const QSize &size) {
                                chooserSegment(p, size, first, last, look);
                            });
        }
    }

    const struct
    {
        const char *name;
        Transport symbol;
    } transports[] = {{"GotoStart", Transport::GotoStart}, {"Play", Transport::Play}, {"Pause", Transport::Pause}};
    for (const auto &transport : transports) {
        for (bool pressed : {false, true}) {
            const Transport symbol = transport.symbol;
            registry.insert(QStringLiteral("MasterControls/%1%2.png")
                                .arg(transport.name, pressed ? "Pressed" : "Normal"),
                            [symbol, pressed](QPainter &p, const QSize &size) {
                                transportButton(p, size, symbol, pressed);
                            });
        }
    }

    registry.insert("Inspector/InspectPageButtonNormal.png",
                    [](QPainter &p, const QSize &size) { pageButtonFace(p, size, PageButton::Normal); });
    registry.insert("Inspector/InspectPageButtonPressed.png",
                    [](QPainter &p, const QSize &size) { pageButtonFace(p, size, PageButton::Pressed); });
    registry.insert("Inspector/InspectPageButtonSelected.png",
                    [](QPainter &p, const QSize &size) { pageButtonFace(p, size, PageButton::Selected); });
    registry.insert("Inspector/InspectPageButtonSeparator.png", [](QPainter &p, const QSize &size) {
        const QRectF r(0, 0, size.width(), size.height());
        QLinearGradient line(r.topLeft(), r.bottomLeft());
        line.setColorAt(0, QColor(150, 152, 156, 60));
        line.setColorAt(0.5, QColor(150, 152, 156, 255));
        line.setColorAt(1, QColor(150, 152, 156, 60));
        p.fillRect(r, line);
    });
    registry.insert("Inspector/ListButtonsSpacer.png",
                    [](QPainter &p, const QSize &size) { listStrip(p, size, false); });
    registry.insert("Inspector/ListAddNormal.png",
                    [](QPainter &p, const QSize &size) { listButton(p, size, false, true); });
    registry.insert("Inspector/ListAddPressed.png",
                    [](QPainter &p, const QSize &size) { listButton(p, size, true, true); });
    registry.insert("Inspector/ListActionNormal.png",
                    [](QPainter &p, const QSize &size) { listButton(p, size, false, false); });
    registry.insert("Inspector/ListActionPressed.png",
                    [](QPainter &p, const QSize &size) { listButton(p, size, true, false); });

    registry.insert("LCDNormal.png", lcdFrame);
    registry.insert("EdgeTileAlpha.png", edgeTileShading);
    // Fully transparent: stands in where a style sheet must name some image.
    registry.insert("AlphaPixel.png", [](QPainter &, const QSize &) {});
}

} // namespace ImageStyle
