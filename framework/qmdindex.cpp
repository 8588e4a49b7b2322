#include "qmdindex.h"

#include "qmdmodel.h"

#include <QHashFunctions>

QmdIndex::QmdIndex() = default;

QmdIndex::QmdIndex(QmdItemId id, quint64 internalId, const QmdModel *model)
    : m_id(id), m_internalId(internalId), m_model(model)
{
}

QmdIndex::QmdIndex(QmdItemId id, void *internalPointer, const QmdModel *model)
    : m_id(id), m_internalPointer(internalPointer), m_model(model)
{
}

QmdIndex::QmdIndex(const QString &key, quint64 internalId, const QmdModel *model)
    : m_key(key), m_internalId(internalId), m_model(model)
{
}

QmdIndex::QmdIndex(const QString &key, void *internalPointer, const QmdModel *model)
    : m_key(key), m_internalPointer(internalPointer), m_model(model)
{
}

QmdIndex::QmdIndex(QmdItemId id, void *internalPointer, quint64 internalId, const QmdModel *model)
    : m_id(id), m_internalId(internalId), m_internalPointer(internalPointer), m_model(model)
{
}

QmdIndex::QmdIndex(const QString &key, void *internalPointer, quint64 internalId, const QmdModel *model)
    : m_key(key), m_internalId(internalId), m_internalPointer(internalPointer), m_model(model)
{
}

bool QmdIndex::isValid() const
{
    return m_model && m_model->isValid(*this);
}

bool QmdIndex::operator==(const QmdIndex &other) const
{
    return m_id == other.m_id
        && m_key == other.m_key
        && m_internalId == other.m_internalId
        && m_internalPointer == other.m_internalPointer
        && m_model == other.m_model;
}

size_t qHash(const QmdIndex &index, size_t seed)
{
    if (index.key().isEmpty())
        return qHash(index.id(), seed);
    return qHash(index.key(), seed);
}
