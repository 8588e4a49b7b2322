#include "ownmidiports.h"

#include <QRegularExpression>

const char *OwnMidiPorts::clientName()
{
    return "Velka";
}

bool OwnMidiPorts::contains(const QString &portName)
{
    static const QRegularExpression own(QStringLiteral("^Velka(-\\d+)?:"));
    return own.match(portName).hasMatch();
}
