#ifndef NETWORKPRINTING_H
#define NETWORKPRINTING_H

#include <QRectF>

class QGraphicsScene;
class QPainter;

// What a print of a network shows. The scene rectangle counts only nodes and
// text boxes (and the area around the origin); markers, arrow heads and thick
// outlines reach past it, so a print takes in every item's whole drawing too.

// The scene rectangle united with the bounding rectangles of all items, with
// a margin, so that nothing drawn meets the page edge.
QRectF printedSceneRect(const QGraphicsScene &scene);

// Renders that part of the scene into the whole of the painter's device,
// keeping the aspect ratio.
void renderNetwork(QPainter &painter, QGraphicsScene &scene);

#endif // NETWORKPRINTING_H
