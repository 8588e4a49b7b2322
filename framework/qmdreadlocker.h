#ifndef QMDREADLOCKER_H
#define QMDREADLOCKER_H

#include "qmdcontroller.h"

// Holds a controller's read lock for its lifetime, so that several reads see
// one state of the document.
class QmdReadLocker
{
public:
    explicit QmdReadLocker(const QmdController *controller)
        : m_controller(controller)
    {
        m_controller->lockForDirectRead();
    }
    ~QmdReadLocker() { m_controller->unlockForDirectRead(); }

    QmdReadLocker(const QmdReadLocker &) = delete;
    QmdReadLocker &operator=(const QmdReadLocker &) = delete;

private:
    const QmdController *m_controller;
};

#endif // QMDREADLOCKER_H
