#include "playbackpostext.h"

#include "qmdvelkakeys.h"

#include <iterator>

namespace {

constexpr quint64 TicksPerPrincipal = QmdVelka::TicksPerPrincipal;
constexpr quint64 TicksPerPulse = 2772;
constexpr quint64 PulsesPerBeat = 240;
constexpr quint64 NsPerMs = 1000000;
constexpr quint64 NsPerSecond = 1000 * NsPerMs;
constexpr quint64 NsPerMinute = 60 * NsPerSecond;
constexpr quint64 NsPerHour = 60 * NsPerMinute;

QChar digit(quint64 value)
{
    return QChar(char('0' + value % 10));
}

// Six digits with a comma after the third, a full stop, then the fraction.
PlaybackPosText::Text wholeAndFraction(quint64 whole, quint64 fraction, int fractionDigits)
{
    PlaybackPosText::Text text;
    text.chars += digit(whole / 100000);
    text.chars += digit(whole / 10000);
    text.chars += digit(whole / 1000);
    text.chars += QLatin1Char(',');
    text.chars += digit(whole / 100);
    text.chars += digit(whole / 10);
    text.chars += digit(whole);
    text.chars += QLatin1Char('.');
    quint64 place = 1;
    for (int i = 1; i < fractionDigits; ++i)
        place *= 10;
    for (; place > 0; place /= 10)
        text.chars += digit(fraction / place);
    text.dimCount = whole < 1000 ? 4 : 0;
    return text;
}

} // namespace

namespace PlaybackPosText {

Text time(quint64 nanoseconds)
{
    const quint64 hours = (nanoseconds / NsPerHour) % 60;
    const quint64 minutes = (nanoseconds / NsPerMinute) % 60;
    const quint64 seconds = (nanoseconds / NsPerSecond) % 60;
    const quint64 ms = (nanoseconds / NsPerMs) % 1000;

    Text text;
    const QChar chars[] = {digit(hours / 10), digit(hours), QLatin1Char(':'),
                           digit(minutes / 10), digit(minutes), QLatin1Char(':'),
                           digit(seconds / 10), digit(seconds), QLatin1Char('.'),
                           digit(ms / 100), digit(ms / 10), digit(ms)};
    text.chars = QString(chars, int(std::size(chars)));
    if (nanoseconds < NsPerMinute)
        text.dimCount = 6;
    else if (nanoseconds < NsPerHour)
        text.dimCount = 3;
    return text;
}

Text principals(quint64 tick, int divsPerPrincipal)
{
    const quint64 divs = quint64(clampedDivsPerPrincipal(divsPerPrincipal));
    const quint64 principal = tick / TicksPerPrincipal + 1;
    const quint64 division = (tick / (TicksPerPrincipal / divs)) % divs + 1;
    return wholeAndFraction(principal, division, 2);
}

Text beats(quint64 beatTick)
{
    const quint64 beat = beatTick / TicksPerPrincipal + 1;
    const quint64 pulse = (beatTick / TicksPerPulse) % PulsesPerBeat + 1;
    return wholeAndFraction(beat, pulse, 3);
}

int clampedDivsPerPrincipal(const QVariant &value)
{
    bool ok = false;
    const qlonglong divs = value.toLongLong(&ok);
    if (!ok || divs < 1)
        return 1;
    return divs > qlonglong(TicksPerPrincipal) ? int(TicksPerPrincipal) : int(divs);
}

} // namespace PlaybackPosText
