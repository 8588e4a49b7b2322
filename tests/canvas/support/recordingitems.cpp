#include "recordingitems.h"

#include "qmdvelka.h"

#include <QPen>

RecordingItem::RecordingItem(QmdItemId id, QmdVelkaController *controller, NetworkScene *scene)
    : GraphicsElementItem<QGraphicsRectItem>(id, controller, scene)
{
    setRect(-10, -10, 20, 20);
    setPen(Qt::NoPen);
}

void RecordingItem::onElementDataChangedOrRemoved(QmdItemId id, const QStringList &keys, QmdRequestId rid)
{
    elementNotifications.append({id, keys});
    GraphicsElementItem<QGraphicsRectItem>::onElementDataChangedOrRemoved(id, keys, rid);
}

void RecordingItem::onInstrumentDataChangedOrRemoved(QmdItemId id, const QStringList &keys, QmdRequestId)
{
    instrumentNotifications.append({id, keys});
}

ElementItem *RecordingScene::createItem(int type, QmdItemId id)
{
    switch (type) {
    case QmdVelka::Edge:
        return new RecordingEdgeItem(id, controller(), this);
    case QmdVelka::Node:
        return new RecordingNodeItem(id, controller(), this);
    case QmdVelka::TextBox:
        return new RecordingTextBoxItem(id, controller(), this);
    case QmdVelka::VoiceGroup:
        return new RecordingVoiceGroupItem(id, controller(), this);
    default:
        return nullptr;
    }
}

void RecordingScene::resetViewsCachedContent()
{
    ++viewsCacheResets;
    NetworkScene::resetViewsCachedContent();
}

void RecordingScene::applyAnnotationColor()
{
    ++annotationColorCalls;
    NetworkScene::applyAnnotationColor();
}

void RecordingScene::applyNodesColor()
{
    ++nodesColorCalls;
    NetworkScene::applyNodesColor();
}

void RecordingScene::applyEdgesColor()
{
    ++edgesColorCalls;
    NetworkScene::applyEdgesColor();
}
