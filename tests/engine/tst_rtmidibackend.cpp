#include "midiinput.h"
#include "midioutput.h"
#include "rtmidibackend.h"

#include <QtTest>

// The MIDI library without a MIDI system to talk to (no JACK server, no ALSA
// sequencer device): every call fails with the library's message and a false
// result; nothing throws. Failing port listings are reported once, not at every
// poll.
class TestRtMidiBackend : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void failsCleanlyWithoutAMidiSystem_data();
    void failsCleanlyWithoutAMidiSystem();
    void chosenApi();
};

void TestRtMidiBackend::initTestCase()
{
    qputenv("JACK_DEFAULT_SERVER", QByteArray("velka-absent-") + QByteArray::number(QCoreApplication::applicationPid()));
    qputenv("JACK_NO_START_SERVER", "1");
}

void TestRtMidiBackend::failsCleanlyWithoutAMidiSystem_data()
{
    QTest::addColumn<QByteArray>("api");
    QTest::newRow("jack") << QByteArray("jack");
    if (!QFile::exists("/dev/snd/seq"))
        QTest::newRow("alsa") << QByteArray("alsa");
}

void TestRtMidiBackend::failsCleanlyWithoutAMidiSystem()
{
    QFETCH(QByteArray, api);
    qputenv("VELKA_MIDI_API", api);

    // The first failure of the process is reported; the rows share it.
    static bool reported = false;
    if (!reported)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Cannot list MIDI ports: .+"));
    reported = true;
    QVERIFY(MidiOutput::availablePortNames().isEmpty());
    QTest::failOnWarning(QRegularExpression("^Cannot list MIDI ports"));
    QVERIFY(MidiInput::availablePortNames().isEmpty());
    QVERIFY(MidiOutput::availablePortNames().isEmpty());

    MidiOutput output;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Cannot open MIDI port \"Synth\": .+"));
    QVERIFY(!output.open(QStringLiteral("Synth")));
    QVERIFY(!output.isOpen());
    MidiInput input;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Cannot open MIDI port \"Keys\": .+"));
    QVERIFY(!input.open(QStringLiteral("Keys")));
}

void TestRtMidiBackend::chosenApi()
{
    qputenv("VELKA_MIDI_API", "jack");
    QCOMPARE(RtMidiBackend::apiName(), QStringLiteral("jack"));
    qputenv("VELKA_MIDI_API", "ALSA");
    QCOMPARE(RtMidiBackend::apiName(), QStringLiteral("alsa"));
    qunsetenv("VELKA_MIDI_API");
    QCOMPARE(RtMidiBackend::apiName(),
             QFile::exists("/dev/snd/seq") ? QStringLiteral("alsa") : QStringLiteral("jack"));
}

QTEST_GUILESS_MAIN(TestRtMidiBackend)
#include "tst_rtmidibackend.moc"
