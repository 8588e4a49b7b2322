#include "edgelength.h"

#include "qmdvelka.h"
#include "tickrounding.h"

#include <boost/math/special_functions/hypot.hpp>

#include <limits>

namespace {

// |b - a| without overflow: the distance between any two qint64 fits in quint64.
quint64 distance(qint64 a, qint64 b)
{
    return b >= a ? quint64(b) - quint64(a) : quint64(a) - quint64(b);
}

qint64 cityBlockLength(const QmdVelka::TickPos &a, const QmdVelka::TickPos &b, bool *ok)
{
    constexpr quint64 maxLength = quint64(std::numeric_limits<qint64>::max());
    const quint64 dx = distance(a.x, b.x);
    const quint64 dy = distance(a.y, b.y);
    if (dx > maxLength || dy > maxLength - dx) {
        *ok = false;
        return std::numeric_limits<qint64>::max();
    }
    return qint64(dx + dy);
}

qint64 directLength(const QmdVelka::TickPos &a, const QmdVelka::TickPos &b, bool *ok)
{
    const double dx = double(b.x) - double(a.x);
    const double dy = double(b.y) - double(a.y);
    double length = 0.0;
    try {
        length = boost::math::hypot(dx, dy);
    } catch (...) {
        *ok = false;
        return std::numeric_limits<qint64>::max();
    }
    const qint64 ticks = roundToTick(length, ok);
    return *ok ? ticks : std::numeric_limits<qint64>::max();
}

} // namespace

qint64 edgePathLength(const QmdVelka::TickPos &a, const QmdVelka::TickPos &b, int path,
                      bool *ok)
{
    bool inRange = true;
    qint64 length = 0;
    switch (path) {
    case QmdVelka::CityBlock:
    case QmdVelka::CityBlockFlipped:
        length = cityBlockLength(a, b, &inRange);
        break;
    case QmdVelka::Direct:
        length = directLength(a, b, &inRange);
        break;
    default:
        break;
    }
    if (ok)
        *ok = inRange;
    return length;
}
