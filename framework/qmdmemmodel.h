#ifndef QMDMEMMODEL_H
#define QMDMEMMODEL_H

#include "qmdmodel.h"
#include "qmdtree.h"

#include <QHash>
#include <QSet>
#include <QVariant>

#include <memory>
#include <vector>

// The in-memory document model. Every change is made by a command that is
// recorded in the undo history (unless its request carries
// Qmd::NoUndoHistory); all commands of one request form one undo step.
//
// A container is held in the tree as a QVariant of the registered type
// "QmdMemModel::SpecialItemStar"; reading a container yields an invalid
// QVariant, containers are reached only through indexes. A container removed
// or replaced stays with the command that displaced it, so that undo puts the
// very same container back; it is released when that command is destroyed.
// Containers are made only by setTypes and addTypes: container values handed
// to setData or addData are skipped.
//
// The clean state is the step that was newest when the document was marked
// clean. Once that step (or, for a document marked clean with an empty
// history, the state before the oldest step) has been dropped from the
// history, or the step has grown by a later change of the same request, the
// document is not clean again until it is marked clean anew.
class QmdMemModel : public QmdModel
{
    Q_OBJECT

public:
    struct SpecialItem;
    struct IntDictSpecialItem;
    struct StrDictSpecialItem;
    typedef SpecialItem *SpecialItemStar;

    class QmdCommand;
    class QmdSetRootCommand;
    template <typename Key, typename Item> class QmdSetCommand;
    template <typename Key, typename Item> class QmdRemoveCommand;

    explicit QmdMemModel(QObject *parent = nullptr);
    QmdMemModel(Qmd::ContainerType rootType, QObject *parent = nullptr);
    ~QmdMemModel() override;

    void setUndoRedoLimit(int limit) override;
    bool isAtCleanState() const override;
    void markAsCleanState() override;
    int undoRedoCount() const override;
    bool canRedo() const override;
    bool canUndo() const override;
    QString redoText() const override;
    QString undoText() const override;
    void clearUndoRedoHistory() override;

    bool isValid(const QmdIndex &index) const override;
    bool exists(const QmdIndex &index) const override;
    QmdIndex index(const QString &key, const QmdIndex &parent) const override;
    QmdIndex index(QmdItemId id, const QmdIndex &parent) const override;
    QmdIndex parent(const QmdIndex &index) const override;
    bool hasChildren(const QmdIndex &index) const override;
    QmdIndexList childIndexes(const QmdIndex &index) const override;
    QVariant data(const QmdIndex &index) const override;
    QVariant data(const QString &key, const QmdIndex &parent) const override;
    QList<QVariant> data(const QString &key, const QmdItemIdList &ids, const QmdIndex &parent) const override;
    QList<QVariant> values(const QStringList &keys, const QmdIndex &parent) const override;
    quint64 changeStamp() const override { return m_changeStamp; }
    Qmd::ContainerType containerType(const QmdIndex &index) const override;
    QmdItemIdList ids(const QmdIndex &parent) const override;
    QStringList keys(const QmdIndex &parent) const override;

    void redo() override;
    void undo() override;

    // New ids are returned in the order of the given values.
    QmdItemIdList addData(const QList<QVariant> &data, const QmdIndex &parent) override;
    void setData(const QHash<QmdIndex, QVariant> &pairs) override;
    void setData(const QHash<QString, QVariant> &pairs, const QmdIndex &parent) override;
    void setData(const QHash<QmdItemId, QVariant> &pairs, const QmdIndex &parent) override;
    QmdItemIdList addTypes(const QList<Qmd::ContainerType> &types, const QmdIndex &parent) override;
    void setTypes(const QHash<QmdIndex, Qmd::ContainerType> &pairs) override;
    void setTypes(const QHash<QString, Qmd::ContainerType> &pairs, const QmdIndex &parent) override;
    void setTypes(const QHash<QmdItemId, Qmd::ContainerType> &pairs, const QmdIndex &parent) override;
    void remove(const QmdIndexList &indexes) override;
    void remove(const QStringList &keys, const QmdIndex &parent) override;
    void remove(const QmdItemIdList &idList, const QmdIndex &parent) override;
    void clear(const QmdIndex &parent) override;
    // Take the trees' containers over as they are: one change, no copy of
    // any value.
    void setTree(const QmdIndex &target, std::unique_ptr<QmdTree> tree) override;
    void setTrees(const QHash<QmdItemId, QmdTree *> &trees, const QmdIndex &parent) override;
    QmdItemIdList newItemIds(int count, const QmdIndex &parent) override;
    bool setValuesQuietly(const QStringList &keys, const QList<QVariant> &values, const QmdIndex &parent) override;

    // A free id of the container: the one after its last stored id, skipping
    // ids in use and wrapping once to 1; 0 (with a debug message) when none
    // is left.
    virtual QmdItemId registerNewItemId(IntDictSpecialItem *item);

    // The largest id registerNewItemId hands out, 4294967295 by default.
    // Lowering it lets a test reach id exhaustion without four billion entries.
    QmdItemId itemIdLimit() const { return m_itemIdLimit; }
    void setItemIdLimit(QmdItemId limit);

protected:
    QVariant createContainer(Qmd::ContainerType type, const QmdIndex &ownIndex);
    void pushCommand(std::unique_ptr<QmdCommand> command);

private:
    struct UndoState
    {
        bool atCleanState = false;
        bool canRedo = false;
        bool canUndo = false;
        QString redoText;
        QString undoText;
    };

    // A container as a command remembers it: the item and its serial number,
    // so that a released item (or a new one at the same address) is never
    // taken for it.
    struct ContainerRef
    {
        SpecialItem *item = nullptr;
        quint64 serial = 0;
    };

    enum class Target { Nothing, Root, Entry };

    Target target(const QmdIndex &index) const;
    const QVariant *valueAt(const QmdIndex &index) const;
    SpecialItem *containerAt(const QmdIndex &index, Qmd::ContainerType type) const;
    static SpecialItem *itemOf(const QVariant &value);
    // The plain value under key in the string-keyed container item (null for none).
    static QVariant valueIn(const SpecialItem *item, const QString &key);
    static bool isContainer(const QVariant &value);
    QmdIndex entryIndex(QmdItemId id, SpecialItem *item) const;
    QmdIndex entryIndex(const QString &key, SpecialItem *item) const;
    ContainerRef refOf(SpecialItem *item) const;
    SpecialItem *resolve(const ContainerRef &ref) const;

    template <typename Key, typename Item>
    void recordSet(Item *item, const QmdIndex &parent, const QHash<Key, QVariant> &values);
    template <typename Key, typename Item>
    void recordRemove(Item *item, const QmdIndex &parent, const QList<Key> &keys);
    template <typename Key, typename Item>
    void recordTypes(Item *item, const QmdIndex &parent, const QHash<Key, Qmd::ContainerType> &types);
    template <typename Key>
    static QHash<Key, QVariant> withoutContainers(const QHash<Key, QVariant> &values);
    void recordSetRoot(const QVariant &value);
    // registerNewItemId, also skipping ids handed out for values not stored yet.
    QmdItemId nextFreeId(IntDictSpecialItem *item, const QmdItemIdSet &pending);

    // Used by the commands: store values in a container (what they overwrite
    // or remove goes to displaced when given), remove keys from it (the
    // removed values go to removed when given), swap the root; each emits
    // the change signals with parent as the container's index. Both serve
    // either kind of container: QmdItemId keys in an IntDict, QString keys in
    // a StrDict (the keys alone name the kind; a null removed pointer is fine).
    template <typename Key, typename Item>
    void storeEntries(Item *item, const QmdIndex &parent, const QHash<Key, QVariant> &values,
                      QList<QVariant> *displaced);
    template <typename Key, typename Item>
    QList<Key> removeEntries(Item *item, const QmdIndex &parent, const QList<Key> &keys,
                             QHash<typename QList<Key>::value_type, QVariant> *removed);
    void swapRoot(QVariant &value);
    // A container of the model made of the tree's entries (moved, not copied).
    QVariant adoptTree(QmdTree &tree, const QmdIndex &ownIndex);
    template <typename Key> void adoptChildren(QMap<Key, QVariant> &items, SpecialItem *item);
    // Releases the container held by value, with every container inside it.
    void release(const QVariant &value);

    // Returns freed memory to the system once many containers were released
    // since containersBefore were live.
    void returnFreedMemory(qsizetype containersBefore);
    void takeSnapshot();
    void emitUndoStateChanges();
    UndoState undoState() const;
    using Steps = std::vector<std::unique_ptr<QmdCommand>>;
    void dropOldestUndoEntry();
    void dropOldestRedoEntry();
    void clearRedoList();
    bool overLimit() const;
    void moveStep(Steps &from, Steps &to, void (QmdCommand::*apply)(), void (QmdMemModel::*dropOldestOfTo)());
    // Takes m_changeStamp anew from one counter of all models; every store,
    // removal and root swap does.
    void stampChange();

    QVariant m_root;
    Steps m_redoList;
    Steps m_undoList;
    const QmdCommand *m_cleanMarker = nullptr;
    bool m_cleanUnreachable = false;
    quint64 m_changeStamp = 0;
    QHash<const SpecialItem *, quint64> m_live; // live container -> serial
    quint64 m_lastSerial = 0;
    UndoState m_snapshot;
    QmdItemId m_itemIdLimit = 4294967295u;
};

// A container of the model. Its own index is the index of the entry that
// holds it (the default index for a root container).
struct QmdMemModel::SpecialItem
{
    SpecialItem(Qmd::ContainerType type, const QmdIndex &index, QmdMemModel *model)
        : type(type), index(index), model(model) {}
    virtual ~SpecialItem() = default;

    Qmd::ContainerType type;
    QmdIndex index;
    QmdMemModel *model;
};

struct QmdMemModel::IntDictSpecialItem : QmdMemModel::SpecialItem
{
    static constexpr Qmd::ContainerType Kind = Qmd::IntDict;
    IntDictSpecialItem(const QmdIndex &index, QmdMemModel *model)
        : SpecialItem(Kind, index, model) {}

    QmdIdEntries items;
    QmdItemId lastId = 0;
};

struct QmdMemModel::StrDictSpecialItem : QmdMemModel::SpecialItem
{
    static constexpr Qmd::ContainerType Kind = Qmd::StrDict;
    StrDictSpecialItem(const QmdIndex &index, QmdMemModel *model)
        : SpecialItem(Kind, index, model) {}

    QmdKeyEntries items;
};

Q_DECLARE_METATYPE(QmdMemModel::SpecialItemStar)

#endif // QMDMEMMODEL_H
