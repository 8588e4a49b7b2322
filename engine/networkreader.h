#ifndef NETWORKREADER_H
#define NETWORKREADER_H

#include "qmdindex.h"
#include "qmdtypes.h"

#include <QList>
#include <QStringList>
#include <QVariant>

class QmdVelkaController;

// Reads of the network for one voice step, made while the caller holds the
// document's read lock: the elements container and the element states are
// found once, and every element's values are read in one look at its entry.
class NetworkReader
{
public:
    explicit NetworkReader(const QmdVelkaController *controller);

    // The entry of an element and of its run-time state; invalid for id 0 or
    // an element that is not there.
    QmdIndex element(QmdItemId id) const;
    QmdIndex state(QmdItemId id) const;
    // The values under keys in entry, in the order of keys.
    QList<QVariant> values(const QStringList &keys, const QmdIndex &entry) const;
    QVariant value(const QString &key, const QmdIndex &entry) const;

    // Ticks needed to travel an edge: 0 for a wormhole, else the length of
    // its route between its two nodes. *found is false for what is no edge
    // with two nodes.
    quint64 travelTime(QmdItemId edge, bool *found) const;

private:
    const QmdVelkaController *m_controller;
    QmdIndex m_elements;
    QmdIndex m_states;
};

#endif // NETWORKREADER_H
