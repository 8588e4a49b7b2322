#include "controllertest.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"

#include <QSignalSpy>
#include <QtTest>

#include <functional>
#include <memory>

// Element states, the clean-up that follows removed edges, nodes and
// instruments, and the playback requests of a document without players.
using ControllerTest::dump;
using ControllerTest::settle;
using QmdVelka::TickPos;

namespace {

constexpr qint64 P = 665280;

class Document
{
public:
    Document() { controller.setModel(&model); }

    QmdItemId added(const std::function<void()> &request)
    {
        const QmdItemIdList before = controller.elementIds();
        request();
        settle();
        for (QmdItemId id : controller.elementIds()) {
            if (!before.contains(id))
                return id;
        }
        return 0;
    }
    QmdItemId node(qint64 x, qint64 y)
    {
        return added([=] { controller.requestAddNode(TickPos(x, y)); });
    }
    QmdItemId edge(QmdItemId from, QmdItemId to)
    {
        return added([=] { controller.requestAddEdge(controller.elementIndex(from), controller.elementIndex(to)); });
    }
    QmdItemId voiceGroup(QmdItemId node)
    {
        return added([=] { controller.requestAddVoiceGroup(controller.elementIndex(node)); });
    }
    QmdItemId instrument()
    {
        const QmdItemIdList before = controller.instrumentIds();
        controller.requestAddInstrument();
        settle();
        for (QmdItemId id : controller.instrumentIds()) {
            if (!before.contains(id))
                return id;
        }
        return 0;
    }
    void set(QmdItemId element, const QString &key, const QVariant &value)
    {
        controller.requestSetData(key, value, controller.elementIndex(element));
        settle();
    }
    QVariant value(QmdItemId element, const QString &key) const { return controller.elementData(element, key); }
    QmdItemIdList arcs(QmdItemId node) const
    {
        const QmdIndex entry = controller.index(QStringLiteral("ArcIdentifiers"), controller.elementIndex(node));
        return entry.isValid() ? controller.ids(entry) : QmdItemIdList();
    }
    QmdItemIdList states() const { return controller.ids(controller.elementStatesIndex()); }
    QmdRequestId removeElement(QmdItemId element)
    {
        const QmdRequestId rid = controller.requestRemove(QmdItemIdList{element}, controller.index("Elements"));
        settle();
        return rid;
    }
    void undo()
    {
        controller.requestUndo();
        settle();
    }
    void redo()
    {
        controller.requestRedo();
        settle();
    }

    QmdMemModel model;
    QmdVelkaController controller;
};

} // namespace

class TestQmdVelkaElementStates : public QObject
{
    Q_OBJECT

private slots:
    void createUndoRedo_data();
    void createUndoRedo();
    void deletingNodeRemovesWhatDependsOnIt();
    void deletingEdgeCleansItsFromNode_data();
    void deletingEdgeCleansItsFromNode();
    void edgesOfAnOpenedDocumentAreCleanedUp();
    void undoDoesNotDependOnTheEventLoop_data();
    void undoDoesNotDependOnTheEventLoop();
    void deletingInstrumentClearsReferences();
    void gotoStartResetsStates();
    void viewSwitches_data();
    void viewSwitches();
    void playbackWithoutPlayers();
};

void TestQmdVelkaElementStates::createUndoRedo_data()
{
    QTest::addColumn<bool>("edge");
    QTest::addColumn<QString>("undoText");
    QTest::newRow("node") << false << "Node";
    QTest::newRow("edge") << true << "Edge";
}

void TestQmdVelkaElementStates::createUndoRedo()
{
    QFETCH(bool, edge);
    QFETCH(QString, undoText);
    Document doc;
    const QmdItemId a = doc.node(0, 0);
    const QmdItemId b = doc.node(P, 0);
    const int steps = doc.model.undoRedoCount();
    const QmdItemIdList states = doc.states();
    QCOMPARE(states, (QmdItemIdList{a, b}));

    const QmdItemId made = edge ? doc.edge(a, b) : doc.node(0, P);
    QVERIFY(made != 0);
    // The state joins the creation's undo step.
    QCOMPARE(doc.model.undoRedoCount(), steps + 1);
    QCOMPARE(doc.controller.undoText(), undoText);
    QCOMPARE(doc.states(), states + QmdItemIdList{made});

    doc.undo();
    QCOMPARE(doc.model.undoRedoCount(), steps + 1);
    QVERIFY(!doc.controller.elementIndex(made).isValid());
    QCOMPARE(doc.states(), states);

    // Redo brings back the recorded state: no second state, no further step.
    doc.redo();
    QCOMPARE(doc.model.undoRedoCount(), steps + 1);
    QVERIFY(!doc.controller.canRedo());
    QCOMPARE(doc.states(), states + QmdItemIdList{made});
    const QmdIndex state = doc.controller.elementStateIndex(made);
    QCOMPARE(doc.controller.data(edge ? "CurrentScaleId" : "HitCount", state), QVariant(0));

    doc.undo();
    QCOMPARE(doc.model.undoRedoCount(), steps + 1);
    QCOMPARE(doc.states(), states);
    QVERIFY(doc.controller.canRedo());
}

void TestQmdVelkaElementStates::deletingNodeRemovesWhatDependsOnIt()
{
    Document doc;
    const QmdItemId a = doc.node(0, 0);
    const QmdItemId b = doc.node(P, 0);
    const QmdItemId c = doc.node(P, P);
    const QmdItemId ab = doc.edge(a, b);
    const QmdItemId ba = doc.edge(b, a);
    const QmdItemId bc = doc.edge(b, c);
    const QmdItemId ca = doc.edge(c, a);
    const QmdItemId onA = doc.voiceGroup(a);
    const QmdItemId onB = doc.voiceGroup(b);
    const QString before = dump(doc.controller);
    const int steps = doc.model.undoRedoCount();

    QSignalSpy removed(&doc.controller, &QmdElementDocController::elementsRemoved);
    const QmdRequestId rid = doc.removeElement(a);

    QCOMPARE(doc.controller.elementIds(), (QmdItemIdList{b, c, bc, onB}));
    QCOMPARE(doc.states(), (QmdItemIdList{b, c, bc}));
    QCOMPARE(doc.arcs(b), (QmdItemIdList{bc}));
    QCOMPARE(doc.value(b, "ArcUsageList"), QVariant(QStringLiteral("%1=1").arg(bc)));
    QCOMPARE(doc.arcs(c), QmdItemIdList());
    QCOMPARE(doc.value(c, "ArcUsageList"), QVariant(QString("")));
    // Every removal is announced with the user's request id.
    QmdItemIdList announced;
    for (const QList<QVariant> &signal : std::as_const(removed)) {
        QCOMPARE(signal.at(1).value<QmdRequestId>(), rid);
        announced += signal.at(0).value<QmdItemIdList>();
    }
    std::sort(announced.begin(), announced.end());
    QCOMPARE(announced, (QmdItemIdList{a, ab, ba, ca, onA}));

    QCOMPARE(doc.model.undoRedoCount(), steps + 1);
    const QString after = dump(doc.controller);
    doc.undo();
    QCOMPARE(dump(doc.controller), before);
    doc.redo();
    QCOMPARE(dump(doc.controller), after);
    QCOMPARE(doc.model.undoRedoCount(), steps + 1);
}

void TestQmdVelkaElementStates::deletingEdgeCleansItsFromNode_data()
{
    // %1 is the removed edge, %2 another edge of the same node.
    QTest::addColumn<QVariant>("usages");
    QTest::addColumn<QString>("expected");
    QTest::newRow("only entry") << QVariant(QString("%1=1")) << "";
    QTest::newRow("first of two") << QVariant(QString("%1=1,%2=3")) << "%2=3";
    QTest::newRow("repeated") << QVariant(QString("%1=1,%2=2,%1=4")) << "%2=2";
    QTest::newRow("malformed entries stay") << QVariant(QString("junk,,%1=2,%2=1")) << "junk,,%2=1";
    QTest::newRow("missing list") << QVariant() << "";
}

void TestQmdVelkaElementStates::deletingEdgeCleansItsFromNode()
{
    QFETCH(QVariant, usages);
    QFETCH(QString, expected);
    Document doc;
    const QmdItemId a = doc.node(0, 0);
    const QmdItemId b = doc.node(P, 0);
    const QmdItemId c = doc.node(0, P);
    const QmdItemId gone = doc.edge(a, b);
    const QmdItemId kept = doc.edge(a, c);
    if (usages.isValid()) {
        doc.set(a, "ArcUsageList", usages.toString().arg(gone).arg(kept));
    } else {
        doc.controller.requestRemove(QStringLiteral("ArcUsageList"), doc.controller.elementIndex(a));
        settle();
    }

    doc.removeElement(gone);
    QCOMPARE(doc.value(a, "ArcUsageList"), QVariant(expected.arg(kept)));
    QCOMPARE(doc.arcs(a), (QmdItemIdList{kept}));
    QCOMPARE(doc.controller.elementIds(), (QmdItemIdList{a, b, c, kept}));
    QCOMPARE(doc.states(), (QmdItemIdList{a, b, c, kept}));
}

void TestQmdVelkaElementStates::edgesOfAnOpenedDocumentAreCleanedUp()
{
    Document doc;
    const QmdItemId a = doc.node(0, 0);
    const QmdItemId b = doc.node(P, 0);
    const QmdItemId ab = doc.edge(a, b);
    doc.edge(b, a);
    doc.controller.setModel(nullptr);

    // A controller that never saw the edges made learns their from-nodes on reset.
    QmdVelkaController opened;
    opened.setModel(&doc.model);
    opened.requestRemove(QmdItemIdList{ab, b}, opened.index("Elements"));
    settle();
    QCOMPARE(opened.elementIds(), QmdItemIdList{a});
    QCOMPARE(opened.ids(opened.index("ArcIdentifiers", opened.elementIndex(a))), QmdItemIdList());
    QCOMPARE(opened.elementData(a, "ArcUsageList"), QVariant(QString("")));
    QCOMPARE(opened.ids(opened.elementStatesIndex()), QmdItemIdList{a});
}

void TestQmdVelkaElementStates::undoDoesNotDependOnTheEventLoop_data()
{
    QTest::addColumn<QString>("removed");
    QTest::addColumn<bool>("settledBeforeUndo");
    for (const char *removed : {"edge", "node", "instrument"}) {
        QTest::addRow("%s, undo at once", removed) << removed << false;
        QTest::addRow("%s, undo after the event loop", removed) << removed << true;
    }
}

void TestQmdVelkaElementStates::undoDoesNotDependOnTheEventLoop()
{
    QFETCH(QString, removed);
    QFETCH(bool, settledBeforeUndo);
    Document doc;
    const QmdItemId instrument = doc.instrument();
    const QmdItemId a = doc.node(0, 0);
    const QmdItemId b = doc.node(P, 0);
    const QmdItemId ab = doc.edge(a, b);
    doc.edge(b, a);
    doc.set(a, "Instrument", instrument);
    const QString before = dump(doc.controller);
    const int steps = doc.model.undoRedoCount();

    // The clean-up is part of the request: in place when it returns.
    if (removed == "instrument")
        doc.controller.requestRemove(QmdItemIdList{instrument}, doc.controller.instrumentsIndex());
    else
        doc.controller.requestRemove(QmdItemIdList{removed == "edge" ? ab : b}, doc.controller.index("Elements"));
    const QString after = dump(doc.controller);
    if (removed == "edge")
        QCOMPARE(doc.value(a, "ArcUsageList"), QVariant(QString("")));
    else if (removed == "node")
        QCOMPARE(doc.controller.elementIds(), (QmdItemIdList{a}));
    else
        QCOMPARE(doc.value(a, "Instrument"), QVariant(0u));
    if (settledBeforeUndo)
        settle();

    doc.controller.requestUndo();
    settle();
    QCOMPARE(dump(doc.controller), before);
    QCOMPARE(doc.model.undoRedoCount(), steps + 1);
    QVERIFY(doc.controller.canRedo());

    doc.controller.requestRedo();
    settle();
    QCOMPARE(dump(doc.controller), after);
    QCOMPARE(doc.model.undoRedoCount(), steps + 1);
}

void TestQmdVelkaElementStates::deletingInstrumentClearsReferences()
{
    Document doc;
    const QmdItemId first = doc.instrument();
    const QmdItemId second = doc.instrument();
    const QmdItemId usesFirst = doc.node(0, 0);
    const QmdItemId usesSecond = doc.node(P, 0);
    for (const auto &[node, instrument] : {std::pair{usesFirst, first}, std::pair{usesSecond, second}}) {
        doc.set(node, "Instrument", instrument);
        doc.set(node, "DoInstrumentChange", true);
    }
    const QmdItemId groupFirst = doc.voiceGroup(usesFirst);
    const QmdItemId groupSecond = doc.voiceGroup(usesSecond);
    doc.set(groupFirst, "InitialInstrument", first);
    doc.set(groupSecond, "InitialInstrument", second);
    const QString before = dump(doc.controller);
    const int steps = doc.model.undoRedoCount();

    QSignalSpy removed(&doc.controller, &QmdVelkaController::instrumentsRemoved);
    const QmdRequestId rid = doc.controller.requestRemove(QmdItemIdList{first}, doc.controller.instrumentsIndex());
    settle();

    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed.at(0).at(0).value<QmdItemIdList>(), QmdItemIdList{first});
    QCOMPARE(removed.at(0).at(1).value<QmdRequestId>(), rid);
    QCOMPARE(doc.value(usesFirst, "Instrument"), QVariant(0u));
    QCOMPARE(doc.value(usesFirst, "DoInstrumentChange"), QVariant(false));
    QCOMPARE(doc.value(groupFirst, "InitialInstrument"), QVariant(0u));
    QCOMPARE(doc.value(usesSecond, "Instrument").toUInt(), second);
    QCOMPARE(doc.value(usesSecond, "DoInstrumentChange"), QVariant(true));
    QCOMPARE(doc.value(groupSecond, "InitialInstrument").toUInt(), second);

    QCOMPARE(doc.model.undoRedoCount(), steps + 1);
    doc.undo();
    QCOMPARE(dump(doc.controller), before);
    QCOMPARE(doc.model.undoRedoCount(), steps + 1);
}

void TestQmdVelkaElementStates::gotoStartResetsStates()
{
    Document doc;
    const QmdItemId a = doc.node(0, 0);
    const QmdItemId b = doc.node(P, 0);
    const QmdItemId ab = doc.edge(a, b);
    const QmdRequestOptions writeBack(Qmd::NoUndoHistory);
    const QStringList nodeKeys{"CurrentEdgeUsageId", "CurrentEdgeUsageUses", "CurrentPitchId", "CurrentVelocityId",
                               "CurrentDurationId", "CurrentUserMidiMessageId", "HitCount"};
    for (const QString &key : nodeKeys)
        doc.controller.requestSetData(key, 3, doc.controller.elementStateIndex(a), writeBack);
    doc.controller.requestSetData("CurrentScaleId", 5, doc.controller.elementStateIndex(ab), writeBack);
    settle();
    const int steps = doc.model.undoRedoCount();

    QSignalSpy jogged(&doc.controller, &QmdVelkaController::playbackJogged);
    QSignalSpy state(&doc.controller, &QmdVelkaController::playbackStateChanged);
    QCOMPARE(doc.controller.requestGotoStart(), QmdVelkaController::PlaybackRequestId);
    settle();

    for (const QString &key : nodeKeys)
        QCOMPARE(doc.controller.data(key, doc.controller.elementStateIndex(a)).toInt(), 0);
    QCOMPARE(doc.controller.data("CurrentScaleId", doc.controller.elementStateIndex(ab)), QVariant(0));
    QCOMPARE(doc.model.undoRedoCount(), steps);
    QCOMPARE(jogged.size(), 1);
    QCOMPARE(state.size(), 0);
}

void TestQmdVelkaElementStates::viewSwitches_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("missing");
    for (const char *key : {"ShowGrid", "SnapToGrid", "ShowNodeCounters"}) {
        QTest::addRow("%s", key) << key << false;
        QTest::addRow("%s missing", key) << key << true;
    }
}

void TestQmdVelkaElementStates::viewSwitches()
{
    QFETCH(QString, key);
    QFETCH(bool, missing);
    Document doc;
    if (missing)
        doc.controller.requestRemove(key, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    settle();
    const bool initial = doc.controller.data(key).toBool();
    const int steps = doc.model.undoRedoCount();
    const auto toggle = [&] {
        if (key == "ShowGrid")
            return doc.controller.requestToggleShowGrid();
        if (key == "SnapToGrid")
            return doc.controller.requestToggleSnapToGrid();
        return doc.controller.requestToggleShowNodeCounters();
    };
    QVERIFY(toggle() != QmdVelkaController::PlaybackRequestId);
    QCOMPARE(doc.controller.data(key), QVariant(!initial));
    toggle();
    QCOMPARE(doc.controller.data(key), QVariant(initial));
    QCOMPARE(doc.model.undoRedoCount(), steps);
}

void TestQmdVelkaElementStates::playbackWithoutPlayers()
{
    Document doc;
    QCOMPARE(doc.controller.sync(), nullptr);
    QSignalSpy state(&doc.controller, &QmdVelkaController::playbackStateChanged);
    QCOMPARE(doc.controller.requestPlay(), QmdVelkaController::PlaybackRequestId);
    // Without a clock nothing plays: a toggle asks for a stop.
    QCOMPARE(doc.controller.requestTogglePlayback(), QmdVelkaController::PlaybackRequestId);
    QCOMPARE(doc.controller.requestPause(), QmdVelkaController::PlaybackRequestId);
    QCOMPARE(state.size(), 3);
    QCOMPARE(state.at(0).at(0), QVariant(true));
    QCOMPARE(state.at(1).at(0), QVariant(false));
    QCOMPARE(state.at(2).at(0), QVariant(false));
}

QTEST_MAIN(TestQmdVelkaElementStates)
#include "tst_qmdvelkaelementstates.moc"
