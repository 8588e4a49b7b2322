#ifndef QMDTREE_H
#define QMDTREE_H

#include "qmdtypes.h"

#include <QMap>
#include <QMetaType>
#include <QString>
#include <QVariant>

// A document tree held away from any model: what a reader builds and checks
// before it hands the whole tree to a model in one change
// (QmdModel::setRootTree), so that nothing is announced entry by entry and a
// file that fails leaves the model as it was.
//
// A tree is a container of one kind: an IntDict keeps its children in ids(),
// a StrDict in keys(). A plain child is its value; a child container is a
// tree of its own, held as a QVariant made by holding() and owned by its
// parent.
// The entries of one container, in key order. A map rather than a hash: most
// containers of a document (an element, its arcs, its state) hold a handful of
// entries, and a map's memory grows by the entry where a hash sets aside room
// for dozens at once.
typedef QMap<QmdItemId, QVariant> QmdIdEntries;
typedef QMap<QString, QVariant> QmdKeyEntries;

class QmdTree
{
public:
    explicit QmdTree(Qmd::ContainerType type);
    ~QmdTree();
    QmdTree(const QmdTree &) = delete;
    QmdTree &operator=(const QmdTree &) = delete;

    Qmd::ContainerType type() const { return m_type; }
    QmdIdEntries &ids() { return m_ids; }
    QmdKeyEntries &keys() { return m_keys; }
    const QmdIdEntries &ids() const { return m_ids; }
    const QmdKeyEntries &keys() const { return m_keys; }

    // A child value that stands for the tree; the parent that stores it
    // owns the tree from then on.
    static QVariant holding(QmdTree *child);
    // The tree a child value stands for; null for a plain value.
    static QmdTree *treeOf(const QVariant &value);
    // Deletes the tree a child value stands for (a plain value is left alone).
    static void release(const QVariant &value);

private:
    Qmd::ContainerType m_type;
    QmdIdEntries m_ids;
    QmdKeyEntries m_keys;
};

Q_DECLARE_METATYPE(QmdTree *)

#endif // QMDTREE_H
