// How late voice groups and instruments send their notes against the ticks
// the notes are due at, and how much processor time playback uses while
// playing and while paused.
//
// A document with N voice groups (1, 16 and 64 by default) plays through
// in-memory MIDI ports with the real playback clock at 120 beats per minute.
// Each group's voice crosses a lead-in edge and then shuttles between two
// nodes an eighth of a principal apart, so every group plays a note every
// 62.5 ms, each lasting half that. "aligned": every group plays on the same
// ticks (the hardest case); "staggered": the groups' notes are spread evenly
// over the 62.5 ms. Groups share one instrument and port per 16 groups. Lateness
// is the time a message reached the port minus the time its tick came.
//
// Usage: bench_voicegroups [seconds [groups (at most 256) [horizon µs]]]

#include "abstractsync.h"
#include "benchstats.h"
#include "engineplayerfactory.h"
#include "midibackend.h"
#include "midiinstrument.h"
#include "monotonicclock.h"
#include "notenames.h"
#include "outputportnames.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"
#include "qmdvelkakeys.h"
#include "tickpos.h"
#include "voicegroup.h"
#include "voiceschedule.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMutex>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <limits>
#include <memory>
#include <vector>

namespace {

constexpr qint64 Principal = qint64(QmdVelka::TicksPerPrincipal);
constexpr qint64 EdgeTicks = Principal / 8;
constexpr int GroupsPerInstrument = 16;

constexpr int MaxGroups = 256;
constexpr int PortCount = MaxGroups / GroupsPerInstrument;

struct Sent
{
    quint64 time;
    int port;
    unsigned char status;
    unsigned char pitch;
};

// Output ports that only note when each message arrived.
class RecordingBackend : public MidiBackend
{
public:
    class Device : public MidiDevice
    {
    public:
        Device(RecordingBackend *backend, int port) : m_backend(backend), m_port(port) {}
        bool send(const std::vector<unsigned char> &message, QString *) override
        {
            const quint64 now = MonotonicClock::nanoseconds();
            QMutexLocker locker(&m_backend->m_mutex);
            m_backend->m_sent.push_back({now, m_port, message.size() > 0 ? message[0] : static_cast<unsigned char>(0),
                                         message.size() > 1 ? message[1] : static_cast<unsigned char>(0)});
            return true;
        }
        bool setReceiver(Receiver, QString *) override { return true; }
        bool setIgnoredTypes(bool, bool, bool, QString *) override { return true; }
        bool close(QString *) override { return true; }

    private:
        RecordingBackend *m_backend;
        int m_port;
    };

    bool portNames(MidiDirection direction, QStringList *names, QString *) override
    {
        names->clear();
        if (direction == MidiDirection::Output) {
            for (int i = 0; i < PortCount; ++i)
                names->append(portName(i));
        }
        return true;
    }
    std::unique_ptr<MidiDevice> openPort(MidiDirection, const QString &name, QString *) override
    {
        for (int i = 0; i < PortCount; ++i) {
            if (name == portName(i))
                return std::make_unique<Device>(this, i);
        }
        return nullptr;
    }

    static QString portName(int port) { return QStringLiteral("Bench %1").arg(port + 1); }

    RecordingBackend() { m_sent.reserve(Reserved); }

    std::vector<Sent> take()
    {
        QMutexLocker locker(&m_mutex);
        std::vector<Sent> sent;
        sent.swap(m_sent);
        m_sent.reserve(Reserved);
        return sent;
    }

private:
    // Room for a long run of the largest document, so that the record never
    // grows while a tick's notes are sent: copying it would hold every
    // instrument's send behind the lock.
    static constexpr size_t Reserved = 1 << 18;

    QMutex m_mutex;
    std::vector<Sent> m_sent;
};

class BenchController : public QmdVelkaController
{
public:
    using QmdVelkaController::registerInstrumentThreads;
};

double processCpuMilliseconds()
{
    timespec used{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return used.tv_sec * 1e3 + used.tv_nsec / 1e6;
}

void spin(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// The engine's clock; the benchmark makes and drives the other players itself.
class ClockOnlyFactory : public EnginePlayerFactory
{
public:
    InstrumentPlayer *createInstrument(const QString &, QmdItemId) override { return nullptr; }
    VoicePlayer *createVoiceGroup(QmdItemId, QmdVelkaController *) override { return nullptr; }
};

QmdItemId newElement(const QmdVelkaController &controller, const QmdItemIdList &before)
{
    for (QmdItemId id : controller.elementIds()) {
        if (!before.contains(id))
            return id;
    }
    return 0;
}

QmdItemId addNode(QmdVelkaController &controller, qint64 x, qint64 y)
{
    const QmdItemIdList before = controller.elementIds();
    controller.requestAddNode(QmdVelka::TickPos(x, y));
    const QmdItemId node = newElement(controller, before);
    // Every node plays what the voice brings, for half its way on.
    const QmdIndex index = controller.elementIndex(node);
    controller.requestSetData(QStringLiteral("PitchList"), QString(), index);
    controller.requestSetData(QStringLiteral("VelocityList"), QString(), index);
    controller.requestSetData(QStringLiteral("DurationList"), QStringLiteral("50%"), index);
    return node;
}

// Group g: a lead-in node where its voice starts, an edge of `leadIn` ticks to
// the first of two nodes EdgeTicks apart, joined both ways. Its notes carry
// pitch 20 + g % 16 on the port of instrument g / 16, so each message tells
// its group.
void run(RecordingBackend &backend, PlayerFactory &factory, int groupCount, bool staggered, int seconds)
{
    QmdMemModel model;
    BenchController controller;
    controller.setModel(&model);
    QmdVelkaController::setPlayerFactory(&factory);

    const int instrumentCount = (groupCount + GroupsPerInstrument - 1) / GroupsPerInstrument;
    QBitArray firstChannel(16);
    firstChannel.setBit(0);
    for (int i = 0; i < instrumentCount; ++i)
        controller.requestAddInstrument(RecordingBackend::portName(i), Qt::red, firstChannel);
    const QmdItemIdList instrumentIds = controller.instrumentIds();
    for (int i = 0; i < instrumentCount; ++i) {
        controller.requestSetData(QStringLiteral("MidiPort"), RecordingBackend::portName(i),
                                  controller.instrumentIndex(instrumentIds.at(i)));
    }

    QmdItemIdList groupIds;
    std::vector<quint64> leadIns;
    for (int g = 0; g < groupCount; ++g) {
        const qint64 leadIn = staggered ? EdgeTicks + g * (EdgeTicks / groupCount) : EdgeTicks;
        leadIns.push_back(quint64(leadIn));
        const qint64 y = qint64(g) * 4 * Principal;
        const QmdItemId start = addNode(controller, 0, y);
        const QmdItemId first = addNode(controller, leadIn, y);
        const QmdItemId second = addNode(controller, leadIn + EdgeTicks, y);
        controller.requestAddEdge(controller.elementIndex(start), controller.elementIndex(first));
        controller.requestAddEdge(controller.elementIndex(first), controller.elementIndex(second));
        controller.requestAddEdge(controller.elementIndex(second), controller.elementIndex(first));
        const QmdItemIdList before = controller.elementIds();
        controller.requestAddVoiceGroup(controller.elementIndex(start));
        groupIds.append(newElement(controller, before));
        const QmdIndex group = controller.elementIndex(groupIds.last());
        controller.requestSetData(QStringLiteral("InitialInstrument"), instrumentIds.at(g / GroupsPerInstrument), group);
        controller.requestSetData(QStringLiteral("InitialPitch"), noteNumberToName(20 + g % GroupsPerInstrument), group);
    }
    controller.reset();
    // Changes announced so far may replace the clock; let them pass first.
    spin(50);
    if (!controller.sync())
        controller.setupSync();
    AbstractSync *clock = controller.sync();
    clock->reset();

    // Registered instruments belong to the controller.
    std::vector<MidiInstrument *> instruments;
    QHash<QmdItemId, InstrumentPlayer *> table;
    for (QmdItemId id : instrumentIds) {
        auto *instrument = new MidiInstrument(id);
        instruments.push_back(instrument);
        instrument->setSync(clock);
        instrument->setController(&controller);
        table.insert(id, instrument);
        instrument->start(QThread::TimeCriticalPriority);
    }
    controller.registerInstrumentThreads(table);
    std::vector<std::unique_ptr<VoiceGroup>> groups;
    for (QmdItemId id : groupIds) {
        groups.push_back(std::make_unique<VoiceGroup>(id, &controller));
        groups.back()->start(QThread::TimeCriticalPriority);
        groups.back()->waitUntilStarted();
    }

    // The canvas drains the played-node records every 16 ms.
    QTimer drain;
    QObject::connect(&drain, &QTimer::timeout, [&controller] {
        std::vector<FeedbackEvent> records;
        controller.feedbackPipe().takeDue(records, 1000, std::numeric_limits<quint64>::max());
    });
    drain.start(16);

    // Every group seeds its start voice at tick 0 while the clock still stands.
    backend.take();
    for (MidiInstrument *instrument : instruments)
        instrument->play();
    for (auto &group : groups)
        group->continueIterating();
    clock->setPlaying(true);
    const double playStart = processCpuMilliseconds();
    spin(seconds * 1000);
    const double playCpu = processCpuMilliseconds() - playStart;

    // Due times of the notes sent, read while the clock still plays. The
    // lead-in note at tick 0 is left out: it is played as the group starts.
    std::vector<double> onLateness, offLateness;
    for (const Sent &message : backend.take()) {
        const bool on = (message.status & 0xf0) == 0x90;
        const bool off = (message.status & 0xf0) == 0x80;
        const int g = message.port * GroupsPerInstrument + int(message.pitch) - 20;
        if ((!on && !off) || g < 0 || g >= groupCount)
            continue;
        const quint64 shift = leadIns[size_t(g)] + (off ? EdgeTicks / 2 : 0);
        const quint64 sentTick = clock->currentTick(); // an upper bound for the search below
        quint64 due = 0;
        bool found = false;
        for (quint64 tick = shift; tick <= sentTick; tick += EdgeTicks) {
            const quint64 at = clock->counterNanosecondsAtTick(tick);
            if (at > message.time)
                break;
            due = at;
            found = true;
        }
        if (found)
            (on ? onLateness : offLateness).push_back(double(message.time - due) / 1000.0);
    }

    for (auto &group : groups)
        group->pauseIterating();
    for (MidiInstrument *instrument : instruments)
        instrument->pauseAndWait();
    clock->setPlaying(false);
    drain.stop();
    spin(100);
    const double pauseStart = processCpuMilliseconds();
    spin(2000);
    const double pauseCpu = processCpuMilliseconds() - pauseStart;

    const Figures on = figures(onLateness);
    const Figures off = figures(offLateness);
    std::printf("%3d groups %-9s horizon %4llu us | note on  %6zu  median %8.1f  p99 %8.1f  max %8.1f us\n",
                groupCount, staggered ? "staggered" : "aligned",
                static_cast<unsigned long long>(VoiceSchedule::horizon() / 1000), on.count, on.median, on.p99,
                on.maximum);
    std::printf("                                     | note off %6zu  median %8.1f  p99 %8.1f  max %8.1f us\n", off.count,
                off.median, off.p99, off.maximum);
    std::printf("                                     | CPU playing %.0f ms in %d s (%.1f %% of a core), paused %.1f ms in 2 s\n",
                playCpu, seconds, playCpu / (seconds * 10.0), pauseCpu);
    std::fflush(stdout);

    for (auto &group : groups) {
        group->terminateSafely();
        group->wait();
    }
    groups.clear();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    QList<int> counts{1, 16, 64, 256};
    if (argc > 2)
        counts = {std::clamp(atoi(argv[2]), 1, MaxGroups)};
    // Steps at their arrival and steps ahead, side by side, unless one
    // horizon (µs) is asked for.
    QList<quint64> horizons{0, VoiceSchedule::DefaultHorizon};
    if (argc > 3)
        horizons = {quint64(std::max(0, atoi(argv[3]))) * 1000};

    RecordingBackend backend;
    MidiBackend::setInstance(&backend);
    OutputPortNames::setSource([] { return MidiOutput::availablePortNames(); });
    ClockOnlyFactory factory;

    std::printf("Voice groups playing for %d s at 120 beats per minute, a note every 62.5 ms per group\n", seconds);
    for (int count : counts) {
        for (bool staggered : {false, true}) {
            for (quint64 horizon : horizons) {
                VoiceSchedule::setHorizon(horizon);
                run(backend, factory, count, staggered, seconds);
            }
        }
    }
    MidiBackend::setInstance(nullptr);
    return 0;
}
