#include "datafiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace DataFiles {

QString templateFileName()
{
    return QStringLiteral("template.vlk");
}

QString examplesFolderName()
{
    return QStringLiteral("Examples");
}

QString manualFileName()
{
    return QStringLiteral("Velka Manual.pdf");
}

QStringList searchFolders()
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    QStringList folders{programFolder,
                        QDir::cleanPath(programFolder + QStringLiteral("/../share/velka"))};
    const QString installed = QDir::cleanPath(QStringLiteral(VELKA_INSTALL_DATADIR));
    if (!folders.contains(installed))
        folders << installed;
    return folders;
}

QString locate(const QString &name)
{
    if (name.isEmpty())
        return QString();
    for (const QString &folder : searchFolders()) {
        const QString path = QDir::cleanPath(folder + QLatin1Char('/') + name);
        if (QFileInfo::exists(path))
            return path;
    }
    return QString();
}

} // namespace DataFiles
