#include "arcusageentry.h"
#include "displayscale.h"
#include "edgelength.h"
#include "elementtypename.h"
#include "notenames.h"
#include "outputportnames.h"
#include "palette.h"
#include "tickrounding.h"

#include <QImage>
#include <QtTest>

#include <cmath>
#include <limits>

using QmdVelka::TickPos;

class TestNetworkUnits : public QObject
{
    Q_OBJECT

private slots:
    void displayScaleFromResolution();
    void unusableResolutionKeepsScale();
    void palette_data();
    void palette();
    void elementTypeNames();
    void noteNameToNumber_data();
    void noteNameToNumber();
    void noteNumberToName_data();
    void noteNumberToName();
    void edgePathLength_data();
    void edgePathLength();
    void roundToTick_data();
    void roundToTick();
    void arcUsageEntries_data();
    void arcUsageEntries();
    void defaultOutputPort_data();
    void defaultOutputPort();
    void outputPortSource();
};

void TestNetworkUnits::displayScaleFromResolution()
{
    QImage device(4, 4, QImage::Format_RGB32);
    device.setDotsPerMeterX(qRound(96 / 0.0254));
    device.setDotsPerMeterY(qRound(72 / 0.0254));
    QCOMPARE(setDisplayScaleFromDevice(&device), quint64(665280));
    QCOMPARE(device.logicalDpiX(), 96);
    QCOMPARE(displayScaleX(), 96.0 / 72.0);
    QCOMPARE(displayScaleY(), 1.0);
    // 96 DPI: 160 pixels per principal, 4158 ticks per pixel.
    QCOMPARE(pixelsPerTickX() * 665280.0, 160.0);
    QCOMPARE(ticksPerPixelX(), 4158.0);
    QCOMPARE(ticksPerPixelY(), 665280.0 / 120.0);
    QCOMPARE(pixelsPerTickY(), 120.0 / 665280.0);
}

void TestNetworkUnits::unusableResolutionKeepsScale()
{
    setDisplayScale(144, 144);
    setDisplayScale(0, 96);
    setDisplayScale(96, std::nan(""));
    setDisplayScale(-72, 96);
    QCOMPARE(setDisplayScaleFromDevice(nullptr), quint64(665280));
    QCOMPARE(displayScaleX(), 2.0);
    QCOMPARE(displayScaleY(), 2.0);
    QCOMPARE(ticksPerPixelX(), 2772.0);
}

void TestNetworkUnits::palette_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QColor>("color");
    QTest::addColumn<QString>("name");
    QTest::newRow("first") << 0 << QColor(255, 128, 0) << "Tangerine";
    QTest::newRow("pistachio") << 1 << QColor(131, 204, 7) << "Pistachio";
    QTest::newRow("aqua") << 2 << QColor(0, 128, 255) << "Aqua";
    QTest::newRow("mocha") << 6 << QColor(128, 64, 0) << "Mocha";
    QTest::newRow("last") << 7 << QColor(128, 128, 128) << "Nickel";
    QTest::newRow("below") << -1 << QColor(Qt::black) << QString();
    QTest::newRow("above") << 8 << QColor(Qt::black) << QString();
}

void TestNetworkUnits::palette()
{
    QFETCH(int, index);
    QFETCH(QColor, color);
    QFETCH(QString, name);
    QCOMPARE(paletteColor(index), color);
    QCOMPARE(paletteColor(index).alpha(), 255);
    QCOMPARE(paletteColorName(index), name);
    QCOMPARE(namedPalette().size(), 8);
    QCOMPARE(&namedPalette(), &namedPalette());
}

void TestNetworkUnits::elementTypeNames()
{
    const QStringList expected{"Invalid", "Edge", "Node", "Text Box", "Voice Group"};
    for (int type = 0; type < expected.size(); ++type)
        QCOMPARE(elementTypeName(type), expected.at(type));
    QVERIFY(elementTypeName(5).isEmpty());
    QVERIFY(elementTypeName(-1).isEmpty());
}

void TestNetworkUnits::noteNameToNumber_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("number");
    QTest::newRow("middle C") << "C3" << 60;
    QTest::newRow("sharp") << "C#3" << 61;
    QTest::newRow("negative octave") << "A-1" << 21;
    QTest::newRow("lowest") << "C-2" << 0;
    QTest::newRow("highest MIDI") << "G8" << 127;
    QTest::newRow("past MIDI") << "G#8" << 128;
    QTest::newRow("octave 9 is not an octave") << "C9" << 0;
    QTest::newRow("no letters") << "3" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("flat sign ignored") << "Db3" << 62;
    QTest::newRow("lower-case letter") << "a3" << 60;
    QTest::newRow("octave text not a number") << "C3x" << 24;
    QTest::newRow("kept to 8 bits") << "C20" << 8;
    QTest::newRow("B sharp") << "B#3" << 72;
    QTest::newRow("E sharp") << "E#3" << 65;
}

void TestNetworkUnits::noteNameToNumber()
{
    QFETCH(QString, name);
    QFETCH(int, number);
    QCOMPARE(int(::noteNameToNumber(name)), number);
}

void TestNetworkUnits::noteNumberToName_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("name");
    QTest::newRow("0") << 0 << "C-2";
    QTest::newRow("60") << 60 << "C3";
    QTest::newRow("61") << 61 << "C#3";
    QTest::newRow("127") << 127 << "G8";
    QTest::newRow("255") << 255 << "D#19";
    QTest::newRow("256 wraps to 0") << 256 << "C-2";
}

void TestNetworkUnits::noteNumberToName()
{
    QFETCH(int, number);
    QFETCH(QString, name);
    QCOMPARE(::noteNumberToName(number), name);
    if (number < 128)
        QCOMPARE(int(::noteNameToNumber(name)), number);
}

void TestNetworkUnits::edgePathLength_data()
{
    constexpr qint64 P = 665280;
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    QTest::addColumn<TickPos>("a");
    QTest::addColumn<TickPos>("b");
    QTest::addColumn<int>("path");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<bool>("ok");
    QTest::newRow("city block") << TickPos(0, 0) << TickPos(P, -P) << 0 << 2 * P << true;
    QTest::newRow("flipped") << TickPos(0, 0) << TickPos(P, -P) << 1 << 2 * P << true;
    QTest::newRow("direct rounds") << TickPos(0, 0) << TickPos(P, -P) << 2 << qint64(940848) << true;
    QTest::newRow("direct exact") << TickPos(3, 4) << TickPos(0, 0) << 2 << qint64(5) << true;
    QTest::newRow("same place") << TickPos(7, 7) << TickPos(7, 7) << 2 << qint64(0) << true;
    QTest::newRow("unknown path") << TickPos(0, 0) << TickPos(P, P) << 3 << qint64(0) << true;
    QTest::newRow("negative path") << TickPos(0, 0) << TickPos(P, P) << -1 << qint64(0) << true;
    QTest::newRow("largest city block") << TickPos(0, 0) << TickPos(max, 0) << 0 << max << true;
    QTest::newRow("city block overflow x") << TickPos(min, 0) << TickPos(max, 0) << 0 << max << false;
    QTest::newRow("city block overflow sum") << TickPos(0, 0) << TickPos(max, 1) << 1 << max << false;
    QTest::newRow("direct overflow") << TickPos(min, min) << TickPos(max, max) << 2 << max << false;
    QTest::newRow("direct huge but fits") << TickPos(0, 0) << TickPos(qint64(1) << 60, 0) << 2
                                          << (qint64(1) << 60) << true;
}

void TestNetworkUnits::edgePathLength()
{
    QFETCH(TickPos, a);
    QFETCH(TickPos, b);
    QFETCH(int, path);
    QFETCH(qint64, length);
    QFETCH(bool, ok);
    bool gotOk = !ok;
    QCOMPARE(::edgePathLength(a, b, path, &gotOk), length);
    QCOMPARE(gotOk, ok);
    QCOMPARE(::edgePathLength(b, a, path), length);
}

void TestNetworkUnits::roundToTick_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("ticks");
    QTest::addColumn<bool>("ok");
    QTest::newRow("half up") << 2.5 << qint64(3) << true;
    QTest::newRow("half away from zero") << -2.5 << qint64(-3) << true;
    QTest::newRow("below half") << 940847.9988 << qint64(940848) << true;
    QTest::newRow("lowest") << -9223372036854775808.0 << std::numeric_limits<qint64>::min() << true;
    QTest::newRow("too large") << 1e19 << std::numeric_limits<qint64>::max() << false;
    QTest::newRow("too small") << -1e19 << std::numeric_limits<qint64>::min() << false;
    QTest::newRow("infinite") << HUGE_VAL << qint64(0) << false;
    QTest::newRow("not a number") << std::nan("") << qint64(0) << false;
}

void TestNetworkUnits::roundToTick()
{
    QFETCH(double, value);
    QFETCH(qint64, ticks);
    QFETCH(bool, ok);
    bool gotOk = !ok;
    QCOMPARE(::roundToTick(value, &gotOk), ticks);
    QCOMPARE(gotOk, ok);
}

void TestNetworkUnits::arcUsageEntries_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<uint>("edge");
    QTest::addColumn<int>("uses");
    QTest::newRow("full") << "17=3" << 17u << 3;
    QTest::newRow("no uses") << "17" << 17u << 0;
    QTest::newRow("not a number") << "x=3" << 0u << 3;
    QTest::newRow("third part ignored") << "4=2=9" << 4u << 2;
    QTest::newRow("empty") << "" << 0u << 0;
}

void TestNetworkUnits::arcUsageEntries()
{
    QFETCH(QString, entry);
    QFETCH(uint, edge);
    QFETCH(int, uses);
    QCOMPARE(arcUsageEntryEdgeId(entry), edge);
    QCOMPARE(arcUsageEntryUses(entry), uses);
}

void TestNetworkUnits::defaultOutputPort_data()
{
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("first synth in port order")
        << QStringList{"Out 10", "Out 2", "Wave Synth 3", "Wave Synth 1"} << "Wave Synth 1";
    QTest::newRow("no synth") << QStringList{"Out 10", "Out 2"} << "Out 2";
    QTest::newRow("any letter case") << QStringList{"A", "FLUIDSYNTH"} << "FLUIDSYNTH";
    QTest::newRow("no ports") << QStringList() << QString();
}

void TestNetworkUnits::defaultOutputPort()
{
    QFETCH(QStringList, ports);
    QFETCH(QString, chosen);
    QCOMPARE(OutputPortNames::chooseDefault(QSet<QString>(ports.begin(), ports.end())), chosen);
}

void TestNetworkUnits::outputPortSource()
{
    QVERIFY(OutputPortNames::available().isEmpty());
    OutputPortNames::setSource([] { return QSet<QString>{"Out 1"}; });
    QCOMPARE(OutputPortNames::available(), QSet<QString>{"Out 1"});
    OutputPortNames::setSource({});
    QVERIFY(OutputPortNames::available().isEmpty());
}

QTEST_GUILESS_MAIN(TestNetworkUnits)

#include "tst_networkunits.moc"
