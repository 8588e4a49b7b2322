#ifndef MSETTINGSCHANGEVALUEEVENT_H
#define MSETTINGSCHANGEVALUEEVENT_H

#include "keycontainer.h"
#include "msettingsevent.h"
#include "valuecontainer.h"

// Tells the settings model to store a value under a key.
class MSettingsChangeValueEvent : public MSettingsEvent, public KeyContainer, public ValueContainer
{
public:
    static constexpr int Type = ChangeValueType;

    MSettingsChangeValueEvent(const QString &key, const QVariant &value)
        : MSettingsEvent(Type)
        , KeyContainer(key)
        , ValueContainer(value)
    {
    }
};

#endif // MSETTINGSCHANGEVALUEEVENT_H
