#ifndef PROPERTYLISTCHECK_H
#define PROPERTYLISTCHECK_H

// The property-list reader's promises on arbitrary bytes, shared by the fuzz
// target and the corpus replay test: a file that is refused leaves the model
// untouched and says why; a file that is read leaves no entry without a value
// (what it skipped leaves no trace) and is written back in a form that reads
// without complaint, with every value and its type as read, and writes back
// byte for byte the same.

#include "qmddirectmodelinterface.h"
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

// Whether some plain entry under parent holds no value.
inline bool hasEmptyEntry(const QmdDirectModelInterface &model, const QmdIndex &parent)
{
    for (const QmdIndex &child : model.childIndexes(parent)) {
        if (model.type(child) == Qmd::NoContainer ? !model.data(child).isValid() : hasEmptyEntry(model, child))
            return true;
    }
    return false;
}

// The tree with the type of every value.
inline QString typedDump(const QmdDirectModelInterface &model, const QmdIndex &parent)
{
    QString text;
    for (const QmdIndex &child : model.childIndexes(parent)) {
        text += child.id() != 0 ? QString::number(child.id()) : child.key();
        if (model.type(child) == Qmd::NoContainer) {
            const QVariant value = model.data(child);
            text += QStringLiteral("=") + QString::fromLatin1(value.isValid() ? value.typeName() : "")
                  + QStringLiteral(":") + value.toString() + QStringLiteral(";");
        } else {
            text += QLatin1String(model.type(child) == Qmd::IntDict ? "[" : "{") + typedDump(model, child)
                  + QStringLiteral("}");
        }
    }
    return text;
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

    const QString firstDump = typedDump(QmdDirectModelInterface(&first), QmdIndex());
    if (hasEmptyEntry(QmdDirectModelInterface(&first), QmdIndex()))
        return QStringLiteral("an entry was left without a value: ") + firstDump;

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
    const QString secondDump = typedDump(QmdDirectModelInterface(&second), QmdIndex());
    if (secondDump != firstDump)
        return QStringLiteral("values or types changed on the way through a file:\n") + firstDump
            + QStringLiteral("\n---\n") + secondDump;
    const QByteArray rewritten = write(&second);
    if (rewritten != written)
        return QStringLiteral("written again differently:\n") + QString::fromUtf8(written) + QStringLiteral("\n---\n")
            + QString::fromUtf8(rewritten);
    return QString();
}

} // namespace PropertyListCheck

#endif // PROPERTYLISTCHECK_H
