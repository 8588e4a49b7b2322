#ifndef CREATESYNC_H
#define CREATESYNC_H

#include <QString>
#include <QStringList>

class AbstractSync;
class QObject;

// The playback clock for a document's "SyncType" (any capitalisation of "internal");
// null for a type no clock implements.
AbstractSync *createSync(const QString &type, QObject *parent);

// The clock types there are.
QStringList syncTypes();

// The translated description of a clock type; empty for an unknown type.
QString syncTypeDescription(const QString &type);

#endif // CREATESYNC_H
