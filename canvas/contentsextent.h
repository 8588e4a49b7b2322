#ifndef CONTENTSEXTENT_H
#define CONTENTSEXTENT_H

#include <QHash>
#include <QRectF>

#include <set>
#include <utility>

class ElementItem;

// The rectangle that a set of items covers, kept up to date one item at a
// time: each item's rectangle is remembered and its four edges are kept in
// sorted sets, so moving or removing an item costs a few logarithmic steps
// whatever the number of items, also when the item on an edge moves inwards.
class ContentsExtent
{
public:
    // Records the item's current scene rectangle (replacing its last one).
    void update(const ElementItem *item, const QRectF &rect);
    void remove(const ElementItem *item);
    void clear();
    bool contains(const ElementItem *item) const { return m_rects.contains(item); }

    // The union of all recorded rectangles; the null rectangle when none.
    QRectF bounds() const;

private:
    typedef std::multiset<std::pair<qreal, const ElementItem *>> EdgeSet;

    void insertEdges(const ElementItem *item, const QRectF &rect);
    void eraseEdges(const ElementItem *item, const QRectF &rect);

    QHash<const ElementItem *, QRectF> m_rects;
    EdgeSet m_lefts;
    EdgeSet m_rights;
    EdgeSet m_tops;
    EdgeSet m_bottoms;
};

#endif // CONTENTSEXTENT_H
