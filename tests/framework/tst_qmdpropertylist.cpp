#include "modeltestutil.h"
#include "qmdmemmodel.h"
#include "qmdpropertylistexporter.h"
#include "qmdpropertylistimporter.h"

#include <QBuffer>
#include <QFile>
#include <QPoint>
#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

const QByteArray header = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\""
                          " \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n";

QByteArray plist(const QByteArray &body)
{
    return header + "<plist version=\"1.0\">" + body + "</plist>";
}

QByteArray strDict(const QByteArray &pairs)
{
    return "<dict><key>ContainerType</key><string>StrDict</string>" + pairs + "</dict>";
}

QByteArray intDict(const QByteArray &pairs)
{
    return "<dict><key>ContainerType</key><string>IntDict</string>" + pairs + "</dict>";
}

// StrDicts nested levels deep, each holding the next under "a", around true.
QByteArray nested(int levels)
{
    QByteArray value = "<true/>";
    for (int i = 0; i < levels; ++i)
        value = strDict("<key>a</key>" + value);
    return value;
}

QByteArray writeDocument(QmdModel *model, const QmdIndex &index = QmdIndex(),
                         const QSet<QmdIndex> &exclusions = QSet<QmdIndex>())
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QmdPropertyListExporter exporter(model, &buffer);
    exporter.setExclusions(exclusions);
    if (!exporter.write(index))
        qWarning("the exporter reported an error");
    return buffer.data();
}

struct ReadResult
{
    bool ok = false;
    QString error;
    QStringList warnings;
};

ReadResult readDocument(QmdModel *model, QByteArray bytes, const QmdIndex &target = QmdIndex())
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QmdPropertyListImporter importer(model, &buffer);
    ReadResult result;
    result.ok = importer.read(target);
    result.error = importer.errorString();
    result.warnings = importer.warnings();
    return result;
}

// { Elements: [7: {Name, Pos}, 12: {}], Flag, Gain, Temp: {States: [3: true]}, Tempo }
void buildFixture(QmdMemModel &model)
{
    QmdDirectModelInterface doc(&model);
    const QmdIndex root;
    doc.setType(QStringLiteral("Elements"), Qmd::IntDict, root);
    const QmdIndex elements = doc.index(QStringLiteral("Elements"), root);
    doc.setType(7, Qmd::StrDict, elements);
    doc.setType(12, Qmd::StrDict, elements);
    doc.setData(QStringLiteral("Name"), QStringLiteral("Node <1> & \"2\""), doc.index(7, elements));
    doc.setData(QStringLiteral("Flag"), true, root);
    doc.setData(QStringLiteral("Gain"), 0.25, root);
    doc.setData(QStringLiteral("Tempo"), 120, root);
    doc.setType(QStringLiteral("Temp"), Qmd::StrDict, root);
    const QmdIndex temp = doc.index(QStringLiteral("Temp"), root);
    doc.setType(QStringLiteral("States"), Qmd::IntDict, temp);
    doc.setData(3, true, doc.index(QStringLiteral("States"), temp));
}

// Random documents: nested containers of both kinds holding bool, int,
// double and string leaves, with keys and texts that need care in XML.
class RandomDocument
{
public:
    explicit RandomDocument(quint32 seed)
        : m_rng(seed)
    {
    }

    void fill(QmdMemModel &model)
    {
        QmdDirectModelInterface doc(&model);
        fillContainer(doc, QmdIndex(), Qmd::StrDict, 0);
    }

private:
    void fillContainer(QmdDirectModelInterface &doc, const QmdIndex &container, Qmd::ContainerType type,
                       int depth)
    {
        const int count = depth == 0 ? 4 + m_rng.bounded(5) : m_rng.bounded(7);
        for (int i = 0; i < count; ++i) {
            const bool nested = depth < 4 && m_rng.bounded(3) == 0;
            const Qmd::ContainerType childType = m_rng.bounded(2) ? Qmd::IntDict : Qmd::StrDict;
            QmdIndex child;
            if (type == Qmd::IntDict) {
                const QmdItemId id = randomId();
                if (nested)
                    doc.setType(id, childType, container);
                else
                    doc.setData(id, randomLeaf(), container);
                child = doc.index(id, container);
            } else {
                QString key;
                do
                    key = randomText();
                while (key.isEmpty() || key == QLatin1String("ContainerType"));
                if (nested)
                    doc.setType(key, childType, container);
                else
                    doc.setData(key, randomLeaf(), container);
                child = doc.index(key, container);
            }
            if (nested)
                fillContainer(doc, child, childType, depth + 1);
        }
    }

    QmdItemId randomId()
    {
        switch (m_rng.bounded(4)) {
        case 0:
            return 1;
        case 1:
            return std::numeric_limits<QmdItemId>::max();
        default:
            return qMax<quint32>(1, m_rng.generate());
        }
    }

    QVariant randomLeaf()
    {
        switch (m_rng.bounded(4)) {
        case 0:
            return bool(m_rng.bounded(2));
        case 1:
            return int(m_rng.generate());
        case 2: {
            double value;
            do {
                const quint64 bits = m_rng.generate64();
                memcpy(&value, &bits, sizeof value);
            } while (std::isnan(value));
            return value;
        }
        default:
            return randomText();
        }
    }

    // Up to eight characters from a pool of markup, white space, non-ASCII
    // and digits. White-space-only texts never hold a carriage return: the
    // reader cannot keep one there (see the exporter).
    QString randomText()
    {
        static const QString pool = QStringLiteral("a Z<>&\"']%1\t\n\r\u00e9\u20ac") + QChar(0xD83C)
            + QChar(0xDFB5);
        QString text;
        const int length = m_rng.bounded(9);
        for (int i = 0; i < length; ++i) {
            const int at = m_rng.bounded(pool.size() - 1);
            if (pool.at(at).isHighSurrogate())
                text += pool.mid(at, 2);
            else if (!pool.at(at).isLowSurrogate())
                text += pool.at(at);
        }
        if (text.trimmed().isEmpty())
            text.remove(u'\r');
        return text;
    }

    QRandomGenerator m_rng;
};

// A writer and a reader that keep points as "x,y" strings, as a document
// with values of its own does.
class PointExporter : public QmdPropertyListExporter
{
public:
    using QmdPropertyListExporter::QmdPropertyListExporter;
    void writeLeaf(const QmdIndex &index) override
    {
        const QVariant value = data(index);
        if (value.typeId() != QMetaType::QPoint)
            return QmdPropertyListExporter::writeLeaf(index);
        const QPoint point = value.toPoint();
        writeTextElement(QStringLiteral("string"), QStringLiteral("%1,%2").arg(point.x()).arg(point.y()));
    }
};

class PointImporter : public QmdPropertyListImporter
{
public:
    using QmdPropertyListImporter::QmdPropertyListImporter;
    QVariant readLeaf(const Leaf &leaf) override
    {
        if (leaf.key() != QLatin1String("Pos"))
            return QmdPropertyListImporter::readLeaf(leaf);
        const QStringList parts = leaf.text.split(u',');
        return QPoint(parts.value(0).toInt(), parts.value(1).toInt());
    }
};

} // namespace

class tst_QmdPropertyList : public QObject
{
    Q_OBJECT

private slots:
    void writtenForm();
    void randomDocumentsRoundTrip_data();
    void randomDocumentsRoundTrip();
    void leafTypes_data();
    void leafTypes();
    void exclusions();
    void pieceWiseWriting();
    void subclassConversionsAtEveryDepth();
    void deviceFailure();
    void refusedFiles_data();
    void refusedFiles();
    void skippedParts_data();
    void skippedParts();
    void readingIntoAnEntry();
};

void tst_QmdPropertyList::writtenForm()
{
    QmdMemModel model(Qmd::StrDict);
    buildFixture(model);
    QmdDirectModelInterface doc(&model);
    const QmdIndex temp = doc.index(QStringLiteral("Temp"), QmdIndex());

    const QByteArray expected = header
        + "<plist version=\"1.0\">\n"
          "    <dict>\n"
          "        <key>ContainerType</key>\n"
          "        <string>StrDict</string>\n"
          "        <key>Elements</key>\n"
          "        <dict>\n"
          "            <key>ContainerType</key>\n"
          "            <string>IntDict</string>\n"
          "            <key>7</key>\n"
          "            <dict>\n"
          "                <key>ContainerType</key>\n"
          "                <string>StrDict</string>\n"
          "                <key>Name</key>\n"
          "                <string>Node &lt;1&gt; &amp; &quot;2&quot;</string>\n"
          "            </dict>\n"
          "            <key>12</key>\n"
          "            <dict>\n"
          "                <key>ContainerType</key>\n"
          "                <string>StrDict</string>\n"
          "            </dict>\n"
          "        </dict>\n"
          "        <key>Flag</key>\n"
          "        <true/>\n"
          "        <key>Gain</key>\n"
          "        <real>0.25</real>\n"
          "        <key>Tempo</key>\n"
          "        <integer>120</integer>\n"
          "    </dict>\n"
          "</plist>";
    QCOMPARE(QString::fromUtf8(writeDocument(&model, QmdIndex(), {temp})).split(u'\n'),
             QString::fromUtf8(expected).split(u'\n'));
}

void tst_QmdPropertyList::randomDocumentsRoundTrip_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 1; seed <= 40; ++seed)
        QTest::addRow("seed %u", seed) << seed;
}

void tst_QmdPropertyList::randomDocumentsRoundTrip()
{
    QFETCH(quint32, seed);
    QmdMemModel original(Qmd::StrDict);
    RandomDocument(seed).fill(original);

    QmdMemModel copy(Qmd::StrDict);
    const ReadResult result = readDocument(&copy, writeDocument(&original));
    QVERIFY2(result.ok, qPrintable(result.error));
    QVERIFY2(result.warnings.isEmpty(), qPrintable(result.warnings.join('\n')));
    QCOMPARE(dumpModel(copy), dumpModel(original));
}

void tst_QmdPropertyList::leafTypes_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QByteArray>("element");
    QTest::addColumn<QVariant>("readBack");

    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("true") << QVariant(true) << QByteArray("<true/>") << QVariant(true);
    QTest::newRow("false") << QVariant(false) << QByteArray("<false/>") << QVariant(false);
    QTest::newRow("int") << QVariant(INT_MIN) << QByteArray("<integer>-2147483648</integer>") << QVariant(INT_MIN);
    QTest::newRow("uint above int")
        << QVariant(4294967295u) << QByteArray("<integer>4294967295</integer>") << QVariant(qlonglong(4294967295));
    QTest::newRow("ulonglong max") << QVariant(std::numeric_limits<qulonglong>::max())
                                   << QByteArray("<integer>18446744073709551615</integer>")
                                   << QVariant(std::numeric_limits<qulonglong>::max());
    QTest::newRow("longlong within int") << QVariant(qlonglong(-5)) << QByteArray("<integer>-5</integer>")
                                         << QVariant(-5);
    QTest::newRow("longlong beyond int") << QVariant(qlonglong(-3000000000)) << QByteArray("<integer>-3000000000</integer>")
                                         << QVariant(qlonglong(-3000000000));
    QTest::newRow("longlong min") << QVariant(std::numeric_limits<qlonglong>::min())
                                  << QByteArray("<integer>-9223372036854775808</integer>")
                                  << QVariant(std::numeric_limits<qlonglong>::min());
    QTest::newRow("double shortest") << QVariant(0.1 + 0.2) << QByteArray("<real>0.30000000000000004</real>")
                                     << QVariant(0.1 + 0.2);
    QTest::newRow("double tiny") << QVariant(5e-324) << QByteArray("<real>5e-324</real>") << QVariant(5e-324);
    QTest::newRow("double infinite") << QVariant(-inf) << QByteArray("<real>-inf</real>") << QVariant(-inf);
    QTest::newRow("negative zero") << QVariant(-0.0) << QByteArray("<real>-0</real>") << QVariant(-0.0);
    QTest::newRow("unset") << QVariant() << QByteArray("<string></string>") << QVariant(QString(""));
    QTest::newRow("other types as text")
        << QVariant(QByteArray("raw")) << QByteArray("<string>raw</string>") << QVariant(QStringLiteral("raw"));
    QTest::newRow("white space only") << QVariant(QStringLiteral(" \t\n"))
                                      << QByteArray("<string><![CDATA[ \t\n]]></string>")
                                      << QVariant(QStringLiteral(" \t\n"));
    QTest::newRow("carriage return") << QVariant(QStringLiteral("a\r\nb\r"))
                                     << QByteArray("<string>a&#13;\nb&#13;</string>")
                                     << QVariant(QStringLiteral("a\r\nb\r"));
    QTest::newRow("markup") << QVariant(QStringLiteral("]]> <x/> &amp;"))
                            << QByteArray("<string>]]&gt; &lt;x/&gt; &amp;amp;</string>")
                            << QVariant(QStringLiteral("]]> <x/> &amp;"));
    QTest::newRow("control character")
        << QVariant(QStringLiteral("a\u0001b")) << QByteArray("<string>a\xef\xbf\xbd" "b</string>")
        << QVariant(QStringLiteral("a\ufffdb"));
    QTest::newRow("unpaired surrogate")
        << QVariant(QStringLiteral("x") + QChar(0xD83C)) << QByteArray("<string>x\xef\xbf\xbd</string>")
        << QVariant(QStringLiteral("x\ufffd"));
}

void tst_QmdPropertyList::leafTypes()
{
    QFETCH(QVariant, value);
    QFETCH(QByteArray, element);
    QFETCH(QVariant, readBack);

    QmdMemModel model(Qmd::StrDict);
    QmdDirectModelInterface(&model).setData(QStringLiteral("Value"), value, QmdIndex());
    const QByteArray file = writeDocument(&model);
    QVERIFY2(file.contains("<key>Value</key>\n        " + element + "\n"), file.constData());

    // What a file gives back keeps its type and value through further saves and loads.
    QByteArray written = file;
    for (int cycle = 1; cycle <= 3; ++cycle) {
        QmdMemModel copy(Qmd::StrDict);
        QVERIFY(readDocument(&copy, written).ok);
        const QVariant read = copy.data(copy.index(QStringLiteral("Value"), QmdIndex()));
        QCOMPARE(read.typeId(), readBack.typeId());
        QCOMPARE(read.toString(), readBack.toString());
        written = writeDocument(&copy);
    }
}

void tst_QmdPropertyList::exclusions()
{
    QmdMemModel model(Qmd::StrDict);
    buildFixture(model);
    QmdDirectModelInterface doc(&model);
    const QmdIndex elements = doc.index(QStringLiteral("Elements"), QmdIndex());

    // A nested entry and a root key are left out, key and value.
    QmdMemModel copy(Qmd::StrDict);
    QVERIFY(readDocument(&copy, writeDocument(&model, QmdIndex(),
                                              {doc.index(7, elements), doc.index(QStringLiteral("Temp"), QmdIndex())}))
                .ok);
    doc.remove(7, elements);
    doc.remove(QStringLiteral("Temp"), QmdIndex());
    QCOMPARE(dumpModel(copy), dumpModel(model));

    // Excluding the written index leaves an empty plist, which reads nothing.
    const QByteArray empty = writeDocument(&model, elements, {elements});
    QCOMPARE(empty, header + "<plist version=\"1.0\"/>");
    const ReadResult result = readDocument(&copy, empty);
    QVERIFY(result.ok);
    QVERIFY(result.warnings.isEmpty());
    QCOMPARE(dumpModel(copy), dumpModel(model));
}

void tst_QmdPropertyList::pieceWiseWriting()
{
    QmdMemModel model(Qmd::StrDict);
    buildFixture(model);
    QmdDirectModelInterface doc(&model);
    const QmdIndex elements = doc.index(QStringLiteral("Elements"), QmdIndex());

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QmdPropertyListExporter exporter(&model, &buffer);
    exporter.writeBegin();
    exporter.writeIntDict({doc.index(12, elements), doc.index(7, elements)});
    exporter.writeEnd();
    QVERIFY(!exporter.hasError());

    QmdMemModel target(Qmd::StrDict);
    QmdDirectModelInterface pasted(&target);
    pasted.setType(QStringLiteral("Paste"), Qmd::IntDict, QmdIndex());
    QVERIFY(readDocument(&target, buffer.data(), pasted.index(QStringLiteral("Paste"), QmdIndex())).ok);
    QCOMPARE(dumpValue(target, pasted.index(QStringLiteral("Paste"), QmdIndex())), dumpValue(model, elements));
}

void tst_QmdPropertyList::subclassConversionsAtEveryDepth()
{
    QmdMemModel model(Qmd::StrDict);
    QmdDirectModelInterface doc(&model);
    doc.setType(QStringLiteral("A"), Qmd::IntDict, QmdIndex());
    const QmdIndex a = doc.index(QStringLiteral("A"), QmdIndex());
    doc.setType(4, Qmd::StrDict, a);
    doc.setData(QStringLiteral("Pos"), QPoint(-3, 8), doc.index(4, a));
    doc.setData(QStringLiteral("Pos"), QPoint(1, 2), QmdIndex());

    QBuffer out;
    out.open(QIODevice::WriteOnly);
    PointExporter exporter(&model, &out);
    QVERIFY(exporter.write(QmdIndex()));
    QVERIFY(out.data().contains("<string>-3,8</string>"));

    QmdMemModel copy(Qmd::StrDict);
    QBuffer in(&out.buffer());
    in.open(QIODevice::ReadOnly);
    PointImporter importer(&copy, &in);
    QVERIFY(importer.read(QmdIndex()));
    QCOMPARE(dumpModel(copy), dumpModel(model));
}

void tst_QmdPropertyList::deviceFailure()
{
    QmdMemModel model(Qmd::StrDict);
    buildFixture(model);

    QBuffer closed;
    QmdPropertyListExporter toClosed(&model, &closed);
    QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (QBuffer): device not open");
    QVERIFY(!toClosed.write(QmdIndex()));

    QFile full(QStringLiteral("/dev/full"));
    if (!full.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        QSKIP("no /dev/full on this system");
    QmdPropertyListExporter toFull(&model, &full);
    QVERIFY(!toFull.write(QmdIndex()));

    QmdPropertyListImporter fromClosed(&model, &closed);
    QVERIFY(!fromClosed.read(QmdIndex()));
    QVERIFY(!fromClosed.errorString().isEmpty());
}

void tst_QmdPropertyList::refusedFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("error");

    QTest::newRow("unclosed element")
        << QByteArray("<plist version=\"1.0\">\n<dict>\n</plist>")
        << QStringLiteral("The file is not well-formed at line 3, column 8: Opening and ending tag mismatch.");
    QTest::newRow("cut short") << QByteArray("<plist version=\"1.0\">\n<dict><key>Tempo")
                               << QStringLiteral("The file is not well-formed at line 2, column 16: "
                                                 "Premature end of document.");
    QTest::newRow("empty file") << QByteArray() << QStringLiteral("The file is not a plist file.");
    QTest::newRow("binary property list") << QByteArray("bplist00\xd1\x01\x02", 11)
                                          << QStringLiteral("The file is not a plist file.");
    QTest::newRow("plain text") << QByteArray("Shopping list\n- milk\n") << QStringLiteral("The file is not a plist file.");
    QTest::newRow("other root") << QByteArray("<dict><key>A</key><true/></dict>")
                                << QStringLiteral("The file is not a plist file.");
    QTest::newRow("other version") << QByteArray("<plist version=\"1.1\"><integer>1</integer></plist>")
                                   << QStringLiteral("The file is not a plist version 1.0 file.");
    QTest::newRow("nested too deep") << plist(nested(255))
                                     << QStringLiteral("The file nests values deeper than 256 levels.");
    QTest::newRow("empty version") << QByteArray("<plist version=\"\"><integer>1</integer></plist>")
                                   << QStringLiteral("The file is not a plist version 1.0 file.");
}

void tst_QmdPropertyList::refusedFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, error);

    QmdMemModel model(Qmd::StrDict);
    buildFixture(model);
    const QString before = dumpModel(model);
    const int steps = model.undoRedoCount();

    QTest::ignoreMessage(QtDebugMsg, qPrintable(error));
    const ReadResult result = readDocument(&model, file);
    QVERIFY(!result.ok);
    QCOMPARE(result.error, error);
    QCOMPARE(dumpModel(model), before);
    QCOMPARE(model.undoRedoCount(), steps);
}

void tst_QmdPropertyList::skippedParts_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("dump");
    QTest::addColumn<int>("warnings");

    QTest::newRow("no version attribute")
        << QByteArray("<plist>" + strDict("<key>A</key><true/>") + "</plist>") << QStringLiteral("{A:bool(true)}") << 0;
    QTest::newRow("empty plist") << plist("") << QStringLiteral("{}") << 0;
    QTest::newRow("nested as deep as allowed")
        << plist(nested(254)) << QString(QStringLiteral("{a:").repeated(254) + "bool(true)" + QString(254, u'}'))
        << 0;
    QTest::newRow("leaf on top") << plist("<integer>7</integer>") << QStringLiteral("int(7)") << 0;
    QTest::newRow("kind named after its entries")
        << plist("<dict><key>A</key><integer>1</integer><key>ContainerType</key><string>StrDict</string>"
                 "<key>B</key><true/></dict>")
        << QStringLiteral("{A:int(1),B:bool(true)}") << 0;
    QTest::newRow("unknown kind") << plist("<dict><key>ContainerType</key><string>Array</string>"
                                           "<key>A</key><integer>1</integer></dict>")
                                  << QStringLiteral("{}") << 1;
    QTest::newRow("no kind") << plist("<dict><key>A</key><integer>1</integer></dict>") << QStringLiteral("{}") << 1;
    QTest::newRow("kind not a string")
        << plist("<dict><key>ContainerType</key><integer>1</integer><key>A</key><true/></dict>")
        << QStringLiteral("{}") << 1;
    QTest::newRow("value where a key belongs")
        << plist(strDict("<integer>3</integer><key>A</key><false/>")) << QStringLiteral("{A:bool(false)}") << 1;
    QTest::newRow("empty key") << plist(strDict("<key></key><integer>3</integer><key>A</key><false/>"))
                               << QStringLiteral("{A:bool(false)}") << 2;
    QTest::newRow("key after key")
        << plist(strDict("<key>A</key><key>B</key><integer>3</integer><key>C</key><true/>"))
        << QStringLiteral("{C:bool(true)}") << 2;
    QTest::newRow("last key without value")
        << plist(strDict("<key>A</key><true/><key>B</key>")) << QStringLiteral("{A:bool(true)}") << 1;
    QTest::newRow("ids that are not ids")
        << plist(intDict("<key>5</key><integer>1</integer>"
                         "<key>0</key>" + strDict("") + "<key>abc</key>" + strDict("")
                         + "<key>-1</key><integer>2</integer><key> 6</key><integer>2</integer>"
                           "<key>4294967296</key><integer>3</integer><key>4294967295</key><integer>4</integer>"))
        << QStringLiteral("[5:int(1),4294967295:int(4)]") << 5;
    // A skipped value leaves no key behind, so that a reader's default applies.
    QTest::newRow("unknown leaves")
        << plist(strDict("<key>A</key><array/><key>B</key><date>2001</date><key>C</key><true/>"))
        << QStringLiteral("{C:bool(true)}") << 2;
    QTest::newRow("numbers")
        << plist(strDict("<key>A</key><integer>12abc</integer><key>B</key><real>fast</real>"
                         "<key>C</key><integer> 42 </integer><key>D</key><integer>-9223372036854775808</integer>"
                         "<key>E</key><integer>18446744073709551616</integer><key>F</key><real>1e999</real>"))
        << QStringLiteral("{C:int(42),D:qlonglong(-9223372036854775808)}") << 4;
    QTest::newRow("broken inner dict keeps its siblings")
        << plist(strDict("<key>A</key><dict><key>ContainerType</key><string>Set</string></dict>"
                         "<key>B</key><integer>2</integer>"))
        << QStringLiteral("{B:int(2)}") << 1;
    QTest::newRow("skipped id entry")
        << plist(intDict("<key>3</key><integer>x</integer><key>4</key><dict><key>A</key><true/></dict>"
                         "<key>5</key><integer>5</integer>"))
        << QStringLiteral("[5:int(5)]") << 2;
    QTest::newRow("key met twice")
        << plist(strDict("<key>A</key><integer>1</integer><key>A</key><integer>2</integer>"))
        << QStringLiteral("{A:int(2)}") << 1;
    QTest::newRow("key met twice, later value skipped")
        << plist(strDict("<key>A</key><integer>1</integer><key>A</key><integer>x</integer>"))
        << QStringLiteral("{A:int(1)}") << 2;
}

void tst_QmdPropertyList::skippedParts()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, dump);
    QFETCH(int, warnings);

    QmdMemModel model(Qmd::StrDict);
    const ReadResult result = readDocument(&model, file);
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(dumpModel(model), dump);
    QCOMPARE(result.warnings.size(), warnings);
    for (const QString &warning : result.warnings)
        QVERIFY2(warning.startsWith(QLatin1String("Line ")), qPrintable(warning));
}

void tst_QmdPropertyList::readingIntoAnEntry()
{
    QmdMemModel model(Qmd::StrDict);
    buildFixture(model);
    QmdDirectModelInterface doc(&model);
    const QmdIndex elements = doc.index(QStringLiteral("Elements"), QmdIndex());
    const QmdIndex element = doc.index(12, elements);

    QVERIFY(readDocument(&model, plist(strDict("<key>Name</key><string>Pasted</string>")), element).ok);
    QCOMPARE(dumpValue(model, elements), QStringLiteral("[7:{Name:QString(Node <1> & \"2\")},12:{Name:QString(Pasted)}]"));
    QCOMPARE(dumpValue(model, doc.index(QStringLiteral("Tempo"), QmdIndex())), QStringLiteral("int(120)"));
}

QTEST_GUILESS_MAIN(tst_QmdPropertyList)
#include "tst_qmdpropertylist.moc"
