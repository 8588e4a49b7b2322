// The glyph strips of the position display: 13 cells of 10 x 18 pixels
// stacked top to bottom, for the characters "0123456789,.:". The display cuts
// the strips by exactly these numbers. Digits are seven-segment figures; the
// dim strip holds the same figures, faint, for leading groups still at zero.
#include "imagestyle.h"

namespace ImageStyle {
namespace {

constexpr int CellWidth = 10;
constexpr int CellHeight = 18;
const QString Characters = QStringLiteral("0123456789,.:");

// Segments a to g of a figure in its cell: top, upper right, lower right,
// bottom, lower left, upper left, middle.
const QRectF Segments[7] = {
    QRectF(3, 1, 4, 2),  QRectF(7, 3, 2, 5),  QRectF(7, 10, 2, 5), QRectF(3, 15, 4, 2),
    QRectF(1, 10, 2, 5), QRectF(1, 3, 2, 5),  QRectF(3, 8, 4, 2),
};

// Which segments light for each digit, bit 0 being segment a.
const int DigitSegments[10] = {0x3f, 0x06, 0x5b, 0x4f, 0x66, 0x6d, 0x7d, 0x07, 0x7f, 0x6f};

QPainterPath glyph(QChar character)
{
    QPainterPath path;
    if (character.isDigit()) {
        const int lit = DigitSegments[character.digitValue()];
        for (int segment = 0; segment < 7; ++segment) {
            if (lit & (1 << segment))
                path.addRect(Segments[segment]);
        }
    } else if (character == QLatin1Char(',')) {
        path.addRect(QRectF(4, 14, 2, 2));
        path.addRect(QRectF(4, 16, 1, 2));
    } else if (character == QLatin1Char('.')) {
        path.addRect(QRectF(4, 15, 2, 2));
    } else if (character == QLatin1Char(':')) {
        path.addRect(QRectF(4, 5, 2, 2));
        path.addRect(QRectF(4, 11, 2, 2));
    }
    return path;
}

void strip(QPainter &p, const QColor &colour)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int i = 0; i < Characters.size(); ++i) {
        p.save();
        p.translate(0, CellHeight * i);
        fillShape(p, glyph(Characters.at(i)), colour);
        p.restore();
    }
    p.restore();
}

} // namespace

void addLcdGlyphs(Registry &registry)
{
    const QColor solid(26, 34, 28);
    registry.insert("LCDSolidChars.png", [solid](QPainter &p, const QSize &) { strip(p, solid); });
    registry.insert("LCDDimChars.png", [solid](QPainter &p, const QSize &) {
        QColor dim = solid;
        dim.setAlpha(46);
        strip(p, dim);
    });
}

} // namespace ImageStyle
