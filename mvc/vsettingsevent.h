#ifndef VSETTINGSEVENT_H
#define VSETTINGSEVENT_H

#include "vevent.h"

// A notification to a settings view.
class VSettingsEvent : public VEvent
{
public:
    static constexpr int ValueChangedType = 2000;
    static constexpr int KeyRemovedType = 2001;

    VSettingsEvent(int type, MvcBase *sender);
    ~VSettingsEvent() override;

    unsigned int mvcFamilyId() const override;
};

#endif // VSETTINGSEVENT_H
