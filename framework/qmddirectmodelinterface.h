#ifndef QMDDIRECTMODELINTERFACE_H
#define QMDDIRECTMODELINTERFACE_H

#include "qmdindex.h"
#include "qmdtypes.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>

class QmdModel;

// The base through which controllers, document writers and readers reach a
// model: a guarded model pointer and one forwarder per model operation. Every
// forwarder does nothing (and returns an empty result) when there is no model.
class QmdDirectModelInterface
{
public:
    explicit QmdDirectModelInterface(QmdModel *model = nullptr);
    virtual ~QmdDirectModelInterface();

    virtual void setModel(QmdModel *model);
    QmdModel *model() const;

    void setRequestStatus(int status);
    void beginRequest(QmdRequestId rid, Qmd::RequestFlags flags, const QString &text);
    void endRequest();

    int undoRedoLimit() const;
    void setUndoRedoLimit(int limit);
    bool isAtCleanState() const;
    void markAsCleanState();
    int undoRedoCount() const;
    bool canRedo() const;
    bool canUndo() const;
    QString redoText() const;
    QString undoText() const;
    void clearUndoRedoHistory();
    void redo();
    void undo();

    bool isValid(const QmdIndex &index) const;
    bool exists(const QmdIndex &index) const;
    QmdIndex index(const QString &key, const QmdIndex &parent) const;
    QmdIndex index(QmdItemId id, const QmdIndex &parent) const;
    QmdIndex parent(const QmdIndex &index) const;
    bool hasChildren(const QmdIndex &index) const;
    QmdIndexList childIndexes(const QmdIndex &index) const;
    QVariant data(const QmdIndex &index) const;
    QVariant data(const QString &key, const QmdIndex &parent) const;
    QVariant data(QmdItemId id, const QmdIndex &parent) const;
    // The value under key in each of the containers ids of parent, in the
    // order of ids (see QmdModel::data).
    QList<QVariant> data(const QString &key, const QmdItemIdList &ids, const QmdIndex &parent) const;
    // The values under keys in parent, in the order of keys (see QmdModel::values).
    QList<QVariant> values(const QStringList &keys, const QmdIndex &parent) const;
    // See QmdModel::changeStamp; 0 without a model.
    quint64 changeStamp() const;
    Qmd::ContainerType type(const QmdIndex &index) const;
    QmdItemIdList ids(const QmdIndex &parent) const;
    QStringList keys(const QmdIndex &parent) const;
    // The values of the children of index that are not containers, in
    // childIndexes() order.
    QList<QVariant> childData(const QmdIndex &index) const;

    QmdItemIdList addData(const QList<QVariant> &data, const QmdIndex &parent);
    // The new id, or 0 when the model made none.
    QmdItemId addData(const QVariant &data, const QmdIndex &parent);
    void setData(const QHash<QmdIndex, QVariant> &pairs);
    void setData(const QHash<QString, QVariant> &pairs, const QmdIndex &parent);
    void setData(const QHash<QmdItemId, QVariant> &pairs, const QmdIndex &parent);
    void setData(const QmdIndex &index, const QVariant &data);
    void setData(const QString &key, const QVariant &data, const QmdIndex &parent);
    void setData(QmdItemId id, const QVariant &data, const QmdIndex &parent);
    // Set the value only when index(key or id, parent) is not valid.
    void setDataIfInvalid(const QString &key, const QVariant &fallbackData, const QmdIndex &parent);
    void setDataIfInvalid(QmdItemId id, const QVariant &fallbackData, const QmdIndex &parent);
    // Stores without a request and without announcing (see QmdModel::setValuesQuietly).
    bool setValuesQuietly(const QStringList &keys, const QList<QVariant> &values, const QmdIndex &parent);

    QmdItemIdList addTypes(const QList<Qmd::ContainerType> &types, const QmdIndex &parent);
    QmdItemId addType(Qmd::ContainerType type, const QmdIndex &parent);
    void setTypes(const QHash<QmdIndex, Qmd::ContainerType> &pairs);
    void setTypes(const QHash<QString, Qmd::ContainerType> &pairs, const QmdIndex &parent);
    void setTypes(const QHash<QmdItemId, Qmd::ContainerType> &pairs, const QmdIndex &parent);
    void setType(const QmdIndex &index, Qmd::ContainerType type);
    void setType(const QString &key, Qmd::ContainerType type, const QmdIndex &parent);
    void setType(QmdItemId id, Qmd::ContainerType type, const QmdIndex &parent);
    void setTypeIfInvalid(const QString &key, Qmd::ContainerType fallbackType, const QmdIndex &parent);
    void setTypeIfInvalid(QmdItemId id, Qmd::ContainerType fallbackType, const QmdIndex &parent);

    void remove(const QmdIndexList &indexes);
    void remove(const QStringList &keys, const QmdIndex &parent);
    void remove(const QmdItemIdList &idList, const QmdIndex &parent);
    void remove(const QmdIndex &index);
    void remove(const QString &key, const QmdIndex &parent);
    void remove(QmdItemId id, const QmdIndex &parent);
    void clear(const QmdIndex &parent);

private:
    QPointer<QmdModel> m_model;
};

#endif // QMDDIRECTMODELINTERFACE_H
