#ifndef QMDPROPERTYLISTIMPORTER_H
#define QMDPROPERTYLISTIMPORTER_H

#include "qmdimportexportinterface.h"
#include "qmdindex.h"
#include "qmdtree.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

// Reads an XML property list (as written by QmdPropertyListExporter) from an
// open device into a model subtree.
//
// The whole file is read into a tree of its own (QmdTree) and checked before
// the model is touched: a file that does not parse, nests deeper than 256
// elements, is not a "plist" or has a version other than "1.0" leaves the
// model as it was, and read() returns false with the reason in
// errorString(). A file read into the model's root replaces the document in
// one change (QmdModel::setRootTree), announced once. Inside a readable file,
// a part that cannot be read (a dict of unknown kind, a malformed pair, a bad
// id, an unknown leaf) is skipped alone, leaving no entry behind; each skip
// is described in warnings(), in the order of the file's lines. Keys (and
// short texts) met more than once are kept as one shared string. Every
// diagnostic also goes to the debug output.
//
// Subclasses convert values of their own by overriding readLeaf(), which
// learns the keys above the leaf.
class QmdPropertyListImporter : public QmdImportExportInterface
{
    Q_OBJECT

public:
    QmdPropertyListImporter(QmdModel *model, QIODevice *device, QObject *parent = nullptr);
    ~QmdPropertyListImporter() override;

    // The largest document file that is read: far beyond any document, small
    // enough to be held in memory whole.
    static constexpr qint64 MaxFileSize = qint64(256) * 1024 * 1024;
    // Reads the whole file into bytes. Only regular files (or links to one)
    // are opened: a named pipe would block the caller and a device may never
    // end. A file larger than MaxFileSize is refused before it is read. On
    // failure the error is QFile::OpenError or QFile::ReadError (or the
    // file's own error) and errorString says why.
    static QFile::FileError readFile(const QString &fileName, QByteArray *bytes, QString *errorString);

    // One leaf of the file: its element name ("string", "integer", ...), its
    // text, and the keys from the model's root down to the leaf's own key
    // (ids in decimal); the path is empty for a value read into the root.
    struct Leaf
    {
        const QString &tag;
        const QString &text;
        const QStringList &path;
        QString key() const { return path.isEmpty() ? QString() : path.last(); }
    };

    // Parses the device (once) and checks the root element, without touching
    // the model: lets a caller refuse a broken file before it clears its
    // document. Leaves are read as if for the model's root.
    bool parse();
    // The kind of the file's top value once parsed: NoContainer for a leaf or
    // an empty "plist".
    Qmd::ContainerType topType() const;
    // Reads the file's top value into target; the default index stands for
    // the model's root. False when the file could not be parsed.
    virtual bool read(const QmdIndex &target);
    // Parses the device as if for a target with the given keys above it and
    // hands the file's top dict over as a tree, for a caller that works on it
    // before it goes into a model; null when the file cannot be parsed or its
    // top value is no dict.
    std::unique_ptr<QmdTree> readTree(const QStringList &basePath);
    // The value of one leaf; an invalid QVariant stores nothing (report why
    // with warn()).
    virtual QVariant readLeaf(const Leaf &leaf);

    QString errorString() const { return m_errorString; }
    // Once parsed: the file's first element is a "plist". False for a file
    // of another kind (plain text, a picture, other XML), so that a caller
    // can tell such a file from a damaged property list.
    bool hasPlistRoot() const { return m_plistRoot; }
    QStringList warnings() const;

protected:
    // Records a skipped part of the file at the element being read.
    void warn(const QString &message);

private:
    struct Entry;
    class PlainTexts;

    bool parseFor(const QStringList &basePath);
    // The parse over either tokenizer: this program's own for the form it
    // writes, QXmlStreamReader for everything else.
    template <typename Tokens> void parseTokens(Tokens &tokens);
    template <typename Tokens> bool enterElement(Tokens &tokens);
    template <typename Tokens> QString readText(Tokens &tokens);
    template <typename Tokens> QVariant readValue(Tokens &tokens);
    template <typename Tokens> QVariant readDict(Tokens &tokens);
    template <typename Tokens> QString sharedText(Tokens &tokens);
    QString shared(const QString &text);
    void warnAt(qint64 line, const QString &message);

    QByteArray m_bytes;
    bool m_bytesRead = false;
    bool m_parsed = false;
    bool m_readable = false;
    bool m_plistRoot = false;
    QStringList m_parsedFor;
    QString m_errorString;
    QList<QPair<qint64, QString>> m_warnings;

    // While parsing.
    int m_depth = 0;
    bool m_tooDeep = false;
    QStringList m_path;
    qint64 m_leafLine = 0;
    QSet<QString> m_strings;
    std::unique_ptr<PlainTexts> m_plainTexts; // by their bytes in m_bytes
    QVariant m_top; // a leaf value or a QmdTree holder
};

#endif // QMDPROPERTYLISTIMPORTER_H
