#ifndef INSTRUMENTFACTORY_H
#define INSTRUMENTFACTORY_H

#include "qmdtypes.h"

#include <QString>
#include <QStringList>

class AbstractInstrument;

// The instrument kinds, keyed by the "Type" of an instrument record (compared
// without regard to case): "midi" and "debug".

// A new instrument of that kind for the record, owned by the caller; null for
// a kind that does not exist.
AbstractInstrument *createInstrument(const QString &type, QmdItemId instrument);
QStringList instrumentTypes();
// The translated description of the kind; a null string for an unknown kind.
QString instrumentTypeDescription(const QString &type);

#endif // INSTRUMENTFACTORY_H
