#include "qmdpropertylistimporter.h"

#include <QDebug>
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

void QmdPropertyListImporter::readDict(const QDomElement &element, const QmdIndex &target)
{
    if (element.tagName() != QLatin1String("dict")) {
        const QVariant value = readLeaf(element, target);
        if (value.isValid())
            setData(target, value);
        return;
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
        return;
    }

    setType(target, containerType);
    if (type(target) != containerType) {
        warn(element, tr("the container could not be created here; the dict was skipped."));
        return;
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
}

void QmdPropertyListImporter::readEntry(Qmd::ContainerType containerType, const QDomElement &key,
                                        const QDomElement &value, const QmdIndex &target)
{
    const QString keyText = key.text();
    QmdIndex child;
    if (containerType == Qmd::IntDict) {
        QmdItemId id = 0;
        if (!parseId(keyText, &id)) {
            warn(key, tr("\"%1\" is not an id from 1 to 4294967295; its entry was skipped.").arg(keyText));
            return;
        }
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
    readDict(value, child);
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
