#ifndef NOTENAMES_H
#define NOTENAMES_H

#include <QString>

// MIDI note names: a letter from C, C#, D, D#, E, F, F#, G, G#, A, A#, B (sharps
// only) followed by the octave n / 12 - 2, so note 0 is C-2, 60 is C3 and 127 is G8.
// Note numbers are 8-bit: wider ints are taken to their low 8 bits.

QString noteLetterName(quint8 note);
int noteOctave(quint8 note);
QString noteNumberToName(int note);

// The reverse, as lenient as the list editors need: the octave starts at the first
// "-" or digit 0-8 after the first character; letters are read by their first
// character (A-G, anything else counts as C) and an optional "#"; an octave text
// that is not a number counts as 0. The result is kept to its low 8 bits, so
// "G#8" gives 128 and "C20" gives 8; a name without an octave ("C9", "3", "")
// gives 0.
quint8 noteNumberFromParts(const QString &letters, short octave);
quint8 noteNameToNumber(const QString &name);

#endif // NOTENAMES_H
