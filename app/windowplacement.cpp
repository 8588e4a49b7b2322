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

    // The room from a top left corner to the area's lower right.
    const auto room = [&area, &frame](const QPoint &corner) {
        return QSize(area.right() - corner.x() + 1, area.bottom() - corner.y() + 1) - frame;
    };
    const QSize least = window->minimumSizeHint().expandedTo(window->minimumSize());

    QSize size;
    QPoint place;
    if (active) {
        size = active->size();
        place = active->frameGeometry().topLeft() + QPoint(CascadeStep, CascadeStep);
        // Past the middle of the area, or where not even the smallest window
        // fits, the cascade starts again at the area's top left; otherwise a
        // window too large for the rest of the area (one beside a maximised
        // window) gives up the difference.
        const QSize left = room(place);
        if (place.x() > area.center().x() || place.y() > area.center().y() || left.width() < least.width()
            || left.height() < least.height())
            place = area.topLeft();
    } else {
        size = sizeForCanvas(window, RoomyCanvas).boundedTo(area.size());
        place = area.topLeft() + QPoint((area.width() - size.width()) / 2, (area.height() - size.height()) / 2);
    }
    window->resize(size.boundedTo(room(place)));
    window->move(place);
}
