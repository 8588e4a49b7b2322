#include "canvascoordinates.h"

#include "displayscale.h"
#include "networkscene.h"
#include "tickrounding.h"

#include <limits>

QmdVelka::TickPos sceneToTickPos(const QPointF &point)
{
    Q_ASSERT_X(ticksPerPixelX() > 0.0, "sceneToTickPos", "the display scale is not set");
    return QmdVelka::TickPos(roundToTick(point.x() * ticksPerPixelX()),
                             roundToTick(point.y() * ticksPerPixelY()));
}

QPointF tickPosToScene(const QmdVelka::TickPos &pos)
{
    Q_ASSERT_X(pixelsPerTickX() > 0.0, "tickPosToScene", "the display scale is not set");
    return QPointF(double(pos.x) * pixelsPerTickX(), double(pos.y) * pixelsPerTickY());
}

qint64 snapTick(qint64 value, qint64 spacing)
{
    if (spacing < 1)
        return value;
    // Integer division keeps huge positions exact, where a quotient in double
    // precision would land on a multiple nearby.
    qint64 steps = value / spacing;
    const qint64 remainder = value % spacing;
    if (remainder >= spacing - remainder)
        ++steps;
    else if (-remainder >= spacing + remainder)
        --steps;
    qint64 result = 0;
    if (__builtin_mul_overflow(steps, spacing, &result))
        return steps < 0 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    return result;
}

void snapTickPos(QmdVelka::TickPos &pos, const NetworkScene *scene)
{
    if (!scene || !scene->snapToGrid())
        return;
    pos.x = snapTick(pos.x, scene->snapSpacing());
    pos.y = snapTick(pos.y, scene->snapSpacing());
}

void snapScenePoint(QPointF &point, const NetworkScene *scene)
{
    if (!scene || !scene->snapToGrid())
        return;
    QmdVelka::TickPos pos = sceneToTickPos(point);
    snapTickPos(pos, scene);
    point = tickPosToScene(pos);
}
