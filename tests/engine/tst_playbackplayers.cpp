#include "abstractsync.h"
#include "instrumentplayer.h"
#include "playerfactory.h"
#include "controllertest.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"
#include "voiceplayer.h"

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

#include <atomic>

// How a document makes, drives, replaces and stops its players, watched
// through players that write every call into one log.
using ControllerTest::newId;
using ControllerTest::settle;
using QmdVelka::TickPos;

namespace {

constexpr qint64 P = 665280;

QStringList callLog;

// A clock that only logs; its ratio follows the document through the binding.
class LoggingSync : public AbstractSync
{
    Q_OBJECT

public:
    LoggingSync(const QString &type, QObject *parent)
        : AbstractSync(parent)
        , m_type(type)
    {
    }

    QString type() const override { return m_type; }
    QString description() const override { return m_type; }
    bool isPlaying() const override { return m_playing; }
    void setPlaying(bool play) override
    {
        m_playing = play;
        callLog << (play ? "clock play" : "clock stop");
    }
    uint tempo() const override { return m_tempo; }
    uint principalsToBeatsNumerator() const override { return m_numerator; }
    uint principalsToBeatsDenominator() const override { return m_denominator; }
    quint64 currentNanoseconds() const override { return 0; }
    quint64 currentTick() const override { return 0; }
    quint64 currentBeatTick() const override { return 0; }
    quint64 nanosecondsToTicks(quint64 value) const override { return value; }
    quint64 ticksToNanoseconds(quint64 value) const override { return value; }
    quint64 nanosecondsToBeatTicks(quint64 value) const override { return value; }
    quint64 beatTicksToNanoseconds(quint64 value) const override { return value; }
    quint64 ticksToBeatTicks(quint64 value) const override { return value; }
    quint64 beatTicksToTicks(quint64 value) const override { return value; }
    quint64 counterNanosecondsAtTick(quint64) const override { return 0; }
    quint64 counterNanosecondsAtBeatTick(quint64) const override { return 0; }

public slots:
    void reset() override { callLog << "clock reset"; }
    void setTempo(uint tempo) override
    {
        if (tempo != m_tempo)
            emit tempoChanged(m_tempo = tempo);
    }
    void setPrincipalsToBeatsNumerator(uint value) override
    {
        if (value != m_numerator)
            emit principalsToBeatsNumeratorChanged(m_numerator = value);
    }
    void setPrincipalsToBeatsDenominator(uint value) override
    {
        if (value != m_denominator)
            emit principalsToBeatsDenominatorChanged(m_denominator = value);
    }

private:
    QString m_type;
    bool m_playing = false;
    uint m_tempo = 120;
    uint m_numerator = 1;
    uint m_denominator = 1;
};

// A player thread that, once told to end, reads the document before it
// finishes: a join made while the request lock is held never returns.
class ReadingThread : public QThread
{
public:
    explicit ReadingThread(QmdVelkaController *controller)
        : m_controller(controller)
    {
    }
    void finish() { m_finish.store(true); }

protected:
    void run() override
    {
        while (!m_finish.load())
            msleep(1);
        m_controller->elementIds();
    }

private:
    QmdVelkaController *m_controller;
    std::atomic<bool> m_finish{false};
};

class LoggingInstrument : public InstrumentPlayer
{
public:
    LoggingInstrument(QmdItemId id, QmdVelkaController *controller)
        : m_name(QStringLiteral("i%1").arg(id))
        , m_thread(controller)
    {
    }
    ~LoggingInstrument() override
    {
        callLog << m_name + (m_thread.isFinished() ? " deleted" : " deleted while running");
    }

    QThread *playerThread() override { return &m_thread; }
    void setSync(AbstractSync *sync) override { m_sync = sync; }
    void setController(QmdVelkaController *) override {}
    void play() override { callLog << m_name + " play"; }
    void pauseAndWait() override { callLog << m_name + " pause"; }
    void reset() override { callLog << m_name + " reset"; }
    void terminateSafely() override { m_thread.finish(); }
    TimedEventQueue<InstrumentEvent> &eventQueue() override { return m_queue; }

    AbstractSync *sync() const { return m_sync; }

private:
    QString m_name;
    ReadingThread m_thread;
    AbstractSync *m_sync = nullptr;
    TimedEventQueue<InstrumentEvent> m_queue{10};
};

class LoggingVoiceGroup : public VoicePlayer
{
public:
    LoggingVoiceGroup(QmdItemId id, QmdVelkaController *controller)
        : m_name(QStringLiteral("v%1").arg(id))
        , m_thread(controller)
    {
    }
    ~LoggingVoiceGroup() override
    {
        callLog << m_name + (m_thread.isFinished() ? " deleted" : " deleted while running");
    }

    QThread *playerThread() override { return &m_thread; }
    void waitUntilStarted() override {}
    void syncSync() override { callLog << m_name + " sync"; }
    void continueIterating() override { callLog << m_name + " continue"; }
    void pauseIterating() override { callLog << m_name + " pause"; }
    void gotoStart() override { callLog << m_name + " start"; }
    void traverseFromPlaybackPos() override { callLog << m_name + " traverse"; }
    void terminateSafely() override { m_thread.finish(); }

private:
    QString m_name;
    ReadingThread m_thread;
};

class LoggingFactory : public PlayerFactory
{
public:
    AbstractSync *createSync(const QString &type, QObject *parent) override { return new LoggingSync(type, parent); }
    InstrumentPlayer *createInstrument(const QString &, QmdItemId instrument) override
    {
        callLog << QStringLiteral("make i%1").arg(instrument);
        return new LoggingInstrument(instrument, m_controller);
    }
    VoicePlayer *createVoiceGroup(QmdItemId group, QmdVelkaController *controller) override
    {
        callLog << QStringLiteral("make v%1").arg(group);
        return new LoggingVoiceGroup(group, controller);
    }

    QmdVelkaController *m_controller = nullptr;
};

} // namespace

class TestPlaybackPlayers : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void resetMakesOnePlayerEach();
    void playersFollowTheDocument();
    void voiceGroupChangedToAnotherTypeStops();
    void retraversal_data();
    void retraversal();
    void syncTypeReplacesTheClock();
    void playAndPause();
    void gotoStart_data();
    void gotoStart();
    void closingStopsEveryPlayer();

private:
    QmdItemId addNode(qint64 x, qint64 y);
    QmdItemId addVoiceGroup(QmdItemId node);
    QmdItemId addInstrument();
    // A node, an edge from it, a voice group on it, a text box and one instrument.
    void buildNetwork();

    LoggingFactory m_factory;
    std::unique_ptr<QmdMemModel> m_model;
    std::unique_ptr<QmdVelkaController> m_controller;
    QmdItemId m_node = 0, m_other = 0, m_edge = 0, m_group = 0, m_textBox = 0, m_instrument = 0;
};

void TestPlaybackPlayers::init()
{
    callLog.clear();
    QmdVelkaController::setPlayerFactory(&m_factory);
    m_model = std::make_unique<QmdMemModel>();
    m_controller = std::make_unique<QmdVelkaController>();
    m_factory.m_controller = m_controller.get();
    m_controller->setModel(m_model.get());
    settle();
}

void TestPlaybackPlayers::cleanup()
{
    m_controller.reset();
    m_model.reset();
    QmdVelkaController::setPlayerFactory(nullptr);
}

QmdItemId TestPlaybackPlayers::addNode(qint64 x, qint64 y)
{
    const QmdItemIdList before = m_controller->elementIds();
    m_controller->requestAddNode(TickPos(x, y));
    settle();
    return newId(before, m_controller->elementIds());
}

QmdItemId TestPlaybackPlayers::addVoiceGroup(QmdItemId node)
{
    const QmdItemIdList before = m_controller->elementIds();
    m_controller->requestAddVoiceGroup(m_controller->elementIndex(node));
    settle();
    return newId(before, m_controller->elementIds());
}

QmdItemId TestPlaybackPlayers::addInstrument()
{
    const QmdItemIdList before = m_controller->instrumentIds();
    m_controller->requestAddInstrument();
    settle();
    return newId(before, m_controller->instrumentIds());
}

void TestPlaybackPlayers::buildNetwork()
{
    m_instrument = addInstrument();
    m_node = addNode(0, 0);
    m_other = addNode(P, 0);
    const QmdItemIdList before = m_controller->elementIds();
    m_controller->requestAddEdge(m_controller->elementIndex(m_node), m_controller->elementIndex(m_other));
    settle();
    m_edge = newId(before, m_controller->elementIds());
    m_group = addVoiceGroup(m_node);
    const QmdItemIdList withGroup = m_controller->elementIds();
    m_controller->requestAddTextBox(TickPos(0, P));
    settle();
    m_textBox = newId(withGroup, m_controller->elementIds());
    callLog.clear();
}

void TestPlaybackPlayers::resetMakesOnePlayerEach()
{
    buildNetwork();
    const QmdItemId second = addInstrument();
    const QHash<QmdItemId, InstrumentPlayer *> instruments = m_controller->instrumentThreads();
    const QHash<QmdItemId, VoicePlayer *> groups = m_controller->voiceGroups();
    QCOMPARE(instruments.keys().size(), 2);
    QVERIFY(instruments.contains(m_instrument) && instruments.contains(second));
    QCOMPARE(groups.keys(), QList<QmdItemId>{m_group});
    for (InstrumentPlayer *player : instruments) {
        QVERIFY(player->playerThread()->isRunning());
        QCOMPARE(static_cast<LoggingInstrument *>(player)->sync(), m_controller->sync());
    }

    // Asking again for ids that have players keeps the running ones.
    callLog.clear();
    m_controller->createInstrumentThreads(m_controller->instrumentIds());
    m_controller->createVoiceGroups(m_controller->elementIds());
    QCOMPARE(callLog, QStringList());
    QCOMPARE(m_controller->instrumentThreads(), instruments);
    QCOMPARE(m_controller->voiceGroups(), groups);

    // A reset stops the old players before it makes new ones.
    m_controller->reset();
    callLog.removeAll("clock reset");
    const QStringList made{QStringLiteral("make i%1").arg(m_instrument), QStringLiteral("make i%1").arg(second),
                           QStringLiteral("make v%1").arg(m_group)};
    const QStringList stopped{QStringLiteral("i%1 deleted").arg(m_instrument),
                              QStringLiteral("i%1 deleted").arg(second), QStringLiteral("v%1 deleted").arg(m_group)};
    QCOMPARE(callLog.size(), made.size() + stopped.size());
    int firstMade = callLog.size();
    for (const QString &entry : made) {
        QVERIFY2(callLog.contains(entry), qPrintable(entry));
        firstMade = qMin(firstMade, int(callLog.indexOf(entry)));
    }
    for (const QString &entry : stopped) {
        QVERIFY2(callLog.contains(entry), qPrintable(entry));
        QVERIFY(callLog.indexOf(entry) < firstMade);
    }
}

void TestPlaybackPlayers::playersFollowTheDocument()
{
    buildNetwork();
    m_controller->requestPlay();
    callLog.clear();

    // New players start playing at once.
    const QmdItemId instrument = addInstrument();
    QCOMPARE(callLog, (QStringList{QStringLiteral("make i%1").arg(instrument), QStringLiteral("i%1 play").arg(instrument)}));
    QVERIFY(m_controller->instrumentThreads().contains(instrument));
    callLog.clear();
    const QmdItemId group = addVoiceGroup(m_other);
    QCOMPARE(callLog.mid(0, 2), (QStringList{QStringLiteral("make v%1").arg(group), QStringLiteral("v%1 continue").arg(group)}));
    QVERIFY(m_controller->voiceGroups().contains(group));

    // Editing a record keeps its player and tells whoever follows it.
    QSignalSpy changed(m_controller.get(), &QmdVelkaController::instrumentDataChanged);
    InstrumentPlayer *player = m_controller->instrumentThreads().value(instrument);
    m_controller->requestSetData(QStringLiteral("Label"), QStringLiteral("Bass"),
                                 m_controller->instrumentIndex(instrument));
    settle();
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.at(0).at(0).value<QmdItemId>(), instrument);
    QCOMPARE(m_controller->instrumentThreads().value(instrument), player);

    // Removed players stop; undo brings them back.
    callLog.clear();
    m_controller->requestRemove(QmdItemIdList{instrument}, m_controller->instrumentsIndex());
    settle();
    QVERIFY(callLog.contains(QStringLiteral("i%1 deleted").arg(instrument)));
    QVERIFY(!m_controller->instrumentThreads().contains(instrument));
    m_controller->requestRemove(QmdItemIdList{group}, m_controller->index(QStringLiteral("Elements")));
    settle();
    QVERIFY(callLog.contains(QStringLiteral("v%1 deleted").arg(group)));
    QVERIFY(!m_controller->voiceGroups().contains(group));
    m_controller->requestUndo();
    m_controller->requestUndo();
    settle();
    QVERIFY(m_controller->instrumentThreads().contains(instrument));
    QVERIFY(m_controller->voiceGroups().contains(group));
    QVERIFY(!callLog.join(' ').contains("while running"));
}

void TestPlaybackPlayers::voiceGroupChangedToAnotherTypeStops()
{
    buildNetwork();
    m_controller->requestPlay();
    callLog.clear();
    const QString v = QStringLiteral("v%1").arg(m_group);

    m_controller->requestSetData(QStringLiteral("Type"), int(QmdVelka::Node), m_controller->elementIndex(m_group));
    settle();
    QVERIFY(callLog.contains(v + " deleted"));
    QVERIFY(!m_controller->voiceGroups().contains(m_group));

    // Changed back, it plays again.
    callLog.clear();
    m_controller->requestUndo();
    settle();
    QVERIFY(m_controller->voiceGroups().contains(m_group));
    QCOMPARE(callLog.mid(0, 2), (QStringList{QStringLiteral("make ") + v, v + " continue"}));
    QVERIFY(!callLog.join(' ').contains("while running"));
}

void TestPlaybackPlayers::retraversal_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("traverses");
    QTest::newRow("node moved") << "node" << "TickPos" << QVariant::fromValue(TickPos(0, 2 * P)) << true;
    QTest::newRow("node key removed") << "node" << "PitchList" << QVariant() << true;
    QTest::newRow("edge path") << "edge" << "Path" << QVariant(1) << true;
    QTest::newRow("voice group") << "group" << "InitialPitch" << QVariant("D3") << true;
    QTest::newRow("text box text") << "text" << "Text" << QVariant("<html><body>x</body></html>") << false;
    QTest::newRow("tempo") << "root" << "Tempo" << QVariant(90u) << false;
    QTest::newRow("show grid") << "root" << "ShowGrid" << QVariant(false) << false;
    QTest::newRow("ratio numerator") << "root" << "PrincipalsToBeatsNumerator" << QVariant(3u) << true;
    QTest::newRow("ratio denominator") << "root" << "PrincipalsToBeatsDenominator" << QVariant(2u) << true;
}

void TestPlaybackPlayers::retraversal()
{
    QFETCH(QString, what);
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    QFETCH(bool, traverses);
    buildNetwork();
    const QHash<QString, QmdItemId> elements{{"node", m_node}, {"edge", m_edge}, {"group", m_group}, {"text", m_textBox}};
    const QmdIndex parent = what == "root" ? QmdIndex() : m_controller->elementIndex(elements.value(what));
    if (value.isValid())
        m_controller->requestSetData(key, value, parent);
    else
        m_controller->requestRemove(key, parent);
    settle();
    QCOMPARE(callLog.contains(QStringLiteral("v%1 traverse").arg(m_group)), traverses);
    QVERIFY(!callLog.contains(QStringLiteral("make i%1").arg(m_instrument)));
}

void TestPlaybackPlayers::syncTypeReplacesTheClock()
{
    buildNetwork();
    QPointer<AbstractSync> old = m_controller->sync();
    QVERIFY(old);
    m_controller->requestSetData(QStringLiteral("SyncType"), QStringLiteral("other"));
    settle();
    AbstractSync *clock = m_controller->sync();
    QVERIFY(clock != old.data());
    QCOMPARE(clock->type(), QStringLiteral("other"));
    for (InstrumentPlayer *player : m_controller->instrumentThreads())
        QCOMPARE(static_cast<LoggingInstrument *>(player)->sync(), clock);
    QVERIFY(callLog.contains(QStringLiteral("v%1 sync").arg(m_group)));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!old);
    QVERIFY(!callLog.contains(QStringLiteral("make i%1").arg(m_instrument)));
}

void TestPlaybackPlayers::playAndPause()
{
    buildNetwork();
    const QString i = QStringLiteral("i%1").arg(m_instrument);
    const QString v = QStringLiteral("v%1").arg(m_group);
    QSignalSpy state(m_controller.get(), &QmdVelkaController::playbackStateChanged);

    QCOMPARE(m_controller->requestTogglePlayback(), QmdVelkaController::PlaybackRequestId);
    // Primed before the clock starts, stopped after it stops.
    QCOMPARE(callLog, (QStringList{i + " play", v + " continue", "clock play"}));
    callLog.clear();
    m_controller->requestTogglePlayback();
    QCOMPARE(callLog, (QStringList{"clock stop", i + " pause", v + " pause"}));
    callLog.clear();
    // Pausing again pauses again.
    m_controller->requestPause();
    QCOMPARE(callLog, (QStringList{"clock stop", i + " pause", v + " pause"}));
    // A clock that changed state on its own only primes the players.
    callLog.clear();
    m_controller->requestPrimePlaybackForSyncStateChange(true);
    QCOMPARE(callLog, (QStringList{i + " play", v + " continue"}));

    QCOMPARE(state.size(), 4);
    const QList<bool> states{true, false, false, true};
    for (int n = 0; n < states.size(); ++n)
        QCOMPARE(state.at(n).at(0).toBool(), states.at(n));
}

void TestPlaybackPlayers::gotoStart_data()
{
    QTest::addColumn<bool>("playing");
    QTest::addColumn<QStringList>("calls"); // %1 the instrument, %2 the voice group
    QTest::newRow("playing") << true
                             << QStringList{"clock stop", "clock reset", "%1 pause", "%1 reset", "%2 start",
                                            "%2 continue", "%1 play", "clock play"};
    QTest::newRow("paused") << false << QStringList{"clock reset", "%1 reset", "%2 start"};
}

void TestPlaybackPlayers::gotoStart()
{
    QFETCH(bool, playing);
    QFETCH(QStringList, calls);
    buildNetwork();
    m_controller->requestSetPlayback(playing);
    m_controller->feedbackPipe().insert(FeedbackEvent(0, 0, m_group, 1, m_node, 0, 60, 64, 0));
    callLog.clear();
    QSignalSpy state(m_controller.get(), &QmdVelkaController::playbackStateChanged);
    QSignalSpy jogged(m_controller.get(), &QmdVelkaController::playbackJogged);

    QCOMPARE(m_controller->requestGotoStart(), QmdVelkaController::PlaybackRequestId);
    for (QString &call : calls)
        call.replace("%1", QStringLiteral("i%1").arg(m_instrument)).replace("%2", QStringLiteral("v%1").arg(m_group));
    QCOMPARE(callLog, calls);
    QCOMPARE(m_controller->sync()->isPlaying(), playing);
    QCOMPARE(m_controller->feedbackPipe().size(), 0);
    QCOMPARE(jogged.size(), 1);
    QCOMPARE(state.size(), 0);
}

void TestPlaybackPlayers::closingStopsEveryPlayer()
{
    buildNetwork();
    m_controller->requestPlay();
    QList<QPointer<QThread>> threads;
    for (InstrumentPlayer *player : m_controller->instrumentThreads())
        threads << player->playerThread();
    for (VoicePlayer *group : m_controller->voiceGroups())
        threads << group->playerThread();
    QCOMPARE(threads.size(), 2);
    callLog.clear();

    m_controller.reset();
    for (const QPointer<QThread> &thread : threads)
        QVERIFY(!thread);
    QCOMPARE(callLog, (QStringList{QStringLiteral("v%1 deleted").arg(m_group),
                                   QStringLiteral("i%1 deleted").arg(m_instrument)}));
}

QTEST_MAIN(TestPlaybackPlayers)
#include "tst_playbackplayers.moc"
