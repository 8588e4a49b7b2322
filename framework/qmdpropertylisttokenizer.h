#ifndef QMDPROPERTYLISTTOKENIZER_H
#define QMDPROPERTYLISTTOKENIZER_H

#include <QByteArray>
#include <QLatin1StringView>
#include <QString>
#include <QVarLengthArray>

// Splits the bytes of a property list into the elements and texts that the
// property-list reader needs, as QXmlStreamReader would, but only for the
// plain form this program writes: UTF-8 without a byte order mark, an
// optional "<?xml version="1.0" encoding="UTF-8"?>" and the property list's
// document type at the top, elements whose names are ASCII and that carry no
// attribute but version="1.0", text with the five named entities and
// character references, CDATA sections, and lines that end in a line feed.
//
// Everything else (comments, processing instructions, other declarations,
// carriage returns, any malformed input) makes it stop and report
// isUnsupported(): the caller then reads the same bytes with QXmlStreamReader,
// which gives the general answer and every error message. Within its form
// the tokens, their texts and their line numbers are the ones
// QXmlStreamReader gives, so both ways read a file alike.
class QmdPropertyListTokenizer
{
public:
    enum TokenType { NoToken, StartElement, EndElement, Characters, EndDocument, Invalid };

    explicit QmdPropertyListTokenizer(const QByteArray &bytes);

    TokenType readNext();
    bool atEnd() const { return m_token == EndDocument || m_token == Invalid; }
    bool isStartElement() const { return m_token == StartElement; }
    bool isEndElement() const { return m_token == EndElement; }
    bool isCharacters() const { return m_token == Characters; }

    // The element's name at a start or end element.
    QLatin1StringView name() const { return m_name; }
    // Whether the element just started carries version="1.0".
    bool hasVersion() const { return m_hasVersion; }
    bool isVersionOne() const { return m_hasVersion; }

    // At characters: whether they came from a CDATA section, and whether they
    // are only white space written out (no reference).
    bool isCDATA() const { return m_cdata; }
    bool isWhitespace() const { return m_whitespace; }
    // The characters, with their references resolved.
    QString text() const;
    // The raw characters when they hold no reference and only ASCII: the
    // text itself, without making a string of it.
    bool isPlainText() const { return !m_references && !m_nonAscii; }
    QLatin1StringView plainText() const { return QLatin1StringView(m_textBegin, m_textEnd - m_textBegin); }

    // The line (from 1) at the end of the current token.
    qint64 lineNumber() const { return m_line; }

    // Stops reading as after a parse error (the caller knows why).
    void raiseError();
    bool hasError() const { return m_raised; }
    // The bytes leave this reader's form: read them with QXmlStreamReader.
    bool isUnsupported() const { return m_unsupported; }

private:
    TokenType unsupported();
    TokenType readProlog();
    TokenType readStartTag();
    TokenType readEndTag();
    TokenType readCData();
    TokenType readCharacters();
    const char *skipIndentation(const char *p);
    bool skipCharacter(const char *&p, const char *end, bool *nonAscii);
    bool readReference(const char *&p, char32_t *value) const;
    bool startsWith(const char *p, QLatin1StringView text) const;

    const char *m_begin;
    const char *m_pos;
    const char *m_end;
    TokenType m_token = NoToken;
    qint64 m_line = 1;
    QVarLengthArray<QLatin1StringView, 32> m_open;
    bool m_rootSeen = false;
    bool m_doctypeSeen = false;
    bool m_pendingEnd = false;
    bool m_raised = false;
    bool m_unsupported = false;

    QLatin1StringView m_name;
    bool m_hasVersion = false;
    bool m_cdata = false;
    bool m_whitespace = false;
    bool m_references = false;
    bool m_nonAscii = false;
    const char *m_textBegin = nullptr;
    const char *m_textEnd = nullptr;
};

#endif // QMDPROPERTYLISTTOKENIZER_H
