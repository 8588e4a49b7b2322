#include "qmdvelkavalues.h"
#include "qmdvelkakeys.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>

namespace QmdVelkaValues {

namespace {

struct Word
{
    QLatin1StringView key;
    int value;
    QLatin1StringView word;
};

// The written word of each value comes first; later rows are older words
// that are still read.
const Word words[] = {
    {QLatin1StringView("Type"), 1, QLatin1StringView("Edge")},
    {QLatin1StringView("Type"), 2, QLatin1StringView("Node")},
    {QLatin1StringView("Type"), 3, QLatin1StringView("TextBox")},
    {QLatin1StringView("Type"), 4, QLatin1StringView("VoiceGroup")},
    {QLatin1StringView("Type"), 1, QLatin1StringView("Arc")},
    {QLatin1StringView("Type"), 4, QLatin1StringView("Player")},
    {QLatin1StringView("Path"), 0, QLatin1StringView("CityBlock")},
    {QLatin1StringView("Path"), 1, QLatin1StringView("CityBlockFlipped")},
    {QLatin1StringView("Path"), 2, QLatin1StringView("Direct")},
    {QLatin1StringView("SignallingMethod"), 0, QLatin1StringView("Sequential")},
    {QLatin1StringView("SignallingMethod"), 1, QLatin1StringView("Parallel")},
    {QLatin1StringView("SignallingMethod"), 2, QLatin1StringView("Random")},
};

} // namespace

LeafPlace leafPlace(const QStringList &path)
{
    static const QRegularExpression styleColourKey(QStringLiteral("^Style.*Color$"));
    if (path.isEmpty())
        return LeafPlace::Other;
    if (path.size() == 1)
        return styleColourKey.match(path.first()).hasMatch() ? LeafPlace::StyleColour : LeafPlace::RootValue;
    if (path.size() < 3)
        return LeafPlace::Other;
    const QString &grandparentKey = path.at(path.size() - 3);
    if (grandparentKey == QmdVelkaKeys::Elements)
        return LeafPlace::ElementValue;
    if (grandparentKey == QmdVelkaKeys::Instruments)
        return LeafPlace::InstrumentValue;
    return LeafPlace::Other;
}

bool isWordKey(const QString &key)
{
    return key == QmdVelkaKeys::Type || key == QmdVelkaKeys::Path || key == QmdVelkaKeys::SignallingMethod;
}

QString wordOf(const QString &key, int value)
{
    for (const Word &entry : words) {
        if (key == entry.key && value == entry.value)
            return QString(entry.word);
    }
    return QString();
}

QString wordOf(const QString &key, const QVariant &value)
{
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    if (!ok || value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Bool
        || number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
        return QString();
    return wordOf(key, int(number));
}

int valueOfWord(const QString &key, const QString &word, bool *known)
{
    if (known)
        *known = true;
    // The word as written first; then in any letter case, which folds one
    // UTF-16 unit to one, so that a word of another length cannot match.
    for (const Word &entry : words) {
        if (word == entry.word && key == entry.key)
            return entry.value;
    }
    for (const Word &entry : words) {
        if (word.size() == entry.word.size() && key == entry.key
            && word.compare(entry.word, Qt::CaseInsensitive) == 0)
            return entry.value;
    }
    if (known)
        *known = false;
    return 0;
}

bool isUnsignedKey(LeafPlace place, const QString &key)
{
    switch (place) {
    case LeafPlace::RootValue:
        return key == QmdVelkaKeys::Tempo || key == QmdVelkaKeys::PrincipalsToBeatsNumerator
            || key == QmdVelkaKeys::PrincipalsToBeatsDenominator || key == QmdVelkaKeys::DivsPerPrincipal;
    case LeafPlace::ElementValue:
        return key == QmdVelkaKeys::FromNode || key == QmdVelkaKeys::ToNode
            || key == QmdVelkaKeys::InitialInstrument || key == QmdVelkaKeys::Instrument;
    default:
        return false;
    }
}

bool timingRange(const QString &key, TimingRange *range)
{
    if (key == QmdVelkaKeys::Tempo)
        *range = TimingRange{1, 999, 120};
    else if (key == QmdVelkaKeys::PrincipalsToBeatsNumerator || key == QmdVelkaKeys::PrincipalsToBeatsDenominator)
        *range = TimingRange{1, 128, 1};
    else
        return false;
    return true;
}

QVariant boundedTimingValue(const TimingRange &range, const QVariant &value, bool *changed)
{
    bool number = false;
    double given = 0.0;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        given = value.toDouble(&number);
        break;
    case QMetaType::QString:
        given = value.toString().trimmed().toDouble(&number);
        break;
    default:
        break;
    }
    if (!number || std::isnan(given)) {
        *changed = true;
        return QVariant(range.fallback);
    }
    const uint bounded = uint(std::clamp(std::round(given), double(range.lowest), double(range.highest)));
    *changed = value.typeId() == QMetaType::QString || double(bounded) != given;
    return QVariant(bounded);
}

QString colourText(const QColor &colour)
{
    return QStringLiteral("%1%2").arg(colour.name()).arg(colour.alpha(), 2, 16, QLatin1Char('0'));
}

QString opaqueColourText(const QColor &colour)
{
    if (!colour.isValid())
        return QString();
    return colour.alpha() == 255 ? colour.name() : colourText(colour);
}

QColor colourFromText(const QString &text)
{
    const QString lower = text.toLower();
    QColor colour(lower.left(7));
    if (!colour.isValid() || lower.size() <= 7)
        return colour;
    bool ok = false;
    const int alpha = lower.mid(7, 2).toInt(&ok, 16);
    colour.setAlpha(ok ? alpha : 0);
    return colour;
}

QString positionText(const QmdVelka::TickPos &pos)
{
    return QStringLiteral("{%1, %2}").arg(pos.x).arg(pos.y);
}

namespace {

// Reads an optional sign and up to 18 decimal digits (never too many for a
// qint64) at text[*at]; false when there are none or more.
bool readPlainNumber(QStringView text, qsizetype *at, qint64 *number)
{
    qsizetype i = *at;
    const bool negative = i < text.size() && text[i] == u'-';
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        ++i;
    qint64 value = 0;
    int digits = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i, ++digits) {
        if (digits == 18)
            return false;
        value = value * 10 + (text[i].unicode() - u'0');
    }
    if (digits == 0)
        return false;
    *at = i;
    *number = negative ? -value : value;
    return true;
}

// The form the program writes, "{x, y}" with numbers of up to 18 digits, read
// without the general pattern; false for anything else.
bool readPlainPosition(QStringView text, QmdVelka::TickPos *pos)
{
    qsizetype at = 1;
    qint64 x = 0;
    qint64 y = 0;
    if (text.isEmpty() || text[0] != u'{' || !readPlainNumber(text, &at, &x) || at == text.size()
        || text[at] != u',')
        return false;
    ++at;
    while (at < text.size() && text[at] == u' ')
        ++at;
    if (!readPlainNumber(text, &at, &y) || at != text.size() - 1 || text[at] != u'}')
        return false;
    *pos = QmdVelka::TickPos(x, y);
    return true;
}

} // namespace

QmdVelka::TickPos positionFromText(const QString &text)
{
    QmdVelka::TickPos plain;
    if (readPlainPosition(text, &plain))
        return plain;
    static const QRegularExpression form(QStringLiteral("^\\{([+-]?\\d+),\\s*([+-]?\\d+)\\}$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return QmdVelka::TickPos();
    return QmdVelka::TickPos(match.captured(1).toLongLong(), match.captured(2).toLongLong());
}

QString channelText(const QBitArray &bits)
{
    QString text(bits.size(), QLatin1Char('0'));
    for (qsizetype i = 0; i < bits.size(); ++i) {
        if (bits.testBit(i))
            text[i] = QLatin1Char('1');
    }
    return text;
}

bool isChannelText(const QString &text)
{
    for (QChar c : text) {
        if (c != QLatin1Char('0') && c != QLatin1Char('1'))
            return false;
    }
    return true;
}

QBitArray channelsFromText(const QString &text)
{
    QBitArray bits(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('1'))
            bits.setBit(i);
    }
    return bits;
}

} // namespace QmdVelkaValues
