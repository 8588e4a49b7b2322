#include "midioutput.h"
#include "midisync.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"

#include <QMutex>
#include <QMutexLocker>
#include <QTest>

#include <rtmidi/RtMidi.h>

#include <memory>

// The MIDI clock of a document on a running JACK server: the document enables a sync
// output on a virtual port that this test opens and records.
using Bytes = std::vector<unsigned char>;

namespace {

const QByteArray Tag = QByteArray::number(QCoreApplication::applicationPid());
const Bytes Probe{0xFE};

class Sink
{
public:
    Sink() : m_in(RtMidi::UNIX_JACK, ("velka-clock-sink-" + Tag).toStdString())
    {
        m_in.ignoreTypes(false, false, false);
        m_in.setCallback(&Sink::received, this);
        m_in.openVirtualPort("clock");
    }

    QList<Bytes> messages() const
    {
        QMutexLocker locker(&m_mutex);
        QList<Bytes> list;
        for (const Bytes &bytes : m_messages) {
            if (bytes != Probe)
                list.append(bytes);
        }
        return list;
    }

    // Waits up to a second until `stops` MIDI Stop messages have arrived.
    void waitFor(int stops) const
    {
        QDeadlineTimer deadline(1000);
        while (messages().count(Bytes{0xFC}) < stops && !deadline.hasExpired())
            QThread::msleep(5);
    }

    void clear()
    {
        QMutexLocker locker(&m_mutex);
        m_messages.clear();
    }

    // JACK connects a port a little after it opens: probe until a message arrives. The
    // probe shares its port with the clock's sender; it stays open so the connection
    // does too.
    bool connected(MidiOutput &probe)
    {
        for (int attempt = 0; attempt < 50; ++attempt) {
            probe.sendEvents({InstrumentEvent(0, Probe)});
            QDeadlineTimer deadline(100);
            while (!deadline.hasExpired()) {
                {
                    QMutexLocker locker(&m_mutex);
                    if (m_messages.contains(Probe))
                        return true;
                }
                QThread::msleep(1);
            }
        }
        return false;
    }

    static QString portName()
    {
        for (const QString &name : MidiOutput::availablePortNames()) {
            if (name.startsWith("velka-clock-sink-" + Tag) && name.endsWith(QStringLiteral(":clock")))
                return name;
        }
        return QString();
    }

private:
    static void received(double, std::vector<unsigned char> *message, void *sink)
    {
        auto *self = static_cast<Sink *>(sink);
        QMutexLocker locker(&self->m_mutex);
        self->m_messages.append(*message);
    }

    // Declared before the port: its callback may run as soon as the port exists.
    mutable QMutex m_mutex;
    QList<Bytes> m_messages;
    RtMidiIn m_in;
};

QList<Bytes> timingClocks(qsizetype count)
{
    return QList<Bytes>(count, Bytes{0xF8});
}

} // namespace

class TestMidiSyncJack : public QObject
{
    Q_OBJECT

private slots:
    void clockOnTheWire();
};

void TestMidiSyncJack::clockOnTheWire()
{
    Sink sink;
    QString port;
    QTRY_VERIFY((port = Sink::portName()) != QString());
    MidiOutput probe;
    QVERIFY(probe.open(port));
    QVERIFY(sink.connected(probe));

    QmdMemModel model;
    QmdVelkaController controller;
    controller.setModel(&model);
    MidiSync sync;
    sync.setController(&controller);
    const QmdRequestOptions options(Qmd::NoUndoHistory);
    controller.requestSetType(port, Qmd::StrDict, controller.syncMidiOutputsIndex(), options);
    controller.requestSetData(QStringLiteral("MidiSync"), true,
                              controller.index(port, controller.syncMidiOutputsIndex()), options);
    QTRY_COMPARE(sync.syncOutputPortNames(), QStringList{port});

    // The JACK dummy driver on a busy machine without real-time rights now and then
    // fails a cycle, and the events of that cycle are lost on the way. A loss only ever
    // removes messages, so a run that arrives complete settles it; a fault of the
    // sender shows in every run.
    QList<Bytes> received;
    QList<Bytes> expected;
    for (int attempt = 0; attempt < 3; ++attempt) {
        sink.clear();
        sync.reset();
        sync.setPlaying(true);
        QTest::qWait(600);
        sync.setPlaying(false);
        // Ratio 1/1: one principal is one beat, 24 clocks.
        const quint64 firstRun = sync.currentBeatTick() / AbstractSync::BeatTicksPerMidiClock;
        QCOMPARE(sync.currentTick() / AbstractSync::BeatTicksPerMidiClock, firstRun);
        QVERIFY(firstRun >= 24);
        sink.waitFor(1);

        sync.setPlaying(true);
        QTest::qWait(200);
        sync.setPlaying(false);
        const quint64 total = sync.currentBeatTick() / AbstractSync::BeatTicksPerMidiClock;
        sink.waitFor(2);

        expected = QList<Bytes>{{0xF2, 0x00, 0x00}, {0xFA}};
        expected << timingClocks(1 + qsizetype(firstRun)) << Bytes{0xFC} << Bytes{0xFB};
        expected << timingClocks(1 + qsizetype(total - firstRun)) << Bytes{0xFC};
        received = sink.messages();
        if (received == expected)
            break;
        QVERIFY2(received.size() < expected.size(), "more messages than sent");
        qWarning("attempt %d: %d of %d messages arrived", attempt + 1, int(received.size()),
                 int(expected.size()));
    }
    QCOMPARE(received, expected);

    sync.setController(nullptr);
}

QTEST_MAIN(TestMidiSyncJack)
#include "tst_midisync_jack.moc"
