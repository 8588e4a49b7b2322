#include "jacksink.h"
#include "midiinstrument.h"
#include "outputportnames.h"
#include "voicetestdocument.h"
#include "testsync.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

// A MIDI instrument on real JACK ports: what its record asks for reaches the wire.
using Bytes = std::vector<unsigned char>;
using Messages = QList<Bytes>;

namespace {

Messages programChange(int channel, int program, int msb, int lsb)
{
    const auto c = static_cast<unsigned char>(channel);
    return {Bytes{static_cast<unsigned char>(0xb0 + c), 0, static_cast<unsigned char>(msb)},
            Bytes{static_cast<unsigned char>(0xb0 + c), 32, static_cast<unsigned char>(lsb)},
            Bytes{static_cast<unsigned char>(0xc0 + c), static_cast<unsigned char>(program)}};
}

} // namespace

class TestInstrumentJack : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void recordReachesTheWire();

private:
    void setRecord(VoiceTestDocument &doc, QmdItemId instrument, const QString &key, const QVariant &value);
};

void TestInstrumentJack::initTestCase()
{
    if (qgetenv("VELKA_MIDI_API") != "jack")
        QSKIP("needs VELKA_MIDI_API=jack and a running JACK server");
    OutputPortNames::setSource([] { return MidiOutput::availablePortNames(); });
}

void TestInstrumentJack::setRecord(VoiceTestDocument &doc, QmdItemId instrument, const QString &key,
                                   const QVariant &value)
{
    QmdVelkaController *controller = doc.controller();
    QSignalSpy announced(controller, &QmdVelkaController::instrumentDataChanged);
    controller->requestSetData(key, value, controller->instrumentIndex(instrument));
    // Where the controller does not announce changes of instrument records,
    // the test announces them as the controller would.
    QCoreApplication::processEvents();
    if (announced.isEmpty())
        emit controller->instrumentDataChanged(instrument, {key}, 0);
}

void TestInstrumentJack::recordReachesTheWire()
{
    JackSink first("velka-instrument", "first");
    JackSink second("velka-instrument", "second");
    QVERIFY(!first.name().isEmpty());
    QVERIFY(!second.name().isEmpty());

    VoiceTestDocument doc;
    doc.ready();
    QBitArray channels(16);
    channels.setBit(0);
    channels.setBit(2);
    doc.controller()->requestAddInstrument("Keys", Qt::red, channels);
    const QmdItemId id = doc.controller()->instrumentIds().first();
    setRecord(doc, id, "MidiPort", first.name());
    setRecord(doc, id, "MidiDoProgramChange", true);
    setRecord(doc, id, "MidiProgram", 5);
    setRecord(doc, id, "MidiBankMSB", 1);
    setRecord(doc, id, "MidiBankLSB", 2);

    MidiInstrument instrument(id);
    instrument.setSync(doc.sync());
    instrument.setController(doc.controller());
    // The port may open after the change, when the server is slow to answer.
    QTRY_COMPARE(instrument.portName(), first.name());
    QVERIFY(first.reachedBy(instrument));
    first.take();

    // Program and bank edits.
    setRecord(doc, id, "MidiProgram", 9);
    QCOMPARE(first.waitFor(6), programChange(0, 8, 1, 2) + programChange(2, 8, 1, 2));

    // Channels.
    QBitArray tenth(16);
    tenth.setBit(9);
    setRecord(doc, id, "MidiChannels", tenth);
    QCOMPARE(first.waitFor(3), programChange(9, 8, 1, 2));

    // Pause silences every enabled channel.
    instrument.pauseAndWait();
    QCOMPARE(first.waitFor(1), (Messages{Bytes{0xb9, 123, 0}}));

    // Another port: the first is silenced and released.
    setRecord(doc, id, "MidiPort", second.name());
    QCOMPARE(first.waitFor(1), (Messages{Bytes{0xb9, 123, 0}}));
    QTRY_COMPARE(instrument.portName(), second.name());
    QVERIFY(second.reachedBy(instrument));
    second.take();
    setRecord(doc, id, "MidiBankMSB", 3);
    QCOMPARE(second.waitFor(3), programChange(9, 8, 3, 2));

    // Notes leave at their tick.
    instrument.start();
    instrument.play();
    QCOMPARE(second.waitFor(3), programChange(9, 8, 3, 2)); // every start of playback
    instrument.eventQueue().insertPair(InstrumentEvent::noteOn(0, 60, 100), InstrumentEvent::noteOff(10, 60, 0));
    QCOMPARE(second.waitFor(1), (Messages{Bytes{0x99, 60, 100}}));
    doc.sync()->setTick(10);
    QCOMPARE(second.waitFor(1), (Messages{Bytes{0x89, 60, 0}}));
    QVERIFY(first.take().isEmpty());
}

QTEST_GUILESS_MAIN(TestInstrumentJack)

#include "tst_instrument_jack.moc"
