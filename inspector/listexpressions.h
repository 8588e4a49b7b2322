#ifndef LISTEXPRESSIONS_H
#define LISTEXPRESSIONS_H

#include <QString>

// The regular expressions that the list fields of the inspector accept, in Qt's
// default syntax. Each list expression starts with an empty alternative, so the
// empty text is a valid list; entries are separated by single commas without blanks.

// One note name: A, C, D, F or G with an optional "#", or E or B, followed by an
// octave from -2 to 7; in octave 8 only C8 to G8, the notes up to MIDI 127.
QString noteNameExpression();
// Note names and intervals (a sign followed by 0 to 127).
QString pitchListExpression();
// Numbers from 0 to 127, each with an optional sign.
QString velocityListExpression();
// Numbers of up to four digits with an optional decimal part of up to four digits,
// with a prefix "*", "/", "+" or "-", or with an optional sign and a trailing "%".
QString durationListExpression();
// Messages of bytes written "0x" and one or two lower-case hexadecimal digits,
// separated by one white-space character; messages are separated by commas and
// may be empty.
QString userMidiMessageListExpression();
// Whole numbers of up to four digits, each optionally followed by "/" and a
// divisor of one to four digits that does not begin with 0.
QString scaleListExpression();

#endif // LISTEXPRESSIONS_H
