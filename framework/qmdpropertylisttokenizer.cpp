#include "qmdpropertylisttokenizer.h"

#include <array>
#include <cstring>

namespace {

const QLatin1StringView declarations[] = {
    QLatin1StringView("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"),
    QLatin1StringView("<?xml version=\"1.0\"?>"),
};
const QLatin1StringView doctype("<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\""
                                " \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">");
const QLatin1StringView version(" version=\"1.0\"");
const QLatin1StringView cdataStart("<![CDATA[");

bool isNameStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool isNameChar(char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// A character this reader lets through: those XML allows, less the C1
// controls and the noncharacters, which are left to the general reader.
bool isPlainChar(char32_t c)
{
    if (c < 0x20)
        return c == 0x9 || c == 0xA || c == 0xD;
    if (c >= 0x7F && c <= 0x9F)
        return false;
    if (c >= 0xD800 && c <= 0xDFFF)
        return false;
    if (c >= 0xFDD0 && c <= 0xFDEF)
        return false;
    if ((c & 0xFFFE) == 0xFFFE)
        return false;
    return c <= 0x10FFFF;
}

// The printable ASCII characters that stand for themselves in text: all but
// the blank and the three that start markup, a reference or "]]>".
constexpr std::array<bool, 256> plainTextBytes = [] {
    std::array<bool, 256> bytes{};
    for (int c = 0x21; c < 0x7F; ++c)
        bytes[size_t(c)] = c != '<' && c != '&' && c != ']';
    return bytes;
}();

bool isPlainTextByte(char c)
{
    return plainTextBytes[static_cast<unsigned char>(c)];
}

bool isContinuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

} // namespace

QmdPropertyListTokenizer::QmdPropertyListTokenizer(const QByteArray &bytes)
    : m_begin(bytes.constData())
    , m_pos(bytes.constData())
    , m_end(bytes.constData() + bytes.size())
{
}

QmdPropertyListTokenizer::TokenType QmdPropertyListTokenizer::unsupported()
{
    m_unsupported = true;
    return m_token = Invalid;
}

void QmdPropertyListTokenizer::raiseError()
{
    m_raised = true;
    m_token = Invalid;
}

bool QmdPropertyListTokenizer::startsWith(const char *p, QLatin1StringView text) const
{
    return m_end - p >= text.size() && std::memcmp(p, text.data(), size_t(text.size())) == 0;
}

QmdPropertyListTokenizer::TokenType QmdPropertyListTokenizer::readNext()
{
    if (m_unsupported || m_raised || m_token == EndDocument)
        return m_token = m_token == EndDocument ? EndDocument : Invalid;
    m_cdata = false;
    m_whitespace = false;
    if (m_pendingEnd) {
        m_pendingEnd = false;
        m_open.removeLast();
        return m_token = EndElement;
    }
    if (m_open.isEmpty())
        return readProlog();
    if (m_pos == m_end)
        return unsupported();
    if (*m_pos != '<')
        return readCharacters();
    if (m_pos + 1 < m_end && m_pos[1] == '/')
        return readEndTag();
    if (m_pos + 1 < m_end && m_pos[1] == '!' && startsWith(m_pos, cdataStart))
        return readCData();
    return readStartTag();
}

// Outside the root element: the declaration, the document type and white
// space before it, white space after it.
QmdPropertyListTokenizer::TokenType QmdPropertyListTokenizer::readProlog()
{
    if (m_pos == m_begin) {
        for (const QLatin1StringView declaration : declarations) {
            if (startsWith(m_pos, declaration)) {
                m_pos += declaration.size();
                break;
            }
        }
    }
    for (;;) {
        while (m_pos < m_end && (*m_pos == ' ' || *m_pos == '\t' || *m_pos == '\n')) {
            if (*m_pos == '\n')
                ++m_line;
            ++m_pos;
        }
        if (m_pos == m_end)
            return m_rootSeen ? (m_token = EndDocument) : unsupported();
        if (m_rootSeen || *m_pos != '<')
            return unsupported();
        if (!m_doctypeSeen && startsWith(m_pos, doctype)) {
            m_doctypeSeen = true;
            m_pos += doctype.size();
            continue;
        }
        m_rootSeen = true;
        return readStartTag();
    }
}

QmdPropertyListTokenizer::TokenType QmdPropertyListTokenizer::readStartTag()
{
    const char *p = m_pos + 1;
    if (p == m_end || !isNameStart(*p))
        return unsupported();
    const char *nameBegin = p;
    while (p < m_end && isNameChar(*p))
        ++p;
    m_name = QLatin1StringView(nameBegin, p - nameBegin);
    m_hasVersion = p < m_end && *p == ' ' && startsWith(p, version);
    if (m_hasVersion)
        p += version.size();
    if (p < m_end && *p == '>') {
        ++p;
    } else if (m_end - p >= 2 && p[0] == '/' && p[1] == '>') {
        p += 2;
        m_pendingEnd = true;
    } else {
        return unsupported();
    }
    m_pos = p;
    m_open.append(m_name);
    return m_token = StartElement;
}

QmdPropertyListTokenizer::TokenType QmdPropertyListTokenizer::readEndTag()
{
    const QLatin1StringView open = m_open.last();
    const char *p = m_pos + 2;
    if (m_end - p < open.size() + 1 || std::memcmp(p, open.data(), size_t(open.size())) != 0
        || p[open.size()] != '>')
        return unsupported();
    m_pos = p + open.size() + 1;
    m_name = open;
    m_open.removeLast();
    return m_token = EndElement;
}

QmdPropertyListTokenizer::TokenType QmdPropertyListTokenizer::readCData()
{
    const char *p = m_pos + cdataStart.size();
    m_textBegin = p;
    bool nonAscii = false;
    for (;;) {
        if (p == m_end)
            return unsupported();
        if (*p == ']' && m_end - p >= 3 && p[1] == ']' && p[2] == '>')
            break;
        if (!skipCharacter(p, m_end, &nonAscii))
            return unsupported();
    }
    m_textEnd = p;
    m_pos = p + 3;
    m_cdata = true;
    m_references = false;
    m_nonAscii = nonAscii;
    return m_token = Characters;
}

QmdPropertyListTokenizer::TokenType QmdPropertyListTokenizer::readCharacters()
{
    const char *p = skipIndentation(m_pos);
    bool nonAscii = false;
    bool references = false;
    bool whitespace = true;
    for (;;) {
        // Printable ASCII, the bulk of every text, in a tight loop.
        const char *run = p;
        while (p < m_end && isPlainTextByte(*p))
            ++p;
        if (p != run)
            whitespace = false;
        if (p == m_end)
            return unsupported();
        const char c = *p;
        if (c == ' ' || c == '\t') {
            ++p;
            continue;
        }
        if (c == '\n') {
            ++m_line;
            ++p;
            continue;
        }
        if (c == '<')
            break;
        if (c == '&') {
            char32_t value = 0;
            if (!readReference(p, &value))
                return unsupported();
            references = true;
            whitespace = false;
            continue;
        }
        if (c == ']') {
            if (m_end - p >= 3 && p[1] == ']' && p[2] == '>')
                return unsupported();
            whitespace = false;
            ++p;
            continue;
        }
        whitespace = false;
        if (!skipCharacter(p, m_end, &nonAscii))
            return unsupported();
    }
    m_textBegin = m_pos;
    m_textEnd = p;
    m_pos = p;
    m_references = references;
    m_nonAscii = nonAscii;
    m_whitespace = whitespace;
    return m_token = Characters;
}

// Steps over the line feeds and blanks that indent an element, eight blanks
// at a time; returns where they end.
const char *QmdPropertyListTokenizer::skipIndentation(const char *p)
{
    static constexpr quint64 blanks = 0x2020202020202020ULL;
    for (;;) {
        while (m_end - p >= 8) {
            quint64 word;
            std::memcpy(&word, p, sizeof word);
            if (word != blanks)
                break;
            p += 8;
        }
        if (p == m_end)
            return p;
        if (*p == ' ' || *p == '\t') {
            ++p;
        } else if (*p == '\n') {
            ++m_line;
            ++p;
        } else {
            return p;
        }
    }
}

// Steps over one character of text (counting lines); false for a byte this
// reader leaves to the general one: a carriage return, a control character,
// malformed UTF-8 or a character outside isPlainChar.
bool QmdPropertyListTokenizer::skipCharacter(const char *&p, const char *end, bool *nonAscii)
{
    const auto lead = static_cast<unsigned char>(*p);
    if (lead < 0x80) {
        if (lead == '\n')
            ++m_line;
        else if (lead < 0x20 && lead != '\t')
            return false;
        else if (lead == 0x7F)
            return false;
        ++p;
        return true;
    }
    *nonAscii = true;
    int length = 0;
    char32_t value = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return false;
    }
    if (end - p < length)
        return false;
    const auto second = static_cast<unsigned char>(p[1]);
    if (second < low || second > high)
        return false;
    value = (value << 6) | (second & 0x3F);
    for (int i = 2; i < length; ++i) {
        const auto next = static_cast<unsigned char>(p[i]);
        if (!isContinuation(next))
            return false;
        value = (value << 6) | (next & 0x3F);
    }
    if (!isPlainChar(value))
        return false;
    p += length;
    return true;
}

// Reads one reference at p (at its "&"): a named entity of XML or a
// character reference to a character isPlainChar lets through.
bool QmdPropertyListTokenizer::readReference(const char *&p, char32_t *value) const
{
    static const struct { QLatin1StringView text; char32_t value; } named[] = {
        {QLatin1StringView("&amp;"), U'&'},  {QLatin1StringView("&lt;"), U'<'},
        {QLatin1StringView("&gt;"), U'>'},   {QLatin1StringView("&quot;"), U'"'},
        {QLatin1StringView("&apos;"), U'\''},
    };
    for (const auto &entity : named) {
        if (startsWith(p, entity.text)) {
            p += entity.text.size();
            *value = entity.value;
            return true;
        }
    }
    const char *q = p + 1;
    if (q == m_end || *q != '#')
        return false;
    ++q;
    const bool hex = q < m_end && *q == 'x';
    if (hex)
        ++q;
    char32_t number = 0;
    int digits = 0;
    for (; q < m_end && *q != ';'; ++q, ++digits) {
        const char c = *q;
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0 || digits >= 8)
            return false;
        number = number * (hex ? 16 : 10) + char32_t(digit);
    }
    if (q == m_end || digits == 0 || !isPlainChar(number))
        return false;
    p = q + 1;
    *value = number;
    return true;
}

QString QmdPropertyListTokenizer::text() const
{
    const qsizetype length = m_textEnd - m_textBegin;
    if (!m_references)
        return m_nonAscii ? QString::fromUtf8(m_textBegin, length) : QString::fromLatin1(m_textBegin, length);
    QString text;
    text.reserve(length);
    const char *run = m_textBegin;
    const char *p = m_textBegin;
    while (p < m_textEnd) {
        if (*p != '&') {
            ++p;
            continue;
        }
        text += QString::fromUtf8(run, p - run);
        char32_t value = 0;
        readReference(p, &value);
        if (QChar::requiresSurrogates(value)) {
            text += QChar(QChar::highSurrogate(value));
            text += QChar(QChar::lowSurrogate(value));
        } else {
            text += QChar(char16_t(value));
        }
        run = p;
    }
    text += QString::fromUtf8(run, p - run);
    return text;
}
