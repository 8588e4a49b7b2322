#ifndef EDGEUSAGETILE_H
#define EDGEUSAGETILE_H

#include "qmdtypes.h"

#include <QGraphicsPixmapItem>
#include <QObject>
#include <QPointer>

class EdgeUsageListEditor;
class QTimeLine;

// One entry of a node's edge-usage list as a tile in the editor's strip: coloured
// by the node's number for the edge, labelled with the use count ("∞" for 0).
// The user drags it to another slot, double-clicks it to edit the count and
// removes it with Delete or Backspace; the tile reports these, the editor acts.
//
// A tile is settled unless the program is placing it (at once or by a slide);
// only a settled tile keeps a drag inside the strip and reports its target slot.
class EdgeUsageTile : public QObject, public QGraphicsPixmapItem
{
    Q_OBJECT

public:
    static const int slotWidth = 31; // tile width and the 1-pixel gap

    // Adds itself to the editor's scene.
    EdgeUsageTile(EdgeUsageListEditor *editor, QmdItemId edgeId, int arcIdentifier, int width, int height);
    ~EdgeUsageTile() override;

    EdgeUsageListEditor *editor() const;
    QmdItemId edgeId() const { return m_edgeId; }
    int arcIdentifier() const { return m_arcIdentifier; }
    int uses() const { return m_uses; }
    void setUses(int uses);
    // What the tile shows: the use count, "∞" for 0.
    QString label() const;

    // The tile's place in its editor's strip; -1 when it has none.
    int index() const;
    static int slotX(int index) { return slotWidth * index; }
    // Puts the tile at its slot, sliding over 300 ms or at once.
    void moveToSlot(bool animated);
    void animateTo(int x);
    bool isMoving() const;
    bool isSettled() const { return m_settled; }

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

signals:
    void editTriggered(EdgeUsageTile *tile);
    void visualizeMove(EdgeUsageTile *tile, int to);
    void moveFinished(EdgeUsageTile *tile);
    void removeTriggered(EdgeUsageTile *tile);

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;
    void hoverEnterEvent(QGraphicsSceneHoverEvent *event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override;

private slots:
    void onTimeLineFrameChanged(int frame);
    void onTimeLineFinished();

private:
    QPointF constrainedPos(const QPointF &proposed);

    QPointer<EdgeUsageListEditor> m_editor;
    QmdItemId m_edgeId;
    int m_arcIdentifier;
    int m_uses = 0;
    int m_width;
    int m_height;
    QTimeLine *m_timeLine;
    bool m_settled = true;
};

#endif // EDGEUSAGETILE_H
