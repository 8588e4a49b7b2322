#include "qwpcombobox.h"

#include <QtTest>

class TestQwpComboBox : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void setCurrentKey_data();
    void setCurrentKey();
    void keyItemsCarryTheirText();
};

void TestQwpComboBox::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("QObject::connect|No such (slot|signal)")));
}

void TestQwpComboBox::setCurrentKey_data()
{
    QTest::addColumn<QVariantList>("keys");
    QTest::addColumn<QVariant>("key");
    QTest::addColumn<int>("index");

    const QVariantList texts{QStringLiteral("Abc"), QStringLiteral("abc2")};
    QTest::newRow("case differs") << texts << QVariant(QStringLiteral("ABC")) << -1;
    QTest::newRow("prefix of a key") << texts << QVariant(QStringLiteral("abc")) << -1;
    QTest::newRow("exact text") << texts << QVariant(QStringLiteral("abc2")) << 1;

    const QVariantList ids{QVariant(3u), QVariant(7u)};
    QTest::newRow("int finds uint") << ids << QVariant(int(7)) << 1;
    QTest::newRow("uint finds uint") << ids << QVariant(7u) << 1;
    QTest::newRow("qulonglong finds uint") << ids << QVariant(qulonglong(7)) << 1;
    QTest::newRow("uint finds int") << QVariantList{QVariant(3), QVariant(7)} << QVariant(7u) << 1;
    QTest::newRow("string never a number") << ids << QVariant(QStringLiteral("7")) << -1;
    QTest::newRow("number never a string")
        << QVariantList{QStringLiteral("3"), QStringLiteral("7")} << QVariant(7) << -1;
    QTest::newRow("negative never unsigned")
        << QVariantList{QVariant(0u), QVariant(4294967295u)} << QVariant(-1) << -1;
    QTest::newRow("absent number") << ids << QVariant(5) << -1;
    QTest::newRow("first of equal keys") << QVariantList{QVariant(7), QVariant(7u)} << QVariant(7) << 0;

    // An item added without a key must not be taken for "no key".
    QTest::newRow("invalid key") << QVariantList{QVariant(), QVariant(1)} << QVariant() << -1;
}

void TestQwpComboBox::setCurrentKey()
{
    QFETCH(QVariantList, keys);
    QFETCH(QVariant, key);
    QFETCH(int, index);

    QwpComboBox combo;
    for (const QVariant &itemKey : keys)
        combo.addItem(itemKey.toString(), itemKey);
    combo.setCurrentIndex(combo.count() - 1);

    combo.setCurrentKey(key);
    QCOMPARE(combo.currentIndex(), index);
    if (index < 0)
        QVERIFY(!combo.currentKey().isValid());
    else
        QCOMPARE(combo.currentKey(), keys.at(index));

    // Bindings reach the key through the meta-object.
    combo.setCurrentIndex(combo.count() - 1);
    QVERIFY(combo.setProperty("currentKey", key));
    QCOMPARE(combo.currentIndex(), index);
}

void TestQwpComboBox::keyItemsCarryTheirText()
{
    QwpComboBox combo;
    combo.addKeyItem(QStringLiteral("Out 1"));
    combo.addKeyItems({QStringLiteral("Out 2"), QStringLiteral("Out 10")});
    QCOMPARE(combo.count(), 3);
    QCOMPARE(combo.itemText(2), QStringLiteral("Out 10"));
    QCOMPARE(combo.keyAt(2), QVariant(QStringLiteral("Out 10")));
    QVERIFY(!combo.keyAt(3).isValid());

    // Choosing an item, as a user does, changes the current key.
    combo.show();
    QVERIFY(QTest::qWaitForWindowExposed(&combo));
    combo.setFocus();
    QTest::keyClick(&combo, Qt::Key_Down);
    QCOMPARE(combo.currentKey(), QVariant(QStringLiteral("Out 2")));
}

QTEST_MAIN(TestQwpComboBox)
#include "tst_qwpcombobox.moc"
