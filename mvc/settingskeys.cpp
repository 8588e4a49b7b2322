#include "settingskeys.h"

QString midiInputEnabledKey()
{
    return QStringLiteral("MidiInputEnabled");
}

QString midiThruEnabledKey()
{
    return QStringLiteral("MidiThruEnabled");
}
