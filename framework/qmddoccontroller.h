#ifndef QMDDOCCONTROLLER_H
#define QMDDOCCONTROLLER_H

#include "qmdcontroller.h"

#include <QFile>
#include <QString>
#include <QStringList>

// The controller of a document that lives in a file: save, load and
// template-load requests around two hooks that a concrete document
// controller overrides to write or read its format.
//
// Each file request is one request of the model without an undo step. On
// success the document is marked clean; a load or template load also clears
// the undo history (the old document's steps must not replay into the new
// one) and resets the controller. A save or load that succeeds keeps the file
// name, made absolute against the current folder when the request is made.
// Failures change neither the file name nor the clean state and are reported
// through the error signals with the name as the caller gave it.
//
// Messages for the user. After each file request fileErrorString() holds the
// reason a failed request gives (empty after a success) and fileWarnings()
// what a successful one could not keep exactly: one line for each part of
// the file a load or template load skipped, or each key or value a save had
// to change. A request that succeeds with warnings emits
// fileWarningsReported (with the same lines) just before its success signal,
// so a window can show them in a message naming the file.
//
// Nothing skipped is lost by saving: the first save over a file that loaded
// with warnings first copies the file as it is to "<name>.bak" beside it
// (replacing an older backup), so that the skipped parts can be recovered.
// A save whose backup cannot be made fails without touching the file.
// Files that loaded without warnings get no backup.
class QmdDocController : public QmdController
{
    Q_OBJECT

public:
    enum FileRequestMode { SaveMode = 0, LoadMode = 1, TemplateMode = 2 };

    explicit QmdDocController(QObject *parent = nullptr);
    ~QmdDocController() override;

    // The document's absolute file name; empty while it is untitled.
    QString fileName() const;
    // See the class comment: the last file request's reason for failing and
    // its warnings.
    QString fileErrorString() const;
    QStringList fileWarnings() const;
    // The file a load with warnings is kept in before the first save over it.
    static QString backupFileName(const QString &fileName);

signals:
    void fileSaved(const QString &fileName, QmdRequestId rid);
    void fileLoaded(const QString &fileName, QmdRequestId rid);
    void templateLoaded(const QString &fileName, QmdRequestId rid);
    void fileSaveError(const QString &fileName, QFile::FileError error, QmdRequestId rid);
    void fileLoadError(const QString &fileName, QFile::FileError error, QmdRequestId rid);
    void templateLoadError(const QString &fileName, QFile::FileError error, QmdRequestId rid);
    void fileNameChanged(const QString &fileName, QmdRequestId rid);
    void fileWarningsReported(const QString &fileName, const QStringList &warnings, QmdRequestId rid);

public slots:
    QmdRequestId requestSave(const QString &fileName);
    QmdRequestId requestLoad(const QString &fileName);
    QmdRequestId requestLoadTemplate(const QString &fileName);

protected:
    // Write or read the document at fileName (absolute) inside the open
    // request rid and return the file error met. A load must validate the
    // file before it changes anything, so that a failure leaves the document
    // as it was. Here both do nothing and succeed.
    virtual QFile::FileError saveFile(const QString &fileName, QmdRequestId rid);
    virtual QFile::FileError loadFile(const QString &fileName, QmdRequestId rid);

    QmdRequestId performFileRequest(FileRequestMode mode, const QString &fileName);

    // For the hooks, inside their request: why the file failed, and what a
    // successful save or load could not keep exactly (see the class comment).
    void setFileErrorString(const QString &reason);
    void addFileWarnings(const QStringList &warnings);

private:
    QFile::FileError runHook(FileRequestMode mode, const QString &absoluteName, QmdRequestId rid);
    // Copies the file to its backup name; false (with the reason) when that fails.
    bool keepBackup(const QString &absoluteName);

    QString m_fileName;
    QString m_fileErrorString;
    QStringList m_fileWarnings;
    // The file that loaded with warnings and has not been saved over since.
    QString m_unsavedOriginal;
};

#endif // QMDDOCCONTROLLER_H
