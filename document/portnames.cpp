#include "portnames.h"

#include <QRegularExpression>

namespace {

struct SplitName
{
    QString prefix;
    qulonglong number = 0;
};

SplitName splitPortName(const QString &name)
{
    static const QRegularExpression trailingDigits(QStringLiteral("\\d+$"));
    SplitName split;
    const QRegularExpressionMatch match = trailingDigits.match(name);
    if (!match.hasMatch()) {
        split.prefix = name;
        return split;
    }
    split.prefix = name.left(match.capturedStart());
    // A run too long for 64 bits reads as 0, as an unreadable number does.
    split.number = match.captured().toULongLong();
    return split;
}

} // namespace

bool portNameLessThan(const QString &a, const QString &b)
{
    const SplitName sa = splitPortName(a);
    const SplitName sb = splitPortName(b);
    const int byPrefix = QString::localeAwareCompare(sa.prefix, sb.prefix);
    if (byPrefix != 0)
        return byPrefix < 0;
    return sa.number < sb.number;
}
