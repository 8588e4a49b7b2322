#include "abstractoutputthread.h"
#include "monotonicclock.h"

#include <QSemaphore>
#include <QtTest>

#include <atomic>
#include <functional>

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
    // When set, the next step time reported after a step (MonotonicClock ns).
    std::atomic<quint64> nextStepAt{0};
    std::function<void(CountingThread *)> duringStep;

protected:
    void process() override
    {
        stepRunning = true;
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
        const quint64 at = nextStepAt.load();
        return at ? at : AbstractOutputThread::nextStepTime(now);
    }
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
    void playAndPauseAlternate();
    void wakeStepsBeforeTheDeadline();
    void intervalChangeTakesEffectAtTheNextSleep();
    void terminateEndsAPlayingThread();
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
    CountingThread thread;
    thread.setInterval(3600u * 1000000u); // an hour between steps
    thread.start();
    thread.play();
    QVERIFY(thread.stepStarted.tryAcquire(1, 5000));
    thread.setInterval(100);
    QTest::qWait(20);
    QCOMPARE(thread.steps.load(), 1); // the running sleep keeps its hour
    thread.wake();
    QVERIFY(thread.stepStarted.tryAcquire(10, 5000)); // now 100 microseconds apart
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

QTEST_GUILESS_MAIN(TestOutputThread)
#include "tst_outputthread.moc"
