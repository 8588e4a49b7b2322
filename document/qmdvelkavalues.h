#ifndef QMDVELKAVALUES_H
#define QMDVELKAVALUES_H

#include "tickpos.h"

#include <QBitArray>
#include <QColor>
#include <QString>
#include <QStringList>
#include <QVariant>

// The readable text forms of network values in document files and on the
// clipboard: element kinds, edge routes and signalling methods as words,
// colours as "#rrggbbaa", positions as "{x, y}", channel masks as "0"/"1".
namespace QmdVelkaValues {

// Where a leaf sits in a network document; it decides which text form applies.
enum class LeafPlace {
    Other,
    RootValue,       // a document-wide key of the root (other than a style colour)
    ElementValue,    // a key of one element of "Elements"
    InstrumentValue, // a key of one record of "Instruments"
    StyleColour      // a root key "Style...Color"
};

// The place of a leaf from its path: the keys from the root down to its own.
LeafPlace leafPlace(const QStringList &path);

// Keys of an element whose int values are written as words: "Type", "Path"
// and "SignallingMethod".
bool isWordKey(const QString &key);
// The word of an int value of such a key; empty for a value without a word.
QString wordOf(const QString &key, int value);
// The word of a whole-number value (or a text of one) of such a key; empty for
// any other value and for a number without a word (those are written as they
// are).
QString wordOf(const QString &key, const QVariant &value);
// The value of a word (any letter case, older words included); 0 for an
// unknown word, with *known false when given.
int valueOfWord(const QString &key, const QString &word, bool *known = nullptr);

// Whole numbers that the document holds unsigned (tempo, ratio, grid
// divisions, element and instrument ids) but that a file cannot mark as
// such: read back as unsigned when they fit, so that their type survives a
// save and a load.
bool isUnsignedKey(LeafPlace place, const QString &key);

// The range of a timing key of the document root, as the Document page
// offers it: "Tempo" 1 to 999 beats per minute, each term of the
// principals-to-beats ratio ("PrincipalsToBeatsNumerator",
// "PrincipalsToBeatsDenominator") 1 to 128; fallback is the key's default.
struct TimingRange
{
    uint lowest;
    uint highest;
    uint fallback;
};
// False for every other key.
bool timingRange(const QString &key, TimingRange *range);
// The value of a timing key kept in its range, as an unsigned number: a
// number (or a text of one) outside it becomes the nearest end, one between
// whole numbers the nearest whole one; anything else the key's default.
// *changed tells whether the result is not the value itself.
QVariant boundedTimingValue(const TimingRange &range, const QVariant &value, bool *changed);

// "#rrggbbaa", lower case.
QString colourText(const QColor &colour);
// "#rrggbb" for an opaque colour, "#rrggbbaa" for a translucent one, empty
// for an invalid one.
QString opaqueColourText(const QColor &colour);
// Reads both forms in any letter case: the alpha digits, when present, give
// the alpha; without them the colour is opaque. Empty text gives an invalid
// colour.
QColor colourFromText(const QString &text);

// "{x, y}" in signed decimal.
QString positionText(const QmdVelka::TickPos &pos);
// Reads "{x, y}" with any blanks after the comma; (0, 0) for anything else.
QmdVelka::TickPos positionFromText(const QString &text);

// One "1" or "0" per bit, in bit order.
QString channelText(const QBitArray &bits);
// Whether the text is made of "0" and "1" only (the empty text included).
bool isChannelText(const QString &text);
// A bit array as long as the text, bit i set where character i is "1".
QBitArray channelsFromText(const QString &text);

} // namespace QmdVelkaValues

#endif // QMDVELKAVALUES_H
