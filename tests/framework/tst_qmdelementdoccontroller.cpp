#include "qmdelementdoccontroller.h"
#include "qmdmemmodel.h"

#include <QSignalSpy>
#include <QTest>

namespace {

typedef QHash<QString, QVariant> Values;
typedef QHash<QString, Qmd::ContainerType> Types;

const QString Elements = QStringLiteral("Elements");

} // namespace

class TestQmdElementDocController : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void resetRepairsTheShape_data();
    void resetRepairsTheShape();
    void addedElementIsAnnouncedWithItsRequest();
    void elementChangesBecomeElementSignals();
    void changesOutsideElementsStayGeneric();
    void addingWithoutElementsContainerAddsNothing();
    void nullModelIsHarmless();

private:
    QmdItemId addNode(QmdRequestId *rid = nullptr);

    QmdMemModel *m_model = nullptr;
    QmdElementDocController *m_controller = nullptr;
};

void TestQmdElementDocController::init()
{
    m_model = new QmdMemModel(this);
    m_controller = new QmdElementDocController(this);
    m_controller->setModel(m_model);
    QCoreApplication::processEvents();
}

void TestQmdElementDocController::cleanup()
{
    delete m_controller;
    delete m_model;
}

QmdItemId TestQmdElementDocController::addNode(QmdRequestId *rid)
{
    QmdItemId id = 0;
    Values data;
    data.insert(QStringLiteral("Type"), 9);
    data.insert(QStringLiteral("TickPos"), 5);
    Types types;
    types.insert(QStringLiteral("ArcIdentifiers"), Qmd::IntDict);
    const QmdRequestId request =
        m_controller->requestAddElement(2, data, types, QmdRequestOptions(QStringLiteral("Node")), &id);
    if (rid)
        *rid = request;
    return id;
}

void TestQmdElementDocController::resetRepairsTheShape_data()
{
    QTest::addColumn<int>("start");
    QTest::newRow("empty model") << 0;
    QTest::newRow("id-keyed root") << 1;
    QTest::newRow("plain Elements") << 2;
    QTest::newRow("right shape") << 3;
}

void TestQmdElementDocController::resetRepairsTheShape()
{
    QFETCH(int, start);

    QmdMemModel model(start == 1 ? Qmd::IntDict : Qmd::StrDict);
    QmdItemId kept = 0;
    if (start == 2) {
        model.setData(Values{{Elements, 7}, {QStringLiteral("Tempo"), 90}}, QmdIndex());
    } else if (start == 3) {
        model.setTypes(Types{{Elements, Qmd::IntDict}}, QmdIndex());
        const QmdIndex elements = model.index(Elements, QmdIndex());
        kept = model.addTypes({Qmd::StrDict}, elements).value(0);
        model.setData(Values{{QStringLiteral("Type"), 2}}, model.index(kept, elements));
    }
    const int history = model.undoRedoCount();

    QmdElementDocController controller;
    QSignalSpy finished(&controller, &QmdController::requestFinished);
    controller.setModel(&model);
    QCOMPARE(controller.type(), Qmd::StrDict);
    const QmdIndex elements = controller.findElementsIndex();
    QCOMPARE(controller.type(elements), Qmd::IntDict);
    QCOMPARE(controller.elementsIndex(), elements);
    QCOMPARE(model.undoRedoCount(), history);
    if (start == 2)
        QCOMPARE(controller.data(QStringLiteral("Tempo")), QVariant(90));
    if (start == 3) {
        QCOMPARE(controller.ids(elements), QmdItemIdList({kept}));
        QCOMPARE(controller.data(QStringLiteral("Type"), controller.index(kept, elements)), QVariant(2));
    }
    QTRY_COMPARE(finished.size(), 1);

    // A second reset finds nothing to repair and still finishes a request.
    controller.reset();
    QCOMPARE(controller.elementsIndex(), elements);
    QTRY_COMPARE(finished.size(), 2);
}

void TestQmdElementDocController::addedElementIsAnnouncedWithItsRequest()
{
    QSignalSpy added(m_controller, &QmdElementDocController::elementsAdded);
    QSignalSpy dataChanged(m_controller, &QmdElementDocController::elementDataChanged);
    QSignalSpy removed(m_controller, &QmdElementDocController::elementsRemoved);

    QmdRequestId rid = 0;
    const QmdItemId id = addNode(&rid);
    QVERIFY(id != 0);
    const QmdIndex element = m_controller->index(id, m_controller->elementsIndex());
    QVERIFY(m_controller->isElementIndex(element));
    QCOMPARE(m_controller->data(QStringLiteral("Type"), element), QVariant(2));
    QCOMPARE(m_controller->data(QStringLiteral("TickPos"), element), QVariant(5));
    QCOMPARE(m_controller->type(m_controller->index(QStringLiteral("ArcIdentifiers"), element)), Qmd::IntDict);
    QCOMPARE(m_controller->undoText(), QStringLiteral("Node"));

    QTRY_COMPARE(added.size(), 1);
    QCOMPARE(added.at(0).at(0).value<QmdItemIdList>(), QmdItemIdList({id}));
    QCOMPARE(added.at(0).at(1).value<QmdRequestId>(), rid);
    QTRY_VERIFY(!dataChanged.isEmpty());
    QStringList keys;
    for (const auto &args : std::as_const(dataChanged)) {
        QCOMPARE(args.at(0).value<QmdItemId>(), id);
        QCOMPARE(args.at(2).value<QmdRequestId>(), rid);
        keys << args.at(1).toStringList();
    }
    QVERIFY(keys.contains(QStringLiteral("Type")));
    QVERIFY(keys.contains(QStringLiteral("TickPos")));

    // The whole creation is one step.
    const QmdRequestId undo = m_controller->requestUndo();
    QVERIFY(!m_controller->canUndo());
    QTRY_COMPARE(removed.size(), 1);
    QCOMPARE(removed.at(0).at(0).value<QmdItemIdList>(), QmdItemIdList({id}));
    QCOMPARE(removed.at(0).at(1).value<QmdRequestId>(), undo);
}

void TestQmdElementDocController::elementChangesBecomeElementSignals()
{
    const QmdItemId a = addNode();
    const QmdItemId b = addNode();
    const QmdIndex elements = m_controller->elementsIndex();
    const QmdIndex element = m_controller->index(a, elements);
    QCoreApplication::processEvents();

    QSignalSpy dataChanged(m_controller, &QmdElementDocController::elementDataChanged);
    QSignalSpy dataRemoved(m_controller, &QmdElementDocController::elementDataRemoved);
    QSignalSpy removed(m_controller, &QmdElementDocController::elementsRemoved);
    QSignalSpy finished(m_controller, &QmdController::requestFinished);

    const QmdRequestId set = m_controller->requestSetData(QStringLiteral("PitchList"), QStringLiteral("60"), element);
    const QmdRequestId cut = m_controller->requestRemove(QStringLiteral("TickPos"), element);
    const QmdRequestId both = m_controller->requestRemove(QmdItemIdList({a, b}), elements);
    QTRY_COMPARE(finished.size(), 3);

    QCOMPARE(dataChanged.size(), 1);
    QCOMPARE(dataChanged.at(0), QVariantList({QVariant::fromValue(a), QStringList("PitchList"),
                                             QVariant::fromValue(set)}));
    QCOMPARE(dataRemoved.size(), 1);
    QCOMPARE(dataRemoved.at(0), QVariantList({QVariant::fromValue(a), QStringList("TickPos"),
                                             QVariant::fromValue(cut)}));
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed.at(0).at(0).value<QmdItemIdList>(), QmdItemIdList({a, b}));
    QCOMPARE(removed.at(0).at(1).value<QmdRequestId>(), both);
}

void TestQmdElementDocController::changesOutsideElementsStayGeneric()
{
    const QmdItemId id = addNode();
    const QmdIndex element = m_controller->index(id, m_controller->elementsIndex());
    const QmdIndex arcs = m_controller->index(QStringLiteral("ArcIdentifiers"), element);
    m_controller->requestSetType(QStringLiteral("Temp"), Qmd::StrDict);
    const QmdIndex temp = m_controller->index(QStringLiteral("Temp"));
    QCoreApplication::processEvents();

    QSignalSpy added(m_controller, &QmdElementDocController::elementsAdded);
    QSignalSpy dataChanged(m_controller, &QmdElementDocController::elementDataChanged);
    QSignalSpy generic(m_controller,
                       qOverload<const QmdIndex &, const QmdItemIdList &, QmdRequestId>(&QmdController::itemsChanged));
    QSignalSpy finished(m_controller, &QmdController::requestFinished);

    m_controller->requestSetData(QmdItemId(7), 3, arcs);            // inside an element
    m_controller->requestSetData(QStringLiteral("Tempo"), 90);      // at the root
    m_controller->requestRemove(Elements, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    // Without an Elements container a root-level container is no element.
    m_controller->requestSetData(QStringLiteral("Title"), QStringLiteral("x"), temp);
    QTRY_COMPARE(finished.size(), 4);
    QCOMPARE(generic.size(), 1);
    QVERIFY(added.isEmpty());
    QVERIFY(dataChanged.isEmpty());
}

void TestQmdElementDocController::addingWithoutElementsContainerAddsNothing()
{
    m_controller->requestRemove(Elements, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    QCoreApplication::processEvents();
    QSignalSpy finished(m_controller, &QmdController::requestFinished);

    QmdRequestId rid = 0;
    QCOMPARE(addNode(&rid), QmdItemId(0));
    QVERIFY(rid != 0);
    QCOMPARE(m_controller->keys(), QStringList());
    QTRY_COMPARE(finished.size(), 1);

    // A reset brings the container back and adding works again.
    m_controller->reset();
    QVERIFY(addNode() != 0);
}

void TestQmdElementDocController::nullModelIsHarmless()
{
    QSignalSpy reset(m_controller, &QmdController::modelReset);
    m_controller->setModel(nullptr);
    QCOMPARE(reset.size(), 1);
    QVERIFY(!m_controller->elementsIndex().isValid());
    QCOMPARE(addNode(), QmdItemId(0));
    QVERIFY(!m_controller->isElementIndex(QmdIndex()));
}

QTEST_GUILESS_MAIN(TestQmdElementDocController)
#include "tst_qmdelementdoccontroller.moc"
