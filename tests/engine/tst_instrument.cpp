#include "debuginstrument.h"
#include "engineplayerfactory.h"
#include "instrumentfactory.h"
#include "memorymidibackend.h"
#include "midiinstrument.h"
#include "midisync.h"
#include "monotonicclock.h"
#include "outputportnames.h"
#include "voicetestdocument.h"
#include "testsync.h"

#include <QtTest>

#include <cstdio>
#include <limits>
#include <memory>

#include <unistd.h>

using Bytes = std::vector<unsigned char>;
using Messages = QList<Bytes>;

// Instruments: the factory, a MIDI instrument following its document record,
// and its output thread sending queued events at their ticks.
class TestInstrument : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void factory_data();
    void factory();
    void playerFactoryFallsBack();
    void debugInstrumentPrints();
    void followsRecord_data();
    void followsRecord();
    void missingPortIsReplaced();
    void ownPortIsNotOpenedAndStaysInTheRecord();
    void pauseSilencesEveryChannel();
    void channelChangeLeavesNoNoteSounding();
    void gotoStartKeepsAnOpenPort();
    void playSendsProgramChangeFirst();
    void sendsQueuedEventsAtTheirTick();
    void startTickWaitsForTheClocksLead();
    void failingSendPausesAndReplacesThePort();

private:
    // A record on "Out 1", channels 1 and 3, program 5 from bank 1/2 when enabled.
    QmdItemId addRecord(bool programChange = true);
    void setRecord(QmdItemId instrument, const QString &key, const QVariant &value);
    QVariant record(QmdItemId instrument, const QString &key) const;
    std::unique_ptr<MidiInstrument> makeInstrument(QmdItemId instrument);

    std::unique_ptr<MemoryMidiBackend> m_midi;
    std::unique_ptr<VoiceTestDocument> m_doc;
};

namespace {

// A clock started with a lead: it stands at its start tick until the start
// time, which is still ahead.
class LeadingSync : public TestSync
{
public:
    quint64 startTime = 0;
    quint64 counterNanosecondsAtTick(quint64 tick) const override
    {
        const quint64 at = TestSync::counterNanosecondsAtTick(tick);
        return at == std::numeric_limits<quint64>::max() ? at : std::max(at, startTime);
    }
};

Messages programChange(int channel, int program, int msb, int lsb)
{
    const unsigned char c = static_cast<unsigned char>(channel);
    return {Bytes{static_cast<unsigned char>(0xb0 + c), 0, static_cast<unsigned char>(msb)},
            Bytes{static_cast<unsigned char>(0xb0 + c), 32, static_cast<unsigned char>(lsb)},
            Bytes{static_cast<unsigned char>(0xc0 + c), static_cast<unsigned char>(program)}};
}

Messages allNotesOff(const QList<int> &channels)
{
    Messages messages;
    for (int channel : channels)
        messages.append(Bytes{static_cast<unsigned char>(0xb0 + channel), 123, 0});
    return messages;
}

QBitArray channels(const QList<int> &enabled)
{
    QBitArray bits(16);
    for (int channel : enabled)
        bits.setBit(channel);
    return bits;
}

} // namespace

void TestInstrument::initTestCase()
{
    OutputPortNames::setSource([] { return MidiOutput::availablePortNames(); });
}

void TestInstrument::init()
{
    m_midi = std::make_unique<MemoryMidiBackend>();
    m_midi->install();
    m_midi->addPort(MidiDirection::Output, "Out 1");
    m_midi->addPort(MidiDirection::Output, "Out 2");
    m_doc = std::make_unique<VoiceTestDocument>();
    m_doc->ready();
}

void TestInstrument::cleanup()
{
    m_doc.reset();
    m_midi.reset();
}

QmdItemId TestInstrument::addRecord(bool programChange)
{
    QmdVelkaController *controller = m_doc->controller();
    const QmdItemIdList before = controller->instrumentIds();
    controller->requestAddInstrument("Keys", Qt::red, channels({0, 2}));
    QmdItemId id = 0;
    for (QmdItemId candidate : controller->instrumentIds()) {
        if (!before.contains(candidate))
            id = candidate;
    }
    setRecord(id, "MidiPort", "Out 1");
    setRecord(id, "MidiDoProgramChange", programChange);
    setRecord(id, "MidiProgram", 5);
    setRecord(id, "MidiBankMSB", 1);
    setRecord(id, "MidiBankLSB", 2);
    return id;
}

void TestInstrument::setRecord(QmdItemId instrument, const QString &key, const QVariant &value)
{
    QmdVelkaController *controller = m_doc->controller();
    QSignalSpy announced(controller, &QmdVelkaController::instrumentDataChanged);
    controller->requestSetData(key, value, controller->instrumentIndex(instrument));
    // Changes reach the controller through the event loop. Where the
    // controller does not announce changes of instrument records, the test
    // announces them as the controller would.
    QCoreApplication::processEvents();
    if (announced.isEmpty())
        emit controller->instrumentDataChanged(instrument, {key}, 0);
}

QVariant TestInstrument::record(QmdItemId instrument, const QString &key) const
{
    return m_doc->controller()->instrumentData(instrument, key);
}

std::unique_ptr<MidiInstrument> TestInstrument::makeInstrument(QmdItemId instrument)
{
    // The record's own creation is announced later; let it pass first.
    QCoreApplication::processEvents();
    auto player = std::make_unique<MidiInstrument>(instrument);
    player->setSync(m_doc->sync());
    player->setController(m_doc->controller());
    return player;
}

void TestInstrument::factory_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("made"); // empty: none

    QTest::newRow("midi") << "midi" << "midi";
    QTest::newRow("MIDI") << "MIDI" << "midi";
    QTest::newRow("Midi") << "Midi" << "midi";
    QTest::newRow("debug") << "Debug" << "debug";
    QTest::newRow("unknown") << "synth" << "";
    QTest::newRow("empty") << "" << "";
}

void TestInstrument::factory()
{
    QFETCH(QString, type);
    QFETCH(QString, made);

    std::unique_ptr<AbstractInstrument> instrument(createInstrument(type, 3));
    if (made.isEmpty()) {
        QVERIFY(!instrument);
        QVERIFY(instrumentTypeDescription(type).isNull());
        return;
    }
    QVERIFY(instrument);
    QCOMPARE(instrument->type(), made);
    QCOMPARE(instrument->instrument(), QmdItemId(3));
    QCOMPARE(instrumentTypeDescription(type), instrument->description());
    QVERIFY(instrumentTypes().contains(made));
}

void TestInstrument::playerFactoryFallsBack()
{
    EnginePlayerFactory factory;
    std::unique_ptr<InstrumentPlayer> debug(factory.createInstrument("debug", 1));
    QVERIFY(dynamic_cast<DebugInstrument *>(debug.get()));
    std::unique_ptr<InstrumentPlayer> unknown(factory.createInstrument("synth", 1));
    QVERIFY(dynamic_cast<MidiInstrument *>(unknown.get()));
    std::unique_ptr<AbstractSync> clock(factory.createSync("tape", nullptr));
    QVERIFY(dynamic_cast<MidiSync *>(clock.get()));
}

void TestInstrument::debugInstrumentPrints()
{
    DebugInstrument instrument(4);
    QTemporaryFile output;
    QVERIFY(output.open());
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    dup2(output.handle(), STDOUT_FILENO);
    instrument.outputEventNow(InstrumentEvent::noteOn(5000000000ull, 60, 100));
    instrument.outputEventNow(InstrumentEvent::programChange(7, 3, 1, 2));
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);

    output.seek(0);
    QCOMPARE(QString::fromLatin1(output.readAll()),
             QString("DebugInstrument:\n"
                     "     - type      = 0\n"
                     "     - pos       = 5000000000\n"
                     "     - pitch     = 60\n"
                     "     - velocity  = 100\n"
                     "DebugInstrument:\n"
                     "     - type      = 2\n"
                     "     - pos       = 7\n"
                     "     - pitch     = 3\n"
                     "     - velocity  = 1\n"));
}

void TestInstrument::followsRecord_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("port");    // where the instrument sends afterwards
    QTest::addColumn<Messages>("out1");   // sent to "Out 1" after the change
    QTest::addColumn<Messages>("out2");   // sent to "Out 2" after the change

    QTest::newRow("label") << "Label" << QVariant("Piano") << "Out 1" << Messages() << Messages();
    QTest::newRow("colour") << "Color" << QVariant(QColor(Qt::blue)) << "Out 1" << Messages() << Messages();
    QTest::newRow("program 1 is sent as 0")
        << "MidiProgram" << QVariant(1) << "Out 1" << programChange(0, 0, 1, 2) + programChange(2, 0, 1, 2)
        << Messages();
    QTest::newRow("program 0 stays in range")
        << "MidiProgram" << QVariant(0) << "Out 1" << programChange(0, 0, 1, 2) + programChange(2, 0, 1, 2)
        << Messages();
    QTest::newRow("program of the least int stays in range")
        << "MidiProgram" << QVariant(std::numeric_limits<int>::min()) << "Out 1"
        << programChange(0, 0, 1, 2) + programChange(2, 0, 1, 2) << Messages();
    QTest::newRow("bank of the least int stays in range")
        << "MidiBankMSB" << QVariant(std::numeric_limits<int>::min()) << "Out 1"
        << programChange(0, 4, 0, 2) + programChange(2, 4, 0, 2) << Messages();
    QTest::newRow("program above 128 stays in range")
        << "MidiProgram" << QVariant(200) << "Out 1"
        << programChange(0, 127, 1, 2) + programChange(2, 127, 1, 2) << Messages();
    QTest::newRow("bank as stored")
        << "MidiBankMSB" << QVariant(9) << "Out 1" << programChange(0, 4, 9, 2) + programChange(2, 4, 9, 2)
        << Messages();
    QTest::newRow("bank above 127 stays in range")
        << "MidiBankLSB" << QVariant(300) << "Out 1"
        << programChange(0, 4, 1, 127) + programChange(2, 4, 1, 127) << Messages();
    QTest::newRow("channels") << "MidiChannels" << QVariant(channels({1})) << "Out 1" << programChange(1, 4, 1, 2)
                              << Messages();
    QTest::newRow("program change switched off") << "MidiDoProgramChange" << QVariant(false) << "Out 1"
                                                 << Messages() << Messages();
    QTest::newRow("port") << "MidiPort" << QVariant("Out 2") << "Out 2" << allNotesOff({0, 2})
                          << programChange(0, 4, 1, 2) + programChange(2, 4, 1, 2);
}

void TestInstrument::followsRecord()
{
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    QFETCH(QString, port);
    QFETCH(Messages, out1);
    QFETCH(Messages, out2);

    const QmdItemId id = addRecord();
    std::unique_ptr<MidiInstrument> instrument = makeInstrument(id);
    QCOMPARE(instrument->portName(), QString("Out 1"));
    QCOMPARE(m_midi->sentTo("Out 1"), programChange(0, 4, 1, 2) + programChange(2, 4, 1, 2));
    m_midi->clearSent();

    setRecord(id, key, value);
    QCOMPARE(m_midi->sentTo("Out 1"), out1);
    QCOMPARE(m_midi->sentTo("Out 2"), out2);
    QCOMPARE(instrument->portName(), port);
    QCOMPARE(m_midi->timesOpened(MidiDirection::Output, "Out 1"), 1);
}

void TestInstrument::missingPortIsReplaced()
{
    const QmdItemId id = addRecord();
    setRecord(id, "MidiPort", "Gone");
    const QString undoText = m_doc->controller()->undoText();
    std::unique_ptr<MidiInstrument> instrument = makeInstrument(id);

    // The default output port, written into the record without an undo step.
    QCOMPARE(instrument->portName(), QString("Out 1"));
    QCOMPARE(record(id, "MidiPort").toString(), QString("Out 1"));
    QCOMPARE(m_doc->controller()->undoText(), undoText);
    QTRY_VERIFY(m_midi->sentTo("Out 1").mid(0, 6) == programChange(0, 4, 1, 2) + programChange(2, 4, 1, 2));
}

void TestInstrument::ownPortIsNotOpenedAndStaysInTheRecord()
{
    // A document written by another build names Velka's own input.
    const QString own = QStringLiteral("Velka-01:RtMidi Input");
    m_midi->addPort(MidiDirection::Output, own);
    const QmdItemId id = addRecord();
    setRecord(id, "MidiPort", own);
    std::unique_ptr<MidiInstrument> instrument = makeInstrument(id);

    QCOMPARE(instrument->portName(), QString("Out 1"));
    QCOMPARE(m_midi->timesOpened(MidiDirection::Output, own), 0);
    QTest::qWait(20);
    QCOMPARE(record(id, "MidiPort").toString(), own);
    m_midi->removePort(MidiDirection::Output, own);
}

void TestInstrument::pauseSilencesEveryChannel()
{
    const QmdItemId id = addRecord(false);
    std::unique_ptr<MidiInstrument> instrument = makeInstrument(id);
    QVERIFY(m_midi->sentTo("Out 1").isEmpty());

    instrument->pauseAndWait();
    QCOMPARE(m_midi->sentTo("Out 1"), allNotesOff({0, 2}));
    QVERIFY(instrument->isOpen());
}

void TestInstrument::channelChangeLeavesNoNoteSounding()
{
    const QmdItemId id = addRecord(false);
    std::unique_ptr<MidiInstrument> instrument = makeInstrument(id);
    instrument->start();
    instrument->play();
    instrument->eventQueue().insertPair(InstrumentEvent::noteOn(0, 60, 100), InstrumentEvent::noteOff(100, 60, 0));
    QTRY_COMPARE(m_midi->sentTo("Out 1"), (Messages{Bytes{0x90, 60, 100}, Bytes{0x92, 60, 100}}));

    // The note sounds on channels 1 and 3: moving to channel 2 silences them.
    setRecord(id, "MidiChannels", channels({1}));
    QTRY_COMPARE(instrument->channels(), channels({1}));
    QCOMPARE(m_midi->sentTo("Out 1").mid(2), allNotesOff({0, 2}));
    m_doc->sync()->setTick(100);
    QTRY_COMPARE(instrument->eventQueue().size(), 0);
    instrument->pauseAndWait();
    QCOMPARE(MemoryMidiBackend::soundingNotes(m_midi->sentTo("Out 1")), QList<int>());

    // A note off goes where its note on went, and a pause reaches it too.
    m_midi->clearSent();
    instrument->play();
    instrument->eventQueue().insertPair(InstrumentEvent::noteOn(100, 62, 90), InstrumentEvent::noteOff(300, 62, 0));
    QTRY_COMPARE(m_midi->sentTo("Out 1"), (Messages{Bytes{0x91, 62, 90}}));
    const QVariant none = QVariant::fromValue(channels({}));
    m_doc->controller()->requestSetData("MidiChannels", none, m_doc->controller()->instrumentIndex(id));
    QTRY_COMPARE(instrument->channels(), channels({}));
    QCOMPARE(m_midi->sentTo("Out 1").mid(1), allNotesOff({1}));
    m_doc->sync()->setTick(300);
    QTRY_COMPARE(instrument->eventQueue().size(), 0);
    instrument->pauseAndWait();
    QCOMPARE(MemoryMidiBackend::soundingNotes(m_midi->sentTo("Out 1")), QList<int>());
}

void TestInstrument::gotoStartKeepsAnOpenPort()
{
    const QmdItemId id = addRecord(false);
    std::unique_ptr<MidiInstrument> instrument = makeInstrument(id);
    instrument->eventQueue().insert(InstrumentEvent::noteOn(10, 60, 100));

    instrument->reset();
    QCOMPARE(instrument->eventQueue().size(), 0);
    QCOMPARE(m_midi->sentTo("Out 1"), allNotesOff({0, 2}));
    QCOMPARE(m_midi->timesOpened(MidiDirection::Output, "Out 1"), 1);
    QCOMPARE(m_midi->openDevices(MidiDirection::Output, "Out 1"), 1);
}

void TestInstrument::playSendsProgramChangeFirst()
{
    const QmdItemId id = addRecord();
    std::unique_ptr<MidiInstrument> instrument = makeInstrument(id);
    instrument->start();
    m_midi->clearSent();
    // Already due when play starts the output thread.
    instrument->eventQueue().insert(InstrumentEvent::noteOn(0, 60, 100));

    instrument->play();
    QTRY_COMPARE(m_midi->sentTo("Out 1").size(), 8);
    const Messages sent = m_midi->sentTo("Out 1");
    QCOMPARE(sent.mid(0, 6), programChange(0, 4, 1, 2) + programChange(2, 4, 1, 2));
    QCOMPARE(sent.mid(6), (Messages{Bytes{0x90, 60, 100}, Bytes{0x92, 60, 100}}));
}

void TestInstrument::sendsQueuedEventsAtTheirTick()
{
    const QmdItemId id = addRecord(false);
    std::unique_ptr<MidiInstrument> instrument = makeInstrument(id);
    setRecord(id, "MidiChannels", channels({9}));
    QTRY_COMPARE(instrument->channels(), channels({9}));
    instrument->start();
    instrument->play();

    instrument->eventQueue().insertPair(InstrumentEvent::noteOn(100, 60, 100), InstrumentEvent::noteOff(200, 60, 0));
    instrument->eventQueue().insert(InstrumentEvent(100, Bytes{0xf8}));
    m_doc->sync()->setTick(150);
    QTRY_COMPARE(m_midi->sentTo("Out 1"), (Messages{Bytes{0x99, 60, 100}, Bytes{0xf8}}));
    QCOMPARE(instrument->eventQueue().size(), 1); // the note off waits for its tick

    m_doc->sync()->setTick(200);
    QTRY_COMPARE(m_midi->sentTo("Out 1").size(), 3);
    QCOMPARE(m_midi->sentTo("Out 1").last(), (Bytes{0x89, 60, 0}));
}

void TestInstrument::startTickWaitsForTheClocksLead()
{
    LeadingSync clock;
    clock.setPlaying(true);
    clock.startTime = MonotonicClock::nanoseconds() + 300000000;
    const QmdItemId id = addRecord(false);
    std::unique_ptr<MidiInstrument> instrument = makeInstrument(id);
    instrument->setSync(&clock);
    instrument->start();
    instrument->play();
    instrument->eventQueue().insertPair(InstrumentEvent::noteOn(0, 60, 100), InstrumentEvent::noteOff(10, 60, 0));
    clock.setTick(0);
    QTest::qWait(50);
    QVERIFY(m_midi->sentTo("Out 1").isEmpty());
    QTRY_VERIFY(!m_midi->sentTo("Out 1").isEmpty());
    QVERIFY(MonotonicClock::nanoseconds() >= clock.startTime);
    instrument.reset();
}

void TestInstrument::failingSendPausesAndReplacesThePort()
{
    const QmdItemId id = addRecord(false);
    std::unique_ptr<MidiInstrument> instrument = makeInstrument(id);
    instrument->start();
    instrument->play();

    QSignalSpy announced(m_doc->controller(), &QmdVelkaController::instrumentDataChanged);
    m_midi->failSendsAfter(0);
    instrument->eventQueue().insert(InstrumentEvent::noteOn(0, 60, 100));
    QTRY_COMPARE(instrument->state(), AbstractOutputThread::Paused);
    QTRY_VERIFY(!instrument->isOpen() || m_midi->timesOpened(MidiDirection::Output, "Out 1") == 2);
    QCoreApplication::processEvents();
    if (announced.isEmpty()) {
        QTRY_VERIFY(record(id, "MidiPort").toString().isNull());
        emit m_doc->controller()->instrumentDataChanged(id, {"MidiPort"}, 0);
    }
    // The port is closed and the record's port cleared, then the default port
    // comes back through the record.
    QTRY_COMPARE(m_midi->timesOpened(MidiDirection::Output, "Out 1"), 2);
    QTRY_COMPARE(record(id, "MidiPort").toString(), QString("Out 1"));
    QCOMPARE(instrument->portName(), QString("Out 1"));
    QCOMPARE(instrument->state(), AbstractOutputThread::Paused);

    // Playing again sends what was queued meanwhile.
    m_midi->failSendsAfter(-1);
    m_midi->clearSent();
    instrument->eventQueue().insert(InstrumentEvent::noteOn(0, 62, 100));
    instrument->play();
    // The reopened port may still be silenced once more: the test's own
    // announcement of the cleared port can meet the controller's.
    const auto notes = [this] {
        Messages notes = m_midi->sentTo("Out 1");
        notes.removeIf([](const Bytes &message) { return message.size() == 3 && message[1] == 123; });
        return notes;
    };
    QTRY_COMPARE(notes(), (Messages{Bytes{0x90, 62, 100}, Bytes{0x92, 62, 100}}));
}

QTEST_GUILESS_MAIN(TestInstrument)

#include "tst_instrument.moc"
