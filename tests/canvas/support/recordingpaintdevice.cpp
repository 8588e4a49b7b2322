#include "recordingpaintdevice.h"

class RecordingPaintDevice::Engine : public QPaintEngine
{
public:
    Engine() : QPaintEngine(QPaintEngine::AllFeatures) {}

    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    Type type() const override { return QPaintEngine::User; }

    void updateState(const QPaintEngineState &state) override
    {
        if (state.state() & QPaintEngine::DirtyPen)
            m_pen = state.pen();
        if (state.state() & QPaintEngine::DirtyBrush)
            m_brush = state.brush();
    }

    void drawPath(const QPainterPath &) override { record(); }
    void drawLines(const QLineF *, int) override { record(); }
    void drawPolygon(const QPointF *, int, PolygonDrawMode) override { record(); }
    void drawRects(const QRectF *, int) override { record(); }
    void drawPoints(const QPointF *, int) override { record(); }
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
    void drawTextItem(const QPointF &, const QTextItem &) override {}

    QList<RecordingPaintDevice::Stroke> strokes;

private:
    void record() { strokes.append({m_pen, m_brush}); }

    QPen m_pen;
    QBrush m_brush;
};

RecordingPaintDevice::RecordingPaintDevice() : m_engine(std::make_unique<Engine>())
{
}

RecordingPaintDevice::~RecordingPaintDevice() = default;

QPaintEngine *RecordingPaintDevice::paintEngine() const
{
    return m_engine.get();
}

const QList<RecordingPaintDevice::Stroke> &RecordingPaintDevice::strokes() const
{
    return m_engine->strokes;
}

int RecordingPaintDevice::metric(PaintDeviceMetric metric) const
{
    switch (metric) {
    case PdmWidth:
    case PdmHeight:
        return 200;
    case PdmWidthMM:
    case PdmHeightMM:
        return 53;
    case PdmNumColors:
        return 0x7fffffff;
    case PdmDepth:
        return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return 96;
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return int(QPaintDevice::devicePixelRatioFScale());
    default:
        return 0;
    }
}
