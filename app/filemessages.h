#ifndef FILEMESSAGES_H
#define FILEMESSAGES_H

#include <QCoreApplication>
#include <QFile>
#include <QString>

// The texts the user reads about document files: the file dialogs' filter
// and what a failed or incomplete save or load says.
class FileMessages
{
    Q_DECLARE_TR_FUNCTIONS(FileMessages)

public:
    static QString documentSuffix();
    // "Velka Network ( *.vlk)", for the Open and Save As dialogs.
    static QString documentFilter();
    // The file's name after its last "/" in typographic quotes; a name
    // without a folder stands for an untitled document.
    static QString quotedName(const QString &fileName);
    static QString saveErrorText(const QString &fileName, QFile::FileError error);
    // The permission sentence only while the file cannot be read.
    static QString loadErrorText(const QString &fileName, QFile::FileError error);
    static QString codeText(QFile::FileError error);
    // The informative text under a failed save or load: the reason the
    // document's controller gives, when it gives one, above the code.
    static QString errorDetailText(const QString &reason, QFile::FileError error);
    // A load that left parts of the file out, a save that had to change
    // what it wrote; the single warnings follow as the informative text.
    static QString loadWarningsText(const QString &fileName);
    static QString saveWarningsText(const QString &fileName);
};

#endif // FILEMESSAGES_H
