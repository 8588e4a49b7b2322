#include "memorymidibackend.h"
#include "midievent.h"
#include "midiinput.h"
#include "midisynth.h"

#include <QSignalSpy>
#include <QtTest>

#include <atomic>

using Bytes = std::vector<unsigned char>;

namespace {

const QString Keys = QStringLiteral("Keys");
const QString Pads = QStringLiteral("Pads");

bool waitUntilReady(MidiSynth &synth)
{
    QDeadlineTimer deadline(5000);
    while (!synth.isReady() && !deadline.hasExpired())
        QThread::msleep(1);
    return synth.isReady();
}

} // namespace

class TestMidiSynth : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void emptySoundBankAnswers();
    void programAndBankMessagesChangeTheChannelInstrument_data();
    void programAndBankMessagesChangeTheChannelInstrument();
    void newInputReplacesTheOld();
    void destroyedWhileMidiArrives();
    void midiEventCarriesTheMessage_data();
    void midiEventCarriesTheMessage();

private:
    MemoryMidiBackend *m_backend = nullptr;
};

void TestMidiSynth::init()
{
    m_backend = new MemoryMidiBackend;
    m_backend->install();
    m_backend->addPort(MidiDirection::Input, Keys);
    m_backend->addPort(MidiDirection::Input, Pads);
}

void TestMidiSynth::cleanup()
{
    delete m_backend;
    m_backend = nullptr;
}

void TestMidiSynth::emptySoundBankAnswers()
{
    MidiSynth synth;
    QVERIFY(waitUntilReady(synth));
    QVERIFY(synth.soundBankName().isNull());
    QCOMPARE(synth.instrumentCount(), 0);
    QCOMPARE(synth.instrumentAt(3), MidiInstrumentId(0));
    QCOMPARE(synth.indexOfInstrument(7), 0);
    QVERIFY(synth.instrumentName(7).isNull());
    synth.setChannelInstrument(2, 9);
    QCOMPARE(synth.channelInstrument(2), MidiInstrumentId(0));
    QCOMPARE(synth.channelInstrument(-1), MidiInstrumentId(0));
    QCOMPARE(synth.channelInstrument(16), MidiInstrumentId(0));
    synth.resetSoundBank();
    QCOMPARE(synth.midiInput(), nullptr);
    QCOMPARE(synth.instrumentOfProgram(MidiProgram()), MidiInstrumentId(0));
    QCOMPARE(synth.programOfInstrument(5).program, quint8(0));
    QCOMPARE(synth.synthObject(), &synth);
    QVERIFY(QMetaType::fromName("MidiInstrumentId").isValid());
}

void TestMidiSynth::programAndBankMessagesChangeTheChannelInstrument_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("channel"); // -1: no change announced
    QTest::newRow("program change on channel 3") << QByteArray("\xC3\x05", 2) << 3;
    QTest::newRow("bank select MSB") << QByteArray("\xB0\x00\x01", 3) << 0;
    QTest::newRow("bank select LSB") << QByteArray("\xB0\x20\x02", 3) << 0;
    QTest::newRow("volume changes nothing") << QByteArray("\xB0\x07\x64", 3) << -1;
    QTest::newRow("one byte goes only to the engine") << QByteArray("\xC0", 1) << -1;
    QTest::newRow("note on changes nothing") << QByteArray("\x90\x3C\x64", 3) << -1;
    QTest::newRow("short control change") << QByteArray("\xB5\x00", 2) << -1;
}

void TestMidiSynth::programAndBankMessagesChangeTheChannelInstrument()
{
    QFETCH(QByteArray, message);
    QFETCH(int, channel);

    QList<int> heardChannels; // through the dialog's interface
    MidiSynth synth;
    QVERIFY(waitUntilReady(synth));
    MidiInput input;
    QVERIFY(input.open(Keys));
    synth.setMidiInput(&input);
    QCOMPARE(synth.midiInput(), &input);
    QSignalSpy spy(&synth, &MidiSynth::instrumentChanged);
    static_cast<SynthInstruments &>(synth).connectInstrumentChanged(
        this, [&heardChannels](int c, MidiInstrumentId) { heardChannels.append(c); });

    m_backend->receive(Keys, Bytes(message.begin(), message.end()));
    // A marker afterwards: once it is announced, the message before it was handled.
    m_backend->receive(Keys, {0xCF, 0x00});
    QTRY_COMPARE(spy.count(), channel < 0 ? 1 : 2);
    if (channel >= 0) {
        QCOMPARE(spy.first().at(0).toInt(), channel);
        QCOMPARE(spy.first().at(1).value<MidiInstrumentId>(), MidiInstrumentId(0));
    }
    QCOMPARE(spy.last().at(0).toInt(), 15);
    QCOMPARE(heardChannels.size(), spy.count());
    QCOMPARE(heardChannels.last(), 15);
    QVERIFY(!input.hasMessages()); // the synthesizer drained the queue
}

void TestMidiSynth::newInputReplacesTheOld()
{
    MidiSynth synth;
    QVERIFY(waitUntilReady(synth));
    MidiInput keys;
    MidiInput pads;
    QVERIFY(keys.open(Keys));
    QVERIFY(pads.open(Pads));
    synth.setMidiInput(&keys);
    synth.setMidiInput(&pads);
    QSignalSpy spy(&synth, &MidiSynth::instrumentChanged);

    m_backend->receive(Keys, {0xC1, 0x01});
    m_backend->receive(Pads, {0xC2, 0x01});
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy.first().at(0).toInt(), 2);
    QVERIFY(keys.hasMessages()); // nobody drains the old input any more
}

void TestMidiSynth::destroyedWhileMidiArrives()
{
    MidiInput input;
    QVERIFY(input.open(Keys));
    std::atomic<bool> running{true};
    QThread *library = QThread::create([&] {
        while (running)
            m_backend->receive(Keys, {0xB0, 0x00, 0x01});
    });
    library->start();
    for (int round = 0; round < 20; ++round) {
        auto *synth = new MidiSynth;
        QVERIFY(waitUntilReady(*synth));
        synth->setMidiInput(&input);
        QThread::usleep(500);
        delete synth;
    }
    running = false;
    library->wait();
    delete library;
}

void TestMidiSynth::midiEventCarriesTheMessage_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("note on") << QByteArray("\x90\x3C\x64", 3);
    QTest::newRow("real-time byte") << QByteArray("\xF8", 1);
    QTest::newRow("program change") << QByteArray("\xC0\x05", 2);
}

void TestMidiSynth::midiEventCarriesTheMessage()
{
    QFETCH(QByteArray, message);
    const QVector<unsigned char> bytes(message.begin(), message.end());
    MidiEvent event(0.5, bytes, Qt::ShiftModifier);
    QCOMPARE(int(event.type()), MidiEvent::eventType());
    QCOMPARE(MidiEvent::eventType(), 1000);
    QCOMPARE(event.message(), bytes);
    QCOMPARE(event.deltaTime(), 0.5);
    QCOMPARE(event.modifiers(), Qt::ShiftModifier);
    std::unique_ptr<MidiEvent> copy(event.clone());
    QCOMPARE(copy->message(), bytes);
    QCOMPARE(copy->modifiers(), Qt::ShiftModifier);
}

QTEST_GUILESS_MAIN(TestMidiSynth)
#include "tst_midisynth.moc"
