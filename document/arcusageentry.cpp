#include "arcusageentry.h"

#include <QString>

// Read in place: a step reads a node's whole list for every arriving voice.

unsigned arcUsageEntryEdgeId(QStringView entry)
{
    const qsizetype separator = entry.indexOf(QLatin1Char('='));
    return (separator < 0 ? entry : entry.left(separator)).toUInt(nullptr, 10);
}

int arcUsageEntryUses(QStringView entry)
{
    const qsizetype separator = entry.indexOf(QLatin1Char('='));
    if (separator < 0)
        return 0;
    const QStringView rest = entry.mid(separator + 1);
    const qsizetype next = rest.indexOf(QLatin1Char('='));
    return (next < 0 ? rest : rest.left(next)).toInt(nullptr, 10);
}
