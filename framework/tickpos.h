#ifndef TICKPOS_H
#define TICKPOS_H

#include <QMetaType>
#include <QVariant>
#include <QtGlobal>

namespace QmdVelka {

// A position on the canvas in ticks (665280 per principal).
struct TickPos
{
    TickPos() = default;
    TickPos(qint64 x, qint64 y) : x(x), y(y) {}

    // Wraps the position in a QVariant of the registered type
    // "QmdVelka::TickPos"; such variants compare by value.
    operator QVariant() const { return QVariant::fromValue(*this); }

    bool operator==(const TickPos &other) const { return x == other.x && y == other.y; }
    bool operator!=(const TickPos &other) const { return !(*this == other); }
    TickPos operator+(const TickPos &other) const { return TickPos(x + other.x, y + other.y); }
    TickPos operator-(const TickPos &other) const { return TickPos(x - other.x, y - other.y); }

    qint64 x = 0;
    qint64 y = 0;
};

} // namespace QmdVelka

Q_DECLARE_METATYPE(QmdVelka::TickPos)

#endif // TICKPOS_H
