#ifndef RECENTFILES_H
#define RECENTFILES_H

#include <QString>
#include <QStringList>

class QSettings;

// The recently opened and saved documents: the settings array "RecentFiles",
// newest first, each entry's "Path" the file's full name.
namespace RecentFiles {

constexpr int MaxCount = 10;

QStringList read(QSettings *settings);
// Puts the file first, drops an earlier entry with the same name and keeps
// the newest MaxCount. A null store or an empty name changes nothing.
void add(QSettings *settings, const QString &fileName);

} // namespace RecentFiles

#endif // RECENTFILES_H
