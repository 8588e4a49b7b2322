#include "cevent.h"

CEvent::CEvent(int type, QObject *sender, quint32 options)
    : MvcEvent(type)
    , m_sender(sender)
    , m_options(options)
{
}

CEvent::~CEvent() = default;

int CEvent::targetKind() const
{
    return ControllerTarget;
}
