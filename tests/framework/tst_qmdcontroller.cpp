#include "qmdcontroller.h"
#include "qmdmemmodel.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <stdexcept>

namespace {

// A controller that counts its lock hooks and lets a test move its id counter.
class CountingController : public QmdController
{
public:
    using QmdController::QmdController;
    using QmdController::setLastRequestId;

    void lockForDirectRead() const override { ++readLocks; }
    void unlockForDirectRead() const override { ++readUnlocks; }
    void lockForRequest() const override { ++requestLocks; }
    void unlockForRequest() const override { ++requestUnlocks; }

    mutable int readLocks = 0;
    mutable int readUnlocks = 0;
    mutable int requestLocks = 0;
    mutable int requestUnlocks = 0;
};

// A model whose keyed writes fail the way a rounding error would.
class ThrowingModel : public QmdMemModel
{
public:
    using QmdMemModel::QmdMemModel;
    using QmdMemModel::setData;
    void setData(const QHash<QString, QVariant> &, const QmdIndex &) override
    {
        throw std::runtime_error("rounding failed");
    }
};

QHash<QString, QVariant> pairs(const QString &key, const QVariant &value)
{
    QHash<QString, QVariant> result;
    result.insert(key, value);
    return result;
}

} // namespace

class TestQmdController : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void requestIdsCountFromTwoAndWrapToOne_data();
    void requestIdsCountFromTwoAndWrapToOne();
    void explicitRequestIdJoinsOneUndoStep();
    void defaultUndoTexts_data();
    void defaultUndoTexts();
    void historyRequestsLeaveNoUndoStep();
    void changeSignalsArriveAfterTheRequestInOrder();
    void requestWithoutChangeStillFinishes();
    void undoRequestIdListedUntilItsEndIsRelayed();
    void readsTakeTheReadLockOnce();
    void failingChangeStillEndsTheRequest();
    void nullModelIsHarmless();
    void secondModelStopsRelaysOfTheFirst();
    void staleParentNeverReachesTheRoot();

private:
    QmdMemModel *m_model = nullptr;
    CountingController *m_controller = nullptr;
};

void TestQmdController::init()
{
    m_model = new QmdMemModel(Qmd::StrDict, this);
    m_controller = new CountingController(this);
    m_controller->setModel(m_model);
    QCoreApplication::processEvents();
}

void TestQmdController::cleanup()
{
    delete m_controller;
    delete m_model;
}

void TestQmdController::requestIdsCountFromTwoAndWrapToOne_data()
{
    QTest::addColumn<bool>("moveCounter");
    QTest::addColumn<QmdRequestId>("counter");
    QTest::addColumn<QmdRequestId>("first");
    QTest::addColumn<QmdRequestId>("second");

    QTest::newRow("fresh controller") << false << QmdRequestId(0) << QmdRequestId(2) << QmdRequestId(3);
    QTest::newRow("at the top") << true << QmdRequestId(4294967295u) << QmdRequestId(1) << QmdRequestId(2);
    QTest::newRow("one below the top") << true << QmdRequestId(4294967294u) << QmdRequestId(4294967295u)
                                       << QmdRequestId(1);
    QTest::newRow("zero") << true << QmdRequestId(0) << QmdRequestId(1) << QmdRequestId(2);
}

void TestQmdController::requestIdsCountFromTwoAndWrapToOne()
{
    QFETCH(bool, moveCounter);
    QFETCH(QmdRequestId, counter);
    QFETCH(QmdRequestId, first);
    QFETCH(QmdRequestId, second);

    CountingController controller;
    controller.setModel(m_model);
    if (moveCounter)
        controller.setLastRequestId(counter);
    QCOMPARE(controller.requestSetData(QStringLiteral("a"), 1), first);
    QCOMPARE(controller.requestSetData(QStringLiteral("b"), 2), second);
}

void TestQmdController::explicitRequestIdJoinsOneUndoStep()
{
    const QmdRequestOptions options(Qmd::RequestFlags(), QStringLiteral("Both"), 7);
    QCOMPARE(m_controller->requestSetData(QStringLiteral("a"), 1, QmdIndex(), options), QmdRequestId(7));
    QCOMPARE(m_controller->requestSetData(QStringLiteral("b"), 2, QmdIndex(), options), QmdRequestId(7));
    // The allocator did not move.
    QCOMPARE(m_controller->requestSetData(QStringLiteral("c"), 3), QmdRequestId(2));

    m_controller->requestUndo();
    QCOMPARE(m_controller->undoText(), QStringLiteral("Both"));
    m_controller->requestUndo();
    QVERIFY(!m_controller->canUndo());
    QCOMPARE(m_controller->keys(), QStringList());
}

void TestQmdController::defaultUndoTexts_data()
{
    QTest::addColumn<int>("request");
    QTest::addColumn<QString>("text");

    QTest::newRow("set data by key") << 0 << "Set Data";
    QTest::newRow("set data by hash") << 1 << "Set Data";
    QTest::newRow("set data by index") << 2 << "Set Data";
    QTest::newRow("set root") << 3 << "Set Root";
    QTest::newRow("set data if invalid") << 4 << "Set Data If Invalid";
    QTest::newRow("add data") << 5 << "Add Data";
    QTest::newRow("add type") << 6 << "Add Type";
    QTest::newRow("add types") << 7 << "Add Types";
    QTest::newRow("set type") << 8 << "Set Type";
    QTest::newRow("set types") << 9 << "Set Types";
    QTest::newRow("set root type") << 10 << "Set Root Type";
    QTest::newRow("set type if invalid") << 11 << "Set Type If Invalid";
    QTest::newRow("remove") << 12 << "Remove";
    QTest::newRow("clear") << 13 << "Clear";
}

void TestQmdController::defaultUndoTexts()
{
    QFETCH(int, request);
    QFETCH(QString, text);

    m_controller->requestSetData(QStringLiteral("plain"), 1, QmdIndex(),
                                 QmdRequestOptions(Qmd::NoUndoHistory));
    m_controller->requestSetType(QStringLiteral("ids"), Qmd::IntDict, QmdIndex(),
                                 QmdRequestOptions(Qmd::NoUndoHistory));
    const QmdIndex ids = m_controller->index(QStringLiteral("ids"));
    QVERIFY(!m_controller->canUndo());

    QHash<QmdIndex, QVariant> byIndex;
    byIndex.insert(m_controller->index(QStringLiteral("plain")), 2);
    QHash<QString, Qmd::ContainerType> types;
    types.insert(QStringLiteral("strs"), Qmd::StrDict);

    switch (request) {
    case 0: m_controller->requestSetData(QStringLiteral("k"), 1); break;
    case 1: m_controller->requestSetData(pairs(QStringLiteral("k"), 1)); break;
    case 2: m_controller->requestSetData(byIndex); break;
    case 3: m_controller->requestSetRoot(QVariant(5)); break;
    case 4: m_controller->requestSetDataIfInvalid(QStringLiteral("k"), 1); break;
    case 5: m_controller->requestAddData(QVariant(1), ids); break;
    case 6: m_controller->requestAddType(Qmd::StrDict, ids); break;
    case 7: m_controller->requestAddTypes({Qmd::StrDict, Qmd::IntDict}, ids); break;
    case 8: m_controller->requestSetType(QStringLiteral("k"), Qmd::StrDict); break;
    case 9: m_controller->requestSetTypes(types); break;
    case 10: m_controller->requestSetRootType(Qmd::IntDict); break;
    case 11: m_controller->requestSetTypeIfInvalid(QStringLiteral("k"), Qmd::StrDict); break;
    case 12: m_controller->requestRemove(QStringLiteral("plain")); break;
    case 13: m_controller->requestClear(ids); break;
    }
    QCOMPARE(m_controller->undoText(), text);
}

void TestQmdController::historyRequestsLeaveNoUndoStep()
{
    m_controller->requestSetData(QStringLiteral("a"), 1);
    m_controller->requestSetData(QStringLiteral("b"), 2, QmdIndex(), QmdRequestOptions(QStringLiteral("Second")));
    m_controller->requestUndo();
    m_controller->requestSetUndoRedoLimit(10);
    m_controller->requestMarkAsCleanState();
    m_controller->requestRedo();
    m_controller->requestUndo();

    QCOMPARE(m_controller->undoRedoCount(), 2);
    QCOMPARE(m_controller->undoText(), QStringLiteral("Set Data"));
    QCOMPARE(m_controller->redoText(), QStringLiteral("Second"));
    QCOMPARE(m_controller->undoRedoLimit(), 10);
    QVERIFY(m_controller->isAtCleanState());
}

void TestQmdController::changeSignalsArriveAfterTheRequestInOrder()
{
    QStringList order;
    QmdRequestId changedRid = 0;
    QStringList changedKeys;
    connect(m_controller, qOverload<const QmdIndex &, const QStringList &, QmdRequestId>(&QmdController::itemsChanged),
            this, [&](const QmdIndex &, const QStringList &keys, QmdRequestId rid) {
                order << QStringLiteral("itemsChanged");
                changedKeys = keys;
                changedRid = rid;
            });
    connect(m_controller, qOverload<const QmdIndex &, const QStringList &, QmdRequestId>(&QmdController::itemsRemoved),
            this, [&](const QmdIndex &, const QStringList &, QmdRequestId) { order << QStringLiteral("itemsRemoved"); });
    connect(m_controller, &QmdController::canUndoChanged, this,
            [&](bool, QmdRequestId) { order << QStringLiteral("canUndoChanged"); });
    QSignalSpy finished(m_controller, &QmdController::requestFinished);

    const QmdRequestId rid = m_controller->requestSetData(QStringLiteral("k"), 1);
    QVERIFY(order.isEmpty());
    QVERIFY(finished.isEmpty());

    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(0).value<QmdRequestId>(), rid);
    QCOMPARE(finished.at(0).at(1).toInt(), 0);
    QCOMPARE(order, QStringList({"itemsChanged", "canUndoChanged"}));
    QCOMPARE(changedKeys, QStringList("k"));
    QCOMPARE(changedRid, rid);

    order.clear();
    const QmdRequestId removal = m_controller->requestRemove(QStringLiteral("k"));
    QTRY_COMPARE(finished.size(), 2);
    QCOMPARE(finished.at(1).at(0).value<QmdRequestId>(), removal);
    QCOMPARE(order, QStringList("itemsRemoved"));
}

void TestQmdController::requestWithoutChangeStillFinishes()
{
    m_controller->requestSetData(QStringLiteral("Tempo"), 100);
    QSignalSpy finished(m_controller, &QmdController::requestFinished);
    QSignalSpy changed(m_controller,
                       qOverload<const QmdIndex &, const QStringList &, QmdRequestId>(&QmdController::itemsChanged));
    QTRY_COMPARE(finished.size(), 1);
    changed.clear();

    const QmdRequestId rid = m_controller->requestSetDataIfInvalid(QStringLiteral("Tempo"), 120);
    QTRY_COMPARE(finished.size(), 2);
    QCOMPARE(finished.at(1).at(0).value<QmdRequestId>(), rid);
    QVERIFY(changed.isEmpty());
    QCOMPARE(m_controller->data(QStringLiteral("Tempo")), QVariant(100));
}

void TestQmdController::undoRequestIdListedUntilItsEndIsRelayed()
{
    QList<QmdRequestId> listedWhileFinishing;
    connect(m_controller, &QmdController::requestFinished, this,
            [&](QmdRequestId, int) { listedWhileFinishing = m_controller->undoRedoRequestIds(); });

    const QmdRequestId rid = m_controller->requestUndo(); // nothing to undo
    QCOMPARE(m_controller->undoRedoRequestIds(), QList<QmdRequestId>({rid}));
    QTRY_COMPARE(listedWhileFinishing, QList<QmdRequestId>({rid}));
    QCOMPARE(m_controller->undoRedoRequestIds(), QList<QmdRequestId>());
}

void TestQmdController::readsTakeTheReadLockOnce()
{
    m_controller->requestSetData(QStringLiteral("k"), 1);
    const QmdIndex k = m_controller->index(QStringLiteral("k"));
    const std::function<void()> reads[] = {
        [&] { m_controller->undoRedoLimit(); },
        [&] { QCOMPARE(m_controller->undoRedoCount(), 1); },
        [&] { m_controller->isAtCleanState(); },
        [&] { m_controller->canRedo(); },
        [&] { m_controller->canUndo(); },
        [&] { m_controller->redoText(); },
        [&] { m_controller->undoText(); },
        [&] { QVERIFY(m_controller->isValid(k)); },
        [&] { m_controller->index(QStringLiteral("k")); },
        [&] { m_controller->index(QmdItemId(1)); },
        [&] { m_controller->parent(k); },
        [&] { m_controller->hasChildren(); },
        [&] { m_controller->childIndexes(); },
        [&] { m_controller->type(k); },
        [&] { m_controller->data(k); },
        [&] { QCOMPARE(m_controller->data(QStringLiteral("k")), QVariant(1)); },
        [&] { m_controller->data(QmdItemId(1)); },
        [&] { m_controller->childData(); },
        [&] { m_controller->ids(); },
        [&] { m_controller->keys(); },
        [&] { m_controller->exists(k); },
        [&] { m_controller->undoRedoRequestIds(); },
    };
    int index = 0;
    for (const auto &read : reads) {
        m_controller->readLocks = m_controller->readUnlocks = 0;
        read();
        QVERIFY2(m_controller->readLocks == 1 && m_controller->readUnlocks == 1,
                 qPrintable(QStringLiteral("read %1").arg(index)));
        ++index;
    }
}

void TestQmdController::failingChangeStillEndsTheRequest()
{
    ThrowingModel model(Qmd::StrDict);
    CountingController controller;
    controller.setModel(&model);
    QSignalSpy finished(&controller, &QmdController::requestFinished);
    controller.requestLocks = controller.requestUnlocks = 0;

    QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                             controller.requestSetData(pairs(QStringLiteral("k"), 1), QmdIndex()));
    QCOMPARE(controller.requestLocks, 1);
    QCOMPARE(controller.requestUnlocks, 1);
    QCOMPARE(model.requestId(), QmdRequestId(0));
    QTRY_COMPARE(finished.size(), 1);
}

void TestQmdController::nullModelIsHarmless()
{
    QSignalSpy reset(m_controller, &QmdController::modelReset);
    m_controller->setModel(nullptr);
    QCOMPARE(reset.size(), 1);
    QVERIFY(!m_controller->model());

    QVERIFY(m_controller->requestSetData(QStringLiteral("k"), 1) != 0);
    QVERIFY(m_controller->requestUndo() != 0);
    QCOMPARE(m_controller->keys(), QStringList());
    QCOMPARE(m_controller->data(QStringLiteral("k")), QVariant());
    QVERIFY(!m_controller->canUndo());
    QCOMPARE(m_controller->requestLocks, m_controller->requestUnlocks);
}

void TestQmdController::secondModelStopsRelaysOfTheFirst()
{
    QSignalSpy changed(m_controller,
                       qOverload<const QmdIndex &, const QStringList &, QmdRequestId>(&QmdController::itemsChanged));
    QSignalSpy finished(m_controller, &QmdController::requestFinished);

    m_controller->requestSetData(QStringLiteral("old"), 1); // queued from the first model
    QmdMemModel second(Qmd::StrDict);
    m_controller->setModel(&second);
    m_model->beginRequest(99, Qmd::RequestFlags(), QString());
    m_model->setData(pairs(QStringLiteral("later"), 2), QmdIndex());
    m_model->endRequest();

    const QmdRequestId rid = m_controller->requestSetData(QStringLiteral("new"), 3);
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(0).value<QmdRequestId>(), rid);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.at(0).at(1).toStringList(), QStringList("new"));
    QCOMPARE(m_controller->keys(), QStringList("new"));
    m_controller->setModel(nullptr);
}

void TestQmdController::staleParentNeverReachesTheRoot()
{
    m_controller->requestSetType(QStringLiteral("box"), Qmd::StrDict);
    const QmdIndex box = m_controller->index(QStringLiteral("box"));
    m_controller->requestSetData(QStringLiteral("inner"), 1, box);
    const QmdIndex inner = m_controller->index(QStringLiteral("inner"), box);
    m_controller->requestRemove(QStringLiteral("box"), QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    m_controller->requestClear(QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    m_controller->requestSetRootType(Qmd::StrDict);
    QVERIFY(!inner.isValid());

    m_controller->requestSetData(QStringLiteral("k"), 1, inner);
    m_controller->requestSetData(inner, 2);
    m_controller->requestRemove(inner);
    QCOMPARE(m_controller->keys(), QStringList());
    QCOMPARE(m_controller->type(), Qmd::StrDict);
}

QTEST_GUILESS_MAIN(TestQmdController)
#include "tst_qmdcontroller.moc"
