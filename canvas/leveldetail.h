#ifndef LEVELDETAIL_H
#define LEVELDETAIL_H

#include <QPainter>
#include <QStyleOptionGraphicsItem>

// Zoomed far out, the canvas leaves out the details of its items that would
// come out smaller than a pixel or two, as the grid leaves out lines closer
// than 2 device pixels: two strokes that close merge into one, and drawing
// thousands of such details costs more than the rest of the picture.
namespace LevelOfDetail {

// The closest two strokes of a detail may come on the device and still show apart.
constexpr qreal MinimumDevicePixels = 2.0;

// Whether a detail whose strokes are itemDistance apart in the painter's
// current (item) coordinates shows on the device.
inline bool shows(const QPainter *painter, qreal itemDistance)
{
    return itemDistance * QStyleOptionGraphicsItem::levelOfDetailFromTransform(painter->worldTransform())
           >= MinimumDevicePixels;
}

} // namespace LevelOfDetail

#endif // LEVELDETAIL_H
