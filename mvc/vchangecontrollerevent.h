#ifndef VCHANGECONTROLLEREVENT_H
#define VCHANGECONTROLLEREVENT_H

#include "vevent.h"
#include "abstractcontrollercontainer.h"

// Tells a view its controller.
class VChangeControllerEvent : public VEvent, public AbstractControllerContainer
{
public:
    static constexpr int Type = 1000;

    VChangeControllerEvent(AbstractController *controller, MvcBase *sender)
        : VEvent(Type, sender), AbstractControllerContainer(controller)
    {
    }
};

#endif // VCHANGECONTROLLEREVENT_H
