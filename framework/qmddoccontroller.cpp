#include "qmddoccontroller.h"

#include "qmdreadlocker.h"
#include "qmdrequestguard.h"

#include <QDebug>
#include <QFileInfo>
#include <QSaveFile>

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

QString QmdDocController::fileErrorString() const
{
    QmdReadLocker lock(this);
    return m_fileErrorString;
}

QStringList QmdDocController::fileWarnings() const
{
    QmdReadLocker lock(this);
    return m_fileWarnings;
}

QString QmdDocController::backupFileName(const QString &fileName)
{
    return fileName + QStringLiteral(".bak");
}

void QmdDocController::setFileErrorString(const QString &reason)
{
    m_fileErrorString = reason;
}

void QmdDocController::addFileWarnings(const QStringList &warnings)
{
    m_fileWarnings << warnings;
}

bool QmdDocController::keepBackup(const QString &absoluteName)
{
    const QString backupName = backupFileName(absoluteName);
    QFile original(absoluteName);
    if (!original.open(QIODevice::ReadOnly)) {
        m_fileErrorString = tr("The file could not be read to keep it as %1 before saving over it: %2")
                                .arg(backupName, original.errorString());
        return false;
    }
    QSaveFile backup(backupName);
    const bool kept = backup.open(QIODevice::WriteOnly) && backup.write(original.readAll()) == original.size()
                   && original.error() == QFile::NoError && backup.commit();
    if (!kept) {
        m_fileErrorString = tr("The file could not be kept as %1 before saving over it: %2")
                                .arg(backupName, backup.errorString());
    }
    return kept;
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
    if (absoluteName.isEmpty()) {
        m_fileErrorString = tr("No file name was given.");
        return QFile::OpenError;
    }
    // What was skipped when the file was loaded is still in it: keep it
    // before the file is replaced.
    if (mode == SaveMode && absoluteName == m_unsavedOriginal && QFileInfo(absoluteName).isFile()
        && !keepBackup(absoluteName))
        return QFile::WriteError;
    try {
        return mode == SaveMode ? saveFile(absoluteName, rid) : loadFile(absoluteName, rid);
    } catch (const std::exception &e) {
        qWarning().noquote() << "QmdDocController:" << absoluteName << e.what();
        m_fileErrorString = QString::fromLocal8Bit(e.what());
    } catch (...) {
        qWarning().noquote() << "QmdDocController:" << absoluteName << "unknown error";
        m_fileErrorString = tr("An unknown error occurred.");
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
    QStringList warnings;
    {
        QmdRequestGuard request(this, rid, Qmd::NoUndoHistory, mode == SaveMode ? tr("Save") : tr("Load"));
        m_fileErrorString.clear();
        m_fileWarnings.clear();
        error = runHook(mode, absoluteName, rid);
        if (error == QFile::NoError) {
            m_fileErrorString.clear();
            if (mode != TemplateMode)
                m_fileName = absoluteName;
            if (mode != SaveMode)
                clearUndoRedoHistory();
            markAsCleanState();
            if (mode == LoadMode)
                m_unsavedOriginal = m_fileWarnings.isEmpty() ? QString() : absoluteName;
            else if (mode == SaveMode && absoluteName == m_unsavedOriginal)
                m_unsavedOriginal.clear();
        } else {
            m_fileWarnings.clear();
            if (m_fileErrorString.isEmpty())
                m_fileErrorString = mode == SaveMode ? tr("The file could not be written.")
                                                     : tr("The file could not be read.");
        }
        warnings = m_fileWarnings;
        newName = m_fileName;
        setRequestStatus(error == QFile::NoError ? 0 : -1);
    }
    if (!warnings.isEmpty())
        emit fileWarningsReported(fileName, warnings, rid);

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
