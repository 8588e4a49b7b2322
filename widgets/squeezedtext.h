#ifndef SQUEEZEDTEXT_H
#define SQUEEZEDTEXT_H

#include <QFontMetrics>
#include <QString>

// The shortening the squeezed label and check box share.
namespace SqueezedText {

// text when it fits in width pixels of metrics, else its elided form.
inline QString fitted(const QString &text, const QFontMetrics &metrics, int width, Qt::TextElideMode mode)
{
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    return metrics.elidedText(text, mode, width);
}

} // namespace SqueezedText

#endif // SQUEEZEDTEXT_H
