#ifndef QMDREQUESTOPTIONS_H
#define QMDREQUESTOPTIONS_H

#include "qmdtypes.h"

#include <QString>

// The options of one request: its flags, the undo text under which its change
// is listed, and the request id to run under (0: the controller takes a new
// one). Requests made with one id form one undo step.
struct QmdRequestOptions
{
    explicit QmdRequestOptions(const QString &text)
        : text(text) {}
    explicit QmdRequestOptions(Qmd::RequestFlags flags)
        : flags(flags) {}
    QmdRequestOptions(Qmd::RequestFlags flags, const QString &text)
        : flags(flags), text(text) {}
    QmdRequestOptions(Qmd::RequestFlags flags, const QString &text, QmdRequestId rid)
        : flags(flags), text(text), rid(rid) {}
    QmdRequestOptions(Qmd::RequestFlags flags, QmdRequestId rid)
        : flags(flags), rid(rid) {}

    Qmd::RequestFlags flags;
    QString text;
    QmdRequestId rid = 0;
};

#endif // QMDREQUESTOPTIONS_H
