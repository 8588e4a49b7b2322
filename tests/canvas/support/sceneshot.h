#ifndef SCENESHOT_H
#define SCENESHOT_H

#include <QColor>
#include <QGraphicsView>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <memory>

class QGraphicsScene;

// A plain view on a scene for tests that look at pixels: not shown, sized to
// show sceneRect at the zoom, with the background cached as the canvas view
// caches it.
std::unique_ptr<QGraphicsView> makeSceneView(QGraphicsScene *scene, const QRectF &sceneRect, qreal zoom = 1.0);

// The view's picture. With VELKA_TEST_PICTURES set to a folder, also saved
// there as <name>.png, to look at.
QImage grabView(QGraphicsView *view, const QString &name = QString());
// Saves any picture the same way, when VELKA_TEST_PICTURES is set.
void keepPicture(const QImage &image, const QString &name);

// True when one of the 3 x 3 pixels around the view pixel of the scene point
// has the colour (alpha ignored).
bool colorNear(const QImage &image, const QGraphicsView *view, const QPointF &scenePoint, const QColor &color);
// True when all 3 x 3 pixels there have it.
bool colorAround(const QImage &image, const QGraphicsView *view, const QPointF &scenePoint, const QColor &color);
// The pixel of the scene point.
QColor colorAt(const QImage &image, const QGraphicsView *view, const QPointF &scenePoint);

#endif // SCENESHOT_H
