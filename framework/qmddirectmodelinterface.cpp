#include "qmddirectmodelinterface.h"

#include "qmdmodel.h"

QmdDirectModelInterface::QmdDirectModelInterface(QmdModel *model)
    : m_model(model)
{
}

QmdDirectModelInterface::~QmdDirectModelInterface() = default;

void QmdDirectModelInterface::setModel(QmdModel *model)
{
    m_model = model;
}

QmdModel *QmdDirectModelInterface::model() const
{
    return m_model.data();
}

void QmdDirectModelInterface::setRequestStatus(int status)
{
    if (m_model)
        m_model->setRequestStatus(status);
}

void QmdDirectModelInterface::beginRequest(QmdRequestId rid, Qmd::RequestFlags flags, const QString &text)
{
    if (m_model)
        m_model->beginRequest(rid, flags, text);
}

void QmdDirectModelInterface::endRequest()
{
    if (m_model)
        m_model->endRequest();
}

int QmdDirectModelInterface::undoRedoLimit() const
{
    return m_model ? m_model->undoRedoLimit() : 0;
}

void QmdDirectModelInterface::setUndoRedoLimit(int limit)
{
    if (m_model)
        m_model->setUndoRedoLimit(limit);
}

bool QmdDirectModelInterface::isAtCleanState() const
{
    return m_model && m_model->isAtCleanState();
}

void QmdDirectModelInterface::markAsCleanState()
{
    if (m_model)
        m_model->markAsCleanState();
}

int QmdDirectModelInterface::undoRedoCount() const
{
    return m_model ? m_model->undoRedoCount() : 0;
}

bool QmdDirectModelInterface::canRedo() const
{
    return m_model && m_model->canRedo();
}

bool QmdDirectModelInterface::canUndo() const
{
    return m_model && m_model->canUndo();
}

QString QmdDirectModelInterface::redoText() const
{
    return m_model ? m_model->redoText() : QString();
}

QString QmdDirectModelInterface::undoText() const
{
    return m_model ? m_model->undoText() : QString();
}

void QmdDirectModelInterface::clearUndoRedoHistory()
{
    if (m_model)
        m_model->clearUndoRedoHistory();
}

void QmdDirectModelInterface::redo()
{
    if (m_model)
        m_model->redo();
}

void QmdDirectModelInterface::undo()
{
    if (m_model)
        m_model->undo();
}

bool QmdDirectModelInterface::isValid(const QmdIndex &index) const
{
    return m_model && m_model->isValid(index);
}

bool QmdDirectModelInterface::exists(const QmdIndex &index) const
{
    return m_model && m_model->exists(index);
}

QmdIndex QmdDirectModelInterface::index(const QString &key, const QmdIndex &parent) const
{
    return m_model ? m_model->index(key, parent) : QmdIndex();
}

QmdIndex QmdDirectModelInterface::index(QmdItemId id, const QmdIndex &parent) const
{
    return m_model ? m_model->index(id, parent) : QmdIndex();
}

QmdIndex QmdDirectModelInterface::parent(const QmdIndex &index) const
{
    return m_model ? m_model->parent(index) : QmdIndex();
}

bool QmdDirectModelInterface::hasChildren(const QmdIndex &index) const
{
    return m_model && m_model->hasChildren(index);
}

QmdIndexList QmdDirectModelInterface::childIndexes(const QmdIndex &index) const
{
    return m_model ? m_model->childIndexes(index) : QmdIndexList();
}

QVariant QmdDirectModelInterface::data(const QmdIndex &index) const
{
    return m_model ? m_model->data(index) : QVariant();
}

QVariant QmdDirectModelInterface::data(const QString &key, const QmdIndex &parent) const
{
    return m_model ? m_model->data(key, parent) : QVariant();
}

QList<QVariant> QmdDirectModelInterface::data(const QString &key, const QmdItemIdList &ids,
                                              const QmdIndex &parent) const
{
    return m_model ? m_model->data(key, ids, parent) : QList<QVariant>(ids.size());
}

quint64 QmdDirectModelInterface::changeStamp() const
{
    return m_model ? m_model->changeStamp() : 0;
}

QList<QVariant> QmdDirectModelInterface::values(const QStringList &keys, const QmdIndex &parent) const
{
    return m_model ? m_model->values(keys, parent) : QList<QVariant>(keys.size());
}

bool QmdDirectModelInterface::setValuesQuietly(const QStringList &keys, const QList<QVariant> &values,
                                               const QmdIndex &parent)
{
    return m_model && m_model->setValuesQuietly(keys, values, parent);
}

QVariant QmdDirectModelInterface::data(QmdItemId id, const QmdIndex &parent) const
{
    return data(index(id, parent));
}

Qmd::ContainerType QmdDirectModelInterface::type(const QmdIndex &index) const
{
    return m_model ? m_model->containerType(index) : Qmd::NoContainer;
}

QmdItemIdList QmdDirectModelInterface::ids(const QmdIndex &parent) const
{
    return m_model ? m_model->ids(parent) : QmdItemIdList();
}

QStringList QmdDirectModelInterface::keys(const QmdIndex &parent) const
{
    return m_model ? m_model->keys(parent) : QStringList();
}

QList<QVariant> QmdDirectModelInterface::childData(const QmdIndex &index) const
{
    QList<QVariant> result;
    if (!m_model)
        return result;
    const QmdIndexList children = m_model->childIndexes(index);
    for (const QmdIndex &child : children) {
        if (m_model->containerType(child) == Qmd::NoContainer)
            result.append(m_model->data(child));
    }
    return result;
}

QmdItemIdList QmdDirectModelInterface::addData(const QList<QVariant> &data, const QmdIndex &parent)
{
    return m_model ? m_model->addData(data, parent) : QmdItemIdList();
}

QmdItemId QmdDirectModelInterface::addData(const QVariant &data, const QmdIndex &parent)
{
    const QmdItemIdList ids = addData(QList<QVariant>{data}, parent);
    return ids.isEmpty() ? 0 : ids.first();
}

void QmdDirectModelInterface::setData(const QHash<QmdIndex, QVariant> &pairs)
{
    if (m_model)
        m_model->setData(pairs);
}

void QmdDirectModelInterface::setData(const QHash<QString, QVariant> &pairs, const QmdIndex &parent)
{
    if (m_model)
        m_model->setData(pairs, parent);
}

void QmdDirectModelInterface::setData(const QHash<QmdItemId, QVariant> &pairs, const QmdIndex &parent)
{
    if (m_model)
        m_model->setData(pairs, parent);
}

void QmdDirectModelInterface::setData(const QmdIndex &index, const QVariant &data)
{
    setData(QHash<QmdIndex, QVariant>{{index, data}});
}

void QmdDirectModelInterface::setData(const QString &key, const QVariant &data, const QmdIndex &parent)
{
    setData(QHash<QString, QVariant>{{key, data}}, parent);
}

void QmdDirectModelInterface::setData(QmdItemId id, const QVariant &data, const QmdIndex &parent)
{
    setData(QHash<QmdItemId, QVariant>{{id, data}}, parent);
}

void QmdDirectModelInterface::setDataIfInvalid(const QString &key, const QVariant &fallbackData,
                                               const QmdIndex &parent)
{
    if (!index(key, parent).isValid())
        setData(key, fallbackData, parent);
}

void QmdDirectModelInterface::setDataIfInvalid(QmdItemId id, const QVariant &fallbackData, const QmdIndex &parent)
{
    if (!index(id, parent).isValid())
        setData(id, fallbackData, parent);
}

QmdItemIdList QmdDirectModelInterface::addTypes(const QList<Qmd::ContainerType> &types, const QmdIndex &parent)
{
    return m_model ? m_model->addTypes(types, parent) : QmdItemIdList();
}

QmdItemId QmdDirectModelInterface::addType(Qmd::ContainerType type, const QmdIndex &parent)
{
    const QmdItemIdList ids = addTypes(QList<Qmd::ContainerType>{type}, parent);
    return ids.isEmpty() ? 0 : ids.first();
}

void QmdDirectModelInterface::setTypes(const QHash<QmdIndex, Qmd::ContainerType> &pairs)
{
    if (m_model)
        m_model->setTypes(pairs);
}

void QmdDirectModelInterface::setTypes(const QHash<QString, Qmd::ContainerType> &pairs, const QmdIndex &parent)
{
    if (m_model)
        m_model->setTypes(pairs, parent);
}

void QmdDirectModelInterface::setTypes(const QHash<QmdItemId, Qmd::ContainerType> &pairs, const QmdIndex &parent)
{
    if (m_model)
        m_model->setTypes(pairs, parent);
}

void QmdDirectModelInterface::setType(const QmdIndex &index, Qmd::ContainerType type)
{
    setTypes(QHash<QmdIndex, Qmd::ContainerType>{{index, type}});
}

void QmdDirectModelInterface::setType(const QString &key, Qmd::ContainerType type, const QmdIndex &parent)
{
    setTypes(QHash<QString, Qmd::ContainerType>{{key, type}}, parent);
}

void QmdDirectModelInterface::setType(QmdItemId id, Qmd::ContainerType type, const QmdIndex &parent)
{
    setTypes(QHash<QmdItemId, Qmd::ContainerType>{{id, type}}, parent);
}

void QmdDirectModelInterface::setTypeIfInvalid(const QString &key, Qmd::ContainerType fallbackType,
                                               const QmdIndex &parent)
{
    if (!index(key, parent).isValid())
        setType(key, fallbackType, parent);
}

void QmdDirectModelInterface::setTypeIfInvalid(QmdItemId id, Qmd::ContainerType fallbackType,
                                               const QmdIndex &parent)
{
    if (!index(id, parent).isValid())
        setType(id, fallbackType, parent);
}

void QmdDirectModelInterface::remove(const QmdIndexList &indexes)
{
    if (m_model)
        m_model->remove(indexes);
}

void QmdDirectModelInterface::remove(const QStringList &keys, const QmdIndex &parent)
{
    if (m_model)
        m_model->remove(keys, parent);
}

void QmdDirectModelInterface::remove(const QmdItemIdList &idList, const QmdIndex &parent)
{
    if (m_model)
        m_model->remove(idList, parent);
}

void QmdDirectModelInterface::remove(const QmdIndex &index)
{
    remove(QmdIndexList{index});
}

void QmdDirectModelInterface::remove(const QString &key, const QmdIndex &parent)
{
    remove(QStringList{key}, parent);
}

void QmdDirectModelInterface::remove(QmdItemId id, const QmdIndex &parent)
{
    remove(QmdItemIdList{id}, parent);
}

void QmdDirectModelInterface::clear(const QmdIndex &parent)
{
    if (m_model)
        m_model->clear(parent);
}
