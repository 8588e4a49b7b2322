#ifndef CVIEWDETACHEVENT_H
#define CVIEWDETACHEVENT_H

#include "cevent.h"
#include "abstractviewcontainer.h"

// Asks a controller to detach a view.
class CViewDetachEvent : public CEvent, public AbstractViewContainer
{
public:
    static constexpr int Type = 1002;

    explicit CViewDetachEvent(AbstractView *view)
        : CEvent(Type), AbstractViewContainer(view)
    {
    }
};

#endif // CVIEWDETACHEVENT_H
