#include "qmdcommand.h"

QmdMemModel::QmdCommand::QmdCommand(QmdMemModel *model, QmdRequestId rid, Qmd::RequestFlags flags,
                                    const QString &text)
    : m_model(model), m_rid(rid), m_flags(flags), m_text(text)
{
}

QmdMemModel::QmdCommand::~QmdCommand()
{
    for (auto &child : m_children)
        child.reset();
}

void QmdMemModel::QmdCommand::redo()
{
    for (auto &child : m_children)
        child->redo();
}

void QmdMemModel::QmdCommand::undo()
{
    for (auto it = m_children.rbegin(); it != m_children.rend(); ++it)
        (*it)->undo();
}

void QmdMemModel::QmdCommand::appendChild(std::unique_ptr<QmdCommand> child)
{
    m_children.push_back(std::move(child));
}

// ---------------------------------------------------------------------------

QmdMemModel::QmdSetRootCommand::QmdSetRootCommand(QmdMemModel *model, QmdRequestId rid, Qmd::RequestFlags flags,
                                                  const QString &text, const QVariant &value)
    : QmdCommand(model, rid, flags, text), m_value(value)
{
}

QmdMemModel::QmdSetRootCommand::~QmdSetRootCommand()
{
    m_model->release(m_value);
}

void QmdMemModel::QmdSetRootCommand::redo()
{
    m_model->swapRoot(m_value);
    QmdCommand::redo();
}

void QmdMemModel::QmdSetRootCommand::undo()
{
    QmdCommand::undo();
    m_model->swapRoot(m_value);
}

// ---------------------------------------------------------------------------

template <typename Key, typename Item>
QmdMemModel::QmdSetCommand<Key, Item>::QmdSetCommand(QmdMemModel *model, QmdRequestId rid, Qmd::RequestFlags flags,
                                                     const QString &text, const QHash<Key, QVariant> &values,
                                                     const QmdIndex &parent, Item *container)
    : QmdCommand(model, rid, flags, text), m_newValues(values), m_parent(parent),
      m_container(model->refOf(container))
{
}

template <typename Key, typename Item>
QmdMemModel::QmdSetCommand<Key, Item>::~QmdSetCommand()
{
    for (const QVariant &value : std::as_const(m_newValues))
        m_model->release(value);
    for (const QVariant &value : std::as_const(m_oldValues))
        m_model->release(value);
}

template <typename Key, typename Item>
void QmdMemModel::QmdSetCommand<Key, Item>::redo()
{
    if (auto *item = static_cast<Item *>(m_model->resolve(m_container))) {
        for (auto it = m_newValues.constBegin(); it != m_newValues.constEnd(); ++it) {
            const auto current = item->items.constFind(it.key());
            if (current != item->items.constEnd())
                m_oldValues.insert(it.key(), current.value());
            else
                m_createdKeys.append(it.key());
        }
        m_model->storeEntries(item, m_parent, m_newValues, nullptr);
        m_newValues.clear();
    }
    QmdCommand::redo();
}

template <typename Key, typename Item>
void QmdMemModel::QmdSetCommand<Key, Item>::undo()
{
    QmdCommand::undo();
    auto *item = static_cast<Item *>(m_model->resolve(m_container));
    if (!item)
        return;
    QList<Key> touched = m_oldValues.keys();
    touched.append(m_createdKeys);
    for (const Key &key : std::as_const(touched)) {
        const auto current = item->items.constFind(key);
        if (current != item->items.constEnd())
            m_newValues.insert(key, current.value());
    }
    m_model->removeEntries(item, m_parent, m_createdKeys, nullptr);
    m_model->storeEntries(item, m_parent, m_oldValues, nullptr);
    m_oldValues.clear();
    m_createdKeys.clear();
}

// ---------------------------------------------------------------------------

template <typename Key, typename Item>
QmdMemModel::QmdRemoveCommand<Key, Item>::QmdRemoveCommand(QmdMemModel *model, QmdRequestId rid,
                                                           Qmd::RequestFlags flags, const QString &text,
                                                           const QList<Key> &keys, const QmdIndex &parent,
                                                           Item *container)
    : QmdCommand(model, rid, flags, text), m_keys(keys), m_parent(parent), m_container(model->refOf(container))
{
}

template <typename Key, typename Item>
QmdMemModel::QmdRemoveCommand<Key, Item>::~QmdRemoveCommand()
{
    for (const QVariant &value : std::as_const(m_removedValues))
        m_model->release(value);
}

template <typename Key, typename Item>
void QmdMemModel::QmdRemoveCommand<Key, Item>::redo()
{
    if (auto *item = static_cast<Item *>(m_model->resolve(m_container)))
        m_keys = m_model->removeEntries(item, m_parent, m_keys, &m_removedValues);
    QmdCommand::redo();
}

template <typename Key, typename Item>
void QmdMemModel::QmdRemoveCommand<Key, Item>::undo()
{
    QmdCommand::undo();
    auto *item = static_cast<Item *>(m_model->resolve(m_container));
    if (!item)
        return;
    // Whatever now sits under a removed key (put there by a change kept out
    // of the history) gives way to the restored entry.
    QList<QVariant> displaced;
    m_model->storeEntries(item, m_parent, m_removedValues, &displaced);
    m_removedValues.clear();
    for (const QVariant &value : std::as_const(displaced))
        m_model->release(value);
}

template class QmdMemModel::QmdSetCommand<QmdItemId, QmdMemModel::IntDictSpecialItem>;
template class QmdMemModel::QmdSetCommand<QString, QmdMemModel::StrDictSpecialItem>;
template class QmdMemModel::QmdRemoveCommand<QmdItemId, QmdMemModel::IntDictSpecialItem>;
template class QmdMemModel::QmdRemoveCommand<QString, QmdMemModel::StrDictSpecialItem>;
