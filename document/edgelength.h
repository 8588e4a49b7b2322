#ifndef EDGELENGTH_H
#define EDGELENGTH_H

#include "tickpos.h"

// The length in ticks of an edge route between two positions (QmdVelka::EdgePath):
// the right-angled routes 0 and 1 measure |dx| + |dy|, the direct route 2 the
// Euclidean distance rounded to the nearest tick (halves away from zero), any other
// route 0. Symmetric in a and b. Never throws and never overflows: a length beyond
// the range of qint64 is clamped to its maximum and *ok (when given) is false;
// otherwise *ok is true.
qint64 edgePathLength(const QmdVelka::TickPos &a, const QmdVelka::TickPos &b, int path,
                      bool *ok = nullptr);

#endif // EDGELENGTH_H
