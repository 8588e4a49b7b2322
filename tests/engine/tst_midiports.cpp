#include "memorymidibackend.h"
#include "midiinput.h"
#include "midioutput.h"
#include "monotonicclock.h"

#include <QSignalSpy>
#include <QtTest>

#include <atomic>

using Bytes = std::vector<unsigned char>;
using Messages = QList<Bytes>;
Q_DECLARE_METATYPE(InstrumentEvent)

namespace {

const QString Synth = QStringLiteral("Synth");
const QString Keys = QStringLiteral("Keys");

QBitArray channelBits(std::initializer_list<int> channels)
{
    QBitArray bits(16);
    for (int c : channels)
        bits.setBit(c);
    return bits;
}

std::atomic<quint64> fixedTime{0};
quint64 fixedClock()
{
    return fixedTime.load();
}

MidiMessage message(const Bytes &bytes)
{
    MidiMessage m;
    m.bytes = bytes;
    return m;
}

} // namespace

class TestMidiPorts : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void eventsBecomeBytes_data();
    void eventsBecomeBytes();
    void sendsEventsInOrder();
    void outputsShareOnePortByName();
    void openingAnOpenObjectKeepsItsPort();
    void openFailuresLeaveTheObjectClosed_data();
    void openFailuresLeaveTheObjectClosed();
    void replugNumbersAreIgnoredWhenTheExactNameIsGone();
    void sendFailureStopsAndReports();
    void vanishedPortFailsWithoutLosingTheQueue();
    void closeSilencesEnabledChannels();
    void listsPortNames();

    void inputQueuesStampedMessages();
    void inputQueueLimit();
    void inputReaders();
    void messageWithoutPortOnlySignals();
    void sharedInputLetsThroughWhatAnySubscriberWants();
    void closingAnInputWhileMessagesStreamIn();

private:
    MemoryMidiBackend *m_backend = nullptr;
};

void TestMidiPorts::init()
{
    m_backend = new MemoryMidiBackend;
    m_backend->install();
    m_backend->addPort(MidiDirection::Output, Synth);
    m_backend->addPort(MidiDirection::Output, QStringLiteral("Midi Through:Midi Through Port-0 14:0"));
    m_backend->addPort(MidiDirection::Input, Keys);
}

void TestMidiPorts::cleanup()
{
    delete m_backend;
    m_backend = nullptr;
    MonotonicClock::setSource(nullptr);
}

void TestMidiPorts::eventsBecomeBytes_data()
{
    QTest::addColumn<InstrumentEvent>("event");
    QTest::addColumn<QBitArray>("channels");
    QTest::addColumn<Messages>("expected");

    QTest::newRow("note on, channel 10")
        << InstrumentEvent::noteOn(0, 60, 100) << channelBits({9}) << Messages{{0x99, 60, 100}};
    QTest::newRow("note off, channels 1 and 2")
        << InstrumentEvent::noteOff(0, 61, 0) << channelBits({0, 1})
        << Messages{{0x80, 61, 0}, {0x81, 61, 0}};
    QTest::newRow("program change with bank, channels 1 and 3")
        << InstrumentEvent::programChange(0, 5, 1, 2) << channelBits({0, 2})
        << Messages{{0xB0, 0, 1}, {0xB0, 32, 2}, {0xC0, 5}, {0xB2, 0, 1}, {0xB2, 32, 2}, {0xC2, 5}};
    QTest::newRow("no channels: no notes")
        << InstrumentEvent::noteOn(0, 60, 100) << QBitArray() << Messages{};
    QTest::newRow("raw message whatever the channels")
        << InstrumentEvent(0, Bytes{0xF2, 0, 0}) << QBitArray() << Messages{{0xF2, 0, 0}};
    QTest::newRow("raw message sent once")
        << InstrumentEvent(0, Bytes{0xF8}) << channelBits({0, 1, 2}) << Messages{{0xF8}};
    QTest::newRow("empty raw message sends nothing")
        << InstrumentEvent(0, Bytes{}) << channelBits({0}) << Messages{};
    QTest::newRow("out-of-range data never becomes a status byte")
        << InstrumentEvent::noteOn(0, 200, 255) << channelBits({15}) << Messages{{0x9F, 127, 127}};
    QTest::newRow("channels beyond 16 are ignored")
        << InstrumentEvent::noteOn(0, 60, 1) << [] { QBitArray b(20); b.setBit(17); return b; }()
        << Messages{};
}

void TestMidiPorts::eventsBecomeBytes()
{
    QFETCH(InstrumentEvent, event);
    QFETCH(QBitArray, channels);
    QFETCH(Messages, expected);

    MidiOutput output;
    QVERIFY(output.open(Synth));
    output.setChannels(channels);
    QVERIFY(output.sendEvents({event}));
    QCOMPARE(m_backend->sentTo(Synth), expected);
}

void TestMidiPorts::sendsEventsInOrder()
{
    MidiOutput output;
    QVERIFY(output.open(Synth));
    output.setChannels(channelBits({0}));
    QVERIFY(output.sendEvents({InstrumentEvent::noteOff(0, 1, 0), InstrumentEvent(0, Bytes{0xFA}),
                               InstrumentEvent::noteOn(0, 2, 3)}));
    QCOMPARE(m_backend->sentTo(Synth), (Messages{{0x80, 1, 0}, {0xFA}, {0x90, 2, 3}}));
    QVERIFY(output.sendEvents({}));
}

void TestMidiPorts::outputsShareOnePortByName()
{
    auto *first = new MidiOutput;
    MidiOutput second;
    QVERIFY(first->open(Synth));
    QVERIFY(second.open(Synth));
    QCOMPARE(m_backend->openDevices(MidiDirection::Output, Synth), 1);
    QCOMPARE(first->portHandle(), second.portHandle());
    QCOMPARE(first->portName(), Synth);
    QVERIFY(first->isOpen());

    delete first; // closes its own use only
    QCOMPARE(m_backend->openDevices(MidiDirection::Output, Synth), 1);
    QVERIFY(second.sendEvents({InstrumentEvent(0, Bytes{0xF8})}));

    QVERIFY(second.close());
    QVERIFY(!second.isOpen());
    QVERIFY(second.portName().isNull());
    QTRY_COMPARE(m_backend->openDevices(MidiDirection::Output, Synth), 0);
    QVERIFY(!second.close()); // nothing left to close
    QVERIFY(!second.sendEvents({InstrumentEvent(0, Bytes{0xF8})}));

    QVERIFY(second.open(Synth)); // a later open makes a new port
    QCOMPARE(m_backend->timesOpened(MidiDirection::Output, Synth), 2);
}

void TestMidiPorts::openingAnOpenObjectKeepsItsPort()
{
    m_backend->addPort(MidiDirection::Output, QStringLiteral("Other"));
    MidiOutput output;
    QVERIFY(output.open(Synth));
    QVERIFY(!output.open(QStringLiteral("Other")));
    QVERIFY(!output.open(Synth));
    QCOMPARE(output.portName(), Synth);
    QCOMPARE(m_backend->openDevices(MidiDirection::Output, QStringLiteral("Other")), 0);
}

void TestMidiPorts::openFailuresLeaveTheObjectClosed_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("listingFails");
    QTest::addColumn<bool>("openingFails");
    QTest::newRow("unknown name") << "Nowhere" << false << false;
    QTest::newRow("empty name") << "" << false << false;
    QTest::newRow("listing fails") << Synth << true << false;
    QTest::newRow("opening fails") << Synth << false << true;
}

void TestMidiPorts::openFailuresLeaveTheObjectClosed()
{
    QFETCH(QString, name);
    QFETCH(bool, listingFails);
    QFETCH(bool, openingFails);
    m_backend->setListingFails(listingFails);
    m_backend->setOpeningFails(openingFails);

    MidiOutput output;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Cannot open MIDI port"));
    QVERIFY(!output.open(name));
    QVERIFY(!output.isOpen());
    QVERIFY(!output.sendEvents({InstrumentEvent(0, Bytes{0xF8})}));

    // The failure is not remembered: the next open works.
    m_backend->setListingFails(false);
    m_backend->setOpeningFails(false);
    QVERIFY(output.open(Synth));
}

void TestMidiPorts::replugNumbersAreIgnoredWhenTheExactNameIsGone()
{
    const QString saved = QStringLiteral("Midi Through:Midi Through Port-0 20:0");
    MidiOutput output;
    QVERIFY(output.open(saved));
    QCOMPARE(output.portName(), saved); // the document keeps its name
    QCOMPARE(m_backend->openDevices(MidiDirection::Output,
                                    QStringLiteral("Midi Through:Midi Through Port-0 14:0")), 1);

    // An exact match wins over a renumbered one.
    m_backend->addPort(MidiDirection::Output, QStringLiteral("Pad 24:0"));
    m_backend->addPort(MidiDirection::Output, QStringLiteral("Pad 28:0"));
    MidiOutput pad;
    QVERIFY(pad.open(QStringLiteral("Pad 28:0")));
    QCOMPARE(m_backend->openDevices(MidiDirection::Output, QStringLiteral("Pad 28:0")), 1);

    QCOMPARE(MidiIO::resolveName("Port-0 14:0", {"Port-1 14:0"}), QString());
    QCOMPARE(MidiIO::resolveName("Port 14:0", {"Port"}), QStringLiteral("Port"));
}

void TestMidiPorts::sendFailureStopsAndReports()
{
    MidiOutput output;
    QVERIFY(output.open(Synth));
    output.setChannels(channelBits({0}));
    m_backend->failSendsAfter(2);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Cannot send to MIDI port \"Synth\": send failed"));
    QVERIFY(!output.sendEvents({InstrumentEvent::noteOn(0, 1, 1), InstrumentEvent::noteOn(0, 2, 1),
                                InstrumentEvent::noteOn(0, 3, 1), InstrumentEvent::noteOn(0, 4, 1)}));
    QCOMPARE(m_backend->sentTo(Synth), (Messages{{0x90, 1, 1}, {0x90, 2, 1}}));
    m_backend->failSendsAfter(-1);
}

void TestMidiPorts::vanishedPortFailsWithoutLosingTheQueue()
{
    MidiOutput output;
    QVERIFY(output.open(Synth));
    output.setChannels(channelBits({0}));
    m_backend->removePort(MidiDirection::Output, Synth);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("has gone"));
    QVERIFY(!output.sendEvents({InstrumentEvent::noteOn(0, 1, 1)}));
    QVERIFY(output.isOpen()); // the caller decides what to do with the port
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("has gone"));
    QVERIFY(output.close());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Cannot open MIDI port \"Synth\""));
    QVERIFY(!output.open(Synth));
}

void TestMidiPorts::closeSilencesEnabledChannels()
{
    MidiOutput output;
    QVERIFY(output.open(Synth));
    output.setChannels(channelBits({1, 9}));
    QVERIFY(output.close());
    QCOMPARE(m_backend->sentTo(Synth), (Messages{{0xB1, 123, 0}, {0xB9, 123, 0}}));

    m_backend->clearSent();
    {
        MidiOutput destroyed;
        QVERIFY(destroyed.open(Synth));
        destroyed.setChannels(channelBits({0}));
    }
    QCOMPARE(m_backend->sentTo(Synth), (Messages{{0xB0, 123, 0}}));
    QVERIFY(!output.allNotesOff());
}

void TestMidiPorts::listsPortNames()
{
    QCOMPARE(MidiOutput::availablePortNames(),
             (QSet<QString>{Synth, QStringLiteral("Midi Through:Midi Through Port-0 14:0")}));
    QCOMPARE(MidiInput::availablePortNames(), QSet<QString>{Keys});
    m_backend->setListingFails(true);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Cannot list MIDI ports"));
    QVERIFY(MidiInput::availablePortNames().isEmpty());
}

void TestMidiPorts::inputQueuesStampedMessages()
{
    fixedTime = 123456789;
    MonotonicClock::setSource(&fixedClock);
    MidiInput input;
    QSignalSpy spy(&input, &MidiInput::readyRead);
    QVERIFY(input.open(Keys));

    // The message arrives on another thread, as from the MIDI library.
    QThread *library = QThread::create([this] { m_backend->receive(Keys, {0x90, 60, 100}, 0.25); });
    library->start();
    QVERIFY(library->wait(5000));
    delete library;
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().first().value<MidiInput *>(), &input);

    MidiMessage received;
    QVERIFY(input.read(received));
    QVERIFY(received.bytes == (Bytes{0x90, 60, 100}));
    QCOMPARE(received.deltaTime, 0.25);
    QCOMPARE(received.timeStamp, quint64(123456789));
    QVERIFY(!input.hasMessages());
}

void TestMidiPorts::inputQueueLimit()
{
    MidiInput input;
    QVERIFY(input.open(Keys));
    QSignalSpy spy(&input, &MidiInput::readyRead);
    for (int i = 0; i < 1030; ++i)
        m_backend->receive(Keys, {0x90, static_cast<unsigned char>(i & 0x7F), 1});
    QCOMPARE(spy.count(), 1030); // a dropped message is still announced
    QList<MidiMessage> all = input.takeAll();
    QCOMPARE(all.size(), 1024);
    QCOMPARE(int(all.last().bytes[1]), 1023 & 0x7F); // the newest were dropped

    for (int i = 0; i < 20; ++i)
        m_backend->receive(Keys, {0x90, static_cast<unsigned char>(i), 1});
    input.setLimit(10);
    QCOMPARE(input.limit(), 10);
    all = input.takeAll();
    QCOMPARE(all.size(), 10);
    QCOMPARE(int(all.first().bytes[1]), 10); // the oldest went
}

void TestMidiPorts::inputReaders()
{
    MidiInput input;
    QVERIFY(input.open(Keys));
    for (unsigned char i = 1; i <= 5; ++i)
        m_backend->receive(Keys, {0x90, i, 1});
    MidiMessage m;
    QVERIFY(input.peek(m));
    QCOMPARE(int(m.bytes[1]), 1);
    QList<MidiMessage> some = input.readMessages(2);
    QCOMPARE(some.size(), 2);
    QCOMPARE(int(some.last().bytes[1]), 2);
    QCOMPARE(input.readMessages(-1).size(), 0);
    QVERIFY(input.read(m));
    QCOMPARE(int(m.bytes[1]), 3);
    QCOMPARE(input.readMessages(100).size(), 2);
    QVERIFY(!input.peek(m));
    QVERIFY(!input.read(m));

    m_backend->receive(Keys, {0x90, 9, 1});
    input.clear();
    QVERIFY(!input.hasMessages());
    m_backend->receive(Keys, {0x90, 9, 1});
    QVERIFY(input.close());
    QVERIFY(!input.hasMessages()); // closing drops the queue
}

void TestMidiPorts::messageWithoutPortOnlySignals()
{
    MidiInput input;
    QSignalSpy spy(&input, &MidiInput::readyRead);
    input.appendMessage(message({0x90, 1, 1}));
    QCOMPARE(spy.count(), 1);
    QVERIFY(!input.hasMessages());
}

void TestMidiPorts::sharedInputLetsThroughWhatAnySubscriberWants()
{
    MidiInput application; // default options: sysex, timing, sensing ignored
    MidiInput sync;
    sync.setOptions(MidiInput::IgnoreSysex | MidiInput::IgnoreActiveSensing); // 5: clock passes
    QVERIFY(application.open(Keys));
    QCOMPARE(m_backend->ignoredTypes(Keys), 7);
    QVERIFY(sync.open(Keys));
    QCOMPARE(m_backend->ignoredTypes(Keys), 5);

    const Messages stream{{0xF8}, {0x90, 60, 1}, {0xFE}, {0xF0, 1, 0xF7}, {0xFA}};
    for (const Bytes &b : stream)
        m_backend->receive(Keys, b);
    auto bytesOf = [](const QList<MidiMessage> &messages) {
        Messages out;
        for (const MidiMessage &m : messages)
            out << m.bytes;
        return out;
    };
    QCOMPARE(bytesOf(sync.takeAll()), (Messages{{0xF8}, {0x90, 60, 1}, {0xFA}}));
    QCOMPARE(bytesOf(application.takeAll()), (Messages{{0x90, 60, 1}, {0xFA}}));

    // Once the sync input leaves, the port filters timing again.
    QVERIFY(sync.close());
    QCOMPARE(m_backend->ignoredTypes(Keys), 7);
    application.setOptions(0);
    QCOMPARE(m_backend->ignoredTypes(Keys), 0);
}

void TestMidiPorts::closingAnInputWhileMessagesStreamIn()
{
    // Receivers that run on the library's thread and take a lock of their own,
    // as the synthesizer does; closing must neither deadlock nor deliver to a
    // closed input.
    std::atomic<bool> running{true};
    QThread *library = QThread::create([&] {
        unsigned char n = 0;
        while (running)
            m_backend->receive(Keys, {0x90, static_cast<unsigned char>(n++ & 0x7F), 1});
    });
    library->start();
    for (int round = 0; round < 50; ++round) {
        auto *first = new MidiInput;
        MidiInput second;
        QMutex receiverLock;
        std::atomic<int> afterClose{0};
        std::atomic<bool> firstClosed{false};
        connect(first, &MidiInput::readyRead, first, [&](MidiInput *input) {
            QMutexLocker locker(&receiverLock);
            if (firstClosed)
                ++afterClose;
            input->takeAll();
        }, Qt::DirectConnection);
        QVERIFY(first->open(Keys));
        QVERIFY(second.open(Keys));
        QThread::usleep(200);
        QVERIFY(first->close());
        firstClosed = true;
        delete first;
        QThread::usleep(100);
        QCOMPARE(afterClose.load(), 0);
        QVERIFY(second.close());
    }
    running = false;
    library->wait();
    delete library;
}

QTEST_GUILESS_MAIN(TestMidiPorts)
#include "tst_midiports.moc"
