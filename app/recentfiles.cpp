#include "recentfiles.h"

#include <QSettings>

namespace {
const QString ArrayKey = QStringLiteral("RecentFiles");
const QString PathKey = QStringLiteral("Path");
} // namespace

QStringList RecentFiles::read(QSettings *settings)
{
    QStringList files;
    if (!settings)
        return files;
    const int count = settings->beginReadArray(ArrayKey);
    for (int i = 0; i < count; ++i) {
        settings->setArrayIndex(i);
        files.append(settings->value(PathKey).toString());
    }
    settings->endArray();
    return files;
}

void RecentFiles::add(QSettings *settings, const QString &fileName)
{
    if (!settings || fileName.isEmpty())
        return;
    QStringList files = read(settings);
    files.removeOne(fileName);
    files.prepend(fileName);
    while (files.size() > MaxCount)
        files.removeLast();
    settings->beginWriteArray(ArrayKey, int(files.size()));
    for (int i = 0; i < files.size(); ++i) {
        settings->setArrayIndex(i);
        settings->setValue(PathKey, files.at(i));
    }
    settings->endArray();
}
