#ifndef QMDDOCCONTROLLER_H
#define QMDDOCCONTROLLER_H

#include "qmdcontroller.h"

#include <QFile>
#include <QString>

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
class QmdDocController : public QmdController
{
    Q_OBJECT

public:
    enum FileRequestMode { SaveMode = 0, LoadMode = 1, TemplateMode = 2 };

    explicit QmdDocController(QObject *parent = nullptr);
    ~QmdDocController() override;

    // The document's absolute file name; empty while it is untitled.
    QString fileName() const;

signals:
    void fileSaved(const QString &fileName, QmdRequestId rid);
    void fileLoaded(const QString &fileName, QmdRequestId rid);
    void templateLoaded(const QString &fileName, QmdRequestId rid);
    void fileSaveError(const QString &fileName, QFile::FileError error, QmdRequestId rid);
    void fileLoadError(const QString &fileName, QFile::FileError error, QmdRequestId rid);
    void templateLoadError(const QString &fileName, QFile::FileError error, QmdRequestId rid);
    void fileNameChanged(const QString &fileName, QmdRequestId rid);

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

private:
    QFile::FileError runHook(FileRequestMode mode, const QString &absoluteName, QmdRequestId rid);

    QString m_fileName;
};

#endif // QMDDOCCONTROLLER_H
