#include "midibackend.h"
#include "midioutputsyncclock.h"
#include "midisync.h"
#include "monotonicclock.h"
#include "voiceschedule.h"

#include <QMutex>
#include <QMutexLocker>
#include <QTest>

#include <atomic>

namespace {

std::atomic<quint64> fakeNow{0};

quint64 fakeNanoseconds()
{
    return fakeNow.load();
}

constexpr quint64 Second = 1000000000ull;
// One MIDI clock at 120 beats per minute, rounded up.
constexpr quint64 ClockAt120 = 20833334ull;

typedef std::vector<unsigned char> Bytes;

// Output ports that record what is sent to them, and can be told to fail.
class RecordingBackend : public MidiBackend
{
public:
    class Device : public MidiDevice
    {
    public:
        explicit Device(RecordingBackend *backend) : m_backend(backend) {}
        bool send(const Bytes &message, QString *error) override
        {
            QMutexLocker locker(&m_backend->m_mutex);
            if (m_backend->m_failing) {
                *error = QStringLiteral("send refused");
                return false;
            }
            m_backend->m_sent.append(message);
            return true;
        }
        bool setReceiver(Receiver, QString *) override { return true; }
        bool setIgnoredTypes(bool, bool, bool, QString *) override { return true; }
        bool close(QString *) override { return true; }

    private:
        RecordingBackend *m_backend;
    };

    bool portNames(MidiDirection direction, QStringList *names, QString *) override
    {
        *names = direction == MidiDirection::Output ? QStringList{QStringLiteral("Clock Out")} : QStringList();
        return true;
    }
    std::unique_ptr<MidiDevice> openPort(MidiDirection, const QString &name, QString *error) override
    {
        if (name != QStringLiteral("Clock Out")) {
            *error = QStringLiteral("no such port");
            return nullptr;
        }
        return std::make_unique<Device>(this);
    }

    QList<Bytes> sent() const
    {
        QMutexLocker locker(&m_mutex);
        return m_sent;
    }
    int count(unsigned char status) const
    {
        QMutexLocker locker(&m_mutex);
        return int(std::count_if(m_sent.cbegin(), m_sent.cend(),
                                 [status](const Bytes &bytes) { return bytes.front() == status; }));
    }
    void clear()
    {
        QMutexLocker locker(&m_mutex);
        m_sent.clear();
        m_failing = false;
    }
    void setFailing(bool failing)
    {
        QMutexLocker locker(&m_mutex);
        m_failing = failing;
    }

private:
    mutable QMutex m_mutex;
    QList<Bytes> m_sent;
    bool m_failing = false;
};

QList<Bytes> repeated(const Bytes &bytes, int count)
{
    QList<Bytes> list;
    for (int i = 0; i < count; ++i)
        list.append(bytes);
    return list;
}

} // namespace

class TestMidiOutputSyncClock : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void intervalFollowsTempo_data();
    void intervalFollowsTempo();
    void startContinueStopAndSongPosition();
    void positionBehindClocksSentSendsNothing();
    void threadSendsClocksAsThePositionPasses();
    void noClockFollowsStop();
    void failedSendPausesAndCloses();

private:
    // A sender whose thread is not started: every send happens in the test's own calls.
    MidiOutputSyncClock *makeSender();

    RecordingBackend m_backend;
    MidiSync *m_sync = nullptr;
    QList<MidiOutputSyncClock *> m_senders;
};

void TestMidiOutputSyncClock::init()
{
    // The position starts at once: no lead for voice steps ahead of it.
    VoiceSchedule::setHorizon(0);
    fakeNow = 500 * Second;
    MonotonicClock::setSource(&fakeNanoseconds);
    MidiBackend::setInstance(&m_backend);
    m_sync = new MidiSync;
}

void TestMidiOutputSyncClock::cleanup()
{
    qDeleteAll(m_senders);
    m_senders.clear();
    delete m_sync;
    m_sync = nullptr;
    MidiBackend::setInstance(nullptr);
    MonotonicClock::setSource(nullptr);
    m_backend.clear();
}

MidiOutputSyncClock *TestMidiOutputSyncClock::makeSender()
{
    auto *sender = new MidiOutputSyncClock;
    m_senders.append(sender);
    sender->setSync(m_sync);
    sender->setTempo(m_sync->tempo());
    if (!sender->open(QStringLiteral("Clock Out")))
        qFatal("the recording port did not open");
    return sender;
}

void TestMidiOutputSyncClock::intervalFollowsTempo_data()
{
    QTest::addColumn<uint>("tempo");
    QTest::addColumn<quint32>("interval");

    QTest::newRow("120") << 120u << 80u;
    QTest::newRow("2500") << 2500u << 4u;
    QTest::newRow("3000") << 3000u << 1u;
    QTest::newRow("1") << 1u << 500u;
    QTest::newRow("0 counts as 1") << 0u << 500u;
}

void TestMidiOutputSyncClock::intervalFollowsTempo()
{
    QFETCH(uint, tempo);
    QFETCH(quint32, interval);
    MidiOutputSyncClock sender;
    sender.setTempo(tempo);
    QCOMPARE(sender.interval(), interval);
}

void TestMidiOutputSyncClock::startContinueStopAndSongPosition()
{
    MidiOutputSyncClock *sender = makeSender();
    sender->sendSongPositionZero();
    m_sync->setPlaying(true);
    sender->sendStart();
    sender->start();
    // Fifteen clocks have passed: a stop sends ten of them (the most one step sends),
    // then Stop.
    fakeNow += 15 * ClockAt120;
    m_sync->setPlaying(false);
    sender->pauseAndWait();
    QCOMPARE(sender->clocksSent(), 10ull);

    // Clocks were sent, so the next start continues; the five still due go first.
    m_sync->setPlaying(true);
    sender->sendStart();
    sender->start();
    sender->pauseAndWait();
    QCOMPARE(sender->clocksSent(), 15ull);

    // After Song Position Pointer 0 a start is a Start again.
    sender->sendSongPositionZero();
    QCOMPARE(sender->clocksSent(), 0ull);
    sender->sendStart();

    QList<Bytes> expected{{0xF2, 0x00, 0x00}, {0xFA}, {0xF8}};
    expected << repeated({0xF8}, 10) << Bytes{0xFC} << Bytes{0xFB} << Bytes{0xF8};
    expected << repeated({0xF8}, 5) << Bytes{0xFC} << Bytes{0xF2, 0x00, 0x00} << Bytes{0xFA};
    QCOMPARE(m_backend.sent(), expected);
}

void TestMidiOutputSyncClock::positionBehindClocksSentSendsNothing()
{
    MidiOutputSyncClock *sender = makeSender();
    m_sync->setPlaying(true);
    sender->sendStart();
    sender->start();
    fakeNow += 5 * ClockAt120;
    sender->pauseAndWait();
    QCOMPARE(sender->clocksSent(), 5ull);
    // The clock returns to 0 without the sender being told: nothing is due.
    m_sync->reset();
    m_sync->setPlaying(true);
    fakeNow += ClockAt120;
    sender->pauseAndWait();
    QCOMPARE(sender->clocksSent(), 5ull);
    QCOMPARE(m_backend.count(0xF8), 6);
}

void TestMidiOutputSyncClock::threadSendsClocksAsThePositionPasses()
{
    MidiOutputSyncClock *sender = makeSender();
    sender->QThread::start();
    m_sync->setPlaying(true);
    sender->sendStart();
    sender->start();
    // Two beats at once: 48 clocks, worked off ten per step.
    fakeNow += 2 * 24 * ClockAt120;
    QTRY_COMPARE(sender->clocksSent(), 48ull);
    fakeNow += ClockAt120;
    QTRY_COMPARE(sender->clocksSent(), 49ull);
    m_sync->setPlaying(false);
    sender->pauseAndWait();
    QCOMPARE(m_backend.count(0xF8), 50);
    QCOMPARE(m_backend.sent().last(), Bytes{0xFC});
}

void TestMidiOutputSyncClock::noClockFollowsStop()
{
    MidiOutputSyncClock *sender = makeSender();
    sender->QThread::start();
    for (int round = 0; round < 50; ++round) {
        m_sync->setPlaying(true);
        sender->sendStart();
        sender->start();
        for (int i = 0; i < 20; ++i) {
            fakeNow += ClockAt120 / 3;
            QThread::usleep(50);
        }
        m_sync->setPlaying(false);
        sender->pauseAndWait();
        // Time goes on while stopped; the sender must stay silent.
        fakeNow += 10 * ClockAt120;
        QThread::usleep(200);
    }
    // Every Timing Clock lies between a Start or Continue and the Stop that ends it.
    bool running = false;
    for (const Bytes &bytes : m_backend.sent()) {
        if (bytes == Bytes{0xFA} || bytes == Bytes{0xFB})
            running = true;
        else if (bytes == Bytes{0xFC})
            running = false;
        else
            QVERIFY2(running && bytes == Bytes{0xF8}, "Timing Clock while stopped");
    }
    QCOMPARE(quint64(m_backend.count(0xF8) - 50), sender->clocksSent());
}

void TestMidiOutputSyncClock::failedSendPausesAndCloses()
{
    MidiOutputSyncClock *sender = makeSender();
    sender->QThread::start();
    m_sync->setPlaying(true);
    sender->sendStart();
    sender->start();
    m_backend.setFailing(true);
    fakeNow += 3 * ClockAt120;
    QTRY_VERIFY(!sender->isOpen());
    QTRY_COMPARE(sender->state(), AbstractOutputThread::Paused);
    m_backend.setFailing(false);
    fakeNow += 3 * ClockAt120;
    QTest::qWait(20);
    QCOMPARE(m_backend.sent(), (QList<Bytes>{{0xFA}, {0xF8}}));
}

QTEST_GUILESS_MAIN(TestMidiOutputSyncClock)
#include "tst_midioutputsyncclock.moc"
