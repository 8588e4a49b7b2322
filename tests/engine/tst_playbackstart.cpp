#include "controllertest.h"
#include "midisync.h"
#include "playerfactory.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"
#include "recordinginstrument.h"
#include "tickpos.h"
#include "voicegroup.h"

#include <QtTest>

#include <memory>

// Groups written to sound together start together: every player is primed
// while the clock still stands, so every start voice is due at the clock's
// start tick, however long priming the others took.
using ControllerTest::newId;
using ControllerTest::settle;

namespace {

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

class TestPlaybackStart : public QObject
{
    Q_OBJECT

private slots:
    void groupsStartOnTheClocksStartTick_data();
    void groupsStartOnTheClocksStartTick();
};

void TestPlaybackStart::groupsStartOnTheClocksStartTick_data()
{
    QTest::addColumn<bool>("fromTheStart");
    QTest::newRow("play") << true;
    QTest::newRow("play after pause") << false;
}

void TestPlaybackStart::groupsStartOnTheClocksStartTick()
{
    QFETCH(bool, fromTheStart);
    constexpr int Groups = 64;
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
    if (!fromTheStart) {
        controller->requestPlay();
        QTest::qWait(50);
        controller->requestPause();
        startTick = controller->sync()->currentTick();
        QVERIFY(startTick > 0);
        recorder->takeAll();
    }
    // Each group plays its node once, then stops: nothing leads on.
    controller->requestPlay();
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
    QCOMPARE(noteOns.size(), size_t(Groups));
    for (const InstrumentEvent &event : noteOns)
        QCOMPARE(event.pos, startTick);

    controller.reset();
    QmdVelkaController::setPlayerFactory(nullptr);
}

QTEST_GUILESS_MAIN(TestPlaybackStart)
#include "tst_playbackstart.moc"
