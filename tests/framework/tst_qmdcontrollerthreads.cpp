#include "qmdcontroller.h"
#include "qmdmemmodel.h"
#include "qmdsyncronizedcontroller.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>
#include <vector>

namespace {

typedef QmdSyncronizedController<QmdController> SyncController;

QString keyOf(int thread, int i)
{
    return QStringLiteral("t%1-%2").arg(thread).arg(i, 4, 10, QLatin1Char('0'));
}

} // namespace

class TestQmdControllerThreads : public QObject
{
    Q_OBJECT

private slots:
    void workerRequestIsAnnouncedOnTheControllerThread();
    void concurrentRequestsGetDistinctIdsAndAllLand();
    void readersSeeWholeRequests();
    void writeBacksAreStoredAtOnceAndAnnouncedTogether();
    void writeBackAnnouncesEachContainerOnce_data();
    void writeBackAnnouncesEachContainerOnce();
    void writeBacksOfADetachedModelAreNotAnnounced();
};

void TestQmdControllerThreads::workerRequestIsAnnouncedOnTheControllerThread()
{
    QmdMemModel model(Qmd::StrDict);
    SyncController controller;
    controller.setModel(&model);

    QStringList order;
    QList<QThread *> threads;
    connect(&controller, qOverload<const QmdIndex &, const QStringList &, QmdRequestId>(&QmdController::itemsChanged),
            this, [&](const QmdIndex &, const QStringList &, QmdRequestId) {
                order << QStringLiteral("itemsChanged");
                threads << QThread::currentThread();
            }, Qt::DirectConnection);
    connect(&controller, &QmdController::requestFinished, this, [&](QmdRequestId, int) {
        order << QStringLiteral("requestFinished");
        threads << QThread::currentThread();
    }, Qt::DirectConnection);
    QSignalSpy finished(&controller, &QmdController::requestFinished);

    QmdRequestId rid = 0;
    std::thread worker([&] { rid = controller.requestSetData(QStringLiteral("Tempo"), 140); });
    worker.join();
    QVERIFY(rid != 0);
    QCOMPARE(controller.data(QStringLiteral("Tempo")), QVariant(140));

    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(0).value<QmdRequestId>(), rid);
    QCOMPARE(order, QStringList({"itemsChanged", "requestFinished"}));
    for (QThread *thread : std::as_const(threads))
        QCOMPARE(thread, QThread::currentThread());
}

void TestQmdControllerThreads::concurrentRequestsGetDistinctIdsAndAllLand()
{
    const int perThread = 1000;
    QmdMemModel model(Qmd::StrDict);
    SyncController controller;
    controller.setModel(&model);
    QSignalSpy finished(&controller, &QmdController::requestFinished);

    QList<QmdRequestId> ids[2];
    std::atomic<int> running(2);
    std::vector<std::thread> workers;
    for (int t = 0; t < 2; ++t) {
        workers.emplace_back([&controller, &ids, &running, t, perThread] {
            for (int i = 0; i < perThread; ++i)
                ids[t] << controller.requestSetData(keyOf(t, i), i);
            --running;
        });
    }
    // The controller's thread reads while the workers write.
    while (running > 0) {
        const QStringList keys = controller.keys();
        QVERIFY(keys.size() <= 2 * perThread);
        QCoreApplication::processEvents();
    }
    for (auto &worker : workers)
        worker.join();

    QSet<QmdRequestId> distinct;
    for (const auto &list : ids)
        distinct.unite(QSet<QmdRequestId>(list.cbegin(), list.cend()));
    QCOMPARE(distinct.size(), 2 * perThread);
    QVERIFY(!distinct.contains(0));

    QCOMPARE(controller.keys().size(), 2 * perThread);
    for (int t = 0; t < 2; ++t) {
        for (int i = 0; i < perThread; i += 97)
            QCOMPARE(controller.data(keyOf(t, i)), QVariant(i));
    }
    QTRY_COMPARE(finished.size(), 2 * perThread);
    QSet<QmdRequestId> announced;
    for (const auto &args : std::as_const(finished))
        announced.insert(args.at(0).value<QmdRequestId>());
    QCOMPARE(announced, distinct);
    QCOMPARE(model.undoRedoCount(), 2 * perThread);
}

void TestQmdControllerThreads::readersSeeWholeRequests()
{
    // Every request writes "a" and "b" together; a reader that brackets its
    // two reads with the read lock never sees them apart.
    QmdMemModel model(Qmd::StrDict);
    SyncController controller;
    controller.setModel(&model);
    std::atomic<bool> torn(false);
    std::atomic<bool> writing(true);

    std::thread writer([&controller, &writing] {
        for (int i = 0; i < 500; ++i) {
            QHash<QString, QVariant> both;
            both.insert(QStringLiteral("a"), i);
            both.insert(QStringLiteral("b"), i);
            controller.requestSetData(both);
        }
        writing = false;
    });
    std::thread reader([&controller, &torn, &writing] {
        while (writing) {
            controller.lockForDirectRead();
            const QVariant a = controller.data(QStringLiteral("a"));
            const QVariant b = controller.data(QStringLiteral("b"));
            controller.unlockForDirectRead();
            if (a != b)
                torn = true;
        }
    });
    while (writing)
        QCoreApplication::processEvents();
    writer.join();
    reader.join();
    QVERIFY(!torn);
    QCOMPARE(controller.data(QStringLiteral("a")), QVariant(499));
}

namespace {

// What the controller announced, in order, with the thread it was announced
// on checked against the test's own.
struct Announcements
{
    explicit Announcements(QmdController *controller)
    {
        QObject::connect(controller, qOverload<const QmdIndex &, const QStringList &, QmdRequestId>(
                                         &QmdController::itemsChanged),
                         controller, [this](const QmdIndex &parent, const QStringList &keys, QmdRequestId rid) {
                             changed.append({parent, keys, rid});
                             offThread = offThread || QThread::currentThread() != QCoreApplication::instance()->thread();
                         });
        QObject::connect(controller, &QmdController::requestFinished, controller, [this](QmdRequestId rid, int) {
            finished.append(rid);
        });
    }
    struct Change
    {
        QmdIndex parent;
        QStringList keys;
        QmdRequestId rid;
    };
    QList<Change> changed;
    QList<QmdRequestId> finished;
    bool offThread = false;
};

// A document of string-keyed containers "a", "b" and "c" under the root.
void addContainers(SyncController *controller)
{
    QHash<QString, Qmd::ContainerType> types;
    for (const char *key : {"a", "b", "c"})
        types.insert(QString::fromLatin1(key), Qmd::StrDict);
    controller->requestSetTypes(types);
}

} // namespace

void TestQmdControllerThreads::writeBacksAreStoredAtOnceAndAnnouncedTogether()
{
    const int perThread = 500;
    const QStringList keys{QStringLiteral("Count"), QStringLiteral("Position")};
    QmdMemModel model(Qmd::StrDict);
    SyncController controller;
    controller.setModel(&model);
    QSignalSpy earlier(&controller, &QmdController::requestFinished);
    addContainers(&controller);
    QTRY_COMPARE(earlier.size(), 1);
    const int stepsBefore = controller.undoRedoCount();
    Announcements announced(&controller);

    const QmdIndex targets[2] = {controller.index(QStringLiteral("a")), controller.index(QStringLiteral("b"))};
    std::vector<std::thread> workers;
    for (int t = 0; t < 2; ++t) {
        workers.emplace_back([&controller, &keys, &targets, t, perThread] {
            for (int i = 1; i <= perThread; ++i)
                controller.writeBack(keys, {i, t * 1000 + i}, targets[t]);
        });
    }
    for (auto &worker : workers)
        worker.join();

    // Stored at once, outside the undo history, and not announced until the
    // event loop turns.
    QCOMPARE(controller.values(keys, targets[0]), QList<QVariant>({perThread, perThread}));
    QCOMPARE(controller.values(keys, targets[1]), QList<QVariant>({perThread, 1000 + perThread}));
    QCOMPARE(controller.undoRedoCount(), stepsBefore);
    QVERIFY(announced.changed.isEmpty());

    QTRY_COMPARE(announced.finished.size(), 1);
    QCOMPARE(announced.changed.size(), 2);
    QSet<QmdIndex> parents;
    for (const auto &change : std::as_const(announced.changed)) {
        parents.insert(change.parent);
        QCOMPARE(change.keys, keys);
        QCOMPARE(change.rid, announced.finished.first());
    }
    QCOMPARE(parents, QSet<QmdIndex>({targets[0], targets[1]}));
    QVERIFY(!announced.offThread);

    // A later write-back is announced anew.
    controller.writeBack({QStringLiteral("Count")}, {7}, targets[0]);
    QTRY_COMPARE(announced.finished.size(), 2);
    QCOMPARE(announced.changed.size(), 3);
    QCOMPARE(announced.changed.last().keys, QStringList{QStringLiteral("Count")});
    QVERIFY(announced.finished.at(0) != announced.finished.at(1));
}

void TestQmdControllerThreads::writeBackAnnouncesEachContainerOnce_data()
{
    // Each write: the container written to ("gone" for one removed before
    // the write) and key=value pairs ("sub" holds a container).
    QTest::addColumn<QStringList>("writes");
    QTest::addColumn<QStringList>("announcedA");
    QTest::addColumn<QVariantList>("valuesOfXY");

    QTest::newRow("same keys twice") << QStringList{"a x=1 y=2", "a x=3 y=4"} << QStringList{"x", "y"}
                                     << QVariantList{3, 4};
    QTest::newRow("keys merged, sorted") << QStringList{"a y=1", "a x=2 y=3", "a w=5"}
                                         << QStringList{"w", "x", "y"} << QVariantList{2, 3};
    QTest::newRow("removed container") << QStringList{"gone x=1", "a x=2"} << QStringList{"x"}
                                       << QVariantList{2, QVariant()};
    QTest::newRow("a key holding a container is left alone")
        << QStringList{"a sub=1 x=4"} << QStringList{"sub", "x"} << QVariantList{4, QVariant()};
}

void TestQmdControllerThreads::writeBackAnnouncesEachContainerOnce()
{
    QFETCH(QStringList, writes);
    QFETCH(QStringList, announcedA);
    QFETCH(QVariantList, valuesOfXY);

    QmdMemModel model(Qmd::StrDict);
    SyncController controller;
    controller.setModel(&model);
    QSignalSpy earlier(&controller, &QmdController::requestFinished);
    addContainers(&controller);
    const QmdIndex a = controller.index(QStringLiteral("a"));
    controller.requestSetType(QStringLiteral("sub"), Qmd::StrDict, a);
    const QmdIndex gone = controller.index(QStringLiteral("c"));
    controller.requestRemove(QStringLiteral("c"));
    QTRY_COMPARE(earlier.size(), 3);
    Announcements announced(&controller);

    for (const QString &write : std::as_const(writes)) {
        QStringList parts = write.split(QLatin1Char(' '));
        const QmdIndex parent = parts.takeFirst() == QLatin1String("gone") ? gone : a;
        QStringList keys;
        QList<QVariant> values;
        for (const QString &pair : std::as_const(parts)) {
            keys << pair.section(QLatin1Char('='), 0, 0);
            values << pair.section(QLatin1Char('='), 1).toInt();
        }
        controller.writeBack(keys, values, parent);
    }

    QTRY_COMPARE(announced.finished.size(), 1);
    QCOMPARE(announced.changed.size(), 1);
    QCOMPARE(announced.changed.first().parent, a);
    QCOMPARE(announced.changed.first().keys, announcedA);
    QCOMPARE(controller.values({QStringLiteral("x"), QStringLiteral("y")}, a), valuesOfXY);
    QCOMPARE(controller.type(controller.index(QStringLiteral("sub"), a)), Qmd::StrDict);
    QVERIFY(!controller.index(QStringLiteral("c")).isValid());
}

void TestQmdControllerThreads::writeBacksOfADetachedModelAreNotAnnounced()
{
    QmdMemModel first(Qmd::StrDict);
    QmdMemModel second(Qmd::StrDict);
    SyncController controller;
    controller.setModel(&first);
    QSignalSpy earlier(&controller, &QmdController::requestFinished);
    controller.requestSetType(QStringLiteral("a"), Qmd::StrDict);
    QTRY_COMPARE(earlier.size(), 1);
    Announcements announced(&controller);

    controller.writeBack({QStringLiteral("x")}, {1}, controller.index(QStringLiteral("a")));
    controller.setModel(&second);
    controller.requestSetData(QStringLiteral("y"), 2);

    // The request on the new model is announced; the old model's write-back
    // is not.
    QTRY_COMPARE(announced.finished.size(), 1);
    QCOMPARE(announced.changed.size(), 1);
    QCOMPARE(announced.changed.first().keys, QStringList{QStringLiteral("y")});
}

QTEST_GUILESS_MAIN(TestQmdControllerThreads)
#include "tst_qmdcontrollerthreads.moc"
