#include "elementitem.h"

#include "networkscene.h"

ElementItem::ElementItem(QmdItemId id, QmdVelkaController *controller, NetworkScene *scene)
    : m_id(id)
    , m_scene(scene)
{
    setController(controller);
}

ElementItem::~ElementItem() = default;

const QGraphicsItem *ElementItem::graphicsItem() const
{
    return const_cast<ElementItem *>(this)->graphicsItem();
}

void ElementItem::onElementDataChangedOrRemoved(QmdItemId, const QStringList &, QmdRequestId)
{
}

void ElementItem::onInstrumentDataChangedOrRemoved(QmdItemId, const QStringList &, QmdRequestId)
{
}

void ElementItem::onSelectionChanged()
{
}

void ElementItem::setCounter(unsigned)
{
}

void ElementItem::setCounterVisible(bool)
{
}

void ElementItem::applySceneColors()
{
}

void ElementItem::openNewElementEditor()
{
}

void ElementItem::startFlash(quint32, quint32, const QColor &, bool)
{
}

void ElementItem::endFlash(quint32, quint32, bool)
{
}

NetworkScene *ElementItem::networkScene() const
{
    return m_scene.data();
}

int ElementItem::elementType() const
{
    const QmdVelkaController *c = controller();
    return c ? c->elementType(m_id) : 0;
}
