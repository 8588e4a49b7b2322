#include "filemessages.h"

#include "velkaapplication.h"

#include <QFileInfo>

QString FileMessages::documentSuffix()
{
    return QStringLiteral("vlk");
}

QString FileMessages::documentFilter()
{
    return VelkaApplication::applicationNameText() + QStringLiteral(" Network ( *.") + documentSuffix()
           + QLatin1Char(')');
}

QString FileMessages::quotedName(const QString &fileName)
{
    const int slash = fileName.lastIndexOf(QLatin1Char('/'));
    const QString shown = slash < 0 ? tr("Untitled") : fileName.mid(slash + 1);
    return tr("“%1”").arg(shown);
}

QString FileMessages::saveErrorText(const QString &fileName, QFile::FileError error)
{
    const bool permission = error == QFile::WriteError || error == QFile::OpenError
                            || error == QFile::PermissionsError;
    return (permission ? tr("The network could not be saved as %1. You may not have permission.")
                       : tr("The network could not be saved as %1. An unknown error occurred."))
        .arg(quotedName(fileName));
}

QString FileMessages::loadErrorText(const QString &fileName, QFile::FileError error)
{
    const bool accessError = error == QFile::ReadError || error == QFile::OpenError
                             || error == QFile::PermissionsError;
    if (!accessError)
        return tr("The network %1 could not be opened. An unknown error occurred.").arg(quotedName(fileName));
    // A file this process may read failed for what it holds or what it is
    // (plain text, a picture, a damaged document, a folder): the reason
    // follows above the code, and permission is not in question.
    if (QFileInfo(fileName).isReadable())
        return tr("The network %1 could not be opened.").arg(quotedName(fileName));
    return tr("The network %1 could not be opened. You may not have permission.").arg(quotedName(fileName));
}

QString FileMessages::codeText(QFile::FileError error)
{
    return tr("Code: %1").arg(int(error));
}

QString FileMessages::errorDetailText(const QString &reason, QFile::FileError error)
{
    if (reason.isEmpty())
        return codeText(error);
    return reason + QLatin1Char('\n') + codeText(error);
}

QString FileMessages::loadWarningsText(const QString &fileName)
{
    return tr("Parts of the network %1 could not be read and were left out.").arg(quotedName(fileName));
}

QString FileMessages::saveWarningsText(const QString &fileName)
{
    return tr("The network was saved as %1, but characters it cannot hold were replaced.")
        .arg(quotedName(fileName));
}
