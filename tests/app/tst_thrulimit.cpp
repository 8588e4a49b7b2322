#include "thrulimit.h"

#include <QtTest>

// Messages passed on through thru: what a player sends passes, a loop is cut
// until the input is quiet.
class TestThruLimit : public QObject
{
    Q_OBJECT

private slots:
    void admits_data();
    void admits();
    void quietInputLiftsTheCut();
};

namespace {
constexpr quint64 Ms = 1000000;
} // namespace

void TestThruLimit::admits_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<quint64>("spacing");
    QTest::addColumn<int>("admitted");
    QTest::addColumn<bool>("cut");

    // Two hands' worth of notes for ten seconds.
    QTest::newRow("player") << 400 << 25 * Ms << 400 << false;
    // Exactly the bound within one second, then the next second's share.
    QTest::newRow("bound") << 2 * ThruLimit::MaxPerSecond << Ms * 1000 / ThruLimit::MaxPerSecond
                           << 2 * ThruLimit::MaxPerSecond << false;
    // A note going round every millisecond: the bound, then nothing.
    QTest::newRow("loop") << 5000 << Ms << ThruLimit::MaxPerSecond << true;
}

void TestThruLimit::admits()
{
    QFETCH(int, count);
    QFETCH(quint64, spacing);
    QFETCH(int, admitted);
    QFETCH(bool, cut);

    ThruLimit limit;
    int passed = 0;
    quint64 now = 1000 * Ms;
    for (int i = 0; i < count; ++i, now += spacing)
        passed += limit.admit(now) ? 1 : 0;
    QCOMPARE(passed, admitted);
    QCOMPARE(limit.hasCut(), cut);
}

void TestThruLimit::quietInputLiftsTheCut()
{
    ThruLimit limit;
    quint64 now = 1000 * Ms;
    for (int i = 0; i <= ThruLimit::MaxPerSecond; ++i, now += Ms)
        limit.admit(now);
    QVERIFY(!limit.admit(now));
    // Still circulating: stays cut, however long it runs.
    for (int i = 0; i < 3000; ++i, now += Ms)
        QVERIFY(!limit.admit(now));
    // A quiet second, and thru passes messages on again.
    now += ThruLimit::QuietNanoseconds;
    QVERIFY(limit.admit(now));
    QVERIFY(limit.admit(now + Ms));
}

QTEST_APPLESS_MAIN(TestThruLimit)
#include "tst_thrulimit.moc"
