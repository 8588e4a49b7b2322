#include "edgetilepixmap.h"
#include "palette.h"

#include <QtTest>

// The tile picture: the colour under the shared shading, light above and dark
// below, at any size.
class EdgeTilePixmapTest : public QObject
{
    Q_OBJECT

private slots:
    void shadesTheColour_data();
    void shadesTheColour();
};

void EdgeTilePixmapTest::shadesTheColour_data()
{
    QTest::addColumn<int>("paletteIndex");
    QTest::addColumn<QSize>("size");

    QTest::newRow("tile") << 0 << QSize(30, 19);
    QTest::newRow("menu icon") << 5 << QSize(30, 20);
    QTest::newRow("outside the palette") << 8 << QSize(30, 40);
}

void EdgeTilePixmapTest::shadesTheColour()
{
    QFETCH(int, paletteIndex);
    QFETCH(QSize, size);

    const QImage image = edgeTilePixmap(paletteIndex, size.width(), size.height()).toImage();
    QCOMPARE(image.size(), size);
    const QColor color = paletteColor(paletteIndex);
    const QColor top = image.pixelColor(size.width() / 2, 2);
    const QColor middle = image.pixelColor(size.width() / 2, size.height() / 2);
    const QColor bottom = image.pixelColor(size.width() / 2, size.height() - 3);
    QCOMPARE(middle.alpha(), 255);
    QVERIFY2(top.lightness() > color.lightness(), qPrintable(top.name()));
    QVERIFY2(bottom.lightness() < middle.lightness() || color.lightness() == 0, qPrintable(bottom.name()));
    QVERIFY2(qAbs(middle.hue() - color.hue()) <= 4 || color.hue() < 0, qPrintable(middle.name()));

    // The overload with a colour gives the same picture.
    QCOMPARE(edgeTilePixmap(color, size.width(), size.height()).toImage(), image);
}

QTEST_MAIN(EdgeTilePixmapTest)
#include "tst_edgetilepixmap.moc"
