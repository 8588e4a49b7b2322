#include "qmddoccontroller.h"

#include "qmdreadlocker.h"
#include "qmdrequestguard.h"

#include <QDebug>
#include <QFileInfo>

#include <exception>

QmdDocController::QmdDocController(QObject *parent)
    : QmdController(parent)
{
    qRegisterMetaType<QFile::FileError>("QFile::FileError");
}

QmdDocController::~QmdDocController() = default;

QString QmdDocController::fileName() const
{
    QmdReadLocker lock(this);
    return m_fileName;
}

QmdRequestId QmdDocController::requestSave(const QString &fileName)
{
    return performFileRequest(SaveMode, fileName);
}

QmdRequestId QmdDocController::requestLoad(const QString &fileName)
{
    return performFileRequest(LoadMode, fileName);
}

QmdRequestId QmdDocController::requestLoadTemplate(const QString &fileName)
{
    return performFileRequest(TemplateMode, fileName);
}

QFile::FileError QmdDocController::saveFile(const QString &, QmdRequestId)
{
    return QFile::NoError;
}

QFile::FileError QmdDocController::loadFile(const QString &, QmdRequestId)
{
    return QFile::NoError;
}

// Calls the hook of the mode; an exception escaping a hook becomes a read or
// write error instead of unwinding through the caller's slot.
QFile::FileError QmdDocController::runHook(FileRequestMode mode, const QString &absoluteName, QmdRequestId rid)
{
    const QFile::FileError failure = mode == SaveMode ? QFile::WriteError : QFile::ReadError;
    if (absoluteName.isEmpty())
        return QFile::OpenError;
    try {
        return mode == SaveMode ? saveFile(absoluteName, rid) : loadFile(absoluteName, rid);
    } catch (const std::exception &e) {
        qWarning().noquote() << "QmdDocController:" << absoluteName << e.what();
    } catch (...) {
        qWarning().noquote() << "QmdDocController:" << absoluteName << "unknown error";
    }
    return failure;
}

QmdRequestId QmdDocController::performFileRequest(FileRequestMode mode, const QString &fileName)
{
    const QString oldName = this->fileName();
    const QString absoluteName = fileName.isEmpty() ? QString() : QFileInfo(fileName).absoluteFilePath();
    const QmdRequestId rid = newRequestId();
    QFile::FileError error = QFile::NoError;
    QString newName;
    {
        QmdRequestGuard request(this, rid, Qmd::NoUndoHistory, mode == SaveMode ? tr("Save") : tr("Load"));
        error = runHook(mode, absoluteName, rid);
        if (error == QFile::NoError) {
            if (mode != TemplateMode)
                m_fileName = absoluteName;
            if (mode != SaveMode)
                clearUndoRedoHistory();
            markAsCleanState();
        }
        newName = m_fileName;
        setRequestStatus(error == QFile::NoError ? 0 : -1);
    }

    switch (mode) {
    case SaveMode:
        if (error == QFile::NoError)
            emit fileSaved(fileName, rid);
        else
            emit fileSaveError(fileName, error, rid);
        break;
    case LoadMode:
        if (error == QFile::NoError) {
            reset();
            emit fileLoaded(fileName, rid);
        } else {
            emit fileLoadError(fileName, error, rid);
        }
        break;
    case TemplateMode:
        if (error == QFile::NoError) {
            reset();
            emit templateLoaded(fileName, rid);
        } else {
            emit templateLoadError(fileName, error, rid);
        }
        break;
    }
    if (error == QFile::NoError && newName != oldName)
        emit fileNameChanged(newName, rid);
    return rid;
}
