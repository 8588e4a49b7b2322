#ifndef RECORDINGPAINTDEVICE_H
#define RECORDINGPAINTDEVICE_H

#include <QBrush>
#include <QList>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPen>

#include <memory>

// A paint device that draws nothing and remembers the pen and brush of every
// shape painted on it, for tests of what an item's paint() hands the painter
// (dash patterns and widths that pixels cannot show). 96 DPI.
class RecordingPaintDevice : public QPaintDevice
{
public:
    struct Stroke
    {
        QPen pen;
        QBrush brush;
    };

    RecordingPaintDevice();
    ~RecordingPaintDevice() override;

    QPaintEngine *paintEngine() const override;
    // One entry per path, line set, polygon, rectangle set or point set drawn.
    const QList<Stroke> &strokes() const;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    class Engine;
    std::unique_ptr<Engine> m_engine;
};

#endif // RECORDINGPAINTDEVICE_H
