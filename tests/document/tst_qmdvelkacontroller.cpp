#include "controllertest.h"
#include "outputportnames.h"
#include "palette.h"
#include "playback.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"
#include "recordinginstrument.h"
#include "registeringcontroller.h"

#include <QtTest>

#include <atomic>
#include <limits>
#include <memory>
#include <thread>

using ControllerTest::dump;
using ControllerTest::newId;
using QmdVelka::TickPos;

namespace {

constexpr qint64 P = 665280;

} // namespace

class TestQmdVelkaController : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void newDocumentHoldsDefaults();
    void resetKeepsDocumentValues();
    void resetWithoutModel();
    void upgradesArcUsages();
    void upgradesVoiceGroupInstruments_data();
    void upgradesVoiceGroupInstruments();

    void addNode_data();
    void addNode();
    void addEdgeNumbersArcs();
    void addEdgeReusesArcNumberGaps();
    void addEdgeWithoutFromNode_data();
    void addEdgeWithoutFromNode();
    void addVoiceGroupAndTextBox();
    void addInstrumentChoosesFreeValues();
    void addInstrumentWhenAllTaken();

    void readersOfMissingEntries();
    void edgeLength_data();
    void edgeLength();
    void queueInstrumentEvents();
    void stylePresets();
    void readersWhileRequestsRun();

private:
    QmdIndex addNode(const TickPos &pos);
    QmdItemId addEdge(const QmdIndex &from, const QmdIndex &to, QmdVelka::EdgePath path = QmdVelka::CityBlock);
    QmdItemId addInstrument();
    QmdIndex addElementByHand(const QHash<QString, QVariant> &data);

    std::unique_ptr<QmdMemModel> m_model;
    std::unique_ptr<RegisteringController> m_controller;
};

void TestQmdVelkaController::initTestCase()
{
    OutputPortNames::setSource([] { return QSet<QString>{"Out 10", "Out 2"}; });
}

void TestQmdVelkaController::init()
{
    m_model = std::make_unique<QmdMemModel>();
    m_controller = std::make_unique<RegisteringController>();
    m_controller->setModel(m_model.get());
}

void TestQmdVelkaController::cleanup()
{
    m_controller.reset();
    m_model.reset();
}

QmdIndex TestQmdVelkaController::addNode(const TickPos &pos)
{
    const QmdItemIdList before = m_controller->elementIds();
    m_controller->requestAddNode(pos);
    return m_controller->elementIndex(newId(before, m_controller->elementIds()));
}

QmdItemId TestQmdVelkaController::addEdge(const QmdIndex &from, const QmdIndex &to, QmdVelka::EdgePath path)
{
    const QmdItemIdList before = m_controller->elementIds();
    m_controller->requestAddEdge(from, to, path);
    return newId(before, m_controller->elementIds());
}

QmdItemId TestQmdVelkaController::addInstrument()
{
    const QmdItemIdList before = m_controller->instrumentIds();
    m_controller->requestAddInstrument();
    return newId(before, m_controller->instrumentIds());
}

// An element as an older program or another tool may have written it.
QmdIndex TestQmdVelkaController::addElementByHand(const QHash<QString, QVariant> &data)
{
    const QmdIndex elements = m_controller->index("Elements");
    const QmdItemIdList before = m_controller->elementIds();
    m_controller->requestAddType(Qmd::StrDict, elements);
    const QmdIndex element = m_controller->index(newId(before, m_controller->elementIds()), elements);
    m_controller->requestSetData(data, element);
    return element;
}

void TestQmdVelkaController::newDocumentHoldsDefaults()
{
    QmdVelkaController &c = *m_controller;
    const QStringList colourKeys{"StyleAnnotationColor", "StyleBackgroundColor", "StyleDivisionLinesColor",
                                 "StyleDivisionPointsColor", "StyleEdgesColor", "StyleNodesColor",
                                 "StylePrincipalLinesColor", "StylePrincipalPointsColor"};
    QStringList expectedKeys{"DivsPerPrincipal", "Elements", "Instruments", "PrincipalsToBeatsDenominator",
                             "PrincipalsToBeatsNumerator", "ShowGrid", "ShowNodeCounters", "SnapToGrid",
                             "SyncMidiInputs", "SyncMidiOutputs", "SyncType", "Temp", "Tempo", "Tool",
                             "ZoomScale"};
    expectedKeys += colourKeys;
    expectedKeys.sort();
    QCOMPARE(c.keys(), expectedKeys);

    QCOMPARE(c.data("Tempo"), QVariant(120u));
    QCOMPARE(c.data("PrincipalsToBeatsNumerator"), QVariant(1u));
    QCOMPARE(c.data("PrincipalsToBeatsDenominator"), QVariant(1u));
    QCOMPARE(c.data("DivsPerPrincipal"), QVariant(4u));
    QCOMPARE(c.data("ShowGrid"), QVariant(true));
    QCOMPARE(c.data("SnapToGrid"), QVariant(true));
    QCOMPARE(c.data("ShowNodeCounters"), QVariant(false));
    QCOMPARE(c.data("ZoomScale"), QVariant(1.0));
    QCOMPARE(c.data("SyncType"), QVariant("internal"));
    QCOMPARE(c.data("Tool"), QVariant(2));
    QCOMPARE(c.data("StyleBackgroundColor").value<QColor>(), QColor(39, 39, 47));
    QCOMPARE(c.data("StyleAnnotationColor").value<QColor>(), QColor(255, 255, 255, 128));
    QCOMPARE(c.data("StyleDivisionLinesColor").value<QColor>(), QColor(Qt::transparent));

    QCOMPARE(c.type(c.index("Elements")), Qmd::IntDict);
    QCOMPARE(c.type(c.instrumentsIndex()), Qmd::IntDict);
    QCOMPARE(c.type(c.syncMidiInputsIndex()), Qmd::StrDict);
    QCOMPARE(c.type(c.syncMidiOutputsIndex()), Qmd::StrDict);
    QCOMPARE(c.type(c.tempIndex()), Qmd::StrDict);
    QCOMPARE(c.keys(c.tempIndex()), QStringList{"ElementStates"});
    QCOMPARE(c.type(c.elementStatesIndex()), Qmd::IntDict);
    QVERIFY(!c.canUndo());
    QCOMPARE(QmdVelkaController::stylePresetNames(), (QStringList{"Dark", "Light"}));
}

void TestQmdVelkaController::resetKeepsDocumentValues()
{
    QmdVelkaController &c = *m_controller;
    const QmdIndex node = addNode(TickPos(0, 0));
    const QmdItemId edge = addEdge(node, node);
    c.requestAddTextBox(TickPos(P, P));
    c.requestAddVoiceGroup(node);
    c.requestSetData({{"Tempo", 90u}, {"Tool", 4}, {"StyleNodesColor", QColor(1, 2, 3)}});
    c.requestRemove(QStringList{"StyleEdgesColor", "ShowGrid"});
    c.requestSetData("Junk", 7, c.tempIndex());
    c.requestSetData("HitCount", 12, c.elementStateIndex(node.id()));
    const int steps = m_model->undoRedoCount();
    const QString undoText = c.undoText();

    c.reset();

    QCOMPARE(c.data("Tempo"), QVariant(90u));
    QCOMPARE(c.data("Tool"), QVariant(2));
    QCOMPARE(c.data("StyleNodesColor").value<QColor>(), QColor(1, 2, 3));
    QCOMPARE(c.data("StyleEdgesColor").value<QColor>(), QColor(113, 117, 137));
    QCOMPARE(c.data("ShowGrid"), QVariant(true));
    QCOMPARE(c.keys(c.tempIndex()), QStringList{"ElementStates"});
    // States for nodes and edges only, all counters back at 0.
    QCOMPARE(c.ids(c.elementStatesIndex()), (QmdItemIdList{node.id(), edge}));
    QCOMPARE(c.data("HitCount", c.elementStateIndex(node.id())), QVariant(0));
    QCOMPARE(c.keys(c.elementStateIndex(node.id())),
             (QStringList{"CurrentDurationId", "CurrentEdgeUsageId", "CurrentEdgeUsageUses", "CurrentPitchId",
                          "CurrentUserMidiMessageId", "CurrentVelocityId", "HitCount"}));
    QCOMPARE(c.keys(c.elementStateIndex(edge)), QStringList{"CurrentScaleId"});
    // The reset is not an undo step.
    QCOMPARE(m_model->undoRedoCount(), steps);
    QCOMPARE(c.undoText(), undoText);
}

void TestQmdVelkaController::resetWithoutModel()
{
    QSignalSpy resets(m_controller.get(), &QmdController::modelReset);
    m_controller->setModel(nullptr);
    QCOMPARE(resets.count(), 1);
    QVERIFY(m_controller->elementIds().isEmpty());
    QVERIFY(!m_controller->instrumentsIndex().isValid());
}

void TestQmdVelkaController::upgradesArcUsages()
{
    QmdVelkaController &c = *m_controller;
    const QmdIndex node = addElementByHand({{"Type", 2}});
    const QmdIndex emptyNode = addElementByHand({{"Type", 2}});
    const QmdIndex textBox = addElementByHand({{"Type", 3}});
    for (const QmdIndex &element : {node, emptyNode, textBox})
        c.requestSetType("OrderedArcUsages", Qmd::IntDict, element);
    const QmdIndex usages = c.index("OrderedArcUsages", node);
    c.requestAddTypes({Qmd::StrDict, Qmd::StrDict}, usages);
    const QmdItemIdList usageIds = c.ids(usages);
    QCOMPARE(usageIds.size(), 2);
    c.requestSetData({{"Arc", 3u}, {"UsageRule", 1}}, c.index(usageIds.at(0), usages));
    c.requestSetData({{"Arc", 5u}, {"UsageRule", 2}}, c.index(usageIds.at(1), usages));

    c.reset();

    QCOMPARE(c.data("ArcUsageList", node), QVariant("3=1,5=2"));
    QVERIFY(!c.index("OrderedArcUsages", node).isValid());
    QCOMPARE(c.data("ArcUsageList", emptyNode), QVariant(""));
    // Only nodes are upgraded.
    QVERIFY(c.index("OrderedArcUsages", textBox).isValid());

    const QString once = dump(c);
    c.reset();
    QCOMPARE(dump(c), once);
}

void TestQmdVelkaController::upgradesVoiceGroupInstruments_data()
{
    QTest::addColumn<int>("identifier");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QColor>("color");
    QTest::newRow("palette colour") << 2 << "Instrument 3" << QColor(0, 128, 255);
    QTest::newRow("first") << 0 << "Instrument 1" << QColor(255, 128, 0);
    QTest::newRow("outside the palette") << 9 << "Instrument 10" << QColor(Qt::black);
}

void TestQmdVelkaController::upgradesVoiceGroupInstruments()
{
    QFETCH(int, identifier);
    QFETCH(QString, label);
    QFETCH(QColor, color);
    QmdVelkaController &c = *m_controller;
    QBitArray channels(16);
    channels.setBit(3);
    const QHash<QString, QVariant> old{{"Type", 4}, {"Identifier", identifier}, {"OutputType", "midi"},
                                       {"MidiPort", "Out 7"}, {"MidiChannels", channels},
                                       {"MidiProgram", 12}, {"MidiBankMSB", 1}, {"MidiBankLSB", 2}};
    const QmdIndex group = addElementByHand(old);
    const QmdIndex twin = addElementByHand(old);

    c.reset();

    const QmdItemIdList instruments = c.instrumentIds();
    QCOMPARE(instruments.size(), 2);
    const QmdItemId id = c.data("InitialInstrument", group).toUInt();
    QVERIFY(instruments.contains(id));
    QVERIFY(id != c.data("InitialInstrument", twin).toUInt());
    QCOMPARE(c.instrumentData(id, "Label"), QVariant(label));
    QCOMPARE(c.instrumentData(id, "Color").value<QColor>(), color);
    QCOMPARE(c.instrumentData(id, "Type"), QVariant("midi"));
    QCOMPARE(c.instrumentData(id, "MidiPort"), QVariant("Out 7"));
    QCOMPARE(c.instrumentData(id, "MidiChannels").toBitArray(), channels);
    QCOMPARE(c.instrumentData(id, "MidiProgram"), QVariant(12));
    QCOMPARE(c.instrumentData(id, "MidiBankLSB"), QVariant(2));
    // A key the old group lacked stays absent.
    QVERIFY(!c.index("MidiDoProgramChange", c.instrumentIndex(id)).isValid());
    QCOMPARE(c.keys(group), (QStringList{"InitialInstrument", "Type"}));

    const QString once = dump(c);
    c.reset();
    QCOMPARE(dump(c), once);
}

void TestQmdVelkaController::addNode_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<bool>("hidden");
    QTest::newRow("visible") << 0 << false;
    QTest::newRow("hidden") << int(QmdVelka::CreateHidden) << true;
}

void TestQmdVelkaController::addNode()
{
    QFETCH(int, flags);
    QFETCH(bool, hidden);
    QmdVelkaController &c = *m_controller;
    const QmdItemIdList before = c.elementIds();
    QSignalSpy added(&c, &QmdElementDocController::elementsAdded);
    const QmdRequestId rid = c.requestAddNode(TickPos(-P, 2 * P), QmdVelka::CreationFlags(flags));
    const QmdItemId node = newId(before, c.elementIds());
    QVERIFY(node != 0);

    QCOMPARE(c.elementType(node), int(QmdVelka::Node));
    QCOMPARE(c.elementData(node, "TickPos").value<TickPos>(), TickPos(-P, 2 * P));
    QCOMPARE(c.elementData(node, "PitchList"), QVariant("C3"));
    QCOMPARE(c.elementData(node, "VelocityList"), QVariant("64"));
    QCOMPARE(c.elementData(node, "DurationList"), QVariant("100%"));
    QCOMPARE(c.elementData(node, "SignallingMethod"), QVariant(0));
    QCOMPARE(c.type(c.index("ArcIdentifiers", c.elementIndex(node))), Qmd::IntDict);
    QCOMPARE(c.index("IsHidden", c.elementIndex(node)).isValid(), hidden);
    if (hidden)
        QCOMPARE(c.elementData(node, "IsHidden"), QVariant(true));
    QCOMPARE(c.undoText(), QString("Node"));
    QTRY_COMPARE(added.count(), 1);
    QCOMPARE(added.at(0).at(1).value<QmdRequestId>(), rid);

    c.requestUndo();
    QCOMPARE(c.elementIds(), before);
    QVERIFY(!c.canUndo());
}

void TestQmdVelkaController::addEdgeNumbersArcs()
{
    QmdVelkaController &c = *m_controller;
    const QmdIndex from = addNode(TickPos(0, 0));
    const QmdIndex to = addNode(TickPos(P, 0));
    const QmdIndex fromArcs = c.index("ArcIdentifiers", from);
    const int steps = m_model->undoRedoCount();

    const QmdItemId first = addEdge(from, to, QmdVelka::Direct);
    QCOMPARE(c.elementType(first), int(QmdVelka::Edge));
    QCOMPARE(c.elementData(first, "FromNode"), QVariant(from.id()));
    QCOMPARE(c.elementData(first, "ToNode"), QVariant(to.id()));
    QCOMPARE(c.elementData(first, "Path"), QVariant(int(QmdVelka::Direct)));
    QCOMPARE(c.arcIdentifier(from.id(), first), 0);
    QCOMPARE(c.data("ArcUsageList", from), QVariant(QString("%1=1").arg(first)));
    // Edge, arc number and usage entry are one undo step.
    QCOMPARE(m_model->undoRedoCount(), steps + 1);
    QCOMPARE(c.undoText(), QString("Edge"));

    const QmdItemId second = addEdge(from, from);
    QCOMPARE(c.arcIdentifier(from.id(), second), 1);
    QCOMPARE(c.data("ArcUsageList", from), QVariant(QString("%1=1,%2=1").arg(first).arg(second)));
    QVERIFY(!c.index("ArcUsageList", to).isValid());

    c.requestUndo();
    c.requestUndo();
    QCOMPARE(c.elementIds(), (QmdItemIdList{from.id(), to.id()}));
    QVERIFY(c.ids(fromArcs).isEmpty());
    QVERIFY(!c.index("ArcUsageList", from).isValid());
    QCOMPARE(m_model->undoRedoCount(), steps + 2);
}

void TestQmdVelkaController::addEdgeReusesArcNumberGaps()
{
    QmdVelkaController &c = *m_controller;
    const QmdIndex from = addNode(TickPos(0, 0));
    c.requestSetData(QHash<QmdItemId, QVariant>{{901, 0}, {902, 2}}, c.index("ArcIdentifiers", from));
    const QmdItemId edge = addEdge(from, QmdIndex());
    QCOMPARE(c.arcIdentifier(from.id(), edge), 1);
}

void TestQmdVelkaController::addEdgeWithoutFromNode_data()
{
    QTest::addColumn<QString>("fromNode");
    QTest::newRow("none") << "none";
    QTest::newRow("removed node") << "removed";
    QTest::newRow("not an element") << "instrument";
}

void TestQmdVelkaController::addEdgeWithoutFromNode()
{
    QFETCH(QString, fromNode);
    QmdVelkaController &c = *m_controller;
    QmdIndex from;
    if (fromNode == "removed") {
        from = addNode(TickPos(0, 0));
        c.requestRemove(from.id(), c.index("Elements"));
    } else if (fromNode == "instrument") {
        from = c.instrumentIndex(addInstrument());
    }
    const QmdIndex to = addNode(TickPos(P, 0));
    const QString before = dump(c);
    const QmdItemId edge = addEdge(from, to);
    QVERIFY(edge != 0);
    QVERIFY(!c.index("FromNode", c.elementIndex(edge)).isValid());
    QCOMPARE(c.elementData(edge, "ToNode"), QVariant(to.id()));
    QCOMPARE(c.undoText(), QString("Edge"));
    QVERIFY(!c.index("ArcUsageList", from).isValid());
    // Only the edge was added: nothing landed in the root, an element or a record.
    c.requestUndo();
    QCOMPARE(dump(c), before);
}

void TestQmdVelkaController::addVoiceGroupAndTextBox()
{
    QmdVelkaController &c = *m_controller;
    const QmdIndex node = addNode(TickPos(0, 0));
    QmdItemIdList before = c.elementIds();
    c.requestAddVoiceGroup(node);
    const QmdItemId lonely = newId(before, c.elementIds());
    QCOMPARE(c.elementType(lonely), int(QmdVelka::VoiceGroup));
    QCOMPARE(c.elementData(lonely, "InitialInstrument"), QVariant(0u));
    QCOMPARE(c.elementData(lonely, "ToNode"), QVariant(node.id()));
    QCOMPARE(c.elementData(lonely, "InitialPitch"), QVariant("C3"));
    QCOMPARE(c.elementData(lonely, "InitialVelocity"), QVariant("64"));
    QCOMPARE(c.elementData(lonely, "InitialDuration"), QVariant("1.0"));
    QCOMPARE(c.undoText(), QString("Voice Group"));

    const QmdItemId first = addInstrument();
    addInstrument();
    before = c.elementIds();
    c.requestAddVoiceGroup(node);
    QCOMPARE(c.elementData(newId(before, c.elementIds()), "InitialInstrument"), QVariant(first));

    before = c.elementIds();
    c.requestAddTextBox(TickPos(3, 4));
    const QmdItemId textBox = newId(before, c.elementIds());
    QCOMPARE(c.elementType(textBox), int(QmdVelka::TextBox));
    QCOMPARE(c.elementData(textBox, "Text"), QVariant("<html><body>Text</body></html>"));
    QCOMPARE(c.elementData(textBox, "TickPos").value<TickPos>(), TickPos(3, 4));
    QCOMPARE(c.undoText(), QString("Text Box"));
}

void TestQmdVelkaController::addInstrumentChoosesFreeValues()
{
    QmdVelkaController &c = *m_controller;
    QBitArray low(3); // a record may hold fewer than 16 channel bits
    low.setBit(0);
    low.setBit(2);
    c.requestAddInstrument("Instrument", paletteColor(0), low);
    c.requestAddInstrument("Instrument 3", paletteColor(2), QBitArray(16));

    const QmdItemId id = addInstrument();
    QCOMPARE(c.instrumentData(id, "Label"), QVariant("Instrument 2"));
    QCOMPARE(c.instrumentData(id, "Color").value<QColor>(), paletteColor(1));
    QBitArray expected(16);
    expected.setBit(1);
    QCOMPARE(c.instrumentData(id, "MidiChannels").toBitArray(), expected);
    QCOMPARE(c.instrumentData(id, "MidiPort"), QVariant("Out 2"));
    QCOMPARE(c.instrumentData(id, "Type"), QVariant("midi"));
    QCOMPARE(c.instrumentData(id, "MidiDoProgramChange"), QVariant(false));
    QCOMPARE(c.instrumentData(id, "MidiProgram"), QVariant(1));
    QCOMPARE(c.instrumentData(id, "MidiBankMSB"), QVariant(0));
    QCOMPARE(c.instrumentData(id, "MidiBankLSB"), QVariant(0));
    QCOMPARE(c.undoText(), QString("Instrument"));
    QVERIFY(c.isInstrumentIndex(c.instrumentIndex(id)));
    QVERIFY(!c.isInstrumentIndex(c.index("Label", c.instrumentIndex(id))));

    c.requestUndo();
    QVERIFY(!c.instrumentIds().contains(id));
}

void TestQmdVelkaController::addInstrumentWhenAllTaken()
{
    QmdVelkaController &c = *m_controller;
    QBitArray all(16, true);
    for (int i = 0; i < 8; ++i)
        c.requestAddInstrument(QString("Synth %1").arg(i), paletteColor(i), all);
    OutputPortNames::setSource({});
    const QmdItemId id = addInstrument();
    OutputPortNames::setSource([] { return QSet<QString>{"Out 10", "Out 2"}; });
    QCOMPARE(c.instrumentData(id, "Label"), QVariant("Instrument"));
    QVERIFY(!c.instrumentData(id, "Color").value<QColor>().isValid());
    QCOMPARE(c.instrumentData(id, "MidiChannels").toBitArray(), QBitArray(16));
    QCOMPARE(c.instrumentData(id, "MidiPort"), QVariant(""));
}

void TestQmdVelkaController::readersOfMissingEntries()
{
    QmdVelkaController &c = *m_controller;
    const QmdIndex node = addNode(TickPos(0, 0));
    c.reset(); // gives the node its state
    const QmdItemId missing = node.id() + 100;
    // An id that names nothing reads nothing, and never the root's keys.
    QVERIFY(!c.elementIndex(missing).isValid());
    QVERIFY(!c.elementIndex(0).isValid());
    QVERIFY(!c.elementData(missing, "Tempo").isValid());
    QCOMPARE(c.elementType(missing), 0);
    QVERIFY(!c.referencedElementIndex(node.id(), "FromNode").isValid());
    QVERIFY(!c.instrumentIndex(missing).isValid());
    QVERIFY(!c.instrumentData(missing, "Tempo").isValid());
    QVERIFY(!c.elementStateIndex(missing).isValid());
    QVERIFY(c.elementStateIndex(node.id()).isValid());
    QCOMPARE(c.arcIdentifier(missing, node.id()), 0);
    QVERIFY(!c.isInstrumentIndex(QmdIndex()));

    // Writers given such an id change nothing.
    const QString before = dump(c);
    c.lockForRequest();
    c.setElementData(missing, "Tempo", 1);
    c.createElementState(missing);
    c.resetElementState(c.elementStateIndex(missing));
    c.unlockForRequest();
    QCOMPARE(dump(c), before);
}

void TestQmdVelkaController::edgeLength_data()
{
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    QTest::addColumn<TickPos>("from");
    QTest::addColumn<TickPos>("to");
    QTest::addColumn<int>("path");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<bool>("ok");
    QTest::newRow("city block") << TickPos(0, 0) << TickPos(P, -P) << 0 << 2 * P << true;
    QTest::newRow("direct") << TickPos(0, 0) << TickPos(P, -P) << 2 << qint64(940848) << true;
    QTest::newRow("unknown path") << TickPos(0, 0) << TickPos(P, -P) << 3 << qint64(0) << true;
    QTest::newRow("same place") << TickPos(5, 5) << TickPos(5, 5) << 1 << qint64(0) << true;
    QTest::newRow("far apart") << TickPos(std::numeric_limits<qint64>::min(), 0) << TickPos(max, 0) << 0 << max
                               << false;
}

void TestQmdVelkaController::edgeLength()
{
    QFETCH(TickPos, from);
    QFETCH(TickPos, to);
    QFETCH(int, path);
    QFETCH(qint64, length);
    QFETCH(bool, ok);
    QmdVelkaController &c = *m_controller;
    const QmdIndex a = addNode(from);
    const QmdIndex b = addNode(to);
    const QmdItemId edge = addEdge(a, b, QmdVelka::EdgePath(path));
    bool gotOk = !ok;
    QCOMPARE(c.edgeLength(edge, &gotOk), length);
    QCOMPARE(gotOk, ok);
    QCOMPARE(c.edgeLengthBetween(b, a, path), length);

    // A missing edge or a missing end gives 0 and not ok.
    QCOMPARE(c.edgeLength(edge + 100, &gotOk), qint64(0));
    QVERIFY(!gotOk);
    const QmdItemId dangling = addEdge(QmdIndex(), b);
    QCOMPARE(c.edgeLength(dangling, &gotOk), qint64(0));
    QVERIFY(!gotOk);
    c.requestRemove(b.id(), c.index("Elements"));
    QCOMPARE(c.edgeLength(edge, &gotOk), qint64(0));
    QVERIFY(!gotOk);
}

void TestQmdVelkaController::queueInstrumentEvents()
{
    using Routing = Playback::Routing;
    RegisteringController &c = *m_controller;
    Playback &playback = *c.playback();
    const QmdItemId instrument = addInstrument();
    auto *player = new RecordingInstrument(3); // owned by the playback
    c.registerInstrumentThreads({{instrument, player}});
    QCOMPARE(c.instrumentThreads().value(instrument), player);

    QCOMPARE(playback.route(0, InstrumentEvent::noteOn(0, 60, 100)), Routing::NoInstrument);
    QCOMPARE(playback.route(instrument + 1, InstrumentEvent::noteOn(0, 60, 100)), Routing::NoInstrument);
    QCOMPARE(playback.route(instrument, InstrumentEvent::noteOn(10, 60, 100)), Routing::Queued);
    QCOMPARE(playback.route(instrument, InstrumentEvent::noteOn(20, 62, 100)), Routing::Queued);
    // One place left: a pair does not fit and neither record is queued.
    QCOMPARE(playback.routePair(instrument, InstrumentEvent::noteOn(30, 64, 90), InstrumentEvent::noteOff(40, 64, 0)),
             Routing::QueueFull);
    QCOMPARE(player->eventQueue().size(), 2);
    QCOMPARE(playback.route(instrument, InstrumentEvent::noteOff(30, 60, 0)), Routing::Queued);
    QCOMPARE(playback.route(instrument, InstrumentEvent::noteOff(40, 62, 0)), Routing::QueueFull);
    QCOMPARE(player->eventQueue().size(), 3);
    QCOMPARE(playback.routePair(instrument + 1, InstrumentEvent::noteOn(50, 64, 90),
                                InstrumentEvent::noteOff(60, 64, 0)),
             Routing::NoInstrument);
}

void TestQmdVelkaController::stylePresets()
{
    QmdVelkaController &c = *m_controller;
    const QStringList colourKeys = c.keys().filter(QRegularExpression("^Style.*Color$"));
    QCOMPARE(colourKeys.size(), 8);
    QHash<QString, QVariant> dark;
    for (const QString &key : colourKeys)
        dark.insert(key, c.data(key));
    const int steps = m_model->undoRedoCount();

    QCOMPARE(c.requestLoadStylePreset("Sepia"), QmdRequestId(0));
    QCOMPARE(m_model->undoRedoCount(), steps);

    QVERIFY(c.requestLoadStylePreset("Light") != 0);
    QCOMPARE(c.undoText(), QString("Color Preset: Light"));
    QCOMPARE(c.data("StyleBackgroundColor").value<QColor>(), QColor(Qt::white));
    QCOMPARE(c.data("StyleAnnotationColor").value<QColor>(), QColor(Qt::black));
    QCOMPARE(c.data("StyleNodesColor").value<QColor>(), QColor(44, 101, 169));
    QCOMPARE(m_model->undoRedoCount(), steps + 1);

    c.requestUndo();
    for (const QString &key : colourKeys)
        QCOMPARE(c.data(key), dark.value(key));
}

// Voice threads read through the controller while the GUI thread changes the document:
// every reader must hold the controller's lock for as long as it touches the model.
void TestQmdVelkaController::readersWhileRequestsRun()
{
    QmdVelkaController &c = *m_controller;
    const QmdIndex from = addNode(TickPos(0, 0));
    const QmdIndex to = addNode(TickPos(P, P));
    addEdge(from, to);
    std::atomic<bool> stop{false};
    std::atomic<int> badLengths{0};
    std::thread reader([&] {
        while (!stop) {
            for (QmdItemId id : c.elementIds()) {
                bool ok = false;
                const qint64 length = c.edgeLength(id, &ok);
                if (ok && length != 2 * P)
                    ++badLengths;
                c.elementData(id, "TickPos");
                c.arcIdentifier(from.id(), id);
                c.elementStateIndex(id);
            }
            for (QmdItemId id : c.instrumentIds())
                c.instrumentData(id, "MidiChannels");
        }
    });
    for (int round = 0; round < 100; ++round) {
        addEdge(from, to, round % 2 ? QmdVelka::CityBlock : QmdVelka::CityBlockFlipped);
        c.requestAddInstrument();
        c.requestAddNode(TickPos(round, round));
        if (round % 3 == 0) {
            c.requestUndo();
            c.requestUndo();
        }
        if (round % 10 == 0)
            c.reset();
    }
    stop = true;
    reader.join();
    QCOMPARE(badLengths.load(), 0);
}

QTEST_GUILESS_MAIN(TestQmdVelkaController)

#include "tst_qmdvelkacontroller.moc"
