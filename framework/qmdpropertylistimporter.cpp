#include "qmdpropertylistimporter.h"

#include "qmdmodel.h"

#include <QDebug>
#include <QFileInfo>
#include <QIODevice>
#include <QXmlStreamReader>

#include <algorithm>
#include <climits>

namespace {

const QString containerTypeKey = QStringLiteral("ContainerType");

// Element levels a file may nest, "plist" included: far more than any
// document needs, few enough that reading never exhausts the stack.
const int maxDepth = 256;

// The element names of a property list, made once.
QString elementName(QStringView name)
{
    static const QString names[] = {QStringLiteral("key"),     QStringLiteral("string"), QStringLiteral("integer"),
                                    QStringLiteral("real"),    QStringLiteral("true"),   QStringLiteral("false"),
                                    QStringLiteral("dict")};
    for (const QString &known : names) {
        if (name == known)
            return known;
    }
    return name.toString();
}

// Texts up to this length are kept once however often they occur.
const int sharedTextLength = 32;

// An id is a decimal number from 1 to 4294967295, digits only.
bool parseId(const QString &text, QmdItemId *id)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    bool ok = false;
    const uint value = text.toUInt(&ok, 10);
    if (!ok || value == 0)
        return false;
    *id = value;
    return true;
}

// An int when the number fits one, else a 64-bit integer.
QVariant integerValue(const QString &text)
{
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok, 10);
    if (ok)
        return value >= INT_MIN && value <= INT_MAX ? QVariant(int(value)) : QVariant(value);
    const qulonglong unsignedValue = text.toULongLong(&ok, 10);
    if (ok)
        return QVariant(unsignedValue);
    return QVariant();
}

} // namespace

// One key and its value, in file order, before the dict's kind is known.
struct QmdPropertyListImporter::Entry
{
    QString key;
    qint64 line;
    QVariant value;
};

QmdPropertyListImporter::QmdPropertyListImporter(QmdModel *model, QIODevice *device, QObject *parent)
    : QmdImportExportInterface(model, device, parent)
{
}

QmdPropertyListImporter::~QmdPropertyListImporter()
{
    QmdTree::release(m_top);
}

QFile::FileError QmdPropertyListImporter::readFile(const QString &fileName, QByteArray *bytes, QString *errorString)
{
    const QFileInfo info(fileName);
    if (!info.exists()) {
        *errorString = tr("The file does not exist.");
        return QFile::OpenError;
    }
    if (!info.isFile()) {
        *errorString = tr("This is not a regular file (a folder, a device or a pipe), so it is not read.");
        return QFile::OpenError;
    }
    if (info.size() > MaxFileSize) {
        *errorString = tr("The file is larger than %1 MB and is not read.").arg(MaxFileSize / (1024 * 1024));
        return QFile::ReadError;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.isSequential()) {
        *errorString = file.isOpen() ? tr("This is not a regular file, so it is not read.") : file.errorString();
        return file.error() != QFile::NoError ? file.error() : QFile::OpenError;
    }
    // Read no more than the limit allows, in case the file grew since.
    bytes->clear();
    bytes->reserve(info.size());
    const qint64 chunk = 1 << 20;
    while (bytes->size() <= MaxFileSize) {
        const QByteArray part = file.read(chunk);
        if (file.error() != QFile::NoError) {
            *errorString = file.errorString();
            bytes->clear();
            return file.error();
        }
        if (part.isEmpty())
            break;
        bytes->append(part);
    }
    if (bytes->size() > MaxFileSize) {
        bytes->clear();
        *errorString = tr("The file is larger than %1 MB and is not read.").arg(MaxFileSize / (1024 * 1024));
        return QFile::ReadError;
    }
    return QFile::NoError;
}

bool QmdPropertyListImporter::parse()
{
    return parseFor(QStringList());
}

Qmd::ContainerType QmdPropertyListImporter::topType() const
{
    const QmdTree *tree = QmdTree::treeOf(m_top);
    return tree ? tree->type() : Qmd::NoContainer;
}

QStringList QmdPropertyListImporter::warnings() const
{
    QStringList lines;
    for (const auto &warning : m_warnings)
        lines << warning.second;
    return lines;
}

bool QmdPropertyListImporter::parseFor(const QStringList &basePath)
{
    if (m_parsed && m_parsedFor == basePath)
        return m_readable;
    m_parsed = true;
    m_parsedFor = basePath;
    m_errorString.clear();
    m_warnings.clear();
    QmdTree::release(m_top);
    m_top = QVariant();

    if (!m_bytesRead) {
        m_bytesRead = true;
        if (device() && device()->isReadable())
            m_bytes = device()->readAll();
        else
            m_errorString = tr("The file is not open for reading.");
    }
    if (!m_errorString.isEmpty()) {
        m_readable = false;
        qDebug().noquote() << m_errorString;
        return false;
    }

    QXmlStreamReader xml(m_bytes);
    xml.setNamespaceProcessing(false);
    m_xml = &xml;
    m_depth = 0;
    m_tooDeep = false;
    m_path = basePath;
    QString rootTag;
    QString version;
    bool hasVersion = false;
    while (!xml.atEnd() && !xml.isStartElement())
        xml.readNext();
    if (xml.isStartElement() && enterElement()) {
        rootTag = xml.name().toString();
        hasVersion = xml.attributes().hasAttribute(QStringLiteral("version"));
        version = xml.attributes().value(QStringLiteral("version")).toString();
        const bool plist = rootTag == QLatin1String("plist") && (!hasVersion || version == QLatin1String("1.0"));
        bool first = true;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isEndElement())
                break;
            if (!xml.isStartElement())
                continue;
            if (!enterElement())
                break;
            if (plist && first)
                m_top = readValue();
            else
                skipElement();
            first = false;
        }
    }
    // The rest of the file must be well formed too.
    while (!xml.atEnd())
        xml.readNext();

    if (m_tooDeep) {
        m_errorString = tr("The file nests values deeper than %1 levels.").arg(maxDepth);
    } else if (xml.hasError()) {
        m_errorString = tr("Parse error at line %1, column %2:\n%3")
                            .arg(QString::number(xml.lineNumber()), QString::number(xml.columnNumber()),
                                 xml.errorString());
    } else if (rootTag != QLatin1String("plist")) {
        m_errorString = tr("The file is not a plist file.");
    } else if (hasVersion && version != QLatin1String("1.0")) {
        m_errorString = tr("The file is not a plist version 1.0 file.");
    }
    m_xml = nullptr;
    m_strings.clear();
    m_path.clear();

    m_readable = m_errorString.isEmpty();
    if (!m_readable) {
        QmdTree::release(m_top);
        m_top = QVariant();
        m_warnings.clear();
        qDebug().noquote() << m_errorString;
        return false;
    }
    std::stable_sort(m_warnings.begin(), m_warnings.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &warning : std::as_const(m_warnings))
        qDebug().noquote() << warning.second;
    return true;
}

// Counts the element just started; false (and reading stops) past maxDepth.
bool QmdPropertyListImporter::enterElement()
{
    if (++m_depth <= maxDepth)
        return true;
    m_tooDeep = true;
    m_xml->raiseError(tr("The file nests values deeper than %1 levels.").arg(maxDepth));
    return false;
}

// Reads past the current element, counting the levels inside it.
void QmdPropertyListImporter::skipElement()
{
    readText();
}

// The text of the current element and of everything inside it, up to its
// end. Text made only of white space between elements is not text of the
// value (as a document reader drops it), unless it is a CDATA section.
QString QmdPropertyListImporter::readText()
{
    QString text;
    const int level = m_depth;
    while (!m_xml->atEnd()) {
        switch (m_xml->readNext()) {
        case QXmlStreamReader::Characters:
            if (m_xml->isCDATA() || !m_xml->isWhitespace()) {
                if (text.isEmpty())
                    text = m_xml->text().toString();
                else
                    text += m_xml->text();
            }
            break;
        case QXmlStreamReader::StartElement:
            if (!enterElement())
                return text;
            break;
        case QXmlStreamReader::EndElement:
            if (m_depth-- == level)
                return text;
            break;
        default:
            break;
        }
    }
    return text;
}

QString QmdPropertyListImporter::shared(const QString &text)
{
    if (text.size() > sharedTextLength)
        return text;
    const auto it = m_strings.constFind(text);
    if (it != m_strings.constEnd())
        return *it;
    m_strings.insert(text);
    return text;
}

// The value of the current element: a QmdTree holder for a dict, a leaf's
// value otherwise; invalid when it was skipped.
QVariant QmdPropertyListImporter::readValue()
{
    if (m_xml->name() == QLatin1String("dict"))
        return readDict();
    const qint64 line = m_xml->lineNumber();
    const QString tag = elementName(m_xml->name());
    const QString text = readText();
    if (m_xml->hasError())
        return QVariant();
    const QString leafText = tag == QLatin1String("string") ? shared(text) : text;
    m_leafLine = line;
    return readLeaf(Leaf{tag, leafText, m_path});
}

QVariant QmdPropertyListImporter::readDict()
{
    const qint64 dictLine = m_xml->lineNumber();
    const qsizetype warningMark = m_warnings.size();
    QList<Entry> entries;
    // The kind: the string after the first "ContainerType" key, wherever
    // that key stands.
    enum { Searching, AwaitingType, TypeFound } typeScan = Searching;
    QString typeText;
    QString pendingKey;
    qint64 pendingLine = 0;
    bool hasPendingKey = false;

    while (!m_xml->atEnd()) {
        m_xml->readNext();
        if (m_xml->isEndElement()) {
            --m_depth;
            break;
        }
        if (!m_xml->isStartElement())
            continue;
        if (!enterElement())
            break;
        const qint64 line = m_xml->lineNumber();
        const bool isKey = m_xml->name() == QLatin1String("key");
        if (hasPendingKey && !isKey && pendingKey != containerTypeKey) {
            m_path.append(pendingKey);
            const QVariant value = readValue();
            m_path.removeLast();
            entries.append(Entry{pendingKey, pendingLine, value});
            hasPendingKey = false;
            continue;
        }
        const QString tag = elementName(m_xml->name());
        const QString text = readText();
        if (typeScan == AwaitingType) {
            typeScan = TypeFound;
            if (tag == QLatin1String("string"))
                typeText = text;
        } else if (typeScan == Searching && isKey && text == containerTypeKey) {
            typeScan = AwaitingType;
        }
        if (!hasPendingKey) {
            if (!isKey) {
                warnAt(line, tr("<%1> found where a key was expected; skipped.").arg(tag));
            } else if (text.isEmpty()) {
                warnAt(line, tr("an empty key was skipped."));
            } else {
                pendingKey = shared(text);
                pendingLine = line;
                hasPendingKey = true;
            }
        } else if (pendingKey == containerTypeKey) {
            hasPendingKey = false;
        } else {
            warnAt(pendingLine, tr("the key \"%1\" has no value; skipped.").arg(pendingKey));
            hasPendingKey = false;
        }
    }
    if (hasPendingKey && pendingKey != containerTypeKey)
        warnAt(pendingLine, tr("the key \"%1\" has no value; skipped.").arg(pendingKey));
    if (m_xml->hasError()) {
        for (const Entry &entry : std::as_const(entries))
            QmdTree::release(entry.value);
        return QVariant();
    }

    Qmd::ContainerType containerType = Qmd::NoContainer;
    if (typeText == QLatin1String("IntDict"))
        containerType = Qmd::IntDict;
    else if (typeText == QLatin1String("StrDict"))
        containerType = Qmd::StrDict;
    if (containerType == Qmd::NoContainer) {
        // Nothing inside a dict of unknown kind is read, so nothing inside it
        // is reported either.
        for (const Entry &entry : std::as_const(entries))
            QmdTree::release(entry.value);
        m_warnings.resize(warningMark);
        warnAt(dictLine, tr("a dict of unknown kind \"%1\" was skipped.").arg(typeText));
        return QVariant();
    }

    auto *tree = new QmdTree(containerType);
    if (containerType == Qmd::IntDict)
        tree->ids().reserve(entries.size());
    else
        tree->keys().reserve(entries.size());
    for (const Entry &entry : std::as_const(entries)) {
        QVariant *stored = nullptr;
        if (containerType == Qmd::IntDict) {
            QmdItemId id = 0;
            if (!parseId(entry.key, &id)) {
                warnAt(entry.line, tr("\"%1\" is not an id from 1 to 4294967295; its entry was skipped.")
                                       .arg(entry.key));
                QmdTree::release(entry.value);
                continue;
            }
            const auto it = tree->ids().find(id);
            stored = it != tree->ids().end() ? &it.value() : nullptr;
            if (!stored && entry.value.isValid())
                tree->ids().insert(id, entry.value);
        } else {
            const auto it = tree->keys().find(entry.key);
            stored = it != tree->keys().end() ? &it.value() : nullptr;
            if (!stored && entry.value.isValid())
                tree->keys().insert(entry.key, entry.value);
        }
        // A key met twice keeps its later value (the earlier one when the
        // later cannot be read); either way one of them is lost, and reported.
        if (stored) {
            warnAt(entry.line,
                   tr("the key \"%1\" appears more than once; only one of its values is kept.").arg(entry.key));
            if (entry.value.isValid()) {
                QmdTree::release(*stored);
                *stored = entry.value;
            }
        }
    }
    return QmdTree::holding(tree);
}

bool QmdPropertyListImporter::read(const QmdIndex &target)
{
    QStringList basePath;
    for (QmdIndex at = target; at.isValid(); at = QmdDirectModelInterface::parent(at))
        basePath.prepend(at.id() != 0 ? QString::number(at.id()) : at.key());
    if (!parseFor(basePath))
        return false;
    if (QmdTree *tree = QmdTree::treeOf(m_top)) {
        m_top = QVariant();
        model()->setTree(target, std::unique_ptr<QmdTree>(tree));
    } else if (m_top.isValid()) {
        setData(target, m_top);
    }
    // A second read parses again.
    m_parsed = false;
    return true;
}

std::unique_ptr<QmdTree> QmdPropertyListImporter::readTree(const QStringList &basePath)
{
    if (!parseFor(basePath))
        return nullptr;
    m_parsed = false;
    std::unique_ptr<QmdTree> tree(QmdTree::treeOf(m_top));
    if (!tree)
        QmdTree::release(m_top);
    m_top = QVariant();
    return tree;
}

QVariant QmdPropertyListImporter::readLeaf(const Leaf &leaf)
{
    const QString &tag = leaf.tag;
    QVariant value;
    if (tag == QLatin1String("string"))
        return leaf.text;
    if (tag == QLatin1String("true"))
        return true;
    if (tag == QLatin1String("false"))
        return false;
    if (tag == QLatin1String("integer")) {
        value = integerValue(leaf.text);
    } else if (tag == QLatin1String("real")) {
        bool ok = false;
        const double real = leaf.text.toDouble(&ok);
        if (ok)
            value = real;
    } else {
        warn(tr("<%1> is not a value a document can hold; skipped.").arg(tag));
        return QVariant();
    }
    if (!value.isValid())
        warn(tr("\"%1\" is not a valid <%2>; skipped.").arg(leaf.text, tag));
    return value;
}

void QmdPropertyListImporter::warn(const QString &message)
{
    warnAt(m_leafLine, message);
}

void QmdPropertyListImporter::warnAt(qint64 line, const QString &message)
{
    m_warnings.append({line, tr("Line %1: %2").arg(QString::number(line), message)});
}
