#include "edgetilepixmap.h"

#include "palette.h"

#include <QImage>
#include <QPainter>

namespace {

// Loaded on first use, and again later while it could not be loaded.
const QPixmap &tileShading()
{
    static QPixmap shading;
    if (shading.isNull())
        shading.load(QStringLiteral(":/images/EdgeTileAlpha.png"));
    return shading;
}

} // namespace

QPixmap edgeTilePixmap(const QColor &color, int width, int height)
{
    QImage image(qMax(width, 1), qMax(height, 1), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.fillRect(image.rect(), QBrush(color));
    const QPixmap &shading = tileShading();
    if (!shading.isNull())
        painter.drawPixmap(image.rect(), shading);
    painter.end();
    return QPixmap::fromImage(image);
}

QPixmap edgeTilePixmap(int paletteIndex, int width, int height)
{
    return edgeTilePixmap(paletteColor(paletteIndex), width, height);
}
