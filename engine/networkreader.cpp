#include "networkreader.h"

#include "edgelength.h"
#include "qmdvelkacontroller.h"
#include "qmdvelkakeys.h"
#include "tickpos.h"

namespace {
// What the travel time of an edge reads of it, in this order.
enum EdgeValue { IsWormhole, FromNode, ToNode, Path };
const QStringList &edgeKeys()
{
    static const QStringList keys{QmdVelkaKeys::IsWormhole, QmdVelkaKeys::FromNode, QmdVelkaKeys::ToNode,
                                  QmdVelkaKeys::Path};
    return keys;
}
} // namespace

NetworkReader::NetworkReader(const QmdVelkaController *controller)
    : m_controller(controller)
    , m_elements(controller->index(QmdVelkaKeys::Elements))
    , m_states(controller->elementStatesIndex())
{
}

QmdIndex NetworkReader::element(QmdItemId id) const
{
    return id != 0 && m_elements.isValid() ? m_controller->index(id, m_elements) : QmdIndex();
}

QmdIndex NetworkReader::state(QmdItemId id) const
{
    return id != 0 && m_states.isValid() ? m_controller->index(id, m_states) : QmdIndex();
}

QList<QVariant> NetworkReader::values(const QStringList &keys, const QmdIndex &entry) const
{
    return m_controller->values(keys, entry);
}

QVariant NetworkReader::value(const QString &key, const QmdIndex &entry) const
{
    return m_controller->data(key, entry);
}

quint64 NetworkReader::travelTime(QmdItemId edge, bool *found) const
{
    *found = false;
    const QmdIndex entry = element(edge);
    if (!entry.isValid())
        return 0;
    const QList<QVariant> values = m_controller->values(edgeKeys(), entry);
    if (values.at(IsWormhole).toBool()) {
        *found = true;
        return 0;
    }
    const QmdIndex from = element(values.at(FromNode).toUInt());
    const QmdIndex to = element(values.at(ToNode).toUInt());
    if (!from.isValid() || !to.isValid())
        return 0;
    bool ok = false;
    const qint64 length = edgePathLength(value(QmdVelkaKeys::TickPos, from).value<QmdVelka::TickPos>(),
                                         value(QmdVelkaKeys::TickPos, to).value<QmdVelka::TickPos>(),
                                         values.at(Path).toInt(), &ok);
    *found = ok;
    return ok && length > 0 ? quint64(length) : 0;
}
