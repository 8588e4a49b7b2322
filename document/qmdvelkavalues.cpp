#include "qmdvelkavalues.h"
#include "qmdvelkakeys.h"

#include <QRegularExpression>

#include <limits>

namespace QmdVelkaValues {

namespace {

struct Word
{
    const char *key;
    int value;
    const char *word;
};

// The written word of each value comes first; later rows are older words
// that are still read.
const Word words[] = {
    {"Type", 1, "Edge"},
    {"Type", 2, "Node"},
    {"Type", 3, "TextBox"},
    {"Type", 4, "VoiceGroup"},
    {"Type", 1, "Arc"},
    {"Type", 4, "Player"},
    {"Path", 0, "CityBlock"},
    {"Path", 1, "CityBlockFlipped"},
    {"Path", 2, "Direct"},
    {"SignallingMethod", 0, "Sequential"},
    {"SignallingMethod", 1, "Parallel"},
    {"SignallingMethod", 2, "Random"},
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
        if (key == QLatin1String(entry.key) && value == entry.value)
            return QString::fromLatin1(entry.word);
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
    for (const Word &entry : words) {
        if (key == QLatin1String(entry.key) && word.compare(QLatin1String(entry.word), Qt::CaseInsensitive) == 0)
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

QmdVelka::TickPos positionFromText(const QString &text)
{
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
