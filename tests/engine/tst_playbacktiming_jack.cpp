#include "abstractinstrument.h"
#include "abstractsync.h"
#include "controllertest.h"
#include "engineplayerfactory.h"
#include "jacksink.h"
#include "midioutput.h"
#include "midisync.h"
#include "monotonicclock.h"
#include "notenames.h"
#include "outputportnames.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"
#include "tickpos.h"

#include <QtTest>

#include <cmath>

// A document played through the controller onto real JACK ports: every note and
// every Timing Clock arrives, in order, none extra, close to its time.
namespace {

using Arrival = JackSink::Arrival;
using Bytes = JackSink::Bytes;
using ControllerTest::newId;

constexpr quint64 Principal = AbstractSync::TicksPerPrincipal;
// Far above what the engine needs, so only a real fault fails: 20 ms plus one
// JACK period (the suite's server runs 64 frames at 48 kHz; up to 256 allowed).
constexpr double BoundNanoseconds = 20e6 + 256 * 1e9 / 48000;

struct Expected
{
    Bytes bytes;
    double time;
};

} // namespace

class TestPlaybackTimingJack : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void playedDocumentArrivesOnTime();

private:
    EnginePlayerFactory m_factory;
};

void TestPlaybackTimingJack::initTestCase()
{
    if (qgetenv("VELKA_MIDI_API") != "jack")
        QSKIP("needs VELKA_MIDI_API=jack and a running JACK server");
    OutputPortNames::setSource([] { return MidiOutput::availablePortNames(); });
    QmdVelkaController::setPlayerFactory(&m_factory);
}

void TestPlaybackTimingJack::cleanupTestCase()
{
    QmdVelkaController::setPlayerFactory(nullptr);
}

void TestPlaybackTimingJack::playedDocumentArrivesOnTime()
{
    JackSink firstNotes("velka-timing", "notes-1");
    JackSink secondNotes("velka-timing", "notes-2");
    JackSink *notes[2] = {&firstNotes, &secondNotes};
    JackSink clockSink("velka-timing", "clock");
    QVERIFY(!notes[0]->name().isEmpty() && !notes[1]->name().isEmpty() && !clockSink.name().isEmpty());

    QmdMemModel model;
    QmdVelkaController controller;
    controller.setModel(&model);

    // A ring of four nodes around one square principal, each playing its own
    // pitch for a quarter of the edge; one group starts at node 0, one at node 2,
    // each on its own instrument and port; MIDI clock goes to a third port.
    const QStringList pitches{"C3", "D3", "E3", "F3"};
    const QList<QmdVelka::TickPos> corners{{0, 0}, {qint64(Principal), 0}, {qint64(Principal), qint64(Principal)},
                                           {0, qint64(Principal)}};
    QmdItemIdList nodes;
    for (int n = 0; n < 4; ++n) {
        const QmdItemIdList before = controller.elementIds();
        controller.requestAddNode(corners.at(n));
        nodes << newId(before, controller.elementIds());
        controller.requestSetData("PitchList", pitches.at(n), controller.elementIndex(nodes.last()));
        controller.requestSetData("DurationList", "25%", controller.elementIndex(nodes.last()));
    }
    for (int n = 0; n < 4; ++n)
        controller.requestAddEdge(controller.elementIndex(nodes.at(n)), controller.elementIndex(nodes.at((n + 1) % 4)));
    QmdItemIdList instruments;
    for (int i = 0; i < 2; ++i) {
        QBitArray firstChannel(16);
        firstChannel.setBit(0);
        const QmdItemIdList before = controller.instrumentIds();
        controller.requestAddInstrument(QStringLiteral("Timing %1").arg(i + 1), Qt::blue, firstChannel);
        instruments << newId(before, controller.instrumentIds());
        controller.requestSetData("MidiPort", notes[i]->name(), controller.instrumentIndex(instruments.last()));
        const QmdItemIdList groupsBefore = controller.elementIds();
        controller.requestAddVoiceGroup(controller.elementIndex(nodes.at(2 * i)));
        controller.requestSetData("InitialInstrument", instruments.last(),
                                  controller.elementIndex(newId(groupsBefore, controller.elementIds())));
    }
    const QmdRequestOptions noUndo(Qmd::NoUndoHistory);
    controller.requestSetType(clockSink.name(), Qmd::StrDict, controller.syncMidiOutputsIndex(), noUndo);
    controller.requestSetData("MidiSync", true, controller.index(clockSink.name(), controller.syncMidiOutputsIndex()),
                              noUndo);

    QTRY_COMPARE(controller.voiceGroups().size(), 2);
    QTRY_COMPARE(controller.instrumentThreads().size(), 2);
    auto *clock = qobject_cast<MidiSync *>(controller.sync());
    QVERIFY(clock);
    QTRY_COMPARE(clock->syncOutputPortNames(), QStringList{clockSink.name()});

    // JACK connects ports a little after they open: wait until a probe sent by
    // each instrument arrives, then give the clock port as long again.
    for (int i = 0; i < 2; ++i) {
        auto *instrument = dynamic_cast<AbstractInstrument *>(controller.instrumentThreads().value(instruments.at(i)));
        QVERIFY(instrument);
        QVERIFY(notes[i]->reachedBy(*instrument));
    }
    QTest::qWait(200);
    for (JackSink *sink : notes)
        sink->clear();
    clockSink.clear();

    // Play four and a half principals: the pause falls between a note off and
    // the next note on, far from both.
    controller.requestPlay();
    QVERIFY(clock->isPlaying());
    const quint64 anchor = clock->counterNanosecondsAtTick(0);
    const quint64 stopTick = 4 * Principal + Principal / 2;
    const quint64 stopAt = clock->counterNanosecondsAtTick(stopTick);
    QTRY_VERIFY_WITH_TIMEOUT(MonotonicClock::nanoseconds() >= stopAt, 10000);
    controller.requestPause();
    const quint64 stoppedBeatTick = clock->currentBeatTick();
    QTest::qWait(300);

    const double nsPerTick = 60e9 / (120.0 * Principal);
    for (int i = 0; i < 2; ++i) {
        QList<Expected> expected;
        for (quint64 k = 0; k * Principal < stopTick; ++k) {
            const auto pitch = static_cast<unsigned char>(noteNameToNumber(pitches.at((2 * i + k) % 4)));
            const double on = double(anchor) + double(k * Principal) * nsPerTick;
            expected.append({Bytes{0x90, pitch, 64}, on});
            expected.append({Bytes{0x80, pitch, 0}, on + double(Principal / 4) * nsPerTick});
        }
        QList<Arrival> arrived;
        for (const Arrival &arrival : notes[i]->takeArrivals()) {
            if ((arrival.bytes.front() & 0xf0) != 0xb0) // the pause silences the channels
                arrived.append(arrival);
        }
        QCOMPARE(arrived.size(), expected.size());
        for (int e = 0; e < expected.size(); ++e) {
            QCOMPARE(arrived.at(e).bytes, expected.at(e).bytes);
            const double error = double(arrived.at(e).time) - expected.at(e).time;
            QVERIFY2(std::fabs(error) < BoundNanoseconds,
                     qPrintable(QStringLiteral("port %1, message %2 off by %3 us").arg(i).arg(e).arg(error / 1000)));
        }
    }

    // Start, one Timing Clock per 27720 beat ticks up to the stop, Stop.
    QList<Arrival> clockMessages;
    for (const Arrival &arrival : clockSink.takeArrivals()) {
        if (arrival.bytes.front() != 0xf2) // the clock's reset repositions the receiver
            clockMessages.append(arrival);
    }
    const int clocks = int(stoppedBeatTick / AbstractSync::BeatTicksPerMidiClock) + 1;
    QCOMPARE(clockMessages.size(), clocks + 2);
    QCOMPARE(clockMessages.first().bytes, Bytes{0xfa});
    QCOMPARE(clockMessages.last().bytes, Bytes{0xfc});
    const double clockInterval = 60e9 / (120.0 * 24);
    for (int k = 0; k < clocks; ++k) {
        const Arrival &arrival = clockMessages.at(k + 1);
        QCOMPARE(arrival.bytes, Bytes{0xf8});
        const double error = double(arrival.time) - (double(anchor) + k * clockInterval);
        QVERIFY2(std::fabs(error) < BoundNanoseconds,
                 qPrintable(QStringLiteral("Timing Clock %1 off by %2 us").arg(k).arg(error / 1000)));
    }
}

QTEST_GUILESS_MAIN(TestPlaybackTimingJack)
#include "tst_playbacktiming_jack.moc"
