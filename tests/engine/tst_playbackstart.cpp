#include "controllertest.h"
#include "midisync.h"
#include "monotonicclock.h"
#include "playerfactory.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"
#include "recordinginstrument.h"
#include "tickpos.h"
#include "voicegroup.h"
#include "voiceschedule.h"

#include <QtTest>

#include <memory>

// Groups written to sound together start together: every player is primed
// while the clock still stands, so every start voice is due at the clock's
// start tick, however long priming the others took. The clock begins one step
// horizon after the play, so their notes are queued before that tick comes.
using ControllerTest::newId;
using ControllerTest::settle;

namespace {

enum class Start { Play, AfterPause, AfterGoToStart };

// The engine's clock and voice groups; instruments that only record.
class StartFactory : public PlayerFactory
{
public:
    AbstractSync *createSync(const QString &, QObject *parent) override { return new MidiSync(parent); }
    InstrumentPlayer *createInstrument(const QString &, QmdItemId) override { return new RecordingInstrument; }
    VoicePlayer *createVoiceGroup(QmdItemId group, QmdVelkaController *controller) override
    {
        return new VoiceGroup(group, controller);
    }
};

} // namespace

Q_DECLARE_METATYPE(Start)

class TestPlaybackStart : public QObject
{
    Q_OBJECT

private slots:
    void groupsStartOnTheClocksStartTick_data();
    void groupsStartOnTheClocksStartTick();
};

void TestPlaybackStart::groupsStartOnTheClocksStartTick_data()
{
    QTest::addColumn<Start>("start");
    QTest::newRow("play") << Start::Play;
    QTest::newRow("play after pause") << Start::AfterPause;
    QTest::newRow("play after go to start") << Start::AfterGoToStart;
}

void TestPlaybackStart::groupsStartOnTheClocksStartTick()
{
    QFETCH(Start, start);
    constexpr int Groups = 64;
    VoiceSchedule::setHorizon(VoiceSchedule::DefaultHorizon);
    StartFactory factory;
    QmdVelkaController::setPlayerFactory(&factory);
    QmdMemModel model;
    auto controller = std::make_unique<QmdVelkaController>();
    controller->setModel(&model);
    controller->requestAddInstrument();
    controller->requestAddNode(QmdVelka::TickPos(0, 0));
    settle();
    const QmdItemId instrument = controller->instrumentIds().value(0);
    const QmdItemId node = controller->elementIds().value(0);
    for (int n = 0; n < Groups; ++n) {
        const QmdItemIdList before = controller->elementIds();
        controller->requestAddVoiceGroup(controller->elementIndex(node));
        controller->requestSetData(QStringLiteral("InitialInstrument"), instrument,
                                   controller->elementIndex(newId(before, controller->elementIds())));
    }
    settle();
    QCOMPARE(controller->voiceGroups().size(), Groups);
    auto *recorder = static_cast<RecordingInstrument *>(controller->instrumentThreads().value(instrument));
    QVERIFY(recorder);

    quint64 startTick = 0;
    if (start != Start::Play) {
        controller->requestPlay();
        QTest::qWait(50);
        controller->requestPause();
        startTick = controller->sync()->currentTick();
        QVERIFY(startTick > 0);
    }
    if (start == Start::AfterGoToStart) {
        controller->requestGotoStart();
        startTick = 0;
    }
    recorder->takeAll();
    // A horizon far longer than 64 steps take, even in a sanitizer build: a
    // note queued after its tick came is then a fault, not a slow machine.
    constexpr quint64 Horizon = 2000000000;
    VoiceSchedule::setHorizon(Horizon);
    // Each group plays its node once, then stops: nothing leads on.
    const quint64 played = MonotonicClock::nanoseconds();
    controller->requestPlay();
    const quint64 startTime = controller->sync()->counterNanosecondsAtTick(startTick);
    QVERIFY(startTime >= played + Horizon);
    std::vector<InstrumentEvent> noteOns;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            for (const InstrumentEvent &event : recorder->takeAll()) {
                if (event.type == InstrumentEvent::NoteOn)
                    noteOns.push_back(event);
            }
            return noteOns.size() >= size_t(Groups);
        }(),
        10000);
    QVERIFY2(MonotonicClock::nanoseconds() < startTime, "notes were queued after their tick came");
    QCOMPARE(noteOns.size(), size_t(Groups));
    for (const InstrumentEvent &event : noteOns)
        QCOMPARE(event.pos, startTick);

    controller.reset();
    QmdVelkaController::setPlayerFactory(nullptr);
}

QTEST_GUILESS_MAIN(TestPlaybackStart)
#include "tst_playbackstart.moc"
