#include "msettingsevent.h"

#include "settingsfamily.h"

MSettingsEvent::MSettingsEvent(int type)
    : MEvent(type)
{
}

MSettingsEvent::~MSettingsEvent() = default;

unsigned int MSettingsEvent::mvcFamilyId() const
{
    return settingsFamilyId();
}
