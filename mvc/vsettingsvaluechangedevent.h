#ifndef VSETTINGSVALUECHANGEDEVENT_H
#define VSETTINGSVALUECHANGEDEVENT_H

#include "keycontainer.h"
#include "valuecontainer.h"
#include "vsettingsevent.h"

// Tells a settings view that a key was given a value.
class VSettingsValueChangedEvent : public VSettingsEvent, public KeyContainer, public ValueContainer
{
public:
    static constexpr int Type = ValueChangedType;

    VSettingsValueChangedEvent(const QString &key, const QVariant &value, MvcBase *sender)
        : VSettingsEvent(Type, sender)
        , KeyContainer(key)
        , ValueContainer(value)
    {
    }
};

#endif // VSETTINGSVALUECHANGEDEVENT_H
