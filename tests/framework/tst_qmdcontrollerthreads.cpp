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

QTEST_GUILESS_MAIN(TestQmdControllerThreads)
#include "tst_qmdcontrollerthreads.moc"
