#include "edgeusagelisteditor.h"

#include "edgetilepixmap.h"
#include "edgeusagetile.h"
#include "palette.h"
#include "qmdvelkacontroller.h"
#include "qmdvelkakeys.h"

#include <QAction>
#include <QGraphicsScene>
#include <QKeyEvent>
#include <QMenu>
#include <QSpinBox>
#include <QTimer>

#include <algorithm>

namespace {

const int editorHeight = 36;
const int tileWidth = 30;
const int menuIconWidth = 30;
const int menuIconHeight = 20;
const int spinBoxWidth = 40;
const int maximumUses = 99;
const int scrollMargin = 50;
const QPoint spinBoxOffset(2, 2);

} // namespace

EdgeUsageListEditor::EdgeUsageListEditor(QWidget *parent)
    : QGraphicsView(parent)
    , m_spinBox(new QSpinBox(viewport()))
    , m_addMenu(new QMenu(this))
{
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFixedHeight(editorHeight);
    setScene(new QGraphicsScene(this));

    connect(m_addMenu, &QMenu::triggered, this, &EdgeUsageListEditor::onAddActionTriggered);

    m_spinBox->setRange(0, maximumUses);
    m_spinBox->setSpecialValueText(QStringLiteral("\u221E"));
    m_spinBox->setFrame(false);
    m_spinBox->resize(spinBoxWidth, tileHeight());
    m_spinBox->hide();
    connect(m_spinBox, &QSpinBox::editingFinished, this, &EdgeUsageListEditor::onEditingFinished);

    syncAddMenu();
}

EdgeUsageListEditor::~EdgeUsageListEditor()
{
    qDeleteAll(m_tiles);
}

void EdgeUsageListEditor::setController(QmdVelkaController *newController)
{
    if (QmdVelkaController *old = controller())
        disconnect(old, nullptr, this, nullptr);
    QmdObserver<QmdVelkaController>::setController(newController);
    if (newController) {
        using IdsSignal = void (QmdController::*)(const QmdIndex &, const QmdItemIdList &, QmdRequestId);
        using KeysSignal = void (QmdController::*)(const QmdIndex &, const QStringList &, QmdRequestId);
        for (IdsSignal signal : {IdsSignal(&QmdController::itemsChanged), IdsSignal(&QmdController::itemsRemoved)})
            connect(newController, signal, this, &EdgeUsageListEditor::onItemsChangedOrRemoved);
        for (KeysSignal signal : {KeysSignal(&QmdController::itemsChanged), KeysSignal(&QmdController::itemsRemoved)}) {
            connect(newController, signal, this, &EdgeUsageListEditor::onItemsChangedOrRemoved);
            connect(newController, signal, this, &EdgeUsageListEditor::onKeysChangedOrRemoved);
        }
        connect(newController, &QmdElementDocController::elementsAdded, this,
                &EdgeUsageListEditor::onElementsAddedOrRemoved);
        connect(newController, &QmdElementDocController::elementsRemoved, this,
                &EdgeUsageListEditor::onElementsAddedOrRemoved);
        connect(newController, &QmdController::modelReset, this, &EdgeUsageListEditor::onModelReset);
    }
    // An index of the previous document names nothing here.
    m_nodeId = 0;
    m_nodeIndex = QmdIndex();
    sync();
}

bool EdgeUsageListEditor::isRemoveKey(const QKeyEvent *event)
{
    return (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace)
        && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

void EdgeUsageListEditor::setNode(QmdItemId node)
{
    m_nodeId = node;
    m_nodeIndex = controller() && node != 0 ? controller()->elementIndex(node) : QmdIndex();
    sync();
}

void EdgeUsageListEditor::sync()
{
    syncTiles();
    syncAddMenu();
}

void EdgeUsageListEditor::onEditTriggered(EdgeUsageTile *tile)
{
    m_editedTile = tile;
    m_spinBox->setValue(tile->uses());
    m_spinBox->resize(spinBoxWidth, tileHeight());
    m_spinBox->move(mapFromScene(tile->pos()) + spinBoxOffset);
    m_spinBox->show();
    m_spinBox->setFocus();
}

void EdgeUsageListEditor::onEditingFinished()
{
    if (m_spinBox->isVisible()) {
        const QSignalBlocker blocker(m_spinBox);
        m_spinBox->hide();
    }
    EdgeUsageTile *tile = m_editedTile;
    m_editedTile = nullptr;
    if (!tile)
        return;
    if (m_changedDuringGesture) {
        followDocument();
        return;
    }
    tile->setUses(m_spinBox->value());
    writeList();
}

void EdgeUsageListEditor::onVisualizeTileMove(EdgeUsageTile *tile, int to)
{
    const int from = int(m_tiles.indexOf(tile));
    if (from < 0 || to < 0 || to >= m_tiles.size())
        return;
    m_tiles.move(from, to);
    for (EdgeUsageTile *other : std::as_const(m_tiles)) {
        if (other != tile)
            other->moveToSlot(true);
    }
}

void EdgeUsageListEditor::onTileMoveFinished(EdgeUsageTile *tile)
{
    if (m_changedDuringGesture) {
        // The tile is still delivering its mouse release: rebuild once it is done.
        QTimer::singleShot(0, this, &EdgeUsageListEditor::followDocument);
        return;
    }
    if (!hasNode())
        return;
    tile->moveToSlot(false);
    ensureVisible(tile, scrollMargin, scrollMargin);
    updateSceneRect();
    writeList();
}

void EdgeUsageListEditor::onRemoveTriggered(EdgeUsageTile *tile)
{
    if (!hasNode() || isGestureRunning() || !m_tiles.contains(tile))
        return;
    tile->deleteLater();
    m_tiles.removeOne(tile);
    for (EdgeUsageTile *other : std::as_const(m_tiles))
        other->moveToSlot(true);
    updateSceneRect();
    writeList();
    viewport()->update();
}

void EdgeUsageListEditor::onItemsChangedOrRemoved(const QmdIndex &parent)
{
    if (parent.key() == QmdVelkaKeys::ArcIdentifiers)
        syncAddMenu();
}

void EdgeUsageListEditor::onAddActionTriggered(QAction *action)
{
    if (!action || !hasNode())
        return;
    bool ok = false;
    const QmdItemId edge = action->data().toUInt(&ok);
    if (!ok || edge == 0)
        return;
    EdgeUsageList entries = parseEdgeUsageList(storedText());
    entries.append({edge, 1});
    controller()->requestSetData(QmdVelkaKeys::ArcUsageList, edgeUsageListText(entries), m_nodeIndex,
                                 QmdRequestOptions(tr("Edge Usage")));
    syncTiles();
}

void EdgeUsageListEditor::onKeysChangedOrRemoved(const QmdIndex &parent, const QStringList &keys)
{
    if (m_nodeIndex.model() == nullptr || parent != m_nodeIndex)
        return;
    if (keys.contains(QmdVelkaKeys::ArcUsageList))
        followDocument();
    if (keys.contains(QmdVelkaKeys::ArcIdentifiers))
        syncAddMenu();
}

void EdgeUsageListEditor::onElementsAddedOrRemoved(const QmdItemIdList &elements)
{
    if (m_nodeId == 0 || !elements.contains(m_nodeId))
        return;
    followDocument();
    syncAddMenu();
}

void EdgeUsageListEditor::onModelReset()
{
    // The node's entry belongs to the replaced document; find it again by its id.
    m_nodeIndex = controller() && m_nodeId != 0 ? controller()->elementIndex(m_nodeId) : QmdIndex();
    if (isGestureRunning())
        m_changedDuringGesture = true;
    else
        syncTiles();
    syncAddMenu();
}

bool EdgeUsageListEditor::event(QEvent *event)
{
    // Delete and Backspace remove the focused tile: a window-wide shortcut on the
    // same key (deleting the canvas selection) must not take them.
    if (event->type() == QEvent::ShortcutOverride && isRemoveKey(static_cast<QKeyEvent *>(event))) {
        event->accept();
        return true;
    }
    return QGraphicsView::event(event);
}

void EdgeUsageListEditor::keyPressEvent(QKeyEvent *event)
{
    QGraphicsView::keyPressEvent(event);
    if (isRemoveKey(event))
        event->accept();
}

void EdgeUsageListEditor::syncTiles()
{
    m_editedTile = nullptr;
    {
        const QSignalBlocker blocker(m_spinBox);
        m_spinBox->hide();
    }
    m_changedDuringGesture = false;
    qDeleteAll(m_tiles);
    m_tiles.clear();

    if (hasNode()) {
        const int height = tileHeight();
        for (const EdgeUsageEntry &entry : parseEdgeUsageList(storedText())) {
            auto *tile = new EdgeUsageTile(this, entry.edgeId, controller()->arcIdentifier(m_nodeId, entry.edgeId),
                                           tileWidth, height);
            m_tiles.append(tile);
            connect(tile, &EdgeUsageTile::editTriggered, this, &EdgeUsageListEditor::onEditTriggered);
            connect(tile, &EdgeUsageTile::visualizeMove, this, &EdgeUsageListEditor::onVisualizeTileMove);
            connect(tile, &EdgeUsageTile::moveFinished, this, &EdgeUsageListEditor::onTileMoveFinished);
            connect(tile, &EdgeUsageTile::removeTriggered, this, &EdgeUsageListEditor::onRemoveTriggered);
            tile->moveToSlot(false);
            tile->setUses(entry.uses);
        }
    }
    viewport()->update();
    updateSceneRect();
}

void EdgeUsageListEditor::syncAddMenu()
{
    m_addMenu->clear();
    if (hasNode()) {
        const QmdIndex arcs = controller()->index(QmdVelkaKeys::ArcIdentifiers, m_nodeIndex);
        if (arcs.isValid()) {
            for (const QmdIndex &arc : controller()->childIndexes(arcs)) {
                const int paletteIndex = controller()->data(arc).toInt();
                QAction *action = m_addMenu->addAction(
                    QIcon(edgeTilePixmap(paletteIndex, menuIconWidth, menuIconHeight)), paletteColorName(paletteIndex));
                action->setData(uint(arc.id()));
            }
        }
    }
    if (m_addMenu->isEmpty())
        m_addMenu->addAction(tr("(no edges)"))->setEnabled(false);
}

void EdgeUsageListEditor::updateSceneRect()
{
    const int count = int(m_tiles.size());
    const qreal width = count > 0 ? EdgeUsageTile::slotWidth * count - 1 : 0;
    scene()->setSceneRect(0, 0, width, tileHeight());
}

void EdgeUsageListEditor::followDocument()
{
    if (isGestureRunning()) {
        m_changedDuringGesture = true;
        return;
    }
    if (m_changedDuringGesture || parseEdgeUsageList(storedText()) != stripEntries())
        syncTiles();
}

bool EdgeUsageListEditor::isGestureRunning() const
{
    if (m_editedTile)
        return true;
    const QGraphicsItem *grabber = scene()->mouseGrabberItem();
    return grabber && std::any_of(m_tiles.cbegin(), m_tiles.cend(),
                                  [grabber](const EdgeUsageTile *tile) { return tile == grabber; });
}

void EdgeUsageListEditor::writeList()
{
    if (!hasNode())
        return;
    const EdgeUsageList entries = stripEntries();
    if (entries == parseEdgeUsageList(storedText()))
        return;
    controller()->requestSetData(QmdVelkaKeys::ArcUsageList, edgeUsageListText(entries), m_nodeIndex,
                                 QmdRequestOptions(tr("Edge Usage")));
}

bool EdgeUsageListEditor::hasNode() const
{
    // An index stays valid after its entry was removed: ask whether the node is there.
    return controller() && m_nodeIndex.isValid() && controller()->exists(m_nodeIndex);
}

QString EdgeUsageListEditor::storedText() const
{
    return hasNode() ? controller()->data(QmdVelkaKeys::ArcUsageList, m_nodeIndex).toString() : QString();
}

EdgeUsageList EdgeUsageListEditor::stripEntries() const
{
    EdgeUsageList entries;
    for (const EdgeUsageTile *tile : m_tiles)
        entries.append({tile->edgeId(), tile->uses()});
    return entries;
}

int EdgeUsageListEditor::tileHeight() const
{
    return maximumViewportSize().height() - 1;
}
