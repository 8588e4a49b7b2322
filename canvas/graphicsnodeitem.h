#ifndef GRAPHICSNODEITEM_H
#define GRAPHICSNODEITEM_H

#include "graphicselementitem.h"

#include <QColor>
#include <QGraphicsEllipseItem>
#include <QMap>

class QGraphicsSimpleTextItem;

// One node of the network: a circle in the nodes colour with a glyph for its
// signalling method, outlined with dashes while the node is muted, split into
// pie slices in the instruments' colours while voices play it, with its pitch
// list as tooltip and a small hit counter above its upper-right edge.
//
// The preview node that the view shows while the user places a node has id 0
// and no controller.
class GraphicsNodeItem : public GraphicsElementItem<QGraphicsEllipseItem>
{
public:
    enum { Type = NodeItemType };

    GraphicsNodeItem(QmdItemId id, QmdVelkaController *controller, NetworkScene *scene,
                     QGraphicsItem *parent = nullptr);
    explicit GraphicsNodeItem(NetworkScene *scene, QGraphicsItem *parent = nullptr);

    int type() const override { return Type; }

    // 0 sequential (no glyph), 1 parallel, 2 random.
    int signallingMethod() const { return m_signallingMethod; }
    void setSignallingMethod(int method);
    bool isMuted() const { return m_muted; }
    void setMuted(bool muted);

    unsigned counter() const { return m_counter; }
    void setCounter(unsigned value) override;
    bool isCounterVisible() const;
    void setCounterVisible(bool visible) override;
    QGraphicsSimpleTextItem *counterLabel() const { return m_counterLabel; }

    // Outline in the colour, fill in the colour at alpha 40.
    void applyColor(const QColor &color);
    // Colour of the counter label.
    void applyAnnotationColor(const QColor &color);
    // Takes the scene's nodes and annotation colours.
    void applySceneColors() override;

    // One flash per voice: a second flash of the same voice replaces its
    // colour. With noUpdate the caller repaints the node itself.
    void startFlash(quint32 groupId, quint32 voiceNumber, const QColor &color, bool noUpdate) override;
    void endFlash(quint32 groupId, quint32 voiceNumber, bool noUpdate) override;
    int flashCount() const { return m_flashCount; }
    // The flash colours by voice group and voice number; slices are drawn in
    // this order.
    const QMap<quint32, QMap<quint32, QColor>> &flashes() const { return m_flashes; }

    void onElementDataChangedOrRemoved(QmdItemId id, const QStringList &keys, QmdRequestId rid) override;

    QRectF boundingRect() const override;
    // The circle, and the counter label while it shows, so that a press on the
    // label reaches the node.
    QPainterPath shape() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget = nullptr) override;

    // The pitch list wrapped after the first comma at or beyond 30 characters
    // of each line.
    static QString pitchListToolTip(const QString &pitchList);

private:
    void init();
    // The circle with its outline.
    QRectF outlineRect() const;
    // What paint() draws: the circle, its selected outline and the glyph.
    QRectF paintedRect() const;
    void drawGlyph(QPainter *painter, const QRectF &r) const;
    // The pen paint() outlines the circle and draws the glyph with.
    QPen outlinePen() const;

    QGraphicsSimpleTextItem *m_counterLabel = nullptr;
    int m_signallingMethod = 0;
    bool m_muted = false;
    unsigned m_counter = 0;
    QMap<quint32, QMap<quint32, QColor>> m_flashes;
    int m_flashCount = 0;
};

#endif // GRAPHICSNODEITEM_H
