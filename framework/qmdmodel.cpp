#include "qmdmodel.h"

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
