#ifndef ARCUSAGEENTRY_H
#define ARCUSAGEENTRY_H

#include <QString>

// One entry of a node's "ArcUsageList" (entries joined by ","): the outgoing edge's
// id in decimal, "=", and its use count in decimal, e.g. "17=3".

// The edge id before the first "="; 0 when it is not a decimal number.
unsigned arcUsageEntryEdgeId(const QString &entry);
// The use count between the first and the second "="; 0 when absent or not a number.
int arcUsageEntryUses(const QString &entry);

#endif // ARCUSAGEENTRY_H
