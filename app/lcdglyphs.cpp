#include "lcdglyphs.h"

#include "devicepixmap.h"

LcdGlyphs::LcdGlyphs(const QString &stripFileName, qreal devicePixelRatio)
{
    const QPixmap strip = devicePixmap(stripFileName, devicePixelRatio);
    const QString chars = characters();
    if (strip.isNull())
        return;
    const int height = strip.height() / chars.size();
    for (int i = 0; i < chars.size(); ++i) {
        QPixmap glyph = strip.copy(0, i * height, strip.width(), height);
        glyph.setDevicePixelRatio(strip.devicePixelRatio());
        m_glyphs.insert(chars.at(i), glyph);
    }
}
