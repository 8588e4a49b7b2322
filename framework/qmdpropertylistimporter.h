#ifndef QMDPROPERTYLISTIMPORTER_H
#define QMDPROPERTYLISTIMPORTER_H

#include "qmdimportexportinterface.h"
#include "qmdindex.h"

#include <QDomDocument>
#include <QDomElement>
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
// is skipped alone; each skip is described in warnings(). Every diagnostic
// also goes to the debug output.
//
// Subclasses convert values of their own by overriding readLeaf(); readDict()
// is virtual so their leaf reader is used at every depth.
class QmdPropertyListImporter : public QmdImportExportInterface
{
    Q_OBJECT

public:
    QmdPropertyListImporter(QmdModel *model, QIODevice *device, QObject *parent = nullptr);

    // Parses the device (once) and checks the root element, without touching
    // the model: lets a caller refuse a broken file before it clears its
    // document.
    bool parse();
    // Reads the file's top value into target; the default index stands for
    // the model's root. False when the file could not be parsed.
    virtual bool read(const QmdIndex &target);
    virtual void readDict(const QDomElement &element, const QmdIndex &target);
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
