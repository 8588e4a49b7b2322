#ifndef IMAGESTYLE_H
#define IMAGESTYLE_H

#include <QColor>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QSize>
#include <QString>

#include <functional>

// The one look of Velka's pictures: flat shapes in a slate ink with one blue
// accent, on light grey surfaces; pictures meant for the canvas carry a light
// halo so that they read on dark and light backgrounds alike.
//
// A drawer paints one picture in logical pixels (the painter is already scaled
// for the "@2x" version); the registry maps picture paths to drawers.
namespace ImageStyle {

typedef std::function<void(QPainter &painter, const QSize &size)> Drawer;
typedef QHash<QString, Drawer> Registry;

const QColor ink(46, 52, 64);
const QColor softInk(98, 106, 120);
const QColor accent(44, 101, 169);
const QColor halo(255, 255, 255, 230);
const QColor edgeLine(110, 110, 110);

// A filled shape in ink, optionally with a halo stroke around it first.
void fillShape(QPainter &painter, const QPainterPath &path, const QColor &colour, qreal haloWidth = 0);
// A stroked line shape.
void strokeShape(QPainter &painter, const QPainterPath &path, const QColor &colour, qreal width,
                 qreal haloWidth = 0);
// A filled arrow head whose tip is at tip, pointing along the direction from `from`.
QPainterPath arrowHead(const QPointF &from, const QPointF &tip, qreal length, qreal halfWidth);
// A vertical gradient from top to bottom colour over the rectangle.
QLinearGradient verticalGradient(const QRectF &rect, const QColor &top, const QColor &bottom);

// The families of pictures, each adding its drawers to the registry.
void addSymbols(Registry &registry);
void addSurfaces(Registry &registry);
void addLcdGlyphs(Registry &registry);
void addAboutPicture(Registry &registry);

} // namespace ImageStyle

#endif // IMAGESTYLE_H
