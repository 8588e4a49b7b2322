#include "settingskeys.h"

QString midiInputEnabledKey()
{
    return QStringLiteral("MidiInputEnabled");
}

QString midiThruEnabledKey()
{
    return QStringLiteral("MidiThruEnabled");
}

QString midiInputPortKey()
{
    return QStringLiteral("MidiInputPort");
}

QString midiThruPortKey()
{
    return QStringLiteral("MidiThruPort");
}

QString templateFileKey()
{
    return QStringLiteral("TemplateFile");
}

QString midiSynthDialogGeometryKey()
{
    return QStringLiteral("MidiSynthDialogGeometry");
}
