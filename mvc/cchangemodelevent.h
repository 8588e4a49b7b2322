#ifndef CCHANGEMODELEVENT_H
#define CCHANGEMODELEVENT_H

#include "cevent.h"
#include "abstractmodelcontainer.h"

// Asks a controller to take a model (null to drop it).
class CChangeModelEvent : public CEvent, public AbstractModelContainer
{
public:
    static constexpr int Type = 1000;

    explicit CChangeModelEvent(AbstractModel *model)
        : CEvent(Type), AbstractModelContainer(model)
    {
    }
};

#endif // CCHANGEMODELEVENT_H
