#ifndef QMDPROPERTYLISTWRITER_H
#define QMDPROPERTYLISTWRITER_H

#include <QByteArray>
#include <QLatin1StringView>
#include <QString>
#include <QVarLengthArray>

#include <string>

class QIODevice;

// Writes the XML of a property list as UTF-8 into a device, byte for byte as
// QXmlStreamWriter with automatic formatting writes the same calls (four
// spaces a level, "<a/>" for an element left empty), but encoding and
// escaping straight into a buffer of its own that goes to the device in
// large blocks: a device write for every tag is what made saving slow.
//
// Element names are ASCII and trusted; texts are escaped ("<", ">", "&" and
// the double quote) and must hold only characters XML can carry.
class QmdPropertyListWriter
{
public:
    QmdPropertyListWriter() = default;
    ~QmdPropertyListWriter();
    QmdPropertyListWriter(const QmdPropertyListWriter &) = delete;
    QmdPropertyListWriter &operator=(const QmdPropertyListWriter &) = delete;

    // Starts over on the device (buffered bytes for an earlier one are
    // written out first).
    void setDevice(QIODevice *device);

    // <?xml version="1.0" encoding="UTF-8"?>
    void writeStartDocument();
    void writeDTD(QLatin1StringView dtd);
    void writeStartElement(QLatin1StringView name);
    // An attribute of the element just started.
    void writeAttribute(QLatin1StringView name, const QString &value);
    void writeEndElement();
    void writeEmptyElement(QLatin1StringView name);
    void writeTextElement(QLatin1StringView name, const QString &text);
    void writeCharacters(const QString &text);
    void writeCDATA(const QString &text);
    // "&name;", for a character reference such as "#13".
    void writeEntityReference(QLatin1StringView name);

    // Hands the buffered bytes to the device.
    void flush();
    // True once the device took less than it was given.
    bool hasError() const { return m_error; }

private:
    void closeStartTag();
    void newLine(qsizetype depth);
    void append(QLatin1StringView text) { m_buffer.append(text.data(), size_t(text.size())); }
    void appendEscaped(const QString &text);
    void flushIfFull();

    QIODevice *m_device = nullptr;
    std::string m_buffer; // appended to inline, byte by byte where need be
    QVarLengthArray<QLatin1StringView, 32> m_open;
    bool m_inStartTag = false;
    bool m_afterEndTag = false; // the last thing written closed an element
    bool m_wroteAny = false;
    bool m_error = false;
};

#endif // QMDPROPERTYLISTWRITER_H
