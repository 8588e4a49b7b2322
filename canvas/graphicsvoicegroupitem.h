#ifndef GRAPHICSVOICEGROUPITEM_H
#define GRAPHICSVOICEGROUPITEM_H

#include "graphicselementitem.h"

#include <QGraphicsPolygonItem>

// One voice group: a triangular marker on the left of the node it releases
// its voices into ("ToNode"), pointing at it. It sits at that node's position
// and follows it, and is drawn in the colour of its initial instrument, whose
// label is its tooltip.
//
// The preview marker that the view shows while the user places a voice group
// has id 0 and no controller.
class GraphicsVoiceGroupItem : public GraphicsElementItem<QGraphicsPolygonItem>
{
public:
    enum { Type = VoiceGroupItemType };

    GraphicsVoiceGroupItem(QmdItemId id, QmdVelkaController *controller, NetworkScene *scene,
                           QGraphicsItem *parent = nullptr);
    explicit GraphicsVoiceGroupItem(NetworkScene *scene, QGraphicsItem *parent = nullptr);

    int type() const override { return Type; }

    // The element's "ToNode"; 0 without a controller.
    QmdItemId toNode() const;
    // Colour and tooltip of the instrument; an instrument without a valid
    // colour (none, or one removed) gives the default look.
    void applyInstrument(QmdItemId instrument);
    // The look of a group without an instrument colour.
    void applyDefaultLook();

    void onElementDataChangedOrRemoved(QmdItemId id, const QStringList &keys, QmdRequestId rid) override;
    void onInstrumentDataChangedOrRemoved(QmdItemId id, const QStringList &keys, QmdRequestId rid) override;

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget = nullptr) override;

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;

private:
    void init();
    void setPenColor(const QColor &color);
};

#endif // GRAPHICSVOICEGROUPITEM_H
