#include "voicerules.h"

#include <QtTest>

// The list, note, duration and edge-choice rules of a node, on their own.
class TestVoiceStepRules : public QObject
{
    Q_OBJECT

private slots:
    void listField_data();
    void listField();
    void pitchField_data();
    void pitchField();
    void velocityField_data();
    void velocityField();
    void durationField_data();
    void durationField();
    void userMidiMessage_data();
    void userMidiMessage();
    void sequentialChoice_data();
    void sequentialChoice();
    void randomChoiceWeights_data();
    void randomChoiceWeights();
    void randomIntBounds();
    void parallelChoice_data();
    void parallelChoice();
};

void TestVoiceStepRules::listField_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<quint32>("cursor");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("field");
    QTest::addColumn<quint32>("cursorAfter");

    QTest::newRow("first") << "C3,E3,G3" << 0u << true << "C3" << 0u;
    QTest::newRow("last") << "C3,E3,G3" << 2u << true << "G3" << 2u;
    QTest::newRow("past the end wraps") << "C3,E3,G3" << 3u << true << "C3" << 0u;
    QTest::newRow("far past the end wraps") << "C3,E3" << 4000000000u << true << "C3" << 0u;
    QTest::newRow("empty fields skipped") << "C3,,E3" << 1u << true << "E3" << 1u;
    QTest::newRow("leading empty field skipped") << ",E3" << 0u << true << "E3" << 0u;
    QTest::newRow("spaces kept") << " C3, E3" << 1u << true << " E3" << 1u;
    QTest::newRow("only empty fields") << ",," << 2u << false << QString() << 0u;
}

void TestVoiceStepRules::listField()
{
    QFETCH(QString, list);
    QFETCH(quint32, cursor);
    QFETCH(bool, found);
    QFETCH(QString, field);
    QFETCH(quint32, cursorAfter);

    QString taken;
    QCOMPARE(VoiceRules::listField(list, &cursor, &taken), found);
    QCOMPARE(cursor, cursorAfter);
    if (found)
        QCOMPARE(taken, field);
}

void TestVoiceStepRules::pitchField_data()
{
    QTest::addColumn<int>("pitch");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("result");

    QTest::newRow("note name") << 10 << "C3" << 60;
    QTest::newRow("sharp") << 10 << "C#3" << 61;
    QTest::newRow("lowest note") << 10 << "C-2" << 0;
    QTest::newRow("highest note") << 10 << "G8" << 127;
    QTest::newRow("G#8 is past the MIDI range") << 10 << "G#8" << 127;
    QTest::newRow("C20 keeps its low 8 bits") << 10 << "C20" << 8;
    QTest::newRow("up an octave") << 60 << "+12" << 72;
    QTest::newRow("down one") << 60 << "-1" << 59;
    QTest::newRow("stops at 127") << 126 << "+2" << 127;
    QTest::newRow("stops at 0") << 1 << "-5" << 0;
    QTest::newRow("huge step") << 60 << "+99999999999" << 127;
    QTest::newRow("unreadable step") << 60 << "+x" << 60;
}

void TestVoiceStepRules::pitchField()
{
    QFETCH(int, pitch);
    QFETCH(QString, field);
    QFETCH(int, result);
    QCOMPARE(int(VoiceRules::applyPitchField(quint8(pitch), field)), result);
}

void TestVoiceStepRules::velocityField_data()
{
    QTest::addColumn<int>("velocity");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("result");

    QTest::newRow("value") << 10 << "100" << 100;
    QTest::newRow("above 127") << 10 << "300" << 127;
    QTest::newRow("not a number") << 10 << "loud" << 0;
    QTest::newRow("up") << 100 << "+10" << 110;
    QTest::newRow("up past 127") << 120 << "+10" << 127;
    QTest::newRow("down past 0") << 5 << "-10" << 0;
}

void TestVoiceStepRules::velocityField()
{
    QFETCH(int, velocity);
    QFETCH(QString, field);
    QFETCH(int, result);
    QCOMPARE(int(VoiceRules::applyVelocityField(quint8(velocity), field)), result);
}

void TestVoiceStepRules::durationField_data()
{
    QTest::addColumn<quint64>("duration");
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("travelFound");
    QTest::addColumn<quint64>("travel");
    QTest::addColumn<quint64>("result");

    const quint64 p = 665280;
    QTest::newRow("one principal") << quint64(5) << "1.0" << true << quint64(999) << p;
    QTest::newRow("quarter principal") << quint64(5) << "0.25" << false << quint64(0) << p / 4;
    QTest::newRow("100% of the travel time") << quint64(5) << "100%" << true << quint64(1000) << quint64(1000);
    QTest::newRow("100% without an edge") << quint64(5) << "100%" << false << quint64(0) << p;
    QTest::newRow("100% of a wormhole") << quint64(5) << "100%" << true << quint64(0) << quint64(0);
    QTest::newRow("+50% of the travel time") << quint64(100) << "+50%" << true << quint64(1000) << quint64(600);
    QTest::newRow("-50% of the travel time") << quint64(1000) << "-50%" << true << quint64(1000) << quint64(500);
    QTest::newRow("+1 principal") << quint64(10) << "+1" << false << quint64(0) << p + 10;
    QTest::newRow("minus more than there is") << quint64(10) << "-1" << false << quint64(0) << quint64(0);
    QTest::newRow("halves round away from zero") << quint64(0) << "+50%" << true << quint64(1) << quint64(1);
    QTest::newRow("addend rounded before adding") << quint64(2) << "-150%" << true << quint64(1) << quint64(0);
    QTest::newRow("double") << quint64(300) << "*2" << false << quint64(0) << quint64(600);
    QTest::newRow("double ignored with a travel time") << quint64(300) << "*2%" << true << quint64(50) << quint64(300);
    QTest::newRow("double without travel time") << quint64(300) << "*2%" << false << quint64(0) << quint64(600);
    QTest::newRow("times a non-number") << quint64(300) << "*x" << false << quint64(0) << quint64(0);
    QTest::newRow("half") << quint64(301) << "/2" << false << quint64(0) << quint64(151);
    QTest::newRow("divided by zero") << quint64(300) << "/0" << false << quint64(0) << quint64(300);
    QTest::newRow("divided by a non-number") << quint64(300) << "/x" << false << quint64(0) << quint64(300);
    QTest::newRow("divided by a negative") << quint64(300) << "/-2" << false << quint64(0) << quint64(0);
    QTest::newRow("negative value") << quint64(300) << "-0.0001" << false << quint64(0) << quint64(233);
    QTest::newRow("longest note") << quint64(0) << "10000" << false << quint64(0) << quint64(6652800000ull);
    QTest::newRow("longer than the longest") << quint64(0) << "1e300" << false << quint64(0) << quint64(6652800000ull);
    QTest::newRow("infinite") << quint64(7) << "*inf" << false << quint64(0) << quint64(6652800000ull);
    QTest::newRow("minus infinite") << quint64(7) << "-inf" << false << quint64(0) << quint64(0);
    QTest::newRow("not a number at all") << quint64(7) << "*nan" << false << quint64(0) << quint64(7);
    QTest::newRow("unreadable plain value") << quint64(7) << "long" << false << quint64(0) << quint64(0);
}

void TestVoiceStepRules::durationField()
{
    QFETCH(quint64, duration);
    QFETCH(QString, field);
    QFETCH(bool, travelFound);
    QFETCH(quint64, travel);
    QFETCH(quint64, result);
    QCOMPARE(VoiceRules::applyDurationField(duration, field, travelFound, travel), result);
}

void TestVoiceStepRules::userMidiMessage_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QList<QByteArray>>("sent");

    const QByteArray controller("\xb0\x07\x64", 3);
    const QByteArray program("\xc0\x05", 2);
    QTest::newRow("bare hexadecimal") << "b0 07 64" << QList<QByteArray>{controller, controller};
    QTest::newRow("as the field writes them") << "0xb0 0x7 0x64,0xc0 0x5" << QList<QByteArray>{controller, program, controller};
    QTest::newRow("upper case") << "C0 5,0XC0 0X5" << QList<QByteArray>{program, program};
    QTest::newRow("runs of white space") << " b0\t07  64 " << QList<QByteArray>{controller, controller};
    QTest::newRow("empty entries skipped") << ",b0 07 64,,c0 05," << QList<QByteArray>{controller, program, controller};
    // A typo must not send bytes nobody wrote: the unreadable message is
    // skipped as an empty entry is.
    QTest::newRow("bytes run together") << "0x0b0x7b 0x00,0xc0 0x5" << QList<QByteArray>{program, program};
    QTest::newRow("unreadable part") << "zz 01,c0 05" << QList<QByteArray>{program, program};
    QTest::newRow("three digits") << "1ff,c0 05" << QList<QByteArray>{program, program};
    QTest::newRow("bare prefix") << "0x,c0 05" << QList<QByteArray>{program, program};
    QTest::newRow("sign") << "+b0 07" << QList<QByteArray>{};
    QTest::newRow("nothing readable") << "zz,,0x" << QList<QByteArray>{};
}

// The messages sent by successive arrivals, the cursor going round the list.
void TestVoiceStepRules::userMidiMessage()
{
    QFETCH(QString, list);
    QFETCH(QList<QByteArray>, sent);
    const int arrivals = qMax(int(sent.size()), 2);
    quint32 cursor = 0;
    QList<QByteArray> played;
    for (int i = 0; i < arrivals; ++i) {
        std::vector<unsigned char> bytes;
        if (VoiceRules::userMidiMessage(list, &cursor, &bytes))
            played.append(QByteArray(reinterpret_cast<const char *>(bytes.data()), int(bytes.size())));
        ++cursor;
    }
    if (sent.isEmpty())
        QVERIFY(played.isEmpty());
    else
        QCOMPARE(played, sent);
}

void TestVoiceStepRules::sequentialChoice_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QList<QmdItemId>>("edges");

    QTest::newRow("counts") << "5=2,7=1" << QList<QmdItemId>{5, 5, 7, 5, 5, 7, 5};
    QTest::newRow("count 0 repeats forever") << "5=0,7=1" << QList<QmdItemId>{5, 5, 5, 5};
    QTest::newRow("empty field ends the list") << "5=1,,7=1" << QList<QmdItemId>{5, 5, 5};
    QTest::newRow("missing count") << "5,7=1" << QList<QmdItemId>{5, 5, 5};
    QTest::newRow("single") << "9=1" << QList<QmdItemId>{9, 9, 9};
    QTest::newRow("unreadable edge id") << "x=1,7=1" << QList<QmdItemId>{0, 7, 0, 7};
}

void TestVoiceStepRules::sequentialChoice()
{
    QFETCH(QString, list);
    QFETCH(QList<QmdItemId>, edges);

    quint32 index = 0;
    qint32 uses = 0;
    QList<QmdItemId> taken;
    for (int visit = 0; visit < edges.size(); ++visit) {
        QmdItemId edge = 0;
        QVERIFY(VoiceRules::chooseSequential(list, &index, &uses, &edge));
        taken.append(edge);
    }
    QCOMPARE(taken, edges);
}

void TestVoiceStepRules::randomChoiceWeights_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<double>("shareOf5");

    QTest::newRow("a quarter") << "5=1,7=3" << 0.25;
    QTest::newRow("even") << "5=2,,7=2" << 0.5;
    QTest::newRow("count 0 always taken") << "7=3,5=0" << 1.0;
    QTest::newRow("unreadable count is 0") << "5=0x,7=3" << 1.0;
}

void TestVoiceStepRules::randomChoiceWeights()
{
    QFETCH(QString, list);
    QFETCH(double, shareOf5);

    const int draws = 8000;
    int fives = 0;
    for (int i = 0; i < draws; ++i) {
        const QmdItemId edge = VoiceRules::chooseRandom(list);
        QVERIFY(edge == 5 || edge == 7);
        if (edge == 5)
            ++fives;
    }
    QVERIFY2(qAbs(double(fives) / draws - shareOf5) < 0.03, qPrintable(QString::number(fives)));
}

void TestVoiceStepRules::randomIntBounds()
{
    QSet<qint64> seen;
    for (int i = 0; i < 2000; ++i) {
        const qint64 value = VoiceRules::randomInt(3, -1);
        QVERIFY(value >= -1 && value <= 3);
        seen.insert(value);
    }
    QCOMPARE(seen.size(), 5);
    QCOMPARE(VoiceRules::chooseRandom(QString()), QmdItemId(0));
    QCOMPARE(VoiceRules::chooseRandom(QStringLiteral(",,")), QmdItemId(0));
}

void TestVoiceStepRules::parallelChoice_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QmdItemId>("first");
    QTest::addColumn<QList<QmdItemId>>("further");

    // Travel times: edge 1 100 ticks, 2 and 3 300 ticks, 4 a wormhole; 9 is no edge.
    QTest::newRow("first of the longest") << "1=1,2=1,3=1" << QmdItemId(2) << QList<QmdItemId>{1, 3};
    QTest::newRow("unknown edges skipped") << "9=1,1=1,,4=1" << QmdItemId(1) << QList<QmdItemId>{4};
    QTest::newRow("first named twice") << "3=1,1=1,3=1" << QmdItemId(3) << QList<QmdItemId>{1};
    QTest::newRow("wormhole alone") << "4=1" << QmdItemId(4) << QList<QmdItemId>{};
    QTest::newRow("nothing travellable") << "9=1" << QmdItemId(0) << QList<QmdItemId>{};
}

void TestVoiceStepRules::parallelChoice()
{
    QFETCH(QString, list);
    QFETCH(QmdItemId, first);
    QFETCH(QList<QmdItemId>, further);

    const QHash<QmdItemId, quint64> times{{1, 100}, {2, 300}, {3, 300}, {4, 0}};
    auto travelTime = [&](QmdItemId edge, quint64 *ticks) {
        if (!times.contains(edge))
            return false;
        *ticks = times.value(edge);
        return true;
    };
    QmdItemId takenFirst = 99;
    QmdItemIdList takenFurther{42};
    VoiceRules::chooseParallel(list, travelTime, &takenFirst, &takenFurther);
    QCOMPARE(takenFirst, first);
    QCOMPARE(takenFurther, further);
}

QTEST_APPLESS_MAIN(TestVoiceStepRules)

#include "tst_voicesteprules.moc"
