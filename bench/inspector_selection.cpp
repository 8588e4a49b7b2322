// Inspector figures: how long one change of the canvas selection takes with
// the inspector following it (the scene's own bookkeeping, the page choice and
// the rebinding of the pages), in a document of 5,000 nodes and 10,000 edges.
// A rubber band changes the selection at every mouse move, so this is the
// time a drag over many nodes waits per move.

#include "benchstats.h"
#include "displayscale.h"
#include "elementitem.h"
#include "inspector.h"
#include "networkscene.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"
#include "qmdvelkakeys.h"

#include <QApplication>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QMainWindow>

#include <algorithm>
#include <cstdio>

namespace {

constexpr qint64 P = qint64(QmdVelka::TicksPerPrincipal);
constexpr int Columns = 100;
constexpr int Rows = 50;
constexpr int EdgeCount = 10000;
constexpr int Repeats = 15;

void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

// A grid of nodes, each joined to its right and lower neighbours, and direct
// edges across the first cells until there are 10,000 edges.
QmdItemIdList buildNetwork(QmdVelkaController &controller)
{
    for (int row = 0; row < Rows; ++row) {
        for (int column = 0; column < Columns; ++column)
            controller.requestAddNode(QmdVelka::TickPos(column * P, row * P));
        settle();
    }
    QmdItemIdList nodes = controller.elementIds();
    std::sort(nodes.begin(), nodes.end());
    const auto node = [&](int row, int column) { return controller.elementIndex(nodes.at(row * Columns + column)); };
    int edges = 0;
    const auto add = [&](const QmdIndex &from, const QmdIndex &to, QmdVelka::EdgePath path) {
        controller.requestAddEdge(from, to, path);
        if (++edges % 500 == 0)
            settle();
    };
    for (int row = 0; row < Rows; ++row) {
        for (int column = 0; column < Columns; ++column) {
            if (column + 1 < Columns)
                add(node(row, column), node(row, column + 1), QmdVelka::CityBlock);
            if (row + 1 < Rows)
                add(node(row, column), node(row + 1, column), QmdVelka::CityBlock);
        }
    }
    for (int i = 0; edges < EdgeCount; ++i)
        add(node(i / (Columns - 1) % (Rows - 1), i % (Columns - 1)),
            node(i / (Columns - 1) % (Rows - 1) + 1, i % (Columns - 1) + 1), QmdVelka::Direct);
    settle();
    return nodes;
}

// Selects exactly the given nodes as one selection change and returns the
// milliseconds the change took to be handled.
double changeSelection(NetworkScene &scene, const QmdItemIdList &nodes, int count)
{
    scene.blockSignals(true);
    scene.clearSelection();
    for (int i = 0; i < count; ++i)
        scene.elementItem(nodes.at(i))->graphicsItem()->setSelected(true);
    scene.blockSignals(false);
    QElapsedTimer timer;
    timer.start();
    emit scene.selectionChanged();
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication::setAttribute(Qt::AA_Use96Dpi, true);
    QApplication app(argc, argv);
    setDisplayScale(96, 96);

    QmdMemModel model;
    QmdVelkaController controller;
    controller.setModel(&model);
    NetworkScene scene;
    scene.setController(&controller);
    QMainWindow window;
    auto *dock = new QDockWidget(&window);
    auto *inspector = new Inspector(&window, dock);
    inspector->setDocument(&controller, &scene);
    dock->setWidget(inspector);
    window.addDockWidget(Qt::RightDockWidgetArea, dock);
    window.show();

    QElapsedTimer building;
    building.start();
    const QmdItemIdList nodes = buildNetwork(controller);
    std::printf("network: %d nodes, %d elements in all, built in %.1f s\n", int(nodes.size()),
                int(controller.elementIds().size()), building.elapsed() / 1000.0);

    std::printf("selection change with the inspector following (ms: median, p99, max of %d)\n", Repeats);
    for (int count : {1, 500, 5000}) {
        std::vector<double> select;
        std::vector<double> clear;
        for (int i = 0; i < Repeats; ++i) {
            select.push_back(changeSelection(scene, nodes, count));
            clear.push_back(changeSelection(scene, nodes, 0));
        }
        const Figures s = figures(select);
        const Figures c = figures(clear);
        std::printf("  %5d nodes selected: %8.2f %8.2f %8.2f   cleared: %8.2f %8.2f %8.2f\n", count, s.median, s.p99,
                    s.maximum, c.median, c.p99, c.maximum);
    }
    return 0;
}
