#ifndef DEPENDENTITEMS_H
#define DEPENDENTITEMS_H

#include "qmdtypes.h"

#include <QHash>
#include <QList>

class ElementItem;

// Which items follow which ids: an edge follows its from- and to-node, a voice
// group its to-node and its initial instrument. The scene delivers a
// notification about an id to the items that follow it, so a change reaches
// the few items it concerns instead of every item of the document.
class DependentItems
{
public:
    // The ids the item follows from now on (0 entries are ignored).
    void setFollowed(ElementItem *item, const QmdItemIdList &ids);
    void remove(ElementItem *item);
    void clear();

    // The items that follow id, in the order they started to follow it.
    QList<ElementItem *> followers(QmdItemId id) const { return m_followers.value(id); }

private:
    QHash<QmdItemId, QList<ElementItem *>> m_followers;
    QHash<ElementItem *, QmdItemIdList> m_followed;
};

#endif // DEPENDENTITEMS_H
