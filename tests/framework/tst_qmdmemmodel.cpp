#include "modeltestutil.h"
#include "qmddirectmodelinterface.h"
#include "qmdmemmodel.h"

#include <QtTest>

typedef QHash<QString, QVariant> KeyValues;
typedef QHash<QmdItemId, QVariant> IdValues;
typedef QHash<QString, Qmd::ContainerType> KeyTypes;

// A document of the shape the network document uses:
// { Elements: [ 1: {Type, Name, Tags: {a}}, 2: {Type} ], Tempo }
class tst_QmdMemModel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void nestedReads();
    void listingsAreSorted();
    void lookupsOfTheWrongKind_data();
    void lookupsOfTheWrongKind();
    void changesAnnounceThemselvesInOrder_data();
    void changesAnnounceThemselvesInOrder();
    void requestBracket();
    void newIds_data();
    void newIds();
    void idExhaustion();
    void changesByIndex();
    void removedEntryKeepsIndexValid();
    void staleIndexesNeverReachTheRoot_data();
    void staleIndexesNeverReachTheRoot();
    void clearingTheRoot();
    void containersCannotBeHandedIn();
    void directInterface();
    void valuesUnderKeysReadAsThroughIndexes();
    void changeStampGrowsWithEveryChangeButQuietOnes();

private:
    void build();
    QmdIndex elements() const { return model->index(QStringLiteral("Elements"), QmdIndex()); }
    QmdIndex element(QmdItemId id) const { return model->index(id, elements()); }

    QmdMemModel *model = nullptr;
};

void tst_QmdMemModel::init()
{
    model = new QmdMemModel(Qmd::StrDict);
    build();
}

void tst_QmdMemModel::cleanup()
{
    delete model;
    model = nullptr;
}

void tst_QmdMemModel::build()
{
    model->setTypes(KeyTypes{{"Elements", Qmd::IntDict}}, QmdIndex());
    model->setData(KeyValues{{"Tempo", 120}}, QmdIndex());
    model->setTypes(QHash<QmdItemId, Qmd::ContainerType>{{1, Qmd::StrDict}, {2, Qmd::StrDict}}, elements());
    model->setData(KeyValues{{"Type", 2}, {"Name", "n1"}}, element(1));
    model->setData(KeyValues{{"Type", 1}}, element(2));
    model->setTypes(KeyTypes{{"Tags", Qmd::StrDict}}, element(1));
    model->setData(KeyValues{{"a", true}}, model->index(QStringLiteral("Tags"), element(1)));
}

void tst_QmdMemModel::nestedReads()
{
    QCOMPARE(dumpModel(*model),
             QStringLiteral("{Elements:[1:{Name:QString(n1),Tags:{a:bool(true)},Type:int(2)},2:{Type:int(1)}],"
                            "Tempo:int(120)}"));
    const QmdIndex tags = model->index(QStringLiteral("Tags"), element(1));
    const QmdIndex a = model->index(QStringLiteral("a"), tags);
    QCOMPARE(model->data(a), QVariant(true));

    // Containers read as invalid values but tell their kind and whether they
    // have children; the root reads the same way.
    QCOMPARE(model->data(tags), QVariant());
    QCOMPARE(model->containerType(tags), Qmd::StrDict);
    QVERIFY(model->hasChildren(tags));
    QCOMPARE(model->data(QmdIndex()), QVariant());
    QCOMPARE(model->containerType(QmdIndex()), Qmd::StrDict);
    QCOMPARE(model->containerType(a), Qmd::NoContainer);
    QVERIFY(!model->hasChildren(a));

    // Parents lead back up to the root.
    QCOMPARE(model->parent(a), tags);
    QCOMPARE(model->parent(tags), element(1));
    QCOMPARE(model->parent(element(1)), elements());
    QCOMPARE(model->parent(elements()), QmdIndex());
    QCOMPARE(model->parent(QmdIndex()), QmdIndex());

    QVERIFY(model->exists(QmdIndex()));
    QVERIFY(model->exists(a));
    // A missing entry looks up as the root reference, which exists.
    QVERIFY(!model->index(QStringLiteral("b"), tags).isValid());
}

void tst_QmdMemModel::listingsAreSorted()
{
    const QmdIndex tags = model->index(QStringLiteral("Tags"), element(1));
    model->setData(KeyValues{{"zeta", 1}, {"Beta", 2}, {"alpha", 3}, {"b10", 4}, {"b9", 5}}, tags);
    const QStringList expectedKeys{"Beta", "a", "alpha", "b10", "b9", "zeta"};
    QCOMPARE(model->keys(tags), expectedKeys);

    model->setData(IdValues{{300, 1}, {7, 2}, {4000000000u, 3}, {12, 4}}, elements());
    const QmdItemIdList expectedIds{1, 2, 7, 12, 300, 4000000000u};
    QCOMPARE(model->ids(elements()), expectedIds);

    QStringList childKeys;
    for (const QmdIndex &child : model->childIndexes(tags))
        childKeys << child.key();
    QCOMPARE(childKeys, expectedKeys);
    QmdItemIdList childIds;
    for (const QmdIndex &child : model->childIndexes(elements()))
        childIds << child.id();
    QCOMPARE(childIds, expectedIds);
}

void tst_QmdMemModel::lookupsOfTheWrongKind_data()
{
    QTest::addColumn<QString>("path"); // where to look: "root", "elements", "tempo"
    QTest::newRow("id under a string-keyed container") << "root";
    QTest::newRow("key under an id-keyed container") << "elements";
    QTest::newRow("anything under a plain value") << "tempo";
}

void tst_QmdMemModel::lookupsOfTheWrongKind()
{
    QFETCH(QString, path);
    const QmdIndex parent = path == "root" ? QmdIndex()
                          : path == "elements" ? elements()
                                               : model->index(QStringLiteral("Tempo"), QmdIndex());
    const QString before = dumpModel(*model);
    if (path != "root") {
        QCOMPARE(model->index(QStringLiteral("Type"), parent), QmdIndex());
        QCOMPARE(model->keys(parent), QStringList());
        model->setData(KeyValues{{"x", 1}}, parent);
        model->remove(QStringList{"Type"}, parent);
    }
    if (path != "elements") {
        QCOMPARE(model->index(QmdItemId(1), parent), QmdIndex());
        QCOMPARE(model->ids(parent), QmdItemIdList());
        model->setData(IdValues{{1, 1}}, parent);
        QCOMPARE(model->addData(QList<QVariant>{1}, parent), QmdItemIdList());
        model->remove(QmdItemIdList{1}, parent);
    }
    QCOMPARE(dumpModel(*model), before);
}

void tst_QmdMemModel::changesAnnounceThemselvesInOrder_data()
{
    QTest::addColumn<int>("change");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("replacing a container removes it first")
        << 0 << QStringList{"removed 1 Tags 5", "changed 1 Name,Tags 5"};
    QTest::newRow("empty hash") << 1 << QStringList();
    QTest::newRow("only id 0") << 2 << QStringList();
    QTest::newRow("remove ids of which one is present") << 3 << QStringList{"removed Elements 2 5"};
    QTest::newRow("remove ids of which none is present") << 4 << QStringList();
    QTest::newRow("remove keys in the given order") << 5 << QStringList{"removed 1 Type,Name 5"};
    QTest::newRow("set types under keys") << 6 << QStringList{"changed root Extra,More 5"};
}

void tst_QmdMemModel::changesAnnounceThemselvesInOrder()
{
    QFETCH(int, change);
    QFETCH(QStringList, expected);
    const int stepsBefore = model->undoRedoCount();
    ModelRecorder recorder(model);
    model->beginRequest(5, {}, QStringLiteral("Change"));
    switch (change) {
    case 0: model->setData(KeyValues{{"Tags", 1}, {"Name", "x"}}, element(1)); break;
    case 1: model->setData(KeyValues(), element(1)); break;
    case 2: model->setData(IdValues{{0, 1}}, elements()); break;
    case 3: model->remove(QmdItemIdList{3, 2}, elements()); break;
    case 4: model->remove(QmdItemIdList{3, 9}, elements()); break;
    case 5: model->remove(QStringList{"Type", "Missing", "Name"}, element(1)); break;
    case 6: model->setTypes(KeyTypes{{"More", Qmd::IntDict}, {"Extra", Qmd::StrDict}}, QmdIndex()); break;
    }
    model->endRequest();
    expected << QStringLiteral("finished 5 0 0");
    const QStringList recorded = recorder.take();
    QCOMPARE(recorded.filter(QRegularExpression("^(changed|removed|root|finished)")), expected);
    // Even a change with nothing in it is one undo step with the request's text.
    QCOMPARE(model->undoRedoCount(), stepsBefore + 1);
    QCOMPARE(model->undoText(), QStringLiteral("Change"));
}

void tst_QmdMemModel::requestBracket()
{
    ModelRecorder recorder(model);
    model->beginRequest(41, Qmd::NoUndoHistory, QStringLiteral("Write"));
    QCOMPARE(model->requestId(), QmdRequestId(41));
    model->setData(KeyValues{{"Tempo", 90}}, QmdIndex());
    model->setRequestStatus(-1);
    model->endRequest();
    QCOMPARE(recorder.take(), (QStringList{"changed root Tempo 41", "finished 41 1 -1"}));
    QCOMPARE(model->requestId(), QmdRequestId(0));
    QCOMPARE(model->requestStatus(), 0);

    // Both forms of requestFinished hear the one emission.
    QSignalSpy twoArguments(model, SIGNAL(requestFinished(QmdRequestId, Qmd::RequestFlags)));
    model->beginRequest(42, {}, QString());
    model->endRequest();
    QCOMPARE(twoArguments.count(), 1);
    QCOMPARE(twoArguments.at(0).at(0).value<QmdRequestId>(), QmdRequestId(42));
    QCOMPARE(recorder.take(), QStringList{"finished 42 0 0"});

    // Outside a bracket changes run under request id 0.
    model->setData(KeyValues{{"Tempo", 80}}, QmdIndex());
    QCOMPARE(recorder.take().first(), QStringLiteral("changed root Tempo 0"));

    // A failed request adds nothing to the caller's list of new ids.
    model->beginRequest(43, {}, QString());
    model->setRequestStatus(-1);
    QCOMPARE(model->addData(QList<QVariant>{1}, elements()), QmdItemIdList());
    model->endRequest();
}

void tst_QmdMemModel::newIds_data()
{
    QTest::addColumn<IdValues>("stored");
    QTest::addColumn<QList<QVariant>>("added");
    QTest::addColumn<QmdItemIdList>("expected");

    QTest::newRow("after the last stored id") << IdValues{{20, 0}, {7, 0}} << QList<QVariant>{1} << QmdItemIdList{21};
    QTest::newRow("consecutive free ids") << IdValues{{3, 0}, {4, 0}} << QList<QVariant>{1, 2, 3}
                                          << QmdItemIdList{5, 6, 7};
    QTest::newRow("skipping ids in use") << IdValues{{1, 0}, {3, 0}} << QList<QVariant>{1, 2}
                                         << QmdItemIdList{4, 5};
    QTest::newRow("wrap after the largest id") << IdValues{{4294967295u, 0}} << QList<QVariant>{1, 2}
                                               << QmdItemIdList{1, 2};
    QTest::newRow("wrap skips ids in use") << IdValues{{1, 0}, {2, 0}, {4294967295u, 0}} << QList<QVariant>{1}
                                           << QmdItemIdList{3};
    QTest::newRow("nothing to add") << IdValues{{9, 0}} << QList<QVariant>() << QmdItemIdList();
}

void tst_QmdMemModel::newIds()
{
    QFETCH(IdValues, stored);
    QFETCH(QList<QVariant>, added);
    QFETCH(QmdItemIdList, expected);
    QmdMemModel ids(Qmd::IntDict);
    ids.setData(stored, QmdIndex());
    QCOMPARE(ids.addData(added, QmdIndex()), expected);
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(ids.data(ids.index(expected.at(i), QmdIndex())), added.at(i));

    // Storing a smaller id moves the search back: after 7 comes 8.
    QmdMemModel back(Qmd::IntDict);
    back.setData(IdValues{{20, 0}}, QmdIndex());
    back.setData(IdValues{{7, 0}}, QmdIndex());
    QCOMPARE(back.addData(QList<QVariant>{1}, QmdIndex()), QmdItemIdList{8});
}

void tst_QmdMemModel::idExhaustion()
{
    QmdMemModel ids(Qmd::IntDict);
    ids.setItemIdLimit(4);
    ids.setData(IdValues{{2, 0}, {3, 0}}, QmdIndex());
    QCOMPARE(ids.addData(QList<QVariant>{"a", "b"}, QmdIndex()), (QmdItemIdList{4, 1}));
    QTest::ignoreMessage(QtDebugMsg, "registerNewItemId: item IDs have been exhausted for the given hash");
    QCOMPARE(ids.addData(QList<QVariant>{"c"}, QmdIndex()), QmdItemIdList());
    QCOMPARE(ids.ids(QmdIndex()), (QmdItemIdList{1, 2, 3, 4}));

    // The values after the first refused id are dropped, those before kept.
    ids.remove(QmdItemIdList{2}, QmdIndex());
    QTest::ignoreMessage(QtDebugMsg, "registerNewItemId: item IDs have been exhausted for the given hash");
    QCOMPARE(ids.addTypes(QList<Qmd::ContainerType>{Qmd::StrDict, Qmd::StrDict}, QmdIndex()), QmdItemIdList{2});
    QCOMPARE(ids.containerType(ids.index(QmdItemId(2), QmdIndex())), Qmd::StrDict);
}

void tst_QmdMemModel::changesByIndex()
{
    ModelRecorder recorder(model);
    const QmdIndex tempo = model->index(QStringLiteral("Tempo"), QmdIndex());
    const QmdIndex type1 = model->index(QStringLiteral("Type"), element(1));
    const QmdIndex type2 = model->index(QStringLiteral("Type"), element(2));
    model->beginRequest(3, {}, QStringLiteral("By index"));
    model->setData(QHash<QmdIndex, QVariant>{{tempo, 60}, {type1, 7}, {type2, 8}});
    model->setTypes(QHash<QmdIndex, Qmd::ContainerType>{{type2, Qmd::IntDict}});
    model->remove(QmdIndexList{type1, tempo});
    model->endRequest();
    // One signal per container, each with the container's own index.
    QCOMPARE(recorder.take(), (QStringList{"changed root Tempo 3", "undoText 'By index' 3", "changed 1 Type 3",
                                           "changed 2 Type 3", "changed 2 Type 3", "removed root Tempo 3",
                                           "removed 1 Type 3", "finished 3 0 0"}));
    QCOMPARE(dumpModel(*model),
             QStringLiteral("{Elements:[1:{Name:QString(n1),Tags:{a:bool(true)}},2:{Type:[]}]}"));
    QCOMPARE(model->undoRedoCount(), 2);

    // The default index in a change by index replaces the root itself.
    model->setTypes(QHash<QmdIndex, Qmd::ContainerType>{{QmdIndex(), Qmd::IntDict}});
    QCOMPARE(dumpModel(*model), QStringLiteral("[]"));
    QVERIFY(!elements().isValid());
}

void tst_QmdMemModel::removedEntryKeepsIndexValid()
{
    const QmdIndex name = model->index(QStringLiteral("Name"), element(1));
    model->remove(QStringList{"Name"}, element(1));
    QVERIFY(name.isValid());
    QVERIFY(!model->exists(name));
    QCOMPARE(model->data(name), QVariant());

    // A container removed by a recorded change lives on in the history, and
    // undo puts the very same container back.
    const QmdIndex tags = model->index(QStringLiteral("Tags"), element(1));
    const QmdIndex a = model->index(QStringLiteral("a"), tags);
    model->beginRequest(9, {}, QStringLiteral("Remove"));
    model->remove(QmdItemIdList{1}, elements());
    model->endRequest();
    QVERIFY(a.isValid());
    model->undo();
    QCOMPARE(model->data(a), QVariant(true));
    QCOMPARE(model->index(QStringLiteral("Tags"), element(1)), tags);
}

void tst_QmdMemModel::staleIndexesNeverReachTheRoot_data()
{
    QTest::addColumn<int>("change");
    const char *const names[] = {"setData by index", "setTypes by index", "remove by index", "setData under",
                                 "setTypes under", "addData under", "remove under", "clear"};
    for (int change = 0; change < 8; ++change)
        QTest::newRow(names[change]) << change;
}

void tst_QmdMemModel::staleIndexesNeverReachTheRoot()
{
    QFETCH(int, change);

    const QmdIndex tags = model->index(QStringLiteral("Tags"), element(1));
    const QmdIndex a = model->index(QStringLiteral("a"), tags);
    // Removing element 1 outside the history releases it with its contents.
    model->beginRequest(50, Qmd::NoUndoHistory, QString());
    model->remove(QmdItemIdList{1}, elements());
    model->endRequest();
    QVERIFY(!tags.isValid());
    QVERIFY(!a.isValid());
    QVERIFY(!model->exists(a));
    QCOMPARE(model->data(a), QVariant());
    QCOMPARE(model->keys(tags), QStringList());
    QCOMPARE(model->parent(a), QmdIndex());

    // New containers, possibly at the addresses just freed, do not revive them.
    model->setTypes(QHash<QmdItemId, Qmd::ContainerType>{{5, Qmd::StrDict}, {6, Qmd::StrDict}}, elements());
    model->setTypes(KeyTypes{{"Tags", Qmd::StrDict}}, element(5));
    QVERIFY(!tags.isValid());

    const QString before = dumpModel(*model);
    const int steps = model->undoRedoCount();
    switch (change) {
    case 0: model->setData(QHash<QmdIndex, QVariant>{{a, 1}}); break;
    case 1: model->setTypes(QHash<QmdIndex, Qmd::ContainerType>{{a, Qmd::IntDict}}); break;
    case 2: model->remove(QmdIndexList{a}); break;
    case 3: model->setData(KeyValues{{"Tempo", 1}}, tags); break;
    case 4: model->setTypes(KeyTypes{{"Tempo", Qmd::IntDict}}, tags); break;
    case 5: QCOMPARE(model->addData(QList<QVariant>{1}, tags), QmdItemIdList()); break;
    case 6: model->remove(QStringList{"Tempo", "Elements"}, tags); break;
    case 7: model->clear(tags); break;
    }
    QCOMPARE(dumpModel(*model), before);
    QCOMPARE(model->undoRedoCount(), steps);
}

void tst_QmdMemModel::clearingTheRoot()
{
    model->clear(elements());
    QCOMPARE(model->ids(elements()), QmdItemIdList());
    QVERIFY(elements().isValid());

    model->remove(QmdIndexList{QmdIndex()});
    QCOMPARE(model->containerType(QmdIndex()), Qmd::NoContainer);
    QVERIFY(!model->exists(QmdIndex()));
    QVERIFY(!elements().isValid());
    model->setData(KeyValues{{"Tempo", 1}}, QmdIndex());
    model->setTypes(KeyTypes{{"Elements", Qmd::IntDict}}, QmdIndex());
    QCOMPARE(dumpModel(*model), QStringLiteral("-"));

    model->setTypes(QHash<QmdIndex, Qmd::ContainerType>{{QmdIndex(), Qmd::StrDict}});
    model->setData(KeyValues{{"Tempo", 1}}, QmdIndex());
    QCOMPARE(dumpModel(*model), QStringLiteral("{Tempo:int(1)}"));
}

void tst_QmdMemModel::containersCannotBeHandedIn()
{
    // Containers are made by the model only; a container value forged from
    // an index would otherwise be owned twice.
    const QmdIndex tags = model->index(QStringLiteral("Tags"), element(1));
    const QVariant forged = QVariant::fromValue(
        static_cast<QmdMemModel::SpecialItemStar>(static_cast<QmdMemModel::SpecialItem *>(tags.internalPointer())));
    const QString before = dumpModel(*model);
    model->setData(KeyValues{{"Copy", forged}}, QmdIndex());
    model->setData(QHash<QmdIndex, QVariant>{{QmdIndex(), forged}});
    QCOMPARE(model->addData(QList<QVariant>{forged}, elements()), QmdItemIdList());
    QCOMPARE(dumpModel(*model), before);
}

void tst_QmdMemModel::directInterface()
{
    QmdDirectModelInterface none;
    QCOMPARE(none.model(), nullptr);
    QCOMPARE(none.data(QStringLiteral("Tempo"), QmdIndex()), QVariant());
    QCOMPARE(none.addData(QVariant(1), QmdIndex()), QmdItemId(0));
    none.setData(QStringLiteral("Tempo"), 1, QmdIndex());

    QmdDirectModelInterface direct(model);
    QCOMPARE(direct.data(QStringLiteral("Tempo"), QmdIndex()), QVariant(120));
    QCOMPARE(direct.data(QmdItemId(2), elements()), QVariant());
    QCOMPARE(direct.type(elements()), Qmd::IntDict);

    // Child data skips containers.
    QCOMPARE(direct.childData(element(1)), QList<QVariant>{"n1"} << 2);

    direct.setDataIfInvalid(QStringLiteral("Tempo"), 1, QmdIndex());
    direct.setDataIfInvalid(QStringLiteral("Title"), "t", QmdIndex());
    direct.setTypeIfInvalid(QStringLiteral("Tags"), Qmd::IntDict, element(1));
    direct.setTypeIfInvalid(QmdItemId(3), Qmd::StrDict, elements());
    QCOMPARE(direct.data(QStringLiteral("Tempo"), QmdIndex()), QVariant(120));
    QCOMPARE(direct.data(QStringLiteral("Title"), QmdIndex()), QVariant("t"));
    QCOMPARE(direct.type(direct.index(QStringLiteral("Tags"), element(1))), Qmd::StrDict);
    QCOMPARE(direct.type(element(3)), Qmd::StrDict);

    QCOMPARE(direct.addData(QVariant("x"), elements()), QmdItemId(4));
    QCOMPARE(direct.addType(Qmd::IntDict, elements()), QmdItemId(5));
    direct.remove(QmdItemId(4), elements());
    direct.remove(QStringLiteral("Title"), QmdIndex());
    direct.remove(element(5));
    QCOMPARE(direct.ids(elements()), (QmdItemIdList{1, 2, 3}));

    delete model;
    model = nullptr;
    QCOMPARE(direct.model(), nullptr);
    QCOMPARE(direct.keys(QmdIndex()), QStringList());
}

QTEST_GUILESS_MAIN(tst_QmdMemModel)

// The value under a key, looked up in one step, and the values under a key
// of many containers at once read as looking each up through its index does:
// containers, missing entries and containers of the wrong kind read as nothing.
void tst_QmdMemModel::valuesUnderKeysReadAsThroughIndexes()
{
    const auto throughIndex = [this](const QString &key, const QmdIndex &parent) {
        const QmdIndex entry = model->index(key, parent);
        return entry.isValid() ? model->data(entry) : QVariant();
    };
    model->setTypes(QHash<QmdItemId, Qmd::ContainerType>{{3, Qmd::IntDict}}, elements());
    const QmdIndex removed = element(2);
    model->remove(QmdItemIdList{2}, elements());
    model->setData(QHash<QmdItemId, QVariant>{{5, QStringLiteral("plain")}}, elements());

    const QList<QmdIndex> parents{QmdIndex(), elements(), element(1), removed, element(3),
                                  model->index(QStringLiteral("Tempo"), QmdIndex())};
    const QStringList keys{"Type", "Name", "Tags", "Elements", "Tempo", "missing", QString()};
    for (const QmdIndex &parent : parents) {
        for (const QString &key : keys)
            QCOMPARE(model->data(key, parent), throughIndex(key, parent));
    }

    const QmdItemIdList ids{5, 1, 3, 0, 2, 1, 4};
    for (const QmdIndex &parent : parents) {
        for (const QString &key : keys) {
            QList<QVariant> oneByOne;
            for (QmdItemId id : ids) {
                const QmdIndex entry = model->index(id, parent);
                oneByOne << (entry.isValid() ? throughIndex(key, entry) : QVariant());
            }
            QCOMPARE(model->data(key, ids, parent), oneByOne);
        }
    }
    QCOMPARE(model->data(QStringLiteral("Type"), ids, elements()),
             (QList<QVariant>{QVariant(), 2, QVariant(), QVariant(), QVariant(), 2, QVariant()}));
}

void tst_QmdMemModel::changeStampGrowsWithEveryChangeButQuietOnes()
{
    quint64 stamp = model->changeStamp();
    QVERIFY(stamp != 0);
    const auto grew = [this, &stamp] {
        const quint64 now = model->changeStamp();
        const bool grown = now > stamp;
        stamp = now;
        return grown;
    };
    model->setData(KeyValues{{"Tempo", 90}}, QmdIndex());
    QVERIFY(grew());
    QCOMPARE(model->addData(QList<QVariant>{"x"}, elements()).size(), 1);
    QVERIFY(grew());
    model->setTypes(KeyTypes{{"Tags", Qmd::IntDict}}, element(2));
    QVERIFY(grew());
    model->remove(QStringList{"Tempo"}, QmdIndex());
    QVERIFY(grew());
    model->undo();
    QVERIFY(grew());
    model->redo();
    QVERIFY(grew());
    model->clear(elements());
    QVERIFY(grew());

    // What playback writes back quietly is no change of the document.
    model->setTypes(KeyTypes{{"State", Qmd::StrDict}}, QmdIndex());
    QVERIFY(grew());
    const QmdIndex state = model->index(QStringLiteral("State"), QmdIndex());
    QVERIFY(model->setValuesQuietly({QStringLiteral("HitCount")}, {3}, state));
    QCOMPARE(model->changeStamp(), stamp);

    model->setData(QHash<QmdIndex, QVariant>{{QmdIndex(), 1}});
    QVERIFY(grew());

    // No state of another model shares a stamp with this one's.
    QmdMemModel later(Qmd::StrDict);
    QVERIFY(later.changeStamp() > stamp);
    later.setData(KeyValues{{"Tempo", 90}}, QmdIndex());
    QVERIFY(model->changeStamp() != later.changeStamp());
}

#include "tst_qmdmemmodel.moc"
