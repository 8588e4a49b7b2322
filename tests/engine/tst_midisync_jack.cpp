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

    bool contains(const Bytes &bytes) const { return messages().contains(bytes); }

    // JACK connects a port a little after it opens: probe until a message arrives.
    bool connected(const QString &port)
    {
        MidiOutput probe;
        if (!probe.open(port))
            return false;
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

    RtMidiIn m_in;
    mutable QMutex m_mutex;
    QList<Bytes> m_messages;
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
    QVERIFY(sink.connected(port));

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

    sync.reset();
    sync.setPlaying(true);
    QTest::qWait(600);
    sync.setPlaying(false);
    // Ratio 1/1: one principal is one beat, 24 clocks.
    const quint64 firstRun = sync.currentBeatTick() / AbstractSync::BeatTicksPerMidiClock;
    QCOMPARE(sync.currentTick() / AbstractSync::BeatTicksPerMidiClock, firstRun);
    QVERIFY(firstRun >= 24);
    QTRY_VERIFY(sink.contains({0xFC}));

    sync.setPlaying(true);
    QTest::qWait(200);
    sync.setPlaying(false);
    const quint64 total = sync.currentBeatTick() / AbstractSync::BeatTicksPerMidiClock;
    QTRY_COMPARE(sink.messages().count(Bytes{0xFC}), 2);

    QList<Bytes> expected{{0xF2, 0x00, 0x00}, {0xFA}};
    expected << timingClocks(1 + qsizetype(firstRun)) << Bytes{0xFC} << Bytes{0xFB};
    expected << timingClocks(1 + qsizetype(total - firstRun)) << Bytes{0xFC};
    QCOMPARE(sink.messages(), expected);

    sync.setController(nullptr);
}

QTEST_MAIN(TestMidiSyncJack)
#include "tst_midisync_jack.moc"
