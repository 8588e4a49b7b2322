#include "palette.h"

#include <QObject>

namespace {

PaletteList buildPalette()
{
    return PaletteList{
        {QObject::tr("Tangerine"), QColor(255, 128, 0)},
        {QObject::tr("Pistachio"), QColor(131, 204, 7)},
        {QObject::tr("Aqua"), QColor(0, 128, 255)},
        {QObject::tr("Grape"), QColor(128, 0, 255)},
        {QObject::tr("Strawberry"), QColor(255, 0, 128)},
        {QObject::tr("Asparagus"), QColor(128, 128, 0)},
        {QObject::tr("Mocha"), QColor(128, 64, 0)},
        {QObject::tr("Nickel"), QColor(128, 128, 128)},
    };
}

bool inPalette(int index)
{
    return index >= 0 && index < namedPalette().size();
}

} // namespace

const PaletteList &namedPalette()
{
    static const PaletteList palette = buildPalette();
    return palette;
}

QColor paletteColor(int index)
{
    return inPalette(index) ? namedPalette().at(index).color : QColor(Qt::black);
}

QString paletteColorName(int index)
{
    return inPalette(index) ? namedPalette().at(index).name : QString();
}
