// The property-list writer against QXmlStreamWriter with automatic
// formatting: the same calls give the same bytes, also across the blocks it
// hands to the device, and a device that refuses data is reported.

#include "qmdpropertylistwriter.h"

#include <QBuffer>
#include <QXmlStreamWriter>
#include <QtTest>

namespace {

// One document written through either writer.
struct Script
{
    QList<QString> texts; // the texts of the leaves, in order
    int depth = 1;        // dicts nested around them
    bool cdata = false;
    bool references = false;
};

template <typename Writer>
void play(Writer &w, const Script &script)
{
    w.writeDTD(QLatin1StringView("<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\" "
                                 "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">"));
    w.writeStartElement(QLatin1StringView("plist"));
    w.writeAttribute(QLatin1StringView("version"), QStringLiteral("1.0"));
    for (int i = 0; i < script.depth; ++i) {
        w.writeStartElement(QLatin1StringView("dict"));
        w.writeTextElement(QLatin1StringView("key"), QStringLiteral("level %1").arg(i));
    }
    w.writeStartElement(QLatin1StringView("dict"));
    w.writeEndElement();
    for (const QString &text : script.texts) {
        w.writeTextElement(QLatin1StringView("key"), text);
        w.writeTextElement(QLatin1StringView("string"), text);
        w.writeEmptyElement(QLatin1StringView("true"));
        if (script.cdata) {
            w.writeStartElement(QLatin1StringView("string"));
            w.writeCDATA(text);
            w.writeEndElement();
        }
        if (script.references) {
            w.writeStartElement(QLatin1StringView("string"));
            w.writeCharacters(text);
            w.writeEntityReference(QLatin1StringView("#13"));
            w.writeCharacters(QString());
            w.writeEndElement();
        }
    }
    for (int i = 0; i < script.depth; ++i)
        w.writeEndElement();
    w.writeEndElement();
}

QByteArray viaQt(const Script &script)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QXmlStreamWriter w(&buffer);
    w.setAutoFormatting(true);
    w.writeStartDocument(QStringLiteral("1.0"));
    struct Adapter
    {
        QXmlStreamWriter &w;
        void writeDTD(QLatin1StringView dtd) { w.writeDTD(QString(dtd)); }
        void writeStartElement(QLatin1StringView name) { w.writeStartElement(QString(name)); }
        void writeAttribute(QLatin1StringView name, const QString &value) { w.writeAttribute(QString(name), value); }
        void writeEndElement() { w.writeEndElement(); }
        void writeEmptyElement(QLatin1StringView name) { w.writeEmptyElement(QString(name)); }
        void writeTextElement(QLatin1StringView name, const QString &text) { w.writeTextElement(QString(name), text); }
        void writeCharacters(const QString &text) { w.writeCharacters(text); }
        void writeCDATA(const QString &text) { w.writeCDATA(text); }
        void writeEntityReference(QLatin1StringView name) { w.writeEntityReference(QString(name)); }
    } adapter{w};
    play(adapter, script);
    return buffer.data();
}

QByteArray viaOwn(const Script &script)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QmdPropertyListWriter w;
    w.setDevice(&buffer);
    w.writeStartDocument();
    play(w, script);
    w.flush();
    return w.hasError() ? QByteArray("error") : buffer.data();
}

} // namespace

Q_DECLARE_METATYPE(Script)

class tst_QmdPropertyListWriter : public QObject
{
    Q_OBJECT

private slots:
    void sameBytes_data();
    void sameBytes();
    void refusedDevice();
};

void tst_QmdPropertyListWriter::sameBytes_data()
{
    QTest::addColumn<Script>("script");
    QTest::newRow("empty") << Script{{}, 0};
    QTest::newRow("plain") << Script{{QStringLiteral("Tempo"), QStringLiteral("120")}, 1};
    QTest::newRow("markup") << Script{{QStringLiteral("<a href=\"x\">&'b'</a>"), QStringLiteral(">")}, 2};
    QTest::newRow("white space") << Script{{QStringLiteral(" \t\n"), QString()}, 1, true};
    QTest::newRow("cdata end") << Script{{QStringLiteral("a]]>b]]>")}, 1, true};
    QTest::newRow("references") << Script{{QStringLiteral("x"), QString()}, 1, false, true};
    QTest::newRow("unicode") << Script{{QStringLiteral("\u00e4\u0800\uffef \U0001D11E \u20ac")}, 1};
    QTest::newRow("deep") << Script{{QStringLiteral("x")}, 40};
    QList<QString> many;
    for (int i = 0; i < 20000; ++i)
        many << QStringLiteral("text %1 \u00e9").arg(i);
    QTest::newRow("many blocks") << Script{many, 3, true, true};
}

void tst_QmdPropertyListWriter::sameBytes()
{
    QFETCH(Script, script);
    const QByteArray own = viaOwn(script);
    const QByteArray qt = viaQt(script);
    if (own != qt) {
        qsizetype at = 0;
        while (at < own.size() && at < qt.size() && own.at(at) == qt.at(at))
            ++at;
        QFAIL(qPrintable(QStringLiteral("differ at byte %1:\n%2\n---\n%3")
                             .arg(at)
                             .arg(QString::fromUtf8(own.mid(std::max<qsizetype>(0, at - 40), 80)),
                                  QString::fromUtf8(qt.mid(std::max<qsizetype>(0, at - 40), 80)))));
    }
}

void tst_QmdPropertyListWriter::refusedDevice()
{
    QByteArray bytes;
    QBuffer closed(&bytes);
    QmdPropertyListWriter w;
    w.setDevice(&closed);
    w.writeStartDocument();
    w.writeTextElement(QLatin1StringView("string"), QStringLiteral("x"));
    QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (QBuffer): device not open");
    w.flush();
    QVERIFY(w.hasError());
    QVERIFY(bytes.isEmpty());
    // Once refused, the device is not asked again.
    w.writeTextElement(QLatin1StringView("string"), QStringLiteral("y"));
    w.flush();
    QVERIFY(w.hasError());
}

QTEST_GUILESS_MAIN(tst_QmdPropertyListWriter)
#include "tst_qmdpropertylistwriter.moc"
