#ifndef NODEPICTURES_H
#define NODEPICTURES_H

#include <QRectF>
#include <QRgb>

#include <functional>

class QPainter;

// Pictures of the looks that many nodes share. Rasterizing a node's
// antialiased circle and outline is most of the cost of painting a network,
// and thousands of nodes look alike: each look is drawn once for each zoom
// and position within a device pixel into a picture, and copied from there.
// Voice group markers, filled and outlined as nodes are and alike as well,
// are copied the same way.
// A copy can differ from direct drawing by a level of a colour channel where
// a stroke partly covers the translucent fill (the layers are blended in
// another order), two where a glyph's stroke crosses the outline too.
namespace NodePictures {

// What a node's (or a marker's) drawing depends on besides the painter.
struct Look
{
    bool marker = false;
    QRgb outline = 0;
    QRgb fill = 0;
    bool selected = false;
    bool muted = false;
    int signallingMethod = 0;
    // The node's circle, or the marker's bounding rectangle.
    QRectF circle;
    bool operator==(const Look &other) const;
};

// Draws through the look's picture, made with draw() when there is none yet;
// bounds (item coordinates) hold everything draw() paints. False, drawing
// nothing, where a copy would not be the same drawing: a transformation that
// rotates or shears, a paint engine other than the raster one (printing,
// pictures), translucency or another composition mode.
bool paint(QPainter *painter, const Look &look, const QRectF &bounds, const std::function<void(QPainter *)> &draw);

} // namespace NodePictures

#endif // NODEPICTURES_H
