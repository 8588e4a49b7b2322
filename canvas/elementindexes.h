#ifndef ELEMENTINDEXES_H
#define ELEMENTINDEXES_H

#include "qmdindex.h"
#include "qmdtypes.h"

#include <QString>

#include <optional>

class QmdVelkaController;

// Where the canvas writes into elements. The controller's lookups of an id or
// key that is gone give the default index, and the default index names the
// document root: a write through it would land in the root or replace the
// whole document. Every write of the canvas takes its index from these
// helpers, which give one only for what exists now, and writes nothing
// otherwise.

// The record of an existing element (the parent of its keys).
std::optional<QmdIndex> existingElementIndex(const QmdVelkaController *controller, QmdItemId element);
// The entry of an existing key of an existing element.
std::optional<QmdIndex> existingElementEntry(const QmdVelkaController *controller, QmdItemId element,
                                             const QString &key);

#endif // ELEMENTINDEXES_H
