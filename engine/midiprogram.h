#ifndef MIDIPROGRAM_H
#define MIDIPROGRAM_H

#include <QtGlobal>

// A MIDI program with its bank select bytes.
struct MidiProgram
{
    quint8 bankMsb = 0;
    quint8 bankLsb = 0;
    quint8 program = 0; // 0-based
};

#endif // MIDIPROGRAM_H
