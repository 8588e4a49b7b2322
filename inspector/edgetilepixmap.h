#ifndef EDGETILEPIXMAP_H
#define EDGETILEPIXMAP_H

#include <QColor>
#include <QPixmap>

// The picture of an edge tile: the colour under the shared tile shading
// (":/images/EdgeTileAlpha.png", scaled to the whole tile). Without that picture the
// tile is the plain colour.
QPixmap edgeTilePixmap(const QColor &color, int width, int height);
// The same for the named palette entry paletteIndex (black outside the palette).
QPixmap edgeTilePixmap(int paletteIndex, int width, int height);

#endif // EDGETILEPIXMAP_H
