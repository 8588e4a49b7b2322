#include "abstractsync.h"
#include "engineplayerfactory.h"
#include "jacksink.h"
#include "midiinstrument.h"
#include "midioutput.h"
#include "outputportnames.h"
#include "controllertest.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"
#include "voiceplayer.h"

#include <QPointer>
#include <QtTest>

#include <memory>

// A small network built through controller requests plays on a real JACK port.
using ControllerTest::newId;
using ControllerTest::settle;
using QmdVelka::TickPos;
using Bytes = std::vector<unsigned char>;

namespace {

constexpr qint64 P = 665280;
const Bytes AllNotesOff{0xb0, 123, 0};
using Arrival = JackSink::Arrival;

QList<Arrival> noteOns(const QList<Arrival> &arrivals)
{
    QList<Arrival> ons;
    for (const Arrival &arrival : arrivals) {
        if (arrival.bytes.size() == 3 && (arrival.bytes[0] & 0xf0) == 0x90 && arrival.bytes[2] != 0)
            ons << arrival;
    }
    return ons;
}

QList<int> pitches(const QList<Arrival> &arrivals)
{
    QList<int> notes;
    for (const Arrival &arrival : noteOns(arrivals))
        notes << arrival.bytes[1];
    return notes;
}

// Collects until `count` note ons have arrived (or ten seconds passed).
QList<Arrival> waitForNoteOns(JackSink &sink, int count)
{
    QList<Arrival> arrivals;
    QDeadlineTimer deadline(10000);
    while (noteOns(arrivals).size() < count && !deadline.hasExpired()) {
        arrivals += sink.takeArrivals();
        QTest::qWait(5);
    }
    return arrivals;
}

} // namespace

class TestPlaybackJack : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void networkPlays();

private:
    EnginePlayerFactory m_factory;
};

void TestPlaybackJack::initTestCase()
{
    if (qgetenv("VELKA_MIDI_API") != "jack")
        QSKIP("needs VELKA_MIDI_API=jack and a running JACK server");
    OutputPortNames::setSource([] { return MidiOutput::availablePortNames(); });
    QmdVelkaController::setPlayerFactory(&m_factory);
}

void TestPlaybackJack::cleanupTestCase()
{
    QmdVelkaController::setPlayerFactory(nullptr);
}

void TestPlaybackJack::networkPlays()
{
    JackSink sink("velka-playback", "in");
    QVERIFY(!sink.name().isEmpty());

    QmdMemModel model;
    auto controller = std::make_unique<QmdVelkaController>();
    controller->setModel(&model);
    // 240 beats a minute, one principal a beat: an edge of one principal takes 250 ms.
    controller->requestSetData(QStringLiteral("Tempo"), 240u);
    controller->requestAddInstrument();
    settle();
    const QmdItemId instrument = controller->instrumentIds().value(0);
    QVERIFY(instrument != 0);
    controller->requestSetData(QStringLiteral("MidiPort"), sink.name(), controller->instrumentIndex(instrument));

    QmdItemIdList before = controller->elementIds();
    controller->requestAddNode(TickPos(0, 0));
    settle();
    const QmdItemId a = newId(before, controller->elementIds());
    before = controller->elementIds();
    controller->requestAddNode(TickPos(P, 0));
    settle();
    const QmdItemId b = newId(before, controller->elementIds());
    controller->requestSetData(QStringLiteral("PitchList"), QStringLiteral("E3"), controller->elementIndex(b));
    controller->requestAddEdge(controller->elementIndex(a), controller->elementIndex(b));
    settle();
    controller->requestAddEdge(controller->elementIndex(b), controller->elementIndex(a));
    settle();
    controller->requestAddVoiceGroup(controller->elementIndex(a));
    settle();
    QCOMPARE(controller->voiceGroups().size(), 1);

    auto *player = dynamic_cast<MidiInstrument *>(controller->instrumentThreads().value(instrument));
    QVERIFY(player);
    QTRY_COMPARE(player->portName(), sink.name());
    QVERIFY(sink.reachedBy(*player));
    sink.takeArrivals();

    // C3 and E3 take turns, one edge apart.
    controller->requestPlay();
    QList<Arrival> played = waitForNoteOns(sink, 4);
    QCOMPARE(pitches(played), (QList<int>{60, 64, 60, 64}));
    // Each note ends as the voice leaves its node, before the next one starts.
    QList<Bytes> messages;
    for (const Arrival &arrival : std::as_const(played).mid(0, 7))
        messages << arrival.bytes;
    QCOMPARE(messages, (QList<Bytes>{{0x90, 60, 64}, {0x80, 60, 0}, {0x90, 64, 64}, {0x80, 64, 0},
                                     {0x90, 60, 64}, {0x80, 60, 0}, {0x90, 64, 64}}));
    // Never early; within one edge of its time. Each note is held to the
    // clock's own time of its tick, so a first note delayed by a busy machine
    // does not make the ones after it look early.
    const QList<Arrival> ons = noteOns(played);
    const AbstractSync *clock = controller->sync();
    QVERIFY(clock && clock->isPlaying());
    constexpr qint64 Millisecond = 1000000;
    for (int n = 0; n < ons.size(); ++n) {
        const qint64 due = qint64(clock->counterNanosecondsAtTick(quint64(n) * P));
        const qint64 at = qint64(ons.at(n).time);
        QVERIFY2(at >= due - 5 * Millisecond && at < due + 250 * Millisecond,
                 qPrintable(QStringLiteral("note %1 %2 ms from its tick").arg(n).arg(double(at - due) / Millisecond)));
    }

    // A pause silences the instrument before anything else.
    controller->requestPause();
    QTest::qWait(400);
    const QList<Arrival> paused = sink.takeArrivals();
    int silenced = -1;
    for (int n = 0; n < paused.size() && silenced < 0; ++n) {
        if (paused.at(n).bytes == AllNotesOff)
            silenced = n;
    }
    QVERIFY(silenced >= 0);
    QVERIFY(noteOns(paused.mid(silenced)).isEmpty());

    // From the start again.
    controller->requestGotoStart();
    controller->requestPlay();
    played = waitForNoteOns(sink, 2);
    QCOMPARE(pitches(played).mid(0, 2), (QList<int>{60, 64}));

    // Closing the document stops every player.
    QList<QPointer<QThread>> threads;
    for (InstrumentPlayer *instrumentPlayer : controller->instrumentThreads())
        threads << instrumentPlayer->playerThread();
    for (VoicePlayer *group : controller->voiceGroups())
        threads << group->playerThread();
    QCOMPARE(threads.size(), 2);
    controller.reset();
    for (const QPointer<QThread> &thread : std::as_const(threads))
        QVERIFY(!thread);
    sink.takeArrivals();
    QTest::qWait(400);
    QVERIFY(noteOns(sink.takeArrivals()).isEmpty());
}

QTEST_MAIN(TestPlaybackJack)
#include "tst_playback_jack.moc"
