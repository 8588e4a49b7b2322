#include "connectwarnings.h"

#include <QtGlobal>

namespace {

QStringList warnings;
QtMessageHandler previousHandler = nullptr;

void record(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1String("QObject::connect")))
        warnings.append(message);
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

void ConnectWarnings::install()
{
    if (!previousHandler)
        previousHandler = qInstallMessageHandler(record);
}

QStringList ConnectWarnings::take()
{
    const QStringList taken = warnings;
    warnings.clear();
    return taken;
}
