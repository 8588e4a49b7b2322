#ifndef ARCUSAGEENTRY_H
#define ARCUSAGEENTRY_H

#include <QStringView>

// One entry of a node's "ArcUsageList" (entries joined by ","): the outgoing edge's
// id in decimal, "=", and its use count in decimal, e.g. "17=3".

// The edge id before the first "="; 0 when it is not a decimal number.
unsigned arcUsageEntryEdgeId(QStringView entry);
// The use count between the first and the second "="; 0 when absent or not a number.
int arcUsageEntryUses(QStringView entry);

#endif // ARCUSAGEENTRY_H
