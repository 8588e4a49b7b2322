#include "settingsfamily.h"

#include "mvcfamily.h"

unsigned int settingsFamilyId()
{
    static const unsigned int id = allocateUniqueId();
    return id;
}
