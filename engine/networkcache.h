#ifndef NETWORKCACHE_H
#define NETWORKCACHE_H

#include "qmdindex.h"
#include "qmdtypes.h"

#include <QList>
#include <QVariant>

#include <mutex>
#include <unordered_map>
#include <vector>

// What the voice steps of one document read of its nodes and edges, and what
// they write back, so that a step needs no lock of the document: a step at a
// node looked at before reads neither the node's lists nor its edges' entries
// and lengths again, nor the states the steps themselves wrote.
//
// The schedule follows the document's change stamp at the start of every
// round of steps: after any change of the document (but the steps' own
// write-backs) everything kept is forgotten and read anew. The states the
// steps write wait here until the round ends, when the schedule stores them
// in the document in one hold of its lock; until then a step reads them here.
//
// Its mutex is a short lock taken last and alone: never held while the
// document is read or written.
class NetworkCache
{
public:
    // A node: whether it is there, its values under the keys a step reads
    // (NetworkReader::NodeValue) and its state entry (whether it was there is
    // noted under the document lock: an index is not checked without it).
    struct Node
    {
        bool found = false;
        QList<QVariant> values;
        QmdIndex state;
        bool hasState = false;
    };
    // An element a voice travels: the node it leads to, its travel time
    // (found false for what is no edge with two nodes) and its state entry.
    struct Edge
    {
        QmdItemId toNode = 0;
        quint64 ticks = 0;
        bool found = false;
        QmdIndex state;
        bool hasState = false;
    };
    // A node's state values written by a step (NetworkReader::StateValue),
    // all of them when the position in the edge-usage list moved, else the
    // counters only.
    struct StateWrite
    {
        QmdIndex entry;
        QList<QVariant> values;
        bool edgeUsage = false;
    };
    // The count of voices sent along an edge, written by a step.
    struct ScaleWrite
    {
        QmdIndex entry;
        quint32 scale = 0;
    };

    // Forgets what was read under another stamp; a stamp of 0 keeps nothing
    // read (see QmdModel::changeStamp). Called with the document's read lock
    // held, between rounds.
    void follow(quint64 stamp);

    // What is kept of the id; false when nothing is.
    bool find(QmdItemId id, Node *node);
    bool find(QmdItemId id, Edge *edge);
    // A node's state values, and the count of an edge, as last written or
    // kept.
    bool findState(QmdItemId node, QList<QVariant> *values);
    bool findScale(QmdItemId edge, quint32 *scale);
    void keep(QmdItemId id, const Node &node);
    void keep(QmdItemId id, const Edge &edge);
    void keepState(QmdItemId node, const QList<QVariant> &values);
    void keepScale(QmdItemId edge, quint32 scale);

    // A step's write-backs, waiting for the end of the round.
    void writeState(QmdItemId node, const QmdIndex &entry, const QList<QVariant> &values, bool edgeUsage);
    void writeScale(QmdItemId edge, const QmdIndex &entry, quint32 scale);
    // Takes the writes waiting, one for each entry written.
    void takeWrites(std::vector<StateWrite> *states, std::vector<ScaleWrite> *scales);

private:
    template <typename Value>
    bool find(const std::unordered_map<QmdItemId, Value> &kept, QmdItemId id, Value *value);
    template <typename Value>
    void keep(std::unordered_map<QmdItemId, Value> &kept, QmdItemId id, const Value &value);

    std::mutex m_mutex;
    quint64 m_stamp = 0;
    std::unordered_map<QmdItemId, Node> m_nodes;
    std::unordered_map<QmdItemId, Edge> m_edges;
    std::unordered_map<QmdItemId, QList<QVariant>> m_nodeStates;
    std::unordered_map<QmdItemId, quint32> m_edgeScales;
    std::unordered_map<QmdItemId, StateWrite> m_stateWrites;
    std::unordered_map<QmdItemId, ScaleWrite> m_scaleWrites;
};

#endif // NETWORKCACHE_H
