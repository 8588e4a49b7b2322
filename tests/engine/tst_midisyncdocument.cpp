#include "memorymidibackend.h"
#include "midisync.h"
#include "monotonicclock.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>

namespace {

std::atomic<quint64> fakeNow{0};

quint64 fakeNanoseconds()
{
    return fakeNow.load();
}

constexpr quint64 Second = 1000000000ull;
const QString SyncIn = QStringLiteral("Sync In");
const QString SyncOut = QStringLiteral("Sync Out");
const QString MidiSyncKey = QStringLiteral("MidiSync");

// A network controller that records what clock following asks of the playback requests.
class RecordingController : public QmdVelkaController
{
    Q_OBJECT

public:
    QList<bool> primed;
    int rewinds = 0;

public slots:
    QmdRequestId requestPrimePlaybackForSyncStateChange(bool newState)
    {
        primed.append(newState);
        return 4294967295u;
    }
    QmdRequestId requestGotoStart()
    {
        ++rewinds;
        return 4294967295u;
    }
};

} // namespace

class TestMidiSyncDocument : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void timingFollowsDocument();
    void clockWritesTimingBack();
    void timingKeptInRange_data();
    void timingKeptInRange();
    void syncPortsFollowDocument_data();
    void syncPortsFollowDocument();
    void startWithOutputWaitsForTheLead();
    void outputJoiningPlaybackSendsNoBacklog();
    void followsExternalClock();
    void closedInputNoticeIsIgnored();
    void resetWithModel();

private:
    QmdIndex portsIndex(bool output) const;
    void setPortSync(bool output, const QString &port, bool on);
    // Hands one message to the sync input at the current fake time and lets the clock
    // follow it.
    void receive(const std::vector<unsigned char> &bytes);

    std::unique_ptr<MemoryMidiBackend> m_backend;
    std::unique_ptr<QmdMemModel> m_model;
    std::unique_ptr<RecordingController> m_controller;
    std::unique_ptr<MidiSync> m_sync;
};

void TestMidiSyncDocument::init()
{
    fakeNow = 100 * Second;
    MonotonicClock::setSource(&fakeNanoseconds);
    m_backend = std::make_unique<MemoryMidiBackend>();
    m_backend->addPort(MidiDirection::Input, SyncIn);
    m_backend->addPort(MidiDirection::Output, SyncOut);
    m_backend->install();
    m_model = std::make_unique<QmdMemModel>();
    m_controller = std::make_unique<RecordingController>();
    m_controller->setModel(m_model.get());
    m_sync = std::make_unique<MidiSync>();
    m_sync->setController(m_controller.get());
}

void TestMidiSyncDocument::cleanup()
{
    m_sync.reset();
    m_controller.reset();
    m_model.reset();
    m_backend.reset();
    MonotonicClock::setSource(nullptr);
}

QmdIndex TestMidiSyncDocument::portsIndex(bool output) const
{
    return output ? m_controller->syncMidiOutputsIndex() : m_controller->syncMidiInputsIndex();
}

void TestMidiSyncDocument::setPortSync(bool output, const QString &port, bool on)
{
    const QmdRequestOptions options(Qmd::NoUndoHistory);
    if (!m_controller->index(port, portsIndex(output)).isValid())
        m_controller->requestSetType(port, Qmd::StrDict, portsIndex(output), options);
    m_controller->requestSetData(MidiSyncKey, on, m_controller->index(port, portsIndex(output)), options);
}

void TestMidiSyncDocument::receive(const std::vector<unsigned char> &bytes)
{
    m_backend->receive(SyncIn, bytes);
    QCoreApplication::processEvents();
}

void TestMidiSyncDocument::timingFollowsDocument()
{
    QHash<QString, QVariant> timing;
    timing.insert(QStringLiteral("Tempo"), 93);
    timing.insert(QStringLiteral("PrincipalsToBeatsNumerator"), 3);
    timing.insert(QStringLiteral("PrincipalsToBeatsDenominator"), 4);
    m_controller->requestSetData(timing);
    QTRY_COMPARE(m_sync->tempo(), 93u);
    QTRY_COMPARE(m_sync->principalsToBeatsNumerator(), 3u);
    QTRY_COMPARE(m_sync->principalsToBeatsDenominator(), 4u);
    QCOMPARE(m_sync->nanosecondsToTicks(60 * Second), 93ull * 665280 * 3 / 4);
}

void TestMidiSyncDocument::clockWritesTimingBack()
{
    QVERIFY(!m_controller->canUndo());
    // A tempo set by the clock (as clock following does) reaches the document without an
    // undo step.
    m_sync->setTempo(140);
    QTRY_COMPARE(m_controller->data(QStringLiteral("Tempo")).toUInt(), 140u);
    QVERIFY(!m_controller->canUndo());
    // The ratio is the user's: its changes are undoable.
    m_sync->setPrincipalsToBeatsNumerator(2);
    QTRY_COMPARE(m_controller->data(QStringLiteral("PrincipalsToBeatsNumerator")).toUInt(), 2u);
    QVERIFY(m_controller->canUndo());
}

// Whether a value comes from a file or a request, the document holds the
// tempo and the ratio only within the Document page's ranges (tempo 1 to 999,
// each term 1 to 128), and the clock runs at what the document holds.
void TestMidiSyncDocument::timingKeptInRange_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("leaf");  // as a file holds it
    QTest::addColumn<QVariant>("value"); // as a request writes it
    QTest::addColumn<uint>("expected");
    QTest::addColumn<bool>("warned");

    const QString tempo = QStringLiteral("Tempo");
    const QString numerator = QStringLiteral("PrincipalsToBeatsNumerator");
    const QString denominator = QStringLiteral("PrincipalsToBeatsDenominator");
    QTest::newRow("largest tempo") << tempo << "<integer>4294967295</integer>" << QVariant(4294967295u) << 999u
                                   << true;
    QTest::newRow("tempo 1000") << tempo << "<integer>1000</integer>" << QVariant(1000) << 999u << true;
    QTest::newRow("tempo 0") << tempo << "<integer>0</integer>" << QVariant(0u) << 1u << true;
    QTest::newRow("negative tempo") << tempo << "<integer>-5</integer>" << QVariant(-5) << 1u << true;
    QTest::newRow("tempo between") << tempo << "<real>120.6</real>" << QVariant(120.6) << 121u << true;
    QTest::newRow("tempo as text") << tempo << "<string>300</string>" << QVariant(QStringLiteral("300")) << 300u
                                   << true;
    QTest::newRow("tempo no number") << tempo << "<true/>" << QVariant(true) << 120u << true;
    QTest::newRow("tempo 999") << tempo << "<integer>999</integer>" << QVariant(999u) << 999u << false;
    QTest::newRow("numerator 10^6") << numerator << "<integer>1000000</integer>" << QVariant(1000000u) << 128u
                                    << true;
    QTest::newRow("largest numerator") << numerator << "<integer>4294967295</integer>" << QVariant(4294967295u)
                                       << 128u << true;
    QTest::newRow("numerator 128") << numerator << "<integer>128</integer>" << QVariant(128u) << 128u << false;
    QTest::newRow("denominator 0") << denominator << "<integer>0</integer>" << QVariant(0u) << 1u << true;
    QTest::newRow("denominator 129") << denominator << "<integer>129</integer>" << QVariant(129) << 128u << true;
}

void TestMidiSyncDocument::timingKeptInRange()
{
    QFETCH(QString, key);
    QFETCH(QString, leaf);
    QFETCH(QVariant, value);
    QFETCH(uint, expected);
    QFETCH(bool, warned);
    const auto clockValue = [this, &key] {
        return key == QLatin1String("Tempo") ? m_sync->tempo()
            : key == QLatin1String("PrincipalsToBeatsNumerator") ? m_sync->principalsToBeatsNumerator()
                                                                   : m_sync->principalsToBeatsDenominator();
    };

    // A request: clamped in the same request, so one undo step takes it back.
    m_controller->requestSetData(key, 7u);
    QTRY_COMPARE(clockValue(), 7u);
    m_controller->requestSetData(key, value);
    QCOMPARE(m_controller->data(key), QVariant(expected));
    QTRY_COMPARE(clockValue(), expected);
    QTest::qWait(20);
    QCOMPARE(clockValue(), expected);
    m_controller->requestUndo();
    QCOMPARE(m_controller->data(key), QVariant(7u));
    QTRY_COMPARE(clockValue(), 7u);

    // A file: clamped as it is read, and said so.
    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("timing.vlk"));
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                              "<key>ContainerType</key><string>StrDict</string><key>%1</key>%2</dict></plist>\n")
                   .arg(key, leaf)
                   .toUtf8());
    file.close();
    QSignalSpy loaded(m_controller.get(), &QmdDocController::fileLoaded);
    m_controller->requestLoad(fileName);
    QCOMPARE(loaded.count(), 1);
    QCOMPARE(m_controller->data(key), QVariant(expected));
    QTRY_COMPARE(clockValue(), expected);
    const QStringList warnings = m_controller->fileWarnings();
    QCOMPARE(warnings.size(), warned ? 1 : 0);
    if (warned) {
        QVERIFY2(warnings.first().contains(key) && warnings.first().contains(QStringLiteral("read as %1").arg(expected)),
                 qPrintable(warnings.first()));
    }
}

void TestMidiSyncDocument::syncPortsFollowDocument_data()
{
    QTest::addColumn<bool>("output");
    QTest::addColumn<QString>("port");

    QTest::newRow("input") << false << SyncIn;
    QTest::newRow("output") << true << SyncOut;
}

void TestMidiSyncDocument::syncPortsFollowDocument()
{
    QFETCH(bool, output);
    QFETCH(QString, port);
    auto openPorts = [&] { return output ? m_sync->syncOutputPortNames() : m_sync->syncInputPortNames(); };

    setPortSync(output, port, true);
    QTRY_COMPARE(openPorts(), QStringList{port});
    QCOMPARE(m_backend->openDevices(output ? MidiDirection::Output : MidiDirection::Input, port), 1);

    setPortSync(output, port, false);
    QTRY_COMPARE(openPorts(), QStringList());

    // An entry that is switched on when the clock gets its controller opens at once.
    setPortSync(output, port, true);
    QTRY_COMPARE(openPorts(), QStringList{port});
    m_sync->setController(nullptr);
    QCOMPARE(openPorts(), QStringList());
    m_sync->setController(m_controller.get());
    QTRY_COMPARE(openPorts(), QStringList{port});

    // Removing the entry closes the port.
    m_controller->requestRemove(port, portsIndex(output), QmdRequestOptions(Qmd::NoUndoHistory));
    QTRY_COMPARE(openPorts(), QStringList());
    QTRY_COMPARE(m_backend->openDevices(output ? MidiDirection::Output : MidiDirection::Input, port), 0);
}

void TestMidiSyncDocument::startWithOutputWaitsForTheLead()
{
    using Bytes = std::vector<unsigned char>;
    setPortSync(true, SyncOut, true);
    QTRY_COMPARE(m_sync->syncOutputPortNames(), QStringList{SyncOut});
    m_sync->reset();
    m_sync->setPlaying(true);
    QVERIFY(m_sync->isPlaying());
    // Start at once; the caller does not wait for the lead: the Timing Clock
    // of the start position goes out when it has passed.
    QCOMPARE(m_backend->sentTo(SyncOut), (QList<Bytes>{{0xF2, 0x00, 0x00}, {0xFA}}));
    QTest::qWait(20);
    QCOMPARE(m_backend->sentTo(SyncOut).size(), 2);
    // The position begins 10 ms after the start was asked for.
    fakeNow += MidiSync::SyncOutputLeadNanoseconds;
    QTRY_COMPARE(m_backend->sentTo(SyncOut), (QList<Bytes>{{0xF2, 0x00, 0x00}, {0xFA}, {0xF8}}));
    QCOMPARE(m_sync->currentTick(), 0ull);
    fakeNow += Second;
    QCOMPARE(m_sync->currentTick(), 1330560ull);
    QTRY_COMPARE(m_backend->sentTo(SyncOut).size(), 3 + 48);
}

void TestMidiSyncDocument::outputJoiningPlaybackSendsNoBacklog()
{
    m_sync->setPlaying(true);
    fakeNow += Second; // 48 clocks at 120
    setPortSync(true, SyncOut, true);
    QTRY_COMPARE(m_sync->syncOutputPortNames(), QStringList{SyncOut});
    using Bytes = std::vector<unsigned char>;
    QTRY_COMPARE(m_backend->sentTo(SyncOut).size(), 2);
    QCOMPARE(m_backend->sentTo(SyncOut), (QList<Bytes>{{0xFB}, {0xF8}}));
    QTest::qWait(20);
    QCOMPARE(m_backend->sentTo(SyncOut).size(), 2);
    // The next clock goes out when the position reaches it.
    fakeNow += Second / 48 + 1;
    QTRY_COMPARE(m_backend->sentTo(SyncOut).size(), 3);
}

void TestMidiSyncDocument::followsExternalClock()
{
    setPortSync(false, SyncIn, true);
    QTRY_COMPARE(m_sync->syncInputPortNames(), QStringList{SyncIn});

    receive({0xFB});
    QVERIFY(!m_sync->isPlaying());
    QCOMPARE(m_controller->primed, QList<bool>{true});

    // Two seconds of clocks at 140 beats per minute; the first starts the clock.
    const double interval = 60e9 / (140.0 * 24.0);
    const quint64 first = fakeNow + Second / 100;
    const int count = 2 * 140 * 24 / 60;
    for (int i = 0; i < count; ++i) {
        fakeNow = first + quint64(i * interval);
        receive({0xF8});
        if (i == 0)
            QVERIFY(m_sync->isPlaying());
    }
    QCOMPARE(m_sync->tempo(), 140u);
    QTRY_COMPARE(m_controller->data(QStringLiteral("Tempo")).toUInt(), 140u);
    QVERIFY(!m_controller->canUndo());

    fakeNow += 5000000;
    receive({0xFC});
    QVERIFY(!m_sync->isPlaying());
    QCOMPARE(m_controller->primed.last(), false);
    QCOMPARE(m_sync->currentBeatTick(), quint64(count - 1) * AbstractSync::BeatTicksPerMidiClock);

    // Start rewinds the document; Song Position Pointer 0 does too, other positions not.
    receive({0xFA});
    receive({0xF2, 0x00, 0x00});
    receive({0xF2, 0x05, 0x00});
    QCOMPARE(m_controller->rewinds, 2);
}

void TestMidiSyncDocument::closedInputNoticeIsIgnored()
{
    setPortSync(false, SyncIn, true);
    QTRY_COMPARE(m_sync->syncInputPortNames(), QStringList{SyncIn});
    // A message arrives; before the clock reads it, its input is closed (and a new one
    // opened for the same port). The notice of the old input is dropped with its message.
    m_backend->receive(SyncIn, {0xFB});
    m_sync->setController(nullptr);
    m_sync->setController(m_controller.get());
    QTRY_COMPARE(m_sync->syncInputPortNames(), QStringList{SyncIn});
    QTest::qWait(10);
    QVERIFY(m_controller->primed.isEmpty());
}

void TestMidiSyncDocument::resetWithModel()
{
    m_sync->setPlaying(true);
    fakeNow += Second;
    QVERIFY(m_sync->currentTick() > 0);
    // A model reset (a new or loaded document) rewinds the clock.
    m_controller->setModel(m_model.get());
    QTRY_VERIFY(!m_sync->isPlaying());
    QCOMPARE(m_sync->currentTick(), 0ull);
}

QTEST_MAIN(TestMidiSyncDocument)
#include "tst_midisyncdocument.moc"
