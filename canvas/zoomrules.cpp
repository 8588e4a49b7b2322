#include "zoomrules.h"

#include <cmath>

namespace {

constexpr double contentsMargin = 20.0;

} // namespace

double usableZoomScale(const QVariant &stored)
{
    bool ok = false;
    const double scale = stored.toDouble(&ok);
    if (!ok || !std::isfinite(scale) || scale <= 0.0)
        return 1.0;
    return qBound(MinZoomScale, scale, MaxZoomScale);
}

ZoomMode zoomModeFor(double scale, bool zoomOut)
{
    const double next = scale * (zoomOut ? 0.5 : 2.0);
    if (next < MinZoomScale || next > MaxZoomScale)
        return ZoomMode::None;
    return zoomOut ? ZoomMode::Out : ZoomMode::In;
}

QRectF wantedSceneRect(const QSizeF &visibleSize, const QRectF &contentsRect)
{
    const QRectF visible(-visibleSize.width() / 2.0, -visibleSize.height() / 2.0, visibleSize.width(),
                         visibleSize.height());
    if (contentsRect.isNull())
        return visible;
    return visible.united(
        contentsRect.adjusted(-contentsMargin, -contentsMargin, contentsMargin, contentsMargin));
}
