#include "canvasfixture.h"
#include "graphicselementitem.h"
#include "recordingitems.h"

#include <QGraphicsEllipseItem>
#include <QGraphicsPathItem>
#include <QGraphicsPolygonItem>
#include <QGraphicsTextItem>

using QmdVelka::TickPos;

class TestElementItem : public QObject
{
    Q_OBJECT

private slots:
    void everyGraphicsClassTakesTheCommonKeys();
    void previewOfEveryGraphicsClass();
    void removedKeysLeaveTheItemUsable();
};

namespace {

constexpr qint64 P = CanvasFixture::P;

// Binds an item of Qt class T to the element and lets it read its keys.
template <class T>
void checkCommonKeys(CanvasFixture &f, QmdItemId element)
{
    GraphicsElementItem<T> item(element, f.controller(), f.scene());
    QCOMPARE(item.scene(), f.scene());
    QCOMPARE(static_cast<ElementItem &>(item).graphicsItem(), static_cast<QGraphicsItem *>(&item));
    QVERIFY(item.flags() & QGraphicsItem::ItemIsSelectable);
    QCOMPARE(item.cacheMode(), QGraphicsItem::NoCache);
    item.onElementDataChangedOrRemoved(element, {QStringLiteral("TickPos"), QStringLiteral("IsHidden")}, 1);
    QCOMPARE(item.pos(), QPointF(160, -80));
    QVERIFY(item.isVisible());
    QVERIFY(item.isSynced());
    f.set(element, QStringLiteral("IsHidden"), true);
    item.onElementDataChangedOrRemoved(element, {QStringLiteral("IsHidden")}, 2);
    QVERIFY(!item.isVisible());
    f.set(element, QStringLiteral("IsHidden"), false);
}

template <class T>
void checkPreview(CanvasFixture &f)
{
    auto *preview = new GraphicsElementItem<T>(0, nullptr, f.scene());
    QCOMPARE(preview->id(), QmdItemId(0));
    QVERIFY(!preview->controller());
    QCOMPARE(preview->scene(), f.scene());
    preview->setPos(3, 4);
    preview->onElementDataChangedOrRemoved(0, {QStringLiteral("TickPos")}, 1);
    QCOMPARE(preview->pos(), QPointF(3, 4));
    delete preview;
}

} // namespace

void TestElementItem::everyGraphicsClassTakesTheCommonKeys()
{
    CanvasFixture f;
    const QmdItemId node = f.addNode(TickPos(P, -P / 2));
    checkCommonKeys<QGraphicsPathItem>(f, node);
    checkCommonKeys<QGraphicsEllipseItem>(f, node);
    checkCommonKeys<QGraphicsPolygonItem>(f, node);
    checkCommonKeys<QGraphicsTextItem>(f, node);
}

void TestElementItem::previewOfEveryGraphicsClass()
{
    CanvasFixture f;
    checkPreview<QGraphicsPathItem>(f);
    checkPreview<QGraphicsEllipseItem>(f);
    checkPreview<QGraphicsPolygonItem>(f);
    checkPreview<QGraphicsTextItem>(f);
}

void TestElementItem::removedKeysLeaveTheItemUsable()
{
    CanvasFixture f(new RecordingScene);
    const QmdItemId node = f.addNode(TickPos(P, P));
    auto *item = f.itemFor<RecordingItem>(node);
    f.controller()->requestRemove(QStringList{QStringLiteral("TickPos"), QStringLiteral("IsHidden")},
                                  f.controller()->elementIndex(node));
    f.settle();
    QCOMPARE(item->graphicsItem()->pos(), QPointF(0, 0));
    QVERIFY(item->graphicsItem()->isVisible());
    QVERIFY(item->isSynced());

    // An element gone from the document reads as nothing.
    f.remove(node);
    RecordingNodeItem orphan(node, f.controller(), f.scene());
    QCOMPARE(orphan.elementType(), 0);
    orphan.onElementDataChangedOrRemoved(node, {QStringLiteral("TickPos")}, 3);
    QCOMPARE(orphan.pos(), QPointF(0, 0));
}

CANVAS_TEST_MAIN(TestElementItem)
#include "tst_elementitem.moc"
