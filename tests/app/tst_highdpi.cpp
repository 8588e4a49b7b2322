#include "displayscale.h"
#include "networkscene.h"
#include "networkview.h"
#include "velkawindow.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QStandardPaths>
#include <QTest>
#include <QToolButton>

// A window on a screen of device pixel ratio 2 (the whole process runs
// scaled by two): pictures come from their "@2x" files, with twice the
// pixels at the same logical size.
class TestHighDpi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void positionDisplayUsesSharpGlyphs();
    void canvasCursorsUseSharpPictures_data();
    void canvasCursorsUseSharpPictures();
};

void TestHighDpi::initTestCase()
{
    QCOMPARE(qApp->devicePixelRatio(), 2.0);
    setDisplayScale(96, 96);
}

void TestHighDpi::positionDisplayUsesSharpGlyphs()
{
    VelkaWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (const LcdGlyphs *glyphs : {&window.solidLcdChars(), &window.dimLcdChars()}) {
        const QPixmap zero = glyphs->glyph(QLatin1Char('0'));
        QCOMPARE(zero.size(), QSize(20, 36));
        QCOMPARE(zero.devicePixelRatio(), 2.0);
        QCOMPARE(zero.deviceIndependentSize(), QSizeF(10, 18));
    }
    const QVector<QLabel *> labels = window.displayLabels(window.playbackPosDisplayMode());
    QVERIFY(!labels.isEmpty());
    QCOMPARE(labels.last()->pixmap().size(), QSize(20, 36));
    QCOMPARE(labels.last()->size(), QSize(10, 24));
}

void TestHighDpi::canvasCursorsUseSharpPictures_data()
{
    QTest::addColumn<QString>("tool");
    QTest::newRow("zoom") << QStringLiteral("zoomTool");
    QTest::newRow("node and edge") << QStringLiteral("nodeAndEdgeTool");
    QTest::newRow("voice group") << QStringLiteral("voiceGroupTool");
}

void TestHighDpi::canvasCursorsUseSharpPictures()
{
    QFETCH(QString, tool);
    VelkaWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *button = window.findChild<QToolButton *>(tool);
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
    auto *view = window.findChild<NetworkView *>();
    QVERIFY(view);
    QTRY_COMPARE(view->viewport()->cursor().shape(), Qt::BitmapCursor);
    const QPixmap picture = view->viewport()->cursor().pixmap();
    QCOMPARE(picture.size(), QSize(32, 32));
    QCOMPARE(picture.devicePixelRatio(), 2.0);
}

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_SCALE_FACTOR", "2");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    TestHighDpi test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_highdpi.moc"
