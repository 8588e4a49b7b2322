#ifndef LCDGLYPHS_H
#define LCDGLYPHS_H

#include <QChar>
#include <QHash>
#include <QPixmap>
#include <QString>

// The glyphs of the position display, cut once from a vertical strip picture:
// one glyph a character of "0123456789,.:", top to bottom, each a thirteenth of
// the strip's height. On a screen of a device pixel ratio above 1 the strip
// drawn at twice the size ("@2x") is cut: glyphs of twice the pixels with the
// same logical size.
class LcdGlyphs
{
public:
    static QString characters() { return QStringLiteral("0123456789,.:"); }

    LcdGlyphs() = default;
    explicit LcdGlyphs(const QString &stripFileName, qreal devicePixelRatio = 1.0);

    // A null pixmap for a character the strip has no glyph for.
    QPixmap glyph(QChar c) const { return m_glyphs.value(c); }
    const QHash<QChar, QPixmap> &table() const { return m_glyphs; }

private:
    QHash<QChar, QPixmap> m_glyphs;
};

#endif // LCDGLYPHS_H
