#ifndef GRIDBACKGROUND_H
#define GRIDBACKGROUND_H

#include <QColor>
#include <QRectF>
#include <QVariant>

class QPainter;

// The canvas background: a colour and, when the grid shows, up to four layers
// of musical time over it: division lines, principal lines, division points
// and principal points, each later layer over the earlier ones. A layer whose
// colour is fully transparent is left out, and so is one whose spacing would
// come out under two device pixels (only strong zoom-out thins the grid).
class GridBackground
{
public:
    // The divisions of a principal that the grid uses for a document's
    // "DivsPerPrincipal" as stored: files may hold anything there, so anything
    // not above 0 (or not a number) is 1 and anything above a tick a
    // division is one division a tick.
    static double divisionsFrom(const QVariant &divsPerPrincipal);

    // Paints the exposed scene rectangle.
    void paint(QPainter *painter, const QRectF &exposed) const;

    double divisions = 1;
    bool showGrid = true;
    QColor backgroundColor;
    QColor divisionLinesColor;
    QColor principalLinesColor;
    QColor divisionPointsColor;
    QColor principalPointsColor;
};

#endif // GRIDBACKGROUND_H
