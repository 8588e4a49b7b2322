#ifndef QMDREQUESTLOCKER_H
#define QMDREQUESTLOCKER_H

#include "qmdcontroller.h"

// Holds a controller's request lock for its lifetime without opening a
// request on the model (for bookkeeping that must not interleave with one).
class QmdRequestLocker
{
public:
    explicit QmdRequestLocker(const QmdController *controller)
        : m_controller(controller)
    {
        m_controller->lockForRequest();
    }
    ~QmdRequestLocker() { m_controller->unlockForRequest(); }

    QmdRequestLocker(const QmdRequestLocker &) = delete;
    QmdRequestLocker &operator=(const QmdRequestLocker &) = delete;

private:
    const QmdController *m_controller;
};

#endif // QMDREQUESTLOCKER_H
