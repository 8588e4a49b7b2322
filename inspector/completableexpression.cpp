#include "completableexpression.h"

namespace {

// The length of the quantifier at from (0 when there is none).
int quantifierLength(const QString &pattern, int from)
{
    if (from >= pattern.size())
        return 0;
    const QChar c = pattern.at(from);
    if (c == QLatin1Char('?') || c == QLatin1Char('*') || c == QLatin1Char('+'))
        return 1;
    if (c == QLatin1Char('{')) {
        const int close = pattern.indexOf(QLatin1Char('}'), from);
        if (close > from)
            return close - from + 1;
    }
    return 0;
}

// The quantifier of an atom that may also be left out: its minimum becomes 0.
QString optionalQuantifier(const QString &quantifier)
{
    if (quantifier.isEmpty() || quantifier == QLatin1String("?"))
        return QStringLiteral("?");
    if (quantifier == QLatin1String("*") || quantifier == QLatin1String("+"))
        return QStringLiteral("*");
    // {m}, {m,} or {m,n}
    const QString inner = quantifier.mid(1, quantifier.size() - 2);
    const int comma = inner.indexOf(QLatin1Char(','));
    if (comma < 0)
        return QStringLiteral("{0,%1}").arg(inner);
    const QString maximum = inner.mid(comma + 1);
    return maximum.isEmpty() ? QStringLiteral("*") : QStringLiteral("{0,%1}").arg(maximum);
}

// The length of the character atom at from: an escape, a class or one character.
int atomLength(const QString &pattern, int from)
{
    const QChar c = pattern.at(from);
    if (c == QLatin1Char('\\'))
        return qMin(2, int(pattern.size()) - from);
    if (c != QLatin1Char('['))
        return 1;
    int i = from + 1;
    if (i < pattern.size() && pattern.at(i) == QLatin1Char('^'))
        ++i;
    if (i < pattern.size() && pattern.at(i) == QLatin1Char(']'))
        ++i; // a leading ']' is a member of the class
    while (i < pattern.size() && pattern.at(i) != QLatin1Char(']'))
        i += pattern.at(i) == QLatin1Char('\\') ? 2 : 1;
    return qMin(i + 1, int(pattern.size())) - from;
}

} // namespace

CompletableExpression::CompletableExpression(const QString &pattern)
    : m_completion(QRegularExpression::anchoredPattern(completionPattern(pattern)))
{
}

bool CompletableExpression::canComplete(const QString &text) const
{
    return m_completion.match(text).hasMatch();
}

QString CompletableExpression::completionPattern(const QString &pattern)
{
    QString result;
    result.reserve(pattern.size() * 2);
    int i = 0;
    while (i < pattern.size()) {
        const QChar c = pattern.at(i);
        if (c == QLatin1Char('(')) {
            // A group's own syntax ("(?:") is copied with it.
            const int syntax = pattern.mid(i, 3) == QLatin1String("(?:") ? 3 : 1;
            result += pattern.mid(i, syntax);
            i += syntax;
        } else if (c == QLatin1Char(')')) {
            const int quantifier = quantifierLength(pattern, i + 1);
            result += pattern.mid(i, 1 + quantifier);
            i += 1 + quantifier;
        } else if (c == QLatin1Char('|') || c == QLatin1Char('^') || c == QLatin1Char('$')) {
            result += c;
            ++i;
        } else {
            const int atom = atomLength(pattern, i);
            const int quantifier = quantifierLength(pattern, i + atom);
            result += pattern.mid(i, atom);
            result += optionalQuantifier(pattern.mid(i + atom, quantifier));
            i += atom + quantifier;
        }
    }
    return result;
}
