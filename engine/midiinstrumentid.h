#ifndef MIDIINSTRUMENTID_H
#define MIDIINSTRUMENTID_H

#include <QMetaType>
#include <QtGlobal>

// Identifies one instrument of the synthesizer's sound bank.
typedef quint32 MidiInstrumentId;

#endif // MIDIINSTRUMENTID_H
