#include "contentsextent.h"

namespace {

template <class Set>
void eraseOne(Set &set, const typename Set::value_type &value)
{
    const auto it = set.find(value);
    if (it != set.end())
        set.erase(it);
}

} // namespace

void ContentsExtent::update(const ElementItem *item, const QRectF &rect)
{
    const auto it = m_rects.find(item);
    if (it != m_rects.end()) {
        if (it.value() == rect)
            return;
        eraseEdges(item, it.value());
        it.value() = rect;
    } else {
        m_rects.insert(item, rect);
    }
    insertEdges(item, rect);
}

void ContentsExtent::remove(const ElementItem *item)
{
    const auto it = m_rects.find(item);
    if (it == m_rects.end())
        return;
    eraseEdges(item, it.value());
    m_rects.erase(it);
}

void ContentsExtent::clear()
{
    m_rects.clear();
    m_lefts.clear();
    m_rights.clear();
    m_tops.clear();
    m_bottoms.clear();
}

QRectF ContentsExtent::bounds() const
{
    if (m_rects.isEmpty())
        return QRectF();
    QRectF r;
    r.setLeft(m_lefts.begin()->first);
    r.setRight(m_rights.rbegin()->first);
    r.setTop(m_tops.begin()->first);
    r.setBottom(m_bottoms.rbegin()->first);
    return r;
}

void ContentsExtent::insertEdges(const ElementItem *item, const QRectF &rect)
{
    m_lefts.emplace(rect.left(), item);
    m_rights.emplace(rect.right(), item);
    m_tops.emplace(rect.top(), item);
    m_bottoms.emplace(rect.bottom(), item);
}

void ContentsExtent::eraseEdges(const ElementItem *item, const QRectF &rect)
{
    eraseOne(m_lefts, {rect.left(), item});
    eraseOne(m_rights, {rect.right(), item});
    eraseOne(m_tops, {rect.top(), item});
    eraseOne(m_bottoms, {rect.bottom(), item});
}
