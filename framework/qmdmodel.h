#ifndef QMDMODEL_H
#define QMDMODEL_H

#include "qmdindex.h"
#include "qmdtypes.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

class QmdTree;

// The abstract document model: a tree of id-keyed and string-keyed containers
// of variant values. A controller brackets every change in a request
// (beginRequest, one change operation, endRequest); every change signal
// carries the id of the request running when it is emitted.
//
// Listings (ids, keys, child indexes) are sorted: ids ascending numerically,
// keys ascending.
class QmdModel : public QObject
{
    Q_OBJECT

public:
    explicit QmdModel(QObject *parent = nullptr);
    ~QmdModel() override;

    // Request bookkeeping.
    virtual void setRequestStatus(int status);
    virtual void beginRequest(QmdRequestId rid, Qmd::RequestFlags flags, const QString &text);
    virtual void endRequest();

    // Undo history.
    virtual int undoRedoLimit() const;
    virtual void setUndoRedoLimit(int limit);
    virtual bool isAtCleanState() const;
    virtual void markAsCleanState();
    virtual int undoRedoCount() const;
    virtual bool canRedo() const;
    virtual bool canUndo() const;
    virtual QString redoText() const;
    virtual QString undoText() const;
    // Forgets every undo and redo step (after a document has been replaced
    // as a whole); the document is not clean until it is marked clean again.
    virtual void clearUndoRedoHistory();

    // Reads. An index without a model names the root.
    virtual bool isValid(const QmdIndex &index) const = 0;
    // Whether the index names something present now: for the root reference
    // a root value, for an entry a live container that holds it.
    virtual bool exists(const QmdIndex &index) const = 0;
    virtual QmdIndex index(const QString &key, const QmdIndex &parent) const = 0;
    virtual QmdIndex index(QmdItemId id, const QmdIndex &parent) const = 0;
    virtual QmdIndex parent(const QmdIndex &index) const = 0;
    virtual bool hasChildren(const QmdIndex &index) const = 0;
    virtual QmdIndexList childIndexes(const QmdIndex &index) const = 0;
    virtual QVariant data(const QmdIndex &index) const = 0;
    // The value under key in the string-keyed container parent, as data()
    // gives it for index(key, parent); invalid when there is no such entry.
    // A model may find it in one step.
    virtual QVariant data(const QString &key, const QmdIndex &parent) const;
    // The value under key in each of the containers ids of the id-keyed
    // container parent, in the order of ids, as data(key, index(id, parent))
    // gives it (invalid where there is no such entry); a model may find them
    // with one look at parent.
    virtual QList<QVariant> data(const QString &key, const QmdItemIdList &ids, const QmdIndex &parent) const;
    // The values under keys in the string-keyed container parent, in the
    // order of keys, as data(key, parent) gives each; a model may find the
    // container once for all of them.
    virtual QList<QVariant> values(const QStringList &keys, const QmdIndex &parent) const;
    // A number that grows with every change of the document but those of
    // setValuesQuietly, drawn from one counter for all models, so no two
    // states of any two models share one: what a reader kept from earlier
    // reads (indexes, values) still holds while it is the same. 0 for a
    // model that keeps none; nothing may be kept from its reads.
    virtual quint64 changeStamp() const;
    virtual Qmd::ContainerType containerType(const QmdIndex &index) const = 0;
    virtual QmdItemIdList ids(const QmdIndex &parent) const = 0;
    virtual QStringList keys(const QmdIndex &parent) const = 0;

    virtual void redo();
    virtual void undo();

    // Changes.
    virtual QmdItemIdList addData(const QList<QVariant> &data, const QmdIndex &parent) = 0;
    virtual void setData(const QHash<QmdIndex, QVariant> &pairs) = 0;
    virtual void setData(const QHash<QString, QVariant> &pairs, const QmdIndex &parent) = 0;
    virtual void setData(const QHash<QmdItemId, QVariant> &pairs, const QmdIndex &parent) = 0;
    virtual QmdItemIdList addTypes(const QList<Qmd::ContainerType> &types, const QmdIndex &parent) = 0;
    virtual void setTypes(const QHash<QmdIndex, Qmd::ContainerType> &pairs) = 0;
    virtual void setTypes(const QHash<QString, Qmd::ContainerType> &pairs, const QmdIndex &parent) = 0;
    virtual void setTypes(const QHash<QmdItemId, Qmd::ContainerType> &pairs, const QmdIndex &parent) = 0;
    virtual void remove(const QmdIndexList &indexes) = 0;
    virtual void remove(const QStringList &keys, const QmdIndex &parent) = 0;
    virtual void remove(const QmdItemIdList &idList, const QmdIndex &parent) = 0;
    virtual void clear(const QmdIndex &parent) = 0;
    // Bulk changes: whole trees built away from the model (QmdTree) go in
    // as one change each, announced once, and the model takes them over.
    // The versions here copy them through the change operations above, entry
    // by entry; a model may take the trees over whole.
    //
    // Replaces the whole document by the tree, as a root value set by
    // setData is (rootChanged).
    void setRootTree(std::unique_ptr<QmdTree> tree);
    // Makes the entry at target (the root for the default index) a container
    // holding the tree.
    virtual void setTree(const QmdIndex &target, std::unique_ptr<QmdTree> tree);
    // Stores each tree as a container under its id in the id-keyed container
    // parent, as one change (one itemsChanged). Takes the trees over, also
    // those it cannot store.
    virtual void setTrees(const QHash<QmdItemId, QmdTree *> &trees, const QmdIndex &parent);
    // count ids that no entry of the id-keyed container parent uses, in the
    // order addTypes would hand them out, for setTrees; fewer when the
    // container has no more (or is no id-keyed container).
    virtual QmdItemIdList newItemIds(int count, const QmdIndex &parent);

    // Stores values[i] under keys[i] in the string-keyed container parent at
    // once, inside no request and outside the undo history, and announces
    // nothing: the caller announces the change. Keys holding a container and
    // container values are skipped. False when parent is no such container.
    virtual bool setValuesQuietly(const QStringList &keys, const QList<QVariant> &values,
                                  const QmdIndex &parent) = 0;

    // The running request; 0, no flags, empty text and status 0 outside one.
    QmdRequestId requestId() const { return m_requestId; }
    Qmd::RequestFlags requestFlags() const { return m_requestFlags; }
    QString requestText() const { return m_requestText; }
    int requestStatus() const { return m_requestStatus; }

signals:
    void atCleanStateChanged(bool atCleanState, QmdRequestId rid);
    void canRedoChanged(bool canRedo, QmdRequestId rid);
    void canUndoChanged(bool canUndo, QmdRequestId rid);
    void redoTextChanged(const QString &redoText, QmdRequestId rid);
    void undoTextChanged(const QString &undoText, QmdRequestId rid);
    void itemsChanged(const QmdIndex &parent, const QmdItemIdList &idList, QmdRequestId rid);
    void itemsChanged(const QmdIndex &parent, const QStringList &keys, QmdRequestId rid);
    void itemsRemoved(const QmdIndex &parent, const QmdItemIdList &idList, QmdRequestId rid);
    void itemsRemoved(const QmdIndex &parent, const QStringList &keys, QmdRequestId rid);
    void rootChanged(QmdRequestId rid);
    // One emission reaches receivers of the three- and the two-argument form.
    void requestFinished(QmdRequestId rid, Qmd::RequestFlags flags, int status = 0);

protected:
    QmdIndex createIndex(QmdItemId id, void *internalPointer) const;
    QmdIndex createIndex(QmdItemId id, quint64 internalId) const;
    QmdIndex createIndex(const QString &key, void *internalPointer) const;
    QmdIndex createIndex(const QString &key, quint64 internalId) const;
    QmdIndex createIndex(QmdItemId id, void *internalPointer, quint64 internalId) const;
    QmdIndex createIndex(const QString &key, void *internalPointer, quint64 internalId) const;

private:
    int m_undoRedoLimit = 0;
    QmdRequestId m_requestId = 0;
    Qmd::RequestFlags m_requestFlags;
    QString m_requestText;
    int m_requestStatus = 0;
};

#endif // QMDMODEL_H
