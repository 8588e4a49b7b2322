// What a musician hears: how far every note on, note off and Timing Clock of a
// playing document lands from its ideal time.
//
// Each scenario builds a document through controller requests: a ring of
// nodes one principal apart (one edge per node), voice groups spread over the
// ring, one to four instruments each on its own MIDI port, and optionally a
// MIDI clock output. It plays for a fixed time with the real clock through the
// controller's playback requests. The ideal times come from the geometry and
// the tempo alone, anchored at the moment the clock started: at 120 beats per
// minute a principal lasts 500 ms, so every group plays a note on each
// principal and its note off a quarter principal later ("25%"), and the clock
// output sends 24 Timing Clocks per beat.
//
// Two places to measure:
//  - the send call (default): an in-memory MIDI backend stamps each message
//    when the engine hands it over; this is the engine's own lateness;
//  - a real JACK port (--jack): a private JACK server on the dummy driver,
//    synchronous and then in its default asynchronous mode, and a capture
//    client that stamps each event with the cycle's start time plus its frame
//    offset. RtMidi's JACK output writes at the start of the next cycle, so
//    these figures include up to one period. What the engine handed to the
//    MIDI library is counted beside what arrived, and the capture client
//    counts the cycles the server skipped it in or ran it twice in: an
//    asynchronous server that runs late does both, and what was written to
//    a client's ports in a cycle it skipped never reaches it.

#include "abstractsync.h"
#include "engineplayerfactory.h"
#include "handovertap.h"
#include "midibackend.h"
#include "midioutput.h"
#include "midisync.h"
#include "monotonicclock.h"
#include "outputportnames.h"
#include "playbackcapture.h"
#include "voiceschedule.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"
#include "tickpos.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr quint64 Principal = AbstractSync::TicksPerPrincipal;
constexpr quint64 NoteTicks = Principal / 4; // "25%" of a one-principal edge
constexpr quint64 MidiClockBeatTicks = AbstractSync::BeatTicksPerMidiClock;
constexpr int MaxInstruments = 4;
constexpr int SyncPort = MaxInstruments; // port index of the clock output
const char *const NoteNames[] = {"C3", "D3", "E3", "F3", "G3", "A3", "B3", "C4"};

struct Scenario
{
    int groups;
    int instruments;
    bool syncOutput;
};

// One message as it arrived: where, when and its status byte.
struct Arrival
{
    quint64 time; // MonotonicClock nanoseconds
    int port;     // 0..3 instruments, SyncPort the clock output
    unsigned char status;
    unsigned char velocity;
};

// Where the engine's MIDI goes and how arrivals are read back.
class Sink
{
public:
    virtual ~Sink() = default;
    virtual QString portName(int port) const = 0;
    virtual std::vector<Arrival> take() = 0;
    virtual QString describe() const = 0;
    // Time to let ports connect after they opened.
    virtual int settleMilliseconds() const { return 0; }
    // What the sink has to add about the scenario just played.
    virtual QString scenarioNote() { return QString(); }
};

// Stamps each message at the send call of the engine.
class SendCallSink : public Sink, public MidiBackend
{
public:
    class Device : public MidiDevice
    {
    public:
        Device(SendCallSink *sink, int port) : m_sink(sink), m_port(port) {}
        bool send(const std::vector<unsigned char> &message, QString *) override
        {
            const quint64 now = MonotonicClock::nanoseconds();
            QMutexLocker locker(&m_sink->m_mutex);
            m_sink->m_arrivals.push_back({now, m_port, message.empty() ? (unsigned char)0 : message[0],
                                          message.size() > 2 ? message[2] : (unsigned char)0});
            return true;
        }
        bool setReceiver(Receiver, QString *) override { return true; }
        bool setIgnoredTypes(bool, bool, bool, QString *) override { return true; }
        bool close(QString *) override { return true; }

    private:
        SendCallSink *m_sink;
        int m_port;
    };

    QString portName(int port) const override
    {
        return port == SyncPort ? QStringLiteral("Bench Clock") : QStringLiteral("Bench %1").arg(port + 1);
    }
    QString describe() const override { return QStringLiteral("at the send call"); }

    bool portNames(MidiDirection direction, QStringList *names, QString *) override
    {
        names->clear();
        if (direction == MidiDirection::Output) {
            for (int port = 0; port <= SyncPort; ++port)
                names->append(portName(port));
        }
        return true;
    }
    std::unique_ptr<MidiDevice> openPort(MidiDirection, const QString &name, QString *error) override
    {
        for (int port = 0; port <= SyncPort; ++port) {
            if (portName(port) == name)
                return std::make_unique<Device>(this, port);
        }
        *error = QStringLiteral("no port %1").arg(name);
        return nullptr;
    }

    SendCallSink() { m_arrivals.reserve(Reserved); }

    std::vector<Arrival> take() override
    {
        QMutexLocker locker(&m_mutex);
        std::vector<Arrival> arrivals;
        arrivals.swap(m_arrivals);
        m_arrivals.reserve(Reserved);
        return arrivals;
    }

private:
    // Room for a long run, so that the record never grows while notes are
    // sent: copying it would hold every instrument's send behind the lock.
    static constexpr size_t Reserved = 1 << 17;

    QMutex m_mutex;
    std::vector<Arrival> m_arrivals;
};

// A private JACK server on the dummy driver, stopped with its owner. It reports
// the cycles the driver ran late (its "XRun" messages).
class JackServer
{
public:
    bool start(int period, bool synchronous)
    {
        const QByteArray name = "velka-bench-" + QByteArray::number(QCoreApplication::applicationPid())
            + (synchronous ? "-sync" : "-async");
        qputenv("JACK_DEFAULT_SERVER", name);
        qputenv("JACK_NO_START_SERVER", "1");
        qputenv("JACK_NO_AUDIO_RESERVATION", "1");
        qputenv("VELKA_MIDI_API", "jack");
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        QStringList arguments{QStringLiteral("--no-realtime")};
        if (synchronous)
            arguments << QStringLiteral("-S");
        arguments << QStringLiteral("-n") << QString::fromLatin1(name) << QStringLiteral("-d") << QStringLiteral("dummy")
                  << QStringLiteral("-r") << QStringLiteral("48000") << QStringLiteral("-p") << QString::number(period);
        m_process.start(QStringLiteral("jackd"), arguments);
        return m_process.waitForStarted(5000);
    }
    ~JackServer()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            m_process.waitForFinished(5000);
        }
    }
    // Late cycles reported since the last call.
    int takeLateCycles() { return int(m_process.readAll().count("XRun")); }

private:
    QProcess m_process;
};

// Counts what the engine hands to the MIDI library, so that an event missing
// on the wire is told apart from one the engine never sent.
class HandOverCount : public HandOverTap
{
public:
    using HandOverTap::HandOverTap;

    // Note ons, note offs and Timing Clocks handed over since the last call.
    QString take()
    {
        return QStringLiteral("%1 note ons, %2 note offs, %3 Timing Clocks")
            .arg(m_noteOns.exchange(0))
            .arg(m_noteOffs.exchange(0))
            .arg(m_clocks.exchange(0));
    }

protected:
    void handedOver(const QString &, const std::vector<unsigned char> &message) override
    {
        const unsigned char status = message.empty() ? 0 : message[0];
        if ((status & 0xf0) == 0x90 && message.size() > 2 && message[2] > 0)
            ++m_noteOns;
        else if ((status & 0xf0) == 0x80 || (status & 0xf0) == 0x90)
            ++m_noteOffs;
        else if (status == 0xf8)
            ++m_clocks;
    }

private:
    std::atomic<int> m_noteOns{0};
    std::atomic<int> m_noteOffs{0};
    std::atomic<int> m_clocks{0};
};

// Stamps each event where it lands on a JACK port.
class JackSink : public Sink
{
public:
    JackSink() : m_handOver(MidiBackend::instance()) { MidiBackend::setInstance(&m_handOver); }
    ~JackSink() override { MidiBackend::setInstance(nullptr); }

    bool open(int period, bool synchronous, QString *error)
    {
        m_synchronous = synchronous;
        if (!m_server.start(period, synchronous)) {
            *error = QStringLiteral("jackd did not start");
            return false;
        }
        QStringList ports;
        for (int port = 0; port < MaxInstruments; ++port)
            ports << QStringLiteral("in%1").arg(port + 1);
        ports << QStringLiteral("clock");
        // Quiet while the server comes up.
        jack_set_error_function([](const char *) {});
        const QDeadlineTimer deadline(10000);
        bool opened = false;
        while (!(opened = m_capture.open(QStringLiteral("velka-capture"), ports, error)) && !deadline.hasExpired())
            QThread::msleep(100);
        jack_set_error_function(nullptr);
        return opened;
    }
    QString portName(int port) const override { return m_capture.fullPortName(port); }
    QString describe() const override
    {
        return QStringLiteral("on a JACK port (%4 server, period %1 frames at %2 Hz = %3 us)")
            .arg(m_capture.periodFrames())
            .arg(m_capture.sampleRate())
            .arg(1e6 * m_capture.periodFrames() / std::max(1u, m_capture.sampleRate()), 0, 'f', 0)
            .arg(m_synchronous ? QStringLiteral("synchronous") : QStringLiteral("asynchronous"));
    }
    int settleMilliseconds() const override { return 500; }
    QString scenarioNote() override
    {
        const PlaybackCapture::Cycles cycles = m_capture.takeCycles();
        return QStringLiteral("JACK server: %1 cycles late; the capture client skipped %2 cycles and ran %3 twice "
                              "(read once); handed to the MIDI library: %4")
            .arg(m_server.takeLateCycles())
            .arg(cycles.skipped)
            .arg(cycles.repeated)
            .arg(m_handOver.take());
    }
    std::vector<Arrival> take() override
    {
        size_t lost = 0;
        std::vector<Arrival> arrivals;
        for (const PlaybackCapture::Event &event : m_capture.take(&lost)) {
            if (event.size > 0)
                arrivals.push_back({event.time, event.port, event.bytes[0], event.size > 2 ? event.bytes[2] : (unsigned char)0});
        }
        if (lost > 0)
            std::printf("warning: the capture client had no room for %zu events\n", lost);
        return arrivals;
    }

private:
    HandOverCount m_handOver;
    JackServer m_server; // outlives the capture client
    PlaybackCapture m_capture;
    bool m_synchronous = true;
};

double processCpuMilliseconds()
{
    timespec used{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return used.tv_sec * 1e3 + used.tv_nsec / 1e6;
}

// Peak resident memory since the last reset, in kB (VmHWM).
qint64 peakResidentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

void resetPeakResident()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// Runs the event loop until the predicate holds or the time is up.
bool spinUntil(const std::function<bool()> &done, int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

void spinFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

QmdItemIdList newIds(const QmdItemIdList &before, const QmdItemIdList &after)
{
    QmdItemIdList added;
    for (QmdItemId id : after) {
        if (!before.contains(id))
            added.append(id);
    }
    return added;
}

// Positions of a ring of `count` nodes (even, at least 4) on the border of a
// rectangle one principal high, neighbours one principal apart.
QList<QmdVelka::TickPos> ringPositions(int count)
{
    const int width = count / 2 - 1;
    QList<QmdVelka::TickPos> positions;
    for (int x = 0; x <= width; ++x)
        positions.append(QmdVelka::TickPos(qint64(x) * qint64(Principal), 0));
    for (int x = width; x >= 0; --x)
        positions.append(QmdVelka::TickPos(qint64(x) * qint64(Principal), qint64(Principal)));
    return positions;
}

struct Document
{
    QmdItemIdList groups;
    QList<int> groupPorts; // the instrument port each group plays on
};

Document buildDocument(QmdVelkaController &controller, const Sink &sink, const Scenario &scenario, int nodeCount)
{
    Document document;
    const QmdRequestOptions noUndo(Qmd::NoUndoHistory);
    QmdItemIdList instruments;
    for (int i = 0; i < scenario.instruments; ++i) {
        QBitArray firstChannel(16);
        firstChannel.setBit(0);
        const QmdItemIdList before = controller.instrumentIds();
        controller.requestAddInstrument(QStringLiteral("Bench %1").arg(i + 1), Qt::red, firstChannel);
        const QmdItemId id = newIds(before, controller.instrumentIds()).value(0);
        controller.requestSetData(QStringLiteral("MidiPort"), sink.portName(i), controller.instrumentIndex(id));
        instruments.append(id);
    }

    QmdItemIdList nodes;
    const QList<QmdVelka::TickPos> positions = ringPositions(nodeCount);
    for (int n = 0; n < positions.size(); ++n) {
        const QmdItemIdList before = controller.elementIds();
        controller.requestAddNode(positions.at(n));
        const QmdItemId node = newIds(before, controller.elementIds()).value(0);
        const QmdIndex index = controller.elementIndex(node);
        controller.requestSetData(QStringLiteral("PitchList"), QString::fromLatin1(NoteNames[n % 8]), index);
        controller.requestSetData(QStringLiteral("DurationList"), QStringLiteral("25%"), index);
        nodes.append(node);
    }
    for (int n = 0; n < nodes.size(); ++n) {
        controller.requestAddEdge(controller.elementIndex(nodes.at(n)),
                                  controller.elementIndex(nodes.at((n + 1) % nodes.size())));
    }
    for (int g = 0; g < scenario.groups; ++g) {
        const QmdItemIdList before = controller.elementIds();
        controller.requestAddVoiceGroup(controller.elementIndex(nodes.at(g % nodes.size())));
        const QmdItemId group = newIds(before, controller.elementIds()).value(0);
        const int port = g % scenario.instruments;
        controller.requestSetData(QStringLiteral("InitialInstrument"), instruments.at(port),
                                  controller.elementIndex(group));
        document.groups.append(group);
        document.groupPorts.append(port);
    }
    if (scenario.syncOutput) {
        const QString name = sink.portName(SyncPort);
        controller.requestSetType(name, Qmd::StrDict, controller.syncMidiOutputsIndex(), noUndo);
        controller.requestSetData(QStringLiteral("MidiSync"), true,
                                  controller.index(name, controller.syncMidiOutputsIndex()), noUndo);
    }
    return document;
}

struct Figures
{
    size_t count = 0;
    double median = 0, p99 = 0, maximum = 0, earliest = 0; // microseconds
};

// Median, 99th percentile and maximum of the error magnitudes, and the most
// negative signed error (an event sent before its time).
Figures figures(const std::vector<double> &errors)
{
    Figures f;
    f.count = errors.size();
    if (errors.empty())
        return f;
    std::vector<double> magnitudes;
    for (double error : errors)
        magnitudes.push_back(std::fabs(error));
    std::sort(magnitudes.begin(), magnitudes.end());
    f.median = magnitudes[magnitudes.size() / 2];
    f.p99 = magnitudes[std::min(magnitudes.size() - 1, size_t(std::ceil(double(magnitudes.size()) * 0.99)) - 1)];
    f.maximum = magnitudes.back();
    f.earliest = *std::min_element(errors.begin(), errors.end());
    return f;
}

// Pairs the sorted ideal times with the sorted arrival times; the errors of
// the pairs in microseconds.
std::vector<double> pairErrors(std::vector<double> ideal, std::vector<quint64> arrived)
{
    std::sort(ideal.begin(), ideal.end());
    std::sort(arrived.begin(), arrived.end());
    std::vector<double> errors;
    for (size_t i = 0; i < std::min(ideal.size(), arrived.size()); ++i)
        errors.push_back((double(arrived[i]) - ideal[i]) / 1000.0);
    return errors;
}

void printLine(const char *what, size_t expected, size_t received, const Figures &f)
{
    std::printf("  %-22s expected %6zu received %6zu%s | median %8.1f  p99 %8.1f  max %8.1f  earliest %+8.1f us\n",
                what, expected, received, expected == received ? "" : "  MISMATCH", f.median, f.p99, f.maximum,
                f.earliest);
}

bool run(Sink &sink, const Scenario &scenario, int nodeCount, int seconds)
{
    resetPeakResident();
    QmdMemModel model;
    QmdVelkaController controller;
    controller.setModel(&model);
    const Document document = buildDocument(controller, sink, scenario, nodeCount);

    // The players follow the document through queued notifications.
    auto ready = [&] {
        auto *clock = qobject_cast<MidiSync *>(controller.sync());
        return controller.voiceGroups().size() == scenario.groups
            && controller.instrumentThreads().size() == scenario.instruments && clock
            && clock->syncOutputPortNames().size() == (scenario.syncOutput ? 1 : 0);
    };
    if (!spinUntil(ready, 10000)) {
        std::printf("the document's players did not appear\n");
        return false;
    }
    spinFor(100 + sink.settleMilliseconds());

    // The canvas drains the played-node records every 16 ms, 32 at a time; the
    // earliest record of each group gives the tick its start voice was seeded at.
    QHash<QmdItemId, quint64> seedTicks;
    QTimer drain;
    QObject::connect(&drain, &QTimer::timeout, [&controller, &seedTicks] {
        std::vector<FeedbackEvent> records;
        controller.feedbackPipe().takeDue(records, 32, std::numeric_limits<quint64>::max());
        for (const FeedbackEvent &record : records) {
            if (!seedTicks.contains(record.voiceGroup) || seedTicks.value(record.voiceGroup) > record.tick)
                seedTicks.insert(record.voiceGroup, record.tick);
        }
    });
    drain.start(16);

    AbstractSync *clock = controller.sync();
    const double nsPerTick = 60e9 * clock->principalsToBeatsDenominator()
        / (double(clock->tempo()) * double(Principal) * clock->principalsToBeatsNumerator());
    const double nsPerBeatTick = 60e9 / (double(clock->tempo()) * double(AbstractSync::BeatTicksPerBeat));
    // Stop between a note off and the next note on, far from both.
    const quint64 principals = quint64(std::max(1.0, std::round(seconds * 1e9 / (nsPerTick * Principal))));
    const quint64 plannedStopTick = principals * Principal + Principal * 6 / 10;

    sink.take();
    const double cpuBeforePlay = processCpuMilliseconds();
    controller.requestPlay();
    const quint64 anchor = clock->counterNanosecondsAtTick(0);
    const quint64 stopAt = anchor + quint64(plannedStopTick * nsPerTick);
    spinFor(std::max(0, int(MonotonicClock::nanosecondsUntil(stopAt) / 1000000) - 20));
    spinUntil([&] { return MonotonicClock::nanoseconds() >= stopAt; }, 1000);
    controller.requestPause();
    const double playedSeconds = double(MonotonicClock::nanoseconds() - anchor) / 1e9;
    const double cpuPlaying = processCpuMilliseconds() - cpuBeforePlay;
    // What was due is what came before the position the clock stopped at.
    const quint64 stopTick = clock->currentTick();
    const quint64 stoppedBeatTick = clock->currentBeatTick();
    const quint64 sincePrincipal = stopTick % Principal;
    if (sincePrincipal < NoteTicks + Principal / 20 || sincePrincipal > Principal - Principal / 20)
        std::printf("warning: playback stopped %.1f ms after its planned time, close to a note: counts may be off\n",
                    double(stopTick - plannedStopTick) * nsPerTick / 1e6);
    drain.stop();
    spinFor(200);
    const std::vector<Arrival> arrivals = sink.take();
    const double cpuBeforePause = processCpuMilliseconds();
    spinFor(2000);
    const double cpuPaused = processCpuMilliseconds() - cpuBeforePause;

    // Ideal times per instrument port: from the clock's start, and from the
    // tick each group's start voice was seeded at (the players are started one
    // after the other once the clock runs).
    std::map<int, std::vector<double>> idealOn[2], idealOff[2];
    std::vector<double> startLag;
    for (int g = 0; g < document.groups.size(); ++g) {
        const int port = document.groupPorts.at(g);
        const quint64 seed = seedTicks.value(document.groups.at(g), 0);
        startLag.push_back(double(seed) * nsPerTick / 1000.0);
        for (int fromSeed = 0; fromSeed < 2; ++fromSeed) {
            const quint64 first = fromSeed ? seed : 0;
            for (quint64 tick = first; tick < stopTick; tick += Principal) {
                idealOn[fromSeed][port].push_back(double(anchor) + double(tick) * nsPerTick);
                if (tick + NoteTicks < stopTick)
                    idealOff[fromSeed][port].push_back(double(anchor) + double(tick + NoteTicks) * nsPerTick);
            }
        }
    }
    std::map<int, std::vector<quint64>> arrivedOn, arrivedOff;
    std::vector<quint64> clocks;
    size_t otherClockMessages = 0, otherMessages = 0;
    bool clockFramed = !scenario.syncOutput;
    for (const Arrival &arrival : arrivals) {
        const unsigned char kind = arrival.status & 0xf0;
        if (arrival.port == SyncPort) {
            if (arrival.status == 0xf8)
                clocks.push_back(arrival.time);
            else if (arrival.status != 0xfa && arrival.status != 0xfc && arrival.status != 0xf2)
                ++otherClockMessages;
        } else if (kind == 0x90 && arrival.velocity > 0) {
            arrivedOn[arrival.port].push_back(arrival.time);
        } else if (kind == 0x80 || kind == 0x90) {
            arrivedOff[arrival.port].push_back(arrival.time);
        } else if (kind != 0xb0) { // all notes off at the pause
            ++otherMessages;
        }
    }
    if (scenario.syncOutput) {
        // Start first, Stop last, Timing Clocks between.
        std::vector<unsigned char> sequence;
        for (const Arrival &arrival : arrivals) {
            if (arrival.port == SyncPort && arrival.status != 0xf2)
                sequence.push_back(arrival.status);
        }
        clockFramed = sequence.size() >= 2 && sequence.front() == 0xfa && sequence.back() == 0xfc;
    }

    std::vector<double> onErrors[2], offErrors[2];
    size_t expectedOn = 0, expectedOff = 0, receivedOn = 0, receivedOff = 0;
    for (int port = 0; port < scenario.instruments; ++port) {
        expectedOn += idealOn[0][port].size();
        expectedOff += idealOff[0][port].size();
        receivedOn += arrivedOn[port].size();
        receivedOff += arrivedOff[port].size();
        for (int fromSeed = 0; fromSeed < 2; ++fromSeed) {
            const std::vector<double> on = pairErrors(idealOn[fromSeed][port], arrivedOn[port]);
            const std::vector<double> off = pairErrors(idealOff[fromSeed][port], arrivedOff[port]);
            onErrors[fromSeed].insert(onErrors[fromSeed].end(), on.begin(), on.end());
            offErrors[fromSeed].insert(offErrors[fromSeed].end(), off.begin(), off.end());
        }
    }

    std::printf("%d groups, %d instrument%s, %s, ring of %d nodes, steps %llu us ahead, %s\n", scenario.groups,
                scenario.instruments, scenario.instruments == 1 ? "" : "s",
                scenario.syncOutput ? "MIDI clock output" : "no clock output", nodeCount,
                static_cast<unsigned long long>(VoiceSchedule::horizon() / 1000), qPrintable(sink.describe()));
    printLine("note on", expectedOn, receivedOn, figures(onErrors[0]));
    printLine("note off", expectedOff, receivedOff, figures(offErrors[0]));
    const Figures lag = figures(startLag);
    std::printf("  start voices seeded after the clock's start: median %.1f, max %.1f us; from there:\n", lag.median,
                lag.maximum);
    printLine("note on", expectedOn, receivedOn, figures(onErrors[1]));
    printLine("note off", expectedOff, receivedOff, figures(offErrors[1]));
    // The note ons due at the clock's start tick, one per group: how late the
    // first and the last of them came, and the spread between them.
    std::vector<double> firstOns;
    for (const auto &port : arrivedOn) {
        for (quint64 time : port.second) {
            if (double(time) < double(anchor) + double(Principal / 2) * nsPerTick)
                firstOns.push_back((double(time) - double(anchor)) / 1000.0);
        }
    }
    if (!firstOns.empty()) {
        const auto [earliest, latest] = std::minmax_element(firstOns.begin(), firstOns.end());
        std::printf("  first note ons (%zu of %d groups, due at the clock's start): earliest %+.1f, latest %+.1f, "
                    "spread %.1f us\n",
                    firstOns.size(), scenario.groups, *earliest, *latest, *latest - *earliest);
    }
    bool ok = expectedOn == receivedOn && expectedOff == receivedOff && otherMessages == 0;
    if (scenario.syncOutput) {
        const size_t expectedClocks = size_t(stoppedBeatTick / MidiClockBeatTicks) + 1;
        std::vector<double> clockErrors, intervalErrors;
        // The Timing Clocks due together with note ons or note offs, apart from
        // the others: the instruments' output threads wake at the same time.
        std::vector<double> withNotes, alone;
        std::vector<double> noteTimes;
        for (const auto &port : idealOn[0])
            noteTimes.insert(noteTimes.end(), port.second.begin(), port.second.end());
        for (const auto &port : idealOff[0])
            noteTimes.insert(noteTimes.end(), port.second.begin(), port.second.end());
        std::sort(noteTimes.begin(), noteTimes.end());
        const double interval = double(MidiClockBeatTicks) * nsPerBeatTick;
        for (size_t k = 0; k < clocks.size(); ++k) {
            const double ideal = double(anchor) + double(k) * interval;
            const double error = (double(clocks[k]) - ideal) / 1000.0;
            clockErrors.push_back(error);
            if (k > 0)
                intervalErrors.push_back((double(clocks[k] - clocks[k - 1]) - interval) / 1000.0);
            const auto near = std::lower_bound(noteTimes.begin(), noteTimes.end(), ideal - 1000.0);
            (near != noteTimes.end() && *near <= ideal + 1000.0 ? withNotes : alone).push_back(error);
        }
        printLine("Timing Clock", expectedClocks, clocks.size(), figures(clockErrors));
        printLine("  due with notes", withNotes.size(), withNotes.size(), figures(withNotes));
        printLine("  due alone", alone.size(), alone.size(), figures(alone));
        printLine("Timing Clock interval", expectedClocks - 1, clocks.size() - std::min<size_t>(1, clocks.size()),
                  figures(intervalErrors));
        if (!clockFramed || otherClockMessages > 0)
            std::printf("  clock output: Start first and Stop last %s, %zu unexpected messages\n",
                        clockFramed ? "yes" : "NO", otherClockMessages);
        ok = ok && clocks.size() == expectedClocks && clockFramed && otherClockMessages == 0;
    }
    if (otherMessages > 0)
        std::printf("  %zu unexpected messages on instrument ports\n", otherMessages);
    const QString note = sink.scenarioNote();
    if (!note.isEmpty())
        std::printf("  %s\n", qPrintable(note));
    std::printf("  CPU playing %.1f ms per second (%.2f %% of a core), paused %.2f ms per second; peak resident %.1f MB\n",
                cpuPlaying / playedSeconds, cpuPlaying / playedSeconds / 10.0, cpuPaused / 2.0,
                double(peakResidentKilobytes()) / 1024.0);
    std::fflush(stdout);
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Timing of notes and MIDI clock of a playing document"));
    parser.addHelpOption();
    const QCommandLineOption secondsOption(QStringLiteral("seconds"), QStringLiteral("Playing time per scenario (20)."),
                                           QStringLiteral("s"), QStringLiteral("20"));
    const QCommandLineOption jackOption(QStringLiteral("jack"),
                                        QStringLiteral("Measure on JACK ports of a private server on the dummy driver."));
    const QCommandLineOption jackModeOption(
        QStringLiteral("jack-mode"),
        QStringLiteral("With --jack: play on a synchronous server, an asynchronous one, or both in turn (both)."),
        QStringLiteral("sync|async|both"), QStringLiteral("both"));
    const QCommandLineOption periodOption(QStringLiteral("period"), QStringLiteral("JACK period in frames (128)."),
                                          QStringLiteral("frames"), QStringLiteral("128"));
    const QCommandLineOption groupsOption(QStringLiteral("groups"), QStringLiteral("Only this many voice groups."),
                                          QStringLiteral("n"));
    const QCommandLineOption nodesOption(QStringLiteral("nodes"), QStringLiteral("Nodes in the ring (8)."),
                                         QStringLiteral("n"), QStringLiteral("8"));
    const QCommandLineOption horizonOption(
        QStringLiteral("horizon"),
        QStringLiteral("Step voices this far ahead of their tick only (default: 0 and the engine's horizon)."),
        QStringLiteral("us"));
    parser.addOptions({secondsOption, jackOption, jackModeOption, periodOption, groupsOption, nodesOption, horizonOption});
    parser.process(app);
    const int seconds = std::max(1, parser.value(secondsOption).toInt());
    const int nodes = std::max(4, parser.value(nodesOption).toInt() / 2 * 2);

    QList<Scenario> scenarios;
    for (int groups : {1, 16, 64, 256}) {
        if (parser.isSet(groupsOption) && parser.value(groupsOption).toInt() != groups)
            continue;
        for (bool sync : {false, true})
            scenarios.append({groups, std::min(groups, MaxInstruments), sync});
    }
    if (scenarios.isEmpty() && parser.isSet(groupsOption)) {
        const int groups = std::max(1, parser.value(groupsOption).toInt());
        for (bool sync : {false, true})
            scenarios.append({groups, std::min(groups, MaxInstruments), sync});
    }

    OutputPortNames::setSource([] { return MidiOutput::availablePortNames(); });
    EnginePlayerFactory factory;
    QmdVelkaController::setPlayerFactory(&factory);
    QList<quint64> horizons{0, VoiceSchedule::DefaultHorizon};
    if (parser.isSet(horizonOption))
        horizons = {quint64(std::max(0, parser.value(horizonOption).toInt())) * 1000};

    auto playAll = [&](Sink &sink) {
        QFile loadAverage(QStringLiteral("/proc/loadavg"));
        const QByteArray load = loadAverage.open(QIODevice::ReadOnly) ? loadAverage.readAll().split(' ').value(0) : "?";
        std::printf("Playing %d s per scenario at 120 beats per minute on %d cores (load average %s), %s\n", seconds,
                    QThread::idealThreadCount(), load.constData(), qPrintable(sink.describe()));
        bool ok = true;
        for (const Scenario &scenario : scenarios) {
            for (quint64 horizon : horizons) {
                VoiceSchedule::setHorizon(horizon);
                ok = run(sink, scenario, nodes, seconds) && ok;
            }
        }
        return ok;
    };

    bool allOk = true;
    if (parser.isSet(jackOption)) {
        // A synchronous server hands every event on within the cycle it was
        // written in; the default asynchronous one a cycle later, and a late
        // cycle there is where events can go missing.
        const QString mode = parser.value(jackModeOption);
        QList<bool> synchronousModes;
        if (mode != QLatin1String("async"))
            synchronousModes << true;
        if (mode != QLatin1String("sync"))
            synchronousModes << false;
        for (bool synchronous : synchronousModes) {
            JackSink jack;
            QString error;
            if (!jack.open(parser.value(periodOption).toInt(), synchronous, &error)) {
                std::printf("no JACK server: %s\n", qPrintable(error));
                return 1;
            }
            allOk = playAll(jack) && allOk;
        }
    } else {
        SendCallSink memory;
        MidiBackend::setInstance(&memory);
        allOk = playAll(memory);
        MidiBackend::setInstance(nullptr);
    }
    QmdVelkaController::setPlayerFactory(nullptr);
    return allOk ? 0 : 2;
}
