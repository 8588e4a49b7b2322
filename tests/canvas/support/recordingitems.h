#ifndef RECORDINGITEMS_H
#define RECORDINGITEMS_H

#include "graphicselementitem.h"
#include "networkscene.h"

#include <QGraphicsRectItem>
#include <QList>
#include <QStringList>

// A stand-in element item for scene tests: a 20 x 20 square without outline
// centred on its position that records what the scene asks of it.
class RecordingItem : public GraphicsElementItem<QGraphicsRectItem>
{
public:
    struct Notification
    {
        QmdItemId id;
        QStringList keys;
    };

    RecordingItem(QmdItemId id, QmdVelkaController *controller, NetworkScene *scene);

    void onElementDataChangedOrRemoved(QmdItemId id, const QStringList &keys, QmdRequestId rid) override;
    void onInstrumentDataChangedOrRemoved(QmdItemId id, const QStringList &keys, QmdRequestId rid) override;
    void setCounter(unsigned value) override { counter = value; }
    void setCounterVisible(bool visible) override { counterVisible = visible; }
    void applySceneColors() override { ++colorsApplied; }
    void openNewElementEditor() override { ++editorsOpened; }

    QList<Notification> elementNotifications;
    QList<Notification> instrumentNotifications;
    unsigned counter = 0;
    bool counterVisible = false;
    int colorsApplied = 0;
    int editorsOpened = 0;
};

// A RecordingItem with the graphics item type of one element kind, so that
// qgraphicsitem_cast tells them apart.
template <int ItemType>
class RecordingElementItem : public RecordingItem
{
public:
    enum { Type = ItemType };

    using RecordingItem::RecordingItem;
    int type() const override { return Type; }
};

typedef RecordingElementItem<EdgeItemType> RecordingEdgeItem;
typedef RecordingElementItem<NodeItemType> RecordingNodeItem;
typedef RecordingElementItem<VoiceGroupItemType> RecordingVoiceGroupItem;
typedef RecordingElementItem<TextBoxItemType> RecordingTextBoxItem;

// A scene that makes RecordingItems and counts its colour callbacks.
class RecordingScene : public NetworkScene
{
    Q_OBJECT

public:
    using NetworkScene::NetworkScene;
    using NetworkScene::flashEnds;
    using NetworkScene::feedbackTimer;

    int viewsCacheResets = 0;
    int annotationColorCalls = 0;
    int nodesColorCalls = 0;
    int edgesColorCalls = 0;

protected:
    ElementItem *createItem(int type, QmdItemId id) override;
    void resetViewsCachedContent() override;
    void applyAnnotationColor() override;
    void applyNodesColor() override;
    void applyEdgesColor() override;
};

#endif // RECORDINGITEMS_H
