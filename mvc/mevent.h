#ifndef MEVENT_H
#define MEVENT_H

#include "mvcevent.h"

// An event for a model.
class MEvent : public MvcEvent
{
public:
    explicit MEvent(int type);
    ~MEvent() override;

    int targetKind() const override;
};

#endif // MEVENT_H
