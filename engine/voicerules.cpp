#include "voicerules.h"

#include "arcusageentry.h"
#include "notenames.h"

#include <QStringList>

#include <cmath>
#include <random>

namespace VoiceRules {

namespace {

quint8 toDataByte(qint64 value)
{
    return static_cast<quint8>(qBound(qint64(0), value, qint64(127)));
}

bool isSigned(const QString &field)
{
    return field.startsWith(QLatin1Char('+')) || field.startsWith(QLatin1Char('-'));
}

// The field's integer value; 0 when it is not one.
qint64 integerValue(const QString &field)
{
    return field.toLongLong(nullptr, 10);
}

// The field's decimal number; 0 when it is not one.
double number(const QString &text, bool *ok = nullptr)
{
    bool read = false;
    const double value = text.toDouble(&read);
    if (ok)
        *ok = read;
    return read ? value : 0.0;
}

// The entries of an arc usage list, read in place.
typedef QList<QStringView> Entries;

// The entry at index of the list with empty fields counted; empty when the
// index is past the end.
QStringView entryAt(const Entries &entries, quint32 index)
{
    return index < static_cast<quint32>(entries.size()) ? entries.at(static_cast<int>(index)) : QStringView();
}

// The value of a hexadecimal digit of either case; -1 for any other character.
int hexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

} // namespace

bool listField(const QString &list, quint32 *cursor, QString *field)
{
    const QList<QStringView> fields = QStringView(list).split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (*cursor < static_cast<quint32>(fields.size())) {
        *field = fields.at(static_cast<int>(*cursor)).toString();
        return true;
    }
    *cursor = 0;
    if (fields.isEmpty())
        return false;
    *field = fields.first().toString();
    return true;
}

quint8 applyPitchField(quint8 pitch, const QString &field)
{
    if (isSigned(field))
        return toDataByte(pitch + integerValue(field));
    return toDataByte(noteNameToNumber(field));
}

quint8 applyVelocityField(quint8 velocity, const QString &field)
{
    if (isSigned(field))
        return toDataByte(velocity + integerValue(field));
    return toDataByte(integerValue(field));
}

quint64 applyDurationField(quint64 duration, const QString &field, bool travelTimeFound,
                           quint64 travelTime)
{
    QString text = field;
    double base = static_cast<double>(TicksPerPrincipal);
    double factor = 1.0;
    bool relativeToTravel = false;
    if (text.endsWith(QLatin1Char('%'))) {
        if (travelTimeFound) {
            base = static_cast<double>(travelTime);
            relativeToTravel = true;
        }
        text.chop(1);
        factor = 0.01;
    }

    // std::round rounds halves away from zero and never throws; an infinite
    // value stays infinite and is clamped below.
    const double current = static_cast<double>(duration);
    double result = current;
    const QChar first = text.isEmpty() ? QChar() : text.at(0);
    if (first == QLatin1Char('+') || first == QLatin1Char('-')) {
        result = current + std::round(number(text) * factor * base);
    } else if (first == QLatin1Char('*')) {
        if (!relativeToTravel)
            result = std::round(current * number(text.mid(1)));
    } else if (first == QLatin1Char('/')) {
        bool ok = false;
        const double divisor = number(text.mid(1), &ok);
        if (!relativeToTravel && ok && divisor != 0.0)
            result = std::round(current / divisor);
    } else {
        result = std::round(number(text) * factor * base);
    }

    if (std::isnan(result))
        return duration;
    if (result <= 0.0)
        return 0;
    if (result >= static_cast<double>(MaxDuration))
        return MaxDuration;
    return static_cast<quint64>(result);
}

bool userMidiMessageBytes(QStringView field, std::vector<unsigned char> *bytes)
{
    std::vector<unsigned char> read;
    qsizetype i = 0;
    while (i < field.size()) {
        if (field.at(i).isSpace()) {
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < field.size() && !field.at(end).isSpace())
            ++end;
        QStringView part = field.mid(i, end - i);
        i = end;
        if (part.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            part = part.mid(2);
        int value = 0;
        if (part.isEmpty() || part.size() > 2)
            return false;
        for (QChar digit : part) {
            const int d = hexDigitValue(digit);
            if (d < 0)
                return false;
            value = value * 16 + d;
        }
        read.push_back(static_cast<unsigned char>(value));
    }
    if (read.empty())
        return false;
    *bytes = std::move(read);
    return true;
}

bool userMidiMessage(const QString &list, quint32 *cursor, std::vector<unsigned char> *bytes)
{
    std::vector<std::vector<unsigned char>> messages;
    std::vector<unsigned char> message;
    for (QStringView field : QStringView(list).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (userMidiMessageBytes(field, &message))
            messages.push_back(message);
    }
    if (*cursor >= messages.size())
        *cursor = 0;
    if (messages.empty())
        return false;
    *bytes = messages.at(*cursor);
    return true;
}

qint64 randomInt(qint64 lo, qint64 hi)
{
    if (lo > hi)
        std::swap(lo, hi);
    thread_local std::mt19937 generator{std::random_device{}()};
    return std::uniform_int_distribution<qint64>(lo, hi)(generator);
}

bool chooseSequential(const QString &arcUsageList, quint32 *index, qint32 *uses, QmdItemId *edge)
{
    const Entries entries = QStringView(arcUsageList).split(QLatin1Char(','));
    quint32 i = *index;
    qint32 u = *uses;
    QStringView entry = entryAt(entries, i);
    if (entry.isEmpty()) {
        i = 0;
        u = 0;
        entry = entryAt(entries, i);
        if (entry.isEmpty())
            return false;
    }
    const int count = arcUsageEntryUses(entry);
    if (count != 0) {
        if (u >= count) {
            ++i;
            u = 0;
            entry = entryAt(entries, i);
            if (entry.isEmpty()) {
                i = 0;
                entry = entryAt(entries, i);
                if (entry.isEmpty())
                    return false;
            }
        }
        ++u;
    }
    *index = i;
    *uses = u;
    *edge = arcUsageEntryEdgeId(entry);
    return true;
}

namespace {
// The weighted choice among the entries for a number r drawn in 1..total
// (null: every entry's count is 0 or one is).
QmdItemId chooseWeighted(const Entries &entries, const std::function<qint64(qint64 total)> &draw)
{
    qint64 total = 0;
    for (QStringView entry : entries) {
        const int count = arcUsageEntryUses(entry);
        if (count == 0)
            return arcUsageEntryEdgeId(entry);
        total += count;
    }
    const qint64 r = draw(total);
    qint64 sum = 0;
    for (QStringView entry : entries) {
        sum += arcUsageEntryUses(entry);
        if (sum >= r)
            return arcUsageEntryEdgeId(entry);
    }
    return 0;
}
} // namespace

QmdItemId chooseRandom(const QString &arcUsageList)
{
    const Entries entries = QStringView(arcUsageList).split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (entries.isEmpty())
        return 0;
    return chooseWeighted(entries, [](qint64 total) { return randomInt(1, total); });
}

QmdItemId chooseRandom(const QString &arcUsageList, quint64 draw)
{
    const Entries entries = QStringView(arcUsageList).split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (entries.isEmpty())
        return 0;
    return chooseWeighted(entries, [draw](qint64 total) {
        return total > 0 ? 1 + qint64(draw % quint64(total)) : 1;
    });
}

void chooseParallel(const QString &arcUsageList, const TravelTimeFunction &travelTime,
                    QmdItemId *first, QmdItemIdList *further)
{
    *first = 0;
    further->clear();
    quint64 longest = 0;
    for (QStringView entry : QStringView(arcUsageList).split(QLatin1Char(','))) {
        const QmdItemId edge = arcUsageEntryEdgeId(entry);
        quint64 ticks = 0;
        if (!travelTime(edge, &ticks))
            continue;
        further->append(edge);
        if (*first == 0 || ticks > longest) {
            *first = edge;
            longest = ticks;
        }
    }
    further->removeAll(*first);
}

} // namespace VoiceRules
