#ifndef MCHANGECONTROLLEREVENT_H
#define MCHANGECONTROLLEREVENT_H

#include "mevent.h"
#include "abstractcontrollercontainer.h"

// Tells a model its controller.
class MChangeControllerEvent : public MEvent, public AbstractControllerContainer
{
public:
    static constexpr int Type = 1000;

    explicit MChangeControllerEvent(AbstractController *controller)
        : MEvent(Type), AbstractControllerContainer(controller)
    {
    }
};

#endif // MCHANGECONTROLLEREVENT_H
