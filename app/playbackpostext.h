#ifndef PLAYBACKPOSTEXT_H
#define PLAYBACKPOSTEXT_H

#include <QString>
#include <QVariant>

// What the position display of a window shows, as characters: one character a
// visible label of the display's page, in the labels' order. Leading groups
// that are still zero are drawn dim; `dimCount` says how many characters from
// the left are dim. All arithmetic is on 64-bit integers and truncates.
namespace PlaybackPosText {

struct Text
{
    QString chars;
    int dimCount = 0;
};

// "HH:MM:SS.mmm"; the hours count 00 to 59 and wrap.
Text time(quint64 nanoseconds);
// "PPP,PPP.DD": principal and division within it, both from 1. Positions of a
// million principals and more wrap in the six digits.
Text principals(quint64 tick, int divsPerPrincipal);
// "BBB,BBB.UUU": beat and pulse within it (240 a beat), both from 1.
Text beats(quint64 beatTick);

// "DivsPerPrincipal" as the display and paste divide by it: a missing value, a
// non-number or one outside 1 to 665280 is clamped into that range.
int clampedDivsPerPrincipal(const QVariant &value);

} // namespace PlaybackPosText

#endif // PLAYBACKPOSTEXT_H
