#include "vevent.h"

VEvent::VEvent(int type, MvcBase *sender)
    : MvcEvent(type)
    , m_sender(sender)
{
}

VEvent::~VEvent() = default;

int VEvent::targetKind() const
{
    return ViewTarget;
}
