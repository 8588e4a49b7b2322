// The picture of the About box and splash screen (600 x 360). Its right half
// stays quiet: the box writes the version and credits there, and the start-up
// message goes at its lower left.
#include "imagestyle.h"

#include <QFont>
#include <QPen>

namespace ImageStyle {
namespace {

void aboutPicture(QPainter &p, const QSize &size)
{
    const QRectF r(0, 0, size.width(), size.height());
    p.fillRect(r, verticalGradient(r, QColor(250, 251, 253), QColor(226, 231, 238)));

    // A small network: nodes joined by right-angled and straight edges, one
    // voice group marker feeding the first node.
    const QPointF nodes[] = {{70, 212}, {170, 212}, {170, 142}, {250, 142}, {250, 262}, {110, 282}};
    const int edges[][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 0}, {1, 4}};
    p.save();
    for (const auto &edge : edges) {
        const QPointF from = nodes[edge[0]], to = nodes[edge[1]];
        QLineF leg(to, from);
        leg.setLength(13);
        strokeShape(p, [&] {
            QPainterPath path;
            path.moveTo(from);
            path.lineTo(to);
            return path;
        }(), QColor(113, 117, 137), 2);
        fillShape(p, arrowHead(from, leg.p2(), 11, 5.5), QColor(113, 117, 137));
    }
    for (const QPointF &node : nodes) {
        p.setPen(QPen(accent.darker(140), 1.5));
        p.setBrush(accent);
        p.drawEllipse(node, 10, 10);
    }
    QPainterPath marker;
    marker.addPolygon(QPolygonF({QPointF(22, 198), QPointF(56, 212), QPointF(22, 226)}));
    marker.closeSubpath();
    fillShape(p, marker, QColor(214, 96, 62));
    p.restore();

    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(64);
    title.setWeight(QFont::Bold);
    p.setFont(title);
    p.setPen(ink);
    p.drawText(QRectF(30, 30, 270, 80), Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("Velka"));
    QFont subtitle(QStringLiteral("DejaVu Sans"));
    subtitle.setPixelSize(14);
    p.setFont(subtitle);
    p.setPen(softInk);
    p.drawText(QRectF(33, 112, 270, 20), Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("Generative music with MIDI"));

    // A quiet rule between the picture and the text of the box.
    p.fillRect(QRectF(296, 40, 1, 280), QColor(92, 97, 106, 60));
}

} // namespace

void addAboutPicture(Registry &registry)
{
    registry.insert("AboutVelka.png", aboutPicture);
}

} // namespace ImageStyle
