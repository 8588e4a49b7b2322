#ifndef QMDSYNCRONIZEDCONTROLLER_H
#define QMDSYNCRONIZEDCONTROLLER_H

#include "qmdlockannotations.h"
#include "qmdtypes.h"

#include <QMutex>
#include <QRecursiveMutex>
#include <QSet>

class QObject;

// A document controller that other threads may read and change.
//
// One recursive mutex serves the read hooks and the request hooks: a request
// holds it from its begin to its end, so readers on other threads see the
// whole change or none of it, and reads made inside a request take it again.
// A second, non-recursive mutex guards the request id counter and the lookup
// set; it is taken alone or inside the first, never the other way round.
//
// Base is QmdController or one of its subclasses.
template <class Base>
class QmdSyncronizedController : public Base
{
public:
    explicit QmdSyncronizedController(QObject *parent = nullptr)
        : Base(parent)
    {
    }

    QmdRequestId newRequestId() override
    {
        IdLocker locker(this);
        return Base::newRequestId();
    }

    void releaseRequestId(QmdRequestId rid) override
    {
        IdLocker locker(this);
        Base::releaseRequestId(rid);
    }

    void lockForDirectRead() const override
    {
        lockController();
        Base::lockForDirectRead();
    }

    void unlockForDirectRead() const override
    {
        Base::unlockForDirectRead();
        unlockController();
    }

    void lockForRequest() const override
    {
        lockController();
        Base::lockForRequest();
    }

    void unlockForRequest() const override
    {
        Base::unlockForRequest();
        unlockController();
    }

private:
    class IdLocker
    {
    public:
        explicit IdLocker(const QmdSyncronizedController *owner)
            : m_owner(owner)
        {
            m_owner->m_idMutex.lock();
            QMD_LOCK_ACQUIRED(&m_owner->m_idMutex);
        }
        ~IdLocker()
        {
            QMD_LOCK_RELEASING(&m_owner->m_idMutex);
            m_owner->m_idMutex.unlock();
        }

    private:
        const QmdSyncronizedController *m_owner;
    };

    void lockController() const
    {
        m_mutex.lock();
        QMD_LOCK_ACQUIRED(&m_mutex);
    }

    void unlockController() const
    {
        QMD_LOCK_RELEASING(&m_mutex);
        m_mutex.unlock();
    }

    mutable QRecursiveMutex m_mutex;
    mutable QMutex m_idMutex;
};

#endif // QMDSYNCRONIZEDCONTROLLER_H
