#include "qmdtree.h"

QmdTree::QmdTree(Qmd::ContainerType type)
    : m_type(type)
{
}

QmdTree::~QmdTree()
{
    for (const QVariant &value : std::as_const(m_ids))
        release(value);
    for (const QVariant &value : std::as_const(m_keys))
        release(value);
}

QVariant QmdTree::holding(QmdTree *child)
{
    return QVariant::fromValue(child);
}

QmdTree *QmdTree::treeOf(const QVariant &value)
{
    return value.metaType() == QMetaType::fromType<QmdTree *>() ? value.value<QmdTree *>() : nullptr;
}

void QmdTree::release(const QVariant &value)
{
    delete treeOf(value);
}
