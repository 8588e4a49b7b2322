#include "dependentitems.h"

void DependentItems::setFollowed(ElementItem *item, const QmdItemIdList &ids)
{
    remove(item);
    QmdItemIdList followed;
    for (QmdItemId id : ids) {
        if (id == 0 || followed.contains(id))
            continue;
        followed.append(id);
        m_followers[id].append(item);
    }
    if (!followed.isEmpty())
        m_followed.insert(item, followed);
}

void DependentItems::remove(ElementItem *item)
{
    const auto it = m_followed.find(item);
    if (it == m_followed.end())
        return;
    for (QmdItemId id : std::as_const(it.value())) {
        const auto followers = m_followers.find(id);
        if (followers == m_followers.end())
            continue;
        followers.value().removeOne(item);
        if (followers.value().isEmpty())
            m_followers.erase(followers);
    }
    m_followed.erase(it);
}

void DependentItems::clear()
{
    m_followers.clear();
    m_followed.clear();
}
