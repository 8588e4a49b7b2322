#ifndef VSETTINGSKEYREMOVEDEVENT_H
#define VSETTINGSKEYREMOVEDEVENT_H

#include "keycontainer.h"
#include "vsettingsevent.h"

// Tells a settings view that a key was removed.
class VSettingsKeyRemovedEvent : public VSettingsEvent, public KeyContainer
{
public:
    static constexpr int Type = KeyRemovedType;

    VSettingsKeyRemovedEvent(const QString &key, MvcBase *sender)
        : VSettingsEvent(Type, sender)
        , KeyContainer(key)
    {
    }
};

#endif // VSETTINGSKEYREMOVEDEVENT_H
