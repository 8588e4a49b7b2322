#include "createsync.h"

#include "midisync.h"

namespace {

bool isInternal(const QString &type)
{
    return type.toLower() == QStringLiteral("internal");
}

} // namespace

AbstractSync *createSync(const QString &type, QObject *parent)
{
    return isInternal(type) ? new MidiSync(parent) : nullptr;
}

QStringList syncTypes()
{
    return QStringList() << QStringLiteral("internal");
}

QString syncTypeDescription(const QString &type)
{
    return isInternal(type) ? MidiSync::tr("MidiSync") : QString();
}
