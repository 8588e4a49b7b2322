#ifndef QMDPROPERTYLISTIMPORTER_H
#define QMDPROPERTYLISTIMPORTER_H

#include "qmdimportexportinterface.h"
#include "qmdindex.h"

#include <QByteArray>
#include <QDomDocument>
#include <QDomElement>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QVariant>

// Reads an XML property list (as written by QmdPropertyListExporter) from an
// open device into a model subtree.
//
// The whole device is parsed and the root element checked before the model
// is touched: a file that does not parse, nests deeper than 256 elements, is
// not a "plist" or has a version other than "1.0" leaves the model as it was, and read() returns false with
// the reason in errorString(). Inside a readable file, a part that cannot be
// read (a dict of unknown kind, a malformed pair, a bad id, an unknown leaf)
// is skipped alone, leaving no entry behind; each skip is described in
// warnings(). Every diagnostic
// also goes to the debug output.
//
// Subclasses convert values of their own by overriding readLeaf(); readDict()
// is virtual so their leaf reader is used at every depth.
class QmdPropertyListImporter : public QmdImportExportInterface
{
    Q_OBJECT

public:
    QmdPropertyListImporter(QmdModel *model, QIODevice *device, QObject *parent = nullptr);

    // The largest document file that is read: far beyond any document, small
    // enough to be held in memory whole.
    static constexpr qint64 MaxFileSize = qint64(256) * 1024 * 1024;
    // Reads the whole file into bytes. Only regular files (or links to one)
    // are opened: a named pipe would block the caller and a device may never
    // end. A file larger than MaxFileSize is refused before it is read. On
    // failure the error is QFile::OpenError or QFile::ReadError (or the
    // file's own error) and errorString says why.
    static QFile::FileError readFile(const QString &fileName, QByteArray *bytes, QString *errorString);

    // Parses the device (once) and checks the root element, without touching
    // the model: lets a caller refuse a broken file before it clears its
    // document.
    bool parse();
    // Reads the file's top value into target; the default index stands for
    // the model's root. False when the file could not be parsed.
    virtual bool read(const QmdIndex &target);
    // Reads one value (a dict or a leaf) into target; false when nothing
    // could be stored there (the value was skipped).
    virtual bool readDict(const QDomElement &element, const QmdIndex &target);
    // The value of one leaf element; an invalid QVariant stores nothing.
    virtual QVariant readLeaf(const QDomElement &element, const QmdIndex &target);

    QString errorString() const { return m_errorString; }
    QStringList warnings() const { return m_warnings; }

protected:
    // Records a skipped part of the file, with the line it starts on.
    void warn(const QDomElement &element, const QString &message);

private:
    void readEntry(Qmd::ContainerType containerType, const QDomElement &key, const QDomElement &value,
                   const QmdIndex &target);

    QDomDocument m_document;
    bool m_parsed = false;
    bool m_readable = false;
    QString m_errorString;
    QStringList m_warnings;
};

#endif // QMDPROPERTYLISTIMPORTER_H
