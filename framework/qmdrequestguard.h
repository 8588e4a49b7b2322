#ifndef QMDREQUESTGUARD_H
#define QMDREQUESTGUARD_H

#include "qmdcontroller.h"

// Runs one controller request for its lifetime: the constructor begins it
// (taking the request lock), the destructor ends it (announcing
// requestFinished and releasing the lock) on every path out of the scope,
// an exception included.
class QmdRequestGuard
{
public:
    QmdRequestGuard(QmdController *controller, const QmdRequestOptions &options)
        : m_controller(controller)
        , m_rid(controller->beginRequest(options))
    {
    }
    QmdRequestGuard(QmdController *controller, QmdRequestId rid, Qmd::RequestFlags flags, const QString &text)
        : m_controller(controller)
        , m_rid(rid)
    {
        m_controller->beginRequest(rid, flags, text);
    }
    ~QmdRequestGuard() { m_controller->endRequest(m_rid); }

    QmdRequestGuard(const QmdRequestGuard &) = delete;
    QmdRequestGuard &operator=(const QmdRequestGuard &) = delete;

    QmdRequestId rid() const { return m_rid; }

private:
    QmdController *m_controller;
    QmdRequestId m_rid;
};

#endif // QMDREQUESTGUARD_H
