#include "jacksink.h"
#include "midiinput.h"
#include "midioutput.h"
#include "monotonicclock.h"
#include "portrecord.h"

#include <QSignalSpy>
#include <QtTest>

#include <rtmidi/RtMidi.h>

#include <memory>

// MIDI ports over a running JACK server: the test opens its own virtual
// ports with the MIDI library and talks to them through MidiOutput and
// MidiInput.
using Bytes = std::vector<unsigned char>;
using Messages = QList<Bytes>;

namespace {

const QByteArray Tag = QByteArray::number(QCoreApplication::applicationPid());

} // namespace

class TestMidiPortsJack : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void outputBytesArriveInOrder();
    void outputsShareOneLibraryPort();
    void inputQueuesStampedFilteredMessages();
};

void TestMidiPortsJack::initTestCase()
{
    if (qgetenv("VELKA_MIDI_API") != "jack")
        QSKIP("needs VELKA_MIDI_API=jack and a running JACK server");
}

void TestMidiPortsJack::outputBytesArriveInOrder()
{
    JackSink sink("velka-sink", "bytes");
    QString name;
    QTRY_VERIFY(!(name = sink.name()).isEmpty());

    MidiOutput output;
    QVERIFY(output.open(name));
    QVERIFY(sink.connected(output));
    QBitArray channels(16);
    channels.setBit(0);
    channels.setBit(2);
    output.setChannels(channels);
    QVERIFY(output.sendEvents({InstrumentEvent::programChange(0, 5, 1, 2),
                               InstrumentEvent::noteOn(0, 60, 100),
                               InstrumentEvent(0, Bytes{0xF0, 0x7D, 0x01, 0xF7}),
                               InstrumentEvent::noteOff(0, 60, 0)}));
    QVERIFY(output.close());

    const Messages expected{{0xB0, 0, 1}, {0xB0, 32, 2}, {0xC0, 5}, {0xB2, 0, 1}, {0xB2, 32, 2},
                            {0xC2, 5},    {0x90, 60, 100}, {0x92, 60, 100}, {0xF0, 0x7D, 0x01, 0xF7},
                            {0x80, 60, 0}, {0x82, 60, 0}, {0xB0, 123, 0}, {0xB2, 123, 0}};
    QTRY_COMPARE(sink.messages().size(), expected.size());
    QCOMPARE(sink.messages(), expected);
}

void TestMidiPortsJack::outputsShareOneLibraryPort()
{
    JackSink sink("velka-sink", "shared");
    QString name;
    QTRY_VERIFY(!(name = sink.name()).isEmpty());

    auto first = std::make_unique<MidiOutput>();
    MidiOutput second;
    QVERIFY(first->open(name));
    QVERIFY(second.open(name));
    const std::weak_ptr<PortRecord> port = second.portHandle();
    QCOMPARE(first->portHandle(), port.lock());
    QVERIFY(sink.connected(second));

    first.reset();
    QVERIFY(second.sendEvents({InstrumentEvent(0, Bytes{0xFA})}));
    QTRY_COMPARE(sink.messages(), Messages{{0xFA}});

    QVERIFY(second.close());
    QVERIFY(port.expired()); // the library port is closed
}

void TestMidiPortsJack::inputQueuesStampedFilteredMessages()
{
    RtMidiOut source(RtMidi::UNIX_JACK, ("velka-source-" + Tag).toStdString());
    source.openVirtualPort("keys");
    QString name;
    QTRY_VERIFY([&] {
        for (const QString &candidate : MidiInput::availablePortNames()) {
            if (candidate.startsWith("velka-source-" + Tag) && candidate.endsWith(":keys"))
                name = candidate;
        }
        return !name.isEmpty();
    }());

    MidiInput input;
    QSignalSpy spy(&input, &MidiInput::readyRead);
    QVERIFY(input.open(name));
    // JACK connects ports a little after they open: wait for a probe.
    const Bytes probe{0x8F, 0, 0};
    QTRY_VERIFY([&] {
        source.sendMessage(&probe);
        QTest::qWait(20);
        return input.hasMessages();
    }());
    QTest::qWait(50);
    input.clear();
    spy.clear();

    const quint64 before = MonotonicClock::nanoseconds();
    const Bytes clock{0xF8}, sensing{0xFE}, note{0x90, 64, 90};
    source.sendMessage(&clock);
    source.sendMessage(&sensing);
    source.sendMessage(&note);
    QTRY_VERIFY(input.hasMessages());
    const quint64 after = MonotonicClock::nanoseconds();
    QVERIFY(spy.count() >= 1);

    QList<MidiMessage> received = input.takeAll();
    received.removeIf([&](const MidiMessage &m) { return m.bytes == probe; });
    QCOMPARE(received.size(), 1); // clock and sensing are ignored by default
    QVERIFY(received.first().bytes == note);
    QVERIFY(received.first().timeStamp >= before);
    QVERIFY(received.first().timeStamp <= after);

    input.setOptions(MidiInput::IgnoreSysex | MidiInput::IgnoreActiveSensing);
    source.sendMessage(&clock);
    QTRY_VERIFY(input.hasMessages());
    QVERIFY(input.takeAll().last().bytes == clock);
    QVERIFY(input.close());
}

QTEST_GUILESS_MAIN(TestMidiPortsJack)
#include "tst_midiports_jack.moc"
