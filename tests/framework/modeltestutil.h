#ifndef MODELTESTUTIL_H
#define MODELTESTUTIL_H

// Helpers shared by the model tests: a text dump of a whole document and a
// recorder of every model signal in emission order.

#include "qmdmodel.h"

#include <QObject>
#include <QString>
#include <QStringList>

inline QString dumpValue(const QmdModel &model, const QmdIndex &index)
{
    switch (model.containerType(index)) {
    case Qmd::IntDict: {
        QStringList parts;
        for (const QmdIndex &child : model.childIndexes(index))
            parts << QString::number(child.id()) + ':' + dumpValue(model, child);
        return '[' + parts.join(',') + ']';
    }
    case Qmd::StrDict: {
        QStringList parts;
        for (const QmdIndex &child : model.childIndexes(index))
            parts << child.key() + ':' + dumpValue(model, child);
        return '{' + parts.join(',') + '}';
    }
    default: {
        const QVariant value = model.data(index);
        if (!value.isValid())
            return QStringLiteral("-");
        return QString::fromLatin1(value.typeName()) + '(' + value.toString() + ')';
    }
    }
}

// The whole document, root first.
inline QString dumpModel(const QmdModel &model)
{
    return dumpValue(model, QmdIndex());
}

inline QString joinIds(const QmdItemIdList &ids)
{
    QStringList parts;
    for (QmdItemId id : ids)
        parts << QString::number(id);
    return parts.join(',');
}

// Every signal of a model as one line, in emission order:
// "changed <parent> <keys> <rid>", "removed ...", "root <rid>",
// "finished <rid> <flags> <status>", "clean <bool> <rid>", "canRedo ...",
// "canUndo ...", "redoText ...", "undoText ...". The parent is written as its
// key or id, "root" for the default index.
class ModelRecorder : public QObject
{
public:
    explicit ModelRecorder(QmdModel *model)
    {
        using IdSignal = void (QmdModel::*)(const QmdIndex &, const QmdItemIdList &, QmdRequestId);
        using KeySignal = void (QmdModel::*)(const QmdIndex &, const QStringList &, QmdRequestId);
        connect(model, static_cast<IdSignal>(&QmdModel::itemsChanged), this,
                [this](const QmdIndex &p, const QmdItemIdList &ids, QmdRequestId rid) {
                    add("changed", parentName(p), joinIds(ids), rid);
                });
        connect(model, static_cast<KeySignal>(&QmdModel::itemsChanged), this,
                [this](const QmdIndex &p, const QStringList &keys, QmdRequestId rid) {
                    add("changed", parentName(p), keys.join(','), rid);
                });
        connect(model, static_cast<IdSignal>(&QmdModel::itemsRemoved), this,
                [this](const QmdIndex &p, const QmdItemIdList &ids, QmdRequestId rid) {
                    add("removed", parentName(p), joinIds(ids), rid);
                });
        connect(model, static_cast<KeySignal>(&QmdModel::itemsRemoved), this,
                [this](const QmdIndex &p, const QStringList &keys, QmdRequestId rid) {
                    add("removed", parentName(p), keys.join(','), rid);
                });
        connect(model, &QmdModel::rootChanged, this, [this](QmdRequestId rid) {
            lines << QStringLiteral("root %1").arg(rid);
        });
        connect(model, &QmdModel::requestFinished, this,
                [this](QmdRequestId rid, Qmd::RequestFlags flags, int status) {
                    lines << QStringLiteral("finished %1 %2 %3").arg(rid).arg(int(flags)).arg(status);
                });
        connect(model, &QmdModel::atCleanStateChanged, this, [this](bool on, QmdRequestId rid) {
            add("clean", on, rid);
        });
        connect(model, &QmdModel::canRedoChanged, this, [this](bool on, QmdRequestId rid) {
            add("canRedo", on, rid);
        });
        connect(model, &QmdModel::canUndoChanged, this, [this](bool on, QmdRequestId rid) {
            add("canUndo", on, rid);
        });
        connect(model, &QmdModel::redoTextChanged, this, [this](const QString &text, QmdRequestId rid) {
            lines << QStringLiteral("redoText '%1' %2").arg(text).arg(rid);
        });
        connect(model, &QmdModel::undoTextChanged, this, [this](const QString &text, QmdRequestId rid) {
            lines << QStringLiteral("undoText '%1' %2").arg(text).arg(rid);
        });
    }

    // The lines recorded so far; the record starts afresh.
    QStringList take()
    {
        QStringList taken = lines;
        lines.clear();
        return taken;
    }

    QStringList lines;

private:
    static QString parentName(const QmdIndex &parent)
    {
        if (!parent.model())
            return QStringLiteral("root");
        return parent.key().isEmpty() ? QString::number(parent.id()) : parent.key();
    }
    void add(const char *what, const QString &parent, const QString &keys, QmdRequestId rid)
    {
        lines << QStringLiteral("%1 %2 %3 %4").arg(QLatin1String(what), parent, keys).arg(rid);
    }
    void add(const char *what, bool on, QmdRequestId rid)
    {
        lines << QStringLiteral("%1 %2 %3").arg(QLatin1String(what), on ? "true" : "false").arg(rid);
    }
};

#endif // MODELTESTUTIL_H
