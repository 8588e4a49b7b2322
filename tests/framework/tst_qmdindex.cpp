#include "qmdindex.h"
#include "qmdmemmodel.h"
#include "qmdobserver.h"
#include "qmdrequestoptions.h"
#include "tickpos.h"

#include <QtTest>

class tst_QmdIndex : public QObject
{
    Q_OBJECT

private slots:
    void defaultIndexIsRootReference();
    void equalityAndHash_data();
    void equalityAndHash();
    void modelIssuedIndexes();
    void requestOptions_data();
    void requestOptions();
    void tickPosArithmeticAndVariant();
    void observerForgetsDestroyedController();
    void metaTypesRegisteredByModel();
};

void tst_QmdIndex::defaultIndexIsRootReference()
{
    const QmdIndex index;
    QVERIFY(!index.isValid());
    QCOMPARE(index, QmdIndex());
    QCOMPARE(qHash(index), size_t(0));
    QCOMPARE(index.model(), nullptr);
    QCOMPARE(index.internalPointer(), nullptr);
}

void tst_QmdIndex::equalityAndHash_data()
{
    QTest::addColumn<QmdIndex>("a");
    QTest::addColumn<QmdIndex>("b");
    QTest::addColumn<bool>("equal");
    QTest::addColumn<bool>("sameHash");

    int parentA = 0;
    int parentB = 0;
    const auto *model = reinterpret_cast<const QmdModel *>(&parentA);
    QTest::newRow("same id, different parents")
        << QmdIndex(5u, &parentA, model) << QmdIndex(5u, &parentB, model) << false << true;
    QTest::newRow("same id and parent") << QmdIndex(5u, &parentA, model) << QmdIndex(5u, &parentA, model) << true
                                        << true;
    QTest::newRow("internal id differs")
        << QmdIndex(5u, quint64(1), model) << QmdIndex(5u, quint64(2), model) << false << true;
    QTest::newRow("model differs") << QmdIndex(QStringLiteral("k"), &parentA, model)
                                   << QmdIndex(QStringLiteral("k"), &parentA, nullptr) << false << true;
    QTest::newRow("key \"0\" is not id 0")
        << QmdIndex(QStringLiteral("0"), &parentA, model) << QmdIndex() << false << false;
}

void tst_QmdIndex::equalityAndHash()
{
    QFETCH(QmdIndex, a);
    QFETCH(QmdIndex, b);
    QFETCH(bool, equal);
    QFETCH(bool, sameHash);
    QCOMPARE(a == b, equal);
    QCOMPARE(a != b, !equal);
    QCOMPARE(qHash(a) == qHash(b), sameHash);
    if (!a.key().isEmpty())
        QCOMPARE(qHash(a, 7), qHash(a.key(), 7));
    else
        QCOMPARE(qHash(a, 7), qHash(a.id(), 7));
}

void tst_QmdIndex::modelIssuedIndexes()
{
    QmdMemModel model(Qmd::StrDict);
    model.setTypes(QHash<QString, Qmd::ContainerType>{{"Elements", Qmd::IntDict}}, QmdIndex());
    const QmdIndex elements = model.index(QStringLiteral("Elements"), QmdIndex());
    QVERIFY(elements.isValid());
    QCOMPARE(elements.key(), QStringLiteral("Elements"));
    QCOMPARE(elements.id(), QmdItemId(0));
    QCOMPARE(elements.model(), &model);
    QVERIFY(elements.internalPointer());

    // The same entry looked up twice gives equal indexes usable as hash keys.
    QHash<QmdIndex, int> hash;
    hash.insert(elements, 1);
    QCOMPARE(hash.value(model.index(QStringLiteral("Elements"), QmdIndex())), 1);

    // An index of another model is not valid for this one.
    QmdMemModel other(Qmd::StrDict);
    QVERIFY(!other.isValid(elements));
}

void tst_QmdIndex::requestOptions_data()
{
    QTest::addColumn<QmdRequestOptions>("options");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QmdRequestId>("rid");

    QTest::newRow("text") << QmdRequestOptions(QStringLiteral("Node")) << 0 << "Node" << QmdRequestId(0);
    QTest::newRow("flags") << QmdRequestOptions(Qmd::NoUndoHistory) << 1 << "" << QmdRequestId(0);
    QTest::newRow("flags, text") << QmdRequestOptions(Qmd::NoUndoHistory, QStringLiteral("Edge")) << 1 << "Edge"
                                 << QmdRequestId(0);
    QTest::newRow("flags, text, rid") << QmdRequestOptions(Qmd::RequestFlags(), QStringLiteral("Edge"), 7) << 0
                                      << "Edge" << QmdRequestId(7);
    QTest::newRow("flags, rid") << QmdRequestOptions(Qmd::NoUndoHistory, QmdRequestId(9)) << 1 << ""
                                << QmdRequestId(9);
}

void tst_QmdIndex::requestOptions()
{
    QFETCH(QmdRequestOptions, options);
    QFETCH(int, flags);
    QFETCH(QString, text);
    QFETCH(QmdRequestId, rid);
    QCOMPARE(int(options.flags), flags);
    QCOMPARE(options.text, text);
    QCOMPARE(options.rid, rid);
}

void tst_QmdIndex::tickPosArithmeticAndVariant()
{
    const QmdVelka::TickPos a(665280, -1330560);
    const QmdVelka::TickPos b(-5, 9000000000LL);
    QCOMPARE(a + b, QmdVelka::TickPos(665275, 9000000000LL - 1330560));
    QCOMPARE(a - b, QmdVelka::TickPos(665285, -1330560 - 9000000000LL));
    QVERIFY(a != b);

    const QVariant va = a;
    QCOMPARE(QString::fromLatin1(va.typeName()), QStringLiteral("QmdVelka::TickPos"));
    QCOMPARE(va.value<QmdVelka::TickPos>(), a);
    // Variants holding positions compare by value, not by identity.
    QVERIFY(va == QVariant(QmdVelka::TickPos(665280, -1330560)));
    QVERIFY(va != QVariant(b));
}

void tst_QmdIndex::observerForgetsDestroyedController()
{
    QmdObserver<QObject> observer;
    QCOMPARE(observer.controller(), nullptr);
    auto *controller = new QObject;
    observer.setController(controller);
    QCOMPARE(observer.controller(), controller);
    delete controller;
    QCOMPARE(observer.controller(), nullptr);
}

void tst_QmdIndex::metaTypesRegisteredByModel()
{
    QmdMemModel model;
    for (const char *name : {"QmdIndex", "QmdItemIdList", "QmdRequestId", "Qmd::RequestFlags",
                             "QmdMemModel::SpecialItemStar"})
        QVERIFY2(QMetaType::fromName(name).isValid(), name);
}

QTEST_GUILESS_MAIN(tst_QmdIndex)

#include "tst_qmdindex.moc"
