#ifndef VMODELCHANGEDEVENT_H
#define VMODELCHANGEDEVENT_H

#include "vevent.h"
#include "abstractmodelcontainer.h"

// Tells a view its model (may be null).
class VModelChangedEvent : public VEvent, public AbstractModelContainer
{
public:
    static constexpr int Type = 1001;

    VModelChangedEvent(AbstractModel *model, MvcBase *sender)
        : VEvent(Type, sender), AbstractModelContainer(model)
    {
    }
};

#endif // VMODELCHANGEDEVENT_H
