#include "qmdmemmodel.h"

#include "qmdcommand.h"

#include <QMap>
#include <QtDebug>

#include <algorithm>
#include <atomic>
#include <type_traits>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// Containers released at once from which freed memory is handed back.
const qsizetype releasedContainersToTrim = 1000;

void trimHeap()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

// Large blocks (a file's bytes, the lists of a large container's keys) are
// mapped apart from the heap and unmapped when freed. The allocator would
// otherwise raise its threshold for them to the size of the largest block
// freed so far, place the next ones in the heap among a document's small
// pieces, and a heap grown around them cannot shrink again: each load of a
// document would leave the process larger.
void keepLargeBlocksOutOfHeap()
{
#ifdef __GLIBC__
    static const bool set = mallopt(M_MMAP_THRESHOLD, 128 * 1024) != 0;
    Q_UNUSED(set)
#endif
}

} // namespace

namespace {

template <typename Key, typename Value>
QList<Key> sortedKeys(const QHash<Key, Value> &hash)
{
    QList<Key> keys = hash.keys();
    std::sort(keys.begin(), keys.end());
    return keys;
}

template <typename Key, typename Value>
QList<Key> sortedKeys(const QMap<Key, Value> &map)
{
    return map.keys();
}

} // namespace

QmdMemModel::QmdMemModel(QObject *parent)
    : QmdModel(parent)
{
    stampChange();
    keepLargeBlocksOutOfHeap();
    qRegisterMetaType<SpecialItemStar>("QmdMemModel::SpecialItemStar");
}

QmdMemModel::QmdMemModel(Qmd::ContainerType rootType, QObject *parent)
    : QmdMemModel(parent)
{
    m_root = createContainer(rootType, QmdIndex());
}

QmdMemModel::~QmdMemModel()
{
    for (auto &command : m_redoList)
        command.reset();
    m_redoList.clear();
    for (auto &command : m_undoList)
        command.reset();
    m_undoList.clear();
    release(m_root);
    m_root = QVariant();
}

// ---------------------------------------------------------------------------
// Lookups

QmdMemModel::SpecialItem *QmdMemModel::itemOf(const QVariant &value)
{
    if (value.metaType() != QMetaType::fromType<SpecialItemStar>())
        return nullptr;
    return value.value<SpecialItemStar>();
}

bool QmdMemModel::isContainer(const QVariant &value)
{
    return value.metaType() == QMetaType::fromType<SpecialItemStar>();
}

bool QmdMemModel::isValid(const QmdIndex &index) const
{
    if (index.model() != this)
        return false;
    if (index.internalPointer()) {
        const auto it = m_live.constFind(static_cast<const SpecialItem *>(index.internalPointer()));
        if (it == m_live.constEnd() || it.value() != index.internalId())
            return false;
    }
    return index.id() != 0 || !index.key().isEmpty();
}

QmdMemModel::Target QmdMemModel::target(const QmdIndex &index) const
{
    if (!index.model())
        return Target::Root;
    if (!index.internalPointer() || !isValid(index))
        return Target::Nothing;
    return Target::Entry;
}

const QVariant *QmdMemModel::valueAt(const QmdIndex &index) const
{
    switch (target(index)) {
    case Target::Root:
        return &m_root;
    case Target::Nothing:
        return nullptr;
    case Target::Entry:
        break;
    }
    const auto *item = static_cast<const SpecialItem *>(index.internalPointer());
    if (item->type == Qmd::IntDict) {
        const auto &items = static_cast<const IntDictSpecialItem *>(item)->items;
        const auto it = items.constFind(index.id());
        return it == items.constEnd() ? nullptr : &it.value();
    }
    const auto &items = static_cast<const StrDictSpecialItem *>(item)->items;
    const auto it = items.constFind(index.key());
    return it == items.constEnd() ? nullptr : &it.value();
}

QmdMemModel::SpecialItem *QmdMemModel::containerAt(const QmdIndex &index, Qmd::ContainerType type) const
{
    const QVariant *value = valueAt(index);
    SpecialItem *item = value ? itemOf(*value) : nullptr;
    return item && item->type == type ? item : nullptr;
}

QmdIndex QmdMemModel::entryIndex(QmdItemId id, SpecialItem *item) const
{
    return createIndex(id, item, m_live.value(item));
}

QmdIndex QmdMemModel::entryIndex(const QString &key, SpecialItem *item) const
{
    return createIndex(key, item, m_live.value(item));
}

QmdMemModel::ContainerRef QmdMemModel::refOf(SpecialItem *item) const
{
    return ContainerRef{item, m_live.value(item)};
}

QmdMemModel::SpecialItem *QmdMemModel::resolve(const ContainerRef &ref) const
{
    const auto it = m_live.constFind(ref.item);
    return it != m_live.constEnd() && it.value() == ref.serial ? ref.item : nullptr;
}

bool QmdMemModel::exists(const QmdIndex &index) const
{
    const QVariant *value = valueAt(index);
    return value && (target(index) == Target::Entry || value->isValid());
}

QmdIndex QmdMemModel::index(const QString &key, const QmdIndex &parent) const
{
    auto *item = static_cast<StrDictSpecialItem *>(containerAt(parent, Qmd::StrDict));
    if (!item || key.isEmpty() || !item->items.contains(key))
        return QmdIndex();
    return entryIndex(key, item);
}

QmdIndex QmdMemModel::index(QmdItemId id, const QmdIndex &parent) const
{
    auto *item = static_cast<IntDictSpecialItem *>(containerAt(parent, Qmd::IntDict));
    if (!item || id == 0 || !item->items.contains(id))
        return QmdIndex();
    return entryIndex(id, item);
}

QmdIndex QmdMemModel::parent(const QmdIndex &index) const
{
    if (target(index) != Target::Entry)
        return QmdIndex();
    return static_cast<const SpecialItem *>(index.internalPointer())->index;
}

bool QmdMemModel::hasChildren(const QmdIndex &index) const
{
    if (auto *item = containerAt(index, Qmd::IntDict))
        return !static_cast<IntDictSpecialItem *>(item)->items.isEmpty();
    if (auto *item = containerAt(index, Qmd::StrDict))
        return !static_cast<StrDictSpecialItem *>(item)->items.isEmpty();
    return false;
}

QmdIndexList QmdMemModel::childIndexes(const QmdIndex &index) const
{
    QmdIndexList result;
    if (auto *item = containerAt(index, Qmd::IntDict)) {
        for (QmdItemId id : sortedKeys(static_cast<IntDictSpecialItem *>(item)->items))
            result.append(entryIndex(id, item));
    } else if (auto *item = containerAt(index, Qmd::StrDict)) {
        for (const QString &key : sortedKeys(static_cast<StrDictSpecialItem *>(item)->items))
            result.append(entryIndex(key, item));
    }
    return result;
}

QVariant QmdMemModel::data(const QmdIndex &index) const
{
    const QVariant *value = valueAt(index);
    if (!value || isContainer(*value))
        return QVariant();
    return *value;
}

QVariant QmdMemModel::data(const QString &key, const QmdIndex &parent) const
{
    return valueIn(containerAt(parent, Qmd::StrDict), key);
}

QList<QVariant> QmdMemModel::data(const QString &key, const QmdItemIdList &ids, const QmdIndex &parent) const
{
    QList<QVariant> values;
    values.reserve(ids.size());
    const auto *item = static_cast<const IntDictSpecialItem *>(containerAt(parent, Qmd::IntDict));
    for (QmdItemId id : ids) {
        const auto it = item ? item->items.constFind(id) : QmdIdEntries::const_iterator();
        const SpecialItem *child = item && it != item->items.constEnd() ? itemOf(it.value()) : nullptr;
        values.append(child && child->type == Qmd::StrDict ? valueIn(child, key) : QVariant());
    }
    return values;
}

QList<QVariant> QmdMemModel::values(const QStringList &keys, const QmdIndex &parent) const
{
    const SpecialItem *item = containerAt(parent, Qmd::StrDict);
    QList<QVariant> values;
    values.reserve(keys.size());
    for (const QString &key : keys)
        values.append(valueIn(item, key));
    return values;
}

QVariant QmdMemModel::valueIn(const SpecialItem *item, const QString &key)
{
    if (!item)
        return QVariant();
    const auto &items = static_cast<const StrDictSpecialItem *>(item)->items;
    const auto it = items.constFind(key);
    return it == items.constEnd() || isContainer(it.value()) ? QVariant() : it.value();
}

Qmd::ContainerType QmdMemModel::containerType(const QmdIndex &index) const
{
    const QVariant *value = valueAt(index);
    const SpecialItem *item = value ? itemOf(*value) : nullptr;
    return item ? item->type : Qmd::NoContainer;
}

QmdItemIdList QmdMemModel::ids(const QmdIndex &parent) const
{
    auto *item = static_cast<IntDictSpecialItem *>(containerAt(parent, Qmd::IntDict));
    return item ? sortedKeys(item->items) : QmdItemIdList();
}

QStringList QmdMemModel::keys(const QmdIndex &parent) const
{
    auto *item = static_cast<StrDictSpecialItem *>(containerAt(parent, Qmd::StrDict));
    return item ? sortedKeys(item->items) : QStringList();
}

// ---------------------------------------------------------------------------
// Containers and ids

QVariant QmdMemModel::createContainer(Qmd::ContainerType type, const QmdIndex &ownIndex)
{
    SpecialItem *item = nullptr;
    if (type == Qmd::IntDict)
        item = new IntDictSpecialItem(ownIndex, this);
    else if (type == Qmd::StrDict)
        item = new StrDictSpecialItem(ownIndex, this);
    else
        return QVariant();
    m_live.insert(item, ++m_lastSerial);
    return QVariant::fromValue<SpecialItemStar>(item);
}

void QmdMemModel::release(const QVariant &value)
{
    SpecialItem *item = itemOf(value);
    if (!item || !m_live.remove(item))
        return;
    if (item->type == Qmd::IntDict) {
        for (const QVariant &child : std::as_const(static_cast<IntDictSpecialItem *>(item)->items))
            release(child);
    } else {
        for (const QVariant &child : std::as_const(static_cast<StrDictSpecialItem *>(item)->items))
            release(child);
    }
    delete item;
}

void QmdMemModel::setItemIdLimit(QmdItemId limit)
{
    m_itemIdLimit = std::max<QmdItemId>(limit, 1);
}

QmdItemId QmdMemModel::registerNewItemId(IntDictSpecialItem *item)
{
    return nextFreeId(item, QmdItemIdSet());
}

QmdItemId QmdMemModel::nextFreeId(IntDictSpecialItem *item, const QmdItemIdSet &pending)
{
    if (!item)
        return 0;
    bool wrapped = item->lastId >= m_itemIdLimit;
    QmdItemId candidate = wrapped ? 1 : item->lastId + 1;
    while (item->items.contains(candidate) || pending.contains(candidate)) {
        if (candidate >= m_itemIdLimit) {
            if (wrapped) {
                qDebug("registerNewItemId: item IDs have been exhausted for the given hash");
                return 0;
            }
            wrapped = true;
            candidate = 1;
        } else {
            ++candidate;
        }
    }
    item->lastId = candidate;
    return candidate;
}

// ---------------------------------------------------------------------------
// Storing and removing entries (run by the commands)

template <typename Key, typename Item>
void QmdMemModel::storeEntries(Item *item, const QmdIndex &parent, const QHash<Key, QVariant> &values,
                               QList<QVariant> *displaced)
{
    stampChange();
    const QList<Key> keys = sortedKeys(values);
    QList<Key> replacedContainers;
    for (const Key &key : keys) {
        const auto it = item->items.constFind(key);
        if (it != item->items.constEnd() && isContainer(it.value()))
            replacedContainers.append(key);
    }
    QHash<Key, QVariant> removed;
    removeEntries(item, parent, replacedContainers, &removed);
    QList<Key> changed;
    for (const Key &key : keys) {
        if (key == Key()) // id 0 or the empty key
            continue;
        if constexpr (std::is_same_v<Item, IntDictSpecialItem>)
            item->lastId = key;
        auto it = item->items.find(key);
        if (it != item->items.end()) {
            if (displaced)
                displaced->append(it.value());
            it.value() = values.value(key);
        } else {
            item->items.insert(key, values.value(key));
        }
        changed.append(key);
    }
    if (displaced)
        displaced->append(removed.values());
    if (!changed.isEmpty())
        emit itemsChanged(parent, changed, requestId());
}

template <typename Key, typename Item>
QList<Key> QmdMemModel::removeEntries(Item *item, const QmdIndex &parent, const QList<Key> &keys,
                                      QHash<typename QList<Key>::value_type, QVariant> *removed)
{
    stampChange();
    QList<Key> kept;
    for (const Key &key : keys) {
        auto it = item->items.find(key);
        if (it == item->items.end())
            continue;
        if (removed)
            removed->insert(key, it.value());
        item->items.erase(it);
        kept.append(key);
    }
    if (!kept.isEmpty())
        emit itemsRemoved(parent, kept, requestId());
    return kept;
}

template void QmdMemModel::storeEntries(IntDictSpecialItem *, const QmdIndex &, const QHash<QmdItemId, QVariant> &,
                                        QList<QVariant> *);
template void QmdMemModel::storeEntries(StrDictSpecialItem *, const QmdIndex &, const QHash<QString, QVariant> &,
                                        QList<QVariant> *);
template QmdItemIdList QmdMemModel::removeEntries(IntDictSpecialItem *, const QmdIndex &, const QmdItemIdList &,
                                                  QHash<QmdItemId, QVariant> *);
template QStringList QmdMemModel::removeEntries(StrDictSpecialItem *, const QmdIndex &, const QStringList &,
                                                QHash<QString, QVariant> *);

namespace {

// Whether a tree's entries hold a child tree. A tree of plain values may
// share its entries with others (element states do): walking it with
// mutable iterators would copy them.
template <typename Items>
bool holdsTrees(const Items &items)
{
    return std::any_of(items.cbegin(), items.cend(), [](const QVariant &value) { return QmdTree::treeOf(value); });
}

} // namespace

QVariant QmdMemModel::adoptTree(QmdTree &tree, const QmdIndex &ownIndex)
{
    const QVariant container = createContainer(tree.type(), ownIndex);
    SpecialItem *item = itemOf(container);
    if (auto *intItem = item && item->type == Qmd::IntDict ? static_cast<IntDictSpecialItem *>(item) : nullptr) {
        intItem->items = std::move(tree.ids());
        if (!intItem->items.isEmpty())
            intItem->lastId = intItem->items.lastKey();
        adoptChildren(intItem->items, item);
    } else if (auto *strItem = item ? static_cast<StrDictSpecialItem *>(item) : nullptr) {
        strItem->items = std::move(tree.keys());
        adoptChildren(strItem->items, item);
    }
    return container;
}

template <typename Key>
void QmdMemModel::adoptChildren(QMap<Key, QVariant> &items, SpecialItem *item)
{
    if (!holdsTrees(items))
        return;
    for (auto it = items.begin(); it != items.end(); ++it) {
        if (QmdTree *child = QmdTree::treeOf(it.value())) {
            it.value() = adoptTree(*child, entryIndex(it.key(), item));
            delete child;
        }
    }
}

void QmdMemModel::setTree(const QmdIndex &target, std::unique_ptr<QmdTree> tree)
{
    if (!tree || tree->type() == Qmd::NoContainer)
        return;
    switch (this->target(target)) {
    case Target::Root:
        recordSetRoot(adoptTree(*tree, QmdIndex()));
        // What building the tree used and let go is handed back too.
        trimHeap();
        return;
    case Target::Nothing:
        return;
    case Target::Entry:
        break;
    }
    auto *item = static_cast<SpecialItem *>(target.internalPointer());
    if (item->type == Qmd::IntDict) {
        auto *intItem = static_cast<IntDictSpecialItem *>(item);
        recordSet(intItem, item->index,
                  QHash<QmdItemId, QVariant>{{target.id(), adoptTree(*tree, entryIndex(target.id(), item))}});
    } else {
        auto *strItem = static_cast<StrDictSpecialItem *>(item);
        recordSet(strItem, item->index,
                  QHash<QString, QVariant>{{target.key(), adoptTree(*tree, entryIndex(target.key(), item))}});
    }
}

void QmdMemModel::setTrees(const QHash<QmdItemId, QmdTree *> &trees, const QmdIndex &parent)
{
    auto *item = static_cast<IntDictSpecialItem *>(containerAt(parent, Qmd::IntDict));
    QHash<QmdItemId, QVariant> values;
    for (auto it = trees.cbegin(); it != trees.cend(); ++it) {
        if (item && it.key() != 0 && it.value() && it.value()->type() != Qmd::NoContainer) {
            values.insert(it.key(), adoptTree(*it.value(), entryIndex(it.key(), item)));
        }
        delete it.value();
    }
    if (item && !values.isEmpty())
        recordSet(item, parent, values);
}

QmdItemIdList QmdMemModel::newItemIds(int count, const QmdIndex &parent)
{
    auto *item = static_cast<IntDictSpecialItem *>(containerAt(parent, Qmd::IntDict));
    QmdItemIdList ids;
    QmdItemIdSet pending;
    const QmdItemId lastId = item ? item->lastId : 0;
    for (int i = 0; item && i < count; ++i) {
        const QmdItemId id = nextFreeId(item, pending);
        if (id == 0)
            break;
        ids.append(id);
        pending.insert(id);
    }
    // Nothing is taken until the ids are stored.
    if (item)
        item->lastId = lastId;
    return ids;
}

void QmdMemModel::stampChange()
{
    static std::atomic<quint64> lastStamp{0};
    m_changeStamp = lastStamp.fetch_add(1, std::memory_order_relaxed) + 1;
}

void QmdMemModel::swapRoot(QVariant &value)
{
    stampChange();
    std::swap(m_root, value);
    emit rootChanged(requestId());
}

// ---------------------------------------------------------------------------
// Change operations

template <typename Key>
QHash<Key, QVariant> QmdMemModel::withoutContainers(const QHash<Key, QVariant> &values)
{
    // Containers are made only by the model itself (setTypes, addTypes); a
    // container value handed in from outside would end up owned twice.
    // Values without containers, the usual case, are shared rather than copied.
    if (std::none_of(values.constBegin(), values.constEnd(), &QmdMemModel::isContainer))
        return values;
    QHash<Key, QVariant> result;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        if (!isContainer(it.value()))
            result.insert(it.key(), it.value());
    }
    return result;
}

template <typename Key, typename Item>
void QmdMemModel::recordSet(Item *item, const QmdIndex &parent, const QHash<Key, QVariant> &values)
{
    if (requestFlags().testFlag(Qmd::NoUndoHistory)) {
        // Nothing to undo later: store at once, without a command to keep the
        // old values, and release what the change displaced. The undo lists
        // stay as they are, so there is no undo state change to announce.
        QList<QVariant> displaced;
        storeEntries(item, parent, values, &displaced);
        for (const QVariant &value : std::as_const(displaced))
            release(value);
        return;
    }
    pushCommand(std::make_unique<QmdSetCommand<Key, Item>>(this, requestId(), requestFlags(), requestText(), values,
                                                           parent, item));
}

template <typename Key, typename Item>
void QmdMemModel::recordRemove(Item *item, const QmdIndex &parent, const QList<Key> &keys)
{
    pushCommand(std::make_unique<QmdRemoveCommand<Key, Item>>(this, requestId(), requestFlags(), requestText(), keys,
                                                              parent, item));
}

template <typename Key, typename Item>
void QmdMemModel::recordTypes(Item *item, const QmdIndex &parent, const QHash<Key, Qmd::ContainerType> &types)
{
    QHash<Key, QVariant> values;
    for (const Key &key : sortedKeys(types)) {
        if (key != Key())
            values.insert(key, createContainer(types.value(key), entryIndex(key, item)));
    }
    recordSet(item, parent, values);
}

void QmdMemModel::recordSetRoot(const QVariant &value)
{
    pushCommand(std::make_unique<QmdSetRootCommand>(this, requestId(), requestFlags(), requestText(), value));
}

QmdItemIdList QmdMemModel::addData(const QList<QVariant> &data, const QmdIndex &parent)
{
    auto *item = static_cast<IntDictSpecialItem *>(containerAt(parent, Qmd::IntDict));
    if (!item)
        return QmdItemIdList();
    QmdItemIdList newIds;
    QmdItemIdSet pending;
    QHash<QmdItemId, QVariant> pairs;
    for (const QVariant &value : data) {
        if (isContainer(value))
            continue;
        const QmdItemId id = nextFreeId(item, pending);
        if (id == 0)
            break;
        newIds.append(id);
        pending.insert(id);
        pairs.insert(id, value);
    }
    recordSet(item, parent, pairs);
    return requestStatus() != 0 ? QmdItemIdList() : newIds;
}

QmdItemIdList QmdMemModel::addTypes(const QList<Qmd::ContainerType> &types, const QmdIndex &parent)
{
    auto *item = static_cast<IntDictSpecialItem *>(containerAt(parent, Qmd::IntDict));
    if (!item)
        return QmdItemIdList();
    // Each new container's own index names the id it will be stored under,
    // so the ids are taken first.
    QmdItemIdList newIds;
    QmdItemIdSet pending;
    QHash<QmdItemId, QVariant> pairs;
    for (Qmd::ContainerType type : types) {
        const QmdItemId id = nextFreeId(item, pending);
        if (id == 0)
            break;
        newIds.append(id);
        pending.insert(id);
        pairs.insert(id, createContainer(type, entryIndex(id, item)));
    }
    recordSet(item, parent, pairs);
    return requestStatus() != 0 ? QmdItemIdList() : newIds;
}

void QmdMemModel::setData(const QHash<QString, QVariant> &pairs, const QmdIndex &parent)
{
    if (auto *item = static_cast<StrDictSpecialItem *>(containerAt(parent, Qmd::StrDict)))
        recordSet(item, parent, withoutContainers(pairs));
}

bool QmdMemModel::setValuesQuietly(const QStringList &keys, const QList<QVariant> &values, const QmdIndex &parent)
{
    auto *item = static_cast<StrDictSpecialItem *>(containerAt(parent, Qmd::StrDict));
    if (!item)
        return false;
    // In place and without a command: nothing is kept to undo, so what a
    // value displaces is simply dropped. Containers are never made or
    // replaced here (see withoutContainers).
    const qsizetype count = std::min(keys.size(), values.size());
    for (qsizetype i = 0; i < count; ++i) {
        const QString &key = keys.at(i);
        const QVariant &value = values.at(i);
        if (key.isEmpty() || isContainer(value))
            continue;
        const auto it = item->items.find(key);
        if (it == item->items.end())
            item->items.insert(key, value);
        else if (!isContainer(it.value()))
            it.value() = value;
    }
    return true;
}

void QmdMemModel::setData(const QHash<QmdItemId, QVariant> &pairs, const QmdIndex &parent)
{
    if (auto *item = static_cast<IntDictSpecialItem *>(containerAt(parent, Qmd::IntDict)))
        recordSet(item, parent, withoutContainers(pairs));
}

void QmdMemModel::setTypes(const QHash<QString, Qmd::ContainerType> &pairs, const QmdIndex &parent)
{
    if (auto *item = static_cast<StrDictSpecialItem *>(containerAt(parent, Qmd::StrDict)))
        recordTypes(item, parent, pairs);
}

void QmdMemModel::setTypes(const QHash<QmdItemId, Qmd::ContainerType> &pairs, const QmdIndex &parent)
{
    if (auto *item = static_cast<IntDictSpecialItem *>(containerAt(parent, Qmd::IntDict)))
        recordTypes(item, parent, pairs);
}

namespace {

// The entries named by a list or hash of indexes, grouped by the container
// that holds them; groups come in the order of the containers' serials.
template <typename Value>
struct Groups
{
    QMap<quint64, QmdMemModel::IntDictSpecialItem *> intItems;
    QMap<quint64, QmdMemModel::StrDictSpecialItem *> strItems;
    QHash<QmdMemModel::IntDictSpecialItem *, QHash<QmdItemId, Value>> intValues;
    QHash<QmdMemModel::StrDictSpecialItem *, QHash<QString, Value>> strValues;

    void add(const QmdIndex &index, const Value &value)
    {
        auto *item = static_cast<QmdMemModel::SpecialItem *>(index.internalPointer());
        if (item->type == Qmd::IntDict) {
            auto *intItem = static_cast<QmdMemModel::IntDictSpecialItem *>(item);
            intItems.insert(index.internalId(), intItem);
            intValues[intItem].insert(index.id(), value);
        } else {
            auto *strItem = static_cast<QmdMemModel::StrDictSpecialItem *>(item);
            strItems.insert(index.internalId(), strItem);
            strValues[strItem].insert(index.key(), value);
        }
    }
};

} // namespace

void QmdMemModel::setData(const QHash<QmdIndex, QVariant> &pairs)
{
    Groups<QVariant> groups;
    for (auto it = pairs.constBegin(); it != pairs.constEnd(); ++it) {
        if (isContainer(it.value()))
            continue;
        switch (target(it.key())) {
        case Target::Root:
            recordSetRoot(it.value());
            break;
        case Target::Entry:
            groups.add(it.key(), it.value());
            break;
        case Target::Nothing:
            break;
        }
    }
    for (auto *item : std::as_const(groups.intItems))
        recordSet(item, item->index, groups.intValues.value(item));
    for (auto *item : std::as_const(groups.strItems))
        recordSet(item, item->index, groups.strValues.value(item));
}

void QmdMemModel::setTypes(const QHash<QmdIndex, Qmd::ContainerType> &pairs)
{
    Groups<Qmd::ContainerType> groups;
    for (auto it = pairs.constBegin(); it != pairs.constEnd(); ++it) {
        switch (target(it.key())) {
        case Target::Root:
            recordSetRoot(createContainer(it.value(), QmdIndex()));
            break;
        case Target::Entry:
            groups.add(it.key(), it.value());
            break;
        case Target::Nothing:
            break;
        }
    }
    for (auto *item : std::as_const(groups.intItems))
        recordTypes(item, item->index, groups.intValues.value(item));
    for (auto *item : std::as_const(groups.strItems))
        recordTypes(item, item->index, groups.strValues.value(item));
}

void QmdMemModel::remove(const QmdIndexList &indexes)
{
    Groups<bool> groups;
    for (const QmdIndex &index : indexes) {
        switch (target(index)) {
        case Target::Root:
            clear(index);
            break;
        case Target::Entry:
            groups.add(index, true);
            break;
        case Target::Nothing:
            break;
        }
    }
    for (auto *item : std::as_const(groups.intItems))
        recordRemove(item, item->index, QmdItemIdList(sortedKeys(groups.intValues.value(item))));
    for (auto *item : std::as_const(groups.strItems))
        recordRemove(item, item->index, QStringList(sortedKeys(groups.strValues.value(item))));
}

void QmdMemModel::remove(const QStringList &keys, const QmdIndex &parent)
{
    if (auto *item = static_cast<StrDictSpecialItem *>(containerAt(parent, Qmd::StrDict)))
        recordRemove(item, parent, keys);
}

void QmdMemModel::remove(const QmdItemIdList &idList, const QmdIndex &parent)
{
    if (auto *item = static_cast<IntDictSpecialItem *>(containerAt(parent, Qmd::IntDict)))
        recordRemove(item, parent, idList);
}

void QmdMemModel::clear(const QmdIndex &parent)
{
    switch (target(parent)) {
    case Target::Root:
        recordSetRoot(QVariant());
        return;
    case Target::Nothing:
        return;
    case Target::Entry:
        break;
    }
    if (auto *item = static_cast<IntDictSpecialItem *>(containerAt(parent, Qmd::IntDict)))
        recordRemove(item, parent, sortedKeys(item->items));
    else if (auto *item = static_cast<StrDictSpecialItem *>(containerAt(parent, Qmd::StrDict)))
        recordRemove(item, parent, sortedKeys(item->items));
}

// ---------------------------------------------------------------------------
// Undo history

bool QmdMemModel::overLimit() const
{
    const int limit = undoRedoLimit();
    return limit > 0 && m_undoList.size() + m_redoList.size() > size_t(limit);
}

void QmdMemModel::dropOldestUndoEntry()
{
    // The state before the oldest step goes with it: when it was the clean
    // state (null marker) or the dropped step was, clean is out of reach.
    if (!m_cleanMarker || m_cleanMarker == m_undoList.front().get()) {
        m_cleanMarker = nullptr;
        m_cleanUnreachable = true;
    }
    m_undoList.erase(m_undoList.begin());
}

void QmdMemModel::dropOldestRedoEntry()
{
    if (m_cleanMarker == m_redoList.front().get()) {
        m_cleanMarker = nullptr;
        m_cleanUnreachable = true;
    }
    m_redoList.erase(m_redoList.begin());
}

void QmdMemModel::clearRedoList()
{
    while (!m_redoList.empty())
        dropOldestRedoEntry();
}

void QmdMemModel::pushCommand(std::unique_ptr<QmdCommand> command)
{
    takeSnapshot();
    const qsizetype containers = m_live.size();
    QmdCommand *const pushed = command.get();
    std::unique_ptr<QmdCommand> transient;
    if (command->isRecordable()) {
        clearRedoList();
        if (!m_undoList.empty() && m_undoList.back()->rid() == command->rid()) {
            QmdCommand *step = m_undoList.back().get();
            if (m_cleanMarker == step) {
                // The clean state lay inside this step, which now grows past it.
                m_cleanMarker = nullptr;
                m_cleanUnreachable = true;
            }
            step->appendChild(std::move(command));
        } else {
            m_undoList.push_back(std::move(command));
            if (overLimit())
                dropOldestUndoEntry();
        }
    } else {
        transient = std::move(command);
    }
    pushed->redo();
    transient.reset();
    returnFreedMemory(containers);
    emitUndoStateChanges();
}

// A document replaced whole (a load) leaves the old one's memory free but
// held by the allocator, in small pieces all over the heap: hand it back, so
// that loading again does not grow the process.
void QmdMemModel::returnFreedMemory(qsizetype containersBefore)
{
    if (containersBefore - m_live.size() >= releasedContainersToTrim)
        trimHeap();
}

void QmdMemModel::redo()
{
    moveStep(m_redoList, m_undoList, &QmdCommand::redo, &QmdMemModel::dropOldestUndoEntry);
}

void QmdMemModel::undo()
{
    moveStep(m_undoList, m_redoList, &QmdCommand::undo, &QmdMemModel::dropOldestRedoEntry);
}

// The newest step of one list is applied and becomes the newest of the other,
// which drops its oldest steps over the limit but never the one just moved.
void QmdMemModel::moveStep(Steps &from, Steps &to, void (QmdCommand::*apply)(),
                           void (QmdMemModel::*dropOldestOfTo)())
{
    takeSnapshot();
    if (!from.empty()) {
        std::unique_ptr<QmdCommand> step = std::move(from.back());
        from.pop_back();
        (step.get()->*apply)();
        to.push_back(std::move(step));
        if (overLimit() && to.size() > 1)
            (this->*dropOldestOfTo)();
    }
    emitUndoStateChanges();
}

void QmdMemModel::setUndoRedoLimit(int limit)
{
    QmdModel::setUndoRedoLimit(limit);
    if (!overLimit())
        return;
    takeSnapshot();
    while (overLimit() && !m_redoList.empty())
        dropOldestRedoEntry();
    while (overLimit() && !m_undoList.empty())
        dropOldestUndoEntry();
    emitUndoStateChanges();
}

void QmdMemModel::clearUndoRedoHistory()
{
    takeSnapshot();
    const qsizetype containers = m_live.size();
    m_redoList.clear();
    m_undoList.clear();
    returnFreedMemory(containers);
    m_cleanMarker = nullptr;
    m_cleanUnreachable = true;
    emitUndoStateChanges();
}

bool QmdMemModel::isAtCleanState() const
{
    if (m_cleanUnreachable)
        return false;
    if (m_undoList.empty())
        return !m_cleanMarker;
    return m_cleanMarker == m_undoList.back().get();
}

void QmdMemModel::markAsCleanState()
{
    takeSnapshot();
    m_cleanMarker = m_undoList.empty() ? nullptr : m_undoList.back().get();
    m_cleanUnreachable = false;
    emitUndoStateChanges();
}

int QmdMemModel::undoRedoCount() const
{
    return int(m_undoList.size() + m_redoList.size());
}

bool QmdMemModel::canRedo() const
{
    return !m_redoList.empty();
}

bool QmdMemModel::canUndo() const
{
    return !m_undoList.empty();
}

QString QmdMemModel::redoText() const
{
    return m_redoList.empty() ? QString() : m_redoList.back()->text();
}

QString QmdMemModel::undoText() const
{
    return m_undoList.empty() ? QString() : m_undoList.back()->text();
}

QmdMemModel::UndoState QmdMemModel::undoState() const
{
    UndoState state;
    state.atCleanState = isAtCleanState();
    state.canRedo = canRedo();
    state.canUndo = canUndo();
    state.redoText = redoText();
    state.undoText = undoText();
    return state;
}

void QmdMemModel::takeSnapshot()
{
    m_snapshot = undoState();
}

void QmdMemModel::emitUndoStateChanges()
{
    const UndoState before = m_snapshot;
    const UndoState now = undoState();
    m_snapshot = UndoState();
    const QmdRequestId rid = requestId();
    if (now.atCleanState != before.atCleanState)
        emit atCleanStateChanged(now.atCleanState, rid);
    if (now.canRedo != before.canRedo)
        emit canRedoChanged(now.canRedo, rid);
    if (now.canUndo != before.canUndo)
        emit canUndoChanged(now.canUndo, rid);
    if (now.redoText != before.redoText)
        emit redoTextChanged(now.redoText, rid);
    if (now.undoText != before.undoText)
        emit undoTextChanged(now.undoText, rid);
}
