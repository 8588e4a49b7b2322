#ifndef ZOOMRULES_H
#define ZOOMRULES_H

#include <QRectF>
#include <QSizeF>
#include <QVariant>

// The rules of the canvas zoom, apart from any view: which factors are used,
// what the zoom tool may do next, and how large the scene must be.

// The zoom factors the canvas shows, both included.
constexpr double MinZoomScale = 0.25;
constexpr double MaxZoomScale = 8.0;

// What a click of the zoom tool does.
enum class ZoomMode {
    In = 0,  // doubles the factor
    Out = 1, // halves it
    None = 2 // would leave the limits: does nothing
};

// The factor a stored "ZoomScale" stands for. Files may hold anything there:
// a value that is missing, not a number, infinite, zero or negative means 1.0
// (a zero factor makes the view's transformation singular and a NaN spoils
// every mapping); others are held within the limits.
double usableZoomScale(const QVariant &stored);

// The mode of the zoom tool at the factor scale, for zooming out or in.
ZoomMode zoomModeFor(double scale, bool zoomOut);

// The scene rectangle a view needs: the visible area (in scene units) centred
// on the scene origin, united with the contents rectangle grown by a margin of
// 20 scene units on every side (nothing when the contents rectangle is null).
QRectF wantedSceneRect(const QSizeF &visibleSize, const QRectF &contentsRect);

#endif // ZOOMRULES_H
