#ifndef DATAFILES_H
#define DATAFILES_H

#include <QString>
#include <QStringList>

// Where the program finds the files it ships beside itself: the template
// document, the example documents and the manual. A build places them in the
// program's folder; an installed program finds them in the installed data
// folder (<prefix>/share/velka).
namespace DataFiles {

// The file names, as they stand in the program's folder.
QString templateFileName();    // "template.vlk"
QString examplesFolderName();  // "Examples"
QString manualFileName();      // "Velka Manual.pdf"

// The folders searched, in order: the program's folder, the data folder beside
// it (<program folder>/../share/velka) and the data folder of the prefix the
// program was built for. Needs the application object.
QStringList searchFolders();

// The cleaned path of the file or folder of that name in the first search
// folder that holds it; empty when none does.
QString locate(const QString &name);

} // namespace DataFiles

#endif // DATAFILES_H
