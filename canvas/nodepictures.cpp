#include "nodepictures.h"

#include <QHash>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QTransform>

#include <cmath>

namespace NodePictures {

bool Look::operator==(const Look &other) const
{
    return marker == other.marker && outline == other.outline && fill == other.fill && selected == other.selected && muted == other.muted
           && signallingMethod == other.signallingMethod && circle == other.circle;
}

namespace {

// A look at one scale and one offset within a device pixel.
struct Key
{
    Look look;
    qreal scaleX = 1;
    qreal scaleY = 1;
    qreal offsetX = 0;
    qreal offsetY = 0;
    int hints = 0;
    bool operator==(const Key &other) const
    {
        return look == other.look && scaleX == other.scaleX && scaleY == other.scaleY && offsetX == other.offsetX
               && offsetY == other.offsetY && hints == other.hints;
    }
};

size_t qHash(const Key &key, size_t seed = 0)
{
    return qHashMulti(seed, key.look.marker, key.look.outline, key.look.fill, key.look.selected, key.look.muted,
                      key.look.signallingMethod, key.scaleX, key.offsetX, key.offsetY, key.hints);
}

struct Picture
{
    QImage image;
    // Device position of the image's top left relative to the node's origin
    // rounded down to whole pixels.
    QPoint corner;
};

// Nodes on the grid need a few pictures; nodes placed anywhere and zooming
// make more, and the oldest go when there are too many.
constexpr int maximumPictures = 512;

} // namespace

bool paint(QPainter *painter, const Look &look, const QRectF &bounds, const std::function<void(QPainter *)> &draw)
{
    const QTransform transform = painter->worldTransform();
    if (transform.type() > QTransform::TxScale || !painter->paintEngine()
        || painter->paintEngine()->type() != QPaintEngine::Raster || painter->opacity() != 1.0
        || painter->compositionMode() != QPainter::CompositionMode_SourceOver || transform.m11() <= 0
        || transform.m22() <= 0)
        return false;
    const QPointF origin = transform.map(QPointF(0, 0));
    const QPointF whole(std::floor(origin.x()), std::floor(origin.y()));
    Key key;
    key.look = look;
    key.scaleX = transform.m11();
    key.scaleY = transform.m22();
    key.offsetX = origin.x() - whole.x();
    key.offsetY = origin.y() - whole.y();
    key.hints = int(painter->renderHints());

    static QHash<Key, Picture> pictures;
    auto found = pictures.find(key);
    if (found == pictures.end()) {
        // The bounds at this offset, with a pixel to spare for antialiasing.
        const QTransform local(key.scaleX, 0, 0, key.scaleY, key.offsetX, key.offsetY);
        const QRect area = local.mapRect(bounds).toAlignedRect().adjusted(-1, -1, 1, 1);
        Picture picture;
        picture.corner = area.topLeft();
        picture.image = QImage(area.size(), QImage::Format_ARGB32_Premultiplied);
        picture.image.fill(Qt::transparent);
        QPainter imagePainter(&picture.image);
        imagePainter.setRenderHints(painter->renderHints());
        imagePainter.setTransform(local * QTransform::fromTranslate(-area.left(), -area.top()));
        draw(&imagePainter);
        imagePainter.end();
        if (pictures.size() >= maximumPictures)
            pictures.clear();
        found = pictures.insert(key, picture);
    }
    painter->setWorldTransform(QTransform());
    painter->drawImage(whole.toPoint() + found->corner, found->image);
    painter->setWorldTransform(transform);
    return true;
}

} // namespace NodePictures
