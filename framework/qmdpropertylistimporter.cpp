#include "qmdpropertylistimporter.h"

#include <QDebug>
#include <QFileInfo>
#include <QIODevice>
#include <QXmlStreamReader>

#include <climits>

namespace {

const QString containerTypeKey = QStringLiteral("ContainerType");

// Element levels a file may nest, "plist" included: far more than any
// document needs, few enough that reading never exhausts the stack.
const int maxDepth = 256;

// Whether the elements of the text nest deeper than maxDepth. Looks no
// further than the first syntax error, which the parser reports itself.
bool nestsTooDeep(const QByteArray &bytes)
{
    QXmlStreamReader reader(bytes);
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth > maxDepth)
                return true;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    return false;
}

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

QmdPropertyListImporter::QmdPropertyListImporter(QmdModel *model, QIODevice *device, QObject *parent)
    : QmdImportExportInterface(model, device, parent)
{
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
    if (m_parsed)
        return m_readable;
    m_parsed = true;

    if (!device() || !device()->isReadable()) {
        m_errorString = tr("The file is not open for reading.");
    } else {
        const QByteArray bytes = device()->readAll();
        QString message;
        int line = 0;
        int column = 0;
        if (nestsTooDeep(bytes)) {
            m_errorString = tr("The file nests values deeper than %1 levels.").arg(maxDepth);
        } else if (!m_document.setContent(bytes, false, &message, &line, &column)) {
            m_errorString = tr("Parse error at line %1, column %2:\n%3")
                                .arg(QString::number(line), QString::number(column), message);
        } else {
            const QDomElement root = m_document.documentElement();
            if (root.tagName() != QLatin1String("plist"))
                m_errorString = tr("The file is not a plist file.");
            else if (root.hasAttribute(QStringLiteral("version"))
                     && root.attribute(QStringLiteral("version")) != QLatin1String("1.0"))
                m_errorString = tr("The file is not a plist version 1.0 file.");
        }
    }

    m_readable = m_errorString.isEmpty();
    if (!m_readable) {
        m_document.clear();
        qDebug().noquote() << m_errorString;
    }
    return m_readable;
}

bool QmdPropertyListImporter::read(const QmdIndex &target)
{
    m_warnings.clear();
    if (!parse())
        return false;
    const QDomElement top = m_document.documentElement().firstChildElement();
    if (!top.isNull())
        readDict(top, target);
    return true;
}

bool QmdPropertyListImporter::readDict(const QDomElement &element, const QmdIndex &target)
{
    if (element.tagName() != QLatin1String("dict")) {
        const QVariant value = readLeaf(element, target);
        if (value.isValid())
            setData(target, value);
        return value.isValid();
    }

    // The kind of the container: the string after the first "ContainerType"
    // key, wherever that pair stands among the keys.
    QString typeText;
    for (QDomElement key = element.firstChildElement(QStringLiteral("key")); !key.isNull();
         key = key.nextSiblingElement(QStringLiteral("key"))) {
        if (key.text() != containerTypeKey)
            continue;
        const QDomElement value = key.nextSiblingElement();
        if (!value.isNull() && value.tagName() == QLatin1String("string"))
            typeText = value.text();
        break;
    }
    Qmd::ContainerType containerType;
    if (typeText == QLatin1String("IntDict")) {
        containerType = Qmd::IntDict;
    } else if (typeText == QLatin1String("StrDict")) {
        containerType = Qmd::StrDict;
    } else {
        warn(element, tr("a dict of unknown kind \"%1\" was skipped.").arg(typeText));
        return false;
    }

    setType(target, containerType);
    if (type(target) != containerType) {
        warn(element, tr("the container could not be created here; the dict was skipped."));
        return false;
    }

    QDomElement key = element.firstChildElement();
    while (!key.isNull()) {
        if (key.tagName() != QLatin1String("key")) {
            warn(key, tr("<%1> found where a key was expected; skipped.").arg(key.tagName()));
            key = key.nextSiblingElement();
            continue;
        }
        const QString keyText = key.text();
        if (keyText.isEmpty()) {
            warn(key, tr("an empty key was skipped."));
            key = key.nextSiblingElement();
            continue;
        }
        const QDomElement value = key.nextSiblingElement();
        if (keyText == containerTypeKey) {
            key = value.isNull() ? value : value.nextSiblingElement();
            continue;
        }
        if (value.isNull() || value.tagName() == QLatin1String("key")) {
            warn(key, tr("the key \"%1\" has no value; skipped.").arg(keyText));
            key = value.isNull() ? value : value.nextSiblingElement();
            continue;
        }
        readEntry(containerType, key, value, target);
        key = value.nextSiblingElement();
    }
    return true;
}

void QmdPropertyListImporter::readEntry(Qmd::ContainerType containerType, const QDomElement &key,
                                        const QDomElement &value, const QmdIndex &target)
{
    const QString keyText = key.text();
    QmdIndex child;
    QmdItemId id = 0;
    if (containerType == Qmd::IntDict) {
        if (!parseId(keyText, &id)) {
            warn(key, tr("\"%1\" is not an id from 1 to 4294967295; its entry was skipped.").arg(keyText));
            return;
        }
        child = index(id, target);
    } else {
        child = index(keyText, target);
    }
    // A key met twice keeps its later value (the earlier one when the later
    // cannot be read); either way one of them is lost, and reported.
    const bool existed = child.isValid();
    if (existed) {
        warn(key, tr("the key \"%1\" appears more than once; only one of its values is kept.").arg(keyText));
    } else if (containerType == Qmd::IntDict) {
        setType(id, Qmd::NoContainer, target);
        child = index(id, target);
    } else {
        setType(keyText, Qmd::NoContainer, target);
        child = index(keyText, target);
    }
    if (!child.isValid()) {
        warn(key, tr("the entry \"%1\" could not be created; skipped.").arg(keyText));
        return;
    }
    // A value that could not be read leaves no entry behind: an empty key
    // would hide the value a reader falls back on and be saved as text.
    if (!readDict(value, child) && !existed)
        remove(child);
}

QVariant QmdPropertyListImporter::readLeaf(const QDomElement &element, const QmdIndex &)
{
    const QString tag = element.tagName();
    QVariant value;
    if (tag == QLatin1String("string"))
        return element.text();
    if (tag == QLatin1String("true"))
        return true;
    if (tag == QLatin1String("false"))
        return false;
    if (tag == QLatin1String("integer")) {
        value = integerValue(element.text());
    } else if (tag == QLatin1String("real")) {
        bool ok = false;
        const double real = element.text().toDouble(&ok);
        if (ok)
            value = real;
    } else {
        warn(element, tr("<%1> is not a value a document can hold; skipped.").arg(tag));
        return QVariant();
    }
    if (!value.isValid())
        warn(element, tr("\"%1\" is not a valid <%2>; skipped.").arg(element.text(), tag));
    return value;
}

void QmdPropertyListImporter::warn(const QDomElement &element, const QString &message)
{
    const QString line = tr("Line %1: %2").arg(QString::number(element.lineNumber()), message);
    m_warnings << line;
    qDebug().noquote() << line;
}
