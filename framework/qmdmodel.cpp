#include "qmdmodel.h"

#include "qmdtree.h"

QmdModel::QmdModel(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<QmdIndex>("QmdIndex");
    qRegisterMetaType<QmdItemIdList>("QmdItemIdList");
    qRegisterMetaType<QmdRequestId>("QmdRequestId");
    qRegisterMetaType<Qmd::RequestFlags>("Qmd::RequestFlags");
}

QmdModel::~QmdModel() = default;

void QmdModel::setRequestStatus(int status)
{
    m_requestStatus = status;
}

void QmdModel::beginRequest(QmdRequestId rid, Qmd::RequestFlags flags, const QString &text)
{
    m_requestId = rid;
    m_requestFlags = flags;
    m_requestText = text;
    m_requestStatus = 0;
}

void QmdModel::endRequest()
{
    emit requestFinished(m_requestId, m_requestFlags, m_requestStatus);
    m_requestId = 0;
    m_requestFlags = {};
    m_requestText.clear();
    m_requestStatus = 0;
}

int QmdModel::undoRedoLimit() const
{
    return m_undoRedoLimit;
}

void QmdModel::setUndoRedoLimit(int limit)
{
    m_undoRedoLimit = limit;
}

bool QmdModel::isAtCleanState() const
{
    return false;
}

void QmdModel::markAsCleanState()
{
}

int QmdModel::undoRedoCount() const
{
    return 0;
}

bool QmdModel::canRedo() const
{
    return false;
}

bool QmdModel::canUndo() const
{
    return false;
}

QString QmdModel::redoText() const
{
    return QString();
}

QString QmdModel::undoText() const
{
    return QString();
}

void QmdModel::clearUndoRedoHistory()
{
}

void QmdModel::redo()
{
}

void QmdModel::undo()
{
}

QVariant QmdModel::data(const QString &key, const QmdIndex &parent) const
{
    const QmdIndex entry = index(key, parent);
    return entry.isValid() ? data(entry) : QVariant();
}

QList<QVariant> QmdModel::data(const QString &key, const QmdItemIdList &ids, const QmdIndex &parent) const
{
    QList<QVariant> values;
    values.reserve(ids.size());
    for (QmdItemId id : ids) {
        const QmdIndex entry = index(id, parent);
        values.append(entry.isValid() ? data(key, entry) : QVariant());
    }
    return values;
}

quint64 QmdModel::changeStamp() const
{
    return 0;
}

QList<QVariant> QmdModel::values(const QStringList &keys, const QmdIndex &parent) const
{
    QList<QVariant> values;
    values.reserve(keys.size());
    for (const QString &key : keys)
        values.append(data(key, parent));
    return values;
}

QmdIndex QmdModel::createIndex(QmdItemId id, void *internalPointer) const
{
    return QmdIndex(id, internalPointer, this);
}

QmdIndex QmdModel::createIndex(QmdItemId id, quint64 internalId) const
{
    return QmdIndex(id, internalId, this);
}

QmdIndex QmdModel::createIndex(const QString &key, void *internalPointer) const
{
    return QmdIndex(key, internalPointer, this);
}

QmdIndex QmdModel::createIndex(const QString &key, quint64 internalId) const
{
    return QmdIndex(key, internalId, this);
}

QmdIndex QmdModel::createIndex(QmdItemId id, void *internalPointer, quint64 internalId) const
{
    return QmdIndex(id, internalPointer, internalId, this);
}

QmdIndex QmdModel::createIndex(const QString &key, void *internalPointer, quint64 internalId) const
{
    return QmdIndex(key, internalPointer, internalId, this);
}

namespace {

void copyTree(QmdModel *model, const QmdTree &tree, const QmdIndex &target);

// Copies one container's entries: plain values and the types of child
// containers in one change each, then the children's own entries.
template <typename Key>
void copyEntries(QmdModel *model, const QMap<Key, QVariant> &entries, const QmdIndex &target)
{
    QHash<Key, QVariant> values;
    QHash<Key, Qmd::ContainerType> containers;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        if (const QmdTree *child = QmdTree::treeOf(it.value()))
            containers.insert(it.key(), child->type());
        else
            values.insert(it.key(), it.value());
    }
    model->setData(values, target);
    model->setTypes(containers, target);
    for (auto it = containers.cbegin(); it != containers.cend(); ++it)
        copyTree(model, *QmdTree::treeOf(entries.value(it.key())), model->index(it.key(), target));
}

void copyTree(QmdModel *model, const QmdTree &tree, const QmdIndex &target)
{
    if (tree.type() == Qmd::IntDict)
        copyEntries(model, tree.ids(), target);
    else
        copyEntries(model, tree.keys(), target);
}

} // namespace

void QmdModel::setRootTree(std::unique_ptr<QmdTree> tree)
{
    setTree(QmdIndex(), std::move(tree));
}

void QmdModel::setTree(const QmdIndex &target, std::unique_ptr<QmdTree> tree)
{
    if (!tree || tree->type() == Qmd::NoContainer)
        return;
    setTypes(QHash<QmdIndex, Qmd::ContainerType>{{target, tree->type()}});
    if (containerType(target) == tree->type())
        copyTree(this, *tree, target);
}

void QmdModel::setTrees(const QHash<QmdItemId, QmdTree *> &trees, const QmdIndex &parent)
{
    QHash<QmdItemId, Qmd::ContainerType> types;
    for (auto it = trees.cbegin(); it != trees.cend(); ++it) {
        if (it.value() && it.value()->type() != Qmd::NoContainer)
            types.insert(it.key(), it.value()->type());
    }
    setTypes(types, parent);
    for (auto it = trees.cbegin(); it != trees.cend(); ++it) {
        const QmdIndex target = index(it.key(), parent);
        if (types.contains(it.key()) && target.isValid())
            copyTree(this, *it.value(), target);
        delete it.value();
    }
}

QmdItemIdList QmdModel::newItemIds(int, const QmdIndex &)
{
    return QmdItemIdList();
}
