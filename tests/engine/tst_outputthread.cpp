#include "abstractoutputthread.h"
#include "abstractsync.h"
#include "monotonicclock.h"

#include <QSemaphore>
#include <QtTest>

#include <atomic>
#include <functional>
#include <limits>

namespace {

// Counts its steps; a step may be held until the test lets it go.
class CountingThread : public AbstractOutputThread
{
public:
    ~CountingThread() override { stopThread(); }

    std::atomic<int> steps{0};
    std::atomic<bool> holdSteps{false};
    QSemaphore stepStarted;
    QSemaphore releaseStep;
    std::atomic<bool> stepRunning{false};
    std::atomic<quint64> lastStepAt{0};
    // When set, the next step time reported after a step (MonotonicClock ns).
    std::atomic<quint64> nextStepAt{0};
    std::function<void(CountingThread *)> duringStep;

protected:
    void process() override
    {
        stepRunning = true;
        lastStepAt = MonotonicClock::nanoseconds();
        ++steps;
        stepStarted.release();
        if (holdSteps)
            releaseStep.acquire();
        if (duringStep)
            duringStep(this);
        stepRunning = false;
    }

    quint64 nextStepTime(quint64 now) override
    {
        if (const quint64 tick = nextStepTick.load())
            return timeAtTick(tick, now);
        const quint64 at = nextStepAt.load();
        return at ? at : AbstractOutputThread::nextStepTime(now);
    }

public:
    // When set, the thread sleeps until the clock reaches this tick.
    std::atomic<quint64> nextStepTick{0};
    using AbstractOutputThread::StoppedClockRecheck;
    using AbstractOutputThread::timeAtTick;
};

// A clock whose tick n is reached at counter time origin + n microseconds.
class MicrosecondSync : public AbstractSync
{
public:
    std::atomic<bool> playing{true};
    std::atomic<quint64> origin{0};

    QString type() const override { return QStringLiteral("test"); }
    QString description() const override { return QString(); }
    bool isPlaying() const override { return playing; }
    void setPlaying(bool play) override { playing = play; }
    uint tempo() const override { return 120; }
    uint principalsToBeatsNumerator() const override { return 1; }
    uint principalsToBeatsDenominator() const override { return 1; }
    quint64 currentNanoseconds() const override { return MonotonicClock::nanoseconds() - origin; }
    quint64 currentTick() const override { return currentNanoseconds() / 1000; }
    quint64 currentBeatTick() const override { return currentTick(); }
    quint64 nanosecondsToTicks(quint64 v) const override { return v / 1000; }
    quint64 ticksToNanoseconds(quint64 v) const override { return v * 1000; }
    quint64 nanosecondsToBeatTicks(quint64 v) const override { return v / 1000; }
    quint64 beatTicksToNanoseconds(quint64 v) const override { return v * 1000; }
    quint64 ticksToBeatTicks(quint64 v) const override { return v; }
    quint64 beatTicksToTicks(quint64 v) const override { return v; }
    quint64 counterNanosecondsAtTick(quint64 tick) const override
    {
        return playing ? origin + tick * 1000 : std::numeric_limits<quint64>::max();
    }
    quint64 counterNanosecondsAtBeatTick(quint64 beatTick) const override
    {
        return counterNanosecondsAtTick(beatTick);
    }
    void setTempo(uint) override {}
    void setPrincipalsToBeatsNumerator(uint) override {}
    void setPrincipalsToBeatsDenominator(uint) override {}
};

constexpr quint64 Hour = 3600ull * 1000000000ull;

} // namespace

class TestOutputThread : public QObject
{
    Q_OBJECT

private slots:
    void neverPlayedThreadBlocksAndEndsPromptly();
    void playBeforeTheFirstWaitSteps();
    void pauseAndWaitLetsTheRunningStepFinish();
    void pauseFromTheThreadsOwnStepDoesNotWait();
    void newClockWaitsForTheStepUsingTheOld();
    void playAndPauseAlternate();
    void wakeStepsBeforeTheDeadline();
    void intervalChangeTakesEffectAtTheNextSleep();
    void terminateEndsAPlayingThread();
    void timeAtTickFollowsTheClock();
    void sleepsUntilTheClockReachesTheTick();
};

void TestOutputThread::neverPlayedThreadBlocksAndEndsPromptly()
{
    auto *thread = new CountingThread;
    thread->start();
    QTest::qWait(20);
    QCOMPARE(thread->steps.load(), 0);
    QCOMPARE(thread->state(), AbstractOutputThread::New);
    delete thread; // must return: the destructor wakes the blocked loop
}

void TestOutputThread::playBeforeTheFirstWaitSteps()
{
    CountingThread thread;
    thread.play();
    thread.start();
    QVERIFY(thread.stepStarted.tryAcquire(1, 5000));
    QCOMPARE(thread.state(), AbstractOutputThread::Playing);
}

void TestOutputThread::pauseAndWaitLetsTheRunningStepFinish()
{
    CountingThread thread;
    thread.holdSteps = true;
    thread.start();
    thread.play();
    QVERIFY(thread.stepStarted.tryAcquire(1, 5000));

    std::atomic<bool> pauseReturned{false};
    QThread *pauser = QThread::create([&] {
        thread.pauseAndWait();
        pauseReturned = true;
    });
    pauser->start();
    // Only once the pause is asked for may the step end: the thread would
    // otherwise go on to a next step, which the test holds for ever.
    QTRY_COMPARE(thread.state(), AbstractOutputThread::Paused);
    QTest::qWait(20);
    QVERIFY(!pauseReturned); // the step in progress holds the pause
    thread.releaseStep.release();
    QVERIFY(pauser->wait(5000));
    delete pauser;
    QVERIFY(pauseReturned);
    QVERIFY(!thread.stepRunning);

    const int steps = thread.steps;
    thread.releaseStep.release(100);
    QTest::qWait(20);
    QCOMPARE(thread.steps.load(), steps); // no step after the pause returned
    QCOMPARE(thread.state(), AbstractOutputThread::Paused);
}

void TestOutputThread::newClockWaitsForTheStepUsingTheOld()
{
    MicrosecondSync old;
    MicrosecondSync replacement;
    CountingThread thread;
    thread.setSync(&old);
    thread.holdSteps = true;
    thread.start();
    thread.play();
    QVERIFY(thread.stepStarted.tryAcquire(1, 5000));

    // The step in progress may still use the old clock: its owner may delete
    // it only once setSync has returned.
    std::atomic<bool> replaced{false};
    QThread *owner = QThread::create([&] {
        thread.setSync(&replacement);
        replaced = true;
    });
    owner->start();
    QTest::qWait(20);
    QVERIFY(!replaced);
    thread.releaseStep.release();
    QVERIFY(owner->wait(5000));
    delete owner;
    QVERIFY(replaced);
    QCOMPARE(thread.sync(), &replacement);

    // Without a step in progress, and from the thread's own step, it returns at once.
    thread.holdSteps = false;
    thread.releaseStep.release(100);
    thread.pauseAndWait();
    thread.setSync(&old);
    thread.duringStep = [&](CountingThread *self) { self->setSync(&replacement); };
    thread.play();
    QTRY_COMPARE(thread.sync(), &replacement);
    thread.pauseAndWait();
}

void TestOutputThread::pauseFromTheThreadsOwnStepDoesNotWait()
{
    CountingThread thread;
    thread.duringStep = [](CountingThread *self) { self->pauseAndWait(); };
    thread.start();
    thread.play();
    QVERIFY(thread.stepStarted.tryAcquire(1, 5000));
    QTRY_COMPARE(thread.state(), AbstractOutputThread::Paused);
    QTest::qWait(20);
    QCOMPARE(thread.steps.load(), 1);
}

void TestOutputThread::playAndPauseAlternate()
{
    CountingThread thread;
    thread.start();
    for (int round = 0; round < 3; ++round) {
        thread.play();
        QVERIFY(thread.stepStarted.tryAcquire(3, 5000));
        thread.pauseAndWait();
        const int steps = thread.steps;
        QTest::qWait(10);
        QCOMPARE(thread.steps.load(), steps);
        thread.stepStarted.acquire(thread.stepStarted.available());
    }
}

void TestOutputThread::wakeStepsBeforeTheDeadline()
{
    CountingThread thread;
    thread.nextStepAt = MonotonicClock::nanoseconds() + Hour;
    thread.start();
    thread.play();
    QVERIFY(thread.stepStarted.tryAcquire(1, 5000));
    QTest::qWait(20);
    QCOMPARE(thread.steps.load(), 1); // asleep until the far deadline
    thread.wake();
    QVERIFY(thread.stepStarted.tryAcquire(1, 5000));
    QCOMPARE(thread.steps.load(), 2);
}

void TestOutputThread::intervalChangeTakesEffectAtTheNextSleep()
{
    // The step itself changes the interval, so the sleep after it is the next one.
    CountingThread thread;
    thread.setInterval(100);
    thread.duringStep = [](CountingThread *self) {
        if (self->steps == 5)
            self->setInterval(3600u * 1000000u); // an hour
        else if (self->steps == 6)
            self->setInterval(100);
    };
    thread.start();
    thread.play();
    QVERIFY(thread.stepStarted.tryAcquire(5, 5000));
    QTest::qWait(20);
    QCOMPARE(thread.steps.load(), 5); // asleep for the hour
    QCOMPARE(thread.interval(), 3600u * 1000000u);
    thread.wake();
    QVERIFY(thread.stepStarted.tryAcquire(10, 5000)); // 100 microseconds apart again
    QCOMPARE(thread.interval(), 100u);
}

void TestOutputThread::terminateEndsAPlayingThread()
{
    CountingThread thread;
    thread.start();
    thread.play();
    QVERIFY(thread.stepStarted.tryAcquire(1, 5000));
    thread.terminateSafely();
    QVERIFY(thread.wait(5000));
    const int steps = thread.steps;
    thread.play(); // an ended thread stays ended
    QTest::qWait(10);
    QCOMPARE(thread.steps.load(), steps);
}

void TestOutputThread::timeAtTickFollowsTheClock()
{
    CountingThread thread;
    const quint64 now = 5000000;
    const quint64 recheck = CountingThread::StoppedClockRecheck;
    QCOMPARE(thread.timeAtTick(10, now), now + recheck); // no clock

    MicrosecondSync clock;
    clock.origin = 1000;
    thread.setSync(&clock);
    QCOMPARE(thread.sync(), &clock);
    QCOMPARE(thread.timeAtTick(10, now), quint64(11000));
    clock.playing = false; // a stopped clock never reaches a tick
    QCOMPARE(thread.timeAtTick(10, now), now + recheck);
    thread.setSync(nullptr);
}

void TestOutputThread::sleepsUntilTheClockReachesTheTick()
{
    MicrosecondSync clock;
    clock.origin = MonotonicClock::nanoseconds();
    CountingThread thread;
    thread.setSync(&clock);
    thread.nextStepTick = 30000; // 30 ms after the origin
    thread.start();
    thread.play();
    QVERIFY(thread.stepStarted.tryAcquire(1, 5000));
    QVERIFY(thread.stepStarted.tryAcquire(1, 5000));
    // However slow the machine, the second step never comes before its time.
    QVERIFY(thread.lastStepAt >= clock.origin + 30000000);
    thread.pauseAndWait();
}

QTEST_GUILESS_MAIN(TestOutputThread)
#include "tst_outputthread.moc"
