#include "canvasfixture.h"
#include "recordingitems.h"
#include "stylepresets.h"

#include <QGraphicsRectItem>
#include <QSignalSpy>
#include <QTimer>

using QmdVelka::TickPos;

namespace {

constexpr qint64 P = CanvasFixture::P;

RecordingScene *recordingScene(const CanvasFixture &f)
{
    return static_cast<RecordingScene *>(f.scene());
}

} // namespace

class TestNetworkScene : public QObject
{
    Q_OBJECT

private slots:
    void itemsOfEveryKind();
    void isHiddenHidesTheItemAndItsChildren();
    void itemsTakeOnlyTheirOwnNotifications();
    void previewItemsAreUnbound();
    void resetSelectsNothing();
    void requestsSelectWhatTheyAdd();
    void divsPerPrincipalSetsTheSpacing_data();
    void divsPerPrincipalSetsTheSpacing();
    void hitCountersFollowTheStates();
    void contentsRectFollowsNodesAndTextBoxes();
    void contentsRectBecomesNullWhenEmpty();
    void stylePresetReachesEveryColour();
    void followersGetTheirNodesAndInstruments();
    void newTextBoxOpensItsEditorOnce();
    void resetDuringAFlash();
    void feedbackPassesOnlyWhilePlayingOrFlashing();
    void announcedIdsWithoutAnElementMakeNoItem();
    void removedNodeLeavesNoFlash();
    void controllerDeletedBeforeTheScene();
    void sceneDeletedBeforeTheController();
    void duplicateAddReplacesTheItem();
    void foreignItemsSurviveReset();
    void withoutControllerNothingHappens();
};

void TestNetworkScene::itemsOfEveryKind()
{
    CanvasFixture f(new RecordingScene);
    const QmdItemId a = f.addNode(TickPos(P, -P / 2));
    const QmdItemId b = f.addNode(TickPos(0, 0));
    const QmdItemId edge = f.addEdge(a, b);
    const QmdItemId group = f.addVoiceGroup(a);
    const QmdItemId text = f.addTextBox(TickPos(-P, 0));

    QGraphicsItem *node = f.scene()->elementItem(a)->graphicsItem();
    QCOMPARE(node->type(), 0x10002);
    QVERIFY(qgraphicsitem_cast<RecordingNodeItem *>(node));
    QCOMPARE(node->pos(), QPointF(160, -80));
    QCOMPARE(f.scene()->elementItem(edge)->graphicsItem()->type(), 0x10001);
    QVERIFY(qgraphicsitem_cast<RecordingEdgeItem *>(f.scene()->elementItem(edge)->graphicsItem()));
    QCOMPARE(f.scene()->elementItem(text)->graphicsItem()->type(), 0x10004);
    QCOMPARE(f.scene()->elementItem(group)->graphicsItem()->type(), 0x10003);
    QVERIFY(!qgraphicsitem_cast<RecordingNodeItem *>(f.scene()->elementItem(group)->graphicsItem()));
    QCOMPARE(f.itemFor<RecordingItem>(a)->elementType(), 2);
    QCOMPARE(f.itemFor<RecordingItem>(text)->id(), text);
    QCOMPARE(f.itemFor<RecordingItem>(text)->networkScene(), f.scene());

    // Items are selectable and drawn without a cache.
    QVERIFY(node->flags() & QGraphicsItem::ItemIsSelectable);
    QCOMPARE(node->cacheMode(), QGraphicsItem::NoCache);

    f.set(a, QStringLiteral("TickPos"), QVariant(TickPos(-2 * P, P)));
    QCOMPARE(node->pos(), QPointF(-320, 160));
}

void TestNetworkScene::isHiddenHidesTheItemAndItsChildren()
{
    CanvasFixture f(new RecordingScene);
    const QmdItemId a = f.addNode(TickPos(0, 0));
    QGraphicsItem *node = f.scene()->elementItem(a)->graphicsItem();
    auto *child = new QGraphicsRectItem(0, 0, 5, 5, node);
    QVERIFY(node->isVisible());

    f.set(a, QStringLiteral("IsHidden"), true);
    QVERIFY(!node->isVisible());
    QVERIFY(!child->isVisible());
    f.set(a, QStringLiteral("IsHidden"), false);
    QVERIFY(node->isVisible());
    QVERIFY(child->isVisible());
}

void TestNetworkScene::itemsTakeOnlyTheirOwnNotifications()
{
    CanvasFixture f(new RecordingScene);
    const QmdItemId a = f.addNode(TickPos(0, 0));
    const QmdItemId b = f.addNode(TickPos(P, 0));
    auto *itemA = f.itemFor<RecordingItem>(a);
    itemA->elementNotifications.clear();

    f.set(b, QStringLiteral("TickPos"), QVariant(TickPos(2 * P, P)));
    f.set(b, QStringLiteral("IsHidden"), true);
    QVERIFY(itemA->elementNotifications.isEmpty());

    // An item handed another id's change ignores it.
    itemA->onElementDataChangedOrRemoved(b, {QStringLiteral("TickPos"), QStringLiteral("IsHidden")}, 1);
    QCOMPARE(itemA->graphicsItem()->pos(), QPointF(0, 0));
    QVERIFY(itemA->graphicsItem()->isVisible());
}

void TestNetworkScene::previewItemsAreUnbound()
{
    CanvasFixture f(new RecordingScene);
    const QmdItemId a = f.addNode(TickPos(0, 0));
    auto *preview = new RecordingNodeItem(0, nullptr, f.scene());
    QCOMPARE(preview->id(), QmdItemId(0));
    QVERIFY(!preview->controller());
    QCOMPARE(preview->elementType(), 0);
    QVERIFY(!f.scene()->elementItems().contains(preview));
    QCOMPARE(preview->graphicsItem()->scene(), f.scene());

    // A preview reads nothing: handed id 0 it stays where the view put it.
    preview->graphicsItem()->setPos(5, 5);
    preview->onElementDataChangedOrRemoved(0, {QStringLiteral("TickPos")}, 1);
    QCOMPARE(preview->graphicsItem()->pos(), QPointF(5, 5));

    preview->graphicsItem()->setSelected(true);
    QCOMPARE(f.scene()->selectedElementIds(), QmdItemIdSet({a}));
    delete preview;
}

void TestNetworkScene::resetSelectsNothing()
{
    CanvasFixture f(new RecordingScene);
    const QmdItemId a = f.addNode(TickPos(0, 0));
    const QmdItemId b = f.addNode(TickPos(P, 0));
    QCOMPARE(f.scene()->selectedElementIds(), QmdItemIdSet({b}));

    QSignalSpy selection(f.scene(), &QGraphicsScene::selectionChanged);
    f.controller()->reset();
    f.settle();
    QCOMPARE(f.scene()->elementItems().size(), 2);
    QVERIFY(f.scene()->selectedItems().isEmpty());
    QVERIFY(f.scene()->selectedElementIds().isEmpty());
    QCOMPARE(selection.count(), 1); // the selected node went away once
    QVERIFY(f.scene()->elementItem(a));
}

void TestNetworkScene::requestsSelectWhatTheyAdd()
{
    CanvasFixture f(new RecordingScene);
    const QmdItemId a = f.addNode(TickPos(0, 0));
    QCOMPARE(f.scene()->selectedElementIds(), QmdItemIdSet({a}));
    const QmdItemId b = f.addNode(TickPos(P, 0));
    QCOMPARE(f.scene()->selectedElementIds(), QmdItemIdSet({b}));

    // One request bringing two nodes back selects both, with one announcement.
    f.controller()->requestRemove(QmdItemIdList{a, b}, f.controller()->findElementsIndex());
    f.settle();
    QVERIFY(f.scene()->selectedElementIds().isEmpty());
    QSignalSpy selection(f.scene(), &QGraphicsScene::selectionChanged);
    f.controller()->requestUndo();
    f.settle();
    QCOMPARE(f.scene()->selectedElementIds(), QmdItemIdSet({a, b}));
    QCOMPARE(selection.count(), 1);

    // The next request selects only its own element.
    selection.clear();
    const QmdItemId c = f.addNode(TickPos(2 * P, 0));
    QCOMPARE(f.scene()->selectedElementIds(), QmdItemIdSet({c}));
    QCOMPARE(selection.count(), 1);
}

void TestNetworkScene::divsPerPrincipalSetsTheSpacing_data()
{
    QTest::addColumn<QVariant>("divs");
    QTest::addColumn<qint64>("spacing");
    QTest::newRow("4") << QVariant(4) << qint64(166320);
    QTest::newRow("0") << QVariant(0) << qint64(665280);
    QTest::newRow("3") << QVariant(3) << qint64(221760);
    QTest::newRow("-2") << QVariant(-2) << qint64(665280);
    QTest::newRow("1000000") << QVariant(1000000) << qint64(1);
    QTest::newRow("text") << QVariant(QStringLiteral("many")) << qint64(665280);
}

void TestNetworkScene::divsPerPrincipalSetsTheSpacing()
{
    QFETCH(QVariant, divs);
    QFETCH(qint64, spacing);
    CanvasFixture f(new RecordingScene);
    auto *scene = recordingScene(f);
    const int resets = scene->viewsCacheResets;
    f.setRoot(QStringLiteral("DivsPerPrincipal"), divs);
    QCOMPARE(scene->snapSpacing(), spacing);
    QVERIFY(scene->viewsCacheResets > resets);
    // A reset reads the document again.
    scene->reset();
    QCOMPARE(scene->snapSpacing(), spacing);
}

void TestNetworkScene::hitCountersFollowTheStates()
{
    CanvasFixture f(new RecordingScene);
    const QmdItemId a = f.addNode(TickPos(0, 0));
    auto *node = f.itemFor<RecordingItem>(a);
    QVERIFY(!node->counterVisible);
    const QmdIndex state = f.controller()->elementStateIndex(a);
    QVERIFY(f.controller()->exists(state));

    // Hidden counters are not updated.
    f.controller()->requestSetData(QStringLiteral("HitCount"), 2u, state, QmdRequestOptions(Qmd::NoUndoHistory));
    f.settle();
    QCOMPARE(node->counter, 0u);

    f.controller()->requestToggleShowNodeCounters();
    f.settle();
    QVERIFY(f.scene()->showNodeCounters());
    QVERIFY(node->counterVisible);
    QCOMPARE(node->counter, 2u);
    f.controller()->requestSetData(QStringLiteral("HitCount"), 3u, state, QmdRequestOptions(Qmd::NoUndoHistory));
    f.settle();
    QCOMPARE(node->counter, 3u);

    // A node added while counters show shows its counter.
    QVERIFY(f.itemFor<RecordingItem>(f.addNode(TickPos(P, 0)))->counterVisible);

    f.controller()->requestToggleShowNodeCounters();
    f.settle();
    QVERIFY(!node->counterVisible);
    f.controller()->requestSetData(QStringLiteral("HitCount"), 4u, state, QmdRequestOptions(Qmd::NoUndoHistory));
    f.settle();
    QCOMPARE(node->counter, 3u);
}

void TestNetworkScene::contentsRectFollowsNodesAndTextBoxes()
{
    CanvasFixture f(new RecordingScene);
    QSignalSpy changes(f.scene(), &NetworkScene::sceneContentsRectChanged);
    const QmdItemId left = f.addNode(TickPos(-P, 0));
    const QmdItemId inner = f.addNode(TickPos(0, 0));
    const QmdItemId right = f.addNode(TickPos(P, 0));
    const QmdItemId text = f.addTextBox(TickPos(P / 2, -P));
    QCOMPARE(f.scene()->sceneContentsRect(), QRectF(QPointF(-170, -170), QPointF(170, 10)));
    QCOMPARE(changes.last().first().toRectF(), f.scene()->sceneContentsRect());

    // A reset rebuilding the same document announces nothing.
    changes.clear();
    f.controller()->reset();
    f.settle();
    QCOMPARE(changes.count(), 0);
    QCOMPARE(f.scene()->sceneContentsRect(), QRectF(QPointF(-170, -170), QPointF(170, 10)));

    // Edges and voice groups never count.
    changes.clear();
    f.addEdge(left, right);
    const QmdItemId group = f.addVoiceGroup(inner);
    f.set(group, QStringLiteral("TickPos"), QVariant(TickPos(-10 * P, 0)));
    QCOMPARE(changes.count(), 0);

    // An inner node going changes nothing; the leftmost going moves the edge.
    f.remove(inner);
    QCOMPARE(changes.count(), 0);
    QCOMPARE(f.scene()->sceneContentsRect(), QRectF(QPointF(-170, -170), QPointF(170, 10)));
    f.remove(left);
    QCOMPARE(changes.count(), 1);
    QCOMPARE(f.scene()->sceneContentsRect(), QRectF(QPointF(70, -170), QPointF(170, 10)));

    // Moving the node on an edge inwards pulls that edge in.
    f.set(right, QStringLiteral("TickPos"), QVariant(TickPos(P / 2, -P / 2)));
    QCOMPARE(f.scene()->sceneContentsRect(), QRectF(QPointF(70, -170), QPointF(90, -70)));
    f.set(text, QStringLiteral("TickPos"), QVariant(TickPos(P, 0)));
    QCOMPARE(f.scene()->sceneContentsRect(), QRectF(QPointF(70, -90), QPointF(170, 10)));
}

void TestNetworkScene::contentsRectBecomesNullWhenEmpty()
{
    CanvasFixture f(new RecordingScene);
    const QmdItemId a = f.addNode(TickPos(0, 0));
    const QmdItemId b = f.addNode(TickPos(P, 0));
    f.addEdge(a, b);
    QSignalSpy changes(f.scene(), &NetworkScene::sceneContentsRectChanged);
    f.controller()->requestRemove(QmdItemIdList{a, b}, f.controller()->findElementsIndex());
    f.settle();
    QVERIFY(f.scene()->sceneContentsRect().isNull());
    QCOMPARE(changes.count(), 1);
    QVERIFY(changes.first().first().toRectF().isNull());
}

void TestNetworkScene::stylePresetReachesEveryColour()
{
    CanvasFixture f(new RecordingScene);
    auto *scene = recordingScene(f);
    auto *node = f.itemFor<RecordingItem>(f.addNode(TickPos(0, 0)));
    auto *edge = f.itemFor<RecordingItem>(f.addEdge(f.addNode(TickPos(P, 0)), node->id()));
    const int nodeColors = node->colorsApplied;
    const int edgeColors = edge->colorsApplied;
    const int resets = scene->viewsCacheResets;
    const int annotation = scene->annotationColorCalls;
    const int nodes = scene->nodesColorCalls;
    const int edges = scene->edgesColorCalls;

    QVERIFY(f.controller()->requestLoadStylePreset(QStringLiteral("Light")) != 0);
    f.settle();
    const StylePresets::Preset light = StylePresets::preset(QStringLiteral("Light"));
    const QList<QPair<const char *, QString>> properties = {
        {"backgroundColor", QStringLiteral("StyleBackgroundColor")},
        {"principalLinesColor", QStringLiteral("StylePrincipalLinesColor")},
        {"principalPointsColor", QStringLiteral("StylePrincipalPointsColor")},
        {"divisionLinesColor", QStringLiteral("StyleDivisionLinesColor")},
        {"divisionPointsColor", QStringLiteral("StyleDivisionPointsColor")},
        {"annotationColor", QStringLiteral("StyleAnnotationColor")},
        {"nodesColor", QStringLiteral("StyleNodesColor")},
        {"edgesColor", QStringLiteral("StyleEdgesColor")},
    };
    for (const auto &property : properties) {
        QVERIFY2(light.value(property.second).value<QColor>().isValid(), property.first);
        QCOMPARE(scene->property(property.first).value<QColor>(), light.value(property.second).value<QColor>());
    }
    QCOMPARE(scene->viewsCacheResets - resets, 5);
    QCOMPARE(scene->annotationColorCalls - annotation, 1);
    QCOMPARE(scene->nodesColorCalls - nodes, 1);
    QCOMPARE(scene->edgesColorCalls - edges, 1);
    QCOMPARE(node->colorsApplied - nodeColors, 2); // annotation and nodes colour
    QCOMPARE(edge->colorsApplied - edgeColors, 1);

    // Dropping the controller leaves the colours as they were.
    f.scene()->setController(nullptr);
    QCOMPARE(scene->nodesColor(), light.value(QStringLiteral("StyleNodesColor")).value<QColor>());
}

void TestNetworkScene::followersGetTheirNodesAndInstruments()
{
    CanvasFixture f(new RecordingScene);
    const QmdItemId a = f.addNode(TickPos(0, 0));
    const QmdItemId b = f.addNode(TickPos(P, 0));
    const QmdItemId c = f.addNode(TickPos(0, P));
    const QmdItemId edge = f.addEdge(a, b);
    const QmdItemId group = f.addVoiceGroup(c);
    f.controller()->requestAddInstrument();
    f.controller()->requestAddInstrument();
    f.settle();
    const QmdItemIdList instruments = f.controller()->instrumentIds();
    QCOMPARE(instruments.size(), 2);
    f.set(group, QStringLiteral("InitialInstrument"), instruments.first());

    auto *edgeItem = f.itemFor<RecordingItem>(edge);
    auto *groupItem = f.itemFor<RecordingItem>(group);
    const auto notifiedIds = [](const RecordingItem *item) {
        QmdItemIdSet ids;
        for (const auto &n : item->elementNotifications)
            ids.insert(n.id);
        return ids;
    };
    edgeItem->elementNotifications.clear();
    groupItem->elementNotifications.clear();
    for (QmdItemId node : {a, b, c})
        f.set(node, QStringLiteral("TickPos"), QVariant(TickPos(2 * P, 2 * P)));
    QCOMPARE(notifiedIds(edgeItem), QmdItemIdSet({a, b}));
    QCOMPARE(notifiedIds(groupItem), QmdItemIdSet({c}));

    // Re-pointed edges and groups follow their new nodes.
    f.set(edge, QStringLiteral("FromNode"), c);
    f.set(group, QStringLiteral("ToNode"), a);
    edgeItem->elementNotifications.clear();
    groupItem->elementNotifications.clear();
    for (QmdItemId node : {a, b, c})
        f.set(node, QStringLiteral("TickPos"), QVariant(TickPos(3 * P, 3 * P)));
    QCOMPARE(notifiedIds(edgeItem), QmdItemIdSet({b, c}));
    QCOMPARE(notifiedIds(groupItem), QmdItemIdSet({a}));

    // A voice group hears of its initial instrument only.
    f.controller()->requestSetData(QStringLiteral("Label"), QStringLiteral("Other"),
                                   f.controller()->instrumentIndex(instruments.last()));
    f.settle();
    QVERIFY(groupItem->instrumentNotifications.isEmpty());
    f.controller()->requestSetData(QStringLiteral("Label"), QStringLiteral("Lead"),
                                   f.controller()->instrumentIndex(instruments.first()));
    f.settle();
    QCOMPARE(groupItem->instrumentNotifications.size(), 1);
    QCOMPARE(groupItem->instrumentNotifications.first().id, instruments.first());
    QVERIFY(edgeItem->instrumentNotifications.isEmpty());
}

void TestNetworkScene::newTextBoxOpensItsEditorOnce()
{
    CanvasFixture f(new RecordingScene);
    const QmdItemId text = f.addTextBox(TickPos(0, 0));
    QCOMPARE(f.itemFor<RecordingItem>(text)->editorsOpened, 1);

    f.controller()->requestUndo();
    f.settle();
    QVERIFY(!f.itemFor<RecordingItem>(text));
    f.controller()->requestRedo();
    f.settle();
    QCOMPARE(f.itemFor<RecordingItem>(text)->editorsOpened, 0);

    // A document holding one text box opens no editor when it is (re)loaded.
    f.controller()->reset();
    f.settle();
    QCOMPARE(f.itemFor<RecordingItem>(text)->editorsOpened, 0);

    // Other elements open nothing.
    f.addNode(TickPos(P, 0));
    QCOMPARE(f.itemFor<RecordingItem>(text)->editorsOpened, 0);
}

void TestNetworkScene::resetDuringAFlash()
{
    CanvasFixture f(new RecordingScene);
    auto *scene = recordingScene(f);
    const QmdItemId a = f.addNode(TickPos(0, 0));
    scene->flashEnds().insert(100, FlashEnd{f.scene()->elementItem(a), 1, 1});
    f.controller()->reset();
    f.settle();
    QVERIFY(scene->flashEnds().isEmpty());
    scene->checkFeedbackPipe();
    QVERIFY(scene->feedbackTimer()->isActive());
}

void TestNetworkScene::feedbackPassesOnlyWhilePlayingOrFlashing()
{
    // An open document that does not play must not wake the window 60 times a second.
    CanvasFixture f(new RecordingScene);
    auto *scene = recordingScene(f);
    QTimer *timer = scene->feedbackTimer();
    const QmdItemId a = f.addNode(TickPos(0, 0));
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), NetworkScene::IdleFeedbackIntervalMs);

    f.controller()->requestPlay();
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), NetworkScene::FeedbackIntervalMs);
    scene->checkFeedbackPipe();
    QCOMPARE(timer->interval(), NetworkScene::FeedbackIntervalMs);

    // Stopped with a flash still lit: the next pass ends it, the one after goes idle.
    scene->flashEnds().insert(100, FlashEnd{f.scene()->elementItem(a), 1, 1});
    f.controller()->requestPause();
    QCOMPARE(timer->interval(), NetworkScene::FeedbackIntervalMs);
    scene->checkFeedbackPipe();
    QVERIFY(scene->flashEnds().isEmpty());
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), NetworkScene::IdleFeedbackIntervalMs);

    // A clock started without the controller's word is caught by the next pass.
    f.sync()->setPlaying(true);
    scene->checkFeedbackPipe();
    QCOMPARE(timer->interval(), NetworkScene::FeedbackIntervalMs);
}

void TestNetworkScene::removedNodeLeavesNoFlash()
{
    CanvasFixture f(new RecordingScene);
    auto *scene = recordingScene(f);
    const QmdItemId a = f.addNode(TickPos(0, 0));
    const QmdItemId b = f.addNode(TickPos(P, 0));
    scene->flashEnds().insert(100, FlashEnd{f.scene()->elementItem(a), 1, 1});
    scene->flashEnds().insert(100, FlashEnd{f.scene()->elementItem(b), 1, 2});
    scene->flashEnds().insert(200, FlashEnd{f.scene()->elementItem(a), 2, 1});
    f.remove(a);
    QCOMPARE(scene->flashEnds().size(), 1);
    QCOMPARE(scene->flashEnds().first().node, f.scene()->elementItem(b));
}

void TestNetworkScene::controllerDeletedBeforeTheScene()
{
    CanvasFixture f(new RecordingScene);
    auto *scene = recordingScene(f);
    const QmdItemId a = f.addNode(TickPos(0, 0));
    f.addEdge(a, f.addNode(TickPos(P, 0)));
    QVERIFY(scene->feedbackTimer()->isActive());
    f.deleteController();
    QVERIFY(!scene->feedbackTimer()->isActive());
    QVERIFY(scene->items().isEmpty());
    f.settle();
    scene->checkFeedbackPipe();
    QVERIFY(!scene->feedbackTimer()->isActive());
    scene->onElementsAdded({a}, 7);
    scene->onElementDataChangedOrRemoved(a, {QStringLiteral("TickPos")}, 7);
    scene->onItemsChanged(QmdIndex(), {QStringLiteral("ShowNodeCounters")});
    scene->reset();
    QVERIFY(scene->elementItems().isEmpty());
    QVERIFY(scene->selectedElementIds().isEmpty());
}

void TestNetworkScene::sceneDeletedBeforeTheController()
{
    CanvasFixture f(new RecordingScene);
    const QmdItemId a = f.addNode(TickPos(0, 0));
    const QObject *scene = f.scene();
    QVERIFY(f.controller()->bindingTable().contains(const_cast<QObject *>(scene)));
    f.deleteScene();
    // Bound colours and element signals find no scene any more.
    f.controller()->requestLoadStylePreset(QStringLiteral("Light"));
    f.set(a, QStringLiteral("TickPos"), QVariant(TickPos(P, P)));
    f.addNode(TickPos(P, 0));
    f.controller()->reset();
    f.settle();
    QVERIFY(!f.controller()->bindingTable().contains(const_cast<QObject *>(scene)));
}

void TestNetworkScene::announcedIdsWithoutAnElementMakeNoItem()
{
    // A notification may name an id that is gone by the time it arrives, or
    // none the elements ever had: only the ids of elements get items.
    CanvasFixture f;
    const QmdItemId node = f.addNode(TickPos(0, 0));
    const QmdItemId removed = f.addNode(TickPos(P, 0));
    f.remove(removed);
    const QmdItemId never = 999999;
    for (QmdItemId id : {QmdItemId(0), removed, never}) {
        emit f.controller()->elementsAdded({id}, 4242);
        QVERIFY2(!f.scene()->elementItem(id), qPrintable(QString::number(id)));
    }
    emit f.controller()->elementsAdded({never, node, removed}, 4243);
    QCOMPARE(f.scene()->elementItems().size(), 1);
    QVERIFY(f.scene()->elementItem(node));
}

void TestNetworkScene::duplicateAddReplacesTheItem()
{
    CanvasFixture f(new RecordingScene);
    const QmdItemId a = f.addNode(TickPos(P, 0));
    const int sceneItems = f.scene()->items().size();
    emit f.controller()->elementsAdded({a}, 4242);
    emit f.controller()->elementsAdded({a, a}, 4243);
    QCOMPARE(f.scene()->items().size(), sceneItems);
    QCOMPARE(f.scene()->elementItems().size(), 1);
    QCOMPARE(f.scene()->elementItem(a)->graphicsItem()->pos(), QPointF(160, 0));
    QCOMPARE(f.scene()->selectedElementIds(), QmdItemIdSet({a}));
    f.remove(a);
    QVERIFY(f.scene()->items().isEmpty());
}

void TestNetworkScene::foreignItemsSurviveReset()
{
    CanvasFixture f(new RecordingScene);
    f.addNode(TickPos(0, 0));
    QGraphicsRectItem *foreign = f.scene()->addRect(0, 0, 10, 10);
    auto *preview = new RecordingNodeItem(0, nullptr, f.scene());
    f.controller()->reset();
    f.settle();
    QVERIFY(f.scene()->items().contains(foreign));
    QVERIFY(f.scene()->items().contains(preview));
    QCOMPARE(f.scene()->elementItems().size(), 1);
    delete preview;
}

void TestNetworkScene::withoutControllerNothingHappens()
{
    RecordingScene scene;
    QSignalSpy contents(&scene, &NetworkScene::sceneContentsRectChanged);
    scene.onElementsAdded({1, 2}, 5);
    scene.onElementsRemoved({1}, 6);
    scene.onElementDataChangedOrRemoved(1, {QStringLiteral("TickPos")}, 7);
    scene.onInstrumentDataChangedOrRemoved(1, {QStringLiteral("Color")}, 8);
    scene.onItemsChanged(QmdIndex(), {QStringLiteral("DivsPerPrincipal")});
    scene.checkFeedbackPipe();
    QVERIFY(scene.items().isEmpty());
    QVERIFY(!scene.feedbackTimer()->isActive());
    QVERIFY(scene.snapToGrid());
    QCOMPARE(scene.snapSpacing(), qint64(665280));
    QVERIFY(scene.sceneContentsRect().isNull());
    QCOMPARE(contents.count(), 0);
}

CANVAS_TEST_MAIN(TestNetworkScene)
#include "tst_networkscene.moc"
