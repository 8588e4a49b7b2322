#ifndef SETTINGSKEYS_H
#define SETTINGSKEYS_H

#include <QString>

// Keys of application settings, both bool settings that read as true when
// they are not stored.
QString midiInputEnabledKey();
QString midiThruEnabledKey();

#endif // SETTINGSKEYS_H
