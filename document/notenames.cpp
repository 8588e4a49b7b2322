#include "notenames.h"

#include <QRegularExpression>

namespace {

const char *const noteLetters[12] = {"C", "C#", "D", "D#", "E", "F",
                                     "F#", "G", "G#", "A", "A#", "B"};

int semitoneOfLetter(QChar letter)
{
    switch (letter.unicode()) {
    case 'A': return 9;
    case 'B': return 11;
    case 'C': return 0;
    case 'D': return 2;
    case 'E': return 4;
    case 'F': return 5;
    case 'G': return 7;
    default: return 0;
    }
}

} // namespace

QString noteLetterName(quint8 note)
{
    return QString::fromLatin1(noteLetters[note % 12]);
}

int noteOctave(quint8 note)
{
    return note / 12 - 2;
}

QString noteNumberToName(int note)
{
    const quint8 n = quint8(note & 0xff);
    return QStringLiteral("%1%2").arg(noteLetterName(n)).arg(noteOctave(n));
}

quint8 noteNumberFromParts(const QString &letters, short octave)
{
    if (letters.isEmpty())
        return 0;
    int semitone = semitoneOfLetter(letters.at(0));
    if (letters.size() >= 2 && letters.at(1) == QLatin1Char('#'))
        ++semitone;
    return quint8(((int(octave) + 2) * 12 + semitone) & 0xff);
}

quint8 noteNameToNumber(const QString &name)
{
    static const QRegularExpression octaveStart(QStringLiteral("-|[0-8]"));
    const QRegularExpressionMatch match = octaveStart.match(name);
    if (!match.hasMatch() || match.capturedStart() == 0)
        return 0;
    const int start = match.capturedStart();
    bool ok = false;
    short octave = name.mid(start).toShort(&ok, 10);
    if (!ok)
        octave = 0;
    return noteNumberFromParts(name.left(start), octave);
}
