#include "qmdcontroller.h"

#include "qmdmodel.h"
#include "qmdreadlocker.h"
#include "qmdrequestguard.h"
#include "qmdrequestlocker.h"

#include <QDebug>
#include <QPointer>

#include <algorithm>
#include <exception>
#include <limits>

namespace {

const QmdController::UnbindActions AllUnbindActions(QmdController::UnbindForget
                                                    | QmdController::UnbindRestore
                                                    | QmdController::UnbindDisconnect);

// A request opened directly on the model, begun on first use and ended on
// every path out of the scope.
class LazyModelRequest
{
public:
    explicit LazyModelRequest(QmdDirectModelInterface *target)
        : m_target(target)
    {
    }
    ~LazyModelRequest()
    {
        if (m_begun)
            m_target->endRequest();
    }
    LazyModelRequest(const LazyModelRequest &) = delete;
    LazyModelRequest &operator=(const LazyModelRequest &) = delete;

    void begin(QmdRequestId rid, Qmd::RequestFlags flags, const QString &text)
    {
        if (m_begun)
            return;
        m_target->beginRequest(rid, flags, text);
        m_begun = true;
    }

private:
    QmdDirectModelInterface *m_target;
    bool m_begun = false;
};

// Writes a property only with a value it can take: an invalid QVariant would
// make Qt store a default-constructed value instead of refusing. A name the
// object does not have is not written either (Qt would make it a dynamic
// property, and the binding would start making requests from it).
void writeProperty(QObject *obj, const QByteArray &name, const QVariant &value)
{
    if (!value.isValid())
        return;
    if (obj->metaObject()->indexOfProperty(name.constData()) < 0 && !obj->dynamicPropertyNames().contains(name))
        return;
    if (obj->property(name.constData()) != value)
        obj->setProperty(name.constData(), value);
}

} // namespace

QmdController::QmdController(QObject *parent)
    : QObject(parent)
    , QmdDirectModelInterface(nullptr)
{
}

QmdController::~QmdController() = default;

void QmdController::setModel(QmdModel *newModel)
{
    if (QmdModel *old = model())
        disconnect(old, nullptr, this, nullptr);
    {
        QmdRequestLocker lock(this);
        QmdDirectModelInterface::setModel(newModel);
        // Bookkeeping of the old model's requests would only match
        // unrelated requests of the new one.
        m_pendingUpdates.clear();
        m_undoRedoRequestIds.clear();
        m_pendingChanges.clear();
        m_writtenBack.clear();
    }
    if (newModel) {
        typedef QmdController C;
        connect(newModel, &QmdModel::atCleanStateChanged, this, &C::receivedAtCleanStateChanged, Qt::QueuedConnection);
        connect(newModel, &QmdModel::canRedoChanged, this, &C::receivedCanRedoChanged, Qt::QueuedConnection);
        connect(newModel, &QmdModel::canUndoChanged, this, &C::receivedCanUndoChanged, Qt::QueuedConnection);
        connect(newModel, &QmdModel::redoTextChanged, this, &C::receivedRedoTextChanged, Qt::QueuedConnection);
        connect(newModel, &QmdModel::undoTextChanged, this, &C::receivedUndoTextChanged, Qt::QueuedConnection);
        connect(newModel, qOverload<const QmdIndex &, const QmdItemIdList &, QmdRequestId>(&QmdModel::itemsChanged),
                this, qOverload<const QmdIndex &, const QmdItemIdList &, QmdRequestId>(&C::receivedItemsChanged),
                Qt::QueuedConnection);
        connect(newModel, qOverload<const QmdIndex &, const QStringList &, QmdRequestId>(&QmdModel::itemsChanged),
                this, qOverload<const QmdIndex &, const QStringList &, QmdRequestId>(&C::receivedItemsChanged),
                Qt::QueuedConnection);
        connect(newModel, qOverload<const QmdIndex &, const QmdItemIdList &, QmdRequestId>(&QmdModel::itemsRemoved),
                this, qOverload<const QmdIndex &, const QmdItemIdList &, QmdRequestId>(&C::receivedItemsRemoved),
                Qt::QueuedConnection);
        connect(newModel, qOverload<const QmdIndex &, const QStringList &, QmdRequestId>(&QmdModel::itemsRemoved),
                this, qOverload<const QmdIndex &, const QStringList &, QmdRequestId>(&C::receivedItemsRemoved),
                Qt::QueuedConnection);
        connect(newModel, &QmdModel::rootChanged, this, &C::receivedRootChanged, Qt::QueuedConnection);
        connect(newModel, &QmdModel::requestFinished, this, &C::receivedRequestFinished, Qt::QueuedConnection);
        // Noted as they happen, on the thread of the request and under its
        // lock, and followed up when the request ends.
        connect(newModel, qOverload<const QmdIndex &, const QmdItemIdList &, QmdRequestId>(&QmdModel::itemsChanged),
                this, [this](const QmdIndex &parent, const QmdItemIdList &idList, QmdRequestId rid) {
                    m_pendingChanges.append({parent, idList, rid, false, QStringList()});
                }, Qt::DirectConnection);
        connect(newModel, qOverload<const QmdIndex &, const QmdItemIdList &, QmdRequestId>(&QmdModel::itemsRemoved),
                this, [this](const QmdIndex &parent, const QmdItemIdList &idList, QmdRequestId rid) {
                    m_pendingChanges.append({parent, idList, rid, true, QStringList()});
                }, Qt::DirectConnection);
        connect(newModel, qOverload<const QmdIndex &, const QStringList &, QmdRequestId>(&QmdModel::itemsChanged),
                this, [this](const QmdIndex &parent, const QStringList &keys, QmdRequestId rid) {
                    m_pendingChanges.append({parent, QmdItemIdList(), rid, false, keys});
                }, Qt::DirectConnection);
    }
    reset();
}

// ---- Reads ----

int QmdController::undoRedoLimit() const
{
    QmdReadLocker lock(this);
    return QmdDirectModelInterface::undoRedoLimit();
}

int QmdController::undoRedoCount() const
{
    QmdReadLocker lock(this);
    return QmdDirectModelInterface::undoRedoCount();
}

bool QmdController::isAtCleanState() const
{
    QmdReadLocker lock(this);
    return QmdDirectModelInterface::isAtCleanState();
}

bool QmdController::canRedo() const
{
    QmdReadLocker lock(this);
    return QmdDirectModelInterface::canRedo();
}

bool QmdController::canUndo() const
{
    QmdReadLocker lock(this);
    return QmdDirectModelInterface::canUndo();
}

QString QmdController::redoText() const
{
    QmdReadLocker lock(this);
    return QmdDirectModelInterface::redoText();
}

QString QmdController::undoText() const
{
    QmdReadLocker lock(this);
    return QmdDirectModelInterface::undoText();
}

bool QmdController::isValid(const QmdIndex &index) const
{
    QmdReadLocker lock(this);
    return QmdDirectModelInterface::isValid(index);
}

QmdIndex QmdController::index(const QString &key, const QmdIndex &parent) const
{
    QmdReadLocker lock(this);
    return QmdDirectModelInterface::index(key, parent);
}

QmdIndex QmdController::index(QmdItemId id, const QmdIndex &parent) const
{
    QmdReadLocker lock(this);
    return QmdDirectModelInterface::index(id, parent);
}

QmdIndex QmdController::parent(const QmdIndex &index) const
{
    QmdReadLocker lock(this);
    return QmdDirectModelInterface::parent(index);
}

bool QmdController::hasChildren(const QmdIndex &index) const
{
    QmdReadLocker lock(this);
    return QmdDirectModelInterface::hasChildren(index);
}

QmdIndexList QmdController::childIndexes(const QmdIndex &index) const
{
    QmdReadLocker lock(this);
    return QmdDirectModelInterface::childIndexes(index);
}

Qmd::ContainerType QmdController::type(const QmdIndex &index) const
{
    QmdReadLocker lock(this);
    return QmdDirectModelInterface::type(index);
}

QVariant QmdController::data(const QmdIndex &index) const
{
    QmdReadLocker lock(this);
    return QmdDirectModelInterface::data(index);
}

QVariant QmdController::data(const QString &key, const QmdIndex &parent) const
{
    QmdReadLocker lock(this);
    return QmdDirectModelInterface::data(key, parent);
}

QVariant QmdController::data(QmdItemId id, const QmdIndex &parent) const
{
    QmdReadLocker lock(this);
    return QmdDirectModelInterface::data(id, parent);
}

QList<QVariant> QmdController::childData(const QmdIndex &index) const
{
    QmdReadLocker lock(this);
    return QmdDirectModelInterface::childData(index);
}

QList<QVariant> QmdController::values(const QStringList &keys, const QmdIndex &parent) const
{
    QmdReadLocker lock(this);
    return QmdDirectModelInterface::values(keys, parent);
}

quint64 QmdController::changeStamp() const
{
    QmdReadLocker lock(this);
    return QmdDirectModelInterface::changeStamp();
}

QmdItemIdList QmdController::ids(const QmdIndex &parent) const
{
    QmdReadLocker lock(this);
    return QmdDirectModelInterface::ids(parent);
}

QStringList QmdController::keys(const QmdIndex &parent) const
{
    QmdReadLocker lock(this);
    return QmdDirectModelInterface::keys(parent);
}

bool QmdController::exists(const QmdIndex &index) const
{
    QmdReadLocker lock(this);
    return QmdDirectModelInterface::exists(index);
}

QList<QmdRequestId> QmdController::undoRedoRequestIds() const
{
    QmdReadLocker lock(this);
    return m_undoRedoRequestIds;
}

// ---- Lock hooks: nothing to lock in the single-threaded controller ----

void QmdController::lockForDirectRead() const {}
void QmdController::unlockForDirectRead() const {}
void QmdController::lockForRequest() const {}
void QmdController::unlockForRequest() const {}

// ---- Request plumbing ----

QmdRequestId QmdController::newRequestId()
{
    if (m_lastRequestId == 0 || m_lastRequestId == std::numeric_limits<QmdRequestId>::max())
        m_lastRequestId = 1;
    else
        ++m_lastRequestId;
    return m_lastRequestId;
}

void QmdController::releaseRequestId(QmdRequestId)
{
}

void QmdController::setLastRequestId(QmdRequestId rid)
{
    m_lastRequestId = rid;
}

QmdRequestId QmdController::requestId(const QmdRequestOptions &options)
{
    return options.rid != 0 ? options.rid : newRequestId();
}

QmdRequestId QmdController::beginRequest(const QmdRequestOptions &options)
{
    const QmdRequestId rid = requestId(options);
    beginRequest(rid, options.flags, options.text);
    return rid;
}

void QmdController::beginRequest(QmdRequestId rid, Qmd::RequestFlags flags, const QString &text)
{
    lockForRequest();
    try {
        QmdDirectModelInterface::beginRequest(rid, flags, text);
    } catch (...) {
        unlockForRequest();
        throw;
    }
    if (!(flags & Qmd::NoUndoHistory))
        closeBoundEditSteps(rid);
}

void QmdController::endRequest(QmdRequestId)
{
    struct Unlock
    {
        const QmdController *controller;
        ~Unlock() { controller->unlockForRequest(); }
    } unlock{this};
    runFollowUps();
    QmdDirectModelInterface::endRequest();
}

void QmdController::runFollowUps()
{
    // Ends are reached from destructors: nothing may leave here by throwing.
    while (!m_pendingChanges.isEmpty()) {
        const PendingChange change = m_pendingChanges.takeFirst();
        try {
            if (change.removed)
                followUpItemsRemoved(change.parent, change.idList, change.rid);
            else if (!change.keys.isEmpty())
                followUpItemsChanged(change.parent, change.keys, change.rid);
            else
                followUpItemsChanged(change.parent, change.idList, change.rid);
        } catch (const std::exception &e) {
            qWarning().noquote() << "QmdController: follow-up failed:" << e.what();
        } catch (...) {
            qWarning().noquote() << "QmdController: follow-up failed";
        }
    }
}

void QmdController::followUpItemsChanged(const QmdIndex &, const QmdItemIdList &, QmdRequestId)
{
}

void QmdController::followUpItemsRemoved(const QmdIndex &, const QmdItemIdList &, QmdRequestId)
{
}

void QmdController::followUpItemsChanged(const QmdIndex &, const QStringList &, QmdRequestId)
{
}

// ---- Requests ----

QmdRequestId QmdController::requestSetUndoRedoLimit(int limit)
{
    QmdRequestGuard request(this, QmdRequestOptions(Qmd::NoUndoHistory, tr("Undo/Redo Limit")));
    QmdDirectModelInterface::setUndoRedoLimit(limit);
    return request.rid();
}

QmdRequestId QmdController::requestMarkAsCleanState()
{
    QmdRequestGuard request(this, QmdRequestOptions(Qmd::NoUndoHistory, tr("Mark Clean State")));
    QmdDirectModelInterface::markAsCleanState();
    return request.rid();
}

QmdRequestId QmdController::requestRedo()
{
    QmdRequestGuard request(this, QmdRequestOptions(Qmd::NoUndoHistory, tr("Redo")));
    m_undoRedoRequestIds.append(request.rid());
    closeBoundEditSteps(0);
    QmdDirectModelInterface::redo();
    return request.rid();
}

QmdRequestId QmdController::requestUndo()
{
    QmdRequestGuard request(this, QmdRequestOptions(Qmd::NoUndoHistory, tr("Undo")));
    m_undoRedoRequestIds.append(request.rid());
    closeBoundEditSteps(0);
    QmdDirectModelInterface::undo();
    return request.rid();
}

QmdRequestId QmdController::requestAddData(const QList<QVariant> &data, const QmdIndex &parent,
                                           const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::addData(data, parent);
    return request.rid();
}

QmdRequestId QmdController::requestAddData(const QVariant &data, const QmdIndex &parent,
                                           const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::addData(data, parent);
    return request.rid();
}

QmdRequestId QmdController::requestSetData(const QHash<QmdIndex, QVariant> &pairs,
                                           const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::setData(pairs);
    return request.rid();
}

QmdRequestId QmdController::requestSetData(const QHash<QString, QVariant> &pairs, const QmdIndex &parent,
                                           const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::setData(pairs, parent);
    return request.rid();
}

QmdRequestId QmdController::requestSetData(const QHash<QmdItemId, QVariant> &pairs, const QmdIndex &parent,
                                           const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::setData(pairs, parent);
    return request.rid();
}

QmdRequestId QmdController::requestSetData(QmdItemId id, const QVariant &data, const QmdIndex &parent,
                                           const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::setData(id, data, parent);
    return request.rid();
}

QmdRequestId QmdController::requestSetData(const QString &key, const QVariant &data, const QmdIndex &parent,
                                           const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::setData(key, data, parent);
    return request.rid();
}

QmdRequestId QmdController::requestSetData(const QmdIndex &index, const QVariant &data,
                                           const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::setData(index, data);
    return request.rid();
}

QmdRequestId QmdController::requestSetRoot(const QVariant &data, const QmdRequestOptions &options)
{
    return requestSetData(QmdIndex(), data, options);
}

QmdRequestId QmdController::requestSetDataIfInvalid(const QString &key, const QVariant &fallbackData,
                                                    const QmdIndex &parent, const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::setDataIfInvalid(key, fallbackData, parent);
    return request.rid();
}

QmdRequestId QmdController::requestSetDataIfInvalid(QmdItemId id, const QVariant &fallbackData,
                                                    const QmdIndex &parent, const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::setDataIfInvalid(id, fallbackData, parent);
    return request.rid();
}

QmdRequestId QmdController::requestAddTypes(const QList<Qmd::ContainerType> &types, const QmdIndex &parent,
                                            const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::addTypes(types, parent);
    return request.rid();
}

QmdRequestId QmdController::requestAddType(Qmd::ContainerType type, const QmdIndex &parent,
                                           const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::addType(type, parent);
    return request.rid();
}

QmdRequestId QmdController::requestSetTypes(const QHash<QmdIndex, Qmd::ContainerType> &pairs,
                                            const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::setTypes(pairs);
    return request.rid();
}

QmdRequestId QmdController::requestSetTypes(const QHash<QString, Qmd::ContainerType> &pairs, const QmdIndex &parent,
                                            const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::setTypes(pairs, parent);
    return request.rid();
}

QmdRequestId QmdController::requestSetTypes(const QHash<QmdItemId, Qmd::ContainerType> &pairs, const QmdIndex &parent,
                                            const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::setTypes(pairs, parent);
    return request.rid();
}

QmdRequestId QmdController::requestSetType(QmdItemId id, Qmd::ContainerType type, const QmdIndex &parent,
                                           const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::setType(id, type, parent);
    return request.rid();
}

QmdRequestId QmdController::requestSetType(const QString &key, Qmd::ContainerType type, const QmdIndex &parent,
                                           const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::setType(key, type, parent);
    return request.rid();
}

QmdRequestId QmdController::requestSetType(const QmdIndex &index, Qmd::ContainerType type,
                                           const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::setType(index, type);
    return request.rid();
}

QmdRequestId QmdController::requestSetRootType(Qmd::ContainerType type, const QmdRequestOptions &options)
{
    return requestSetType(QmdIndex(), type, options);
}

QmdRequestId QmdController::requestSetTypeIfInvalid(const QString &key, Qmd::ContainerType fallbackType,
                                                    const QmdIndex &parent, const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::setTypeIfInvalid(key, fallbackType, parent);
    return request.rid();
}

QmdRequestId QmdController::requestSetTypeIfInvalid(QmdItemId id, Qmd::ContainerType fallbackType,
                                                    const QmdIndex &parent, const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::setTypeIfInvalid(id, fallbackType, parent);
    return request.rid();
}

QmdRequestId QmdController::requestRemove(const QmdIndexList &indexes, const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::remove(indexes);
    return request.rid();
}

QmdRequestId QmdController::requestRemove(const QStringList &keys, const QmdIndex &parent,
                                          const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::remove(keys, parent);
    return request.rid();
}

QmdRequestId QmdController::requestRemove(const QmdItemIdList &idList, const QmdIndex &parent,
                                          const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::remove(idList, parent);
    return request.rid();
}

QmdRequestId QmdController::requestRemove(const QmdIndex &index, const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::remove(index);
    return request.rid();
}

QmdRequestId QmdController::requestRemove(const QString &key, const QmdIndex &parent,
                                          const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::remove(key, parent);
    return request.rid();
}

QmdRequestId QmdController::requestRemove(QmdItemId id, const QmdIndex &parent, const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::remove(id, parent);
    return request.rid();
}

QmdRequestId QmdController::requestClear(const QmdIndex &parent, const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    QmdDirectModelInterface::clear(parent);
    return request.rid();
}

// ---- Reset and relays ----

void QmdController::reset()
{
    Reset();
    emit modelReset();
}

void QmdController::Reset()
{
    QList<QPointer<QObject>> objects;
    for (QObject *obj : bindingTable().uniqueKeys())
        objects.append(obj);
    for (const QPointer<QObject> &obj : objects) {
        if (obj)
            updateBoundObject(obj);
    }
}

bool QmdController::isFromCurrentModel() const
{
    // sender() is null once the connection is gone, so a signal that the
    // old model queued before it was detached is dropped here. Write-backs
    // are relayed by the controller itself, for the model it has now
    // (setModel drops those of the old one).
    if (m_relayingWriteBacks)
        return true;
    const QObject *origin = sender();
    return origin && origin == model();
}

void QmdController::receivedAtCleanStateChanged(bool atCleanState, QmdRequestId rid)
{
    if (isFromCurrentModel())
        emit atCleanStateChanged(atCleanState, rid);
}

void QmdController::receivedCanRedoChanged(bool canRedo, QmdRequestId rid)
{
    if (isFromCurrentModel())
        emit canRedoChanged(canRedo, rid);
}

void QmdController::receivedCanUndoChanged(bool canUndo, QmdRequestId rid)
{
    if (isFromCurrentModel())
        emit canUndoChanged(canUndo, rid);
}

void QmdController::receivedRedoTextChanged(const QString &redoText, QmdRequestId rid)
{
    if (isFromCurrentModel())
        emit redoTextChanged(redoText, rid);
}

void QmdController::receivedUndoTextChanged(const QString &undoText, QmdRequestId rid)
{
    if (isFromCurrentModel())
        emit undoTextChanged(undoText, rid);
}

void QmdController::receivedItemsChanged(const QmdIndex &parent, const QmdItemIdList &idList, QmdRequestId rid)
{
    if (isFromCurrentModel())
        emit itemsChanged(parent, idList, rid);
}

void QmdController::receivedItemsChanged(const QmdIndex &parent, const QStringList &keys, QmdRequestId rid)
{
    if (!isFromCurrentModel())
        return;
    emit itemsChanged(parent, keys, rid);
    updateBoundObjectsForChange(parent, keys, rid);
}

void QmdController::receivedItemsRemoved(const QmdIndex &parent, const QmdItemIdList &idList, QmdRequestId rid)
{
    if (isFromCurrentModel())
        emit itemsRemoved(parent, idList, rid);
}

void QmdController::receivedItemsRemoved(const QmdIndex &parent, const QStringList &keys, QmdRequestId rid)
{
    if (!isFromCurrentModel())
        return;
    emit itemsRemoved(parent, keys, rid);
    updateBoundObjectsForChange(parent, keys, rid);
}

void QmdController::receivedRootChanged(QmdRequestId rid)
{
    if (isFromCurrentModel())
        emit rootChanged(rid);
}

void QmdController::receivedRequestFinished(QmdRequestId rid, Qmd::RequestFlags, int status)
{
    if (!isFromCurrentModel())
        return;
    QList<QPointer<QObject>> objects;
    {
        QmdReadLocker lock(this);
        const QList<QObject *> pending = m_pendingUpdates.values(rid);
        for (QObject *obj : QSet<QObject *>(pending.cbegin(), pending.cend()))
            objects.append(obj);
    }
    for (const QPointer<QObject> &obj : objects) {
        if (obj)
            updateBoundObject(obj);
    }
    emit requestFinished(rid, status);
    QmdRequestLocker lock(this);
    m_pendingUpdates.remove(rid);
    releaseRequestId(rid);
    m_undoRedoRequestIds.removeOne(rid);
}

// ---- Write-backs ----

void QmdController::writeBack(const QStringList &keys, const QList<QVariant> &values, const QmdIndex &parent)
{
    QmdRequestLocker lock(this);
    if (!QmdDirectModelInterface::setValuesQuietly(keys, values, parent))
        return;
    QStringList &written = m_writtenBack[parent];
    if (written.isEmpty()) {
        written = keys; // shared, not copied
    } else if (written != keys) {
        for (const QString &key : keys) {
            if (!written.contains(key))
                written.append(key);
        }
    }
    if (!m_writeBackAnnouncing) {
        m_writeBackAnnouncing = true;
        QMetaObject::invokeMethod(this, &QmdController::announceWriteBacks, Qt::QueuedConnection);
    }
}

void QmdController::announceWriteBacks()
{
    QHash<QmdIndex, QStringList> written;
    {
        QmdRequestLocker lock(this);
        written.swap(m_writtenBack);
        m_writeBackAnnouncing = false;
    }
    if (written.isEmpty())
        return;
    const QmdRequestId rid = newRequestId();
    m_relayingWriteBacks = true;
    struct EndRelay
    {
        bool &relaying;
        ~EndRelay() { relaying = false; }
    } endRelay{m_relayingWriteBacks};
    for (auto it = written.begin(); it != written.end(); ++it) {
        QStringList &keys = it.value();
        std::sort(keys.begin(), keys.end()); // listings are sorted, as the model's are
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
        receivedItemsChanged(it.key(), keys, rid);
    }
    receivedRequestFinished(rid, Qmd::NoUndoHistory, 0);
}

// ---- Binding service ----

void QmdController::bind(QObject *obj, const char *property, const char *notifySignal,
                         const WatchMap &watches, const QVariant &fallbackValue,
                         const QVariant &mixedValue, const QString &label, Qmd::RequestFlags flags)
{
    if (!obj || !property)
        return;
    unbind(obj, property, AllUnbindActions);

    Binding binding;
    binding.propertyName = property;
    binding.notifySignal = notifySignal;
    binding.watches = watches;
    binding.fallbackValue = fallbackValue;
    binding.mixedValue = mixedValue;
    binding.label = label;
    binding.flags = flags;

    bool hadBinding = false;
    {
        QmdRequestLocker lock(this);
        hadBinding = m_bindings.contains(obj);
        m_bindings.insert(obj, binding);
        for (auto it = watches.cbegin(); it != watches.cend(); ++it)
            m_watchers[it.key()].insert(obj);
    }
    updateBoundObject(obj, property);
    if (!hadBinding) {
        connect(obj, &QObject::destroyed, this, qOverload<QObject *>(&QmdController::unbindForDeletion),
                Qt::UniqueConnection);
    }
}

void QmdController::bindKey(QObject *obj, const char *property, const char *notifySignal,
                            const QString &key, const QmdIndex &parent,
                            const QVariant &fallbackValue, const QVariant &mixedValue,
                            const QString &label, Qmd::RequestFlags flags)
{
    WatchMap watches;
    watches.insert(parent, QStringList(key));
    bind(obj, property, notifySignal, watches, fallbackValue, mixedValue, label, flags);
}

QMultiHash<QObject *, QmdController::Binding> QmdController::bindingTable() const
{
    QmdReadLocker lock(this);
    return m_bindings;
}

QList<QmdController::Binding> QmdController::boundObjects(QObject *obj) const
{
    QmdReadLocker lock(this);
    return m_bindings.values(obj);
}

// The value a binding shows for the document as it is now. Runs under the
// read lock.
QVariant QmdController::boundValue(const Binding &binding) const
{
    bool first = true;
    bool firstIsPlain = false;
    QVariant value;
    for (auto it = binding.watches.cbegin(); it != binding.watches.cend(); ++it) {
        for (const QString &key : it.value()) {
            const QmdIndex entry = QmdDirectModelInterface::index(key, it.key());
            const bool found = entry.isValid();
            const QVariant current = found ? QmdDirectModelInterface::data(entry) : QVariant();
            if (first) {
                value = current;
                firstIsPlain = found && QmdDirectModelInterface::type(entry) == Qmd::NoContainer;
                first = false;
            } else if (current != value) {
                return binding.mixedValue;
            }
        }
    }
    if (first || !firstIsPlain)
        return binding.fallbackValue;
    return value;
}

// Whether the watched entries hold different values. Runs under a lock.
bool QmdController::showsMixedValue(const Binding &binding) const
{
    bool first = true;
    QVariant value;
    for (auto it = binding.watches.cbegin(); it != binding.watches.cend(); ++it) {
        for (const QString &key : it.value()) {
            const QVariant current = QmdDirectModelInterface::data(QmdDirectModelInterface::index(key, it.key()));
            if (first) {
                value = current;
                first = false;
            } else if (current != value) {
                return true;
            }
        }
    }
    return false;
}

void QmdController::updateBoundObject(QObject *obj, const char *objProperty)
{
    if (!obj)
        return;
    QList<QPair<Binding, QVariant>> writes;
    {
        QmdReadLocker lock(this);
        for (auto it = m_bindings.constFind(obj); it != m_bindings.cend() && it.key() == obj; ++it) {
            if (objProperty && it->propertyName != objProperty)
                continue;
            writes.append(qMakePair(it.value(), boundValue(it.value())));
        }
    }
    for (const auto &write : writes) {
        const Binding &binding = write.first;
        const QByteArray &signal = binding.notifySignal;
        if (!signal.isEmpty()) {
            bool connected = false;
            {
                QmdRequestLocker lock(this);
                connected = m_connectedNotifySignals.contains(obj, signal);
                if (connected)
                    m_connectedNotifySignals.remove(obj, signal);
            }
            if (connected)
                disconnect(obj, signal.constData(), this, SLOT(onBoundObjectSignalled()));
        }
        writeProperty(obj, binding.propertyName, write.second);
        if (!signal.isEmpty()
            && connect(obj, signal.constData(), this, SLOT(onBoundObjectSignalled()), Qt::UniqueConnection)) {
            QmdRequestLocker lock(this);
            if (!m_connectedNotifySignals.contains(obj, signal))
                m_connectedNotifySignals.insert(obj, signal);
        }
    }
}

void QmdController::onBoundObjectSignalled()
{
    QObject *obj = sender();
    QmdRequestLocker lock(this);
    if (!obj || !m_bindings.contains(obj))
        return;
    const auto edit = m_boundEdits.find(obj);
    const bool inEdit = edit != m_boundEdits.end();
    const QmdRequestId rid = inEdit && edit.value() != 0 ? edit.value() : newRequestId();
    bool wroteStep = false;
    const QList<Binding> bindings = m_bindings.values(obj);
    for (const Binding &binding : bindings) {
        const QVariant value = obj->property(binding.propertyName.constData());
        if (!value.isValid())
            continue;
        // A property still showing the mixed marker over differing entries
        // was not edited to that value.
        if (binding.mixedValue.isValid() && value == binding.mixedValue && showsMixedValue(binding))
            continue;
        LazyModelRequest request(this);
        for (auto it = binding.watches.cbegin(); it != binding.watches.cend(); ++it) {
            const QmdIndex &parent = it.key();
            // A parent whose container is gone must not stand for the root.
            if (parent != QmdIndex() && !parent.isValid())
                continue;
            QHash<QString, QVariant> pairs;
            for (const QString &key : it.value()) {
                const QmdIndex entry = QmdDirectModelInterface::index(key, parent);
                const QVariant current = entry.isValid() ? QmdDirectModelInterface::data(entry) : QVariant();
                if (current != value)
                    pairs.insert(key, value);
            }
            if (pairs.isEmpty())
                continue;
            request.begin(rid, binding.flags, binding.label);
            QmdDirectModelInterface::setData(pairs, parent);
            wroteStep = wroteStep || !(binding.flags & Qmd::NoUndoHistory);
        }
    }
    if (!wroteStep)
        return;
    closeBoundEditSteps(rid);
    if (inEdit)
        m_boundEdits.insert(obj, rid);
}

void QmdController::beginBoundEdit(QObject *obj)
{
    QmdRequestLocker lock(this);
    if (obj && m_bindings.contains(obj))
        m_boundEdits.insert(obj, 0);
}

void QmdController::endBoundEdit(QObject *obj)
{
    QmdRequestLocker lock(this);
    m_boundEdits.remove(obj);
}

bool QmdController::isInBoundEdit(QObject *obj) const
{
    QmdReadLocker lock(this);
    return m_boundEdits.contains(obj);
}

void QmdController::closeBoundEditSteps(QmdRequestId rid)
{
    for (auto it = m_boundEdits.begin(); it != m_boundEdits.end(); ++it) {
        if (it.value() != rid)
            it.value() = 0;
    }
}

void QmdController::updateBoundObjectsForChange(const QmdIndex &parent, const QStringList &keys, QmdRequestId rid)
{
    QmdReadLocker lock(this);
    const auto watchers = m_watchers.constFind(parent);
    if (watchers == m_watchers.cend())
        return;
    for (QObject *obj : watchers.value()) {
        if (m_pendingUpdates.contains(rid, obj))
            continue;
        for (auto it = m_bindings.constFind(obj); it != m_bindings.cend() && it.key() == obj; ++it) {
            const auto watched = it->watches.constFind(parent);
            if (watched == it->watches.cend())
                continue;
            const bool touched = std::any_of(watched->cbegin(), watched->cend(),
                                             [&keys](const QString &key) { return keys.contains(key); });
            if (touched) {
                m_pendingUpdates.insert(rid, obj);
                break;
            }
        }
    }
}

void QmdController::unbind(QObject *obj, const char *objProperty, UnbindActions actions)
{
    if (!obj)
        return;
    QList<Binding> restores;
    QList<QByteArray> signalsToCut;
    bool cutDestroyed = false;
    {
        QmdRequestLocker lock(this);
        QList<Binding> matching;
        QList<Binding> remaining;
        for (auto it = m_bindings.constFind(obj); it != m_bindings.cend() && it.key() == obj; ++it) {
            if (!objProperty || it->propertyName == objProperty)
                matching.append(it.value());
            else
                remaining.append(it.value());
        }
        if (matching.isEmpty())
            return;

        if (actions & UnbindDisconnect) {
            cutDestroyed = remaining.isEmpty();
            for (const Binding &binding : matching) {
                const QByteArray &signal = binding.notifySignal;
                if (signal.isEmpty() || !m_connectedNotifySignals.contains(obj, signal))
                    continue;
                // Another binding of the object may still need the signal.
                const bool shared = std::any_of(remaining.cbegin(), remaining.cend(),
                                                [&signal](const Binding &b) { return b.notifySignal == signal; });
                if (!shared) {
                    m_connectedNotifySignals.remove(obj, signal);
                    signalsToCut.append(signal);
                }
            }
        }
        if (actions & UnbindRestore)
            restores = matching;
        if (actions & UnbindForget) {
            m_boundEdits.remove(obj);
            for (auto it = m_bindings.find(obj); it != m_bindings.end() && it.key() == obj;) {
                if (!objProperty || it->propertyName == objProperty)
                    it = m_bindings.erase(it);
                else
                    ++it;
            }
            forgetWatches(obj, matching, remaining);
        }
    }

    for (const QByteArray &signal : signalsToCut)
        disconnect(obj, signal.constData(), this, SLOT(onBoundObjectSignalled()));
    if (cutDestroyed)
        disconnect(obj, &QObject::destroyed, this, qOverload<QObject *>(&QmdController::unbindForDeletion));
    if (!restores.isEmpty()) {
        const bool wasBlocked = obj->blockSignals(true);
        for (const Binding &binding : restores)
            writeProperty(obj, binding.propertyName, binding.fallbackValue);
        obj->blockSignals(wasBlocked);
    }
}

// Drops the object from the watcher sets of the parents only the forgotten
// bindings watched, and from the pending refreshes once nothing of it is
// bound. Runs under the request lock.
void QmdController::forgetWatches(QObject *obj, const QList<Binding> &forgotten, const QList<Binding> &remaining)
{
    for (const Binding &binding : forgotten) {
        for (auto it = binding.watches.cbegin(); it != binding.watches.cend(); ++it) {
            const QmdIndex &parent = it.key();
            const bool stillWatched = std::any_of(remaining.cbegin(), remaining.cend(),
                                                  [&parent](const Binding &b) { return b.watches.contains(parent); });
            if (stillWatched)
                continue;
            auto watchers = m_watchers.find(parent);
            if (watchers == m_watchers.end())
                continue;
            watchers->remove(obj);
            if (watchers->isEmpty())
                m_watchers.erase(watchers);
        }
    }
    if (remaining.isEmpty()) {
        for (auto it = m_pendingUpdates.begin(); it != m_pendingUpdates.end();) {
            if (it.value() == obj)
                it = m_pendingUpdates.erase(it);
            else
                ++it;
        }
    }
}

void QmdController::unbind(const QObjectList &objs, UnbindActions actions)
{
    for (QObject *obj : objs)
        unbind(obj, nullptr, actions);
}

void QmdController::unbindForDeletion(QObject *obj)
{
    unbind(obj, nullptr, UnbindForget);
    // The object's connections die with it; its records must not make a
    // later object at the same address look connected.
    QmdRequestLocker lock(this);
    m_connectedNotifySignals.remove(obj);
}

void QmdController::unbindForDeletion(const QObjectList &objs)
{
    for (QObject *obj : objs)
        unbindForDeletion(obj);
}
