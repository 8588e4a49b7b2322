#include "displayscale.h"

#include <QPaintDevice>

#include <atomic>
#include <cmath>

namespace {

struct DisplayScale
{
    std::atomic<double> scaleX{0.0};
    std::atomic<double> scaleY{0.0};
    std::atomic<double> pixelsPerTickX{0.0};
    std::atomic<double> pixelsPerTickY{0.0};
    std::atomic<double> ticksPerPixelX{0.0};
    std::atomic<double> ticksPerPixelY{0.0};
};

DisplayScale &displayScale()
{
    static DisplayScale scale;
    return scale;
}

bool usableDpi(double dpi)
{
    return std::isfinite(dpi) && dpi > 0.0;
}

} // namespace

quint64 setDisplayScale(double dpiX, double dpiY)
{
    if (!usableDpi(dpiX) || !usableDpi(dpiY))
        return ticksPerPrincipal;
    DisplayScale &scale = displayScale();
    const double principalTicks = double(ticksPerPrincipal);
    const double sx = dpiX / 72.0;
    const double sy = dpiY / 72.0;
    scale.scaleX = sx;
    scale.scaleY = sy;
    scale.pixelsPerTickX = pointsPerPrincipal * sx / principalTicks;
    scale.pixelsPerTickY = pointsPerPrincipal * sy / principalTicks;
    scale.ticksPerPixelX = principalTicks / (pointsPerPrincipal * sx);
    scale.ticksPerPixelY = principalTicks / (pointsPerPrincipal * sy);
    return ticksPerPrincipal;
}

quint64 setDisplayScaleFromDevice(const QPaintDevice *device)
{
    if (!device)
        return ticksPerPrincipal;
    return setDisplayScale(device->logicalDpiX(), device->logicalDpiY());
}

double displayScaleX() { return displayScale().scaleX; }
double displayScaleY() { return displayScale().scaleY; }
double pixelsPerTickX() { return displayScale().pixelsPerTickX; }
double pixelsPerTickY() { return displayScale().pixelsPerTickY; }
double ticksPerPixelX() { return displayScale().ticksPerPixelX; }
double ticksPerPixelY() { return displayScale().ticksPerPixelY; }
