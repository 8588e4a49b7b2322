#include "qmdimportexportinterface.h"

QmdImportExportInterface::QmdImportExportInterface(QmdModel *model, QIODevice *device, QObject *parent)
    : QObject(parent)
    , QmdDirectModelInterface(model)
    , m_device(device)
{
}
