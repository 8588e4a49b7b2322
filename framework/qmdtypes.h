#ifndef QMDTYPES_H
#define QMDTYPES_H

#include <QFlags>
#include <QList>
#include <QMetaType>
#include <QSet>
#include <QtGlobal>

// Id of an entry in an id-keyed container; 0 means no entry and is never issued.
typedef quint32 QmdItemId;
// Number of one controller request; 0 means no request.
typedef quint32 QmdRequestId;

typedef QList<QmdItemId> QmdItemIdList;
typedef QSet<QmdItemId> QmdItemIdSet;

namespace Qmd {

enum ContainerType {
    NoContainer = 0, // a plain value
    IntDict = 1,     // children keyed by QmdItemId
    StrDict = 2      // children keyed by QString
};

enum RequestFlag {
    NoUndoHistory = 0x1 // apply the change without recording it for undo
};
Q_DECLARE_FLAGS(RequestFlags, RequestFlag)

} // namespace Qmd

Q_DECLARE_OPERATORS_FOR_FLAGS(Qmd::RequestFlags)

#endif // QMDTYPES_H
