#include "listexpressions.h"

namespace {

const QString interval = QStringLiteral("([+-](([0-9]{1,2})|(1[01][0-9])|(12[0-7])))");

} // namespace

QString noteNameExpression()
{
    return QStringLiteral("(([ACDFG]#?|[EB])(-[12]|[0-7]))|(([CDF]#?|[EG])8)");
}

QString pitchListExpression()
{
    const QString entry = QStringLiteral("((%1)|%2)").arg(noteNameExpression(), interval);
    return QStringLiteral("|(%1(,%1)*)").arg(entry);
}

QString velocityListExpression()
{
    return QStringLiteral("|(([+-]?(([0-9]{1,2})|(1[01][0-9])|(12[0-7])))"
                          "(,([+-]?(([0-9]{1,2})|(1[01][0-9])|(12[0-7]))))*)");
}

QString durationListExpression()
{
    return QStringLiteral("|((([*/+-]?([0-9]{0,4}\\.)?[0-9]{1,4})|([+-]?([0-9]{0,4}\\.)?[0-9]{1,4}%))"
                          "(,(([*/+-]?([0-9]{0,4}\\.)?[0-9]{1,4})|([+-]?([0-9]{0,4}\\.)?[0-9]{1,4}%)))*)");
}

QString userMidiMessageListExpression()
{
    // Messages only ever follow a comma: bytes run together ("0x0b0x7b") are
    // not two messages.
    const QString message = QStringLiteral("(0x[0-9a-f]{1,2}(\\s0x[0-9a-f]{1,2})*)");
    return QStringLiteral("|(%1?(,%1?)*)").arg(message);
}

QString scaleListExpression()
{
    return QStringLiteral("|(([0-9]{0,4}(/[1-9][0-9]{0,3})?)(,([0-9]{0,4}(/[1-9][0-9]{0,3})?))*)");
}
