#include "qmdpropertylistwriter.h"

#include <QIODevice>

#include <algorithm>

namespace {

// Bytes gathered before they go to the device.
const qsizetype blockSize = 1 << 16;

const QLatin1StringView indentation("                                                                ");

} // namespace

QmdPropertyListWriter::~QmdPropertyListWriter()
{
    flush();
}

void QmdPropertyListWriter::setDevice(QIODevice *device)
{
    flush();
    m_device = device;
    m_buffer.clear();
    m_buffer.reserve(size_t(blockSize) + 4096);
    m_open.clear();
    m_inStartTag = false;
    m_afterEndTag = false;
    m_wroteAny = false;
    m_error = !device;
}

void QmdPropertyListWriter::writeStartDocument()
{
    append(QLatin1StringView("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    m_wroteAny = true;
}

void QmdPropertyListWriter::writeDTD(QLatin1StringView dtd)
{
    closeStartTag();
    if (m_wroteAny)
        m_buffer.push_back('\n');
    append(dtd);
    m_wroteAny = true;
}

void QmdPropertyListWriter::writeStartElement(QLatin1StringView name)
{
    closeStartTag();
    newLine(m_open.size());
    m_buffer.push_back('<');
    append(name);
    m_open.append(name);
    m_inStartTag = true;
    m_afterEndTag = false;
    m_wroteAny = true;
}

void QmdPropertyListWriter::writeAttribute(QLatin1StringView name, const QString &value)
{
    m_buffer.push_back(' ');
    append(name);
    m_buffer.append("=\"", 2);
    appendEscaped(value);
    m_buffer.push_back('"');
}

void QmdPropertyListWriter::writeEndElement()
{
    if (m_open.isEmpty())
        return;
    const QLatin1StringView name = m_open.last();
    m_open.removeLast();
    if (m_inStartTag) {
        m_buffer.append("/>", 2);
        m_inStartTag = false;
    } else {
        if (m_afterEndTag)
            newLine(m_open.size());
        m_buffer.append("</", 2);
        append(name);
        m_buffer.push_back('>');
    }
    m_afterEndTag = true;
    flushIfFull();
}

void QmdPropertyListWriter::writeEmptyElement(QLatin1StringView name)
{
    closeStartTag();
    newLine(m_open.size());
    m_buffer.push_back('<');
    append(name);
    m_buffer.append("/>", 2);
    m_afterEndTag = true;
    m_wroteAny = true;
}

void QmdPropertyListWriter::writeTextElement(QLatin1StringView name, const QString &text)
{
    writeStartElement(name);
    writeCharacters(text);
    writeEndElement();
}

void QmdPropertyListWriter::writeCharacters(const QString &text)
{
    closeStartTag();
    appendEscaped(text);
    m_afterEndTag = false;
}

void QmdPropertyListWriter::writeCDATA(const QString &text)
{
    closeStartTag();
    append(QLatin1StringView("<![CDATA["));
    QString safe = text;
    safe.replace(QLatin1StringView("]]>"), QLatin1StringView("]]]]><![CDATA[>"));
    const QByteArray utf8 = safe.toUtf8();
    m_buffer.append(utf8.constData(), size_t(utf8.size()));
    append(QLatin1StringView("]]>"));
    m_afterEndTag = false;
}

void QmdPropertyListWriter::writeEntityReference(QLatin1StringView name)
{
    closeStartTag();
    m_buffer.push_back('&');
    append(name);
    m_buffer.push_back(';');
    m_afterEndTag = false;
}

void QmdPropertyListWriter::closeStartTag()
{
    if (!m_inStartTag)
        return;
    m_buffer.push_back('>');
    m_inStartTag = false;
}

void QmdPropertyListWriter::newLine(qsizetype depth)
{
    if (!m_wroteAny)
        return;
    m_buffer.push_back('\n');
    qsizetype spaces = depth * 4;
    while (spaces > 0) {
        const qsizetype part = std::min(spaces, indentation.size());
        m_buffer.append(indentation.data(), size_t(part));
        spaces -= part;
    }
}

// UTF-8 of the text with the markup characters escaped; an unpaired
// surrogate becomes U+FFFD, as Qt's encoder writes it.
void QmdPropertyListWriter::appendEscaped(const QString &text)
{
    const auto *p = reinterpret_cast<const char16_t *>(text.utf16());
    const char16_t *end = p + text.size();
    while (p < end) {
        const char16_t c = *p++;
        if (c < 0x80) {
            switch (c) {
            case u'<':
                m_buffer.append("&lt;", 4);
                break;
            case u'>':
                m_buffer.append("&gt;", 4);
                break;
            case u'&':
                m_buffer.append("&amp;", 5);
                break;
            case u'"':
                m_buffer.append("&quot;", 6);
                break;
            default:
                m_buffer.push_back(char(c));
                break;
            }
            continue;
        }
        char32_t code = c;
        if (QChar::isHighSurrogate(c) && p < end && QChar::isLowSurrogate(*p))
            code = QChar::surrogateToUcs4(c, *p++);
        else if (QChar::isSurrogate(c))
            code = QChar::ReplacementCharacter;
        if (code < 0x800) {
            m_buffer.push_back(char(0xC0 | (code >> 6)));
        } else {
            if (code < 0x10000) {
                m_buffer.push_back(char(0xE0 | (code >> 12)));
            } else {
                m_buffer.push_back(char(0xF0 | (code >> 18)));
                m_buffer.push_back(char(0x80 | ((code >> 12) & 0x3F)));
            }
            m_buffer.push_back(char(0x80 | ((code >> 6) & 0x3F)));
        }
        m_buffer.push_back(char(0x80 | (code & 0x3F)));
    }
}

void QmdPropertyListWriter::flushIfFull()
{
    if (m_buffer.size() >= size_t(blockSize))
        flush();
}

void QmdPropertyListWriter::flush()
{
    if (m_buffer.empty())
        return;
    if (!m_error && m_device->write(m_buffer.data(), qint64(m_buffer.size())) != qint64(m_buffer.size()))
        m_error = true;
    m_buffer.clear();
}
