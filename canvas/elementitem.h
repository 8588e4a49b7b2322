#ifndef ELEMENTITEM_H
#define ELEMENTITEM_H

#include "qmdobserver.h"
#include "qmdtypes.h"
#include "qmdvelkacontroller.h"

#include <QColor>
#include <QGraphicsItem>
#include <QPointer>
#include <QStringList>

class NetworkScene;

// Graphics item types of the element items (QGraphicsItem::type()); the scene
// and the view tell items apart by these numbers.
enum ElementItemType {
    EdgeItemType = QGraphicsItem::UserType + 1,      // 0x10001
    NodeItemType = QGraphicsItem::UserType + 2,      // 0x10002
    VoiceGroupItemType = QGraphicsItem::UserType + 3, // 0x10003
    TextBoxItemType = QGraphicsItem::UserType + 4    // 0x10004
};

// What every canvas item of a document element shares: its element id, the
// controller it reads through and the scene it belongs to. Items never connect
// to the controller: the scene hands them every notification that concerns
// them, and each item picks out what is its own. Items only read the
// document.
//
// The preview items that the view draws during a gesture have id 0 and no
// controller; they read nothing and the scene does not know them.
class ElementItem : public QmdObserver<QmdVelkaController>
{
public:
    ElementItem(QmdItemId id, QmdVelkaController *controller, NetworkScene *scene);
    ~ElementItem() override;

    // The Qt graphics item that draws this element.
    virtual QGraphicsItem *graphicsItem() = 0;
    const QGraphicsItem *graphicsItem() const;

    // Notifications fanned out by the scene; each item filters them by id.
    virtual void onElementDataChangedOrRemoved(QmdItemId id, const QStringList &keys, QmdRequestId rid);
    virtual void onInstrumentDataChangedOrRemoved(QmdItemId id, const QStringList &keys, QmdRequestId rid);
    // The scene's selection changed (the edge item recolours by it).
    virtual void onSelectionChanged();

    // What the scene asks of items of particular kinds. The defaults do
    // nothing: nodes show a hit counter, every kind re-reads the scene's
    // colours it is drawn in, and a text box that the user has just created
    // opens its editor with all its text selected.
    virtual void setCounter(unsigned value);
    virtual void setCounterVisible(bool visible);
    virtual void applySceneColors();
    virtual void openNewElementEditor();
    // Playback shows on nodes: a voice group's voice starts or stops flashing
    // the node in a colour. With noUpdate the scene repaints the item itself,
    // once for all flashes of a pass.
    virtual void startFlash(quint32 groupId, quint32 voiceNumber, const QColor &color, bool noUpdate);
    virtual void endFlash(quint32 groupId, quint32 voiceNumber, bool noUpdate);

    QmdItemId id() const { return m_id; }
    // Null once the scene is gone.
    NetworkScene *networkScene() const;
    bool isSynced() const { return m_synced; }
    void setSynced(bool synced) { m_synced = synced; }
    // The element's "Type" read through the controller; 0 without a controller.
    int elementType() const;

private:
    QmdItemId m_id;
    QPointer<NetworkScene> m_scene;
    // False while the item applies document data to itself.
    bool m_synced = true;
};

#endif // ELEMENTITEM_H
