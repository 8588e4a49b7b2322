#include "midimessage.h"
#include "midisync.h"
#include "monotonicclock.h"
#include "createsync.h"
#include "voiceschedule.h"

#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <limits>

namespace {

std::atomic<quint64> fakeNow{0};

quint64 fakeNanoseconds()
{
    return fakeNow.load();
}

constexpr quint64 Second = 1000000000ull;
constexpr quint64 MaxU64 = std::numeric_limits<quint64>::max();

MidiMessage message(std::vector<unsigned char> bytes, quint64 stamp)
{
    MidiMessage m;
    m.bytes = std::move(bytes);
    m.timeStamp = stamp;
    return m;
}

// Timing Clocks at a steady rate: `count` clocks, the first at `first`.
QList<MidiMessage> clocks(quint64 first, int count, double beatsPerMinute)
{
    QList<MidiMessage> list;
    const double interval = 60e9 / (beatsPerMinute * 24.0);
    for (int i = 0; i < count; ++i)
        list.append(message({0xF8}, first + quint64(i * interval)));
    return list;
}

} // namespace

class TestMidiSync : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void newClockRunsAtDefaults();
    void conversions_data();
    void conversions();
    void positionWhilePlaying_data();
    void positionWhilePlaying();
    void timingChangesKeepPositionContinuous_data();
    void timingChangesKeepPositionContinuous();
    void startWhilePlayingKeepsPosition();
    void startLeadsByTheStepHorizon();
    void stopWhenStoppedKeepsPosition();
    void timeAtTick_data();
    void timeAtTick();
    void changeSignals();
    void resetReturnsToStart();
    void factory();

    void followsStartClocksAndStop();
    void followsTempo_data();
    void followsTempo();
    void tempoUpdatesAtMostEveryTenthSecond();
    void clockWhileStoppedIsIgnored();
    void otherSongPositionsAreIgnored();
    void correctsOnlyPersistentErrors();
    void localStopAfterFollowingDoesNotSnapBack();

private:
    MidiSync *m_sync = nullptr;
};

void TestMidiSync::init()
{
    // The position starts at once; the lead the voice steps take is tested
    // on its own.
    VoiceSchedule::setHorizon(0);
    fakeNow = 1000 * Second;
    MonotonicClock::setSource(&fakeNanoseconds);
    m_sync = new MidiSync;
}

void TestMidiSync::cleanup()
{
    delete m_sync;
    m_sync = nullptr;
    MonotonicClock::setSource(nullptr);
}

void TestMidiSync::newClockRunsAtDefaults()
{
    QCOMPARE(m_sync->isPlaying(), false);
    QCOMPARE(m_sync->tempo(), 120u);
    QCOMPARE(m_sync->principalsToBeatsNumerator(), 1u);
    QCOMPARE(m_sync->principalsToBeatsDenominator(), 1u);
    QCOMPARE(m_sync->currentTick(), 0ull);
    // Without a controller or a reset the clock converts at 120 and 1/1 all the same.
    QCOMPARE(m_sync->nanosecondsToTicks(Second), 1330560ull);
    QCOMPARE(m_sync->type(), QStringLiteral("internal"));
}

void TestMidiSync::conversions_data()
{
    QTest::addColumn<uint>("tempo");
    QTest::addColumn<uint>("numerator");
    QTest::addColumn<uint>("denominator");
    QTest::addColumn<quint64>("nanoseconds");
    QTest::addColumn<quint64>("ticks");
    QTest::addColumn<quint64>("beatTicks");

    QTest::newRow("one second at 120") << 120u << 1u << 1u << Second << 1330560ull << 1330560ull;
    QTest::newRow("one minute at 120") << 120u << 1u << 1u << 60 * Second << 79833600ull << 79833600ull;
    QTest::newRow("ratio 2/1") << 120u << 2u << 1u << Second << 2661120ull << 1330560ull;
    QTest::newRow("ratio 1/2") << 120u << 1u << 2u << Second << 665280ull << 1330560ull;
    QTest::newRow("floor below one tick") << 120u << 1u << 1u << 751ull << 0ull << 0ull;
    QTest::newRow("tempo 0 counts as 1") << 0u << 1u << 1u << 60 * Second << 665280ull << 665280ull;
    QTest::newRow("ratio 0/0 counts as 1/1") << 60u << 0u << 0u << 60 * Second << 39916800ull << 39916800ull;
    QTest::newRow("odd values exact") << 97u << 3u << 7u << 123456789012345678ull << 56906666154506ull
                                      << 132782221027182ull;
    QTest::newRow("saturates") << 0xffffffffu << 0xffffffffu << 1u << MaxU64 << MaxU64 << MaxU64;
}

void TestMidiSync::conversions()
{
    QFETCH(uint, tempo);
    QFETCH(uint, numerator);
    QFETCH(uint, denominator);
    QFETCH(quint64, nanoseconds);
    QFETCH(quint64, ticks);
    QFETCH(quint64, beatTicks);

    m_sync->setTempo(tempo);
    m_sync->setPrincipalsToBeatsNumerator(numerator);
    m_sync->setPrincipalsToBeatsDenominator(denominator);
    QCOMPARE(m_sync->nanosecondsToTicks(nanoseconds), ticks);
    QCOMPARE(m_sync->nanosecondsToBeatTicks(nanoseconds), beatTicks);
    if (ticks != MaxU64) {
        // Back again, rounding down: never past where it came from.
        QVERIFY(m_sync->ticksToNanoseconds(ticks) <= nanoseconds);
        QVERIFY(m_sync->beatTicksToNanoseconds(beatTicks) <= nanoseconds);
        QVERIFY(m_sync->beatTicksToTicks(m_sync->ticksToBeatTicks(ticks)) <= ticks);
    }
}

void TestMidiSync::positionWhilePlaying_data()
{
    QTest::addColumn<uint>("numerator");
    QTest::addColumn<uint>("denominator");
    QTest::addColumn<quint64>("ticks");
    QTest::addColumn<quint64>("beatTicks");

    QTest::newRow("1/1") << 1u << 1u << 1330560ull << 1330560ull;
    QTest::newRow("2/1") << 2u << 1u << 2661120ull << 1330560ull;
    QTest::newRow("1/2") << 1u << 2u << 665280ull << 1330560ull;
}

void TestMidiSync::positionWhilePlaying()
{
    QFETCH(uint, numerator);
    QFETCH(uint, denominator);
    QFETCH(quint64, ticks);
    QFETCH(quint64, beatTicks);

    m_sync->setPrincipalsToBeatsNumerator(numerator);
    m_sync->setPrincipalsToBeatsDenominator(denominator);
    m_sync->setPlaying(true);
    QVERIFY(m_sync->isPlaying());
    fakeNow += Second;
    QCOMPARE(m_sync->currentNanoseconds(), Second);
    QCOMPARE(m_sync->currentTick(), ticks);
    QCOMPARE(m_sync->currentBeatTick(), beatTicks);

    m_sync->setPlaying(false);
    fakeNow += Second;
    QCOMPARE(m_sync->currentTick(), ticks);
    m_sync->setPlaying(true);
    fakeNow += Second;
    QCOMPARE(m_sync->currentTick(), 2 * ticks);
    QCOMPARE(m_sync->currentNanoseconds(), 2 * Second);
}

void TestMidiSync::timingChangesKeepPositionContinuous_data()
{
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<uint>("value");
    QTest::addColumn<quint64>("ticksAfter");
    QTest::addColumn<quint64>("beatTicksAfter");

    // Half a second at 120 and 1/1 (665280), then half a second at the new setting.
    QTest::newRow("tempo 60") << QByteArray("tempo") << 60u << 665280ull + 332640 << 665280ull + 332640;
    QTest::newRow("tempo 240") << QByteArray("tempo") << 240u << 665280ull + 1330560 << 665280ull + 1330560;
    QTest::newRow("numerator 3") << QByteArray("principalsToBeatsNumerator") << 3u << 665280ull + 1995840
                                 << 1330560ull;
    QTest::newRow("denominator 2") << QByteArray("principalsToBeatsDenominator") << 2u << 665280ull + 332640
                                   << 1330560ull;
}

void TestMidiSync::timingChangesKeepPositionContinuous()
{
    QFETCH(QByteArray, property);
    QFETCH(uint, value);
    QFETCH(quint64, ticksAfter);
    QFETCH(quint64, beatTicksAfter);

    m_sync->setPlaying(true);
    fakeNow += Second / 2;
    const quint64 before = m_sync->currentTick();
    QVERIFY(m_sync->setProperty(property.constData(), value));
    QCOMPARE(m_sync->currentTick(), before);
    fakeNow += Second / 2;
    QCOMPARE(m_sync->currentTick(), ticksAfter);
    QCOMPARE(m_sync->currentBeatTick(), beatTicksAfter);
}

void TestMidiSync::startWhilePlayingKeepsPosition()
{
    m_sync->setPlaying(true);
    fakeNow += Second;
    m_sync->restartClock();
    QCOMPARE(m_sync->currentTick(), 1330560ull);
    fakeNow += Second;
    QCOMPARE(m_sync->currentTick(), 2 * 1330560ull);
}

void TestMidiSync::startLeadsByTheStepHorizon()
{
    // The arrivals due at the start tick are stepped before it comes, as
    // every later arrival is: the position stands for one horizon first.
    constexpr quint64 Horizon = 5000000;
    VoiceSchedule::setHorizon(Horizon);
    const quint64 started = fakeNow;
    m_sync->setPlaying(true);
    QVERIFY(m_sync->isPlaying());
    QCOMPARE(m_sync->counterNanosecondsAtTick(0), started + Horizon);
    fakeNow += Horizon - 1;
    QCOMPARE(m_sync->currentTick(), 0ull);
    fakeNow += 1 + Second;
    QCOMPARE(m_sync->currentTick(), 1330560ull);

    // A start after a pause leads the same way.
    m_sync->setPlaying(false);
    m_sync->setPlaying(true);
    QCOMPARE(m_sync->counterNanosecondsAtTick(1330560), fakeNow + Horizon);
    fakeNow += Horizon + Second;
    QCOMPARE(m_sync->currentTick(), 2 * 1330560ull);
}

void TestMidiSync::stopWhenStoppedKeepsPosition()
{
    m_sync->setPlaying(true);
    fakeNow += Second;
    m_sync->setPlaying(false);
    fakeNow += Second;
    m_sync->setPlaying(false);
    QCOMPARE(m_sync->currentTick(), 1330560ull);
    // A stop stamped before the start does not move the position backwards or wrap.
    m_sync->setPlayingAt(fakeNow, 0, true);
    m_sync->setPlayingAt(fakeNow - Second, 0, false);
    QCOMPARE(m_sync->currentTick(), 1330560ull);
}

void TestMidiSync::timeAtTick_data()
{
    QTest::addColumn<uint>("tempo");
    QTest::addColumn<uint>("numerator");
    QTest::addColumn<uint>("denominator");
    QTest::addColumn<quint64>("tick");

    QTest::newRow("one tick") << 120u << 1u << 1u << 1ull;
    QTest::newRow("a principal") << 120u << 1u << 1u << 665280ull;
    QTest::newRow("odd tempo") << 97u << 1u << 1u << 123457ull;
    QTest::newRow("odd ratio") << 133u << 5u << 3u << 9999999ull;
}

void TestMidiSync::timeAtTick()
{
    QFETCH(uint, tempo);
    QFETCH(uint, numerator);
    QFETCH(uint, denominator);
    QFETCH(quint64, tick);

    m_sync->setTempo(tempo);
    m_sync->setPrincipalsToBeatsNumerator(numerator);
    m_sync->setPrincipalsToBeatsDenominator(denominator);
    QCOMPARE(m_sync->counterNanosecondsAtTick(tick), MaxU64);
    m_sync->setPlaying(true);
    fakeNow += 12345;
    m_sync->setTempo(tempo + 1); // rebases: the answer must include the offsets
    m_sync->setTempo(tempo);
    const quint64 now = fakeNow;
    QCOMPARE(m_sync->counterNanosecondsAtTick(m_sync->currentTick()) <= now, true);

    const quint64 target = m_sync->currentTick() + tick;
    const quint64 at = m_sync->counterNanosecondsAtTick(target);
    fakeNow = at - 1;
    QVERIFY(m_sync->currentTick() < target);
    fakeNow = at;
    QVERIFY(m_sync->currentTick() >= target);

    const quint64 beatTarget = m_sync->currentBeatTick() + tick;
    const quint64 beatAt = m_sync->counterNanosecondsAtBeatTick(beatTarget);
    fakeNow = beatAt - 1;
    QVERIFY(m_sync->currentBeatTick() < beatTarget);
    fakeNow = beatAt;
    QVERIFY(m_sync->currentBeatTick() >= beatTarget);
}

void TestMidiSync::changeSignals()
{
    QSignalSpy tempo(m_sync, &AbstractSync::tempoChanged);
    QSignalSpy numerator(m_sync, &AbstractSync::principalsToBeatsNumeratorChanged);
    QSignalSpy timing(m_sync, &AbstractSync::timingChanged);

    m_sync->setTempo(120);
    m_sync->setPrincipalsToBeatsNumerator(1);
    QCOMPARE(timing.count(), 0);

    m_sync->setTempo(90);
    m_sync->setPrincipalsToBeatsNumerator(4);
    QCOMPARE(tempo.count(), 1);
    QCOMPARE(tempo.first().first().toUInt(), 90u);
    QCOMPARE(numerator.first().first().toUInt(), 4u);
    QCOMPARE(timing.count(), 2);
}

void TestMidiSync::resetReturnsToStart()
{
    m_sync->setPlaying(true);
    fakeNow += Second;
    m_sync->reset();
    QVERIFY(!m_sync->isPlaying());
    QCOMPARE(m_sync->currentTick(), 0ull);
    QCOMPARE(m_sync->currentNanoseconds(), 0ull);
    m_sync->setPlaying(true);
    fakeNow += Second;
    QCOMPARE(m_sync->currentTick(), 1330560ull);
}

void TestMidiSync::factory()
{
    QScopedPointer<AbstractSync> sync(createSync(QStringLiteral("Internal"), nullptr));
    QVERIFY(qobject_cast<MidiSync *>(sync.data()));
    QVERIFY(!createSync(QStringLiteral("external"), nullptr));
    QCOMPARE(syncTypes(), QStringList{QStringLiteral("internal")});
    QCOMPARE(syncTypeDescription(QStringLiteral("INTERNAL")), QStringLiteral("MidiSync"));
    QVERIFY(syncTypeDescription(QStringLiteral("other")).isEmpty());
}

// Following MIDI clock.

void TestMidiSync::followsStartClocksAndStop()
{
    const quint64 t0 = fakeNow;
    m_sync->followMidiClock({message({0xFB}, t0)});
    QVERIFY(!m_sync->isPlaying());

    // The first clock starts the clock at its own time stamp and is not counted.
    const QList<MidiMessage> stream = clocks(t0 + Second / 10, 49, 120.0);
    fakeNow = stream.first().timeStamp + 5000000; // processed late
    m_sync->followMidiClock(stream.mid(0, 1));
    QVERIFY(m_sync->isPlaying());
    QCOMPARE(m_sync->currentNanoseconds(), 5000000ull);

    for (int i = 1; i < stream.size(); ++i) {
        fakeNow = stream.at(i).timeStamp + 3000000;
        m_sync->followMidiClock(stream.mid(i, 1));
    }
    // Stop stamped shortly after the last clock: the position is the 48 counted clocks.
    const quint64 stopStamp = stream.last().timeStamp + 1000000;
    fakeNow = stopStamp + 4000000;
    m_sync->followMidiClock({message({0xFC}, stopStamp)});
    QVERIFY(!m_sync->isPlaying());
    QCOMPARE(m_sync->currentBeatTick(), 48 * AbstractSync::BeatTicksPerMidiClock);
    QCOMPARE(m_sync->currentTick(), 48 * AbstractSync::BeatTicksPerMidiClock);
}

void TestMidiSync::followsTempo_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<uint>("tempo");

    QTest::newRow("140") << 140.0 << 140u;
    QTest::newRow("87.4") << 87.4 << 87u;
    QTest::newRow("above the limit") << 1500.0 << 999u;
}

void TestMidiSync::followsTempo()
{
    QFETCH(double, rate);
    QFETCH(uint, tempo);

    m_sync->followMidiClock({message({0xFA}, fakeNow)});
    const QList<MidiMessage> stream = clocks(fakeNow + 1000, int(rate * 24 / 60 * 2), rate);
    for (const MidiMessage &clock : stream) {
        fakeNow = clock.timeStamp;
        m_sync->followMidiClock({clock});
    }
    QCOMPARE(m_sync->tempo(), tempo);
}

void TestMidiSync::tempoUpdatesAtMostEveryTenthSecond()
{
    QSignalSpy spy(m_sync, &AbstractSync::tempoChanged);
    m_sync->followMidiClock({message({0xFB}, fakeNow)});
    // Clocks whose spacing alternates between two rates: every clock has a new estimate.
    quint64 stamp = fakeNow + 1000;
    for (int i = 0; i < 48; ++i) {
        stamp += (i % 2) ? 20000000 : 21000000;
        fakeNow = stamp;
        m_sync->followMidiClock({message({0xF8}, stamp)});
    }
    // About one second of clocks: the first clock plus one update per 100 ms.
    QVERIFY(spy.count() >= 2);
    QVERIFY(spy.count() <= 11);
}

void TestMidiSync::clockWhileStoppedIsIgnored()
{
    m_sync->followMidiClock(clocks(fakeNow, 30, 120.0));
    QVERIFY(!m_sync->isPlaying());
    QCOMPARE(m_sync->currentBeatTick(), 0ull);
    QCOMPARE(m_sync->tempo(), 120u);
}

void TestMidiSync::otherSongPositionsAreIgnored()
{
    // Without a controller Song Position Pointer 0 has nobody to rewind; any other
    // position, and messages of other lengths, leave the clock alone.
    m_sync->setPlaying(true);
    fakeNow += Second;
    m_sync->followMidiClock({message({0xF2, 0x10, 0x00}, fakeNow), message({0xF8, 0x00}, fakeNow),
                             message({0x90, 60, 100}, fakeNow)});
    QVERIFY(m_sync->isPlaying());
    QCOMPARE(m_sync->currentTick(), 1330560ull);
}

void TestMidiSync::correctsOnlyPersistentErrors()
{
    // At 125 beats per minute a clock is exactly 20 ms.
    m_sync->setTempo(125);
    m_sync->followMidiClock({message({0xFB}, fakeNow)});
    const QList<MidiMessage> stream = clocks(fakeNow + 1000, 12, 125.0);
    const quint64 clock = AbstractSync::BeatTicksPerMidiClock;
    auto follow = [&](int from, int to) {
        for (int i = from; i <= to; ++i) {
            fakeNow = stream.at(i).timeStamp;
            m_sync->followMidiClock(stream.mid(i, 1));
        }
    };
    // Moves the local position ahead by restarting the clock earlier.
    auto pushAhead = [&](quint64 nanoseconds) {
        m_sync->setPlayingAt(fakeNow, 0, false);
        m_sync->setPlayingAt(fakeNow - nanoseconds, 0, true);
    };

    follow(0, 4);
    QCOMPARE(m_sync->currentBeatTick(), 4 * clock);
    // Players sleeping towards their next event learn of every correction.
    QSignalSpy corrected(m_sync, &AbstractSync::positionCorrected);
    QSignalSpy timing(m_sync, &AbstractSync::timingChanged);

    // Less than half a clock off (12474 beat ticks): left alone however long it lasts.
    pushAhead(9000000);
    follow(5, 8);
    QCOMPARE(m_sync->currentBeatTick(), 8 * clock + 12474);

    // More than half a clock off: corrected on the third clock in a row.
    pushAhead(29000000);
    follow(9, 10);
    QVERIFY(m_sync->currentBeatTick() > 10 * clock + 13860);
    QCOMPARE(corrected.count(), 0);
    follow(11, 11);
    QCOMPARE(m_sync->currentBeatTick(), 11 * clock);
    QCOMPARE(corrected.count(), 1);
    QCOMPARE(timing.count(), 1);
}

void TestMidiSync::localStopAfterFollowingDoesNotSnapBack()
{
    m_sync->followMidiClock({message({0xFB}, fakeNow)});
    const QList<MidiMessage> stream = clocks(fakeNow + 1000, 5, 120.0);
    for (const MidiMessage &clock : stream) {
        fakeNow = clock.timeStamp;
        m_sync->followMidiClock({clock});
    }
    m_sync->followMidiClock({message({0xFC}, fakeNow)});
    QCOMPARE(m_sync->currentBeatTick(), 4 * AbstractSync::BeatTicksPerMidiClock);

    // Played on locally for a second: stopping keeps the local position.
    m_sync->setPlaying(true);
    fakeNow += Second;
    m_sync->setPlaying(false);
    QCOMPARE(m_sync->currentBeatTick(), 4 * AbstractSync::BeatTicksPerMidiClock + 1330560);
}

QTEST_GUILESS_MAIN(TestMidiSync)
#include "tst_midisync.moc"
