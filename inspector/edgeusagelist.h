#ifndef EDGEUSAGELIST_H
#define EDGEUSAGELIST_H

#include "qmdtypes.h"

#include <QString>
#include <QVector>

// One entry of a node's edge-usage list: an outgoing edge and how many times a
// voice takes it (0: without limit).
struct EdgeUsageEntry
{
    QmdItemId edgeId = 0;
    int uses = 0;

    bool operator==(const EdgeUsageEntry &other) const
    {
        return edgeId == other.edgeId && uses == other.uses;
    }
};

typedef QVector<EdgeUsageEntry> EdgeUsageList;

// The entries of an "ArcUsageList" text in order; empty entries are skipped and
// numbers that do not parse read as 0.
EdgeUsageList parseEdgeUsageList(const QString &text);
// The text of the entries: "edge=uses" joined by commas; empty for no entries.
QString edgeUsageListText(const EdgeUsageList &entries);

#endif // EDGEUSAGELIST_H
