#ifndef QMDCOMMAND_H
#define QMDCOMMAND_H

#include "qmdmemmodel.h"

#include <QHash>
#include <QList>
#include <QVariant>

#include <memory>
#include <vector>

// One recorded change of the in-memory model. A command applies its change on
// redo and takes it back on undo, and keeps what the change displaced. The
// further commands of the same request are its children: redo runs them after
// the command's own change, undo before taking the own change back.
class QmdMemModel::QmdCommand
{
public:
    QmdCommand(QmdMemModel *model, QmdRequestId rid, Qmd::RequestFlags flags, const QString &text);
    virtual ~QmdCommand();
    QmdCommand(const QmdCommand &) = delete;
    QmdCommand &operator=(const QmdCommand &) = delete;

    virtual void redo();
    virtual void undo();

    QmdRequestId rid() const { return m_rid; }
    Qmd::RequestFlags flags() const { return m_flags; }
    QString text() const { return m_text; }
    bool isRecordable() const { return !m_flags.testFlag(Qmd::NoUndoHistory); }
    void appendChild(std::unique_ptr<QmdCommand> child);

protected:
    QmdMemModel *const m_model;

private:
    const QmdRequestId m_rid;
    const Qmd::RequestFlags m_flags;
    const QString m_text;
    std::vector<std::unique_ptr<QmdCommand>> m_children;
};

// Replaces the root value: the root and the held value change places.
class QmdMemModel::QmdSetRootCommand : public QmdMemModel::QmdCommand
{
public:
    QmdSetRootCommand(QmdMemModel *model, QmdRequestId rid, Qmd::RequestFlags flags, const QString &text,
                      const QVariant &value);
    ~QmdSetRootCommand() override;

    void redo() override;
    void undo() override;

private:
    QVariant m_value;
};

// Stores values under ids (IntDict) or keys (StrDict) of one container. The
// parent index is the one the change signals carry; the container itself is
// remembered apart, so that a command whose container has been released does
// nothing rather than change whatever now sits at the parent index.
template <typename Key, typename Item>
class QmdMemModel::QmdSetCommand : public QmdMemModel::QmdCommand
{
public:
    QmdSetCommand(QmdMemModel *model, QmdRequestId rid, Qmd::RequestFlags flags, const QString &text,
                  const QHash<Key, QVariant> &values, const QmdIndex &parent, Item *container);
    ~QmdSetCommand() override;

    void redo() override;
    void undo() override;

private:
    QHash<Key, QVariant> m_newValues;
    QHash<Key, QVariant> m_oldValues;
    QList<Key> m_createdKeys;
    const QmdIndex m_parent;
    const ContainerRef m_container;
};

// Removes ids (IntDict) or keys (StrDict) from one container.
template <typename Key, typename Item>
class QmdMemModel::QmdRemoveCommand : public QmdMemModel::QmdCommand
{
public:
    QmdRemoveCommand(QmdMemModel *model, QmdRequestId rid, Qmd::RequestFlags flags, const QString &text,
                     const QList<Key> &keys, const QmdIndex &parent, Item *container);
    ~QmdRemoveCommand() override;

    void redo() override;
    void undo() override;

private:
    QList<Key> m_keys;
    QHash<Key, QVariant> m_removedValues;
    const QmdIndex m_parent;
    const ContainerRef m_container;
};

#endif // QMDCOMMAND_H
