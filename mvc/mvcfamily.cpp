#include "mvcfamily.h"

unsigned int allocateUniqueId()
{
    // Ids are never given back, so the smallest one not yet returned is the
    // one after the last returned.
    static unsigned int lastTaken = 0;
    constexpr unsigned int largestId = 4294967294u;
    if (lastTaken == largestId)
        return 0;
    return ++lastTaken;
}

unsigned int abstractFamilyId()
{
    static const unsigned int id = allocateUniqueId();
    return id;
}
