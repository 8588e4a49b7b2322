#ifndef QMDSYNCRONIZEDCONTROLLER_H
#define QMDSYNCRONIZEDCONTROLLER_H

#include "qmdtypes.h"

#include <QMutex>
#include <QMutexLocker>
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

    QSet<quint32> &lookupHash() override
    {
        QMutexLocker locker(&m_idMutex);
        return Base::lookupHash();
    }

    QmdRequestId newRequestId() override
    {
        QMutexLocker locker(&m_idMutex);
        return Base::newRequestId();
    }

    void releaseRequestId(QmdRequestId rid) override
    {
        QMutexLocker locker(&m_idMutex);
        Base::releaseRequestId(rid);
    }

    void lockForDirectRead() const override
    {
        m_mutex.lock();
        Base::lockForDirectRead();
    }

    void unlockForDirectRead() const override
    {
        Base::unlockForDirectRead();
        m_mutex.unlock();
    }

    void lockForRequest() const override
    {
        m_mutex.lock();
        Base::lockForRequest();
    }

    void unlockForRequest() const override
    {
        Base::unlockForRequest();
        m_mutex.unlock();
    }

private:
    mutable QRecursiveMutex m_mutex;
    mutable QMutex m_idMutex;
};

#endif // QMDSYNCRONIZEDCONTROLLER_H
