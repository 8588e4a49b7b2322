#include "arcusageentry.h"

unsigned arcUsageEntryEdgeId(const QString &entry)
{
    return entry.section(QLatin1Char('='), 0, 0).toUInt(nullptr, 10);
}

int arcUsageEntryUses(const QString &entry)
{
    return entry.section(QLatin1Char('='), 1, 1).toInt(nullptr, 10);
}
