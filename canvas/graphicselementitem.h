#ifndef GRAPHICSELEMENTITEM_H
#define GRAPHICSELEMENTITEM_H

#include "canvascoordinates.h"
#include "elementitem.h"
#include "networkscene.h"
#include "tickpos.h"

#include <QGraphicsItem>
#include <QString>
#include <QVariant>

// An element item drawn by the Qt graphics item class T. It handles the two
// keys every element has: "IsHidden" shows or hides the item with its
// children, "TickPos" places it.
template <class T>
class GraphicsElementItem : public T, public ElementItem
{
public:
    // Items draw straight into the view: a device-coordinate cache made
    // painting many times slower and spoils printing.
    static constexpr QGraphicsItem::CacheMode ItemCacheMode = QGraphicsItem::NoCache;

    GraphicsElementItem(QmdItemId id, QmdVelkaController *controller, NetworkScene *scene,
                        QGraphicsItem *parent = nullptr)
        : T(parent)
        , ElementItem(id, controller, scene)
    {
        if (scene && T::scene() != scene)
            scene->addItem(this);
        T::setCacheMode(ItemCacheMode);
        T::setFlag(QGraphicsItem::ItemIsSelectable, true);
    }

    QGraphicsItem *graphicsItem() override { return this; }
    using ElementItem::graphicsItem;

    void onElementDataChangedOrRemoved(QmdItemId id, const QStringList &keys, QmdRequestId rid) override
    {
        ElementItem::onElementDataChangedOrRemoved(id, keys, rid);
        const QmdVelkaController *c = controller();
        if (!c || id != ElementItem::id())
            return;
        setSynced(false);
        for (const QString &key : keys) {
            if (key == QLatin1String("IsHidden"))
                T::setVisible(!c->elementData(id, key).toBool());
            else if (key == QLatin1String("TickPos"))
                T::setPos(tickPosToScene(c->elementData(id, key).template value<QmdVelka::TickPos>()));
        }
        setSynced(true);
    }

protected:
    QVariant itemChange(QGraphicsItem::GraphicsItemChange change, const QVariant &value) override
    {
        // Selection changes the look of every element.
        if (isSynced() && change == QGraphicsItem::ItemSelectedChange)
            T::update();
        return T::itemChange(change, value);
    }
};

#endif // GRAPHICSELEMENTITEM_H
