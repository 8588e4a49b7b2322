#ifndef QMDPROPERTYLISTEXPORTER_H
#define QMDPROPERTYLISTEXPORTER_H

#include "qmdimportexportinterface.h"
#include "qmdindex.h"
#include "qmdpropertylistwriter.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

// Writes a model subtree to an open device as an XML property list (plist
// version 1.0, UTF-8): a container becomes a "dict" whose first pair names
// its kind ("ContainerType" = "IntDict" or "StrDict"), followed by one
// "key"/value pair per child; a plain value becomes a typed leaf ("true",
// "false", "integer", "real" or "string").
//
// Indexes in the exclusion set are left out whole, key and value, wherever
// they occur. Subclasses convert values of their own by overriding
// writeLeaf(); writeValue() is virtual so their leaf writer is used at every
// depth.
class QmdPropertyListExporter : public QmdImportExportInterface
{
    Q_OBJECT

public:
    QmdPropertyListExporter(QmdModel *model, QIODevice *device, QObject *parent = nullptr);

    void exclude(const QmdIndex &index);
    QSet<QmdIndex> exclusions() const { return m_exclusions; }
    void setExclusions(const QSet<QmdIndex> &exclusions) { m_exclusions = exclusions; }

    // The whole file: header, the value at index (unless excluded), end.
    // False when the device could not take everything.
    virtual bool write(const QmdIndex &index);
    // XML declaration, document type and the opening "plist" element.
    virtual void writeBegin();
    virtual void writeValue(const QmdIndex &index);
    // Closes the "plist" element and hands what is left to the device.
    virtual void writeEnd();
    virtual void writeIntDict(const QmdIndexList &children);
    virtual void writeStrDict(const QmdIndexList &children);
    virtual void writeLeaf(const QmdIndex &index);

    void writeDict(const QString &containerTypeText, const QmdIndexList &children);
    // The decimal id of an id-keyed entry, else its string key.
    QString keyText(const QmdIndex &index) const;

    // True once the device has refused data (or there is no writable device).
    bool hasError() const;
    // What the last write could not keep exactly: one line for each key or
    // value whose characters had to be replaced.
    QStringList warnings() const { return m_warnings; }

protected:
    // A text element whose content reads back exactly: carriage returns are
    // written as character references and text made only of white space as a
    // CDATA section (the reader drops white-space-only text), where a
    // carriage return can only come back as a line feed. Characters that
    // XML 1.0 cannot carry at all are replaced by U+FFFD, with a warning.
    void writeTextElement(QLatin1StringView name, const QString &text);
    void writeTextElement(const QString &name, const QString &text);
    QmdPropertyListWriter &writer() { return m_writer; }
    // The keys from the document's root down to index, its own key last.
    QStringList path(const QmdIndex &index);

private:
    // "Elements/12/Text": the keys from the written index's root down.
    QString pathText(const QmdIndex &index) const;

    QmdPropertyListWriter m_writer;
    QSet<QmdIndex> m_exclusions;
    bool m_noDevice = false;
    QmdIndex m_current; // the value being written, named by warnings
    std::optional<QmdIndex> m_pathParent; // whose keys m_parentPath holds
    QStringList m_parentPath;
    QStringList m_warnings;
};

#endif // QMDPROPERTYLISTEXPORTER_H
