#include "mevent.h"

MEvent::MEvent(int type)
    : MvcEvent(type)
{
}

MEvent::~MEvent() = default;

int MEvent::targetKind() const
{
    return ModelTarget;
}
