// How long a network document takes to save, to load, and to copy and paste as
// a whole, by document size. Each document is a grid of nodes joined by edges
// to their right and lower neighbours, with a voice group on every tenth node
// and an instrument per sixteen nodes.

#include "outputportnames.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>

namespace {

const qint64 principal = 665280;

void build(QmdVelkaController &controller, int side)
{
    QList<QmdIndex> nodes;
    for (int row = 0; row < side; ++row) {
        for (int column = 0; column < side; ++column) {
            controller.requestAddNode(QmdVelka::TickPos(column * principal, row * principal));
            nodes.append(controller.elementIndex(controller.elementIds().last()));
        }
    }
    for (int i = 0; i < nodes.size(); ++i) {
        if ((i + 1) % side != 0)
            controller.requestAddEdge(nodes.at(i), nodes.at(i + 1));
        if (i + side < nodes.size())
            controller.requestAddEdge(nodes.at(i), nodes.at(i + side), QmdVelka::Direct);
        if (i % 10 == 0)
            controller.requestAddVoiceGroup(nodes.at(i));
        if (i % 16 == 0)
            controller.requestAddInstrument();
    }
}

double milliseconds(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    OutputPortNames::setSource([] { return QSet<QString>{"Synth 1"}; });
    QTemporaryDir dir;

    std::printf("%8s %10s %10s %10s %10s %10s\n", "elements", "bytes", "save ms", "load ms", "copy ms", "paste ms");
    for (int side : {10, 30, 60}) {
        QmdMemModel model;
        QmdVelkaController controller;
        controller.setModel(&model);
        build(controller, side);
        const QString fileName = dir.filePath(QStringLiteral("bench%1.vlk").arg(side));

        QElapsedTimer timer;
        timer.start();
        controller.requestSave(fileName);
        const double save = milliseconds(timer);

        QmdMemModel loadedModel;
        QmdVelkaController loaded;
        loaded.setModel(&loadedModel);
        timer.restart();
        loaded.requestLoad(fileName);
        const double load = milliseconds(timer);

        const QmdItemIdList ids = controller.elementIds();
        timer.restart();
        controller.requestCopy(QmdItemIdSet(ids.cbegin(), ids.cend()));
        const double copy = milliseconds(timer);
        timer.restart();
        loaded.requestPaste(QmdVelka::TickPos(0, 0));
        const double paste = milliseconds(timer);

        std::printf("%8lld %10lld %10.1f %10.1f %10.1f %10.1f\n", static_cast<long long>(ids.size()),
                    static_cast<long long>(QFileInfo(fileName).size()), save, load, copy, paste);
    }
    return 0;
}
