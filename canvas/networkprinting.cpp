#include "networkprinting.h"

#include <QGraphicsScene>

namespace {

// Scene units left around the outermost drawing.
constexpr qreal printMargin = 20.0;

} // namespace

QRectF printedSceneRect(const QGraphicsScene &scene)
{
    const QRectF drawn = scene.itemsBoundingRect();
    if (drawn.isNull())
        return scene.sceneRect();
    return scene.sceneRect().united(drawn.adjusted(-printMargin, -printMargin, printMargin, printMargin));
}

void renderNetwork(QPainter &painter, QGraphicsScene &scene)
{
    scene.render(&painter, QRectF(), printedSceneRect(scene), Qt::KeepAspectRatio);
}
