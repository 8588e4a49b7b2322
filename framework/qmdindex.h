#ifndef QMDINDEX_H
#define QMDINDEX_H

#include "qmdtypes.h"

#include <QList>
#include <QMetaType>
#include <QString>

class QmdModel;

// Names one entry of a document model: an item id (entry of an id-keyed
// container) or a string key (entry of a string-keyed container), two fields
// for the issuing model's own use, and the issuing model.
//
// The default index has no model; used as a parent or as an entry it stands
// for the document's root. An index that carries a model but whose container
// the model has released is NOT a root reference: reads through it find
// nothing and changes through it do nothing.
//
// isValid() says that the index is well formed and its container is alive; it
// does not say that the entry still exists (an entry removed from a live
// container keeps its index valid). Ask QmdModel::exists() for that.
class QmdIndex
{
public:
    QmdIndex();
    QmdIndex(QmdItemId id, quint64 internalId, const QmdModel *model);
    QmdIndex(QmdItemId id, void *internalPointer, const QmdModel *model);
    QmdIndex(const QString &key, quint64 internalId, const QmdModel *model);
    QmdIndex(const QString &key, void *internalPointer, const QmdModel *model);
    // Both internal fields at once: a model that keeps its container in the
    // pointer can keep the container's serial number in the id, so that an
    // index into a released container never aliases a later one at the same
    // address.
    QmdIndex(QmdItemId id, void *internalPointer, quint64 internalId, const QmdModel *model);
    QmdIndex(const QString &key, void *internalPointer, quint64 internalId, const QmdModel *model);

    QmdItemId id() const { return m_id; }
    QString key() const { return m_key; }
    quint64 internalId() const { return m_internalId; }
    void *internalPointer() const { return m_internalPointer; }
    const QmdModel *model() const { return m_model; }

    // False without a model; otherwise the model's own validity test.
    bool isValid() const;

    bool operator==(const QmdIndex &other) const;
    bool operator!=(const QmdIndex &other) const { return !(*this == other); }

private:
    QmdItemId m_id = 0;
    QString m_key;
    quint64 m_internalId = 0;
    void *m_internalPointer = nullptr;
    const QmdModel *m_model = nullptr;
};

typedef QList<QmdIndex> QmdIndexList;

// The id for id-keyed entries, the string hash of the key otherwise; parent,
// internal fields and model do not enter the hash.
size_t qHash(const QmdIndex &index, size_t seed = 0);

Q_DECLARE_METATYPE(QmdIndex)
Q_DECLARE_METATYPE(QmdIndexList)

#endif // QMDINDEX_H
