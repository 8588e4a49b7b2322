#include "elementindexes.h"

#include "qmdreadlocker.h"
#include "qmdvelka.h"
#include "qmdvelkacontroller.h"

std::optional<QmdIndex> existingElementIndex(const QmdVelkaController *controller, QmdItemId element)
{
    if (!controller || element == 0)
        return std::nullopt;
    const QmdReadLocker locker(controller);
    if (controller->elementType(element) == QmdVelka::InvalidElement)
        return std::nullopt;
    const QmdIndex index = controller->elementIndex(element);
    if (!index.isValid() || !controller->exists(index))
        return std::nullopt;
    return index;
}

std::optional<QmdIndex> existingElementEntry(const QmdVelkaController *controller, QmdItemId element,
                                             const QString &key)
{
    if (!controller || key.isEmpty())
        return std::nullopt;
    const QmdReadLocker locker(controller);
    const std::optional<QmdIndex> parent = existingElementIndex(controller, element);
    if (!parent)
        return std::nullopt;
    const QmdIndex entry = controller->index(key, *parent);
    if (!entry.isValid() || entry.key() != key || !controller->exists(entry))
        return std::nullopt;
    return entry;
}
