#ifndef SETTINGSFAMILY_H
#define SETTINGSFAMILY_H

// The id of the settings event family, taken from allocateUniqueId() on the
// first call and kept.
unsigned int settingsFamilyId();

#endif // SETTINGSFAMILY_H
