#ifndef CVIEWATTACHEVENT_H
#define CVIEWATTACHEVENT_H

#include "cevent.h"
#include "abstractviewcontainer.h"

// Asks a controller to attach a view.
class CViewAttachEvent : public CEvent, public AbstractViewContainer
{
public:
    static constexpr int Type = 1001;

    explicit CViewAttachEvent(AbstractView *view)
        : CEvent(Type), AbstractViewContainer(view)
    {
    }
};

#endif // CVIEWATTACHEVENT_H
