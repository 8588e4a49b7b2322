#ifndef CSETTINGSEVENT_H
#define CSETTINGSEVENT_H

#include "cevent.h"

// A request to the settings controller. Plain ones of ClearType and SyncType
// ask it to clear or sync the store.
class CSettingsEvent : public CEvent
{
public:
    static constexpr int ChangeValueType = 2000;
    static constexpr int RemoveKeyType = 2001;
    static constexpr int ClearType = 2002;
    static constexpr int SyncType = 2003;

    explicit CSettingsEvent(int type, QObject *sender = nullptr, quint32 options = 0);
    ~CSettingsEvent() override;

    unsigned int mvcFamilyId() const override;
};

#endif // CSETTINGSEVENT_H
