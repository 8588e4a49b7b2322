#ifndef QMDIMPORTEXPORTINTERFACE_H
#define QMDIMPORTEXPORTINTERFACE_H

#include "qmddirectmodelinterface.h"

#include <QObject>

class QIODevice;
class QmdModel;

// The base of every document writer and reader: a model, reached through the
// direct model interface, and a device that the caller has already opened
// (for writing or for reading). Writers and readers work on the model
// directly and open no request of their own; the caller runs them inside a
// request or on a model of its own.
class QmdImportExportInterface : public QObject, public QmdDirectModelInterface
{
    Q_OBJECT

public:
    QmdImportExportInterface(QmdModel *model, QIODevice *device, QObject *parent = nullptr);

    QIODevice *device() const { return m_device; }

signals:
    void progressChanged(double progress);
    void finished();

private:
    QIODevice *m_device;
};

#endif // QMDIMPORTEXPORTINTERFACE_H
