#include "canvasfixture.h"
#include "elementindexes.h"

using QmdVelka::TickPos;

class TestElementIndexes : public QObject
{
    Q_OBJECT

private slots:
    void onlyWhatExistsGetsAnIndex();
};

void TestElementIndexes::onlyWhatExistsGetsAnIndex()
{
    CanvasFixture f;
    QmdVelkaController *c = f.controller();
    const QmdItemId node = f.addNode(TickPos(CanvasFixture::P, 0));

    const std::optional<QmdIndex> record = existingElementIndex(c, node);
    QVERIFY(record);
    QCOMPARE(*record, c->elementIndex(node));
    const std::optional<QmdIndex> pos = existingElementEntry(c, node, QStringLiteral("TickPos"));
    QVERIFY(pos);
    QCOMPARE(c->data(*pos).value<TickPos>(), TickPos(CanvasFixture::P, 0));

    // Nothing for a missing key, id, element or controller: their lookups
    // would name the root.
    QVERIFY(!existingElementEntry(c, node, QStringLiteral("NoSuchKey")));
    QVERIFY(!existingElementEntry(c, node, QString()));
    QVERIFY(!existingElementIndex(c, 0));
    QVERIFY(!existingElementIndex(c, node + 100));
    QVERIFY(!existingElementIndex(nullptr, node));
    QVERIFY(!existingElementEntry(nullptr, node, QStringLiteral("TickPos")));
    // Root keys are not element keys.
    QVERIFY(!existingElementEntry(c, node, QStringLiteral("Elements")));

    f.remove(node);
    QVERIFY(!existingElementIndex(c, node));
    QVERIFY(!existingElementEntry(c, node, QStringLiteral("TickPos")));
}

CANVAS_TEST_MAIN(TestElementIndexes)
#include "tst_elementindexes.moc"
