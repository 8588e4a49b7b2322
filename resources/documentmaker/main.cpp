// Writes the template document and the example documents. Usage:
//   velka-documentmaker <program folder>
// Each document is built through the network controller's requests and saved
// by its exporter, so the files are always in the current format.
#include "documentbuilder.h"
#include "examples.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: %s <program folder>\n", qPrintable(args.value(0)));
        return 2;
    }
    const QDir folder(args.at(1));
    // An example that was renamed or dropped must not linger beside the program.
    QDir examples(folder.filePath(QStringLiteral("Examples")));
    for (const QString &old : examples.entryList({QStringLiteral("*.vlk")}, QDir::Files))
        examples.remove(old);
    bool ok = true;
    for (const Examples::Document &document : Examples::documents()) {
        DocumentBuilder builder;
        document.build(builder);
        ok = builder.save(folder.filePath(document.fileName)) && ok;
    }
    return ok ? 0 : 1;
}
