// The property-list tokenizer against QXmlStreamReader: on every input it
// takes, it gives the same elements, texts, white-space and CDATA marks and
// line numbers; what the exporter writes it always takes; everything else it
// leaves to QXmlStreamReader.

#include "qmdmemmodel.h"
#include "qmdpropertylistexporter.h"
#include "qmdpropertylisttokenizer.h"

#include <QBuffer>
#include <QDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

QString describe(const char *kind, QStringView name, bool version, qint64 line)
{
    return QStringLiteral("%1 %2%3 @%4").arg(QLatin1String(kind), name, version ? QStringLiteral(" v1") : QString())
        .arg(line);
}

QString describeText(const QString &text, bool whitespace, bool cdata, qint64 line)
{
    return QStringLiteral("text%1%2 [%3] @%4")
        .arg(whitespace ? QStringLiteral(" W") : QString(), cdata ? QStringLiteral(" C") : QString(), text)
        .arg(line);
}

// The tokens inside the root element, as QXmlStreamReader gives them; empty
// when it finds an error.
QStringList generalTokens(const QByteArray &bytes)
{
    QXmlStreamReader xml(bytes);
    xml.setNamespaceProcessing(false);
    QStringList tokens;
    int depth = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            ++depth;
            tokens << describe("start", xml.name(), xml.attributes().value(QStringLiteral("version")) == u"1.0",
                               xml.lineNumber());
        } else if (xml.isEndElement()) {
            --depth;
            tokens << describe("end", xml.name(), false, xml.lineNumber());
        } else if (xml.isCharacters() && depth > 0) {
            tokens << describeText(xml.text().toString(), xml.isWhitespace(), xml.isCDATA(), xml.lineNumber());
        }
    }
    return xml.hasError() ? QStringList() : tokens;
}

// The same from the tokenizer; null when it leaves the bytes to the general
// reader.
std::optional<QStringList> plainTokens(const QByteArray &bytes)
{
    QmdPropertyListTokenizer plain(bytes);
    QStringList tokens;
    while (!plain.atEnd()) {
        plain.readNext();
        if (plain.isStartElement()) {
            tokens << describe("start", QString(plain.name()), plain.hasVersion(), plain.lineNumber());
        } else if (plain.isEndElement()) {
            tokens << describe("end", QString(plain.name()), false, plain.lineNumber());
        } else if (plain.isCharacters()) {
            if (plain.isPlainText() && QString(plain.plainText()) != plain.text())
                tokens << QStringLiteral("plain text differs");
            tokens << describeText(plain.text(), plain.isWhitespace(), plain.isCDATA(), plain.lineNumber());
        }
    }
    if (plain.isUnsupported())
        return std::nullopt;
    return tokens;
}

// What a case expects of the tokenizer.
enum Expect { Taken, LeftToGeneral, TakenWhereWellFormed };

QByteArray plist(const char *body)
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\" "
                      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                      "<plist version=\"1.0\">\n")
        + body + "\n</plist>\n";
}

} // namespace

Q_DECLARE_METATYPE(Expect)

class tst_QmdPropertyListTokenizer : public QObject
{
    Q_OBJECT

private slots:
    void sameTokens_data();
    void sameTokens();
    void writtenFilesAreTaken();
};

void tst_QmdPropertyListTokenizer::sameTokens_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Expect>("expect");

    QTest::newRow("plain") << plist("<dict>\n\t<key>a</key>\n\t<string>x y</string>\n</dict>") << Taken;
    QTest::newRow("no declaration") << QByteArray("<plist><dict><key>a</key><true/></dict></plist>") << Taken;
    QTest::newRow("references") << plist("<string> &#13; x&amp;&lt;&gt;&quot;&apos;&#x1D11E;&#0013;</string>")
                                << Taken;
    QTest::newRow("reference of a space only") << plist("<string>&#32;</string>") << Taken;
    QTest::newRow("white space only") << plist("<string> \t\n </string>") << Taken;
    QTest::newRow("deep indentation") << plist("<dict>\n                    <key>a</key>\n        \t        \n"
                                               "\t<string>x</string>\n                </dict>")
                                      << Taken;
    QTest::newRow("long blank runs in text") << plist("<string>                x        y         </string>") << Taken;
    QTest::newRow("long blank run only") << plist("<string>                 </string>") << Taken;
    QTest::newRow("blanks before a carriage return") << plist("<string>        \r        x</string>")
                                                     << LeftToGeneral;
    QTest::newRow("cdata between text") << plist("<string>x<![CDATA[ <&> ]]>y</string>") << Taken;
    QTest::newRow("utf-8") << plist("<string>\xc3\xa4\xe2\x82\xac\xf0\x9d\x84\x9e</string>") << Taken;
    QTest::newRow("nested in a leaf") << plist("<string>a<b>c</b>\n<d/>e</string>") << Taken;
    QTest::newRow("other root") << QByteArray("<dict version=\"1.0\"><key>a</key></dict>") << Taken;

    QTest::newRow("carriage return") << plist("<string>a\r\nb</string>") << LeftToGeneral;
    QTest::newRow("carriage return in cdata") << plist("<string><![CDATA[\r]]></string>") << LeftToGeneral;
    QTest::newRow("comment") << plist("<!-- a --><string>a</string>") << LeftToGeneral;
    QTest::newRow("processing instruction") << plist("<?x y?><string>a</string>") << LeftToGeneral;
    QTest::newRow("byte order mark") << QByteArray("\xef\xbb\xbf<plist></plist>") << LeftToGeneral;
    QTest::newRow("other attribute") << QByteArray("<plist version=\"2.0\"></plist>") << LeftToGeneral;
    QTest::newRow("single quotes") << QByteArray("<plist version='1.0'></plist>") << LeftToGeneral;
    QTest::newRow("cdata end in text") << plist("<string>a]]>b</string>") << LeftToGeneral;
    QTest::newRow("bracket in text") << plist("<string>a]]b]</string>") << Taken;
    QTest::newRow("bad utf-8") << plist("<string>\xc3</string>") << LeftToGeneral;
    QTest::newRow("surrogate in utf-8") << plist("<string>\xed\xa0\x80</string>") << LeftToGeneral;
    QTest::newRow("noncharacter") << plist("<string>\xef\xbf\xbe</string>") << LeftToGeneral;
    QTest::newRow("control character") << plist("<string>\x01</string>") << LeftToGeneral;
    QTest::newRow("reference to nothing") << plist("<string>&#0;</string>") << LeftToGeneral;
    QTest::newRow("unknown entity") << plist("<string>&nbsp;</string>") << LeftToGeneral;
    QTest::newRow("bare ampersand") << plist("<string>a & b</string>") << LeftToGeneral;
    QTest::newRow("mismatched tags") << plist("<string>a</strin>") << LeftToGeneral;
    QTest::newRow("unclosed") << QByteArray("<plist><dict>") << LeftToGeneral;
    QTest::newRow("empty") << QByteArray() << LeftToGeneral;
    QTest::newRow("text after the root") << QByteArray("<plist/>x") << LeftToGeneral;
    QTest::newRow("second root") << QByteArray("<plist/><plist/>") << LeftToGeneral;
    QTest::newRow("internal subset") << QByteArray("<!DOCTYPE plist [<!ENTITY a \"b\">]><plist/>") << LeftToGeneral;
    QTest::newRow("namespace") << QByteArray("<a:plist/>") << LeftToGeneral;
    QTest::newRow("space in a tag") << QByteArray("<plist ></plist>") << LeftToGeneral;

    const QString folder = QFINDTESTDATA("../fuzz/corpus/propertylist");
    QVERIFY2(!folder.isEmpty(), "corpus folder not found");
    for (const QFileInfo &info : QDir(folder).entryInfoList(QDir::Files, QDir::Name)) {
        QFile file(info.absoluteFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QTest::newRow(qPrintable(QStringLiteral("corpus ") + info.fileName())) << file.readAll()
                                                                                << TakenWhereWellFormed;
    }
}

void tst_QmdPropertyListTokenizer::sameTokens()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Expect, expect);
    const std::optional<QStringList> plain = plainTokens(bytes);
    const QStringList general = generalTokens(bytes);
    if (expect == LeftToGeneral)
        QVERIFY2(!plain, "taken where the general reader should read");
    if (expect == Taken)
        QVERIFY2(plain, "left to the general reader");
    // Whatever it takes reads as the general reader reads it, and it takes
    // nothing that the general reader refuses.
    if (plain) {
        QVERIFY(!general.isEmpty());
        QCOMPARE(*plain, general);
    }
}

void tst_QmdPropertyListTokenizer::writtenFilesAreTaken()
{
    QmdMemModel model(Qmd::StrDict);
    model.setData(QHash<QString, QVariant>{{QStringLiteral("plain"), QStringLiteral("text")},
                                           {QStringLiteral("a&b<c>\"d'"), QStringLiteral("<&>\"'")},
                                           {QStringLiteral("lines"), QStringLiteral("a\r\nb\rc\n")},
                                           {QStringLiteral("spaces"), QStringLiteral(" \t\n")},
                                           {QStringLiteral("empty"), QString()},
                                           {QStringLiteral("unicode \u00e4"), QStringLiteral("\u20ac \U0001D11E")},
                                           {QStringLiteral("control"), QStringLiteral("a\x01")},
                                           {QStringLiteral("number"), 42},
                                           {QStringLiteral("big"), qlonglong(1) << 40},
                                           {QStringLiteral("real"), -0.0},
                                           {QStringLiteral("yes"), true}},
                  QmdIndex());
    model.setTypes(QHash<QString, Qmd::ContainerType>{{QStringLiteral("ids"), Qmd::IntDict}}, QmdIndex());
    model.addData({QVariant(1), QVariant(QStringLiteral("]]>"))}, model.index(QStringLiteral("ids"), QmdIndex()));

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(QmdPropertyListExporter(&model, &buffer).write(QmdIndex()));
    const std::optional<QStringList> plain = plainTokens(buffer.data());
    QVERIFY2(plain, buffer.data().constData());
    QCOMPARE(*plain, generalTokens(buffer.data()));
}

QTEST_GUILESS_MAIN(tst_QmdPropertyListTokenizer)
#include "tst_qmdpropertylisttokenizer.moc"
