#include "imagestyle.h"

#include <QLineF>
#include <QPen>

namespace ImageStyle {

void fillShape(QPainter &painter, const QPainterPath &path, const QColor &colour, qreal haloWidth)
{
    painter.save();
    if (haloWidth > 0) {
        painter.setPen(QPen(halo, haloWidth * 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(halo);
        painter.drawPath(path);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawPath(path);
    painter.restore();
}

void strokeShape(QPainter &painter, const QPainterPath &path, const QColor &colour, qreal width,
                 qreal haloWidth)
{
    painter.save();
    painter.setBrush(Qt::NoBrush);
    if (haloWidth > 0) {
        painter.setPen(QPen(halo, width + haloWidth * 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(path);
    }
    painter.setPen(QPen(colour, width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.drawPath(path);
    painter.restore();
}

QPainterPath arrowHead(const QPointF &from, const QPointF &tip, qreal length, qreal halfWidth)
{
    QLineF axis(tip, from);
    axis.setLength(length);
    const QPointF base = axis.p2();
    QLineF normal = axis.normalVector();
    normal.setLength(halfWidth);
    const QPointF side = normal.p2() - normal.p1();
    QPainterPath head;
    head.moveTo(tip);
    head.lineTo(base + side);
    head.lineTo(base - side);
    head.closeSubpath();
    return head;
}

QLinearGradient verticalGradient(const QRectF &rect, const QColor &top, const QColor &bottom)
{
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    return gradient;
}

} // namespace ImageStyle
