#ifndef PALETTE_H
#define PALETTE_H

#include <QColor>
#include <QList>
#include <QString>

// One named colour of the process-wide palette.
struct PaletteEntry
{
    QString name;
    QColor color;
};

typedef QList<PaletteEntry> PaletteList;

// The eight named colours, index 0 "Tangerine" to 7 "Nickel", in a fixed order that
// callers use as the index. Names are translated when the list is first built.
const PaletteList &namedPalette();
// The colour of entry index; black outside 0..7.
QColor paletteColor(int index);
// The name of entry index; an empty string outside 0..7.
QString paletteColorName(int index);

#endif // PALETTE_H
