#include "sharedpaint.h"

#include <QList>

namespace {

// A document draws with a handful of pens and brushes; colours that come and
// go (highlights, instrument colours) are let go of when the list is full.
constexpr int maximumShared = 64;

template <class T>
T shared(QList<T> &list, const T &value)
{
    for (const T &held : std::as_const(list)) {
        if (held == value)
            return held;
    }
    if (list.size() >= maximumShared)
        list.clear();
    list.append(value);
    return value;
}

} // namespace

QPen sharedPen(const QPen &pen)
{
    static QList<QPen> pens;
    return shared(pens, pen);
}

QBrush sharedBrush(const QBrush &brush)
{
    static QList<QBrush> brushes;
    return shared(brushes, brush);
}
