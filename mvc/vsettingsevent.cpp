#include "vsettingsevent.h"

#include "settingsfamily.h"

VSettingsEvent::VSettingsEvent(int type, MvcBase *sender)
    : VEvent(type, sender)
{
}

VSettingsEvent::~VSettingsEvent() = default;

unsigned int VSettingsEvent::mvcFamilyId() const
{
    return settingsFamilyId();
}
