#ifndef MSETTINGSREMOVEKEYEVENT_H
#define MSETTINGSREMOVEKEYEVENT_H

#include "keycontainer.h"
#include "msettingsevent.h"

// Tells the settings model to remove a key.
class MSettingsRemoveKeyEvent : public MSettingsEvent, public KeyContainer
{
public:
    static constexpr int Type = RemoveKeyType;

    explicit MSettingsRemoveKeyEvent(const QString &key)
        : MSettingsEvent(Type)
        , KeyContainer(key)
    {
    }
};

#endif // MSETTINGSREMOVEKEYEVENT_H
