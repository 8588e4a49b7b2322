#include "outputportnames.h"

#include "portnames.h"

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>

#include <algorithm>

namespace {

struct SourceSlot
{
    QMutex mutex;
    OutputPortNames::Source source;
};

SourceSlot &sourceSlot()
{
    static SourceSlot slot;
    return slot;
}

} // namespace

namespace OutputPortNames {

void setSource(Source source)
{
    SourceSlot &slot = sourceSlot();
    QMutexLocker locker(&slot.mutex);
    slot.source = std::move(source);
}

QSet<QString> available()
{
    Source source;
    {
        SourceSlot &slot = sourceSlot();
        QMutexLocker locker(&slot.mutex);
        source = slot.source;
    }
    // Asked outside the mutex: the MIDI library may take its time.
    return source ? source() : QSet<QString>();
}

QString chooseDefault(const QSet<QString> &portNames)
{
    QStringList names(portNames.cbegin(), portNames.cend());
    std::sort(names.begin(), names.end(), portNameLessThan);
    for (const QString &name : std::as_const(names)) {
        if (name.contains(QLatin1String("synth"), Qt::CaseInsensitive))
            return name;
    }
    return names.isEmpty() ? QString() : names.first();
}

} // namespace OutputPortNames
