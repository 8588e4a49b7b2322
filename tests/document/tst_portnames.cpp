#include "portnames.h"

#include <QtTest>

#include <algorithm>

class TestPortNames : public QObject
{
    Q_OBJECT

private slots:
    void order_data();
    void order();
    void sortsListsNumerically();
};

void TestPortNames::order_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("aBeforeB");
    QTest::addColumn<bool>("bBeforeA");
    QTest::newRow("2 before 10") << "Out 2" << "Out 10" << true << false;
    QTest::newRow("prefix decides first") << "A 10" << "B 2" << true << false;
    QTest::newRow("no digits reads as 0") << "Out " << "Out 1" << true << false;
    QTest::newRow("equal names") << "Out 3" << "Out 3" << false << false;
    QTest::newRow("leading zeros equal") << "Out 03" << "Out 3" << false << false;
    QTest::newRow("only the trailing run counts") << "Port 1-9" << "Port 1-10" << true << false;
    QTest::newRow("digits only") << "7" << "12" << true << false;
    QTest::newRow("ALSA client numbers") << "Synth 14:0" << "Synth 14:2" << true << false;
    QTest::newRow("number beyond 64 bits") << "Out 99999999999999999999999" << "Out 1"
                                           << true << false;
    QTest::newRow("empty names") << "" << "" << false << false;
}

void TestPortNames::order()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, aBeforeB);
    QFETCH(bool, bBeforeA);
    QCOMPARE(portNameLessThan(a, b), aBeforeB);
    QCOMPARE(portNameLessThan(b, a), bBeforeA);
}

void TestPortNames::sortsListsNumerically()
{
    QStringList names{"Out 10", "In", "Out 2", "Out 1", "Out"};
    std::sort(names.begin(), names.end(), portNameLessThan);
    QCOMPARE(names, (QStringList{"In", "Out", "Out 1", "Out 2", "Out 10"}));
}

QTEST_APPLESS_MAIN(TestPortNames)
#include "tst_portnames.moc"
