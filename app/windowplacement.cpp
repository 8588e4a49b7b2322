#include "windowplacement.h"

#include "velkawindow.h"

#include <QGraphicsView>
#include <QLayout>
#include <QScreen>

namespace {

const QSize RoomyCanvas(800, 600);
// About one title bar: each later window shows the title of the one below.
constexpr int CascadeStep = 28;

// The window's size with the given visible canvas: what the menu bar, tool
// bar, inspector, frame and scroll bars take is measured on the laid-out
// window. A window not shown yet lays out its children only on request,
// its own and its central widget's layout each.
QSize sizeForCanvas(VelkaWindow *window, const QSize &canvas)
{
    QGraphicsView *view = window->canvasView();
    if (!view || !window->layout())
        return window->size();
    window->resize(window->size().expandedTo(canvas * 2));
    window->layout()->activate();
    if (QWidget *central = window->centralWidget(); central && central->layout())
        central->layout()->activate();
    return canvas + (window->size() - view->maximumViewportSize());
}

} // namespace

void placeLaterWindow(VelkaWindow *window, const QWidget *active)
{
    const QScreen *screen = active ? active->screen() : window->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    // The frame a window manager adds, as the active window has it.
    const QSize frame = active ? active->frameGeometry().size() - active->size() : QSize(0, 0);

    QSize size;
    QPoint place;
    if (active) {
        size = active->size();
        place = active->frameGeometry().topLeft() + QPoint(CascadeStep, CascadeStep);
    } else {
        size = sizeForCanvas(window, RoomyCanvas);
        place = area.topLeft() + QPoint((area.width() - size.width() - frame.width()) / 2,
                                        (area.height() - size.height() - frame.height()) / 2);
    }
    size = size.boundedTo(area.size() - frame);
    if (!area.contains(QRect(place, size + frame)))
        place = area.topLeft();
    window->resize(size);
    window->move(place);
}
