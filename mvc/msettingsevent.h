#ifndef MSETTINGSEVENT_H
#define MSETTINGSEVENT_H

#include "mevent.h"

// An event for the settings model. Plain ones of ClearType and SyncType clear
// or sync the store.
class MSettingsEvent : public MEvent
{
public:
    static constexpr int ChangeValueType = 2000;
    static constexpr int RemoveKeyType = 2001;
    static constexpr int ClearType = 2002;
    static constexpr int SyncType = 2003;

    explicit MSettingsEvent(int type);
    ~MSettingsEvent() override;

    unsigned int mvcFamilyId() const override;
};

#endif // MSETTINGSEVENT_H
