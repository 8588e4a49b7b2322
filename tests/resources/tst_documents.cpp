#include "abstractsync.h"
#include "engineplayerfactory.h"
#include "memorymidibackend.h"
#include "midioutput.h"
#include "outputportnames.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"

#include <QBitArray>
#include <QDir>
#include <QtTest>

#include <memory>

// The template and the example documents that the build places beside the
// program: they load without complaint, and every example plays on every one
// of its instruments.
namespace {

const QDir ProgramFolder(QStringLiteral(VELKA_PROGRAM_DIR));
const QString Port = QStringLiteral("Synth");

// Collects what Qt reports while it is alive.
class MessageRecorder
{
public:
    MessageRecorder() { s_messages.clear(); m_previous = qInstallMessageHandler(record); }
    ~MessageRecorder() { qInstallMessageHandler(m_previous); }
    QStringList messages() const { return s_messages; }

private:
    static void record(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        if (type != QtDebugMsg && type != QtInfoMsg)
            s_messages << message;
    }
    static QStringList s_messages;
    QtMessageHandler m_previous = nullptr;
};
QStringList MessageRecorder::s_messages;

QStringList exampleFiles()
{
    QStringList files;
    const QDir examples(ProgramFolder.filePath(QStringLiteral("Examples")));
    for (const QString &name : examples.entryList({QStringLiteral("*.vlk")}, QDir::Files, QDir::Name))
        files << examples.filePath(name);
    return files;
}

int elementsOfType(const QmdVelkaController &controller, int type)
{
    int count = 0;
    for (QmdItemId id : controller.elementIds())
        count += controller.elementType(id) == type;
    return count;
}

} // namespace

class TestDocuments : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void templateDocument();
    void examples_data();
    void examples();
    void examplesPlayOnEveryInstrument_data();
    void examplesPlayOnEveryInstrument();

private:
    // Loads the file into a new document; the load's messages go to *messages.
    void load(const QString &fileName, QStringList *messages);

    EnginePlayerFactory m_factory;
    std::unique_ptr<MemoryMidiBackend> m_midi;
    std::unique_ptr<QmdMemModel> m_model;
    std::unique_ptr<QmdVelkaController> m_controller;
};

void TestDocuments::initTestCase()
{
    m_midi = std::make_unique<MemoryMidiBackend>();
    m_midi->install();
    m_midi->addPort(MidiDirection::Output, Port);
    OutputPortNames::setSource([] { return MidiOutput::availablePortNames(); });
    QmdVelkaController::setPlayerFactory(&m_factory);
}

void TestDocuments::cleanupTestCase()
{
    m_controller.reset();
    m_model.reset();
    QmdVelkaController::setPlayerFactory(nullptr);
    OutputPortNames::setSource({});
    m_midi.reset();
}

void TestDocuments::load(const QString &fileName, QStringList *messages)
{
    m_controller.reset();
    m_model = std::make_unique<QmdMemModel>();
    m_controller = std::make_unique<QmdVelkaController>();
    MessageRecorder recorder;
    m_controller->setModel(m_model.get());
    QSignalSpy loaded(m_controller.get(), &QmdDocController::fileLoaded);
    QSignalSpy failed(m_controller.get(), &QmdDocController::fileLoadError);
    QSignalSpy reset(m_controller.get(), &QmdController::modelReset);
    m_controller->requestLoad(fileName);
    // The document is ready once the controller has followed the load: its
    // clock and players are made anew then, and the clock once more when the
    // loaded keys are announced.
    QTRY_VERIFY(!failed.isEmpty() || (!loaded.isEmpty() && !reset.isEmpty()));
    QCOMPARE(failed.size(), 0);
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    *messages = recorder.messages();
}

void TestDocuments::templateDocument()
{
    const QString fileName = ProgramFolder.filePath(QStringLiteral("template.vlk"));
    QVERIFY2(QFileInfo::exists(fileName), qPrintable(fileName));
    QStringList messages;
    load(fileName, &messages);
    QCOMPARE(messages, QStringList());

    // One instrument on channel 1 of the default port, and nothing else.
    QCOMPARE(m_controller->elementIds(), QmdItemIdList());
    const QmdItemIdList instruments = m_controller->instrumentIds();
    QCOMPARE(instruments.size(), 1);
    QBitArray channel1(16);
    channel1.setBit(0);
    QCOMPARE(m_controller->instrumentData(instruments.first(), QStringLiteral("MidiChannels")).toBitArray(),
             channel1);
    QTRY_COMPARE(m_controller->instrumentData(instruments.first(), QStringLiteral("MidiPort")).toString(), Port);
}

void TestDocuments::examples_data()
{
    QTest::addColumn<QString>("fileName");
    const QStringList files = exampleFiles();
    QVERIFY2(files.size() >= 5, qPrintable(QStringLiteral("%1 examples").arg(files.size())));
    for (const QString &file : files)
        QTest::newRow(qPrintable(QFileInfo(file).baseName())) << file;
}

void TestDocuments::examples()
{
    QFETCH(QString, fileName);
    QStringList messages;
    load(fileName, &messages);
    QCOMPARE(messages, QStringList());

    // Each example says what it shows, and has something to play.
    QCOMPARE(elementsOfType(*m_controller, QmdVelka::TextBox), 1);
    for (QmdItemId id : m_controller->elementIds()) {
        if (m_controller->elementType(id) == QmdVelka::TextBox)
            QVERIFY(m_controller->elementData(id, QStringLiteral("Text")).toString().size() > 100);
    }
    QVERIFY(elementsOfType(*m_controller, QmdVelka::VoiceGroup) > 0);
    QVERIFY(!m_controller->instrumentIds().isEmpty());
}

void TestDocuments::examplesPlayOnEveryInstrument_data()
{
    examples_data();
}

void TestDocuments::examplesPlayOnEveryInstrument()
{
    QFETCH(QString, fileName);
    QStringList messages;
    load(fileName, &messages);

    // The channel each instrument plays on (the examples give each its own).
    QHash<int, QString> channels;
    for (QmdItemId instrument : m_controller->instrumentIds()) {
        const QBitArray bits = m_controller->instrumentData(instrument, QStringLiteral("MidiChannels")).toBitArray();
        QCOMPARE(bits.count(true), 1);
        for (int channel = 0; channel < bits.size(); ++channel) {
            if (bits.testBit(channel))
                channels.insert(channel, m_controller->instrumentData(instrument, QStringLiteral("Label")).toString());
        }
    }
    QCOMPARE(channels.size(), m_controller->instrumentIds().size());

    // Four times as fast: the test listens for a round of each example, not its tempo.
    const uint tempo = m_controller->data(QStringLiteral("Tempo")).toUInt();
    m_controller->requestSetData(QStringLiteral("Tempo"), qMin(4 * tempo, 999u));
    QTRY_COMPARE(m_controller->sync()->tempo(), qMin(4 * tempo, 999u));
    m_midi->clearSent();
    m_controller->requestPlay();

    // Playing on: several notes, and a note on every instrument (the third
    // instrument of one example only sounds half way round its loop).
    QSet<int> heard;
    int notes = 0;
    QDeadlineTimer deadline(10000);
    while ((heard.size() < channels.size() || notes < 6) && !deadline.hasExpired()) {
        QTest::qWait(20);
        heard.clear();
        notes = 0;
        for (const std::vector<unsigned char> &message : m_midi->sentTo(Port)) {
            if (message.size() == 3 && (message[0] & 0xf0) == 0x90 && message[2] > 0) {
                heard.insert(message[0] & 0x0f);
                ++notes;
            }
        }
    }
    m_controller->requestPause();
    QVERIFY2(notes >= 6, qPrintable(QStringLiteral("%1 notes").arg(notes)));
    for (auto it = channels.cbegin(); it != channels.cend(); ++it)
        QVERIFY2(heard.contains(it.key()), qPrintable(it.value() + " played no note"));
}

QTEST_MAIN(TestDocuments)
#include "tst_documents.moc"
