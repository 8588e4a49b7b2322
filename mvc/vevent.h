#ifndef VEVENT_H
#define VEVENT_H

#include "mvcevent.h"

class MvcBase;

// An event for a view; the sender is the controller or view that posted it.
// The sender is only an identity: it may be gone when the event arrives.
class VEvent : public MvcEvent
{
public:
    // A plain view event of this type tells a view that its model is ready.
    static constexpr int ModelReadyType = 1002;

    VEvent(int type, MvcBase *sender);
    ~VEvent() override;

    int targetKind() const override;

    MvcBase *sender() const { return m_sender; }

private:
    MvcBase *m_sender;
};

#endif // VEVENT_H
