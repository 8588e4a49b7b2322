#ifndef SETTINGSKEYS_H
#define SETTINGSKEYS_H

#include <QString>

// Keys of application settings. The two switches are bool settings that read
// as true when they are not stored.
QString midiInputEnabledKey();
QString midiThruEnabledKey();
// Names of the chosen MIDI ports.
QString midiInputPortKey();
QString midiThruPortKey();
// Path of the template document new windows start from; empty for none.
QString templateFileKey();
// Where the synthesizer dialog was last closed (QWidget::saveGeometry).
QString midiSynthDialogGeometryKey();

#endif // SETTINGSKEYS_H
