// Draws the pictures of the resource tree. Usage:
//   velka-imagemaker <catalogue> <output folder>
// The catalogue lists each picture's path and size; every picture is written
// at its size and, as "<name>@2x.png", at twice its size. A catalogue entry
// without a drawer, or a drawer without an entry, is an error.
#include "imagestyle.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QSet>
#include <QTextStream>

#include <cstdio>

namespace {

struct Entry
{
    QString path;
    QSize size;
};

bool readCatalogue(const QString &fileName, QList<Entry> *entries)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(fileName));
        return false;
    }
    QTextStream in(&file);
    int lineNumber = 0;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        ++lineNumber;
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        bool widthOk = false, heightOk = false;
        const int width = fields.value(1).toInt(&widthOk);
        const int height = fields.value(2).toInt(&heightOk);
        if (fields.size() != 3 || !widthOk || !heightOk || width <= 0 || height <= 0) {
            std::fprintf(stderr, "%s:%d: expected \"<path> <width> <height>\"\n", qPrintable(fileName),
                         lineNumber);
            return false;
        }
        entries->append({fields.at(0), QSize(width, height)});
    }
    return true;
}

QString scaledName(const QString &path, int scale)
{
    if (scale == 1)
        return path;
    return path.left(path.size() - 4) + QStringLiteral("@%1x.png").arg(scale);
}

} // namespace

int main(int argc, char *argv[])
{
    // Fonts and painting need a GUI application but never a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: %s <catalogue> <output folder>\n", qPrintable(args.value(0)));
        return 2;
    }

    QList<Entry> entries;
    if (!readCatalogue(args.at(1), &entries))
        return 1;

    ImageStyle::Registry drawers;
    ImageStyle::addSymbols(drawers);
    ImageStyle::addSurfaces(drawers);
    ImageStyle::addLcdGlyphs(drawers);
    ImageStyle::addAboutPicture(drawers);

    const QDir output(args.at(2));
    QSet<QString> drawn;
    bool ok = true;
    for (const Entry &entry : std::as_const(entries)) {
        const ImageStyle::Drawer drawer = drawers.value(entry.path);
        if (!drawer) {
            std::fprintf(stderr, "no drawer for %s\n", qPrintable(entry.path));
            ok = false;
            continue;
        }
        drawn.insert(entry.path);
        for (int scale : {1, 2}) {
            QImage image(entry.size * scale, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::TextAntialiasing);
            painter.scale(scale, scale);
            drawer(painter, entry.size);
            painter.end();
            const QString fileName = output.filePath(scaledName(entry.path, scale));
            QDir().mkpath(QFileInfo(fileName).absolutePath());
            if (!image.save(fileName, "PNG")) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(fileName));
                ok = false;
            }
        }
    }
    for (auto it = drawers.cbegin(); it != drawers.cend(); ++it) {
        if (!drawn.contains(it.key())) {
            std::fprintf(stderr, "%s is drawn but not in the catalogue\n", qPrintable(it.key()));
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
