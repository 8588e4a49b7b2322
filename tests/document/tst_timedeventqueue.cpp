#include "feedbackevent.h"
#include "instrumentevent.h"
#include "timedeventqueue.h"

#include <QAtomicInt>
#include <QThread>
#include <QtTest>

#include <vector>

namespace {

// Records whose tag tells apart records of equal tick.
struct Tagged
{
    quint64 tick;
    int tag;
};

quint64 timedEventTick(const Tagged &record)
{
    return record.tick;
}

using TaggedList = std::vector<Tagged>;

QList<int> tagsOf(const TaggedList &records)
{
    QList<int> tags;
    for (const Tagged &r : records)
        tags << r.tag;
    return tags;
}

TaggedList drain(TimedEventQueue<Tagged> &queue)
{
    TaggedList out;
    queue.takeDue(out, 1 << 30, ~quint64(0));
    return out;
}

void fill(TimedEventQueue<Tagged> &queue, int count)
{
    for (int i = 0; i < count; ++i)
        QVERIFY(queue.insert({quint64(i), i}));
}

} // namespace

class TestTimedEventQueue : public QObject
{
    Q_OBJECT

private slots:
    void keepsTickOrderAndArrivalOrder_data();
    void keepsTickOrderAndArrivalOrder();
    void takeDueStopsAtTickAndCount_data();
    void takeDueStopsAtTickAndCount();
    void takeDueAppendsAndContinues();
    void limitBoundsSinglesAndPairs_data();
    void limitBoundsSinglesAndPairs();
    void frontNotifierRunsOnlyForNewFront();
    void concurrentProducersLoseNothing();
    void instrumentEventConstructors();
    void instrumentEventClampsDataBytes_data();
    void instrumentEventClampsDataBytes();
    void rawMessagesAreStoredUnchanged_data();
    void rawMessagesAreStoredUnchanged();
    void feedbackEventsQueueByTick();
};

void TestTimedEventQueue::keepsTickOrderAndArrivalOrder_data()
{
    QTest::addColumn<QList<quint64>>("ticks");
    QTest::addColumn<QList<int>>("expectedTags");
    // The tag of each record is its insertion index.
    QTest::newRow("5 3 5 1") << QList<quint64>{5, 3, 5, 1} << QList<int>{3, 1, 0, 2};
    QTest::newRow("all equal") << QList<quint64>{7, 7, 7} << QList<int>{0, 1, 2};
    QTest::newRow("descending") << QList<quint64>{3, 2, 1, 0} << QList<int>{3, 2, 1, 0};
    QTest::newRow("unsigned extremes")
        << QList<quint64>{~quint64(0), 0, quint64(1) << 63} << QList<int>{1, 2, 0};
}

void TestTimedEventQueue::keepsTickOrderAndArrivalOrder()
{
    QFETCH(QList<quint64>, ticks);
    QFETCH(QList<int>, expectedTags);
    TimedEventQueue<Tagged> queue(1000);
    for (int i = 0; i < ticks.size(); ++i)
        QVERIFY(queue.insert({ticks[i], i}));
    QCOMPARE(tagsOf(drain(queue)), expectedTags);
}

void TestTimedEventQueue::takeDueStopsAtTickAndCount_data()
{
    QTest::addColumn<int>("maxCount");
    QTest::addColumn<quint64>("tick");
    QTest::addColumn<QList<int>>("expectedTags");
    // Queue holds ticks 10, 20, 20, 30 tagged 0..3.
    QTest::newRow("before the front") << 32 << quint64(9) << QList<int>{};
    QTest::newRow("equal tick is due") << 32 << quint64(10) << QList<int>{0};
    QTest::newRow("equal ticks both due") << 32 << quint64(20) << QList<int>{0, 1, 2};
    QTest::newRow("max count 0") << 0 << quint64(100) << QList<int>{};
    QTest::newRow("negative max count") << -1 << quint64(100) << QList<int>{};
    QTest::newRow("max count 2") << 2 << quint64(100) << QList<int>{0, 1};
}

void TestTimedEventQueue::takeDueStopsAtTickAndCount()
{
    QFETCH(int, maxCount);
    QFETCH(quint64, tick);
    QFETCH(QList<int>, expectedTags);
    TimedEventQueue<Tagged> queue(1000);
    const quint64 ticks[] = {10, 20, 20, 30};
    for (int i = 0; i < 4; ++i)
        queue.insert({ticks[i], i});
    TaggedList out;
    queue.takeDue(out, maxCount, tick);
    QCOMPARE(tagsOf(out), expectedTags);
    QCOMPARE(queue.size(), 4 - expectedTags.size());
}

void TestTimedEventQueue::takeDueAppendsAndContinues()
{
    TimedEventQueue<Tagged> queue(1000);
    fill(queue, 40);
    TaggedList out{{99, -1}};
    queue.takeDue(out, 33, 1000);
    QCOMPARE(out.size(), size_t(33));
    QCOMPARE(out.front().tag, -1);
    QCOMPARE(out.back().tag, 31);

    out.clear();
    queue.takeDue(out, 32, 1000);
    QCOMPARE(out.size(), size_t(8));
    QCOMPARE(out.front().tag, 32);
    QVERIFY(queue.isEmpty());
}

void TestTimedEventQueue::limitBoundsSinglesAndPairs_data()
{
    QTest::addColumn<quint32>("limit");
    QTest::addColumn<int>("held");
    QTest::addColumn<bool>("pairAccepted");
    QTest::addColumn<bool>("singleAccepted");
    QTest::newRow("998 of 1000") << 1000u << 998 << true << true;
    QTest::newRow("999 of 1000") << 1000u << 999 << false << true;
    QTest::newRow("1000 of 1000") << 1000u << 1000 << false << false;
    QTest::newRow("limit 1, empty") << 1u << 0 << false << true;
    QTest::newRow("limit 0") << 0u << 0 << false << false;
}

void TestTimedEventQueue::limitBoundsSinglesAndPairs()
{
    QFETCH(quint32, limit);
    QFETCH(int, held);
    QFETCH(bool, pairAccepted);
    QFETCH(bool, singleAccepted);

    TimedEventQueue<Tagged> queue(limit);
    fill(queue, held);
    QCOMPARE(queue.insertPair({0, -1}, {5000, -2}), pairAccepted);
    QCOMPARE(queue.size(), held + (pairAccepted ? 2 : 0));

    TimedEventQueue<Tagged> other(limit);
    fill(other, held);
    QCOMPARE(other.insert({0, -1}), singleAccepted);
    QCOMPARE(other.size(), held + (singleAccepted ? 1 : 0));
}

void TestTimedEventQueue::frontNotifierRunsOnlyForNewFront()
{
    TimedEventQueue<Tagged> queue(5);
    int calls = 0;
    queue.setFrontNotifier([&] {
        // Runs outside the lock: the queue is usable from the notifier.
        quint64 tick = 0;
        QVERIFY(queue.frontTick(&tick));
        ++calls;
    });
    queue.insert({50, 0});                      // first record: new front
    queue.insert({60, 1});                      // behind the front
    queue.insert({50, 2});                      // equal tick goes behind
    QCOMPARE(calls, 1);
    queue.insertPair({70, 3}, {10, 4});         // second of the pair is a new front
    QCOMPARE(calls, 2);
    QVERIFY(!queue.insert({0, 5}));             // rejected: no notification
    QCOMPARE(calls, 2);

    quint64 front = 0;
    QVERIFY(queue.frontTick(&front));
    QCOMPARE(front, quint64(10));
    queue.clear();
    QVERIFY(!queue.frontTick(&front));
}

void TestTimedEventQueue::concurrentProducersLoseNothing()
{
    constexpr int producers = 4;
    constexpr int perProducer = 2000;
    TimedEventQueue<Tagged> queue(producers * perProducer);
    QList<QThread *> threads;
    for (int p = 0; p < producers; ++p) {
        threads << QThread::create([&queue, p] {
            for (int i = 0; i < perProducer; ++i)
                queue.insert({quint64(i), p});
        });
        threads.last()->start();
    }
    TaggedList taken;
    for (QThread *t : threads) {
        t->wait();
        delete t;
    }
    taken = drain(queue);
    QCOMPARE(int(taken.size()), producers * perProducer);
    QVERIFY(std::is_sorted(taken.begin(), taken.end(),
                           [](const Tagged &a, const Tagged &b) { return a.tick < b.tick; }));
}

void TestTimedEventQueue::instrumentEventConstructors()
{
    const InstrumentEvent on = InstrumentEvent::noteOn(7, 60, 100);
    QCOMPARE(on.type, quint32(InstrumentEvent::NoteOn));
    QCOMPARE(on.pos, quint64(7));
    QCOMPARE(int(on.pitch), 60);
    QCOMPARE(int(on.velocity), 100);
    QCOMPARE(int(on.bankLsb), 0);
    QVERIFY(on.bytes.empty());

    const InstrumentEvent off = InstrumentEvent::noteOff(8, 60, 0);
    QCOMPARE(off.type, quint32(InstrumentEvent::NoteOff));
    QCOMPARE(int(off.velocity), 0);

    const InstrumentEvent program = InstrumentEvent::programChange(9, 5, 1, 2);
    QCOMPARE(program.type, quint32(InstrumentEvent::ProgramChange));
    QCOMPARE(int(program.pitch), 5);
    QCOMPARE(int(program.velocity), 1);
    QCOMPARE(int(program.bankLsb), 2);
    QVERIFY(program.bytes.empty());

    const InstrumentEvent general(3, 10, 1, 2);
    QCOMPARE(general.type, quint32(3));
    QCOMPARE(int(general.bankLsb), 0);

    // A note off queued before a note on of the same tick leaves first.
    TimedEventQueue<InstrumentEvent> queue(10);
    queue.insert(InstrumentEvent::noteOff(100, 60, 0));
    queue.insert(InstrumentEvent::noteOn(100, 60, 90));
    std::vector<InstrumentEvent> out;
    queue.takeDue(out, 32, 100);
    QCOMPARE(out.size(), size_t(2));
    QCOMPARE(out[0].type, quint32(InstrumentEvent::NoteOff));
    QCOMPARE(out[1].type, quint32(InstrumentEvent::NoteOn));
}

void TestTimedEventQueue::instrumentEventClampsDataBytes_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("stored");
    QTest::newRow("in range") << 64 << 64;
    QTest::newRow("zero") << 0 << 0;
    QTest::newRow("127") << 127 << 127;
    QTest::newRow("128") << 128 << 127;
    QTest::newRow("255") << 255 << 127;
    QTest::newRow("300") << 300 << 127;
    QTest::newRow("negative") << -5 << 0;
}

void TestTimedEventQueue::instrumentEventClampsDataBytes()
{
    QFETCH(int, value);
    QFETCH(int, stored);
    const InstrumentEvent note = InstrumentEvent::noteOn(0, value, value);
    QCOMPARE(int(note.pitch), stored);
    QCOMPARE(int(note.velocity), stored);
    const InstrumentEvent program = InstrumentEvent::programChange(0, value, value, value);
    QCOMPARE(int(program.pitch), stored);
    QCOMPARE(int(program.velocity), stored);
    QCOMPARE(int(program.bankLsb), stored);
}

void TestTimedEventQueue::rawMessagesAreStoredUnchanged_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("clock") << QByteArray("\xF8", 1);
    QTest::newRow("song position 0") << QByteArray("\xF2\x00\x00", 3);
    QTest::newRow("sysex") << QByteArray("\xF0\x7E\x7F\x09\x01\xF7", 6);
}

void TestTimedEventQueue::rawMessagesAreStoredUnchanged()
{
    QFETCH(QByteArray, message);
    const std::vector<unsigned char> bytes(message.begin(), message.end());
    InstrumentEvent raw(42, bytes);
    QCOMPARE(raw.type, quint32(InstrumentEvent::RawMessage));
    QCOMPARE(raw.pos, quint64(42));
    QCOMPARE(int(raw.pitch) + int(raw.velocity) + int(raw.bankLsb), 0);
    QVERIFY(raw.bytes == bytes);

    const InstrumentEvent copy = raw;
    raw.bytes.push_back(0x01);
    QVERIFY(copy.bytes == bytes);
}

void TestTimedEventQueue::feedbackEventsQueueByTick()
{
    TimedEventQueue<FeedbackEvent> pipe(1000);
    pipe.insert(FeedbackEvent(0, 200, 4, 1, 2, 9, 60, 100, 665280));
    pipe.insert(FeedbackEvent(1, 100, 4, 2, 3, 9, 62, 90, 1000));
    QList<FeedbackEvent> out;
    pipe.takeDue(out, 32, 150);
    QCOMPARE(out.size(), 1);
    const FeedbackEvent &e = out.first();
    QCOMPARE(e.muted, 1u);
    QCOMPARE(e.tick, quint64(100));
    QCOMPARE(e.voiceGroup, QmdItemId(4));
    QCOMPARE(e.voiceNumber, 2u);
    QCOMPARE(e.node, QmdItemId(3));
    QCOMPARE(e.instrument, QmdItemId(9));
    QCOMPARE(int(e.pitch), 62);
    QCOMPARE(int(e.velocity), 90);
    QCOMPARE(e.duration, quint64(1000));
}

QTEST_APPLESS_MAIN(TestTimedEventQueue)
#include "tst_timedeventqueue.moc"
