#include "networkscene.h"

#include "abstractsync.h"
#include "displayscale.h"
#include "elementitem.h"
#include "graphicsedgeitem.h"
#include "graphicsnodeitem.h"
#include "graphicstextboxitem.h"
#include "graphicsvoicegroupitem.h"
#include "gridbackground.h"
#include "qmdvelka.h"
#include "qmdvelkakeys.h"

#include <QGraphicsView>
#include <QMutexLocker>
#include <QSet>
#include <QSignalBlocker>
#include <QTimer>

#include <limits>
#include <vector>

namespace {

bool isExtentItemType(int type)
{
    return type == NodeItemType || type == TextBoxItemType;
}

} // namespace

NetworkScene::NetworkScene(QObject *parent)
    : QGraphicsScene(parent)
{
    m_backgroundColor.changed = [this] { resetViewsCachedContent(); };
    m_principalLinesColor.changed = [this] { resetViewsCachedContent(); };
    m_principalPointsColor.changed = [this] { resetViewsCachedContent(); };
    m_divisionLinesColor.changed = [this] { resetViewsCachedContent(); };
    m_divisionPointsColor.changed = [this] { resetViewsCachedContent(); };
    m_annotationColor.changed = [this] { applyAnnotationColor(); };
    m_nodesColor.changed = [this] { applyNodesColor(); };
    m_edgesColor.changed = [this] { applyEdgesColor(); };

    m_feedbackTimer = new QTimer(this);
    m_feedbackTimer->setInterval(FeedbackIntervalMs);
    connect(m_feedbackTimer, &QTimer::timeout, this, &NetworkScene::checkFeedbackPipe);
    setItemIndexMethod(QGraphicsScene::NoIndex);
    connect(this, &QGraphicsScene::selectionChanged, this, &NetworkScene::onSelectionChanged);
    reset();
}

NetworkScene::~NetworkScene()
{
    // QGraphicsScene deletes the remaining items after this destructor; none
    // of its signals may reach this part of the object by then.
    disconnect(this, &QGraphicsScene::selectionChanged, this, &NetworkScene::onSelectionChanged);
    m_feedbackTimer->stop();
    m_flashEnds.clear();
    removeElementItems(m_items.values());
}

void NetworkScene::setController(QmdVelkaController *c)
{
    if (QmdVelkaController *old = controller()) {
        disconnect(old, nullptr, this, nullptr);
        old->unbind(this);
    }
    QmdObserver<QmdVelkaController>::setController(c);
    if (c) {
        connect(c, &QmdVelkaController::elementsAdded, this, &NetworkScene::onElementsAdded);
        connect(c, &QmdVelkaController::elementsRemoved, this, &NetworkScene::onElementsRemoved);
        connect(c, &QmdVelkaController::elementDataChanged, this, &NetworkScene::onElementDataChangedOrRemoved);
        connect(c, &QmdVelkaController::elementDataRemoved, this, &NetworkScene::onElementDataChangedOrRemoved);
        connect(c, &QmdVelkaController::instrumentDataChanged, this,
                &NetworkScene::onInstrumentDataChangedOrRemoved);
        connect(c, &QmdVelkaController::instrumentDataRemoved, this,
                &NetworkScene::onInstrumentDataChangedOrRemoved);
        connect(c, &QmdVelkaController::instrumentsRemoved, this, &NetworkScene::onInstrumentsRemoved);
        connect(c, qOverload<const QmdIndex &, const QStringList &, QmdRequestId>(&QmdController::itemsChanged),
                this, &NetworkScene::onItemsChanged);
        connect(c, &QmdController::modelReset, this, &NetworkScene::reset);
        connect(c, &QmdVelkaController::playbackStateChanged, this, &NetworkScene::onPlaybackStateChanged);
        // A controller destroyed under the scene leaves it empty, its timer stopped.
        connect(c, &QObject::destroyed, this, &NetworkScene::reset);
        bindColors(c);
    }
    reset();
}

void NetworkScene::bindColors(QmdVelkaController *c)
{
    static const char *const bindings[][2] = {
        {"backgroundColor", "StyleBackgroundColor"},
        {"principalLinesColor", "StylePrincipalLinesColor"},
        {"principalPointsColor", "StylePrincipalPointsColor"},
        {"divisionLinesColor", "StyleDivisionLinesColor"},
        {"divisionPointsColor", "StyleDivisionPointsColor"},
        {"annotationColor", "StyleAnnotationColor"},
        {"nodesColor", "StyleNodesColor"},
        {"edgesColor", "StyleEdgesColor"},
    };
    for (const auto &binding : bindings)
        c->bindKey(this, binding[0], nullptr, QString::fromLatin1(binding[1]), QmdIndex(), QVariant(),
                   QVariant(), QString());
}

const QmdItemIdSet &NetworkScene::selectedElementIds()
{
    if (m_selectionDirty) {
        m_selectedElementIds.clear();
        const QList<QGraphicsItem *> selected = selectedItems();
        for (QGraphicsItem *item : selected) {
            const ElementItem *element = dynamic_cast<ElementItem *>(item);
            if (element && element->id() != 0)
                m_selectedElementIds.insert(element->id());
        }
        m_selectionDirty = false;
    }
    return m_selectedElementIds;
}

void NetworkScene::reset()
{
    m_feedbackTimer->stop();
    m_lastAddRequest = 0;
    m_selectionDirty = true;
    m_selectedElementIds.clear();
    m_snapToGrid = true;
    m_snapSpacing = qint64(ticksPerPrincipal);
    m_showNodeCounters = false;
    // Flashes die with their nodes; no later pass may reach a deleted node.
    m_flashEnds.clear();
    ++m_contentsBatch;
    removeElementItems(m_items.values());

    if (QmdVelkaController *c = controller()) {
        onItemsChanged(QmdIndex(), {QmdVelkaKeys::DivsPerPrincipal, QmdVelkaKeys::ShowGrid, QmdVelkaKeys::SnapToGrid, QmdVelkaKeys::ShowNodeCounters});
        onElementsAdded(c->elementIds(), ResetRequestId);
        AbstractSync *sync = c->sync();
        m_feedbackTimer->start(sync && sync->isPlaying() ? FeedbackIntervalMs : IdleFeedbackIntervalMs);
    }
    --m_contentsBatch;
    updateSceneContentsRect();
    announceSelectionChange();
    update();
}

void NetworkScene::setSceneContentsRect(const QRectF &rect)
{
    m_sceneContentsRect = rect;
    emit sceneContentsRectChanged(rect);
}

void NetworkScene::onSelectionChanged()
{
    m_selectionDirty = true;
    m_selectedElementIds.clear();
    for (ElementItem *item : std::as_const(m_items))
        item->onSelectionChanged();
}

void NetworkScene::onElementsAdded(const QmdItemIdList &idList, QmdRequestId rid)
{
    QmdVelkaController *c = controller();
    if (!c)
        return;
    const bool newRequest = rid != m_lastAddRequest;
    ++m_addBatch;
    ++m_contentsBatch;
    // One lookup of the elements' container for the whole list: a load
    // brings every element of the document here at once.
    const QmdIndex elements = c->elementsIndex();
    for (QmdItemId id : idList)
        createElementItem(id, rid, elements);
    --m_contentsBatch;
    --m_addBatch;
    selectNewItems(newRequest);
    announceSelectionChange();
    updateSceneContentsRect();

    // A text box that the user has just made is edited at once; one that a
    // reset, an undo or a redo brings back is not.
    if (idList.size() == 1 && rid != ResetRequestId && c->elementType(idList.first()) == QmdVelka::TextBox
        && !c->undoRedoRequestIds().contains(rid)) {
        if (ElementItem *item = m_items.value(idList.first()))
            item->openNewElementEditor();
    }
    m_lastAddRequest = rid;
}

void NetworkScene::createElementItem(QmdItemId id, QmdRequestId rid)
{
    if (QmdVelkaController *c = controller())
        createElementItem(id, rid, c->elementsIndex());
}

void NetworkScene::createElementItem(QmdItemId id, QmdRequestId rid, const QmdIndex &elements)
{
    QmdVelkaController *c = controller();
    if (!c || id == 0 || !elements.isValid())
        return;
    // A second announcement of an element replaces its item.
    if (ElementItem *old = m_items.value(id))
        removeElementItems({old});
    // The element's record is read through its own index from here on: an
    // id the document does not hold has no record, and no "Type" under it.
    const QmdIndex record = c->index(id, elements);
    if (!record.isValid() || record.id() != id)
        return;
    const int type = c->data(QmdVelkaKeys::Type, record).toInt();
    if (type == QmdVelka::InvalidElement)
        return;
    ElementItem *item = createItem(type, id);
    if (!item)
        return;
    m_items.insert(id, item);
    followReferences(item, type, record);
    if (type == QmdVelka::Node)
        item->setCounterVisible(m_showNodeCounters);
    item->onElementDataChangedOrRemoved(id, c->keys(record), rid);
    if (rid != ResetRequestId) {
        if (m_addBatch > 0)
            m_itemsToSelect.append(item);
        else
            item->graphicsItem()->setSelected(true);
    }
    growSceneContentsRect(item);
}

ElementItem *NetworkScene::createItem(int type, QmdItemId id)
{
    switch (type) {
    case QmdVelka::Edge: {
        auto *edge = new GraphicsEdgeItem(id, controller(), this);
        edge->setZValue(1.0);
        return edge;
    }
    case QmdVelka::Node:
        return new GraphicsNodeItem(id, controller(), this);
    case QmdVelka::VoiceGroup:
        return new GraphicsVoiceGroupItem(id, controller(), this);
    case QmdVelka::TextBox:
        return new GraphicsTextBoxItem(id, controller(), this);
    default:
        return nullptr;
    }
}

void NetworkScene::onElementsRemoved(const QmdItemIdList &idList, QmdRequestId)
{
    if (!controller())
        return;
    QList<ElementItem *> items;
    for (QmdItemId id : idList) {
        if (ElementItem *item = m_items.value(id))
            items.append(item);
    }
    removeElementItems(items);
    updateSceneContentsRect();
    announceSelectionChange();
    update();
}

void NetworkScene::onElementDataChangedOrRemoved(QmdItemId id, const QStringList &keys, QmdRequestId rid)
{
    QmdVelkaController *c = controller();
    if (!c)
        return;
    ElementItem *own = m_items.value(id);
    if (own) {
        if (keys.contains(QmdVelkaKeys::FromNode) || keys.contains(QmdVelkaKeys::ToNode) || keys.contains(QmdVelkaKeys::InitialInstrument))
            followReferences(own, c->elementType(id), c->elementIndex(id));
        own->onElementDataChangedOrRemoved(id, keys, rid);
        growSceneContentsRect(own);
    }
    const QList<ElementItem *> followers = m_elementFollowers.followers(id);
    for (ElementItem *item : followers) {
        if (item == own)
            continue;
        item->onElementDataChangedOrRemoved(id, keys, rid);
        growSceneContentsRect(item);
    }
}

void NetworkScene::onInstrumentDataChangedOrRemoved(QmdItemId id, const QStringList &keys, QmdRequestId rid)
{
    if (!controller())
        return;
    const QList<ElementItem *> followers = m_instrumentFollowers.followers(id);
    for (ElementItem *item : followers)
        item->onInstrumentDataChangedOrRemoved(id, keys, rid);
}

void NetworkScene::onInstrumentsRemoved(const QmdItemIdList &idList, QmdRequestId rid)
{
    // Whatever the model announced of the record's keys, an instrument that
    // is gone shows nowhere.
    static const QStringList shownKeys{QmdVelkaKeys::Color, QmdVelkaKeys::Label};
    for (QmdItemId id : idList)
        onInstrumentDataChangedOrRemoved(id, shownKeys, rid);
}

void NetworkScene::onItemsChanged(const QmdIndex &parent, const QStringList &keys)
{
    QmdVelkaController *c = controller();
    if (!c)
        return;

    if (parent != QmdIndex()) {
        // A node's hit counter, written by the voice threads.
        if (!m_showNodeCounters || !keys.contains(QmdVelkaKeys::HitCount))
            return;
        QMutexLocker locker(c->mutex());
        if (c->parent(parent) != c->elementStatesIndex())
            return;
        ElementItem *item = m_items.value(parent.id());
        if (item && item->elementType() == QmdVelka::Node)
            item->setCounter(c->data(QmdVelkaKeys::HitCount, parent).toUInt());
        return;
    }

    const bool divsChanged = keys.contains(QmdVelkaKeys::DivsPerPrincipal);
    if (divsChanged) {
        // Files may hold any number here: the spacing stays between 1 and a principal.
        const qint64 divs = qBound<qint64>(1, c->data(QmdVelkaKeys::DivsPerPrincipal).toLongLong(),
                                           qint64(ticksPerPrincipal));
        m_snapSpacing = qint64(ticksPerPrincipal) / divs;
    }
    if (keys.contains(QmdVelkaKeys::SnapToGrid))
        m_snapToGrid = c->data(QmdVelkaKeys::SnapToGrid).toBool();
    if (keys.contains(QmdVelkaKeys::ShowGrid) || divsChanged)
        resetViewsCachedContent();
    if (keys.contains(QmdVelkaKeys::ShowNodeCounters)) {
        QMutexLocker locker(c->mutex());
        m_showNodeCounters = c->data(QmdVelkaKeys::ShowNodeCounters).toBool();
        for (ElementItem *item : std::as_const(m_items)) {
            if (item->elementType() != QmdVelka::Node)
                continue;
            item->setCounter(c->data(QmdVelkaKeys::HitCount, c->elementStateIndex(item->id())).toUInt());
            item->setCounterVisible(m_showNodeCounters);
        }
    }
}

void NetworkScene::checkFeedbackPipe()
{
    // Without a document there is nothing to show, now or later.
    QmdVelkaController *c = controller();
    if (!c) {
        m_feedbackTimer->stop();
        return;
    }
    // The clock may be replaced between passes: ask for it every time.
    AbstractSync *sync = c->sync();
    if (!sync)
        return;
    const quint64 now = sync->currentTick();
    const quint64 mutedLength = sync->nanosecondsToTicks(MutedFlashNanoseconds);
    const bool playing = sync->isPlaying();
    QSet<ElementItem *> touched;

    // Flashes whose notes are over; every flash once playback has stopped.
    for (auto flash = m_flashEnds.begin(); flash != m_flashEnds.end();) {
        if (playing && now < flash.key())
            break;
        flash->node->endFlash(flash->voiceGroup, flash->voiceNumber, true);
        touched.insert(flash->node);
        flash = m_flashEnds.erase(flash);
    }

    if (sync->isPlaying()) {
        std::vector<FeedbackEvent> due;
        c->feedbackPipe().takeDue(due, FeedbackRecordsPerPass, now);
        for (const FeedbackEvent &record : due) {
            ElementItem *node = record.node != 0 ? m_items.value(record.node) : nullptr;
            if (!node || node->elementType() != QmdVelka::Node)
                continue;
            const QColor instrumentColor = c->instrumentData(record.instrument, QmdVelkaKeys::Color).value<QColor>();
            node->startFlash(record.voiceGroup, record.voiceNumber,
                             flashColor(instrumentColor, record.velocity, nodesColor()), true);
            touched.insert(node);
            const quint64 length = record.muted ? mutedLength : record.duration;
            const quint64 end = length > std::numeric_limits<quint64>::max() - record.tick
                                    ? std::numeric_limits<quint64>::max()
                                    : record.tick + length;
            m_flashEnds.insert(end, FlashEnd{node, record.voiceGroup, record.voiceNumber});
        }
    }

    for (ElementItem *node : std::as_const(touched))
        node->graphicsItem()->update();

    const int interval = playing || !m_flashEnds.isEmpty() ? FeedbackIntervalMs : IdleFeedbackIntervalMs;
    if (m_feedbackTimer->isActive() && m_feedbackTimer->interval() != interval)
        m_feedbackTimer->start(interval);
}

void NetworkScene::onPlaybackStateChanged(bool)
{
    // Stopping leaves flashes to end at the next pass; starting wants passes
    // at once. Either way the pass after next settles the interval.
    if (m_feedbackTimer->isActive() && m_feedbackTimer->interval() != FeedbackIntervalMs)
        m_feedbackTimer->start(FeedbackIntervalMs);
}

QColor NetworkScene::flashColor(const QColor &instrumentColor, quint8 velocity, const QColor &fallback)
{
    QColor color = instrumentColor.isValid() ? instrumentColor : fallback;
    float hue = 0, saturation = 0, value = 0, alpha = 0;
    color.getHsvF(&hue, &saturation, &value, &alpha);
    color.setHsvF(hue, 0.3f + 0.7f * float(velocity) / 127.0f, value, 0.6f * alpha);
    return color;
}

void NetworkScene::drawBackground(QPainter *painter, const QRectF &rect)
{
    const QmdVelkaController *c = controller();
    if (!c)
        return;
    GridBackground grid;
    grid.divisions = GridBackground::divisionsFrom(c->data(QmdVelkaKeys::DivsPerPrincipal));
    grid.showGrid = c->data(QmdVelkaKeys::ShowGrid).toBool();
    grid.backgroundColor = backgroundColor();
    grid.divisionLinesColor = divisionLinesColor();
    grid.principalLinesColor = principalLinesColor();
    grid.divisionPointsColor = divisionPointsColor();
    grid.principalPointsColor = principalPointsColor();
    grid.paint(painter, rect);
}

void NetworkScene::growSceneContentsRect(ElementItem *item)
{
    QGraphicsItem *g = item->graphicsItem();
    if (!isExtentItemType(g->type()) || m_items.value(item->id()) != item)
        return;
    m_contentsExtent.update(item, g->mapRectToScene(g->boundingRect() | g->childrenBoundingRect()));
    updateSceneContentsRect();
}

void NetworkScene::updateSceneContentsRect()
{
    if (m_contentsBatch > 0)
        return;
    const QRectF bounds = m_contentsExtent.bounds();
    if (bounds != m_sceneContentsRect || bounds.isNull() != m_sceneContentsRect.isNull())
        setSceneContentsRect(bounds);
}

void NetworkScene::resetViewsCachedContent()
{
    const QList<QGraphicsView *> allViews = views();
    for (QGraphicsView *view : allViews)
        view->resetCachedContent();
}

void NetworkScene::applyAnnotationColor()
{
    applyColorToItems(NodeItemType);
}

void NetworkScene::applyNodesColor()
{
    applyColorToItems(NodeItemType);
}

void NetworkScene::applyEdgesColor()
{
    applyColorToItems(EdgeItemType);
}

void NetworkScene::applyColorToItems(int itemType)
{
    // Every item of the kind, the view's previews included.
    const QList<QGraphicsItem *> all = items();
    for (QGraphicsItem *g : all) {
        if (g->type() != itemType)
            continue;
        if (ElementItem *item = dynamic_cast<ElementItem *>(g))
            item->applySceneColors();
    }
}

void NetworkScene::setColor(ColorMember &member, const QColor &color)
{
    member.color = color;
    if (member.changed)
        member.changed();
}

void NetworkScene::removeElementItems(const QList<ElementItem *> &items)
{
    QSet<const ElementItem *> removed;
    QList<QGraphicsItem *> doomed;
    doomed.reserve(items.size());
    bool deselected = false;
    {
        const QSignalBlocker blocker(this);
        for (ElementItem *item : items) {
            // Each item goes once, however often it is named.
            const auto it = m_items.find(item->id());
            if (it == m_items.end() || it.value() != item)
                continue;
            m_items.erase(it);
            removed.insert(item);
            m_elementFollowers.remove(item);
            m_instrumentFollowers.remove(item);
            m_contentsExtent.remove(item);
            m_itemsToSelect.removeAll(item);
            QGraphicsItem *g = item->graphicsItem();
            if (g->isSelected()) {
                g->setSelected(false);
                deselected = true;
            }
            doomed.append(g);
        }
        // The scene forgets deselected items lazily, when its selection is
        // read; read it once now, or deleting them would announce the change
        // again, once per item.
        if (deselected) {
            selectedItems();
            m_selectionTouched = true;
        }
    }
    if (!m_flashEnds.isEmpty() && !removed.isEmpty()) {
        for (auto flash = m_flashEnds.begin(); flash != m_flashEnds.end();) {
            if (removed.contains(flash->node))
                flash = m_flashEnds.erase(flash);
            else
                ++flash;
        }
    }
    qDeleteAll(doomed);
}

void NetworkScene::followReferences(ElementItem *item, int elementType, const QmdIndex &record)
{
    const QmdVelkaController *c = controller();
    if (!c)
        return;
    switch (elementType) {
    case QmdVelka::Edge:
        m_elementFollowers.setFollowed(item, {c->data(QmdVelkaKeys::FromNode, record).toUInt(),
                                              c->data(QmdVelkaKeys::ToNode, record).toUInt()});
        break;
    case QmdVelka::VoiceGroup:
        m_elementFollowers.setFollowed(item, {c->data(QmdVelkaKeys::ToNode, record).toUInt()});
        m_instrumentFollowers.setFollowed(item, {c->data(QmdVelkaKeys::InitialInstrument, record).toUInt()});
        break;
    default:
        m_elementFollowers.remove(item);
        m_instrumentFollowers.remove(item);
        break;
    }
}

void NetworkScene::selectNewItems(bool clearFirst)
{
    if (!clearFirst && m_itemsToSelect.isEmpty())
        return;
    const QSignalBlocker blocker(this);
    if (clearFirst && !selectedItems().isEmpty()) {
        clearSelection();
        m_selectionTouched = true;
    }
    for (ElementItem *item : std::as_const(m_itemsToSelect)) {
        QGraphicsItem *g = item->graphicsItem();
        if (g->isSelected())
            continue;
        g->setSelected(true);
        if (g->isSelected())
            m_selectionTouched = true;
    }
    m_itemsToSelect.clear();
}

void NetworkScene::announceSelectionChange()
{
    if (!m_selectionTouched)
        return;
    m_selectionTouched = false;
    emit selectionChanged();
}
