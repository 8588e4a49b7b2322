#include "filesdocument.h"
#include "outputportnames.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"
#include "qmdvelkaexporter.h"
#include "qmdvelkaimporter.h"

#include <QBuffer>
#include <QDomDocument>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>
#include <memory>

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
    QTest::newRow("type 0") << int(ElementValue) << "Type" << QVariant(0) << "string:";
    QTest::newRow("type 5") << int(ElementValue) << "Type" << QVariant(5) << "string:";
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

    const auto withoutTemp = [](QmdModel *model, bool asWritten) {
        QString text = FilesDocument::dump(model, QmdIndex(), asWritten);
        const qsizetype temp = text.indexOf("\nTemp [StrDict]\n");
        const qsizetype next = text.indexOf(QRegularExpression("\n\\S"), temp + 1);
        return temp < 0 ? text : text.left(temp) + text.mid(next);
    };
    const QString expected = withoutTemp(m_model.get(), true);
    QVERIFY(expected.contains("Elements [IntDict]"));
    QCOMPARE(withoutTemp(&loadedModel, false), expected);
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

QTEST_MAIN(TestQmdVelkaFile)
#include "tst_qmdvelkafile.moc"
