// Canvas figures: how long the grid background takes to repaint a 1280 x 800
// viewport, and how far behind the clock played nodes start to flash when
// records arrive faster than the scene drains them (32 per 16 ms pass); then,
// on a 1280 x 800 network view of 5,000 nodes and 10,000 edges: full repaints,
// loading a 10,000-element file up to its first paint, dragging 1,000 selected
// nodes, 64 voice groups flashing, and the items' cache modes.

#include "abstractsync.h"
#include "benchstats.h"
#include "canvascoordinates.h"
#include "displayscale.h"
#include "elementitem.h"
#include "networkscene.h"
#include "networkview.h"
#include "playerfactory.h"
#include "qmdmemmodel.h"
#include "qmdvelka.h"
#include "qmdvelkacontroller.h"
#include "qmdvelkakeys.h"

#include <QApplication>
#include <QBitArray>
#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QGraphicsItem>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmapCache>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>

namespace {

constexpr quint64 P = QmdVelka::TicksPerPrincipal;
constexpr quint64 ticksPerSecond = 2 * P; // 120 bpm, one beat a principal

// A clock moved by hand.
class BenchSync : public AbstractSync
{
public:
    QString type() const override { return QStringLiteral("bench"); }
    QString description() const override { return type(); }
    bool isPlaying() const override { return true; }
    void setPlaying(bool) override {}
    uint tempo() const override { return 120; }
    uint principalsToBeatsNumerator() const override { return 1; }
    uint principalsToBeatsDenominator() const override { return 1; }
    quint64 currentNanoseconds() const override { return ticksToNanoseconds(tick); }
    quint64 currentTick() const override { return tick; }
    quint64 currentBeatTick() const override { return tick; }
    quint64 nanosecondsToTicks(quint64 ns) const override { return quint64((unsigned __int128)ns * ticksPerSecond / 1000000000u); }
    quint64 ticksToNanoseconds(quint64 t) const override { return quint64((unsigned __int128)t * 1000000000u / ticksPerSecond); }
    quint64 nanosecondsToBeatTicks(quint64 ns) const override { return nanosecondsToTicks(ns); }
    quint64 beatTicksToNanoseconds(quint64 t) const override { return ticksToNanoseconds(t); }
    quint64 ticksToBeatTicks(quint64 t) const override { return t; }
    quint64 beatTicksToTicks(quint64 t) const override { return t; }
    quint64 counterNanosecondsAtTick(quint64) const override { return 0; }
    quint64 counterNanosecondsAtBeatTick(quint64) const override { return 0; }
    void setTempo(uint) override {}
    void setPrincipalsToBeatsNumerator(uint) override {}
    void setPrincipalsToBeatsDenominator(uint) override {}

    quint64 tick = 0;
};

class BenchFactory : public PlayerFactory
{
public:
    AbstractSync *createSync(const QString &, QObject *parent) override
    {
        auto *sync = new BenchSync;
        sync->setParent(parent);
        return sync;
    }
    InstrumentPlayer *createInstrument(const QString &, QmdItemId) override { return nullptr; }
    VoicePlayer *createVoiceGroup(QmdItemId, QmdVelkaController *) override { return nullptr; }
};

void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

void backgroundFigures(QmdVelkaController &controller, NetworkScene &scene)
{
    std::printf("background repaint, 1280 x 800 viewport (ms: median, p99, max of 30)\n");
    QImage image(1280, 800, QImage::Format_ARGB32_Premultiplied);
    for (int divs : {4, 64, 100000}) {
        controller.requestSetData(QStringLiteral("DivsPerPrincipal"), divs, QmdIndex());
        settle();
        for (qreal zoom : {1.0, 0.25}) {
            std::vector<double> times;
            for (int i = 0; i < 30; ++i) {
                QPainter painter(&image);
                QElapsedTimer timer;
                timer.start();
                scene.render(&painter, QRectF(0, 0, 1280, 800), QRectF(-333, -222, 1280 / zoom, 800 / zoom));
                times.push_back(timer.nsecsElapsed() / 1e6);
            }
            const Figures f = figures(times);
            std::printf("  divisions %6d zoom %.2f: %.2f  %.2f  %.2f\n", divs, zoom, f.median, f.p99, f.maximum);
        }
    }
}

void feedbackFigures(QmdVelkaController &controller, NetworkScene &scene)
{
    std::printf("feedback lag, 16 ms passes over 10 s of simulated time (clock tick at the flash minus the "
                "record's tick, ms)\n");
    auto *sync = static_cast<BenchSync *>(controller.sync());
    QList<QmdItemId> nodes;
    for (QmdItemId id : controller.elementIds())
        nodes.append(id);
    for (int rate : {1000, 2000, 4000}) {
        controller.feedbackPipe().clear();
        sync->tick = 0;
        scene.checkFeedbackPipe();
        std::vector<double> lags;
        int dropped = 0;
        quint64 fed = 0;
        const quint64 passTicks = ticksPerSecond * 16 / 1000;
        const quint64 total = 10 * ticksPerSecond;
        quint32 voice = 0;
        for (quint64 now = passTicks; now <= total; now += passTicks) {
            // Records due up to now, evenly spaced at the rate.
            const quint64 until = now * quint64(rate) / ticksPerSecond;
            for (; fed < until; ++fed) {
                const quint64 tick = fed * ticksPerSecond / quint64(rate);
                const QmdItemId node = nodes[int(fed % quint64(nodes.size()))];
                if (!controller.feedbackPipe().insert(FeedbackEvent(0, tick, 1, ++voice % 24 + 1, node, 0, 60, 100, P / 8)))
                    ++dropped;
            }
            // Which records this pass takes: those left after it.
            const int before = controller.feedbackPipe().size();
            quint64 front = 0;
            const bool any = controller.feedbackPipe().frontTick(&front) && front <= now;
            sync->tick = now;
            scene.checkFeedbackPipe();
            const int taken = before - controller.feedbackPipe().size();
            // Records leave in tick order: the taken ones run from front on.
            if (any && taken > 0) {
                for (int i = 0; i < taken; ++i) {
                    const quint64 index = (fed - quint64(before)) + quint64(i);
                    const quint64 tick = index * ticksPerSecond / quint64(rate);
                    lags.push_back(double(now - tick) * 1000.0 / double(ticksPerSecond));
                }
            }
        }
        std::sort(lags.begin(), lags.end());
        const double median = lags.empty() ? 0 : lags[lags.size() / 2];
        const double p95 = lags.empty() ? 0 : lags[std::min(lags.size() - 1, size_t(0.95 * double(lags.size() - 1) + 0.5))];
        std::printf("  %5d records/s: shown %zu, median %.1f ms, p95 %.1f ms, max %.1f ms, dropped at the pipe's limit %d, left %d\n",
                    rate, lags.size(), median, p95, lags.empty() ? 0.0 : lags.back(), dropped,
                    controller.feedbackPipe().size());
    }
}

// ---- The view over a large network ----

constexpr int columns = 100;
constexpr int rows = 50;
constexpr qint64 spacing = qint64(P) / 4; // one division: 40 scene units at 96 DPI

// Lets queued controller signals arrive, and nothing else: no paint sneaks into
// what is being timed.
void deliverQueued()
{
    for (int i = 0; i < 4; ++i)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
}

double msSince(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e6;
}

// Processor time of the whole process (Qt's painting threads included), in ms:
// on a loaded machine it tells the work apart from the waiting for a processor.
double processCpuMs()
{
    timespec used{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return used.tv_sec * 1e3 + used.tv_nsec / 1e6;
}

void printFigures(const char *label, const std::vector<double> &times)
{
    const Figures f = figures(times);
    std::printf("  %-44s %7.2f %7.2f %7.2f  (%zu)\n", label, f.median, f.p95, f.maximum, f.count);
}

void setViewKey(QmdVelkaController &controller, const char *key, const QVariant &value)
{
    controller.requestSetData(QString::fromLatin1(key), value, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    deliverQueued();
}

// Counts the paints of the viewport, to be sure a repaint painted.
class PaintCounter : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
    int paints = 0;
};

// A document, its scene and a shown 1280 x 800 view, as a window holds them.
struct Canvas
{
    Canvas()
    {
        controller.setModel(&model);
        scene.setController(&controller);
        view.setDragMode(QGraphicsView::RubberBandDrag);
        view.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
        view.resize(1280, 800);
        view.setNetworkScene(&scene);
        view.setController(&controller);
        view.show();
        view.viewport()->installEventFilter(&counter);
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }
    ~Canvas()
    {
        view.setController(nullptr);
        view.setNetworkScene(nullptr);
        scene.setController(nullptr);
    }

    double repaint()
    {
        const int before = counter.paints;
        const double cpuBefore = processCpuMs();
        QElapsedTimer timer;
        timer.start();
        view.viewport()->repaint();
        const double ms = msSince(timer);
        lastCpu = processCpuMs() - cpuBefore;
        if (counter.paints == before)
            std::printf("  (the viewport did not paint)\n");
        return ms;
    }

    QmdMemModel model;
    QmdVelkaController controller;
    NetworkScene scene;
    NetworkView view;
    PaintCounter counter;
    // Processor time of the last repaint(), ms.
    double lastCpu = 0;
};

QmdVelka::TickPos gridPos(int index)
{
    return QmdVelka::TickPos((index % columns) * spacing, (index / columns) * spacing);
}

// 5,000 nodes one division apart in 100 columns and 50 rows; 10,000 edges:
// each node to its right and lower neighbours (9,850 edges) and 150 straight
// edges across cells, so that no edge runs over a node. The file is saved
// when 5,000 edges are in: 10,000 elements.
QList<QmdItemId> buildNetwork(QmdVelkaController &controller, const QString &halfwayFile)
{
    for (int i = 0; i < columns * rows; ++i)
        controller.requestAddNode(gridPos(i));
    deliverQueued();
    const QmdItemIdList ids = controller.elementIds();
    const QList<QmdItemId> nodes(ids.cbegin(), ids.cend());
    struct Edge
    {
        int from, to;
        QmdVelka::EdgePath path;
    };
    std::vector<Edge> edges;
    for (int i = 0; i < columns * rows; ++i) {
        if (i % columns + 1 < columns)
            edges.push_back({i, i + 1, QmdVelka::CityBlock});
    }
    for (int i = 0; i + columns < columns * rows; ++i)
        edges.push_back({i, i + columns, QmdVelka::CityBlock});
    for (int i = 0; edges.size() < 10000; i += 3) {
        if (i % columns + 1 < columns)
            edges.push_back({i, i + columns + 1, QmdVelka::Direct});
    }
    for (size_t e = 0; e < edges.size(); ++e) {
        if (e == 5000) {
            deliverQueued();
            controller.requestSave(halfwayFile);
        }
        controller.requestAddEdge(controller.elementIndex(nodes[edges[e].from]),
                                  controller.elementIndex(nodes[edges[e].to]), edges[e].path);
    }
    deliverQueued();
    return nodes;
}

QPointF sceneCenterOfNetwork()
{
    return tickPosToScene(QmdVelka::TickPos((columns - 1) * spacing / 2, (rows - 1) * spacing / 2));
}

void repaintFigures(Canvas &canvas, const char *title)
{
    std::printf("%s (ms: median, p95, max (count))\n", title);
    for (double zoom : {1.0, 0.25}) {
        setViewKey(canvas.controller, "ZoomScale", zoom);
        canvas.view.centerOn(sceneCenterOfNetwork());
        for (int i = 0; i < 3; ++i)
            canvas.repaint();
        std::vector<double> times, cpu;
        for (int i = 0; i < 30; ++i) {
            times.push_back(canvas.repaint());
            cpu.push_back(canvas.lastCpu);
        }
        const QList<QGraphicsItem *> shown = canvas.scene.items(canvas.view.mapToScene(canvas.view.viewport()->rect()));
        char label[64];
        std::snprintf(label, sizeof label, "zoom %.2f, %lld items in view", zoom, static_cast<long long>(shown.size()));
        printFigures(label, times);
        printFigures("  processor time", cpu);
    }
    setViewKey(canvas.controller, "ZoomScale", 1.0);
}

void loadFigures(const QString &fileName)
{
    std::printf("load of a 10,000-element file to the first completed paint (ms: median, p95, max (count))\n");
    std::vector<double> loads, creations, paints, totals;
    for (int run = 0; run < 5; ++run) {
        Canvas canvas;
        QElapsedTimer timer;
        timer.start();
        canvas.controller.requestLoad(fileName);
        const double load = msSince(timer);
        deliverQueued();
        const double created = msSince(timer);
        canvas.view.viewport()->repaint();
        const double painted = msSince(timer);
        if (canvas.scene.elementItems().size() != 10000)
            std::printf("  (%lld items made)\n", static_cast<long long>(canvas.scene.elementItems().size()));
        loads.push_back(load);
        creations.push_back(created - load);
        paints.push_back(painted - created);
        totals.push_back(painted);
    }
    printFigures("document load", loads);
    printFigures("item creation (scene and view follow the load)", creations);
    printFigures("first paint", paints);
    printFigures("in all", totals);
}

void sendMouse(NetworkView &view, QEvent::Type type, const QPointF &scenePos, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QWidget *viewport = view.viewport();
    const QPointF local = view.mapFromScene(scenePos);
    QMouseEvent event(type, local, viewport->mapToGlobal(local), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
}

void dragFigures(Canvas &canvas, const QList<QmdItemId> &nodes)
{
    std::printf("dragging 1,000 selected nodes, one step from the move event to the completed repaint "
                "(ms: median, p95, max (count))\n");
    setViewKey(canvas.controller, "Tool", NetworkView::SelectionTool);
    canvas.scene.clearSelection();
    for (int i = 0; i < 1000; ++i)
        canvas.scene.elementItem(nodes[i])->graphicsItem()->setSelected(true);
    deliverQueued();
    const QPointF start = canvas.scene.elementItem(nodes[5 * columns + 50])->graphicsItem()->pos();
    canvas.view.centerOn(start);
    canvas.repaint();

    sendMouse(canvas.view, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    std::vector<double> steps, requests, notifications, paints, cpu;
    const int path[] = {1, 2, 3, 4, 3, 2, 1, 0, -1, -2, -3, -4, -3, -2, -1, 0};
    for (int round = 0; round < 4; ++round) {
        for (int offset : path) {
            const double cpuBefore = processCpuMs();
            QElapsedTimer timer;
            timer.start();
            sendMouse(canvas.view, QEvent::MouseMove, start + QPointF(offset * 40.0, 0), Qt::NoButton, Qt::LeftButton);
            const double requested = msSince(timer);
            deliverQueued();
            const double notified = msSince(timer);
            canvas.view.viewport()->repaint();
            const double painted = msSince(timer);
            requests.push_back(requested);
            notifications.push_back(notified - requested);
            paints.push_back(painted - notified);
            steps.push_back(painted);
            cpu.push_back(processCpuMs() - cpuBefore);
        }
    }
    sendMouse(canvas.view, QEvent::MouseButtonRelease, start, Qt::LeftButton, Qt::NoButton);
    deliverQueued();
    printFigures("move event and request", requests);
    printFigures("notifications and item updates", notifications);
    printFigures("repaint", paints);
    printFigures("step", steps);
    printFigures("  processor time", cpu);
    if (canvas.controller.undoText() != QLatin1String("Move"))
        std::printf("  (the drag made no \"Move\" step)\n");
    canvas.controller.requestUndo();
    deliverQueued();
    canvas.scene.clearSelection();
}

void flashFigures(Canvas &canvas, const QList<QmdItemId> &nodes)
{
    std::printf("64 voice groups flashing, 16th notes at 120 bpm over 10 s of hand-moved clock, one frame the "
                "timer pass plus a full repaint (ms: median, p95, max (count))\n");
    // The groups sit on an 8 x 8 block of nodes in the middle of the view;
    // each walks its own row of that block, one node a note.
    const int firstRow = rows / 2 - 4;
    const int firstColumn = columns / 2 - 4;
    QList<QmdItemId> groups;
    for (int g = 0; g < 64; ++g) {
        const int node = (firstRow + g / 8) * columns + firstColumn + g % 8;
        canvas.controller.requestAddVoiceGroup(canvas.controller.elementIndex(nodes[node]));
    }
    deliverQueued();
    for (QmdItemId id : canvas.controller.elementIds()) {
        if (canvas.controller.elementType(id) == QmdVelka::VoiceGroup)
            groups.append(id);
    }
    canvas.view.centerOn(canvas.scene.elementItem(nodes[(rows / 2) * columns + columns / 2])->graphicsItem()->pos());
    canvas.repaint();

    auto *sync = static_cast<BenchSync *>(canvas.controller.sync());
    sync->tick = 0;
    canvas.controller.feedbackPipe().clear();
    canvas.scene.checkFeedbackPipe();
    const quint64 noteTicks = P / 4;
    const quint64 passTicks = ticksPerSecond * 16 / 1000;
    quint64 nextNote = 0;
    quint32 noteNumber = 0;
    std::vector<double> frames, cpu;
    int dropped = 0;
    for (quint64 now = passTicks; now <= 10 * ticksPerSecond; now += passTicks) {
        // The voice threads queue their notes a little ahead of the clock.
        for (; nextNote <= now + passTicks; nextNote += noteTicks, ++noteNumber) {
            for (int g = 0; g < groups.size(); ++g) {
                const int node = (firstRow + g / 8) * columns + firstColumn + int((noteNumber + quint32(g)) % 8);
                const FeedbackEvent record(0, nextNote, groups[g], 1, nodes[node], 0, quint8(60 + g % 12),
                                           quint8(40 + (noteNumber * 7 + quint32(g)) % 80), noteTicks * 9 / 10);
                if (!canvas.controller.feedbackPipe().insert(record))
                    ++dropped;
            }
        }
        sync->tick = now;
        const double cpuBefore = processCpuMs();
        QElapsedTimer timer;
        timer.start();
        canvas.scene.checkFeedbackPipe();
        canvas.view.viewport()->repaint();
        frames.push_back(msSince(timer));
        cpu.push_back(processCpuMs() - cpuBefore);
    }
    printFigures("frame", frames);
    printFigures("  processor time", cpu);
    if (dropped)
        std::printf("  (%d records dropped at the pipe's limit)\n", dropped);
    canvas.controller.feedbackPipe().clear();
}

void setCacheMode(NetworkScene &scene, QGraphicsItem::CacheMode mode)
{
    const QList<QGraphicsItem *> items = scene.items();
    for (QGraphicsItem *item : items)
        item->setCacheMode(mode);
}

void cacheFigures(Canvas &canvas)
{
    std::printf("item cache modes: repaint of the view and render() of the visible area into an image, as printing "
                "does (ms: median, p95, max (count))\n");
    const struct
    {
        const char *name;
        QGraphicsItem::CacheMode mode;
    } modes[] = {{"NoCache", QGraphicsItem::NoCache}, {"DeviceCoordinateCache", QGraphicsItem::DeviceCoordinateCache}};
    QImage image(1280, 800, QImage::Format_ARGB32_Premultiplied);
    for (const auto &mode : modes) {
        setCacheMode(canvas.scene, mode.mode);
        for (double zoom : {1.0, 0.25}) {
            setViewKey(canvas.controller, "ZoomScale", zoom);
            canvas.view.centerOn(sceneCenterOfNetwork());
            const QRectF visible = canvas.view.mapToScene(canvas.view.viewport()->rect()).boundingRect();
            std::vector<double> first, repaints, renders;
            first.push_back(canvas.repaint());
            for (int i = 0; i < 20; ++i)
                repaints.push_back(canvas.repaint());
            for (int i = 0; i < 10; ++i) {
                image.fill(Qt::white);
                QPainter painter(&image);
                QElapsedTimer timer;
                timer.start();
                canvas.scene.render(&painter, QRectF(image.rect()), visible);
                renders.push_back(msSince(timer));
            }
            char label[80];
            std::snprintf(label, sizeof label, "%s zoom %.2f first repaint", mode.name, zoom);
            printFigures(label, first);
            std::snprintf(label, sizeof label, "%s zoom %.2f repaint", mode.name, zoom);
            printFigures(label, repaints);
            std::snprintf(label, sizeof label, "%s zoom %.2f render", mode.name, zoom);
            printFigures(label, renders);
        }
    }
    setCacheMode(canvas.scene, QGraphicsItem::NoCache);
    setViewKey(canvas.controller, "ZoomScale", 1.0);
}

// ---- Pictures of a small network, to compare the drawing before and after a change ----

// Nodes of each signalling method, muted and not, with counters shown; edges of
// each path kind, with a short jog each way and a wormhole; a voice group with
// an instrument's colour and one without; a text box; nodes flashing with one,
// two and three voices; a selected node, edge and voice group; and one node
// selected alone, whose outgoing edges take their numbers' colours.
QmdItemId buildPictureNetwork(Canvas &canvas)
{
    QmdVelkaController &c = canvas.controller;
    const qint64 quarter = qint64(P) / 16; // a quarter of a division
    const auto node = [&](qint64 x, qint64 y) {
        c.requestAddNode(QmdVelka::TickPos(x * quarter, y * quarter));
        deliverQueued();
        return c.elementIds().last();
    };
    const auto set = [&](QmdItemId id, const QString &key, const QVariant &value) {
        c.requestSetData(key, value, c.elementIndex(id));
        deliverQueued();
    };
    const auto edge = [&](QmdItemId from, QmdItemId to, QmdVelka::EdgePath path) {
        c.requestAddEdge(c.elementIndex(from), c.elementIndex(to), path);
        deliverQueued();
        return c.elementIds().last();
    };
    QList<QmdItemId> n;
    // In quarters of a division.
    const int places[][2] = {{8, 8},  {32, 8},  {56, 8},  {80, 8},  {8, 32},  {32, 33}, {56, 40}, {80, 48},
                             {8, 56}, {32, 56}, {33, 72}, {80, 72}, {104, 16}, {104, 40}};
    for (const auto &place : places)
        n.append(node(place[0], place[1]));
    set(n[1], QmdVelkaKeys::SignallingMethod, 1);
    set(n[2], QmdVelkaKeys::SignallingMethod, 2);
    set(n[3], QmdVelkaKeys::DontPlayNote, true);
    set(n[6], QmdVelkaKeys::SignallingMethod, 1);
    set(n[6], QmdVelkaKeys::DontPlayNote, true);
    edge(n[0], n[1], QmdVelka::Direct);
    edge(n[1], n[5], QmdVelka::CityBlock);
    edge(n[1], n[6], QmdVelka::CityBlockFlipped);
    edge(n[2], n[3], QmdVelka::CityBlock);
    edge(n[4], n[5], QmdVelka::CityBlock);       // a short vertical jog
    edge(n[8], n[9], QmdVelka::CityBlockFlipped); // straight: same row
    edge(n[9], n[10], QmdVelka::CityBlockFlipped); // a short horizontal jog
    const QmdItemId wormhole = edge(n[10], n[11], QmdVelka::Direct);
    set(wormhole, QmdVelkaKeys::IsWormhole, true);
    const QmdItemId selectedEdge = edge(n[6], n[7], QmdVelka::CityBlock);
    edge(n[12], n[3], QmdVelka::Direct);
    edge(n[12], n[13], QmdVelka::CityBlockFlipped);
    edge(n[12], n[7], QmdVelka::CityBlock);
    c.requestAddInstrument(QStringLiteral("Bass"), QColor(200, 60, 40), QBitArray(16, true));
    deliverQueued();
    const QmdItemId instrument = c.instrumentIds().last();
    c.requestAddVoiceGroup(c.elementIndex(n[0]));
    deliverQueued();
    const QmdItemId coloured = c.elementIds().last();
    set(coloured, QmdVelkaKeys::InitialInstrument, instrument);
    c.requestAddVoiceGroup(c.elementIndex(n[8]));
    deliverQueued();
    const QmdItemId plain = c.elementIds().last();
    c.requestAddTextBox(QmdVelka::TickPos(56 * quarter, 60 * quarter),
                        QStringLiteral("<html><body>A <b>text</b> box</body></html>"));
    deliverQueued();
    c.requestToggleShowNodeCounters();
    deliverQueued();
    canvas.scene.clearSelection();
    if (QWidget *focused = QApplication::focusWidget())
        focused->clearFocus();
    canvas.scene.setFocusItem(nullptr);

    const QColor colours[] = {QColor(200, 60, 40, 150), QColor(40, 120, 220, 150), QColor(60, 180, 60, 150)};
    for (int voices = 1; voices <= 3; ++voices) {
        ElementItem *item = canvas.scene.elementItem(n[voices + 8]);
        for (int v = 0; v < voices; ++v)
            item->startFlash(plain, quint32(v), colours[v], false);
    }
    for (QmdItemId id : {n[5], selectedEdge, plain})
        canvas.scene.elementItem(id)->graphicsItem()->setSelected(true);
    deliverQueued();
    return n[12];
}

QImage grabCanvas(Canvas &canvas, double zoom)
{
    setViewKey(canvas.controller, "ZoomScale", zoom);
    canvas.view.centerOn(tickPosToScene(QmdVelka::TickPos(qint64(P) * 14 / 4, qint64(P) * 10 / 4)));
    canvas.repaint();
    return canvas.view.viewport()->grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

// Writes the pictures into folder: the network at zoom 1 and 0.25 with several
// elements selected, and at zoom 1 with one node selected alone.
void pictures(const QString &folder)
{
    Canvas canvas;
    canvas.view.resize(1280, 800);
    const QmdItemId hub = buildPictureNetwork(canvas);
    QDir().mkpath(folder);
    grabCanvas(canvas, 1.0).save(QDir(folder).filePath(QStringLiteral("zoom1.png")));
    grabCanvas(canvas, 0.25).save(QDir(folder).filePath(QStringLiteral("zoom025.png")));
    canvas.scene.clearSelection();
    canvas.scene.elementItem(hub)->graphicsItem()->setSelected(true);
    deliverQueued();
    grabCanvas(canvas, 1.0).save(QDir(folder).filePath(QStringLiteral("zoom1-alone.png")));
    std::printf("pictures written to %s\n", qPrintable(folder));
}

// The pixels in which two pictures differ, and the rectangle around them.
int comparePictures(const QString &first, const QString &second)
{
    const QImage a = QImage(first).convertToFormat(QImage::Format_ARGB32);
    const QImage b = QImage(second).convertToFormat(QImage::Format_ARGB32);
    if (a.isNull() || b.isNull() || a.size() != b.size()) {
        std::printf("cannot compare %s and %s: missing, unreadable or of different sizes\n", qPrintable(first),
                    qPrintable(second));
        return 2;
    }
    int differing = 0;
    int largest = 0;
    QRect around;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            if (p != q) {
                ++differing;
                around |= QRect(x, y, 1, 1);
                largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                    std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
            }
        }
    }
    std::printf("%s: %d pixels differ", qPrintable(QFileInfo(second).fileName()), differing);
    if (differing)
        std::printf(" in (%d, %d) %d x %d, by at most %d in a channel", around.x(), around.y(), around.width(),
                    around.height(), largest);
    std::printf("\n");
    return differing ? 1 : 0;
}

// All figures of the view, or those of one part ("repaint", "drag", "flash",
// "cache", "load", "index": repaint and drag with a spatial index in the
// scene).
void viewFigures(const QString &part)
{
    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("network.vlk"));
    Canvas canvas;
    QElapsedTimer timer;
    timer.start();
    const QList<QmdItemId> nodes = buildNetwork(canvas.controller, fileName);
    std::printf("network of %lld elements built through requests in %.0f ms\n",
                static_cast<long long>(canvas.controller.elementIds().size()), msSince(timer));
    const auto wanted = [&](const char *name) { return part.isEmpty() || part == QLatin1String(name); };
    if (wanted("repaint"))
        repaintFigures(canvas, "full repaint of 5,000 nodes and 10,000 edges, 1280 x 800");
    if (wanted("drag"))
        dragFigures(canvas, nodes);
    if (wanted("flash"))
        flashFigures(canvas, nodes);
    if (wanted("cache"))
        cacheFigures(canvas);
    if (wanted("index")) {
        canvas.scene.setItemIndexMethod(QGraphicsScene::BspTreeIndex);
        repaintFigures(canvas, "the same with the scene's BSP tree index");
        dragFigures(canvas, nodes);
        canvas.scene.setItemIndexMethod(QGraphicsScene::NoIndex);
    }
    if (wanted("load"))
        loadFigures(fileName);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Lines come out as they are printed, so a profiler can be started when the network is built.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QApplication::setAttribute(Qt::AA_Use96Dpi, true);
    QApplication app(argc, argv);
    const QString only = argc > 1 ? QString::fromLatin1(argv[1]) : QString();
    setDisplayScale(96, 96);
    QPixmapCache::setCacheLimit(65536);
    BenchFactory factory;
    QmdVelkaController::setPlayerFactory(&factory);
    if (only.isEmpty() || only == QLatin1String("scene")) {
        QmdMemModel model;
        QmdVelkaController controller;
        controller.setModel(&model);
        settle();
        for (int i = 0; i < 16; ++i)
            controller.requestAddNode(QmdVelka::TickPos(qint64(i % 4) * qint64(P), qint64(i / 4) * qint64(P)));
        settle();
        NetworkScene scene;
        scene.setController(&controller);
        settle();
        backgroundFigures(controller, scene);
        feedbackFigures(controller, scene);
        scene.setController(nullptr);
    }
    if (only == QLatin1String("pictures") && argc > 2) {
        pictures(QString::fromLocal8Bit(argv[2]));
        return 0;
    }
    if (only == QLatin1String("compare") && argc > 3) {
        int result = 0;
        for (const char *name : {"zoom1.png", "zoom1-alone.png", "zoom025.png"}) {
            const QString file = QString::fromLatin1(name);
            result = std::max(result, comparePictures(QDir(QString::fromLocal8Bit(argv[2])).filePath(file),
                                                      QDir(QString::fromLocal8Bit(argv[3])).filePath(file)));
        }
        return result;
    }
    if (only.isEmpty() || only == QLatin1String("view"))
        viewFigures(argc > 2 ? QString::fromLatin1(argv[2]) : QString());
    QmdVelkaController::setPlayerFactory(nullptr);
    return 0;
}
