// Launch figures of a document window: how long a window takes from its
// construction to its title naming a 10,024-element file and to its first
// completed paint, as when the file is named on the command line; then, with
// the file open, the processor time of the whole process while it is idle and
// while its 16 voice groups play and flash, the event loop's wake-ups by
// receiver and the longest stretch the loop spent without waiting for events
// beside a 5 ms timer (the window's largest event-loop gap).
//
// The document is a square grid of 58 x 58 nodes, each joined by edges to its
// right and lower neighbours, beside a ring of 16 nodes with a voice group on
// each, and one instrument: 10,024 elements. The file is written here; each opening runs in
// a process of its own, so that it pays the first-use costs (fonts, style
// sheets, images) the program pays.
//
// Run: bench_launch [runs] (offscreen; default 3 openings, then 10 s idle,
// 10 s playing and 10 s playing beside the gap probe); bench_launch --write FILE writes the document only.
// VELKA_MIDI_API and JACK_DEFAULT_SERVER choose the MIDI system as in the
// program. With JACK, a client of the benchmark ("bench_launch_sink:input")
// takes the instrument's notes; without it the instrument has no port, its
// queue fills and the notes are dropped (the voices and flashes still run).

#include "plistwriting.h"
#include "abstractsync.h"
#include "benchstats.h"
#include "displayscale.h"
#include "engineplayerfactory.h"
#include "networkscene.h"
#include "networkview.h"
#include "outputportnames.h"
#include "qmdvelka.h"
#include "qmdvelkacontroller.h"
#include "velkawindow.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QXmlStreamWriter>

#include <unistd.h>

#ifdef VELKA_BENCH_JACK
#include "playbackcapture.h"
#endif

#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

constexpr int Side = 58;
constexpr int GridLeft = 6;
constexpr int RingNodes = 16;
constexpr int VoiceGroups = 16;
constexpr int Elements = Side * Side + 2 * Side * (Side - 1) + 2 * RingNodes + VoiceGroups;
constexpr int MeasureSeconds = 10;
const qint64 principal = qint64(QmdVelka::TicksPerPrincipal);
// The instrument's port: a JACK client of this benchmark takes the notes, as
// a synthesizer would.
const QString SinkClientName = QStringLiteral("bench_launch_sink");
const QString SinkPortName = SinkClientName + QStringLiteral(":input");

// The grid document: nodes 1..n, then the edges, then the voice groups.
void writeDocument(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(fileName));
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument(QStringLiteral("1.0"));
    xml.writeStartElement(QStringLiteral("plist"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
    startDict(xml, QString(), "StrDict");
    writePair(xml, QStringLiteral("Tempo"), "integer", QStringLiteral("120"));
    writePair(xml, QStringLiteral("ZoomScale"), "real", QStringLiteral("0.75"));
    startDict(xml, QStringLiteral("Instruments"), "IntDict");
    startDict(xml, QStringLiteral("1"), "StrDict");
    writePair(xml, QStringLiteral("Type"), "string", QStringLiteral("midi"));
    writePair(xml, QStringLiteral("Label"), "string", QStringLiteral("Instrument 1"));
    writePair(xml, QStringLiteral("Color"), "string", QStringLiteral("#ff0000"));
    writePair(xml, QStringLiteral("MidiPort"), "string", SinkPortName);
    writePair(xml, QStringLiteral("MidiChannels"), "string", QStringLiteral("1000000000000000"));
    xml.writeEndElement();
    xml.writeEndElement();

    // Nodes 1..n: the ring's, then the grid's; then the edges, then the groups.
    struct Node { qint64 x, y; };
    struct Edge { quint32 id, from, to; };
    std::vector<Node> nodes;
    std::vector<Edge> edges;
    for (int i = 0; i < RingNodes; ++i) {
        // Round the border of a square of 5 x 5 positions, clockwise.
        const int side = i / 4, step = i % 4;
        const qint64 along[4][2] = {{step, 0}, {4, step}, {4 - step, 4}, {0, 4 - step}};
        nodes.push_back({along[side][0] * principal, along[side][1] * principal});
    }
    for (int i = 0; i < Side * Side; ++i)
        nodes.push_back({(GridLeft + i % Side) * principal, (i / Side) * principal});
    std::vector<std::vector<quint32>> arcs(nodes.size());
    quint32 next = quint32(nodes.size()) + 1;
    const auto join = [&](int from, int to) {
        edges.push_back({next, quint32(from + 1), quint32(to + 1)});
        arcs[from].push_back(next++);
    };
    for (int i = 0; i < RingNodes; ++i)
        join(i, (i + 1) % RingNodes);
    for (int i = 0; i < Side * Side; ++i) {
        const int node = RingNodes + i;
        if ((i + 1) % Side != 0)
            join(node, node + 1);
        if (i + Side < Side * Side)
            join(node, node + Side);
    }

    startDict(xml, QStringLiteral("Elements"), "IntDict");
    for (size_t i = 0; i < nodes.size(); ++i) {
        startDict(xml, QString::number(i + 1), "StrDict");
        writePair(xml, QStringLiteral("Type"), "string", QStringLiteral("Node"));
        writePair(xml, QStringLiteral("TickPos"), "string", QStringLiteral("{%1, %2}").arg(nodes[i].x).arg(nodes[i].y));
        writePair(xml, QStringLiteral("PitchList"), "string", QStringLiteral("C3 E3 G3"));
        writePair(xml, QStringLiteral("VelocityList"), "string", QStringLiteral("64"));
        writePair(xml, QStringLiteral("DurationList"), "string", QStringLiteral("50%"));
        writePair(xml, QStringLiteral("SignallingMethod"), "string", QStringLiteral("Sequential"));
        QStringList usages;
        startDict(xml, QStringLiteral("ArcIdentifiers"), "IntDict");
        for (size_t arc = 0; arc < arcs[i].size(); ++arc) {
            writePair(xml, QString::number(arcs[i][arc]), "integer", QString::number(arc));
            usages << QStringLiteral("%1=1").arg(arcs[i][arc]);
        }
        xml.writeEndElement();
        writePair(xml, QStringLiteral("ArcUsageList"), "string", usages.join(QLatin1Char(',')));
        xml.writeEndElement();
    }
    for (const Edge &edge : edges) {
        startDict(xml, QString::number(edge.id), "StrDict");
        writePair(xml, QStringLiteral("Type"), "string", QStringLiteral("Edge"));
        writePair(xml, QStringLiteral("Path"), "string", QStringLiteral("Direct"));
        writePair(xml, QStringLiteral("FromNode"), "integer", QString::number(edge.from));
        writePair(xml, QStringLiteral("ToNode"), "integer", QString::number(edge.to));
        xml.writeEndElement();
    }
    // One group starts on each node of the ring: their voices go round it
    // for ever, in view, and a node flashes every 31 ms.
    for (int g = 0; g < VoiceGroups; ++g) {
        startDict(xml, QString::number(next++), "StrDict");
        writePair(xml, QStringLiteral("Type"), "string", QStringLiteral("VoiceGroup"));
        writePair(xml, QStringLiteral("ToNode"), "integer", QString::number(g + 1));
        writePair(xml, QStringLiteral("InitialPitch"), "string", QStringLiteral("C3"));
        writePair(xml, QStringLiteral("InitialVelocity"), "string", QStringLiteral("64"));
        writePair(xml, QStringLiteral("InitialDuration"), "string", QStringLiteral("1.0"));
        writePair(xml, QStringLiteral("InitialInstrument"), "integer", QStringLiteral("1"));
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
}

double milliseconds(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e6;
}

// Processor time of every thread of the process (ms), by thread id, with
// the thread's name.
struct ThreadTime
{
    QString name;
    double milliseconds = 0;
};

QMap<qint64, ThreadTime> threadTimes()
{
    QMap<qint64, ThreadTime> times;
    const long ticks = sysconf(_SC_CLK_TCK);
    const QStringList tasks = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &task : tasks) {
        QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(task));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const int open = line.indexOf('('), close = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (open < 0 || close < open || fields.size() < 13)
            continue;
        times.insert(task.toLongLong(), {QString::fromUtf8(line.mid(open + 1, close - open - 1)),
                                         (fields.at(11).toDouble() + fields.at(12).toDouble()) * 1000.0 / ticks});
    }
    return times;
}

// Threads that are the benchmark's own, not the program's (the JACK sink).
QSet<qint64> &benchThreads()
{
    static QSet<qint64> threads;
    return threads;
}

// The window's event loop: how often it woke, and which objects its timer,
// paint and queued-call events went to.
class LoopWatch : public QObject
{
public:
    LoopWatch()
    {
        connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, this, [this] { ++m_wakeUps; });
        qApp->installEventFilter(this);
    }

    void restart()
    {
        m_wakeUps = 0;
        m_events.clear();
    }

    int wakeUps() const { return m_wakeUps; }

    void printEvents() const
    {
        std::vector<std::pair<int, QString>> sorted;
        for (auto it = m_events.cbegin(); it != m_events.cend(); ++it)
            sorted.emplace_back(it.value(), it.key());
        std::sort(sorted.rbegin(), sorted.rend());
        for (size_t i = 0; i < std::min<size_t>(sorted.size(), 14); ++i)
            std::printf("      %6d  %s\n", sorted[i].first, qPrintable(sorted[i].second));
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const char *kind = nullptr;
        switch (event->type()) {
        case QEvent::Timer: kind = "timer"; break;
        case QEvent::Paint: kind = "paint"; break;
        case QEvent::MetaCall: kind = "queued call"; break;
        case QEvent::UpdateRequest: kind = "update request"; break;
        default: break;
        }
        if (kind) {
            QString name = QString::fromLatin1(watched->metaObject()->className());
            if (!watched->objectName().isEmpty())
                name += QLatin1Char(' ') + watched->objectName();
            if (event->type() == QEvent::Timer && watched->parent())
                name += QStringLiteral(" of ") + QLatin1String(watched->parent()->metaObject()->className());
            ++m_events[QStringLiteral("%1 to %2").arg(QLatin1String(kind), name)];
        }
        return false;
    }

private:
    int m_wakeUps = 0;
    QHash<QString, int> m_events;
};

// Runs the event loop for the given time; prints the process's processor
// time (every thread), the loop's wake-ups and the events it handled.
void measureLoad(const char *title, LoopWatch &watch)
{
    watch.restart();
    const QMap<qint64, ThreadTime> before = threadTimes();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(MeasureSeconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double elapsed = milliseconds(wall);
    const QMap<qint64, ThreadTime> after = threadTimes();
    double cpu = 0, sink = 0;
    QMap<QString, double> byName;
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        const double used = it->milliseconds - before.value(it.key()).milliseconds;
        if (benchThreads().contains(it.key())) {
            sink += used;
            continue;
        }
        cpu += used;
        if (used > 0)
            byName[it.key() == getpid() ? QStringLiteral("window") : it->name] += used;
    }
    std::printf("  %s: %.1f %% of a core (%.0f ms in %.0f ms; the benchmark's JACK sink %.0f ms more), "
                "%d wake-ups of the window's loop\n",
                title, 100.0 * cpu / elapsed, cpu, elapsed, sink, watch.wakeUps());
    std::printf("    processor by thread (ms):");
    for (auto it = byName.cbegin(); it != byName.cend(); ++it)
        std::printf(" %s %.0f;", qPrintable(it.key()), it.value());
    std::printf("\n");
    std::printf("    events by receiver:\n");
    watch.printEvents();
    std::fflush(stdout);
}

// The window's largest event-loop gap: a precise 5 ms timer runs beside the
// window's own work, and every interval between its timeouts beyond 5 ms is
// time the loop could not serve it. Kept apart from the processor figures,
// since the probe wakes the loop itself.
void measureGaps(const char *title)
{
    constexpr int ProbeMs = 5;
    std::vector<double> late;
    QElapsedTimer since;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (since.isValid())
            late.push_back(std::max(0.0, milliseconds(since) - ProbeMs));
        since.start();
    });
    probe.start(ProbeMs);
    QEventLoop loop;
    QTimer::singleShot(MeasureSeconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const Figures f = figures(late);
    std::printf("  %s, event-loop gap beyond a 5 ms timer (ms): median %.2f, p99 %.2f, largest %.2f (%zu)\n",
                title, f.median, f.p99, f.maximum, f.count);
    std::fflush(stdout);
}

// One opening, as the program opens a file named on its command line: the
// window is made, asked to load the file and shown; then the times until
// its title names the file and until its canvas has painted.
void openOnce(const QString &fileName, bool measureLoops, const QElapsedTimer &sinceStart)
{
    const double before = milliseconds(sinceStart);
    const QString title = QFileInfo(fileName).baseName();
    QElapsedTimer timer;
    timer.start();
    auto *window = new VelkaWindow;
    const double built = milliseconds(timer);
    window->controller()->requestLoad(fileName);
    const double loaded = milliseconds(timer);
    // The size the program's maximised window has on a small screen; the
    // offscreen screen is smaller.
    window->resize(1280, 800);
    window->show();
    const double shown = milliseconds(timer);

    auto *view = window->findChild<NetworkView *>();
    auto *scene = view ? qobject_cast<NetworkScene *>(view->scene()) : nullptr;
    double titled = -1, itemsMade = -1, painted = -1;
    bool paintSeen = false;
    struct PaintSpy : QObject
    {
        bool *seen;
        explicit PaintSpy(bool *s) : seen(s) {}
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint)
                *seen = true;
            return false;
        }
    } spy(&paintSeen);
    if (view)
        view->viewport()->installEventFilter(&spy);
    const auto check = [&] {
        if (titled < 0 && window->windowTitle().startsWith(title))
            titled = milliseconds(timer);
        if (itemsMade < 0 && scene && scene->elementItems().size() >= Elements)
            itemsMade = milliseconds(timer);
        if (painted < 0 && paintSeen && titled >= 0)
            painted = milliseconds(timer);
    };
    const QMetaObject::Connection hook =
        QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, check);
    while (painted < 0 && timer.elapsed() < 20000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        check();
    }
    QObject::disconnect(hook);
    if (view)
        view->viewport()->removeEventFilter(&spy);
    std::printf("%8.1f %8.1f %8.1f %8.1f %8.1f %8.1f %8.1f %8lld\n", before, built, loaded - built, shown - loaded,
                titled, itemsMade, painted,
                static_cast<long long>(window->controller()->elementIds().size()));
    std::fflush(stdout);

    if (measureLoops) {
        LoopWatch watch;
        measureLoad("idle", watch);
        window->controller()->requestPlay();
        measureLoad("playing 16 groups", watch);
        measureGaps("playing 16 groups");
        if (!qEnvironmentVariableIsEmpty("BENCH_LAUNCH_PICTURE"))
            window->grab().save(qEnvironmentVariable("BENCH_LAUNCH_PICTURE"));
        window->controller()->requestTogglePlayback();
        QCoreApplication::processEvents();
    }
    delete window;
}

} // namespace

int main(int argc, char *argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication::setAttribute(Qt::AA_Use96Dpi, true);
    QApplication app(argc, argv);
    setDisplayScale(96, 96);
    QStringList arguments = app.arguments().mid(1);
    if (arguments.size() == 2 && arguments.first() == QLatin1String("--write")) {
        writeDocument(arguments.at(1));
        return 0;
    }
    EnginePlayerFactory factory;
    QmdVelkaController::setPlayerFactory(&factory);
    if (arguments.size() >= 2 && arguments.first() == QLatin1String("--one")) {
#ifdef VELKA_BENCH_JACK
        // Opened away from the window's thread, as the program opens its clients.
        PlaybackCapture sink;
        QString error;
        const QMap<qint64, ThreadTime> before = threadTimes();
        std::thread([&] {
            if (!sink.open(SinkClientName, {QStringLiteral("input")}, &error))
                std::printf("  (no JACK sink: %s; the instrument has no port)\n", qPrintable(error));
        }).join();
        for (qint64 thread : threadTimes().keys()) {
            if (!before.contains(thread))
                benchThreads().insert(thread);
        }
#endif
        openOnce(arguments.at(1), arguments.size() > 2, sinceStart);
        QmdVelkaController::setPlayerFactory(nullptr);
        return 0;
    }

    const int runs = arguments.isEmpty() ? 3 : std::max(1, arguments.first().toInt());
    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("grid.vlk"));
    writeDocument(fileName);
    std::printf("opening a %lld-byte file of %d elements and one instrument in a new window, ms from the "
                "window's construction (start: from the process's start to it)\n",
                static_cast<long long>(QFileInfo(fileName).size()), Elements);
    std::printf("%8s %8s %8s %8s %8s %8s %8s %8s\n", "start", "window", "load", "show", "titled", "items", "painted",
                "elements");
    for (int run = 0; run < runs; ++run) {
        QStringList one{QStringLiteral("--one"), fileName};
        if (run == runs - 1)
            one << QStringLiteral("--loops");
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(app.applicationFilePath(), one);
        process.waitForFinished(-1);
    }
    QmdVelkaController::setPlayerFactory(nullptr);
    return 0;
}
