#ifndef NETWORKREADER_H
#define NETWORKREADER_H

#include "networkcache.h"
#include "qmdindex.h"
#include "qmdtypes.h"

#include <QList>
#include <QStringList>
#include <QVariant>

class QmdVelkaController;

// Reads of the network for a voice step. Each read of the document takes its
// read lock here, for the node or the edge with all it needs of it: the
// elements container and the element states are found once, and every
// element's values are read in one look at its entry. With a cache
// (NetworkCache), what was read or written before is taken from there.
class NetworkReader
{
public:
    // What node() reads of a node, in this order.
    enum NodeValue {
        MessageList,
        DoInstrumentChange,
        NodeInstrument,
        PitchList,
        VelocityList,
        DurationList,
        DontPlayNote,
        ArcUsageList,
        NodeSignallingMethod
    };
    // What a node's state holds, in this order: the list cursors and the hit
    // count, which every step advances, then the position in the edge-usage
    // list, which a sequential choice advances.
    enum StateValue { PitchCursor, VelocityCursor, DurationCursor, MessageCursor, HitCount, EdgeUsageId, EdgeUsageUses };
    // The keys of all state values, of the counters alone (up to
    // EdgeUsageId), and of an edge's count.
    static const QStringList &stateKeys();
    static const QStringList &counterKeys();
    static const QStringList &scaleKeys();

    explicit NetworkReader(const QmdVelkaController *controller, NetworkCache *cache = nullptr);

    // The node: whether it is there, its values (NodeValue) and its state
    // entry.
    NetworkCache::Node node(QmdItemId id) const;
    // An element a voice travels (an edge, or a voice group towards its start
    // node): the node it leads to and, for an edge, its travel time (0 for a
    // wormhole, else the length of its route between its two nodes; found is
    // false for what is no edge with two nodes) and its state entry.
    NetworkCache::Edge edge(QmdItemId id) const;
    // The state values (StateValue) of a node as node() gave it; none for a
    // node without a state.
    QList<QVariant> nodeState(QmdItemId id, const NetworkCache::Node &node) const;
    // How many voices were sent along an edge as edge() gave it.
    quint32 edgeScale(QmdItemId id, const NetworkCache::Edge &edge) const;

private:
    NetworkCache::Node readNode(QmdItemId id) const;
    NetworkCache::Edge readEdge(QmdItemId id) const;
    // Finds the elements container and the element states, once.
    void findContainers() const;
    QmdIndex element(QmdItemId id) const;
    QmdIndex state(QmdItemId id) const;

    const QmdVelkaController *m_controller;
    NetworkCache *m_cache;
    mutable bool m_containersFound = false;
    mutable QmdIndex m_elements;
    mutable QmdIndex m_states;
};

#endif // NETWORKREADER_H
