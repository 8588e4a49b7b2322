// How long the bulk operations of a network document take, by document size:
// load, a second load over it, save, copy of every element, paste of them into
// an empty document with its undo and redo, and delete of every element with
// its undo and redo; and how much resident memory a loaded document holds.
//
// Each document is a square grid of nodes, each joined by edges to its right
// and lower neighbours, with a voice group on every tenth node and an
// instrument per sixteen nodes. The file is written here as the program
// writes it, so that building the document costs nothing measured. Each size
// runs in a process of its own, so that the memory figures start from the
// same baseline.
//
// Each size prints its times in ms, then the same per element in µs, which
// must not grow with the size.
//
// Run: bench_documentfile [elements...] (offscreen; default 1000 10000 30000 100000).

#include "plistwriting.h"
#include "outputportnames.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"
#include "qmdvelkakeys.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

const qint64 principal = qint64(QmdVelka::TicksPerPrincipal);

// Elements of a grid of side nodes a side.
int elementCount(int side)
{
    const int nodes = side * side;
    return nodes + 2 * side * (side - 1) + (nodes + 9) / 10;
}

// The side whose grid comes nearest to the wanted number of elements.
int sideFor(int elements)
{
    int side = 1;
    while (std::abs(elementCount(side + 1) - elements) < std::abs(elementCount(side) - elements))
        ++side;
    return side;
}

// The grid document as a file.
void writeGrid(const QString &fileName, int side)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(fileName));
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument(QStringLiteral("1.0"));
    xml.writeDTD(QStringLiteral("<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\" "
                                "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">"));
    xml.writeStartElement(QStringLiteral("plist"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
    startDict(xml, QString(), "StrDict");
    writePair(xml, QStringLiteral("Tempo"), "integer", QStringLiteral("120"));

    const int nodes = side * side;
    startDict(xml, QStringLiteral("Instruments"), "IntDict");
    for (int i = 0; i < (nodes + 15) / 16; ++i) {
        startDict(xml, QString::number(i + 1), "StrDict");
        writePair(xml, QStringLiteral("Type"), "string", QStringLiteral("midi"));
        writePair(xml, QStringLiteral("Label"), "string", QStringLiteral("Instrument %1").arg(i + 1));
        writePair(xml, QStringLiteral("Color"), "string", QStringLiteral("#ff0000"));
        writePair(xml, QStringLiteral("MidiPort"), "string", QStringLiteral("Synth 1"));
        writePair(xml, QStringLiteral("MidiChannels"), "string", QStringLiteral("1000000000000000"));
        writePair(xml, QStringLiteral("MidiProgram"), "integer", QStringLiteral("1"));
        xml.writeEndElement();
    }
    xml.writeEndElement();

    // Ids: nodes 1..n, then per node its right edge, lower edge and voice group.
    QList<QList<QPair<quint32, int>>> arcs(nodes); // per node: (edge id, arc number)
    quint32 next = quint32(nodes) + 1;
    struct Edge { quint32 id, from, to; int path; };
    QList<Edge> edges;
    QList<QPair<quint32, quint32>> groups; // (id, node)
    for (int i = 0; i < nodes; ++i) {
        if ((i + 1) % side != 0) {
            edges.append({next, quint32(i + 1), quint32(i + 2), 0});
            arcs[i].append({next++, int(arcs[i].size())});
        }
        if (i + side < nodes) {
            edges.append({next, quint32(i + 1), quint32(i + side + 1), 2});
            arcs[i].append({next++, int(arcs[i].size())});
        }
        if (i % 10 == 0)
            groups.append({next++, quint32(i + 1)});
    }

    startDict(xml, QStringLiteral("Elements"), "IntDict");
    for (int i = 0; i < nodes; ++i) {
        startDict(xml, QString::number(i + 1), "StrDict");
        writePair(xml, QStringLiteral("Type"), "string", QStringLiteral("Node"));
        writePair(xml, QStringLiteral("TickPos"), "string",
                  QStringLiteral("{%1, %2}").arg((i % side) * principal).arg((i / side) * principal));
        writePair(xml, QStringLiteral("PitchList"), "string", QStringLiteral("C3"));
        writePair(xml, QStringLiteral("VelocityList"), "string", QStringLiteral("64"));
        writePair(xml, QStringLiteral("DurationList"), "string", QStringLiteral("100%"));
        writePair(xml, QStringLiteral("SignallingMethod"), "string", QStringLiteral("Sequential"));
        QStringList usages;
        startDict(xml, QStringLiteral("ArcIdentifiers"), "IntDict");
        for (const auto &arc : arcs.at(i)) {
            writePair(xml, QString::number(arc.first), "integer", QString::number(arc.second));
            usages << QStringLiteral("%1=1").arg(arc.first);
        }
        xml.writeEndElement();
        writePair(xml, QStringLiteral("ArcUsageList"), "string", usages.join(QLatin1Char(',')));
        xml.writeEndElement();
    }
    for (const Edge &edge : edges) {
        startDict(xml, QString::number(edge.id), "StrDict");
        writePair(xml, QStringLiteral("Type"), "string", QStringLiteral("Edge"));
        writePair(xml, QStringLiteral("Path"), "string",
                  edge.path == 2 ? QStringLiteral("Direct") : QStringLiteral("CityBlock"));
        writePair(xml, QStringLiteral("FromNode"), "integer", QString::number(edge.from));
        writePair(xml, QStringLiteral("ToNode"), "integer", QString::number(edge.to));
        xml.writeEndElement();
    }
    for (const auto &group : groups) {
        startDict(xml, QString::number(group.first), "StrDict");
        writePair(xml, QStringLiteral("Type"), "string", QStringLiteral("VoiceGroup"));
        writePair(xml, QStringLiteral("ToNode"), "integer", QString::number(group.second));
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

// Lets the controllers answer what was queued (their follow-ups included).
void settle()
{
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

double residentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0;
}

// One operation and its follow-ups; kept out of line so that a profiler can
// count each call on its own (valgrind --tool=callgrind
// --toggle-collect='*runOperation*' --dump-after='*runOperation*').
Q_NEVER_INLINE void runOperation(const std::function<void()> &operation)
{
    operation();
    settle();
}

// Times one operation, its follow-ups included.
double timed(const std::function<void()> &operation)
{
    QElapsedTimer timer;
    timer.start();
    runOperation(operation);
    return milliseconds(timer);
}

void runSize(int wanted)
{
    QTemporaryDir dir;
    const int side = sideFor(wanted);
    const QString fileName = dir.filePath(QStringLiteral("grid.vlk"));
    writeGrid(fileName, side);
    const double baseline = residentMegabytes();

    QmdMemModel model;
    QmdVelkaController controller;
    controller.setModel(&model);
    settle();
    const double load = timed([&] { controller.requestLoad(fileName); });
    const int elements = int(controller.elementIds().size());
    const double afterLoad = residentMegabytes() - baseline;
    const double reload = timed([&] { controller.requestLoad(fileName); });
    const double afterReload = residentMegabytes() - baseline;
    const double save = timed([&] { controller.requestSave(dir.filePath(QStringLiteral("saved.vlk"))); });

    const QmdItemIdList ids = controller.elementIds();
    const double copy = timed([&] { controller.requestCopy(QmdItemIdSet(ids.cbegin(), ids.cend())); });
    QmdMemModel pastedModel;
    QmdVelkaController pasted;
    pasted.setModel(&pastedModel);
    settle();
    const double paste = timed([&] { pasted.requestPaste(QmdVelka::TickPos(0, 0)); });
    const int pastedCount = int(pasted.elementIds().size());
    const double undoPaste = timed([&] { pasted.requestUndo(); });
    const double redoPaste = timed([&] { pasted.requestRedo(); });

    const double remove = timed([&] { controller.requestRemove(ids, controller.elementsIndex()); });
    const int left = int(controller.elementIds().size());
    const double undoRemove = timed([&] { controller.requestUndo(); });
    const double redoRemove = timed([&] { controller.requestRedo(); });

    std::printf("%8d %9lld %7.1f %7.1f %7.1f %7.1f %7.1f %7.1f %7.1f %7.1f %7.1f %7.1f %8.1f %8.1f\n", elements,
                static_cast<long long>(QFileInfo(fileName).size()), load, reload, save, copy, paste, undoPaste,
                redoPaste, remove, undoRemove, redoRemove, afterLoad, afterReload);
    const double perElement = 1000.0 / std::max(elements, 1);
    std::printf("%8s %9s %7.2f %7.2f %7.2f %7.2f %7.2f %7.2f %7.2f %7.2f %7.2f %7.2f   (µs per element)\n", "", "",
                load * perElement, reload * perElement, save * perElement, copy * perElement, paste * perElement,
                undoPaste * perElement, redoPaste * perElement, remove * perElement, undoRemove * perElement,
                redoRemove * perElement);
    if (pastedCount != elements || left != 0)
        std::printf("  (pasted %d elements, %d left after the delete)\n", pastedCount, left);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    OutputPortNames::setSource([] { return QSet<QString>{"Synth 1"}; });

    QStringList arguments = app.arguments().mid(1);
    if (arguments.size() == 2 && arguments.first() == QLatin1String("--one")) {
        runSize(arguments.at(1).toInt());
        return 0;
    }
    if (arguments.isEmpty())
        arguments = {QStringLiteral("1000"), QStringLiteral("10000"), QStringLiteral("30000"), QStringLiteral("100000")};

    std::printf("%8s %9s %7s %7s %7s %7s %7s %7s %7s %7s %7s %7s %8s %8s\n", "elements", "bytes", "load", "reload",
                "save", "copy", "paste", "undo", "redo", "delete", "undo", "redo", "MB load", "MB again");
    std::printf("%8s %9s %7s %7s %7s %7s %7s %7s %7s %7s %7s %7s %8s %8s\n", "", "", "ms", "ms", "ms", "ms", "ms",
                "paste", "paste", "ms", "delete", "delete", "", "");
    std::fflush(stdout);
    for (const QString &size : std::as_const(arguments)) {
        QProcess one;
        one.setProcessChannelMode(QProcess::ForwardedChannels);
        one.start(app.applicationFilePath(), {QStringLiteral("--one"), size});
        one.waitForFinished(-1);
    }
    return 0;
}
