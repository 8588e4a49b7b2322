#include "csettingsevent.h"

#include "settingsfamily.h"

CSettingsEvent::CSettingsEvent(int type, QObject *sender, quint32 options)
    : CEvent(type, sender, options)
{
}

CSettingsEvent::~CSettingsEvent() = default;

unsigned int CSettingsEvent::mvcFamilyId() const
{
    return settingsFamilyId();
}
