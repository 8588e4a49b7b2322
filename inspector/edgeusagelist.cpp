#include "edgeusagelist.h"

#include "arcusageentry.h"

#include <QStringList>

EdgeUsageList parseEdgeUsageList(const QString &text)
{
    EdgeUsageList entries;
    const QStringList parts = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &part : parts)
        entries.append({arcUsageEntryEdgeId(part), arcUsageEntryUses(part)});
    return entries;
}

QString edgeUsageListText(const EdgeUsageList &entries)
{
    QStringList parts;
    for (const EdgeUsageEntry &entry : entries)
        parts << QStringLiteral("%1=%2").arg(entry.edgeId).arg(entry.uses);
    return parts.join(QLatin1Char(','));
}
