#include "qmdpropertylistimporter.h"

#include "qmdmodel.h"
#include "qmdpropertylisttokenizer.h"

#include <QBuffer>
#include <QDebug>
#include <QFileInfo>
#include <QIODevice>
#include <QVarLengthArray>
#include <QXmlStreamReader>

#include <algorithm>
#include <climits>
#include <cstring>
#include <type_traits>
#include <vector>

namespace {

const QString containerTypeKey = QStringLiteral("ContainerType");

// Element levels a file may nest, "plist" included: far more than any
// document needs, few enough that reading never exhausts the stack.
const int maxDepth = 256;

// The element names of a property list, made once.
const QString elementNames[] = {QStringLiteral("key"),  QStringLiteral("string"), QStringLiteral("integer"),
                                QStringLiteral("real"), QStringLiteral("true"),   QStringLiteral("false"),
                                QStringLiteral("dict")};

QString elementName(QStringView name)
{
    for (const QString &known : elementNames) {
        if (name == known)
            return known;
    }
    return name.toString();
}

// The plain tokenizer's names are bytes: compared as bytes, by length first,
// without a conversion per name.
QString elementName(QLatin1StringView name)
{
    const char *bytes = name.data();
    switch (name.size()) {
    case 3:
        if (std::memcmp(bytes, "key", 3) == 0)
            return elementNames[0];
        break;
    case 4:
        if (std::memcmp(bytes, "real", 4) == 0)
            return elementNames[3];
        if (std::memcmp(bytes, "true", 4) == 0)
            return elementNames[4];
        if (std::memcmp(bytes, "dict", 4) == 0)
            return elementNames[6];
        break;
    case 5:
        if (std::memcmp(bytes, "false", 5) == 0)
            return elementNames[5];
        break;
    case 6:
        if (std::memcmp(bytes, "string", 6) == 0)
            return elementNames[1];
        break;
    case 7:
        if (std::memcmp(bytes, "integer", 7) == 0)
            return elementNames[2];
        break;
    default:
        break;
    }
    return name.toString();
}

// QXmlStreamReader with the calls the parse makes of a tokenizer.
class GeneralTokens
{
public:
    explicit GeneralTokens(const QByteArray &bytes)
        : m_xml(bytes)
    {
        m_xml.setNamespaceProcessing(false);
    }

    void readNext() { m_xml.readNext(); }
    bool atEnd() const { return m_xml.atEnd(); }
    bool isStartElement() const { return m_xml.isStartElement(); }
    bool isEndElement() const { return m_xml.isEndElement(); }
    bool isCharacters() const { return m_xml.isCharacters(); }
    QStringView name() const { return m_xml.name(); }
    bool hasVersion() const { return m_xml.attributes().hasAttribute(QStringLiteral("version")); }
    bool isVersionOne() const { return m_xml.attributes().value(QStringLiteral("version")) == QLatin1String("1.0"); }
    bool isCDATA() const { return m_xml.isCDATA(); }
    bool isWhitespace() const { return m_xml.isWhitespace(); }
    QString text() const { return m_xml.text().toString(); }
    qint64 lineNumber() const { return m_xml.lineNumber(); }
    QString errorText() const
    {
        return QmdPropertyListImporter::tr("The file is not well-formed at line %1, column %2: %3")
            .arg(QString::number(m_xml.lineNumber()), QString::number(m_xml.columnNumber()), m_xml.errorString());
    }
    bool hasError() const { return m_xml.hasError(); }
    bool isUnsupported() const { return false; }
    void raiseError() { m_xml.raiseError(QStringLiteral("too deep")); }

private:
    QXmlStreamReader m_xml;
};

QString parseErrorText(const GeneralTokens &tokens)
{
    return tokens.errorText();
}

// The plain tokenizer stops only where the parse asked it to.
QString parseErrorText(const QmdPropertyListTokenizer &)
{
    return QString();
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

// The short texts of a file by their bytes, each made into a string once: an
// open table with a hash that is cheap for the few bytes of a key or a word
// (and sees every byte, so that texts alike in part do not collide).
class QmdPropertyListImporter::PlainTexts
{
public:
    QString text(QLatin1StringView bytes)
    {
        const size_t hash = hashOf(bytes.data(), bytes.size());
        const size_t mask = m_slots.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            Slot &slot = m_slots[i];
            if (slot.size < 0) {
                slot = Slot{bytes.data(), bytes.size(), hash, QString(bytes)};
                const QString text = slot.text;
                if (++m_count * 2 > qsizetype(m_slots.size()))
                    grow();
                return text;
            }
            if (slot.hash == hash && slot.size == bytes.size()
                && std::memcmp(slot.bytes, bytes.data(), size_t(bytes.size())) == 0)
                return slot.text;
        }
    }

private:
    // Every byte counts, read eight (or four) at a time.
    static size_t hashOf(const char *bytes, qsizetype size)
    {
        constexpr quint64 factor = 0x9E3779B97F4A7C15ULL;
        quint64 hash = quint64(size) * factor;
        const auto mix = [&hash](quint64 word) { hash = (hash ^ word) * factor; };
        if (size >= 8) {
            for (qsizetype at = 0; at + 8 <= size; at += 8)
                mix(word<quint64>(bytes + at));
            mix(word<quint64>(bytes + size - 8));
        } else if (size >= 4) {
            mix(quint64(word<quint32>(bytes)) << 32 | word<quint32>(bytes + size - 4));
        } else {
            for (qsizetype at = 0; at < size; ++at)
                mix(static_cast<unsigned char>(bytes[at]));
        }
        return size_t(hash ^ (hash >> 29));
    }

    template <typename Word> static Word word(const char *bytes)
    {
        Word value;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }

    struct Slot
    {
        const char *bytes = nullptr;
        qsizetype size = -1; // -1: a free slot
        size_t hash = 0;
        QString text;
    };

    void grow()
    {
        std::vector<Slot> old(m_slots.size() * 2);
        old.swap(m_slots);
        const size_t mask = m_slots.size() - 1;
        for (Slot &slot : old) {
            if (slot.size < 0)
                continue;
            size_t i = slot.hash & mask;
            while (m_slots[i].size >= 0)
                i = (i + 1) & mask;
            m_slots[i] = std::move(slot);
        }
    }

    std::vector<Slot> m_slots = std::vector<Slot>(1024);
    qsizetype m_count = 0;
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
    const auto failed = [&] {
        *errorString = file.errorString();
        bytes->clear();
        return file.error();
    };
    // The size the file had straight into place, then whatever it grew by
    // since, no more than the limit allows.
    bytes->resize(info.size());
    qint64 filled = 0;
    while (filled < bytes->size()) {
        const qint64 read = file.read(bytes->data() + filled, bytes->size() - filled);
        if (read < 0 || file.error() != QFile::NoError)
            return failed();
        if (read == 0)
            break;
        filled += read;
    }
    bytes->resize(filled);
    const qint64 chunk = 1 << 20;
    while (bytes->size() <= MaxFileSize) {
        const QByteArray part = file.read(chunk);
        if (file.error() != QFile::NoError)
            return failed();
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
    m_plistRoot = false;
    m_warnings.clear();
    QmdTree::release(m_top);
    m_top = QVariant();

    if (!m_bytesRead) {
        m_bytesRead = true;
        auto *buffer = qobject_cast<QBuffer *>(device());
        if (buffer && buffer->isReadable() && buffer->pos() == 0) {
            // The buffer's bytes themselves, shared rather than copied.
            m_bytes = buffer->data();
            buffer->seek(buffer->size());
        } else if (device() && device()->isReadable()) {
            m_bytes = device()->readAll();
        } else {
            m_errorString = tr("The file is not open for reading.");
        }
    }
    if (!m_errorString.isEmpty()) {
        m_readable = false;
        qDebug().noquote() << m_errorString;
        return false;
    }

    m_path = basePath;
    m_plainTexts = std::make_unique<PlainTexts>();
    QmdPropertyListTokenizer plain(m_bytes);
    parseTokens(plain);
    if (plain.isUnsupported()) {
        // Not the plain form this program writes: the general reader reads
        // it again from the start.
        QmdTree::release(m_top);
        m_top = QVariant();
        m_warnings.clear();
        m_errorString.clear();
        m_path = basePath;
        GeneralTokens general(m_bytes);
        parseTokens(general);
    }
    m_strings.clear();
    m_plainTexts.reset();
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

// Reads the whole file: its root element, the first value inside it, and
// the rest of the file (which must be well formed too). Leaves the reason in
// m_errorString when the file cannot be read; stops early when the plain
// tokenizer meets what it leaves to the general one.
template <typename Tokens>
void QmdPropertyListImporter::parseTokens(Tokens &tokens)
{
    m_depth = 0;
    m_tooDeep = false;
    QString rootTag;
    bool hasVersion = false;
    bool versionOne = false;
    while (!tokens.atEnd() && !tokens.isStartElement())
        tokens.readNext();
    if (tokens.isStartElement() && enterElement(tokens)) {
        rootTag = tokens.name().toString();
        hasVersion = tokens.hasVersion();
        versionOne = tokens.isVersionOne();
        const bool plist = rootTag == QLatin1String("plist") && (!hasVersion || versionOne);
        bool first = true;
        while (!tokens.atEnd()) {
            tokens.readNext();
            if (tokens.isEndElement())
                break;
            if (!tokens.isStartElement())
                continue;
            if (!enterElement(tokens))
                break;
            if (plist && first)
                m_top = readValue(tokens);
            else
                readText(tokens);
            first = false;
        }
    }
    while (!tokens.atEnd())
        tokens.readNext();
    if (tokens.isUnsupported())
        return;

    m_plistRoot = rootTag == QLatin1String("plist");
    // A file whose first element is no "plist" (or that has none: plain
    // text, a picture) is of another kind, whatever else is wrong with it.
    if (m_tooDeep)
        m_errorString = tr("The file nests values deeper than %1 levels.").arg(maxDepth);
    else if (!m_plistRoot)
        m_errorString = tr("The file is not a plist file.");
    else if (tokens.hasError())
        m_errorString = parseErrorText(tokens);
    else if (hasVersion && !versionOne)
        m_errorString = tr("The file is not a plist version 1.0 file.");
}

// Counts the element just started; false (and reading stops) past maxDepth.
template <typename Tokens>
bool QmdPropertyListImporter::enterElement(Tokens &tokens)
{
    if (++m_depth <= maxDepth)
        return true;
    m_tooDeep = true;
    tokens.raiseError();
    return false;
}

// The text of the current element and of everything inside it, up to its
// end. Text made only of white space between elements is not text of the
// value (as a document reader drops it), unless it is a CDATA section.
// Short texts come back shared.
template <typename Tokens>
QString QmdPropertyListImporter::readText(Tokens &tokens)
{
    QString text;
    bool whole = true; // the text is one token's, already shared
    const int level = m_depth;
    while (!tokens.atEnd()) {
        tokens.readNext();
        if (tokens.isCharacters()) {
            if (tokens.isCDATA() || !tokens.isWhitespace()) {
                if (text.isEmpty()) {
                    text = sharedText(tokens);
                } else {
                    text += tokens.text();
                    whole = false;
                }
            }
        } else if (tokens.isStartElement()) {
            if (!enterElement(tokens))
                break;
        } else if (tokens.isEndElement()) {
            if (m_depth-- == level)
                break;
        }
    }
    return whole ? text : shared(text);
}

template <typename Tokens>
QString QmdPropertyListImporter::sharedText(Tokens &tokens)
{
    if constexpr (std::is_same_v<Tokens, QmdPropertyListTokenizer>) {
        // Straight from the file's bytes: no string is made for a text met before.
        if (tokens.isPlainText() && tokens.plainText().size() <= sharedTextLength)
            return m_plainTexts->text(tokens.plainText());
    }
    return shared(tokens.text());
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
template <typename Tokens>
QVariant QmdPropertyListImporter::readValue(Tokens &tokens)
{
    if (tokens.name() == QLatin1String("dict"))
        return readDict(tokens);
    const qint64 line = tokens.lineNumber();
    const QString tag = elementName(tokens.name());
    const QString text = readText(tokens);
    if (tokens.hasError() || tokens.isUnsupported())
        return QVariant();
    m_leafLine = line;
    return readLeaf(Leaf{tag, text, m_path});
}

namespace {

// Stores value under key unless the key is taken (an invalid value is not
// stored); returns the value already stored under the key, or null. One
// search of the map either way.
template <typename Key>
QVariant *storeNew(QMap<Key, QVariant> &entries, const Key &key, const QVariant &value)
{
    const auto it = entries.lowerBound(key);
    if (it != entries.end() && it.key() == key)
        return &it.value();
    if (value.isValid())
        entries.insert(it, key, value);
    return nullptr;
}

} // namespace

template <typename Tokens>
QVariant QmdPropertyListImporter::readDict(Tokens &tokens)
{
    const qint64 dictLine = tokens.lineNumber();
    const qsizetype warningMark = m_warnings.size();
    QVarLengthArray<Entry, 16> entries;
    // The kind: the string after the first "ContainerType" key, wherever
    // that key stands.
    enum { Searching, AwaitingType, TypeFound } typeScan = Searching;
    QString typeText;
    QString pendingKey;
    qint64 pendingLine = 0;
    bool hasPendingKey = false;

    while (!tokens.atEnd()) {
        tokens.readNext();
        if (tokens.isEndElement()) {
            --m_depth;
            break;
        }
        if (!tokens.isStartElement())
            continue;
        if (!enterElement(tokens))
            break;
        const qint64 line = tokens.lineNumber();
        const bool isKey = tokens.name() == QLatin1String("key");
        if (hasPendingKey && !isKey && pendingKey != containerTypeKey) {
            m_path.append(pendingKey);
            const QVariant value = readValue(tokens);
            m_path.removeLast();
            entries.append(Entry{pendingKey, pendingLine, value});
            hasPendingKey = false;
            continue;
        }
        const QString tag = elementName(tokens.name());
        const QString text = readText(tokens);
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
                pendingKey = text;
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
    if (tokens.hasError() || tokens.isUnsupported()) {
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
            stored = storeNew(tree->ids(), id, entry.value);
        } else {
            stored = storeNew(tree->keys(), entry.key, entry.value);
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
