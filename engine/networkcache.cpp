#include "networkcache.h"

void NetworkCache::follow(quint64 stamp)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (stamp != 0 && stamp == m_stamp)
        return;
    m_nodes.clear();
    m_edges.clear();
    m_nodeStates.clear();
    m_edgeScales.clear();
    m_stamp = stamp;
}

template <typename Value>
bool NetworkCache::find(const std::unordered_map<QmdItemId, Value> &kept, QmdItemId id, Value *value)
{
    const auto it = kept.find(id);
    if (it == kept.end())
        return false;
    *value = it->second;
    return true;
}

template <typename Value>
void NetworkCache::keep(std::unordered_map<QmdItemId, Value> &kept, QmdItemId id, const Value &value)
{
    if (m_stamp != 0)
        kept.insert_or_assign(id, value);
}

bool NetworkCache::find(QmdItemId id, Node *node)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return find(m_nodes, id, node);
}

bool NetworkCache::find(QmdItemId id, Edge *edge)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return find(m_edges, id, edge);
}

bool NetworkCache::findState(QmdItemId node, QList<QVariant> *values)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto written = m_stateWrites.find(node);
    if (written != m_stateWrites.end()) {
        *values = written->second.values;
        return true;
    }
    return find(m_nodeStates, node, values);
}

bool NetworkCache::findScale(QmdItemId edge, quint32 *scale)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto written = m_scaleWrites.find(edge);
    if (written != m_scaleWrites.end()) {
        *scale = written->second.scale;
        return true;
    }
    return find(m_edgeScales, edge, scale);
}

void NetworkCache::keep(QmdItemId id, const Node &node)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    keep(m_nodes, id, node);
}

void NetworkCache::keep(QmdItemId id, const Edge &edge)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    keep(m_edges, id, edge);
}

void NetworkCache::keepState(QmdItemId node, const QList<QVariant> &values)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    keep(m_nodeStates, node, values);
}

void NetworkCache::keepScale(QmdItemId edge, quint32 scale)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    keep(m_edgeScales, edge, scale);
}

void NetworkCache::writeState(QmdItemId node, const QmdIndex &entry, const QList<QVariant> &values, bool edgeUsage)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    StateWrite &write = m_stateWrites[node];
    write.entry = entry;
    write.values = values;
    write.edgeUsage = write.edgeUsage || edgeUsage;
    keep(m_nodeStates, node, values);
}

void NetworkCache::writeScale(QmdItemId edge, const QmdIndex &entry, quint32 scale)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_scaleWrites.insert_or_assign(edge, ScaleWrite{entry, scale});
    keep(m_edgeScales, edge, scale);
}

void NetworkCache::takeWrites(std::vector<StateWrite> *states, std::vector<ScaleWrite> *scales)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    states->clear();
    scales->clear();
    states->reserve(m_stateWrites.size());
    for (auto &write : m_stateWrites)
        states->push_back(std::move(write.second));
    scales->reserve(m_scaleWrites.size());
    for (const auto &write : m_scaleWrites)
        scales->push_back(write.second);
    m_stateWrites.clear();
    m_scaleWrites.clear();
}
