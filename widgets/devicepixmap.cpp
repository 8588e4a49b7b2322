#include "devicepixmap.h"

QPixmap devicePixmap(const QString &fileName, qreal devicePixelRatio)
{
    if (devicePixelRatio > 1.0) {
        const int dot = fileName.lastIndexOf(QLatin1Char('.'));
        const int slash = fileName.lastIndexOf(QLatin1Char('/'));
        const int end = dot > slash ? dot : int(fileName.size());
        QPixmap sharp(QString(fileName).insert(end, QStringLiteral("@2x")));
        if (!sharp.isNull()) {
            sharp.setDevicePixelRatio(2.0);
            return sharp;
        }
    }
    return QPixmap(fileName);
}
