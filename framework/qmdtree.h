#ifndef QMDTREE_H
#define QMDTREE_H

#include "qmdtypes.h"

#include <QHash>
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
class QmdTree
{
public:
    explicit QmdTree(Qmd::ContainerType type);
    ~QmdTree();
    QmdTree(const QmdTree &) = delete;
    QmdTree &operator=(const QmdTree &) = delete;

    Qmd::ContainerType type() const { return m_type; }
    QHash<QmdItemId, QVariant> &ids() { return m_ids; }
    QHash<QString, QVariant> &keys() { return m_keys; }
    const QHash<QmdItemId, QVariant> &ids() const { return m_ids; }
    const QHash<QString, QVariant> &keys() const { return m_keys; }

    // A child value that stands for the tree; the parent that stores it
    // owns the tree from then on.
    static QVariant holding(QmdTree *child);
    // The tree a child value stands for; null for a plain value.
    static QmdTree *treeOf(const QVariant &value);
    // Deletes the tree a child value stands for (a plain value is left alone).
    static void release(const QVariant &value);

private:
    Qmd::ContainerType m_type;
    QHash<QmdItemId, QVariant> m_ids;
    QHash<QString, QVariant> m_keys;
};

Q_DECLARE_METATYPE(QmdTree *)

#endif // QMDTREE_H
