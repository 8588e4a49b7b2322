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

// Groups that all start on one node leading nowhere, playing through one
// recording instrument: each plays the node once and ends.
class GroupsOnOneNode
{
public:
    explicit GroupsOnOneNode(int groups)
    {
        QmdVelkaController::setPlayerFactory(&m_factory);
        controller = std::make_unique<QmdVelkaController>();
        controller->setModel(&m_model);
        controller->requestAddInstrument();
        controller->requestAddNode(QmdVelka::TickPos(0, 0));
        settle();
        const QmdItemId instrument = controller->instrumentIds().value(0);
        const QmdItemId node = controller->elementIds().value(0);
        for (int n = 0; n < groups; ++n) {
            const QmdItemIdList before = controller->elementIds();
            controller->requestAddVoiceGroup(controller->elementIndex(node));
            controller->requestSetData(QStringLiteral("InitialInstrument"), instrument,
                                       controller->elementIndex(newId(before, controller->elementIds())));
        }
        settle();
        recorder = static_cast<RecordingInstrument *>(controller->instrumentThreads().value(instrument));
    }
    ~GroupsOnOneNode()
    {
        controller.reset();
        QmdVelkaController::setPlayerFactory(nullptr);
    }

    // The note ons after those taken before, once there are count of them
    // (or 10 s have passed).
    std::vector<InstrumentEvent> noteOns(size_t count)
    {
        std::vector<InstrumentEvent> noteOns;
        QDeadlineTimer patience(10000);
        while (noteOns.size() < count && !patience.hasExpired()) {
            for (const InstrumentEvent &event : recorder->takeAll()) {
                if (event.type == InstrumentEvent::NoteOn)
                    noteOns.push_back(event);
            }
            if (noteOns.size() < count)
                QTest::qWait(1);
        }
        return noteOns;
    }

    std::unique_ptr<QmdVelkaController> controller;
    RecordingInstrument *recorder = nullptr;

private:
    StartFactory m_factory;
    QmdMemModel m_model;
};

} // namespace

Q_DECLARE_METATYPE(Start)

class TestPlaybackStart : public QObject
{
    Q_OBJECT

private slots:
    void groupsStartOnTheClocksStartTick_data();
    void groupsStartOnTheClocksStartTick();
    void goToStartWhilePlayingStartsEveryGroupAgain();
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
    GroupsOnOneNode document(Groups);
    QmdVelkaController *controller = document.controller.get();
    QCOMPARE(controller->voiceGroups().size(), Groups);
    RecordingInstrument *recorder = document.recorder;
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
    const std::vector<InstrumentEvent> noteOns = document.noteOns(size_t(Groups));
    QVERIFY2(MonotonicClock::nanoseconds() < startTime, "notes were queued after their tick came");
    QCOMPARE(noteOns.size(), size_t(Groups));
    for (const InstrumentEvent &event : noteOns)
        QCOMPARE(event.pos, startTick);
}

void TestPlaybackStart::goToStartWhilePlayingStartsEveryGroupAgain()
{
    constexpr int Groups = 8;
    VoiceSchedule::setHorizon(VoiceSchedule::DefaultHorizon);
    GroupsOnOneNode document(Groups);
    QVERIFY(document.recorder);
    QmdVelkaController *controller = document.controller.get();
    controller->requestPlay();
    QCOMPARE(document.noteOns(Groups).size(), size_t(Groups));
    // Every group has ended; the piece goes on playing from its start.
    QTest::qWait(50);
    controller->requestGotoStart();
    QVERIFY(controller->sync()->isPlaying());
    const std::vector<InstrumentEvent> again = document.noteOns(Groups);
    QCOMPARE(again.size(), size_t(Groups));
    for (const InstrumentEvent &event : again)
        QCOMPARE(event.pos, quint64(0));
    controller->requestPause();
}

QTEST_GUILESS_MAIN(TestPlaybackStart)
#include "tst_playbackstart.moc"
