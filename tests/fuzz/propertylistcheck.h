#ifndef PROPERTYLISTCHECK_H
#define PROPERTYLISTCHECK_H

// The property-list reader's promises on arbitrary bytes, shared by the fuzz
// target and the corpus replay test: a file that is refused leaves the model
// untouched and says why; a file that is read is written back in a form that
// reads without complaint and writes back byte for byte the same.

#include "qmdindex.h"
#include "qmdmemmodel.h"
#include "qmdpropertylistexporter.h"
#include "qmdpropertylistimporter.h"

#include <QBuffer>
#include <QByteArray>
#include <QString>

namespace PropertyListCheck {

inline QByteArray write(QmdModel *model)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QmdPropertyListExporter(model, &buffer).write(QmdIndex());
    return buffer.data();
}

// What the bytes broke, or an empty string.
inline QString problem(QByteArray bytes)
{
    QmdMemModel first(Qmd::StrDict);
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QmdPropertyListImporter importer(&first, &buffer);
        if (!importer.read(QmdIndex())) {
            if (importer.errorString().isEmpty())
                return QStringLiteral("refused without a reason");
            if (first.undoRedoCount() != 0 || first.hasChildren(QmdIndex()))
                return QStringLiteral("refused after changing the model");
            return QString();
        }
    }

    QByteArray written = write(&first);
    QmdMemModel second(Qmd::StrDict);
    {
        QBuffer buffer(&written);
        buffer.open(QIODevice::ReadOnly);
        QmdPropertyListImporter importer(&second, &buffer);
        if (!importer.read(QmdIndex()))
            return QStringLiteral("its own output was refused: ") + importer.errorString();
        if (!importer.warnings().isEmpty())
            return QStringLiteral("its own output was read with warnings: ") + importer.warnings().join(u'\n');
    }
    const QByteArray rewritten = write(&second);
    if (rewritten != written)
        return QStringLiteral("written again differently:\n") + QString::fromUtf8(written) + QStringLiteral("\n---\n")
            + QString::fromUtf8(rewritten);
    return QString();
}

} // namespace PropertyListCheck

#endif // PROPERTYLISTCHECK_H
