#ifndef DISPLAYSCALE_H
#define DISPLAYSCALE_H

#include "qmdvelkakeys.h"

#include <QtGlobal>

class QPaintDevice;

// Canvas units. One principal (the grid unit of the canvas) is
// QmdVelka::TicksPerPrincipal ticks and is drawn 120 points (1/72 inch) long.
constexpr quint64 ticksPerPrincipal = QmdVelka::TicksPerPrincipal;
constexpr double pointsPerPrincipal = 120.0;

// Sets the process-wide display scale from a logical resolution in dots per inch.
// The application calls it once at start-up, with the primary screen's logical DPI,
// before any document window exists. Non-positive or non-finite resolutions leave
// the values unchanged. Returns ticksPerPrincipal.
quint64 setDisplayScale(double dpiX, double dpiY);
// The same with the logical DPI of a paint device; a null device changes nothing.
quint64 setDisplayScaleFromDevice(const QPaintDevice *device);

// The display values below are all 0 until one of the two setters has run.
double displayScaleX(); // logical DPI in x / 72
double displayScaleY(); // logical DPI in y / 72
double pixelsPerTickX();
double pixelsPerTickY();
double ticksPerPixelX();
double ticksPerPixelY();

#endif // DISPLAYSCALE_H
