#include "gridbackground.h"

#include "canvascoordinates.h"
#include "displayscale.h"

#include <QLineF>
#include <QPainter>
#include <QPen>
#include <QVector>

#include <cmath>

namespace {

// Closer layers would be a blur of pixels and cost a frame.
constexpr qreal minimumDeviceSpacing = 2.0;

// One grid layer: lines or points at a spacing, painted over the part of the
// grid rectangle that is exposed. Coordinates are g's corner plus a whole
// number of steps, so every paint puts them at the same places.
class Layer
{
public:
    Layer(QPainter *painter, const QRectF &g, const QRectF &exposed, qreal stepX, qreal stepY)
        : m_painter(painter), m_g(g)
    {
        m_stepX = stepX;
        m_stepY = stepY;
        // Only the steps that reach the exposed rectangle (and one beyond
        // each side) are drawn; the others would be clipped away.
        const qint64 columns = qint64(std::floor((g.right() - g.left()) / stepX));
        const qint64 rows = qint64(std::floor((g.bottom() - g.top()) / stepY));
        m_firstX = qMax<qint64>(0, qint64(std::floor((exposed.left() - g.left()) / stepX)) - 1);
        m_lastX = qMin<qint64>(columns, qint64(std::floor((exposed.right() - g.left()) / stepX)) + 1);
        m_firstY = qMax<qint64>(0, qint64(std::floor((exposed.top() - g.top()) / stepY)) - 1);
        m_lastY = qMin<qint64>(rows, qint64(std::floor((exposed.bottom() - g.top()) / stepY)) + 1);
    }

    void drawLines(const QColor &color)
    {
        if (!setPen(color))
            return;
        QVector<QLineF> lines;
        lines.reserve(int(qMax<qint64>(0, m_lastY - m_firstY + 1) + qMax<qint64>(0, m_lastX - m_firstX + 1)));
        for (qint64 i = m_firstY; i <= m_lastY; ++i) {
            const qreal y = m_g.top() + qreal(i) * m_stepY;
            lines.append(QLineF(m_g.left(), y, m_g.right(), y));
        }
        for (qint64 i = m_firstX; i <= m_lastX; ++i) {
            const qreal x = m_g.left() + qreal(i) * m_stepX;
            lines.append(QLineF(x, m_g.top(), x, m_g.bottom()));
        }
        m_painter->drawLines(lines);
    }

    void drawPoints(const QColor &color)
    {
        if (!setPen(color) || m_lastX < m_firstX)
            return;
        QVector<QPointF> row(int(m_lastX - m_firstX + 1));
        for (qint64 j = m_firstY; j <= m_lastY; ++j) {
            const qreal y = m_g.top() + qreal(j) * m_stepY;
            for (qint64 i = m_firstX; i <= m_lastX; ++i)
                row[int(i - m_firstX)] = QPointF(m_g.left() + qreal(i) * m_stepX, y);
            m_painter->drawPoints(row.constData(), row.size());
        }
    }

private:
    bool setPen(const QColor &color)
    {
        if (color.alpha() == 0)
            return false;
        m_painter->setPen(QPen(color, 0));
        return true;
    }

    QPainter *m_painter;
    QRectF m_g;
    qreal m_stepX;
    qreal m_stepY;
    qint64 m_firstX;
    qint64 m_lastX;
    qint64 m_firstY;
    qint64 m_lastY;
};

} // namespace

double GridBackground::divisionsFrom(const QVariant &divsPerPrincipal)
{
    const double d = divsPerPrincipal.toDouble();
    if (!std::isfinite(d) || d <= 0)
        return 1;
    return qMin(d, double(ticksPerPrincipal));
}

void GridBackground::paint(QPainter *painter, const QRectF &exposed) const
{
    const QPointF principal = tickPosToScene(QmdVelka::TickPos(qint64(ticksPerPrincipal), qint64(ticksPerPrincipal)));
    const qreal pw = principal.x();
    const qreal ph = principal.y();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setBackground(QBrush(backgroundColor, Qt::SolidPattern));
    if (!(pw > 0 && ph > 0) || !exposed.isValid()) {
        // No display scale yet: there is no grid to place.
        painter->eraseRect(exposed);
        painter->restore();
        return;
    }

    // One principal beyond the exposed rectangle on every side, with edges on
    // the principal grid.
    QRectF g;
    g.setTop(exposed.top() - std::fmod(exposed.top(), ph) - ph);
    g.setBottom(exposed.bottom() - std::fmod(exposed.bottom(), ph) + ph);
    g.setLeft(exposed.left() - std::fmod(exposed.left(), pw) - pw);
    g.setRight(exposed.right() - std::fmod(exposed.right(), pw) + pw);
    painter->eraseRect(g);
    if (!showGrid) {
        painter->restore();
        return;
    }

    const qreal d = divisions > 0 ? divisions : 1;
    const qreal dw = pw / d;
    const qreal dh = ph / d;
    const QTransform device = painter->deviceTransform();
    const qreal scaleX = std::hypot(device.m11(), device.m12());
    const qreal scaleY = std::hypot(device.m21(), device.m22());
    const bool divisionsShow = dw * scaleX >= minimumDeviceSpacing && dh * scaleY >= minimumDeviceSpacing;
    const bool principalsShow = pw * scaleX >= minimumDeviceSpacing && ph * scaleY >= minimumDeviceSpacing;

    Layer divisionLayer(painter, g, exposed, dw, dh);
    Layer principalLayer(painter, g, exposed, pw, ph);
    if (divisionsShow)
        divisionLayer.drawLines(divisionLinesColor);
    if (principalsShow)
        principalLayer.drawLines(principalLinesColor);
    if (divisionsShow)
        divisionLayer.drawPoints(divisionPointsColor);
    if (principalsShow)
        principalLayer.drawPoints(principalPointsColor);
    painter->restore();
}
