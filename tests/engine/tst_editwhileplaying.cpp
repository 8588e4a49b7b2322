#include "abstractsync.h"
#include "controllertest.h"
#include "engineplayerfactory.h"
#include "memorymidibackend.h"
#include "midioutput.h"
#include "outputportnames.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"

#include <QBitArray>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <functional>
#include <limits>
#include <memory>
#include <random>

// A document plays on the engine (in-memory MIDI ports, the real clock) while
// random operations edit it as a user in a hurry would: every kind of request,
// hostile values among them, undo and redo runs, copy and paste, save and
// load, play, pause and go to start, with and without the event loop turning
// in between. After every pause no note may be left sounding and no message
// may have gone to a port no instrument used; undoing k steps and redoing them
// must give back the same document.
//
// The seeds are fixed; VELKA_EDIT_SEEDS=<n> runs n seeds from the first one
// and VELKA_EDIT_OPERATIONS=<n> sets the operations per seed, for longer runs.
using ControllerTest::dump;
using ControllerTest::settle;
using QmdVelka::TickPos;

namespace {

constexpr qint64 P = 665280;
const QString Out1 = QStringLiteral("Out 1");
const QString Out2 = QStringLiteral("Out 2");
// Listed, but named by no instrument: nothing may ever reach it.
const QString Spare = QStringLiteral("Spare");

// Drops the warnings that hostile values call for (ports that do not open,
// and the like); counts them.
std::atomic<int> quietWarnings{0};
void quietHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg) {
        fprintf(stderr, "%s\n", qPrintable(message));
        abort();
    }
    ++quietWarnings;
}

int environmentNumber(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

QBitArray channelBits(std::initializer_list<int> channels, int size = 16)
{
    QBitArray bits(size);
    for (int channel : channels)
        bits.setBit(channel);
    return bits;
}

} // namespace

class TestEditWhilePlaying : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void randomEdits_data();
    void randomEdits();

private:
    struct Operation
    {
        const char *name;
        int weight;
        std::function<void()> run;
    };

    void build();
    void makeOperations();
    void runOperation();

    quint32 pick(quint32 count) { return count == 0 ? 0 : std::uniform_int_distribution<quint32>(0, count - 1)(m_random); }
    bool chance(int percent) { return int(pick(100)) < percent; }
    template <typename T>
    T any(const QList<T> &values) { return values.at(int(pick(quint32(values.size())))); }
    QmdItemId anyElement(int type = 0);
    QmdItemId anyInstrument();
    QVariant anyValue(const QString &key);

    bool isPlaying() const;
    // Pauses, checks what went to the ports and the undo history, and plays
    // on when it was playing.
    void pauseAndCheck();
    void checkPorts();
    void checkTiming();
    void checkUndoRedo();
    QSet<QString> recordPorts() const;

    std::unique_ptr<MemoryMidiBackend> m_midi;
    EnginePlayerFactory m_factory;
    std::unique_ptr<QmdMemModel> m_model;
    std::unique_ptr<QmdVelkaController> m_controller;
    std::mt19937 m_random;
    QList<Operation> m_operations;
    int m_totalWeight = 0;
    QTemporaryDir m_dir;
    QString m_saved;
    // Ports an instrument may have used since the last check; empty when an
    // undo, redo or load may have brought back ports of any time.
    QSet<QString> m_portsInUse;
    bool m_portsUnknown = false;
    int m_checks = 0;
    int m_noteOns = 0;
};

void TestEditWhilePlaying::initTestCase()
{
    OutputPortNames::setSource([] { return MidiOutput::availablePortNames(); });
    QVERIFY(m_dir.isValid());
}

void TestEditWhilePlaying::cleanupTestCase()
{
    OutputPortNames::setSource(nullptr);
}

void TestEditWhilePlaying::randomEdits_data()
{
    QTest::addColumn<quint32>("seed");
    const int seeds = environmentNumber("VELKA_EDIT_SEEDS", 3);
    for (int n = 0; n < seeds; ++n) {
        const quint32 seed = 1234567u + quint32(n) * 7919u;
        QTest::addRow("seed %u", seed) << seed;
    }
}

void TestEditWhilePlaying::randomEdits()
{
    QFETCH(quint32, seed);
    const int operations = environmentNumber("VELKA_EDIT_OPERATIONS", 1000);
    m_random.seed(seed);
    m_midi = std::make_unique<MemoryMidiBackend>();
    m_midi->install();
    for (const QString &port : {Out1, Out2, Spare})
        m_midi->addPort(MidiDirection::Output, port);
    QmdVelkaController::setPlayerFactory(&m_factory);
    m_model = std::make_unique<QmdMemModel>();
    m_controller = std::make_unique<QmdVelkaController>();
    m_controller->setModel(m_model.get());
    m_saved.clear();
    m_checks = 0;
    m_noteOns = 0;
    quietWarnings = 0;
    const QtMessageHandler previous = qInstallMessageHandler(quietHandler);

    build();
    makeOperations();
    m_controller->requestPlay();
    int done = 0;
    for (; done < operations && !QTest::currentTestFailed(); ++done) {
        runOperation();
        if (done % 50 == 49)
            pauseAndCheck();
    }
    if (!QTest::currentTestFailed())
        pauseAndCheck();

    m_controller.reset();
    m_model.reset();
    QmdVelkaController::setPlayerFactory(nullptr);
    m_midi.reset();
    qInstallMessageHandler(previous);
    qInfo("seed %u: %d operations, %d checks, %d note ons, %d messages dropped", seed, done, m_checks,
          m_noteOns, quietWarnings.load());
}

void TestEditWhilePlaying::build()
{
    QmdVelkaController &c = *m_controller;
    c.requestSetData(QStringLiteral("Tempo"), 600u);
    c.requestAddInstrument(QStringLiteral("One"), Qt::red, channelBits({0}));
    c.requestAddInstrument(QStringLiteral("Two"), Qt::blue, channelBits({1, 2}));
    settle();
    const QmdItemIdList instruments = c.instrumentIds();
    c.requestSetData(QStringLiteral("MidiPort"), Out1, c.instrumentIndex(instruments.at(0)));
    c.requestSetData(QStringLiteral("MidiPort"), Out2, c.instrumentIndex(instruments.at(1)));
    QmdItemIdList nodes;
    for (const TickPos &pos : {TickPos(0, 0), TickPos(P, 0), TickPos(P, P), TickPos(0, P)}) {
        const QmdItemIdList before = c.elementIds();
        c.requestAddNode(pos);
        nodes.append(ControllerTest::newId(before, c.elementIds()));
    }
    for (int n = 0; n < 4; ++n)
        c.requestAddEdge(c.elementIndex(nodes.at(n)), c.elementIndex(nodes.at((n + 1) % 4)));
    c.requestAddEdge(c.elementIndex(nodes.at(0)), c.elementIndex(nodes.at(2)), QmdVelka::Direct);
    c.requestSetData(QStringLiteral("SignallingMethod"), 1, c.elementIndex(nodes.at(0)));
    for (int n : {0, 2}) {
        const QmdItemIdList before = c.elementIds();
        c.requestAddVoiceGroup(c.elementIndex(nodes.at(n)));
        const QmdItemId group = ControllerTest::newId(before, c.elementIds());
        c.requestSetData(QStringLiteral("InitialInstrument"), instruments.at(n / 2), c.elementIndex(group));
    }
    settle();
    m_portsInUse = recordPorts();
    m_portsUnknown = false;
}

QmdItemId TestEditWhilePlaying::anyElement(int type)
{
    QmdItemIdList ids;
    for (QmdItemId id : m_controller->elementIds()) {
        if (type == 0 || m_controller->elementType(id) == type)
            ids.append(id);
    }
    return ids.isEmpty() ? 0 : any(ids);
}

QmdItemId TestEditWhilePlaying::anyInstrument()
{
    const QmdItemIdList ids = m_controller->instrumentIds();
    return ids.isEmpty() ? 0 : any(ids);
}

QVariant TestEditWhilePlaying::anyValue(const QString &key)
{
    const qint64 big = std::numeric_limits<qint64>::max() / 2;
    const int intMin = std::numeric_limits<int>::min();
    const int intMax = std::numeric_limits<int>::max();
    if (key == "PitchList" || key == "InitialPitch")
        return any<QVariant>({"C3", "C3,E3,G3", "+2", "-200", "+2147483647", "", ",,", "Z9", "C-1,G9", 42});
    if (key == "VelocityList" || key == "InitialVelocity")
        return any<QVariant>({"64", "+10", "-1000", "300", "", "x", intMin, 100});
    if (key == "DurationList")
        return any<QVariant>({"100%", "0.25", "*2", "/0", "/2", "+50%", "1e300", "-5", "nan", "", "50%,200%"});
    if (key == "InitialDuration")
        return any<QVariant>({0.5, 0.0, -1.0, 1e300, "nan", 2});
    if (key == "UserMidiMessageList")
        return any<QVariant>({"b0 07 64", "c0 05", "", "zz 1", "f8", "b0  07"});
    if (key == "SignallingMethod")
        return any<QVariant>({0, 1, 2, -1, 99, "x"});
    if (key == "ArcUsageList") {
        QStringList entries;
        for (int n = int(pick(4)); n >= 0; --n)
            entries << QStringLiteral("%1=%2").arg(anyElement(QmdVelka::Edge)).arg(any<int>({0, 1, 2, -5, intMax}));
        return any<QVariant>({entries.join(','), "", "junk,,5=x", "4294967295=1", entries.join(",,")});
    }
    if (key == "DontPlayNote" || key == "DoInstrumentChange" || key == "IsWormhole")
        return chance(50);
    if (key == "Instrument" || key == "InitialInstrument")
        return any<QVariant>({anyInstrument(), 0u, 999999u, -1});
    if (key == "Path")
        return any<QVariant>({0, 1, 2, -3, 99});
    if (key == "TickPos") {
        const qint64 x = chance(10) ? any<qint64>({big, -big}) : qint64(pick(9)) * P / 2;
        const qint64 y = chance(10) ? any<qint64>({big, -big}) : qint64(pick(9)) * P / 2;
        return QVariant::fromValue(TickPos(x, y));
    }
    if (key == "FromNode" || key == "ToNode")
        return any<QVariant>({anyElement(QmdVelka::Node), anyElement(), 0u, 424242u});
    if (key == "Type")
        return any<QVariant>({1, 2, 3, 4, 0, 99});
    if (key == "MidiChannels")
        return any<QVariant>({channelBits({0}), channelBits({1}), channelBits({0, 3}), channelBits({}),
                              channelBits({2}, 3), channelBits({0, 20}, 40), QVariant("x")});
    if (key == "MidiProgram" || key == "MidiBankMSB" || key == "MidiBankLSB")
        return any<QVariant>({intMin, intMax, 0, 1, 5, 300, -1});
    if (key == "MidiDoProgramChange")
        return chance(50);
    if (key == "MidiPort")
        return any<QVariant>({Out1, Out2, "Gone", ""});
    // Besides the values of the form, values outside its ranges, as a file
    // or a script may give them: the document keeps them in range.
    if (key == "Tempo")
        return chance(80) ? QVariant(600u) : any<QVariant>({300u, 0u, 1u, 2000u, 4294967295u, -1});
    if (key == "PrincipalsToBeatsNumerator" || key == "PrincipalsToBeatsDenominator")
        return any<QVariant>({1u, 1u, 2u, 0u, 3u, 129u, 1000000u, 4294967295u});
    if (key == "SyncType")
        return any<QVariant>({"internal", "INTERNAL", "bogus"});
    return QVariant();
}

void TestEditWhilePlaying::makeOperations()
{
    QmdVelkaController &c = *m_controller;
    const QmdIndex none;
    static const QStringList elementKeys{
        "PitchList", "VelocityList", "DurationList", "UserMidiMessageList", "SignallingMethod", "ArcUsageList",
        "DontPlayNote", "DoInstrumentChange", "Instrument", "IsWormhole", "Path", "TickPos", "FromNode",
        "ToNode", "Type", "InitialPitch", "InitialVelocity", "InitialDuration", "InitialInstrument"};
    static const QStringList instrumentKeys{"MidiChannels", "MidiProgram", "MidiBankMSB", "MidiBankLSB",
                                            "MidiDoProgramChange", "MidiPort"};
    static const QStringList rootKeys{"Tempo", "PrincipalsToBeatsNumerator", "PrincipalsToBeatsDenominator",
                                      "SyncType"};
    const auto anyPos = [this] { return TickPos(qint64(pick(9)) * P / 2, qint64(pick(9)) * P / 2); };
    const auto tooMany = [&c] { return c.elementIds().size() > 60; };
    m_operations = {
        {"add node", 6, [&c, anyPos, tooMany] { if (!tooMany()) c.requestAddNode(anyPos()); }},
        {"add edge", 10, [this, &c, tooMany] {
             if (!tooMany())
                 c.requestAddEdge(c.elementIndex(anyElement(QmdVelka::Node)), c.elementIndex(anyElement(QmdVelka::Node)),
                                  QmdVelka::EdgePath(pick(3)));
         }},
        {"add voice group", 3, [this, &c, tooMany] {
             if (!tooMany() && c.voiceGroups().size() < 8)
                 c.requestAddVoiceGroup(c.elementIndex(anyElement(QmdVelka::Node)));
         }},
        {"add text box", 1, [&c, anyPos] { c.requestAddTextBox(anyPos()); }},
        {"add instrument", 1, [&c] { if (c.instrumentIds().size() < 5) c.requestAddInstrument(); }},
        {"remove elements", 3, [this, &c] {
             QmdItemIdList ids{anyElement()};
             if (chance(30))
                 ids.append(anyElement());
             c.requestRemove(ids, c.index(QStringLiteral("Elements")));
         }},
        {"remove instrument", 1, [this, &c] { c.requestRemove(QmdItemIdList{anyInstrument()}, c.instrumentsIndex()); }},
        {"set element key", 25, [this, &c] {
             const QString key = any(elementKeys);
             c.requestSetData(key, anyValue(key), c.elementIndex(anyElement()));
         }},
        {"remove element key", 2, [this, &c] { c.requestRemove(any(elementKeys), c.elementIndex(anyElement())); }},
        {"set instrument key", 6, [this, &c] {
             const QString key = any(instrumentKeys);
             const QVariant value = anyValue(key);
             if (key == "MidiPort")
                 m_portsInUse.insert(value.toString());
             c.requestSetData(key, value, c.instrumentIndex(anyInstrument()));
         }},
        {"set root key", 2, [this, &c, none] {
             const QString key = any(rootKeys);
             c.requestSetData(key, anyValue(key), none);
         }},
        {"copy and paste", 2, [this, &c, anyPos] {
             QmdItemIdSet copied;
             for (int n = int(pick(4)); n >= 0; --n)
                 copied.insert(anyElement());
             c.requestCopy(copied);
             if (c.elementIds().size() < 60)
                 c.requestPaste(anyPos());
         }},
        {"undo", 6, [this, &c] {
             m_portsUnknown = true;
             for (int n = int(pick(4)); n >= 0; --n)
                 c.requestUndo();
         }},
        {"redo", 4, [this, &c] {
             m_portsUnknown = true;
             for (int n = int(pick(4)); n >= 0; --n)
                 c.requestRedo();
         }},
        {"save", 1, [this, &c] {
             m_saved = m_dir.filePath(QStringLiteral("edit.vlk"));
             c.requestSave(m_saved);
         }},
        {"load", 1, [this, &c] {
             if (m_saved.isEmpty())
                 return;
             m_portsUnknown = true;
             c.requestLoad(m_saved);
         }},
        {"play", 6, [&c] { c.requestPlay(); }},
        // Hostile values silence a network quickly; the user puts sound back.
        {"make a group sound", 4, [this, &c] {
             const QmdItemId group = anyElement(QmdVelka::VoiceGroup);
             const QmdItemId node = c.elementData(group, QStringLiteral("ToNode")).toUInt();
             c.requestSetData(QStringLiteral("InitialInstrument"), anyInstrument(), c.elementIndex(group));
             c.requestSetData(QHash<QString, QVariant>{{QStringLiteral("DontPlayNote"), false},
                                                       {QStringLiteral("DoInstrumentChange"), false},
                                                       {QStringLiteral("PitchList"), QStringLiteral("C3,E3")},
                                                       {QStringLiteral("VelocityList"), QStringLiteral("64")}},
                              c.elementIndex(node));
             c.requestSetData(QStringLiteral("MidiChannels"), QVariant::fromValue(channelBits({int(pick(3))})),
                              c.instrumentIndex(c.elementData(group, QStringLiteral("InitialInstrument")).toUInt()));
         }},
        {"pause", 2, [&c] { c.requestPause(); }},
        {"go to start", 2, [&c] { c.requestGotoStart(); }},
        {"let the event loop turn", 15, [] { settle(); }},
        {"let playback run", 4, [] { QTest::qWait(20); }},
    };
    m_totalWeight = 0;
    for (const Operation &operation : std::as_const(m_operations))
        m_totalWeight += operation.weight;
}

void TestEditWhilePlaying::runOperation()
{
    int r = int(pick(quint32(m_totalWeight)));
    for (const Operation &operation : std::as_const(m_operations)) {
        if (r < operation.weight) {
            operation.run();
            return;
        }
        r -= operation.weight;
    }
}

bool TestEditWhilePlaying::isPlaying() const
{
    AbstractSync *clock = m_controller->sync();
    return clock && clock->isPlaying();
}

QSet<QString> TestEditWhilePlaying::recordPorts() const
{
    QSet<QString> ports{Out1}; // where a missing port is replaced
    for (QmdItemId id : m_controller->instrumentIds())
        ports.insert(m_controller->instrumentData(id, QStringLiteral("MidiPort")).toString());
    return ports;
}

void TestEditWhilePlaying::pauseAndCheck()
{
    ++m_checks;
    const bool wasPlaying = isPlaying();
    // Sometimes with changes still on their way through the event loop.
    if (chance(50))
        settle();
    m_controller->requestPause();
    checkPorts();
    if (QTest::currentTestFailed())
        return;
    checkTiming();
    if (QTest::currentTestFailed())
        return;
    checkUndoRedo();
    if (wasPlaying)
        m_controller->requestPlay();
}

void TestEditWhilePlaying::checkPorts()
{
    const QSet<QString> now = recordPorts();
    for (const QString &port : {Out1, Out2, Spare}) {
        const QList<std::vector<unsigned char>> sent = m_midi->sentTo(port);
        QVERIFY2(MemoryMidiBackend::soundingNotes(sent).isEmpty(),
                 qPrintable(QStringLiteral("notes left sounding on %1 after a pause").arg(port)));
        bool notes = false;
        for (const std::vector<unsigned char> &message : sent) {
            notes = notes || (message.size() == 3 && (message[0] & 0xE0) == 0x80);
            m_noteOns += message.size() == 3 && (message[0] & 0xF0) == 0x90 && message[2] != 0;
        }
        QVERIFY2(!notes || m_portsUnknown || m_portsInUse.contains(port) || now.contains(port),
                 qPrintable(QStringLiteral("notes went to %1, which no instrument used").arg(port)));
    }
    QVERIFY2(m_midi->sentTo(Spare).isEmpty(), "a message went to a port no instrument ever named");
    m_midi->clearSent();
    m_portsInUse = now;
    m_portsUnknown = false;
}

void TestEditWhilePlaying::checkTiming()
{
    // The document holds its tempo and ratio in the form's ranges, and the
    // clock runs at them.
    settle();
    AbstractSync *clock = m_controller->sync();
    const uint tempo = m_controller->data(QStringLiteral("Tempo")).toUInt();
    const uint numerator = m_controller->data(QStringLiteral("PrincipalsToBeatsNumerator")).toUInt();
    const uint denominator = m_controller->data(QStringLiteral("PrincipalsToBeatsDenominator")).toUInt();
    QVERIFY2(tempo >= 1 && tempo <= 999, qPrintable(QString::number(tempo)));
    QVERIFY2(numerator >= 1 && numerator <= 128, qPrintable(QString::number(numerator)));
    QVERIFY2(denominator >= 1 && denominator <= 128, qPrintable(QString::number(denominator)));
    if (!clock)
        return; // an unknown "SyncType" has none
    QCOMPARE(clock->tempo(), tempo);
    QCOMPARE(clock->principalsToBeatsNumerator(), numerator);
    QCOMPARE(clock->principalsToBeatsDenominator(), denominator);
}

void TestEditWhilePlaying::checkUndoRedo()
{
    // What instruments write back on their own (a missing port replaced) is
    // in place before the comparison starts.
    settle();
    const QString before = dump(*m_controller);
    int steps = 0;
    for (int n = int(pick(6)); n >= 0 && m_controller->canUndo(); --n) {
        m_controller->requestUndo();
        ++steps;
        if (chance(30))
            settle();
    }
    for (int n = 0; n < steps; ++n) {
        QVERIFY2(m_controller->canRedo(), qPrintable(QStringLiteral("redo %1 of %2 is gone").arg(n + 1).arg(steps)));
        m_controller->requestRedo();
        if (chance(30))
            settle();
    }
    settle();
    QCOMPARE(dump(*m_controller), before);
    // The steps undone and redone may bring back ports of any time.
    m_portsUnknown = steps > 0;
}

QTEST_MAIN(TestEditWhilePlaying)
#include "tst_editwhileplaying.moc"
