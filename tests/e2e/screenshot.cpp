// Saves a picture of the whole X screen: `e2e_screenshot <file.png>`, with
// DISPLAY naming the screen.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: e2e_screenshot <file.png>\n");
        return 2;
    }
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen) {
        std::fprintf(stderr, "no screen\n");
        return 1;
    }
    if (!screen->grabWindow(0).save(arguments.at(1), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(arguments.at(1)));
        return 1;
    }
    return 0;
}
