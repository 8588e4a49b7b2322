#include "abstractviewcontainer.h"

#include "abstractview.h"

AbstractViewContainer::AbstractViewContainer(AbstractView *view)
    : m_view(view)
    , m_owner(view ? view->owner() : nullptr)
{
}

AbstractView *AbstractViewContainer::view() const
{
    return m_owner ? m_view : nullptr;
}
