// Launch figures of a document window: how long a window takes from its
// construction to its title naming a 9,992-element file and to its first
// completed paint, as when the file is named on the command line; then, with
// the file open, the processor time of the whole process while it is idle and
// while its 16 voice groups play and flash, the event loop's wake-ups by
// receiver and the longest stretch the loop spent without waiting for events
// (the window's largest event-loop gap).
//
// The document is a square grid of 58 x 58 nodes, each joined by edges to its
// right and lower neighbours, with 16 voice groups spread over it and one
// instrument: 9,992 elements. The file is written here; each opening runs in
// a process of its own, so that it pays the first-use costs (fonts, style
// sheets, images) the program pays.
//
// Run: bench_launch [runs] (offscreen; default 3 openings, then 10 s idle and
// 10 s playing); bench_launch --write FILE writes the document only.
// VELKA_MIDI_API and JACK_DEFAULT_SERVER choose the MIDI system as in the
// program; without a server the instruments have no port and the voices and
// flashes still run.

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
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QXmlStreamWriter>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Side = 58;
constexpr int VoiceGroups = 16;
constexpr int MeasureSeconds = 10;
const qint64 principal = qint64(QmdVelka::TicksPerPrincipal);

void writePair(QXmlStreamWriter &xml, const QString &key, const char *element, const QString &text)
{
    xml.writeTextElement(QStringLiteral("key"), key);
    xml.writeTextElement(QLatin1String(element), text);
}

void startDict(QXmlStreamWriter &xml, const QString &key, const char *kind)
{
    if (!key.isEmpty())
        xml.writeTextElement(QStringLiteral("key"), key);
    xml.writeStartElement(QStringLiteral("dict"));
    writePair(xml, QStringLiteral("ContainerType"), "string", QLatin1String(kind));
}

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
    startDict(xml, QStringLiteral("Instruments"), "IntDict");
    startDict(xml, QStringLiteral("1"), "StrDict");
    writePair(xml, QStringLiteral("Type"), "string", QStringLiteral("midi"));
    writePair(xml, QStringLiteral("Label"), "string", QStringLiteral("Instrument 1"));
    writePair(xml, QStringLiteral("Color"), "string", QStringLiteral("#ff0000"));
    writePair(xml, QStringLiteral("MidiChannels"), "string", QStringLiteral("1000000000000000"));
    xml.writeEndElement();
    xml.writeEndElement();

    const int nodes = Side * Side;
    struct Edge { quint32 id, from, to; };
    std::vector<Edge> edges;
    std::vector<std::vector<quint32>> arcs(nodes);
    quint32 next = quint32(nodes) + 1;
    for (int i = 0; i < nodes; ++i) {
        if ((i + 1) % Side != 0) {
            edges.push_back({next, quint32(i + 1), quint32(i + 2)});
            arcs[i].push_back(next++);
        }
        if (i + Side < nodes) {
            edges.push_back({next, quint32(i + 1), quint32(i + Side + 1)});
            arcs[i].push_back(next++);
        }
    }

    startDict(xml, QStringLiteral("Elements"), "IntDict");
    for (int i = 0; i < nodes; ++i) {
        startDict(xml, QString::number(i + 1), "StrDict");
        writePair(xml, QStringLiteral("Type"), "string", QStringLiteral("Node"));
        writePair(xml, QStringLiteral("TickPos"), "string",
                  QStringLiteral("{%1, %2}").arg((i % Side) * principal).arg((i / Side) * principal));
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
    // The groups start on nodes spread over the upper left of the grid, the
    // part the window shows at its default zoom.
    for (int g = 0; g < VoiceGroups; ++g) {
        const int node = (g / 4) * 3 * Side + (g % 4) * 3;
        startDict(xml, QString::number(next++), "StrDict");
        writePair(xml, QStringLiteral("Type"), "string", QStringLiteral("VoiceGroup"));
        writePair(xml, QStringLiteral("ToNode"), "integer", QString::number(node + 1));
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

double processCpuMilliseconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
         + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// The window's event loop: its longest busy stretch (from waking up to
// waiting again), how often it woke, and which objects its timer and paint
// events went to.
class LoopWatch : public QObject
{
public:
    LoopWatch()
    {
        QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
        connect(dispatcher, &QAbstractEventDispatcher::awake, this, [this] {
            if (!m_busy) {
                m_busy = true;
                m_busySince.start();
                ++m_wakeUps;
            }
        });
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            if (m_busy)
                m_longest = std::max(m_longest, milliseconds(m_busySince));
            m_busy = false;
        });
        qApp->installEventFilter(this);
    }

    void restart()
    {
        m_longest = 0;
        m_wakeUps = 0;
        m_events.clear();
    }

    double longestMs() const { return m_longest; }
    int wakeUps() const { return m_wakeUps; }

    void printEvents() const
    {
        std::vector<std::pair<int, QString>> sorted;
        for (auto it = m_events.cbegin(); it != m_events.cend(); ++it)
            sorted.emplace_back(it.value(), it.key());
        std::sort(sorted.rbegin(), sorted.rend());
        for (size_t i = 0; i < std::min<size_t>(sorted.size(), 8); ++i)
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
    QElapsedTimer m_busySince;
    bool m_busy = false;
    double m_longest = 0;
    int m_wakeUps = 0;
    QHash<QString, int> m_events;
};

// Runs the event loop for the given time; prints the process's processor
// time, the wake-ups and the longest busy stretch of the loop.
void measureLoop(const char *title, LoopWatch &watch)
{
    watch.restart();
    const double cpuBefore = processCpuMilliseconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(MeasureSeconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double elapsed = milliseconds(wall);
    const double cpu = processCpuMilliseconds() - cpuBefore;
    std::printf("  %s: %.1f %% of a core (%.0f ms in %.0f ms), %d wake-ups of the window's loop, "
                "longest busy stretch %.1f ms\n",
                title, 100.0 * cpu / elapsed, cpu, elapsed, watch.wakeUps(), watch.longestMs());
    std::printf("    events by receiver:\n");
    watch.printEvents();
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
    window->showMaximized();
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
        if (itemsMade < 0 && scene && scene->elementItems().size() >= 9000)
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
        measureLoop("idle", watch);
        window->controller()->requestPlay();
        measureLoop("playing 16 groups", watch);
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
                static_cast<long long>(QFileInfo(fileName).size()), Side * Side + 2 * Side * (Side - 1) + VoiceGroups);
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
