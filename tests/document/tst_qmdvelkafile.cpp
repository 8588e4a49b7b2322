#include "controllertest.h"
#include "filesdocument.h"
#include "outputportnames.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"
#include "qmdvelkaexporter.h"
#include "qmdvelkaimporter.h"
#include "qmdvelkavalues.h"
#include "stylepresets.h"

#include <QBuffer>
#include <QDomDocument>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>
#include <memory>

#include <sys/stat.h>
#include <sys/types.h>

using QmdVelka::TickPos;

namespace {

const QmdRequestId scratchRequest = std::numeric_limits<QmdRequestId>::max();

// One value placed where the network conversions look: an element value,
// an instrument value, a root key, or deeper inside an element.
enum Place { ElementValue, InstrumentValue, RootValue, NestedValue };

// A model holding one value at key in the given place; returns its parent.
QmdIndex placeValue(QmdMemModel &model, Place place, const QString &key, const QVariant &value)
{
    QmdDirectModelInterface m(&model);
    m.setType(QmdIndex(), Qmd::StrDict);
    QmdIndex parent;
    if (place == ElementValue || place == NestedValue || place == InstrumentValue) {
        const QString container = place == InstrumentValue ? "Instruments" : "Elements";
        m.setType(container, Qmd::IntDict, QmdIndex());
        m.setType(7, Qmd::StrDict, m.index(container, QmdIndex()));
        parent = m.index(7, m.index(container, QmdIndex()));
    }
    if (place == NestedValue) {
        m.setType("Inner", Qmd::StrDict, parent);
        parent = m.index("Inner", parent);
    }
    if (value.isValid())
        m.setData(key, value, parent);
    return parent;
}

// The text the writer gives the value, with its element name: "string:Edge".
QString writtenLeaf(Place place, const QString &key, const QVariant &value)
{
    QmdMemModel model;
    model.beginRequest(scratchRequest, Qmd::NoUndoHistory, QString());
    const QmdIndex parent = placeValue(model, place, key, value);
    model.endRequest();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QmdVelkaExporter writer(&model, &buffer);
    writer.writeBegin();
    writer.writeValue(QmdDirectModelInterface(&model).index(key, parent));
    writer.writeEnd();
    QDomDocument document;
    if (!document.setContent(buffer.data()))
        return "unreadable";
    const QDomElement leaf = document.documentElement().firstChildElement();
    return leaf.tagName() + ":" + leaf.text();
}

// The value the reader makes of one leaf element at key in the given place.
QVariant readLeaf(Place place, const QString &key, const QString &leafXml)
{
    QString dict = "<dict><key>ContainerType</key><string>StrDict</string><key>" + key + "</key>" + leafXml
                 + "</dict>";
    if (place == NestedValue)
        dict = "<dict><key>ContainerType</key><string>StrDict</string><key>Inner</key>" + dict + "</dict>";
    if (place == ElementValue || place == NestedValue || place == InstrumentValue)
        dict = "<dict><key>ContainerType</key><string>IntDict</string><key>7</key>" + dict + "</dict>";
    const QString container = place == InstrumentValue ? "Instruments" : "Elements";
    const QString text = place == RootValue
        ? "<plist version=\"1.0\">" + dict + "</plist>"
        : "<plist version=\"1.0\"><dict><key>ContainerType</key><string>StrDict</string><key>" + container
              + "</key>" + dict + "</dict></plist>";
    QByteArray bytes = text.toUtf8();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QmdMemModel model;
    model.beginRequest(scratchRequest, Qmd::NoUndoHistory, QString());
    QmdVelkaImporter reader(&model, &buffer);
    if (!reader.read(QmdIndex()))
        return QStringLiteral("unreadable");
    model.endRequest();
    QmdDirectModelInterface m(&model);
    QmdIndex parent;
    if (place != RootValue)
        parent = m.index(7, m.index(container, QmdIndex()));
    if (place == NestedValue)
        parent = m.index("Inner", parent);
    return m.data(key, parent);
}

QBitArray bits(const QString &text)
{
    QBitArray array(text.size());
    for (int i = 0; i < text.size(); ++i)
        array.setBit(i, text.at(i) == QLatin1Char('1'));
    return array;
}

QByteArray fileBytes(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &fileName, const QByteArray &bytes)
{
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class TestQmdVelkaFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void writesNetworkValues_data();
    void writesNetworkValues();
    void readsNetworkValues_data();
    void readsNetworkValues();

    void savedDocumentLoadsEqual();
    void savedFileFormat();
    void saveReplacesAndKeepsPermissions();
    void saveFailures_data();
    void saveFailures();
    void loadClearsUndoHistory();
    void loadsHandWrittenOlderDocument();
    void loadFailuresKeepDocument_data();
    void loadFailuresKeepDocument();
    void hostileFiles_data();
    void hostileFiles();
    void valuesSurviveCycles_data();
    void valuesSurviveCycles();
    void backupKeepsSkippedParts();
    void colourThatIsNoColour_data();
    void colourThatIsNoColour();
    void replacedCharactersAreReported();

private:
    std::unique_ptr<QmdMemModel> m_model;
    std::unique_ptr<QmdVelkaController> m_controller;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestQmdVelkaFile::initTestCase()
{
    OutputPortNames::setSource([] { return QSet<QString>{"Synth Out 1"}; });
}

void TestQmdVelkaFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_model = std::make_unique<QmdMemModel>();
    m_controller = std::make_unique<QmdVelkaController>();
    m_controller->setModel(m_model.get());
}

void TestQmdVelkaFile::cleanup()
{
    m_controller.reset();
    m_model.reset();
    m_dir.reset();
}

void TestQmdVelkaFile::writesNetworkValues_data()
{
    QTest::addColumn<int>("place");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("written");

    QTest::newRow("edge") << int(ElementValue) << "Type" << QVariant(1) << "string:Edge";
    QTest::newRow("node") << int(ElementValue) << "Type" << QVariant(2) << "string:Node";
    QTest::newRow("text box") << int(ElementValue) << "Type" << QVariant(3) << "string:TextBox";
    QTest::newRow("voice group") << int(ElementValue) << "Type" << QVariant(4) << "string:VoiceGroup";
    QTest::newRow("type 0") << int(ElementValue) << "Type" << QVariant(0) << "integer:0";
    QTest::newRow("type 5") << int(ElementValue) << "Type" << QVariant(5) << "integer:5";
    QTest::newRow("path 3") << int(ElementValue) << "Path" << QVariant(3) << "integer:3";
    QTest::newRow("path as text") << int(ElementValue) << "Path" << QVariant("2") << "string:Direct";
    QTest::newRow("path as real") << int(ElementValue) << "Path" << QVariant(2.0) << "real:2";
    QTest::newRow("direct") << int(ElementValue) << "Path" << QVariant(2) << "string:Direct";
    QTest::newRow("flipped") << int(ElementValue) << "Path" << QVariant(1) << "string:CityBlockFlipped";
    QTest::newRow("random") << int(ElementValue) << "SignallingMethod" << QVariant(2) << "string:Random";
    QTest::newRow("type deeper in an element") << int(NestedValue) << "Type" << QVariant(2) << "integer:2";
    QTest::newRow("instrument type") << int(InstrumentValue) << "Type" << QVariant("midi") << "string:midi";
    QTest::newRow("style colour") << int(RootValue) << "StyleNodesColor" << QVariant(QColor(255, 0, 0, 128))
                                  << "string:#ff000080";
    QTest::newRow("opaque style colour") << int(RootValue) << "StyleEdgesColor" << QVariant(QColor(Qt::white))
                                         << "string:#ffffffff";
    QTest::newRow("instrument colour") << int(InstrumentValue) << "Color" << QVariant(QColor(0, 128, 255))
                                       << "string:#0080ff";
    QTest::newRow("translucent instrument colour") << int(InstrumentValue) << "Color"
                                                   << QVariant(QColor(0, 128, 255, 16)) << "string:#0080ff10";
    QTest::newRow("no instrument colour") << int(InstrumentValue) << "Color" << QVariant(QColor()) << "string:";
    QTest::newRow("position") << int(ElementValue) << "TickPos" << QVariant::fromValue(TickPos(-12, 48))
                              << "string:{-12, 48}";
    QTest::newRow("position anywhere") << int(RootValue) << "Anchor"
                                       << QVariant::fromValue(TickPos(std::numeric_limits<qint64>::min(), 0))
                                       << "string:{-9223372036854775808, 0}";
    QTest::newRow("channels") << int(InstrumentValue) << "MidiChannels" << QVariant(bits("1010000000000000"))
                              << "string:1010000000000000";
    QTest::newRow("plain int") << int(ElementValue) << "Instrument" << QVariant(3u) << "integer:3";
}

void TestQmdVelkaFile::writesNetworkValues()
{
    QFETCH(int, place);
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    QFETCH(QString, written);
    QCOMPARE(writtenLeaf(Place(place), key, value), written);
}

void TestQmdVelkaFile::readsNetworkValues_data()
{
    QTest::addColumn<int>("place");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("leaf");
    QTest::addColumn<QVariant>("value");

    const auto element = int(ElementValue);
    QTest::newRow("Edge") << element << "Type" << "<string>Edge</string>" << QVariant(1);
    QTest::newRow("EDGE") << element << "Type" << "<string>EDGE</string>" << QVariant(1);
    QTest::newRow("older arc") << element << "Type" << "<string>aRc</string>" << QVariant(1);
    QTest::newRow("older player") << element << "Type" << "<string>PLAYER</string>" << QVariant(4);
    QTest::newRow("textbox") << element << "Type" << "<string>textbox</string>" << QVariant(3);
    QTest::newRow("empty type") << element << "Type" << "<string/>" << QVariant(0);
    QTest::newRow("unknown word") << element << "Path" << "<string>Curved</string>" << QVariant(0);
    QTest::newRow("number stays") << element << "Type" << "<integer>2</integer>" << QVariant(2);
    QTest::newRow("parallel") << element << "SignallingMethod" << "<string>Parallel</string>" << QVariant(1);
    QTest::newRow("word deeper in an element") << int(NestedValue) << "Type" << "<string>Node</string>"
                                               << QVariant("Node");
    QTest::newRow("instrument type") << int(InstrumentValue) << "Type" << "<string>midi</string>"
                                     << QVariant("midi");

    const auto pos = [](qint64 x, qint64 y) { return QVariant::fromValue(TickPos(x, y)); };
    QTest::newRow("position") << element << "TickPos" << "<string>{-12, 48}</string>" << pos(-12, 48);
    QTest::newRow("position, no blank") << element << "TickPos" << "<string>{-12,48}</string>" << pos(-12, 48);
    QTest::newRow("position, blanks") << element << "TickPos" << "<string>{+12,    -48}</string>" << pos(12, -48);
    QTest::newRow("blank after brace") << element << "TickPos" << "<string>{ -12, 48}</string>" << pos(0, 0);
    QTest::newRow("blank before comma") << element << "TickPos" << "<string>{-12 , 48}</string>" << pos(0, 0);
    QTest::newRow("position, 18 digits") << element << "TickPos"
                                         << "<string>{999999999999999999, -999999999999999999}</string>"
                                         << pos(999999999999999999, -999999999999999999);
    QTest::newRow("position, 19 digits") << element << "TickPos" << "<string>{1000000000000000000, 5}</string>"
                                         << pos(1000000000000000000, 5);
    QTest::newRow("position, too large") << element << "TickPos" << "<string>{99999999999999999999, 5}</string>"
                                         << pos(0, 5);
    QTest::newRow("position, tab after comma") << element << "TickPos" << "<string>{1,\t2}</string>" << pos(1, 2);
    QTest::newRow("position, line feed after") << element << "TickPos" << "<string>{1, 2}\n</string>" << pos(1, 2);
    QTest::newRow("position, no digits") << element << "TickPos" << "<string>{-, 2}</string>" << pos(0, 0);

    const auto root = int(RootValue);
    QTest::newRow("colour with alpha") << root << "StyleNodesColor" << "<string>#FF000080</string>"
                                       << QVariant(QColor(255, 0, 0, 128));
    QTest::newRow("colour without alpha") << root << "StyleNodesColor" << "<string>#ff0000</string>"
                                          << QVariant(QColor(255, 0, 0));
    QTest::newRow("colour, bad alpha") << root << "StyleNodesColor" << "<string>#ff0000zz</string>"
                                       << QVariant(QColor(255, 0, 0, 0));
    QTest::newRow("not a style key") << root << "StyleNodesColour" << "<string>#ff0000</string>"
                                     << QVariant("#ff0000");
    QTest::newRow("instrument colour") << int(InstrumentValue) << "Color" << "<string>#0080FF</string>"
                                       << QVariant(QColor(0, 128, 255));
    QTest::newRow("no instrument colour") << int(InstrumentValue) << "Color" << "<string/>" << QVariant(QColor());
    QTest::newRow("channels") << int(InstrumentValue) << "MidiChannels" << "<string>1010000000000000</string>"
                              << QVariant(bits("1010000000000000"));
    QTest::newRow("short channels") << root << "MidiChannels" << "<string>011</string>" << QVariant(bits("011"));
    QTest::newRow("not channels") << int(InstrumentValue) << "MidiChannels" << "<string>10x1</string>"
                                  << QVariant("10x1");
    QTest::newRow("text keeps its case") << element << "PitchList" << "<string>C3, Eb3</string>"
                                         << QVariant("C3, Eb3");
}

void TestQmdVelkaFile::readsNetworkValues()
{
    QFETCH(int, place);
    QFETCH(QString, key);
    QFETCH(QString, leaf);
    QFETCH(QVariant, value);
    const QVariant read = readLeaf(Place(place), key, leaf);
    QCOMPARE(read.metaType(), value.metaType());
    QCOMPARE(read, value);
    if (value.metaType() == QMetaType::fromType<QColor>())
        QCOMPARE(read.value<QColor>().alpha(), value.value<QColor>().alpha());
}

void TestQmdVelkaFile::savedDocumentLoadsEqual()
{
    FilesDocument::buildSample(*m_controller);
    const QString fileName = m_dir->filePath("sample.vlk");
    QSignalSpy saved(m_controller.get(), &QmdDocController::fileSaved);
    m_controller->requestSave(fileName);
    QCOMPARE(saved.count(), 1);

    QmdMemModel loadedModel;
    QmdVelkaController loaded;
    loaded.setModel(&loadedModel);
    QSignalSpy loadedSpy(&loaded, &QmdDocController::fileLoaded);
    loaded.requestLoad(fileName);
    QCOMPARE(loadedSpy.count(), 1);

    const auto withoutTemp = [](QmdModel *model) {
        QString text = FilesDocument::dump(model);
        const qsizetype temp = text.indexOf("\nTemp [StrDict]\n");
        const qsizetype next = text.indexOf(QRegularExpression("\n\\S"), temp + 1);
        return temp < 0 ? text : text.left(temp) + text.mid(next);
    };
    // Every value comes back with its type.
    const QString expected = withoutTemp(m_model.get());
    QVERIFY(expected.contains("Elements [IntDict]"));
    QCOMPARE(withoutTemp(&loadedModel), expected);
    QCOMPARE(loaded.fileName(), QFileInfo(fileName).absoluteFilePath());
}

void TestQmdVelkaFile::savedFileFormat()
{
    FilesDocument::buildSample(*m_controller);
    const QString fileName = m_dir->filePath("format.vlk");
    m_controller->requestSave(fileName);
    const QString text = QString::fromUtf8(fileBytes(fileName));

    QVERIFY(text.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    QVERIFY(!text.contains("<key>Temp</key>"));
    QVERIFY(!text.contains("ElementStates"));
    for (const char *leaf : {"<key>Type</key>\n                <string>Node</string>",
                             "<string>Edge</string>", "<string>VoiceGroup</string>", "<string>TextBox</string>",
                             "<string>Direct</string>", "<string>CityBlockFlipped</string>",
                             "<string>CityBlock</string>", "<string>Random</string>", "<string>Sequential</string>",
                             "<string>{-665280, 1330560}</string>", "<string>{2000000, -7}</string>",
                             "<string>#0a141e80</string>", "<string>#ffffffff</string>",
                             "<string>#0080ff</string>", "<string>1010000000000000</string>",
                             "<key>Tool</key>", "<string>midi</string>"}) {
        QVERIFY2(text.contains(QString::fromUtf8(leaf)), leaf);
    }
}

void TestQmdVelkaFile::saveReplacesAndKeepsPermissions()
{
    const QString fileName = m_dir->filePath("kept.vlk");
    writeFile(fileName, "old contents");
    const QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QVERIFY(QFile::setPermissions(fileName, permissions));

    m_controller->requestAddNode(TickPos(1, 2));
    QSignalSpy saved(m_controller.get(), &QmdDocController::fileSaved);
    m_controller->requestSave(fileName);
    QCOMPARE(saved.count(), 1);
    QVERIFY(fileBytes(fileName).contains("<string>{1, 2}</string>"));
    const QFile::Permissions modeBits = QFile::Permissions(0xf0ff);
    QCOMPARE(QFile::permissions(fileName) & modeBits, permissions);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"kept.vlk"});
    QVERIFY(m_controller->isAtCleanState());
}

void TestQmdVelkaFile::saveFailures_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("error");

    QTest::newRow("read-only file") << "readonly.vlk" << int(QFile::PermissionsError);
    QTest::newRow("missing folder") << "missing/file.vlk" << int(QFile::OpenError);
    QTest::newRow("folder") << "folder" << int(QFile::OpenError);
}

void TestQmdVelkaFile::saveFailures()
{
    QFETCH(QString, target);
    QFETCH(int, error);
    const QString fileName = m_dir->filePath(target);
    const QString earlierName = m_dir->filePath("earlier.vlk");
    QDir(m_dir->path()).mkdir("folder");
    writeFile(m_dir->filePath("readonly.vlk"), "precious bytes");
    QVERIFY(QFile::setPermissions(m_dir->filePath("readonly.vlk"), QFile::ReadOwner | QFile::ReadGroup));
    m_controller->requestSave(earlierName);
    m_controller->requestAddNode(TickPos(0, 0));

    QSignalSpy failed(m_controller.get(), &QmdDocController::fileSaveError);
    QSignalSpy renamed(m_controller.get(), &QmdDocController::fileNameChanged);
    m_controller->requestSave(fileName);
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.at(0).at(0).toString(), fileName);
    QCOMPARE(int(failed.at(0).at(1).value<QFile::FileError>()), error);
    QCOMPARE(renamed.count(), 0);
    QCOMPARE(m_controller->fileName(), earlierName);
    QVERIFY(!m_controller->isAtCleanState());
    QCOMPARE(fileBytes(m_dir->filePath("readonly.vlk")), QByteArray("precious bytes"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files).size(), 2);
}

void TestQmdVelkaFile::loadClearsUndoHistory()
{
    m_controller->requestAddNode(TickPos(3, 4));
    const QString fileName = m_dir->filePath("one.vlk");
    m_controller->requestSave(fileName);
    m_controller->requestAddNode(TickPos(5, 6));
    QVERIFY(m_controller->canUndo());

    QSignalSpy loaded(m_controller.get(), &QmdDocController::fileLoaded);
    m_controller->requestLoad(fileName);
    QCOMPARE(loaded.count(), 1);
    QVERIFY(!m_controller->canUndo());
    QVERIFY(m_controller->isAtCleanState());
    QCOMPARE(m_controller->elementIds().size(), 1);
    QCOMPARE(m_controller->elementData(m_controller->elementIds().first(), "TickPos").value<TickPos>(),
             TickPos(3, 4));
}

// As a person or an older version of the program wrote it: other letter case,
// older words, colours without alpha, instrument settings on the voice group.
void TestQmdVelkaFile::loadsHandWrittenOlderDocument()
{
    const QString fileName = m_dir->filePath("older.vlk");
    writeFile(fileName, R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0">
<dict>
  <key>ContainerType</key><string>StrDict</string>
  <key>Tempo</key><integer>100</integer>
  <key>StyleNodesColor</key><string>#FF8000</string>
  <key>Elements</key>
  <dict>
    <key>ContainerType</key><string>IntDict</string>
    <key>3</key>
    <dict>
      <key>Type</key><string>NODE</string>
      <key>ContainerType</key><string>StrDict</string>
      <key>TickPos</key><string>{665280,-665280}</string>
      <key>SignallingMethod</key><string>parallel</string>
    </dict>
    <key>4</key>
    <dict>
      <key>ContainerType</key><string>StrDict</string>
      <key>Type</key><string>Arc</string>
      <key>FromNode</key><integer>3</integer>
      <key>ToNode</key><integer>3</integer>
      <key>Path</key><string>direct</string>
    </dict>
    <key>5</key>
    <dict>
      <key>ContainerType</key><string>StrDict</string>
      <key>Type</key><string>Player</string>
      <key>ToNode</key><integer>3</integer>
      <key>Identifier</key><integer>1</integer>
      <key>OutputType</key><string>midi</string>
      <key>MidiChannels</key><string>0010000000000000</string>
      <key>MidiPort</key><string>Synth 2</string>
    </dict>
  </dict>
</dict>
</plist>
)");
    QSignalSpy loaded(m_controller.get(), &QmdDocController::fileLoaded);
    m_controller->requestLoad(fileName);
    QCOMPARE(loaded.count(), 1);
    QmdVelkaController &c = *m_controller;

    QCOMPARE(c.data("Tempo"), QVariant(100));
    QCOMPARE(c.data("StyleNodesColor"), QVariant(QColor(255, 128, 0)));
    QVERIFY(c.data("StyleEdgesColor").value<QColor>().isValid());
    QCOMPARE(c.elementIds(), (QmdItemIdList{3, 4, 5}));
    QCOMPARE(c.elementData(3, "Type"), QVariant(2));
    QCOMPARE(c.elementData(3, "TickPos"), QVariant::fromValue(TickPos(665280, -665280)));
    QCOMPARE(c.elementData(3, "SignallingMethod"), QVariant(1));
    QCOMPARE(c.elementData(4, "Type"), QVariant(1));
    QCOMPARE(c.elementData(4, "Path"), QVariant(2));
    QCOMPARE(c.elementData(5, "Type"), QVariant(4));
    QVERIFY(!c.elementData(5, "Identifier").isValid());

    const QmdItemId instrument = c.elementData(5, "InitialInstrument").toUInt();
    QCOMPARE(c.instrumentIds(), QmdItemIdList{instrument});
    QBitArray channels(16);
    channels.setBit(2);
    QCOMPARE(c.instrumentData(instrument, "MidiChannels"), QVariant(channels));
    QCOMPARE(c.instrumentData(instrument, "MidiPort"), QVariant("Synth 2"));
    QCOMPARE(c.instrumentData(instrument, "Type"), QVariant("midi"));
}

void TestQmdVelkaFile::loadFailuresKeepDocument_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("error");

    const QByteArray document = "<dict><key>ContainerType</key><string>StrDict</string></dict>";
    QTest::newRow("missing file") << QByteArray() << int(QFile::OpenError);
    QTest::newRow("empty file") << QByteArray("") << int(QFile::ReadError);
    QTest::newRow("not xml") << QByteArray("Tempo = 120\n") << int(QFile::ReadError);
    QTest::newRow("cut short") << QByteArray("<plist version=\"1.0\"><dict><key>Tempo</key>") << int(QFile::ReadError);
    QTest::newRow("not a plist") << QByteArray("<html>" + document + "</html>") << int(QFile::ReadError);
    QTest::newRow("other version") << QByteArray("<plist version=\"1.1\">" + document + "</plist>")
                                   << int(QFile::ReadError);
    QTest::newRow("no document") << QByteArray("<plist version=\"1.0\"><string>x</string></plist>")
                                 << int(QFile::ReadError);
    QTest::newRow("id-keyed top") << QByteArray("<plist version=\"1.0\"><dict><key>ContainerType</key>"
                                                "<string>IntDict</string></dict></plist>")
                                  << int(QFile::ReadError);
    QTest::newRow("empty plist") << QByteArray("<plist version=\"1.0\"/>") << int(QFile::ReadError);
}

void TestQmdVelkaFile::loadFailuresKeepDocument()
{
    QFETCH(QByteArray, contents);
    QFETCH(int, error);
    const QString fileName = m_dir->filePath("broken.vlk");
    if (!contents.isNull())
        writeFile(fileName, contents);
    const QString earlierName = m_dir->filePath("earlier.vlk");
    FilesDocument::buildSample(*m_controller);
    m_controller->requestSave(earlierName);
    m_controller->requestAddNode(TickPos(9, 9));
    const QString before = FilesDocument::dump(m_model.get());
    const QString undoText = m_controller->undoText();

    QSignalSpy failed(m_controller.get(), &QmdDocController::fileLoadError);
    QSignalSpy reset(m_controller.get(), &QmdController::modelReset);
    if (!contents.isNull())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(".*"));
    m_controller->requestLoad(fileName);
    QCOMPARE(failed.count(), 1);
    QCOMPARE(int(failed.at(0).at(1).value<QFile::FileError>()), error);
    QCOMPARE(reset.count(), 0);
    QCOMPARE(FilesDocument::dump(m_model.get()), before);
    QCOMPARE(m_controller->fileName(), earlierName);
    QCOMPARE(m_controller->undoText(), undoText);
    QVERIFY(m_controller->canUndo());
}

namespace {

// A document file around the root dict's pairs (the container type is added).
QByteArray documentFile(const QByteArray &pairs, const QByteArray &doctype = QByteArray())
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + doctype + "<plist version=\"1.0\"><dict>"
           "<key>ContainerType</key><string>StrDict</string>" + pairs + "</dict></plist>\n";
}

// One element dict of the "Elements" container under the given id.
QByteArray elementsPairs(const QByteArray &elements)
{
    return "<key>Elements</key><dict><key>ContainerType</key><string>IntDict</string>" + elements + "</dict>";
}

const QByteArray validNode = "<dict><key>ContainerType</key><string>StrDict</string>"
                             "<key>Type</key><string>Node</string><key>TickPos</key><string>{1, 2}</string></dict>";

} // namespace

// Files a user may be handed or pick by mistake, loaded over a document with
// unsaved changes: a refused one leaves everything as it was; one read with
// skipped parts says what it skipped.
void TestQmdVelkaFile::hostileFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("warnings");

    const int ok = int(QFile::NoError);
    QTest::newRow("named pipe") << "fifo" << QByteArray() << int(QFile::OpenError) << "not a regular file" << 0;
    QTest::newRow("endless device") << "/dev/zero" << QByteArray() << int(QFile::OpenError)
                                    << "not a regular file" << 0;
    QTest::newRow("folder") << "folder" << QByteArray() << int(QFile::OpenError) << "not a regular file" << 0;
    QTest::newRow("too large") << "huge" << QByteArray() << int(QFile::ReadError) << "larger than 256 MB" << 0;
    QTest::newRow("not a document") << "file" << QByteArray("<plist version=\"1.0\"><integer>1</integer></plist>")
                                    << int(QFile::ReadError) << "holds no document" << 0;
    QTest::newRow("plain text") << "file" << QByteArray("Shopping list\n- milk\n- bread\n") << int(QFile::ReadError)
                                << "This is not a Velka document." << 0;
    QTest::newRow("picture") << "file" << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << int(QFile::ReadError)
                             << "This is not a Velka document." << 0;
    QTest::newRow("other XML") << "file" << QByteArray("<html><body>Tempo</body></html>") << int(QFile::ReadError)
                               << "This is not a Velka document." << 0;
    QTest::newRow("cut short") << "file" << documentFile("<key>Tempo</key><integer>1").left(120)
                               << int(QFile::ReadError) << "The file is not well-formed at line " << 0;
    QTest::newRow("value of unknown type")
        << "file" << documentFile("<key>Tempo</key><date>2001-01-01</date>") << ok << "<date>" << 1;
    QTest::newRow("unreadable value")
        << "file" << documentFile("<key>Tempo</key><integer>x</integer>") << ok << "\"x\"" << 1;
    QTest::newRow("element without container type")
        << "file" << documentFile(elementsPairs("<key>3</key><dict><key>Type</key><string>Node</string></dict>"
                                                "<key>4</key>" + validNode))
        << ok << "unknown kind" << 1;
    QTest::newRow("malformed id")
        << "file" << documentFile(elementsPairs("<key>x3</key>" + validNode + "<key>4</key>" + validNode))
        << ok << "\"x3\"" << 1;
    QTest::newRow("external entity")
        << "file"
        << documentFile("<key>Title</key><string>&secret;</string>",
                        "<!DOCTYPE plist [<!ENTITY secret SYSTEM \"secret.txt\">]>\n")
        << ok << QString() << -1;
    QTest::newRow("valid") << "file" << documentFile(elementsPairs("<key>4</key>" + validNode)) << ok << QString()
                           << 0;
}

void TestQmdVelkaFile::hostileFiles()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, contents);
    QFETCH(int, error);
    QFETCH(QString, message);
    QFETCH(int, warnings);

    QString fileName = m_dir->filePath("hostile.vlk");
    writeFile(m_dir->filePath("secret.txt"), "private words");
    if (kind == "fifo") {
        QCOMPARE(mkfifo(QFile::encodeName(fileName).constData(), 0600), 0);
    } else if (kind == "folder") {
        QVERIFY(QDir(m_dir->path()).mkdir("hostile.vlk"));
    } else if (kind == "huge") {
        // Sparse: takes no room on the disk.
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(QmdVelkaImporter::MaxFileSize + 1));
    } else if (kind == "file") {
        writeFile(fileName, contents);
    } else {
        fileName = kind;
    }

    const QString earlierName = m_dir->filePath("earlier.vlk");
    FilesDocument::buildSample(*m_controller);
    m_controller->requestSave(earlierName);
    m_controller->requestAddNode(TickPos(9, 9));
    const QString before = FilesDocument::dump(m_model.get());
    const QString undoText = m_controller->undoText();

    QSignalSpy failed(m_controller.get(), &QmdDocController::fileLoadError);
    QSignalSpy loaded(m_controller.get(), &QmdDocController::fileLoaded);
    QSignalSpy reported(m_controller.get(), &QmdDocController::fileWarningsReported);
    QTest::failOnWarning(QRegularExpression("private words"));
    if (error != int(QFile::NoError))
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(".*"));
    m_controller->requestLoad(fileName);

    if (error != int(QFile::NoError)) {
        QCOMPARE(failed.count(), 1);
        QCOMPARE(int(failed.at(0).at(1).value<QFile::FileError>()), error);
        QVERIFY2(m_controller->fileErrorString().contains(message), qPrintable(m_controller->fileErrorString()));
        QCOMPARE(loaded.count(), 0);
        QCOMPARE(FilesDocument::dump(m_model.get()), before);
        QCOMPARE(m_controller->fileName(), earlierName);
        QCOMPARE(m_controller->undoText(), undoText);
        QVERIFY(m_controller->canUndo());
        QVERIFY(!m_controller->isAtCleanState());
        return;
    }
    QCOMPARE(loaded.count(), 1);
    QVERIFY(m_controller->fileErrorString().isEmpty());
    QVERIFY(!FilesDocument::dump(m_model.get()).contains("private words"));
    const QStringList lines = m_controller->fileWarnings();
    if (warnings >= 0)
        QCOMPARE(lines.size(), warnings);
    QCOMPARE(reported.count(), lines.isEmpty() ? 0 : 1);
    if (!lines.isEmpty()) {
        QCOMPARE(reported.at(0).at(0).toString(), fileName);
        QCOMPARE(reported.at(0).at(1).toStringList(), lines);
    }
    if (!message.isEmpty())
        QVERIFY2(lines.join('\n').contains(message), qPrintable(lines.join('\n')));
    // What was skipped is gone whole: the defaults apply.
    QCOMPARE(m_controller->data("Tempo"), QVariant(120u));
    QVERIFY(!m_controller->elementIndex(3).isValid());
    QCOMPARE(m_controller->elementData(4, "TickPos").value<TickPos>(),
             kind == "file" && contents.contains("<key>4</key>") ? TickPos(1, 2) : TickPos());
}

// Every kind of value a network document holds, saved and loaded three times.
void TestQmdVelkaFile::valuesSurviveCycles_data()
{
    QTest::addColumn<int>("place");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");

    const int root = int(RootValue);
    const int element = int(ElementValue);
    const int instrument = int(InstrumentValue);
    QTest::newRow("tempo") << root << "Tempo" << QVariant(97u);
    QTest::newRow("grid divisions") << root << "DivsPerPrincipal" << QVariant(12u);
    QTest::newRow("ratio numerator") << root << "PrincipalsToBeatsNumerator" << QVariant(3u);
    QTest::newRow("ratio denominator") << root << "PrincipalsToBeatsDenominator" << QVariant(2u);
    QTest::newRow("zoom") << root << "ZoomScale" << QVariant(1.0 / 3.0);
    QTest::newRow("switch") << root << "ShowGrid" << QVariant(false);
    QTest::newRow("style colour") << root << "StyleNodesColor" << QVariant(QColor(1, 2, 3, 4));
    QTest::newRow("sync type") << root << "SyncType" << QVariant(QStringLiteral("internal"));
    QTest::newRow("64-bit") << root << "Wide" << QVariant(qlonglong(1) << 40);
    QTest::newRow("64-bit negative") << root << "Wide" << QVariant(-(qlonglong(1) << 40));
    QTest::newRow("64-bit extremes") << root << "Wide" << QVariant(std::numeric_limits<qlonglong>::min());
    QTest::newRow("unsigned 64-bit") << root << "Wide" << QVariant(std::numeric_limits<qulonglong>::max());
    QTest::newRow("type with a word") << element << "Type" << QVariant(2);
    QTest::newRow("type without a word") << element << "Type" << QVariant(9);
    QTest::newRow("type 0") << element << "Type" << QVariant(0);
    QTest::newRow("path with a word") << element << "Path" << QVariant(2);
    QTest::newRow("path without a word") << element << "Path" << QVariant(3);
    QTest::newRow("negative path") << element << "Path" << QVariant(-1);
    QTest::newRow("signalling without a word") << element << "SignallingMethod" << QVariant(7);
    QTest::newRow("from-node") << element << "FromNode" << QVariant(4294967295u);
    QTest::newRow("to-node") << element << "ToNode" << QVariant(17u);
    QTest::newRow("instrument of a voice group") << element << "InitialInstrument" << QVariant(3u);
    QTest::newRow("position") << element << "TickPos"
                              << QVariant::fromValue(TickPos(std::numeric_limits<qint64>::min(), 665280));
    QTest::newRow("hidden") << element << "IsHidden" << QVariant(true);
    QTest::newRow("pitches") << element << "PitchList" << QVariant(QStringLiteral("C3, Eb3"));
    QTest::newRow("text with CR and tabs") << element << "Text" << QVariant(QStringLiteral("a\r\n\tb\r"));
    QTest::newRow("text with markup") << element << "Text" << QVariant(QStringLiteral("x ]]> <y/> &amp;"));
    QTest::newRow("text with emoji") << element << "Text" << QVariant(QStringLiteral("\U0001F3B9 keys"));
    QTest::newRow("white space only") << element << "Text" << QVariant(QStringLiteral(" \t "));
    QTest::newRow("empty text") << element << "Text" << QVariant(QString(""));
    QTest::newRow("channels") << instrument << "MidiChannels" << QVariant(bits("0100000000000001"));
    QTest::newRow("instrument colour") << instrument << "Color" << QVariant(QColor(0, 128, 255));
    QTest::newRow("program") << instrument << "MidiProgram" << QVariant(127);
    QTest::newRow("instrument type") << instrument << "Type" << QVariant(QStringLiteral("midi"));
}

void TestQmdVelkaFile::valuesSurviveCycles()
{
    QFETCH(int, place);
    QFETCH(QString, key);
    QFETCH(QVariant, value);

    QmdIndex parent;
    if (place == ElementValue) {
        m_controller->requestAddNode(TickPos(0, 0));
        parent = m_controller->elementIndex(m_controller->elementIds().first());
    } else if (place == InstrumentValue) {
        m_controller->requestAddInstrument();
        parent = m_controller->instrumentIndex(m_controller->instrumentIds().first());
    }
    QVERIFY(place == RootValue || parent.isValid());
    const QString path = parent.isValid() ? QString::number(parent.id()) : QString();
    m_controller->requestSetData(key, value, parent);
    ControllerTest::settle();
    QCOMPARE(m_controller->data(key, parent), value);

    const QString fileName = m_dir->filePath("cycles.vlk");
    for (int cycle = 1; cycle <= 3; ++cycle) {
        QSignalSpy saved(m_controller.get(), &QmdDocController::fileSaved);
        m_controller->requestSave(fileName);
        QCOMPARE(saved.count(), 1);
        QVERIFY(m_controller->fileWarnings().isEmpty());
        QSignalSpy loaded(m_controller.get(), &QmdDocController::fileLoaded);
        m_controller->requestLoad(fileName);
        QCOMPARE(loaded.count(), 1);
        QVERIFY2(m_controller->fileWarnings().isEmpty(), qPrintable(m_controller->fileWarnings().join('\n')));
        if (place == ElementValue)
            parent = m_controller->elementIndex(m_controller->elementIds().first());
        else if (place == InstrumentValue)
            parent = m_controller->instrumentIndex(m_controller->instrumentIds().first());
        const QVariant read = m_controller->data(key, parent);
        QCOMPARE(read.metaType(), value.metaType());
        QCOMPARE(read, value);
        if (value.metaType() == QMetaType::fromType<QColor>())
            QCOMPARE(read.value<QColor>().alpha(), value.value<QColor>().alpha());
    }
}

void TestQmdVelkaFile::backupKeepsSkippedParts()
{
    const QString skippedName = m_dir->filePath("skipped.vlk");
    const QByteArray original = documentFile("<key>Tempo</key><integer>100</integer><key>Extra</key><data>AA==</data>"
                                             + elementsPairs("<key>4</key>" + validNode));
    writeFile(skippedName, original);
    const QString cleanName = m_dir->filePath("clean.vlk");
    writeFile(cleanName, documentFile(elementsPairs("<key>4</key>" + validNode)));

    // A clean file is saved over without a backup.
    m_controller->requestLoad(cleanName);
    QVERIFY(m_controller->fileWarnings().isEmpty());
    m_controller->requestSave(cleanName);
    QVERIFY(!QFile::exists(QmdDocController::backupFileName(cleanName)));

    // One that lost parts keeps the original beside it on the first save over it.
    m_controller->requestLoad(skippedName);
    QCOMPARE(m_controller->fileWarnings().size(), 1);
    const QString backupName = QmdDocController::backupFileName(skippedName);
    QCOMPARE(backupName, skippedName + ".bak");
    QVERIFY(!QFile::exists(backupName));
    QSignalSpy saved(m_controller.get(), &QmdDocController::fileSaved);
    m_controller->requestSave(skippedName);
    QCOMPARE(saved.count(), 1);
    QCOMPARE(fileBytes(backupName), original);
    QVERIFY(fileBytes(skippedName) != original);

    // Later saves leave the backup alone; a later load with skipped parts replaces it.
    m_controller->requestSetData("Tempo", 80u);
    m_controller->requestSave(skippedName);
    QCOMPARE(fileBytes(backupName), original);
    const QByteArray second = documentFile("<key>Tempo</key><real>x</real>");
    writeFile(skippedName, second);
    m_controller->requestLoad(skippedName);
    m_controller->requestSave(skippedName);
    QCOMPARE(fileBytes(backupName), second);

    // A backup that cannot be written stops the save and leaves the file as it was.
    writeFile(skippedName, second);
    m_controller->requestLoad(skippedName);
    QVERIFY(QFile::remove(backupName));
    QVERIFY(QDir(m_dir->path()).mkdir("skipped.vlk.bak"));
    QSignalSpy failed(m_controller.get(), &QmdDocController::fileSaveError);
    m_controller->requestSave(skippedName);
    QCOMPARE(failed.count(), 1);
    QVERIFY(m_controller->fileErrorString().contains("skipped.vlk.bak"));
    QCOMPARE(fileBytes(skippedName), second);
}

// A colour key whose value is no colour text is left out with a warning that
// names the key and the colour shown instead (a style key's default, an
// instrument's own look without a colour); nothing is ever written as black
// in its place, and the file as it was stays beside the first save.
void TestQmdVelkaFile::colourThatIsNoColour_data()
{
    QTest::addColumn<int>("place");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("leaf");
    QTest::addColumn<bool>("warned");

    const QStringList styleKeys{"StyleBackgroundColor",    "StylePrincipalLinesColor", "StylePrincipalPointsColor",
                                "StyleDivisionLinesColor", "StyleDivisionPointsColor", "StyleAnnotationColor",
                                "StyleNodesColor",         "StyleEdgesColor"};
    const QList<QPair<const char *, QByteArray>> forms{{"integer", "<integer>2</integer>"},
                                                       {"true", "<true/>"},
                                                       {"real", "<real>1.5</real>"},
                                                       {"garbage", "<string>garbage</string>"},
                                                       {"empty", "<string></string>"}};
    for (const QString &key : styleKeys) {
        for (const auto &form : forms)
            QTest::addRow("%s %s", qPrintable(key), form.first) << int(RootValue) << key << form.second << true;
    }
    // An empty text is how an instrument without a colour of its own is
    // written (the ninth instrument finds no free colour): it stays so.
    for (const auto &form : forms) {
        QTest::addRow("instrument Color %s", form.first)
            << int(InstrumentValue) << "Color" << form.second << (QByteArray(form.first) != "empty");
    }
    // A text box keeps its colours in its rich text, which is kept as it
    // stands, whatever it names.
    QTest::newRow("text box Text naming no colour")
        << int(ElementValue) << "Text" << QByteArray("<string>&lt;span style=\"color:garbage\"&gt;a&lt;/span&gt;</string>")
        << false;
}

void TestQmdVelkaFile::colourThatIsNoColour()
{
    QFETCH(int, place);
    QFETCH(QString, key);
    QFETCH(QByteArray, leaf);
    QFETCH(bool, warned);

    QByteArray pairs = "<key>" + key.toUtf8() + "</key>" + leaf;
    if (place == InstrumentValue) {
        pairs = "<key>Instruments</key><dict><key>ContainerType</key><string>IntDict</string><key>1</key><dict>"
                "<key>ContainerType</key><string>StrDict</string><key>Type</key><string>midi</string>"
                "<key>Label</key><string>Lead</string>" + pairs + "</dict></dict>";
    } else if (place == ElementValue) {
        pairs = elementsPairs("<key>4</key><dict><key>ContainerType</key><string>StrDict</string>"
                              "<key>Type</key><string>TextBox</string><key>TickPos</key><string>{1, 2}</string>"
                              + pairs + "</dict>");
    }
    const QByteArray original = documentFile(pairs);
    const QString fileName = m_dir->filePath("colours.vlk");
    writeFile(fileName, original);
    const QVariant preset = StylePresets::preset(StylePresets::defaultName()).value(key);
    const auto checkDocument = [&](const char *when) {
        const QmdIndex at = place == InstrumentValue ? m_controller->instrumentIndex(1)
                          : place == ElementValue    ? m_controller->elementIndex(4)
                                                     : QmdIndex();
        QVERIFY2(place == RootValue || at.isValid(), when);
        const QVariant value = m_controller->data(key, at);
        if (place == RootValue) {
            QVERIFY2(value == preset, when); // the default colour, filled in as for a missing key
        } else if (place == InstrumentValue && warned) {
            QVERIFY2(!value.isValid(), when);
        } else if (place == InstrumentValue) {
            QVERIFY2(value == QVariant(QColor()), when);
        } else {
            QVERIFY2(value == QVariant(QStringLiteral("<span style=\"color:garbage\">a</span>")), when);
        }
    };

    m_controller->requestLoad(fileName);
    QCOMPARE(m_controller->fileName(), QFileInfo(fileName).absoluteFilePath());
    const QStringList warnings = m_controller->fileWarnings();
    QCOMPARE(warnings.size(), warned ? 1 : 0);
    if (warned) {
        QVERIFY2(warnings.first().contains(key + " "), qPrintable(warnings.first()));
        if (place == RootValue) {
            const QString colour = QmdVelkaValues::colourText(preset.value<QColor>());
            QVERIFY2(warnings.first().contains("default colour " + colour), qPrintable(warnings.first()));
        }
    }
    checkDocument("loaded");

    m_controller->requestSave(fileName);
    QVERIFY(m_controller->fileErrorString().isEmpty());
    const QByteArray saved = fileBytes(fileName);
    // Black, opaque as a style colour writes it and as an instrument's does.
    QVERIFY2(!saved.contains("#000000ff") && !saved.contains("<string>#000000</string>"), saved.constData());
    QCOMPARE(QFile::exists(QmdDocController::backupFileName(fileName)), warned);
    if (warned)
        QCOMPARE(fileBytes(QmdDocController::backupFileName(fileName)), original);

    m_controller->requestLoad(fileName);
    QVERIFY2(m_controller->fileWarnings().isEmpty(), qPrintable(m_controller->fileWarnings().join('\n')));
    checkDocument("loaded again");
}

void TestQmdVelkaFile::replacedCharactersAreReported()
{
    m_controller->requestAddTextBox(TickPos(0, 0), QStringLiteral("bell \u0007 here"));
    const QmdItemId box = m_controller->elementIds().first();
    const QString fileName = m_dir->filePath("bell.vlk");
    QSignalSpy reported(m_controller.get(), &QmdDocController::fileWarningsReported);
    QSignalSpy saved(m_controller.get(), &QmdDocController::fileSaved);
    m_controller->requestSave(fileName);
    QCOMPARE(saved.count(), 1);
    QCOMPARE(reported.count(), 1);
    const QStringList warnings = m_controller->fileWarnings();
    QCOMPARE(warnings.size(), 1);
    QVERIFY2(warnings.first().contains(QStringLiteral("\"Elements/%1/Text\"").arg(box)), qPrintable(warnings.first()));
    QVERIFY(fileBytes(fileName).contains("bell \xef\xbf\xbd here"));
}

QTEST_MAIN(TestQmdVelkaFile)
#include "tst_qmdvelkafile.moc"
