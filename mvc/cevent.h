#ifndef CEVENT_H
#define CEVENT_H

#include "mvcevent.h"

#include <QObject>
#include <QPointer>

// An event for a controller: the posting object (may be null) and a flag word.
class CEvent : public MvcEvent
{
public:
    enum Option : quint32 {
        // Leave the view whose owner is the sender out of the notifications.
        NoEchoToSender = 0x1
    };

    // A plain controller event of this type asks to detach every view.
    static constexpr int DetachAllViewsType = 1003;

    explicit CEvent(int type, QObject *sender = nullptr, quint32 options = 0);
    ~CEvent() override;

    int targetKind() const override;

    // Null when the sender was null or is gone.
    QObject *sender() const { return m_sender; }
    quint32 options() const { return m_options; }
    bool echoesToSender() const { return !(m_options & NoEchoToSender); }

private:
    QPointer<QObject> m_sender;
    quint32 m_options;
};

#endif // CEVENT_H
