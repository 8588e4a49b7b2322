#include "qmdpropertylistexporter.h"

#include <QDebug>
#include <QIODevice>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

const QLatin1StringView doctype("<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\""
                                " \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">");

bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
        || (c >= 0x10000 && c <= 0x10FFFF);
}

bool isXmlSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// The text with every character that XML 1.0 cannot carry (control
// characters, unpaired surrogates, U+FFFE, U+FFFF) replaced by U+FFFD.
QString xmlSafe(const QString &text, bool *replaced)
{
    *replaced = false;
    // Most texts are plain: no copy for them.
    if (std::all_of(text.cbegin(), text.cend(), [](QChar c) {
            return c.unicode() >= 0x20 ? c.unicode() < 0xD800 : (c == u'\t' || c == u'\n' || c == u'\r');
        }))
        return text;
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            result += c;
            result += text.at(++i);
        } else if (!c.isSurrogate() && isXmlChar(c.unicode())) {
            result += c;
        } else {
            result += QChar(QChar::ReplacementCharacter);
            *replaced = true;
        }
    }
    return result;
}

// The shortest text that reads back as the same double; keeps the sign of
// negative zero.
QString realText(double value)
{
    if (value == 0.0 && std::signbit(value))
        return QStringLiteral("-0");
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

} // namespace

QmdPropertyListExporter::QmdPropertyListExporter(QmdModel *model, QIODevice *device, QObject *parent)
    : QmdImportExportInterface(model, device, parent)
{
}

void QmdPropertyListExporter::exclude(const QmdIndex &index)
{
    m_exclusions.insert(index);
}

bool QmdPropertyListExporter::write(const QmdIndex &index)
{
    m_warnings.clear();
    writeBegin();
    if (!m_exclusions.contains(index))
        writeValue(index);
    writeEnd();
    return !hasError();
}

void QmdPropertyListExporter::writeBegin()
{
    m_noDevice = !device() || !device()->isWritable();
    m_writer.setDevice(device());
    m_pathParent.reset();
    m_writer.writeStartDocument();
    m_writer.writeDTD(doctype);
    m_writer.writeStartElement(QLatin1StringView("plist"));
    m_writer.writeAttribute(QLatin1StringView("version"), QStringLiteral("1.0"));
}

void QmdPropertyListExporter::writeValue(const QmdIndex &index)
{
    m_current = index;
    switch (type(index)) {
    case Qmd::NoContainer:
        writeLeaf(index);
        break;
    case Qmd::IntDict:
        writeIntDict(childIndexes(index));
        break;
    case Qmd::StrDict:
        writeStrDict(childIndexes(index));
        break;
    }
}

void QmdPropertyListExporter::writeEnd()
{
    m_writer.writeEndElement();
    m_writer.flush();
}

void QmdPropertyListExporter::writeIntDict(const QmdIndexList &children)
{
    writeDict(QStringLiteral("IntDict"), children);
}

void QmdPropertyListExporter::writeStrDict(const QmdIndexList &children)
{
    writeDict(QStringLiteral("StrDict"), children);
}

void QmdPropertyListExporter::writeLeaf(const QmdIndex &index)
{
    const QVariant value = data(index);
    switch (value.typeId()) {
    case QMetaType::Bool:
        m_writer.writeEmptyElement(value.toBool() ? QLatin1StringView("true") : QLatin1StringView("false"));
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        writeTextElement(QLatin1StringView("integer"), value.toString());
        break;
    case QMetaType::Double:
        writeTextElement(QLatin1StringView("real"), realText(value.toDouble()));
        break;
    default:
        writeTextElement(QLatin1StringView("string"), value.toString());
        break;
    }
}

void QmdPropertyListExporter::writeDict(const QString &containerTypeText, const QmdIndexList &children)
{
    m_writer.writeStartElement(QLatin1StringView("dict"));
    writeTextElement(QLatin1StringView("key"), QStringLiteral("ContainerType"));
    writeTextElement(QLatin1StringView("string"), containerTypeText);
    for (const QmdIndex &child : children) {
        if (m_exclusions.contains(child))
            continue;
        writeTextElement(QLatin1StringView("key"), keyText(child));
        writeValue(child);
    }
    m_writer.writeEndElement();
}

QString QmdPropertyListExporter::keyText(const QmdIndex &index) const
{
    return index.id() != 0 ? QString::number(index.id()) : index.key();
}

QStringList QmdPropertyListExporter::path(const QmdIndex &index)
{
    // Siblings follow each other: their parent's keys are looked up once.
    const QmdIndex parent = QmdDirectModelInterface::parent(index);
    if (!m_pathParent || *m_pathParent != parent) {
        m_parentPath.clear();
        for (QmdIndex at = parent; at.isValid(); at = QmdDirectModelInterface::parent(at))
            m_parentPath.prepend(keyText(at));
        m_pathParent = parent;
    }
    QStringList keys = m_parentPath;
    if (index.isValid())
        keys.append(keyText(index));
    return keys;
}

QString QmdPropertyListExporter::pathText(const QmdIndex &index) const
{
    QStringList keys;
    for (QmdIndex at = index; at.isValid(); at = QmdDirectModelInterface::parent(at))
        keys.prepend(keyText(at));
    return keys.isEmpty() ? tr("the document") : QStringLiteral("\"%1\"").arg(keys.join(QLatin1Char('/')));
}

bool QmdPropertyListExporter::hasError() const
{
    return m_noDevice || m_writer.hasError();
}

void QmdPropertyListExporter::writeTextElement(const QString &name, const QString &text)
{
    const QByteArray latin1 = name.toLatin1();
    writeTextElement(QLatin1StringView(latin1), text);
}

void QmdPropertyListExporter::writeTextElement(QLatin1StringView name, const QString &text)
{
    bool replaced = false;
    const QString safe = xmlSafe(text, &replaced);
    if (replaced) {
        const QString warning = name == QLatin1String("key")
            ? tr("Characters that a document file cannot hold were replaced in the key \"%1\".").arg(safe)
            : tr("Characters that a document file cannot hold were replaced in the value of %1.")
                  .arg(pathText(m_current));
        m_warnings << warning;
        qDebug().noquote() << warning;
    }

    if (!safe.contains(u'\r') && !(!safe.isEmpty() && std::all_of(safe.cbegin(), safe.cend(), isXmlSpace))) {
        m_writer.writeTextElement(name, safe);
        return;
    }
    m_writer.writeStartElement(name);
    if (!safe.isEmpty() && std::all_of(safe.cbegin(), safe.cend(), isXmlSpace)) {
        m_writer.writeCDATA(safe);
    } else {
        qsizetype start = 0;
        for (qsizetype i = 0; i < safe.size(); ++i) {
            if (safe.at(i) != u'\r')
                continue;
            m_writer.writeCharacters(safe.mid(start, i - start));
            m_writer.writeEntityReference(QLatin1StringView("#13"));
            start = i + 1;
        }
        m_writer.writeCharacters(safe.mid(start));
    }
    m_writer.writeEndElement();
}
