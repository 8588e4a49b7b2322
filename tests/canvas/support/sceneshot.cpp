#include "sceneshot.h"

#include <QDir>
#include <QGraphicsScene>

std::unique_ptr<QGraphicsView> makeSceneView(QGraphicsScene *scene, const QRectF &sceneRect, qreal zoom)
{
    auto view = std::make_unique<QGraphicsView>(scene);
    view->setFrameShape(QFrame::NoFrame);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setCacheMode(QGraphicsView::CacheBackground);
    view->setSceneRect(sceneRect);
    view->setTransform(QTransform::fromScale(zoom, zoom));
    view->resize(qCeil(sceneRect.width() * zoom), qCeil(sceneRect.height() * zoom));
    view->centerOn(sceneRect.center());
    return view;
}

QImage grabView(QGraphicsView *view, const QString &name)
{
    const QImage image = view->viewport()->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    keepPicture(image, name);
    return image;
}

void keepPicture(const QImage &image, const QString &name)
{
    const QString folder = qEnvironmentVariable("VELKA_TEST_PICTURES");
    if (!folder.isEmpty() && !name.isEmpty()) {
        QDir().mkpath(folder);
        image.save(QDir(folder).filePath(name + QStringLiteral(".png")));
    }
}

namespace {

template <class Test>
int countAround(const QImage &image, const QGraphicsView *view, const QPointF &scenePoint, Test test)
{
    const QPoint centre = view->mapFromScene(scenePoint);
    int count = 0;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const QPoint p = centre + QPoint(dx, dy);
            if (image.valid(p) && test(image.pixelColor(p)))
                ++count;
        }
    }
    return count;
}

bool sameRgb(const QColor &a, const QColor &b)
{
    return a.red() == b.red() && a.green() == b.green() && a.blue() == b.blue();
}

} // namespace

bool colorNear(const QImage &image, const QGraphicsView *view, const QPointF &scenePoint, const QColor &color)
{
    return countAround(image, view, scenePoint, [&](const QColor &c) { return sameRgb(c, color); }) > 0;
}

bool colorAround(const QImage &image, const QGraphicsView *view, const QPointF &scenePoint, const QColor &color)
{
    return countAround(image, view, scenePoint, [&](const QColor &c) { return sameRgb(c, color); }) == 9;
}

QColor colorAt(const QImage &image, const QGraphicsView *view, const QPointF &scenePoint)
{
    return image.pixelColor(view->mapFromScene(scenePoint));
}
