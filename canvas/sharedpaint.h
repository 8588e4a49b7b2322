#ifndef SHAREDPAINT_H
#define SHAREDPAINT_H

#include <QBrush>
#include <QPen>

// One copy of each pen and brush that many canvas items draw with. A painter
// takes a pen or brush that shares its data with the one it holds at no cost;
// an equal copy of its own costs a comparison and, for a pen, a change of the
// paint engine's state, item after item. Only the GUI thread may call these.
QPen sharedPen(const QPen &pen);
QBrush sharedBrush(const QBrush &brush);

#endif // SHAREDPAINT_H
