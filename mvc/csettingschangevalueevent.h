#ifndef CSETTINGSCHANGEVALUEEVENT_H
#define CSETTINGSCHANGEVALUEEVENT_H

#include "csettingsevent.h"
#include "keycontainer.h"
#include "valuecontainer.h"

// Asks the settings controller to store a value under a key. With the option
// CEvent::NoEchoToSender the view owned by the sender is not notified.
class CSettingsChangeValueEvent : public CSettingsEvent, public KeyContainer, public ValueContainer
{
public:
    static constexpr int Type = ChangeValueType;

    CSettingsChangeValueEvent(const QString &key, const QVariant &value,
                              QObject *sender = nullptr, quint32 options = 0)
        : CSettingsEvent(Type, sender, options)
        , KeyContainer(key)
        , ValueContainer(value)
    {
    }
};

#endif // CSETTINGSCHANGEVALUEEVENT_H
