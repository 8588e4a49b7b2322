#include <QDirIterator>
#include <QIcon>
#include <QImage>
#include <QRegularExpression>
#include <QtTest>

// The pictures of the resource tree: every path the sources name exists with
// its size, every picture has its "@2x" twin, and the position display's glyph
// strips can be cut into 13 glyphs of 10 x 18.
namespace {

struct Picture
{
    const char *path;
    int width, height;
};

// The sizes the program relies on: the buttons, labels and menus that show
// them are laid out for these.
const Picture Pictures[] = {
    {"Tools/SelectionTool.png", 14, 14},
    {"Tools/ZoomTool.png", 14, 14},
    {"Tools/NodeAndEdgeTool.png", 14, 14},
    {"Tools/VoiceGroupTool.png", 14, 14},
    {"Tools/TextBoxTool.png", 14, 14},
    {"Chooser/LeftNormal.png", 40, 24},
    {"Chooser/LeftHover.png", 40, 24},
    {"Chooser/LeftPressed.png", 40, 24},
    {"Chooser/MiddleNormal.png", 40, 24},
    {"Chooser/MiddleHover.png", 40, 24},
    {"Chooser/MiddlePressed.png", 40, 24},
    {"Chooser/RightNormal.png", 40, 24},
    {"Chooser/RightHover.png", 40, 24},
    {"Chooser/RightPressed.png", 40, 24},
    {"MasterControls/GotoStartNormal.png", 35, 35},
    {"MasterControls/GotoStartPressed.png", 35, 35},
    {"MasterControls/PlayNormal.png", 45, 45},
    {"MasterControls/PlayPressed.png", 45, 45},
    {"MasterControls/PauseNormal.png", 45, 45},
    {"MasterControls/PausePressed.png", 45, 45},
    {"LCDNormal.png", 30, 40},
    {"LCDSolidChars.png", 10, 13 * 18},
    {"LCDDimChars.png", 10, 13 * 18},
    {"LCDTimeIcon.png", 16, 16},
    {"LCDPrincipalsIcon.png", 16, 16},
    {"LCDBeatsIcon.png", 16, 16},
    {"DropDownSymbol.png", 9, 6},
    {"Cursors/Crosshair.png", 16, 16},
    {"Cursors/ZoomIn.png", 16, 16},
    {"Cursors/ZoomOut.png", 16, 16},
    {"Cursors/ZoomNone.png", 16, 16},
    {"Inspector/InspectDocument.png", 16, 16},
    {"Inspector/InspectInstrument.png", 16, 16},
    {"Inspector/InspectEdge.png", 16, 16},
    {"Inspector/InspectNode.png", 16, 16},
    {"Inspector/InspectVoiceGroup.png", 16, 16},
    {"Inspector/InspectPageButtonNormal.png", 8, 24},
    {"Inspector/InspectPageButtonPressed.png", 8, 24},
    {"Inspector/InspectPageButtonSelected.png", 8, 24},
    {"Inspector/InspectPageButtonSeparator.png", 1, 24},
    {"Inspector/ListButtonsSpacer.png", 1, 24},
    {"Inspector/ListAddNormal.png", 32, 24},
    {"Inspector/ListAddPressed.png", 32, 24},
    {"Inspector/ListActionNormal.png", 30, 24},
    {"Inspector/ListActionPressed.png", 30, 24},
    {"Inspector/EdgePathCityBlock.png", 16, 16},
    {"Inspector/EdgePathCityBlockFlipped.png", 16, 16},
    {"Inspector/EdgePathDirect.png", 16, 16},
    {"AddDropDownSymbol.png", 17, 8},
    {"EdgeTileAlpha.png", 30, 20},
    {"AlphaPixel.png", 1, 1},
    {"AboutVelka.png", 600, 360},
};

QSize expectedSize(const QString &path)
{
    for (const Picture &picture : Pictures) {
        if (QStringLiteral(":/images/") + QLatin1String(picture.path) == path)
            return QSize(picture.width, picture.height);
    }
    return QSize();
}

int visiblePixels(const QImage &image, const QRect &area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            count += qAlpha(image.pixel(x, y)) > 0;
    }
    return count;
}

constexpr int GlyphWidth = 10;
constexpr int GlyphHeight = 18;
const QString GlyphCharacters = QStringLiteral("0123456789,.:");

} // namespace

class TestImages : public QObject
{
    Q_OBJECT

private slots:
    void pathsNamedInSources();
    void everyPicture_data();
    void everyPicture();
    void pathWithoutSlashAfterColon();
    void lcdGlyphStrips();
};

void TestImages::pathsNamedInSources()
{
    // Picture paths in code, headers and forms, also those written without the
    // slash after the colon (Qt finds ":images/x" at ":/images/x").
    const QRegularExpression pattern(QStringLiteral(":/?images/[A-Za-z0-9_/@]+\\.png"));
    const QDir source(QStringLiteral(VELKA_SOURCE_DIR));
    QStringList named;
    for (const char *folder : {"framework", "document", "engine", "mvc", "widgets", "canvas", "inspector",
                                  "app", "forms"}) {
        QDirIterator files(source.filePath(QLatin1String(folder)), {"*.cpp", "*.h", "*.ui"}, QDir::Files,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
            const QString text = QString::fromUtf8(file.readAll());
            for (const QRegularExpressionMatch &match : pattern.globalMatch(text)) {
                QString path = match.captured();
                if (!path.startsWith(QLatin1String(":/")))
                    path.insert(1, QLatin1Char('/'));
                named << path + QStringLiteral(" (") + source.relativeFilePath(file.fileName()) + ')';
            }
        }
    }
    for (const QString &entry : std::as_const(named)) {
        const QString path = entry.section(QLatin1Char(' '), 0, 0);
        const QSize size = expectedSize(path);
        QVERIFY2(size.isValid(), qPrintable(entry + " is not one of the program's pictures"));
        const QImage image(path);
        QVERIFY2(!image.isNull(), qPrintable(entry + " does not load"));
        QCOMPARE(image.size(), size);
    }
}

void TestImages::everyPicture_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    for (const Picture &picture : Pictures)
        QTest::newRow(picture.path) << QStringLiteral(":/images/") + picture.path
                                    << QSize(picture.width, picture.height);
}

void TestImages::everyPicture()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);

    const QImage image(path);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), size);
    const QString path2x = path.chopped(4) + QStringLiteral("@2x.png");
    const QImage image2x(path2x);
    QVERIFY(!image2x.isNull());
    QCOMPARE(image2x.size(), size * 2);

    // A picture shows something; the one transparent pixel is meant to show nothing.
    const int visible = visiblePixels(image, image.rect());
    if (path.endsWith(QLatin1String("AlphaPixel.png")))
        QCOMPARE(visible, 0);
    else
        QVERIFY(visible > 0);
}

void TestImages::pathWithoutSlashAfterColon()
{
    const QImage image(QStringLiteral(":images/Inspector/EdgePathDirect.png"));
    QCOMPARE(image.size(), QSize(16, 16));
    QVERIFY(!QIcon(QStringLiteral(":images/Inspector/EdgePathCityBlock.png")).isNull());
}

void TestImages::lcdGlyphStrips()
{
    const QImage solid(QStringLiteral(":/images/LCDSolidChars.png"));
    const QImage dim(QStringLiteral(":/images/LCDDimChars.png"));
    const QSize stripSize(GlyphWidth, GlyphHeight * int(GlyphCharacters.size()));
    QCOMPARE(solid.size(), stripSize);
    QCOMPARE(dim.size(), stripSize);

    QList<QImage> solidGlyphs;
    for (int i = 0; i < GlyphCharacters.size(); ++i) {
        const QRect cell(0, GlyphHeight * i, GlyphWidth, GlyphHeight);
        const QString character = GlyphCharacters.mid(i, 1);
        QVERIFY2(visiblePixels(solid, cell) > 0, qPrintable("solid " + character));
        QVERIFY2(visiblePixels(dim, cell) > 0, qPrintable("dim " + character));
        // Dim and solid glyphs show the same figure, the dim one fainter.
        int solidAlpha = 0, dimAlpha = 0;
        for (int y = cell.top(); y <= cell.bottom(); ++y) {
            for (int x = cell.left(); x <= cell.right(); ++x) {
                QCOMPARE(qAlpha(dim.pixel(x, y)) > 0, qAlpha(solid.pixel(x, y)) > 0);
                solidAlpha += qAlpha(solid.pixel(x, y));
                dimAlpha += qAlpha(dim.pixel(x, y));
            }
        }
        QVERIFY2(dimAlpha * 3 < solidAlpha, qPrintable(character));
        // Each figure is unlike the others.
        const QImage glyph = solid.copy(cell);
        QVERIFY2(!solidGlyphs.contains(glyph), qPrintable(character + " looks like another glyph"));
        solidGlyphs << glyph;
    }
}

QTEST_MAIN(TestImages)
#include "tst_images.moc"
