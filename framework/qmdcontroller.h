#ifndef QMDCONTROLLER_H
#define QMDCONTROLLER_H

#include "qmddirectmodelinterface.h"
#include "qmdindex.h"
#include "qmdrequestoptions.h"
#include "qmdtypes.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMultiHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

class QmdModel;

// The object through which everything outside the model reads and changes a
// document.
//
// Every change is a request: it takes a request id, begins a request on the
// model (taking the request lock), makes exactly one change, ends the request
// (releasing the lock) and returns the id. The model announces the change and
// the end of the request with that id; the announcements reach the controller
// through queued connections and are re-emitted as the controller's own
// signals in the controller's thread, after the request has returned.
//
// Every read goes through the read-lock hooks. In this class the hooks do
// nothing, so reads and requests are only safe from the controller's thread;
// QmdSyncronizedController turns them into a recursive mutex.
//
// The change forwarders of QmdDirectModelInterface are not public here:
// outside callers change the document through the requests only.
//
// Follow-ups: a change may call for further changes (a new element needs
// its run-time state, a removed one leaves references behind). A subclass
// makes them in the followUp hooks, which run before the request ends, so
// they are part of the user's request: same id, same flags, same undo step,
// in place when the request returns, whenever the event loop turns.
//
// The binding service ties Qt properties of any object to document keys: the
// property shows the keys' value and its edits become requests.
class QmdController : public QObject, public QmdDirectModelInterface
{
    Q_OBJECT

public:
    enum UnbindAction {
        UnbindForget = 0x1,     // drop the binding record and all that refers to it
        UnbindRestore = 0x2,    // write the fallback value into the property
        UnbindDisconnect = 0x4  // cut the connections to the object
    };
    Q_DECLARE_FLAGS(UnbindActions, UnbindAction)

    // Parent container -> keys under it, read in list order.
    typedef QHash<QmdIndex, QStringList> WatchMap;

    // One bound (object, property) pair.
    struct Binding
    {
        QByteArray propertyName;
        QByteArray notifySignal; // SIGNAL() form; empty for a display-only binding
        WatchMap watches;
        QVariant fallbackValue;  // shown when the first watched entry is missing or a container
        QVariant mixedValue;     // shown when the watched values differ
        QString label;           // undo text of the requests made from the property
        Qmd::RequestFlags flags; // flags of those requests
    };

    explicit QmdController(QObject *parent = nullptr);
    ~QmdController() override;

    using QObject::parent;
    using QmdDirectModelInterface::model;

    // Attaches a model (null allowed): the old model's signals are cut, the
    // new model's are connected through queued connections, then reset() runs.
    void setModel(QmdModel *model) override;

    // Reads, each inside the read-lock hooks.
    virtual int undoRedoLimit() const;
    // Steps in the undo and redo lists together.
    int undoRedoCount() const;
    virtual bool isAtCleanState() const;
    virtual bool canRedo() const;
    virtual bool canUndo() const;
    virtual QString redoText() const;
    virtual QString undoText() const;
    virtual bool isValid(const QmdIndex &index) const;
    virtual QmdIndex index(const QString &key, const QmdIndex &parent = QmdIndex()) const;
    virtual QmdIndex index(QmdItemId id, const QmdIndex &parent = QmdIndex()) const;
    virtual QmdIndex parent(const QmdIndex &index) const;
    virtual bool hasChildren(const QmdIndex &index = QmdIndex()) const;
    virtual QmdIndexList childIndexes(const QmdIndex &index = QmdIndex()) const;
    virtual Qmd::ContainerType type(const QmdIndex &index = QmdIndex()) const;
    virtual QVariant data(const QmdIndex &index) const;
    virtual QVariant data(const QString &key, const QmdIndex &parent = QmdIndex()) const;
    virtual QVariant data(QmdItemId id, const QmdIndex &parent = QmdIndex()) const;
    virtual QList<QVariant> childData(const QmdIndex &index = QmdIndex()) const;
    // The values under keys in the string-keyed container parent, in the
    // order of keys; the container is found once.
    QList<QVariant> values(const QStringList &keys, const QmdIndex &parent) const;
    // The model's change stamp (see QmdModel::changeStamp): compared under
    // one hold of the read lock with what was read before.
    quint64 changeStamp() const;
    virtual QmdItemIdList ids(const QmdIndex &parent = QmdIndex()) const;
    virtual QStringList keys(const QmdIndex &parent = QmdIndex()) const;
    // Whether the index names something present now (see QmdModel::exists).
    bool exists(const QmdIndex &index) const;

    // Ids of undo and redo requests whose end has not been relayed yet.
    QList<QmdRequestId> undoRedoRequestIds() const;

    // Lock hooks. A caller that needs several reads to be consistent brackets
    // them with lockForDirectRead()/unlockForDirectRead() (or QmdReadLocker).
    virtual void lockForDirectRead() const;
    virtual void unlockForDirectRead() const;
    virtual void lockForRequest() const;
    virtual void unlockForRequest() const;

    // Request plumbing, for controllers that run requests of their own. Use
    // QmdRequestGuard rather than calling begin and end by hand.
    virtual QmdRequestId newRequestId();
    virtual void releaseRequestId(QmdRequestId rid);
    QmdRequestId requestId(const QmdRequestOptions &options);
    QmdRequestId beginRequest(const QmdRequestOptions &options);
    virtual void beginRequest(QmdRequestId rid, Qmd::RequestFlags flags, const QString &text);
    virtual void endRequest(QmdRequestId rid);

    // Binding service.
    void bind(QObject *obj, const char *property, const char *notifySignal,
              const WatchMap &watches, const QVariant &fallbackValue,
              const QVariant &mixedValue, const QString &label,
              Qmd::RequestFlags flags = Qmd::RequestFlags());
    void bindKey(QObject *obj, const char *property, const char *notifySignal,
                 const QString &key, const QmdIndex &parent,
                 const QVariant &fallbackValue, const QVariant &mixedValue,
                 const QString &label, Qmd::RequestFlags flags = Qmd::RequestFlags());
    QMultiHash<QObject *, Binding> bindingTable() const;
    QList<Binding> boundObjects(QObject *obj) const;

    // A bound edit lets one long gesture on a bound object (a colour picked
    // live in a dialog) become one undo step: while it is open, every write
    // from the object's notify signals reuses the request id of its first
    // write, so the model joins them into that step. After an undo or redo,
    // or once another step was made, the next write starts a new step. The
    // edit ends with endBoundEdit(), or when the object is unbound or
    // destroyed. An object without bindings opens none; opening an open edit
    // again starts a new step.
    void beginBoundEdit(QObject *obj);
    void endBoundEdit(QObject *obj);
    bool isInBoundEdit(QObject *obj) const;

signals:
    void atCleanStateChanged(bool atCleanState, QmdRequestId rid);
    void canRedoChanged(bool canRedo, QmdRequestId rid);
    void canUndoChanged(bool canUndo, QmdRequestId rid);
    void redoTextChanged(const QString &redoText, QmdRequestId rid);
    void undoTextChanged(const QString &undoText, QmdRequestId rid);
    void modelReset();
    void itemsChanged(const QmdIndex &parent, const QmdItemIdList &idList, QmdRequestId rid);
    void itemsChanged(const QmdIndex &parent, const QStringList &keys, QmdRequestId rid);
    void itemsRemoved(const QmdIndex &parent, const QmdItemIdList &idList, QmdRequestId rid);
    void itemsRemoved(const QmdIndex &parent, const QStringList &keys, QmdRequestId rid);
    void rootChanged(QmdRequestId rid);
    void requestFinished(QmdRequestId rid, int status);

public slots:
    // Reset() then modelReset.
    void reset();

    void updateBoundObject(QObject *obj, const char *objProperty = nullptr);
    void unbind(QObject *obj, const char *objProperty = nullptr,
                QmdController::UnbindActions actions = UnbindActions(UnbindForget | UnbindRestore | UnbindDisconnect));
    void unbind(const QObjectList &objs,
                QmdController::UnbindActions actions = UnbindActions(UnbindForget | UnbindRestore | UnbindDisconnect));

    // Requests. Each returns the id of the request it ran.
    virtual QmdRequestId requestSetUndoRedoLimit(int limit);
    virtual QmdRequestId requestMarkAsCleanState();
    virtual QmdRequestId requestRedo();
    virtual QmdRequestId requestUndo();

    virtual QmdRequestId requestAddData(const QList<QVariant> &data, const QmdIndex &parent = QmdIndex(),
                                        const QmdRequestOptions &options = QmdRequestOptions(tr("Add Data")));
    QmdRequestId requestAddData(const QVariant &data, const QmdIndex &parent = QmdIndex(),
                                const QmdRequestOptions &options = QmdRequestOptions(tr("Add Data")));

    virtual QmdRequestId requestSetData(const QHash<QmdIndex, QVariant> &pairs,
                                        const QmdRequestOptions &options = QmdRequestOptions(tr("Set Data")));
    virtual QmdRequestId requestSetData(const QHash<QString, QVariant> &pairs, const QmdIndex &parent = QmdIndex(),
                                        const QmdRequestOptions &options = QmdRequestOptions(tr("Set Data")));
    virtual QmdRequestId requestSetData(const QHash<QmdItemId, QVariant> &pairs, const QmdIndex &parent = QmdIndex(),
                                        const QmdRequestOptions &options = QmdRequestOptions(tr("Set Data")));
    QmdRequestId requestSetData(QmdItemId id, const QVariant &data, const QmdIndex &parent = QmdIndex(),
                                const QmdRequestOptions &options = QmdRequestOptions(tr("Set Data")));
    QmdRequestId requestSetData(const QString &key, const QVariant &data, const QmdIndex &parent = QmdIndex(),
                                const QmdRequestOptions &options = QmdRequestOptions(tr("Set Data")));
    QmdRequestId requestSetData(const QmdIndex &index, const QVariant &data,
                                const QmdRequestOptions &options = QmdRequestOptions(tr("Set Data")));
    QmdRequestId requestSetRoot(const QVariant &data,
                                const QmdRequestOptions &options = QmdRequestOptions(tr("Set Root")));

    virtual QmdRequestId requestSetDataIfInvalid(const QString &key, const QVariant &fallbackData,
                                                 const QmdIndex &parent = QmdIndex(),
                                                 const QmdRequestOptions &options = QmdRequestOptions(tr("Set Data If Invalid")));
    virtual QmdRequestId requestSetDataIfInvalid(QmdItemId id, const QVariant &fallbackData,
                                                 const QmdIndex &parent = QmdIndex(),
                                                 const QmdRequestOptions &options = QmdRequestOptions(tr("Set Data If Invalid")));

    virtual QmdRequestId requestAddTypes(const QList<Qmd::ContainerType> &types, const QmdIndex &parent = QmdIndex(),
                                         const QmdRequestOptions &options = QmdRequestOptions(tr("Add Types")));
    QmdRequestId requestAddType(Qmd::ContainerType type, const QmdIndex &parent = QmdIndex(),
                                const QmdRequestOptions &options = QmdRequestOptions(tr("Add Type")));

    virtual QmdRequestId requestSetTypes(const QHash<QmdIndex, Qmd::ContainerType> &pairs,
                                         const QmdRequestOptions &options = QmdRequestOptions(tr("Set Types")));
    virtual QmdRequestId requestSetTypes(const QHash<QString, Qmd::ContainerType> &pairs, const QmdIndex &parent = QmdIndex(),
                                         const QmdRequestOptions &options = QmdRequestOptions(tr("Set Types")));
    virtual QmdRequestId requestSetTypes(const QHash<QmdItemId, Qmd::ContainerType> &pairs, const QmdIndex &parent = QmdIndex(),
                                         const QmdRequestOptions &options = QmdRequestOptions(tr("Set Types")));
    QmdRequestId requestSetType(QmdItemId id, Qmd::ContainerType type, const QmdIndex &parent = QmdIndex(),
                                const QmdRequestOptions &options = QmdRequestOptions(tr("Set Type")));
    QmdRequestId requestSetType(const QString &key, Qmd::ContainerType type, const QmdIndex &parent = QmdIndex(),
                                const QmdRequestOptions &options = QmdRequestOptions(tr("Set Type")));
    QmdRequestId requestSetType(const QmdIndex &index, Qmd::ContainerType type,
                                const QmdRequestOptions &options = QmdRequestOptions(tr("Set Type")));
    QmdRequestId requestSetRootType(Qmd::ContainerType type,
                                    const QmdRequestOptions &options = QmdRequestOptions(tr("Set Root Type")));

    virtual QmdRequestId requestSetTypeIfInvalid(const QString &key, Qmd::ContainerType fallbackType,
                                                 const QmdIndex &parent = QmdIndex(),
                                                 const QmdRequestOptions &options = QmdRequestOptions(tr("Set Type If Invalid")));
    virtual QmdRequestId requestSetTypeIfInvalid(QmdItemId id, Qmd::ContainerType fallbackType,
                                                 const QmdIndex &parent = QmdIndex(),
                                                 const QmdRequestOptions &options = QmdRequestOptions(tr("Set Type If Invalid")));

    virtual QmdRequestId requestRemove(const QmdIndexList &indexes,
                                       const QmdRequestOptions &options = QmdRequestOptions(tr("Remove")));
    virtual QmdRequestId requestRemove(const QStringList &keys, const QmdIndex &parent = QmdIndex(),
                                       const QmdRequestOptions &options = QmdRequestOptions(tr("Remove")));
    virtual QmdRequestId requestRemove(const QmdItemIdList &idList, const QmdIndex &parent = QmdIndex(),
                                       const QmdRequestOptions &options = QmdRequestOptions(tr("Remove")));
    QmdRequestId requestRemove(const QmdIndex &index,
                               const QmdRequestOptions &options = QmdRequestOptions(tr("Remove")));
    QmdRequestId requestRemove(const QString &key, const QmdIndex &parent = QmdIndex(),
                               const QmdRequestOptions &options = QmdRequestOptions(tr("Remove")));
    QmdRequestId requestRemove(QmdItemId id, const QmdIndex &parent = QmdIndex(),
                               const QmdRequestOptions &options = QmdRequestOptions(tr("Remove")));

    virtual QmdRequestId requestClear(const QmdIndex &parent = QmdIndex(),
                                      const QmdRequestOptions &options = QmdRequestOptions(tr("Clear")));

    // Forget the object's bindings without touching it (it is being destroyed).
    void unbindForDeletion(QObject *obj);
    void unbindForDeletion(const QObjectList &objs);

    // A write-back: values that a running process keeps in the document for
    // others to see (a player's counters and positions), written far more
    // often than anyone looks at them and never undone. values[i] is stored
    // under keys[i] in the string-keyed container parent at once, under the
    // request lock, so every later read sees it; nothing enters the undo
    // history and no follow-up runs. The announcement is gathered: when the
    // controller's event loop next turns, every container written back since
    // the last announcement gets one itemsChanged with all keys written to
    // it, and one requestFinished closes them all, as one request without
    // undo history would announce them. A parent that is no string-keyed
    // container (an entry removed meanwhile) changes nothing. Safe from any
    // thread of a synchronized controller.
    void writeBack(const QStringList &keys, const QList<QVariant> &values, const QmdIndex &parent);

protected slots:
    // Brings the document and every bound object in line with the model;
    // document controllers extend it and call this first.
    virtual void Reset();

    // Relays of the model's signals; they re-emit them as the controller's
    // own. Subclasses extend the item relays and call these.
    virtual void receivedAtCleanStateChanged(bool atCleanState, QmdRequestId rid);
    virtual void receivedCanRedoChanged(bool canRedo, QmdRequestId rid);
    virtual void receivedCanUndoChanged(bool canUndo, QmdRequestId rid);
    virtual void receivedRedoTextChanged(const QString &redoText, QmdRequestId rid);
    virtual void receivedUndoTextChanged(const QString &undoText, QmdRequestId rid);
    virtual void receivedItemsChanged(const QmdIndex &parent, const QmdItemIdList &idList, QmdRequestId rid);
    virtual void receivedItemsChanged(const QmdIndex &parent, const QStringList &keys, QmdRequestId rid);
    virtual void receivedItemsRemoved(const QmdIndex &parent, const QmdItemIdList &idList, QmdRequestId rid);
    virtual void receivedItemsRemoved(const QmdIndex &parent, const QStringList &keys, QmdRequestId rid);
    virtual void receivedRootChanged(QmdRequestId rid);
    virtual void receivedRequestFinished(QmdRequestId rid, Qmd::RequestFlags flags, int status);

    void onBoundObjectSignalled();

protected:
    // Marks the objects bound to any of the keys under parent for a refresh
    // when the request rid has finished.
    void updateBoundObjectsForChange(const QmdIndex &parent, const QStringList &keys, QmdRequestId rid);

    // True when the relay slot running now was reached from a signal of the
    // attached model; relays drop everything else (for instance what a model
    // queued before it was detached).
    bool isFromCurrentModel() const;

    // Sets the last request id handed out; the next one follows it.
    void setLastRequestId(QmdRequestId rid);

    // Follow-ups of the running request. Every id-keyed change the model
    // announces while a request runs, and every change of string keys, is
    // handed to these hooks when the request ends, in the order the changes
    // were made, while the request is still open and its lock held. What a hook changes (through the direct
    // model interface, never through another request) joins the request and
    // is followed up in turn. Hooks must not wait for other threads. Changes
    // replayed by undo and redo arrive too; their follow-ups are already in
    // the history (undoRedoRequestIds() names those requests).
    virtual void followUpItemsChanged(const QmdIndex &parent, const QmdItemIdList &idList, QmdRequestId rid);
    virtual void followUpItemsRemoved(const QmdIndex &parent, const QmdItemIdList &idList, QmdRequestId rid);
    virtual void followUpItemsChanged(const QmdIndex &parent, const QStringList &keys, QmdRequestId rid);

    // Lock-free model access for the controller's own requests.
    using QmdDirectModelInterface::addData;
    using QmdDirectModelInterface::addType;
    using QmdDirectModelInterface::addTypes;
    using QmdDirectModelInterface::clear;
    using QmdDirectModelInterface::remove;
    using QmdDirectModelInterface::setData;
    using QmdDirectModelInterface::setDataIfInvalid;
    using QmdDirectModelInterface::setType;
    using QmdDirectModelInterface::setTypeIfInvalid;
    using QmdDirectModelInterface::setTypes;
    using QmdDirectModelInterface::markAsCleanState;
    using QmdDirectModelInterface::clearUndoRedoHistory;
    using QmdDirectModelInterface::setUndoRedoLimit;
    using QmdDirectModelInterface::redo;
    using QmdDirectModelInterface::undo;
    using QmdDirectModelInterface::setRequestStatus;

private:
    struct PendingChange
    {
        QmdIndex parent;
        QmdItemIdList idList;
        QmdRequestId rid;
        bool removed;
        QStringList keys; // for a change of string keys, whose idList is empty
    };
    void runFollowUps();
    // Relays the write-backs gathered since the last call.
    void announceWriteBacks();

    QVariant boundValue(const Binding &binding) const;
    bool showsMixedValue(const Binding &binding) const;
    void forgetWatches(QObject *obj, const QList<Binding> &forgotten, const QList<Binding> &remaining);
    // A step with request id rid was made (0: an undo or redo moved the
    // history): open bound edits of other steps start a new one at their
    // next write. Runs under the request lock.
    void closeBoundEditSteps(QmdRequestId rid);

    QList<QmdRequestId> m_undoRedoRequestIds;
    QmdRequestId m_lastRequestId = 1;
    QMultiHash<QObject *, Binding> m_bindings;
    QHash<QmdIndex, QSet<QObject *>> m_watchers;
    QMultiHash<QmdRequestId, QObject *> m_pendingUpdates;
    QMultiHash<QObject *, QByteArray> m_connectedNotifySignals;
    // Open bound edits: object -> request id of their step (0 before the
    // first write).
    QHash<QObject *, QmdRequestId> m_boundEdits;
    // Changes of the running request waiting for their follow-ups; under the
    // request lock.
    QList<PendingChange> m_pendingChanges;
    // Keys written back per container and not announced yet, and whether an
    // announcement is on its way; under the request lock.
    QHash<QmdIndex, QStringList> m_writtenBack;
    bool m_writeBackAnnouncing = false;
    // Set while the gathered write-backs are relayed, which no model signal
    // carries.
    bool m_relayingWriteBacks = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(QmdController::UnbindActions)

#endif // QMDCONTROLLER_H
