#ifndef TICKROUNDING_H
#define TICKROUNDING_H

#include <QtGlobal>

// Rounds a tick value held in a double to the nearest tick, halves away from zero.
// Never throws: a value that is not finite gives 0, one beyond the range of qint64
// gives the nearest end of that range; in both cases *ok (when given) is false.
qint64 roundToTick(double value, bool *ok = nullptr);

#endif // TICKROUNDING_H
