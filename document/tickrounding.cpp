#include "tickrounding.h"

#include <boost/math/special_functions/round.hpp>

#include <cmath>
#include <limits>

qint64 roundToTick(double value, bool *ok)
{
    // 2^63: the first double beyond qint64; -2^63 itself is in range.
    constexpr double limit = 9223372036854775808.0;
    bool inRange = true;
    qint64 result = 0;
    if (!std::isfinite(value)) {
        inRange = false;
    } else if (value >= limit) {
        inRange = false;
        result = std::numeric_limits<qint64>::max();
    } else if (value < -limit) {
        inRange = false;
        result = std::numeric_limits<qint64>::min();
    } else {
        try {
            result = boost::math::llround(value);
        } catch (...) {
            inRange = false;
            result = value > 0 ? std::numeric_limits<qint64>::max()
                               : std::numeric_limits<qint64>::min();
        }
    }
    if (ok)
        *ok = inRange;
    return result;
}
