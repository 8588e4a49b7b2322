#include "mvcevent.h"

#include "mvcfamily.h"

MvcEvent::MvcEvent(int type)
    : QEvent(static_cast<QEvent::Type>(type))
{
}

MvcEvent::~MvcEvent() = default;

unsigned int MvcEvent::mvcFamilyId() const
{
    return abstractFamilyId();
}

int MvcEvent::targetKind() const
{
    return AnyTarget;
}
