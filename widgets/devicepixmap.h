#ifndef DEVICEPIXMAP_H
#define DEVICEPIXMAP_H

#include <QPixmap>
#include <QString>

// The picture file for a screen of the given device pixel ratio. Above 1 it
// is the file's "@2x" sibling ("Name@2x.png" beside "Name.png": twice the
// pixels, the same logical size) when there is one, so that the picture is
// drawn sharp rather than enlarged; otherwise the file itself.
QPixmap devicePixmap(const QString &fileName, qreal devicePixelRatio);

#endif // DEVICEPIXMAP_H
