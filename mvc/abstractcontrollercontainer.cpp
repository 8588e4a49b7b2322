#include "abstractcontrollercontainer.h"

#include "abstractcontroller.h"

AbstractControllerContainer::AbstractControllerContainer(AbstractController *controller)
    : m_controller(controller)
    , m_owner(controller ? controller->owner() : nullptr)
{
}

AbstractController *AbstractControllerContainer::controller() const
{
    return m_owner ? m_controller : nullptr;
}
