#include "networkreader.h"

#include "edgelength.h"
#include "qmdreadlocker.h"
#include "qmdvelkacontroller.h"
#include "qmdvelkakeys.h"
#include "tickpos.h"

namespace {
const QStringList &nodeKeys()
{
    static const QStringList keys{QStringLiteral("UserMidiMessageList"), QmdVelkaKeys::DoInstrumentChange,
                                  QmdVelkaKeys::Instrument,              QmdVelkaKeys::PitchList,
                                  QmdVelkaKeys::VelocityList,            QmdVelkaKeys::DurationList,
                                  QmdVelkaKeys::DontPlayNote,            QmdVelkaKeys::ArcUsageList,
                                  QmdVelkaKeys::SignallingMethod};
    return keys;
}

// What edge() reads of an element, in this order.
enum EdgeValue { IsWormhole, FromNode, ToNode, Path };
const QStringList &edgeKeys()
{
    static const QStringList keys{QmdVelkaKeys::IsWormhole, QmdVelkaKeys::FromNode, QmdVelkaKeys::ToNode,
                                  QmdVelkaKeys::Path};
    return keys;
}
} // namespace

const QStringList &NetworkReader::stateKeys()
{
    static const QStringList keys{QmdVelkaKeys::CurrentPitchId,      QmdVelkaKeys::CurrentVelocityId,
                                  QmdVelkaKeys::CurrentDurationId,   QmdVelkaKeys::CurrentUserMidiMessageId,
                                  QmdVelkaKeys::HitCount,            QmdVelkaKeys::CurrentEdgeUsageId,
                                  QmdVelkaKeys::CurrentEdgeUsageUses};
    return keys;
}

const QStringList &NetworkReader::counterKeys()
{
    static const QStringList keys = stateKeys().mid(0, EdgeUsageId);
    return keys;
}

const QStringList &NetworkReader::scaleKeys()
{
    static const QStringList keys{QmdVelkaKeys::CurrentScaleId};
    return keys;
}

NetworkReader::NetworkReader(const QmdVelkaController *controller, NetworkCache *cache)
    : m_controller(controller)
    , m_cache(cache)
{
}

NetworkCache::Node NetworkReader::node(QmdItemId id) const
{
    NetworkCache::Node node;
    if (m_cache && m_cache->find(id, &node))
        return node;
    node = readNode(id);
    if (m_cache)
        m_cache->keep(id, node);
    return node;
}

NetworkCache::Edge NetworkReader::edge(QmdItemId id) const
{
    NetworkCache::Edge edge;
    if (m_cache && m_cache->find(id, &edge))
        return edge;
    edge = readEdge(id);
    if (m_cache)
        m_cache->keep(id, edge);
    return edge;
}

QList<QVariant> NetworkReader::nodeState(QmdItemId id, const NetworkCache::Node &node) const
{
    QList<QVariant> values;
    if (!node.hasState || (m_cache && m_cache->findState(id, &values)))
        return values;
    values = m_controller->values(stateKeys(), node.state);
    if (m_cache)
        m_cache->keepState(id, values);
    return values;
}

quint32 NetworkReader::edgeScale(QmdItemId id, const NetworkCache::Edge &edge) const
{
    quint32 scale = 0;
    if (!edge.hasState || (m_cache && m_cache->findScale(id, &scale)))
        return scale;
    scale = m_controller->data(QmdVelkaKeys::CurrentScaleId, edge.state).toUInt();
    if (m_cache)
        m_cache->keepScale(id, scale);
    return scale;
}

NetworkCache::Node NetworkReader::readNode(QmdItemId id) const
{
    QmdReadLocker documentLock(m_controller);
    NetworkCache::Node node;
    const QmdIndex entry = element(id);
    node.found = entry.isValid();
    if (!node.found)
        return node;
    node.values = m_controller->values(nodeKeys(), entry);
    node.state = state(id);
    node.hasState = node.state.isValid();
    return node;
}

NetworkCache::Edge NetworkReader::readEdge(QmdItemId id) const
{
    QmdReadLocker documentLock(m_controller);
    NetworkCache::Edge edge;
    const QmdIndex entry = element(id);
    if (!entry.isValid())
        return edge;
    const QList<QVariant> values = m_controller->values(edgeKeys(), entry);
    edge.toNode = values.at(ToNode).toUInt();
    edge.state = state(id);
    edge.hasState = edge.state.isValid();
    if (values.at(IsWormhole).toBool()) {
        edge.found = true;
        return edge;
    }
    const QmdIndex from = element(values.at(FromNode).toUInt());
    const QmdIndex to = element(edge.toNode);
    if (!from.isValid() || !to.isValid())
        return edge;
    bool ok = false;
    const qint64 length =
        edgePathLength(m_controller->data(QmdVelkaKeys::TickPos, from).value<QmdVelka::TickPos>(),
                       m_controller->data(QmdVelkaKeys::TickPos, to).value<QmdVelka::TickPos>(),
                       values.at(Path).toInt(), &ok);
    edge.found = ok;
    edge.ticks = ok && length > 0 ? quint64(length) : 0;
    return edge;
}

void NetworkReader::findContainers() const
{
    if (m_containersFound)
        return;
    m_elements = m_controller->index(QmdVelkaKeys::Elements);
    m_states = m_controller->elementStatesIndex();
    m_containersFound = true;
}

QmdIndex NetworkReader::element(QmdItemId id) const
{
    findContainers();
    return id != 0 && m_elements.isValid() ? m_controller->index(id, m_elements) : QmdIndex();
}

QmdIndex NetworkReader::state(QmdItemId id) const
{
    findContainers();
    return id != 0 && m_states.isValid() ? m_controller->index(id, m_states) : QmdIndex();
}
