// How the window's thread fares when a document's clock runs far faster than
// its voices can be stepped: a tempo of 4294967295 beats per minute, or a
// principals-to-beats numerator of 4294967295.
//
// A ring of nodes one principal apart with voice groups on it plays into an
// in-memory MIDI port. The clock is given the raw value directly (values
// from a file or a request are kept in range before they reach it), then the
// window's thread plays, pauses, plays again, goes to the start, changes the
// ratio through a request and closes the document while it plays, as a
// musician would. A precise 1 ms timer on that thread measures the largest
// gap between its turns of the event loop; closing is timed on its own.
// Run: `bench_farclock [milliseconds per step]` (default 300).

#include "abstractsync.h"
#include "engineplayerfactory.h"
#include "midibackend.h"
#include "midioutput.h"
#include "outputportnames.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"
#include "tickpos.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSignalBlocker>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

constexpr qint64 Principal = qint64(AbstractSync::TicksPerPrincipal);
constexpr int Nodes = 8;
constexpr int Groups = 4;
const QString PortName = QStringLiteral("Far Clock 1");

// One output port that counts what it is sent and keeps nothing.
class CountingBackend : public MidiBackend
{
public:
    class Device : public MidiDevice
    {
    public:
        explicit Device(std::atomic<quint64> *sent) : m_sent(sent) {}
        bool send(const std::vector<unsigned char> &, QString *) override
        {
            m_sent->fetch_add(1, std::memory_order_relaxed);
            return true;
        }
        bool setReceiver(Receiver, QString *) override { return true; }
        bool setIgnoredTypes(bool, bool, bool, QString *) override { return true; }
        bool close(QString *) override { return true; }

    private:
        std::atomic<quint64> *m_sent;
    };

    bool portNames(MidiDirection direction, QStringList *names, QString *) override
    {
        names->clear();
        if (direction == MidiDirection::Output)
            names->append(PortName);
        return true;
    }
    std::unique_ptr<MidiDevice> openPort(MidiDirection, const QString &name, QString *error) override
    {
        if (name == PortName)
            return std::make_unique<Device>(&m_sent);
        *error = QStringLiteral("no port %1").arg(name);
        return nullptr;
    }
    quint64 takeSent() { return m_sent.exchange(0); }

private:
    std::atomic<quint64> m_sent{0};
};

void spinFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

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

QmdItemId newId(const QmdItemIdList &before, const QmdItemIdList &after)
{
    for (QmdItemId id : after) {
        if (!before.contains(id))
            return id;
    }
    return 0;
}

void buildDocument(QmdVelkaController &controller)
{
    QBitArray firstChannel(16);
    firstChannel.setBit(0);
    const QmdItemIdList instrumentsBefore = controller.instrumentIds();
    controller.requestAddInstrument(QStringLiteral("Far"), Qt::red, firstChannel);
    const QmdItemId instrument = newId(instrumentsBefore, controller.instrumentIds());
    controller.requestSetData(QStringLiteral("MidiPort"), PortName, controller.instrumentIndex(instrument));
    QmdItemIdList nodes;
    for (int n = 0; n < Nodes; ++n) {
        const QmdItemIdList before = controller.elementIds();
        const qint64 x = n < Nodes / 2 ? n : Nodes - 1 - n;
        controller.requestAddNode(QmdVelka::TickPos(x * Principal, n < Nodes / 2 ? 0 : Principal));
        nodes.append(newId(before, controller.elementIds()));
        controller.requestSetData(QStringLiteral("PitchList"), QStringLiteral("C3,E3,G3"),
                                  controller.elementIndex(nodes.last()));
    }
    for (int n = 0; n < Nodes; ++n)
        controller.requestAddEdge(controller.elementIndex(nodes.at(n)), controller.elementIndex(nodes.at((n + 1) % Nodes)));
    for (int g = 0; g < Groups; ++g) {
        const QmdItemIdList before = controller.elementIds();
        controller.requestAddVoiceGroup(controller.elementIndex(nodes.at(g * 2)));
        controller.requestSetData(QStringLiteral("InitialInstrument"), instrument,
                                  controller.elementIndex(newId(before, controller.elementIds())));
    }
}

// The largest time between two turns of the event loop of the calling thread.
class GapMeter
{
public:
    GapMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_largest = std::max(m_largest, now - m_last);
            m_last = now;
        });
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    // Also counts the time since the last turn.
    double largestMilliseconds()
    {
        m_largest = std::max(m_largest, m_clock.nsecsElapsed() - m_last);
        return double(m_largest) / 1e6;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_largest = 0;
};

bool run(CountingBackend &backend, const char *what, uint tempo, uint numerator, int stepMs)
{
    auto model = std::make_unique<QmdMemModel>();
    auto controller = std::make_unique<QmdVelkaController>();
    controller->setModel(model.get());
    buildDocument(*controller);
    if (!spinUntil([&] { return controller->voiceGroups().size() == Groups && controller->instrumentThreads().size() == 1; },
                   10000)) {
        std::printf("%s: the document's players did not appear\n", what);
        return false;
    }
    spinFor(100);
    {
        // Straight to the clock, past the document's ranges: no write-back.
        AbstractSync *clock = controller->sync();
        const QSignalBlocker blocker(clock);
        clock->setTempo(tempo);
        clock->setPrincipalsToBeatsNumerator(numerator);
    }
    backend.takeSent();

    GapMeter gaps;
    const std::pair<const char *, std::function<void()>> steps[] = {
        {"play", [&] { controller->requestPlay(); }},
        {"pause", [&] { controller->requestPause(); }},
        {"play", [&] { controller->requestPlay(); }},
        {"go to start", [&] { controller->requestGotoStart(); }},
        {"change the ratio", [&] { controller->requestSetData(QStringLiteral("PrincipalsToBeatsDenominator"), 2u); }},
    };
    for (const auto &step : steps) {
        step.second();
        spinFor(stepMs);
    }
    const double largestGap = gaps.largestMilliseconds();
    const quint64 sent = backend.takeSent();
    QElapsedTimer closing;
    closing.start();
    controller.reset();
    model.reset();
    const double closeMs = double(closing.nsecsElapsed()) / 1e6;
    std::printf("  %-22s largest event-loop gap %8.2f ms   closing while playing %8.2f ms   messages sent %llu\n",
                what, largestGap, closeMs, static_cast<unsigned long long>(sent));
    return largestGap < 100.0 && closeMs < 2000.0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int stepMs = argc > 1 ? std::max(50, QString::fromLocal8Bit(argv[1]).toInt()) : 300;
    CountingBackend backend;
    MidiBackend::setInstance(&backend);
    OutputPortNames::setSource([] { return MidiOutput::availablePortNames(); });
    EnginePlayerFactory factory;
    QmdVelkaController::setPlayerFactory(&factory);

    QFile loadAverage(QStringLiteral("/proc/loadavg"));
    const QByteArray load = loadAverage.open(QIODevice::ReadOnly) ? loadAverage.readAll().trimmed() : "?";
    std::printf("%d groups on a ring of %d nodes, %d ms per step, %d cores, load average %s\n", Groups, Nodes, stepMs,
                QThread::idealThreadCount(), load.constData());
    bool ok = run(backend, "Tempo 4294967295", 4294967295u, 1, stepMs);
    ok = run(backend, "numerator 4294967295", 120, 4294967295u, stepMs) && ok;

    QmdVelkaController::setPlayerFactory(nullptr);
    MidiBackend::setInstance(nullptr);
    return ok ? 0 : 2;
}
