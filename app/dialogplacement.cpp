#include "dialogplacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void moveToUpperMiddle(QWidget *window)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!window || !screen)
        return;
    const QRect area = screen->availableGeometry();
    const int x = area.width() / 2 - window->width() / 2;
    const int y = int((area.height() / 2 - window->height() / 2) * 0.5);
    window->move(area.x() + x, area.y() + y);
}
