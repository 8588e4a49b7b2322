#include "controllertest.h"
#include "instrumentplayer.h"
#include "playback.h"
#include "playerfactory.h"
#include "qmdmemmodel.h"
#include "qmdrequestlocker.h"
#include "qmdvelkacontroller.h"
#include "recordinginstrument.h"
#include "voiceplayer.h"

#include <QMutexLocker>
#include <QtTest>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>

// The owner of a document's players: notes reach their instruments without
// the document's locks, and players are started, joined and replaced outside
// them, voice groups before instruments.
using ControllerTest::newId;
using ControllerTest::settle;
using QmdVelka::TickPos;

namespace {

QStringList callLog;

// A player's thread that, once told to end, routes a note to its instrument
// and reads the document before it finishes: it can only be joined by code
// that holds neither the playback's lock nor the document's.
class EndingThread : public QThread
{
public:
    void setController(QmdVelkaController *controller) { m_controller = controller; }
    void finish() { m_finish.store(true); }

protected:
    void run() override
    {
        while (!m_finish.load())
            msleep(1);
        if (!m_controller)
            return;
        m_controller->playback()->route(1, InstrumentEvent::noteOn(0, 60, 100));
        m_controller->elementIds();
    }

private:
    QmdVelkaController *m_controller = nullptr;
    std::atomic<bool> m_finish{false};
};

// Logs a player's end: whether its thread was joined before it was deleted.
void logEnd(const QString &name, const EndingThread &thread)
{
    callLog << name + (thread.isRunning() ? " deleted while running" : " deleted");
}

class EndingInstrument : public InstrumentPlayer
{
public:
    explicit EndingInstrument(QmdItemId id) : m_name(QStringLiteral("i%1").arg(id)) {}
    ~EndingInstrument() override { logEnd(m_name, m_thread); }

    QThread *playerThread() override { return &m_thread; }
    void setSync(AbstractSync *) override {}
    void setController(QmdVelkaController *controller) override { m_thread.setController(controller); }
    void play() override {}
    void pauseAndWait() override {}
    void reset() override {}
    void terminateSafely() override { m_thread.finish(); }
    TimedEventQueue<InstrumentEvent> &eventQueue() override { return m_queue; }

private:
    QString m_name;
    EndingThread m_thread;
    TimedEventQueue<InstrumentEvent> m_queue{10};
};

class EndingVoiceGroup : public VoicePlayer
{
public:
    EndingVoiceGroup(QmdItemId id, QmdVelkaController *controller) : m_name(QStringLiteral("g%1").arg(id))
    {
        m_thread.setController(controller);
    }
    ~EndingVoiceGroup() override { logEnd(m_name, m_thread); }

    QThread *playerThread() override { return &m_thread; }
    void waitUntilStarted() override {}
    void syncSync() override {}
    void continueIterating() override {}
    void pauseIterating() override {}
    void gotoStart() override {}
    void traverseFromPlaybackPos() override {}
    void terminateSafely() override { m_thread.finish(); }

private:
    QString m_name;
    EndingThread m_thread;
};

class EndingFactory : public PlayerFactory
{
public:
    AbstractSync *createSync(const QString &, QObject *) override { return nullptr; }
    InstrumentPlayer *createInstrument(const QString &, QmdItemId instrument) override
    {
        return new EndingInstrument(instrument);
    }
    VoicePlayer *createVoiceGroup(QmdItemId group, QmdVelkaController *controller) override
    {
        return new EndingVoiceGroup(group, controller);
    }
};

// A thread joined when it goes out of scope, after the locks a test took
// later than it have been released.
class JoiningThread
{
public:
    template <typename Body>
    explicit JoiningThread(Body body) : m_thread(std::move(body)) {}
    ~JoiningThread() { m_thread.join(); }

private:
    std::thread m_thread;
};

QStringList threadNames(const QList<QThread *> &threads)
{
    QStringList names;
    for (const QThread *thread : threads) {
        if (thread->isRunning())
            names << thread->objectName();
    }
    names.sort();
    return names;
}

} // namespace

class TestPlayback : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void routesWithoutTheDocumentLocks();
    void startsAndReplacesPlayers();
    void stopsThePlayersOfRemovedIds();
    void keepsTheRunningPlayerOfAnId();

private:
    QList<QThread *> runningThreads() const;

    EndingFactory m_factory;
    std::unique_ptr<QmdMemModel> m_model;
    std::unique_ptr<QmdVelkaController> m_controller;
    QmdItemIdList m_instruments;
    QmdItemId m_group = 0;
};

void TestPlayback::init()
{
    callLog.clear();
    m_model = std::make_unique<QmdMemModel>();
    m_controller = std::make_unique<QmdVelkaController>();
    m_controller->setModel(m_model.get());
    QmdVelkaController &c = *m_controller;
    for (int i = 0; i < 2; ++i) {
        const QmdItemIdList before = c.instrumentIds();
        c.requestAddInstrument();
        m_instruments << newId(before, c.instrumentIds());
    }
    QmdItemIdList before = c.elementIds();
    c.requestAddNode(TickPos(0, 0));
    const QmdIndex node = c.elementIndex(newId(before, c.elementIds()));
    before = c.elementIds();
    c.requestAddVoiceGroup(node);
    m_group = newId(before, c.elementIds());
    settle();
    QmdVelkaController::setPlayerFactory(&m_factory);
}

void TestPlayback::cleanup()
{
    m_controller.reset();
    m_model.reset();
    QmdVelkaController::setPlayerFactory(nullptr);
}

QList<QThread *> TestPlayback::runningThreads() const
{
    QList<QThread *> threads;
    for (InstrumentPlayer *player : m_controller->playback()->instrumentPlayers())
        threads << player->playerThread();
    for (VoicePlayer *group : m_controller->playback()->voiceGroups())
        threads << group->playerThread();
    return threads;
}

void TestPlayback::routesWithoutTheDocumentLocks()
{
    QmdVelkaController &c = *m_controller;
    auto *instrument = new RecordingInstrument; // owned by the playback
    c.playback()->registerInstrumentPlayers({{m_instruments.first(), instrument}});

    std::atomic<bool> routed{false};
    std::optional<JoiningThread> step; // joined once the locks below are free
    // Every lock of the document held elsewhere, as by a long request and a
    // canvas reading the counters: a note reaches its instrument all the same.
    QMutexLocker canvasLock(c.mutex());
    QmdRequestLocker requestLock(&c);
    step.emplace([&] {
        c.playback()->routePair(m_instruments.first(), InstrumentEvent::noteOn(10, 60, 100),
                                InstrumentEvent::noteOff(20, 60, 0));
        routed.store(true);
    });
    QTRY_VERIFY(routed.load());
    QCOMPARE(instrument->eventQueue().size(), 2);
}

void TestPlayback::startsAndReplacesPlayers()
{
    Playback &playback = *m_controller->playback();
    playback.replacePlayers();
    const QStringList names = threadNames(runningThreads());
    QCOMPARE(names, QStringList({QStringLiteral("instrument %1").arg(m_instruments.at(0)),
                                               QStringLiteral("instrument %1").arg(m_instruments.at(1)),
                                               QStringLiteral("voice group %1").arg(m_group)}));

    // The old players end, joined, voice group first, before the new ones start.
    playback.replacePlayers();
    QCOMPARE(callLog.size(), 3);
    QCOMPARE(callLog.first(), QStringLiteral("g%1 deleted").arg(m_group));
    QStringList instruments = callLog.mid(1);
    instruments.sort();
    QCOMPARE(instruments, QStringList({QStringLiteral("i%1 deleted").arg(m_instruments.at(0)),
                                       QStringLiteral("i%1 deleted").arg(m_instruments.at(1))}));
    QCOMPARE(threadNames(runningThreads()), names);

    // The controller's reset does the same.
    callLog.clear();
    m_controller->reset();
    QCOMPARE(callLog.size(), 3);
    QVERIFY(!callLog.join(' ').contains("while running"));
    QCOMPARE(threadNames(runningThreads()), names);

    callLog.clear();
    playback.stopPlayers();
    QCOMPARE(callLog.size(), 3);
    QVERIFY(callLog.first().startsWith('g'));
    QVERIFY(!callLog.join(' ').contains("while running"));
    QVERIFY(playback.instrumentPlayers().isEmpty());
    QVERIFY(playback.voiceGroups().isEmpty());
}

void TestPlayback::stopsThePlayersOfRemovedIds()
{
    Playback &playback = *m_controller->playback();
    playback.replacePlayers();
    playback.stopVoiceGroups({m_group});
    QCOMPARE(callLog, QStringList({QStringLiteral("g%1 deleted").arg(m_group)}));
    QVERIFY(playback.voiceGroups().isEmpty());
    QCOMPARE(playback.instrumentPlayers().size(), 2);

    callLog.clear();
    playback.stopInstrumentPlayers({m_instruments.first()});
    QCOMPARE(callLog, QStringList({QStringLiteral("i%1 deleted").arg(m_instruments.first())}));
    QCOMPARE(playback.instrumentPlayers().keys(), QList<QmdItemId>({m_instruments.at(1)}));

    // Made again on request, the others kept.
    const QHash<QmdItemId, InstrumentPlayer *> kept = playback.instrumentPlayers();
    playback.createInstrumentPlayers(m_instruments);
    playback.createVoiceGroups(m_controller->elementIds());
    QCOMPARE(playback.instrumentPlayers().size(), 2);
    QCOMPARE(playback.instrumentPlayers().value(m_instruments.at(1)), kept.value(m_instruments.at(1)));
    QCOMPARE(playback.voiceGroups().keys(), QList<QmdItemId>({m_group}));
}

void TestPlayback::keepsTheRunningPlayerOfAnId()
{
    Playback &playback = *m_controller->playback();
    playback.replacePlayers();
    InstrumentPlayer *running = playback.instrumentPlayers().value(m_instruments.first());
    auto *newcomer = new EndingInstrument(m_instruments.first());
    playback.registerInstrumentPlayers({{m_instruments.first(), newcomer}});
    QCOMPARE(playback.instrumentPlayers().value(m_instruments.first()), running);
    // Stopped at once; never started, so there was nothing to join.
    QCOMPARE(callLog, QStringList({QStringLiteral("i%1 deleted").arg(m_instruments.first())}));
}

QTEST_MAIN(TestPlayback)
#include "tst_playback.moc"
