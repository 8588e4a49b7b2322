#include "networkview.h"

#include "auditionoutput.h"
#include "canvascontextmenu.h"
#include "canvascoordinates.h"
#include "devicepixmap.h"
#include "elementindexes.h"
#include "elementitem.h"
#include "graphicsnodeitem.h"
#include "graphicstextboxitem.h"
#include "midievent.h"
#include "networkscene.h"
#include "nodeaudition.h"
#include "qmdvelka.h"
#include "qmdvelkakeys.h"
#include "qwpcombobox.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QScrollBar>

namespace {

constexpr int zoomComboBoxWidth = 60;

// The hot spot is in logical pixels, the same for the "@2x" picture.
QCursor pictureCursor(const char *path, qreal devicePixelRatio)
{
    return QCursor(devicePixmap(QString::fromLatin1(path), devicePixelRatio), 7, 7);
}

} // namespace

NetworkView::NetworkView(QWidget *parent)
    : QGraphicsView(parent)
{
    setCacheMode(QGraphicsView::CacheBackground);
    setFocusPolicy(Qt::WheelFocus);

    m_zoomComboBox = new QwpComboBox(this);
    m_zoomComboBox->setFixedWidth(zoomComboBoxWidth);
    static const struct
    {
        const char *text;
        double scale;
    } factors[] = {{"25%", 0.25}, {"50%", 0.5},  {"75%", 0.75}, {"100%", 1.0}, {"125%", 1.25}, {"150%", 1.5},
                   {"200%", 2.0}, {"300%", 3.0}, {"400%", 4.0}, {"600%", 6.0}, {"800%", 8.0}};
    for (const auto &factor : factors)
        m_zoomComboBox->addItem(QString::fromLatin1(factor.text), factor.scale);
    addScrollBarWidget(m_zoomComboBox, Qt::AlignLeft);

    reset();
}

NetworkView::~NetworkView()
{
    clearPreviews();
}

void NetworkView::setEditActionsReceiver(QObject *receiver)
{
    delete m_contextMenu;
    m_contextMenu = nullptr;
    m_editActionsReceiver = receiver;
    if (receiver)
        m_contextMenu = new CanvasContextMenu(receiver, this);
}

void NetworkView::setNetworkScene(NetworkScene *scene)
{
    // Previews and drags belong to the scene they were made on.
    clearPreviews();
    m_zoomAnchorArea = QRectF();
    if (m_scene)
        disconnect(m_scene, nullptr, this, nullptr);
    m_scene = scene;
    if (scene)
        connect(scene, &NetworkScene::sceneContentsRectChanged, this, &NetworkView::smartUpdateSceneRect);
    setScene(scene);
    shrinkOrGrowSceneRect();
}

void NetworkView::setController(QmdVelkaController *c)
{
    if (QmdVelkaController *old = controller()) {
        old->unbind(m_zoomComboBox);
        disconnect(old, nullptr, this, nullptr);
    }
    QmdObserver<QmdVelkaController>::setController(c);
    if (c && c->model()) {
        connect(c, &QmdVelkaController::elementsAdded, this, &NetworkView::onElementsAdded);
        connect(c, &QmdVelkaController::elementsRemoved, this, &NetworkView::onElementsRemoved);
        connect(c, qOverload<const QmdIndex &, const QStringList &, QmdRequestId>(&QmdController::itemsChanged),
                this, &NetworkView::onItemsChanged);
        connect(c, &QmdController::modelReset, this, &NetworkView::reset);
        connect(c, &QmdController::requestFinished, this, &NetworkView::onRequestFinished);
        c->bindKey(m_zoomComboBox, "currentKey", SIGNAL(activated(int)), QmdVelkaKeys::ZoomScale, QmdIndex(), QVariant(),
                   QVariant(), QString(), Qmd::NoUndoHistory);
    }
    reset();
}

bool NetworkView::hasModel() const
{
    const QmdVelkaController *c = controller();
    return c && c->model();
}

void NetworkView::reset()
{
    clearPreviews();
    resetCachedContent();
    if (hasModel())
        onItemsChanged(QmdIndex(), {QmdVelkaKeys::ZoomScale, QmdVelkaKeys::Tool});
    updateCursor();
}

void NetworkView::clearPreviews()
{
    endDrag();
    m_creation.clear();
    m_textBoxPlacement.clear();
    if (m_scene)
        m_scene->update();
}

void NetworkView::endDrag()
{
    m_movingElement = 0;
    m_moveRequestId = 0;
    m_moveOffsets.clear();
    m_movedElements.clear();
    m_firstMove = false;
}

QmdVelka::TickPos NetworkView::viewportCenterTickPos() const
{
    return sceneToTickPos(scenePoint(QRectF(viewport()->rect()).center()));
}

QPointF NetworkView::scenePoint(const QPointF &viewportPos) const
{
    return viewportTransform().inverted().map(viewportPos);
}

void NetworkView::setPreviewEdgePathKind(int kind)
{
    m_creation.setEdgePathKind(kind);
}

bool NetworkView::hasMovingItem() const
{
    return m_movingElement != 0 || (m_creation.isTracking() && m_creation.previewNode())
        || m_textBoxPlacement.isActive();
}

void NetworkView::onElementsAdded(const QmdItemIdList &idList, QmdRequestId rid)
{
    if (QmdVelkaController *c = controller())
        m_creation.onElementsAdded(c, idList, rid);
    shrinkOrGrowSceneRect();
}

void NetworkView::onElementsRemoved(const QmdItemIdList &idList, QmdRequestId)
{
    m_creation.onElementsRemoved(idList);
    // No further "Move" step may reach an element that is gone.
    if (m_movingElement != 0) {
        for (QmdItemId id : idList) {
            if (id == m_movingElement || m_movedElements.contains(id)) {
                endDrag();
                break;
            }
        }
    }
    shrinkOrGrowSceneRect();
}

void NetworkView::onRequestFinished(QmdRequestId rid)
{
    // An undo or redo during a drag ends it: a later step would join no undo
    // step of its own and clear the redo history.
    if (m_movingElement != 0) {
        const QmdVelkaController *c = controller();
        if (c && c->undoRedoRequestIds().contains(rid))
            endDrag();
    }
}

void NetworkView::onItemsChanged(const QmdIndex &parent, const QStringList &keys)
{
    const QmdVelkaController *c = controller();
    if (!c || parent != QmdIndex())
        return;
    if (keys.contains(QmdVelkaKeys::ZoomScale))
        applyZoomScale();
    if (keys.contains(QmdVelkaKeys::Tool)) {
        bool ok = false;
        const int tool = c->data(QmdVelkaKeys::Tool).toInt(&ok);
        if (ok && tool >= SelectionTool && tool <= TextBoxTool)
            m_tool = Tool(tool);
        updateCursor();
    }
}

// ---- Zoom and scene rectangle ----

void NetworkView::applyZoomScale()
{
    const QmdVelkaController *c = controller();
    if (!c)
        return;
    const double scale = usableZoomScale(c->data(QmdVelkaKeys::ZoomScale));
    const bool byTool = m_zoomRequestId != 0;
    m_zoomRequestId = 0;
    setTransform(QTransform::fromScale(scale, scale));
    // A zoom-tool click keeps the clicked point under the mouse, however
    // small the network: the scene rectangle takes in the area that shows
    // then, for as long as this zoom lasts. Other zooms keep the view centre.
    m_zoomAnchorArea = byTool ? QRectF(m_zoomAnchorScenePos - QPointF(m_zoomAnchorViewportPos) / scale,
                                       QSizeF(viewport()->size()) / scale)
                              : QRectF();
    updateZoomMode(m_zoomMode == ZoomMode::Out);
    shrinkOrGrowSceneRect();
    if (byTool)
        scrollSceneToViewport(m_zoomAnchorScenePos, m_zoomAnchorViewportPos);
}

void NetworkView::scrollSceneToViewport(const QPointF &scenePos, const QPoint &viewportPos)
{
    centerOn(scenePos + QPointF(viewport()->width() / 2.0 - viewportPos.x(),
                                viewport()->height() / 2.0 - viewportPos.y()) / transform().m11());
    // centerOn rounds to whole scroll steps: take up what is left.
    const QPoint rest = mapFromScene(scenePos) - viewportPos;
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + rest.x());
    verticalScrollBar()->setValue(verticalScrollBar()->value() + rest.y());
}

void NetworkView::updateZoomMode(bool zoomOut)
{
    const QmdVelkaController *c = controller();
    const double scale = c ? usableZoomScale(c->data(QmdVelkaKeys::ZoomScale)) : 1.0;
    m_zoomMode = zoomModeFor(scale, zoomOut);
    updateCursor();
}

void NetworkView::zoomByTool(const QPoint &viewportPos)
{
    QmdVelkaController *c = controller();
    if (!c || m_zoomMode == ZoomMode::None)
        return;
    m_zoomAnchorViewportPos = viewportPos;
    m_zoomAnchorScenePos = scenePoint(viewportPos);
    const double factor = m_zoomMode == ZoomMode::Out ? 0.5 : 2.0;
    const double scale = usableZoomScale(c->data(QmdVelkaKeys::ZoomScale)) * factor;
    m_zoomRequestId = c->requestSetData(QmdVelkaKeys::ZoomScale, scale, QmdIndex(),
                                        QmdRequestOptions(Qmd::NoUndoHistory, tr("Zoom")));
}

QRectF NetworkView::neededSceneRect() const
{
    const QTransform t = transform();
    const QSizeF visible(viewport()->width() / t.m11(), viewport()->height() / t.m22());
    const QRectF wanted = wantedSceneRect(visible, m_scene->sceneContentsRect());
    return m_zoomAnchorArea.isNull() ? wanted : wanted.united(m_zoomAnchorArea);
}

void NetworkView::shrinkOrGrowSceneRect()
{
    if (!m_scene)
        return;
    const QRectF wanted = neededSceneRect();
    if (wanted != m_scene->sceneRect())
        m_scene->setSceneRect(wanted);
}

void NetworkView::smartUpdateSceneRect()
{
    if (!m_scene)
        return;
    const QRectF wanted = neededSceneRect();
    const QRectF current = m_scene->sceneRect();
    if (current.isEmpty() || (wanted.contains(current) && wanted != current))
        m_scene->setSceneRect(wanted);
}

void NetworkView::resizeEvent(QResizeEvent *event)
{
    QGraphicsView::resizeEvent(event);
    shrinkOrGrowSceneRect();
}

// ---- Cursor ----

void NetworkView::updateCursor()
{
    const qreal ratio = devicePixelRatioF();
    QCursor cursor;
    switch (m_tool) {
    case SelectionTool:
        cursor = QCursor(Qt::ArrowCursor);
        break;
    case ZoomTool:
        switch (m_zoomMode) {
        case ZoomMode::In:
            cursor = pictureCursor(":/images/Cursors/ZoomIn.png", ratio);
            break;
        case ZoomMode::Out:
            cursor = pictureCursor(":/images/Cursors/ZoomOut.png", ratio);
            break;
        case ZoomMode::None:
            cursor = pictureCursor(":/images/Cursors/ZoomNone.png", ratio);
            break;
        }
        break;
    case NodeAndEdgeTool:
    case VoiceGroupTool:
        cursor = pictureCursor(":/images/Cursors/Crosshair.png", ratio);
        break;
    case TextBoxTool:
        cursor = QCursor(Qt::IBeamCursor);
        break;
    }
    setCursor(cursor);
    viewport()->setCursor(cursor);
}

// ---- Mouse ----

bool NetworkView::sceneHasFocusItem() const
{
    return m_scene && m_scene->focusItem();
}

void NetworkView::mousePressEvent(QMouseEvent *event)
{
    if (sceneHasFocusItem()) {
        m_basePressed = true;
        QGraphicsView::mousePressEvent(event);
        return;
    }
    bool zoomed = false;
    bool selectedHiddenEdge = false;
    if (event->button() == Qt::LeftButton && m_scene && hasModel()) {
        endDrag();
        // A gesture still waiting for its node ends with the next press.
        if (m_creation.hasPreviews())
            clearPreviews();
        const QPoint pressPos = event->position().toPoint();
        const QPointF p = scenePoint(event->position());
        QGraphicsItem *item = pressedItem(pressPos);
        switch (m_tool) {
        case SelectionTool: {
            if (event->modifiers() == Qt::NoModifier && selectNextHiddenEdge(item, pressPos)) {
                selectedHiddenEdge = true;
                break;
            }
            const ElementItem *element = dynamic_cast<ElementItem *>(item);
            if (element && element->id() != 0
                && (item->type() == NodeItemType || item->type() == TextBoxItemType)) {
                m_movingElement = element->id();
                m_lastTickPos = sceneToTickPos(item->pos());
                m_pressOffset = m_lastTickPos - sceneToTickPos(p);
            }
            if (item && event->modifiers() == Qt::ShiftModifier)
                item->setSelected(!item->isSelected());
            if (element && element->id() != 0 && item->type() == NodeItemType
                && event->modifiers() == Qt::AltModifier)
                auditionNode(controller(), element->id(), AuditionOutput::installed());
            break;
        }
        case ZoomTool:
            zoomByTool(pressPos);
            zoomed = true;
            break;
        case NodeAndEdgeTool: {
            QPointF q = p;
            snapScenePoint(q, m_scene);
            m_creation.beginNodeAndEdge(m_scene, q, CreationGesture::boundNodeItem(item), pressPos);
            break;
        }
        case VoiceGroupTool:
            m_creation.beginVoiceGroup(m_scene, controller(), CreationGesture::boundNodeItem(item));
            break;
        case TextBoxTool:
            pressWithTextBoxTool(item, p);
            break;
        default:
            break;
        }
        // The dragged elements are gathered at the first move, once the base
        // class has updated the selection.
        m_firstMove = m_movingElement != 0;
    }
    if (hasMovingItem()) {
        setDragMode(QGraphicsView::NoDrag);
        event->accept();
    }
    if (sceneHasFocusItem())
        return; // the text-box tool opened an editor
    if (!zoomed && !selectedHiddenEdge && event->button() != Qt::RightButton
        && event->modifiers() == Qt::NoModifier) {
        m_basePressed = true;
        QGraphicsView::mousePressEvent(event);
    }
}

QGraphicsItem *NetworkView::pressedItem(const QPoint &viewportPos) const
{
    const QList<QGraphicsItem *> stack = items(viewportPos);
    // These tools act on nodes only: a node is reached wherever it is drawn,
    // also under an edge, a voice group or a preview.
    if (m_tool == NodeAndEdgeTool || m_tool == VoiceGroupTool) {
        for (QGraphicsItem *g : stack) {
            if (GraphicsNodeItem *node = CreationGesture::boundNodeItem(g->topLevelItem()))
                return node;
        }
        return nullptr;
    }
    // Otherwise the item the scene gives the press to: the topmost that takes
    // the button (labels and arrow heads pass it on).
    for (QGraphicsItem *g : stack) {
        if (g->acceptedMouseButtons() & Qt::LeftButton)
            return g->topLevelItem();
    }
    return nullptr;
}

bool NetworkView::selectNextHiddenEdge(QGraphicsItem *pressed, const QPoint &viewportPos)
{
    // Edges that overlap all along a leg hide each other: a click at a spot
    // where the selected one lies over others selects the next one below,
    // and after the lowest the topmost again.
    if (!pressed || pressed->type() != EdgeItemType)
        return false;
    QList<QGraphicsItem *> edges;
    const QList<QGraphicsItem *> stack = items(viewportPos);
    for (QGraphicsItem *g : stack) {
        QGraphicsItem *top = g->topLevelItem();
        const ElementItem *element = dynamic_cast<ElementItem *>(top);
        if (top->type() == EdgeItemType && element && element->id() != 0 && !edges.contains(top))
            edges.append(top);
    }
    if (edges.size() < 2)
        return false;
    for (int i = 0; i < edges.size(); ++i) {
        if (edges.at(i)->isSelected()) {
            m_scene->clearSelection();
            edges.at((i + 1) % edges.size())->setSelected(true);
            return true;
        }
    }
    return false;
}

void NetworkView::mouseMoveEvent(QMouseEvent *event)
{
    if (sceneHasFocusItem()) {
        QGraphicsView::mouseMoveEvent(event);
        return;
    }
    QmdVelkaController *c = controller();
    if (m_movingElement != 0 && m_firstMove && c && m_scene) {
        for (QmdItemId id : m_scene->selectedElementIds()) {
            const int type = c->elementType(id);
            if (type != QmdVelka::Node && type != QmdVelka::TextBox)
                continue;
            const std::optional<QmdIndex> entry = existingElementEntry(c, id, QmdVelkaKeys::TickPos);
            if (!entry)
                continue;
            m_moveOffsets.insert(*entry, c->data(*entry).value<QmdVelka::TickPos>() - m_lastTickPos);
            m_movedElements.insert(id);
        }
        m_firstMove = false;
    }

    QGraphicsView::mouseMoveEvent(event);

    if (event->buttons() != Qt::LeftButton || !m_scene || !c || !c->model() || m_tool == ZoomTool)
        return;
    if (m_movingElement != 0) {
        QmdVelka::TickPos t = sceneToTickPos(scenePoint(event->position())) + m_pressOffset;
        snapTickPos(t, m_scene);
        if (t != m_lastTickPos) {
            QHash<QmdIndex, QVariant> positions;
            positions.reserve(m_moveOffsets.size());
            for (auto it = m_moveOffsets.cbegin(); it != m_moveOffsets.cend(); ++it)
                positions.insert(it.key(), QVariant(it.value() + t));
            if (!positions.isEmpty())
                m_moveRequestId = c->requestSetData(positions,
                                                    QmdRequestOptions({}, tr("Move"), m_moveRequestId));
            m_lastTickPos = t;
        }
    }
    if (m_creation.isTracking()) {
        QPointF s = scenePoint(event->position());
        snapScenePoint(s, m_scene);
        m_creation.moveTo(s, event->position().toPoint(), c);
        viewport()->update();
    }
    m_textBoxPlacement.moveTo(scenePoint(event->position()));
}

void NetworkView::mouseReleaseEvent(QMouseEvent *event)
{
    // The release goes where the press went, whatever the modifiers are now:
    // a base press left unreleased keeps the scene's mouse grab or rubber band.
    const bool baseRelease = m_basePressed || sceneHasFocusItem();
    if (event->buttons() == Qt::NoButton)
        m_basePressed = false;
    if (baseRelease)
        QGraphicsView::mouseReleaseEvent(event);
    else
        QGraphicsView::mouseMoveEvent(event);

    // A text box whose editor this release opened (its second click) still
    // ends the gesture: the press set up a drag of it.
    if (event->button() == Qt::LeftButton && m_scene && hasModel() && !sceneHasFocusItem()) {
        m_creation.release(controller(), event->position().toPoint());
        m_textBoxPlacement.commit(controller());
    }
    m_textBoxPlacement.clear();
    if (m_scene) {
        shrinkOrGrowSceneRect();
        m_scene->update();
    }
    endDrag();
    m_lastTickPos = QmdVelka::TickPos();
    m_pressOffset = QmdVelka::TickPos();
    setDragMode(QGraphicsView::RubberBandDrag);
    updateCursor();
}

void NetworkView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (m_scene && hasModel() && event->button() == Qt::LeftButton && m_tool == SelectionTool) {
        // The scene takes the double-click as a press and grabs the mouse:
        // the release that follows must reach it.
        m_basePressed = true;
        QGraphicsView::mouseDoubleClickEvent(event);
    }
}

void NetworkView::pressWithTextBoxTool(QGraphicsItem *item, const QPointF &scenePos)
{
    // A press on a text box edits it; anywhere else, on nodes and edges too,
    // a new one is placed.
    if (auto *textBox = dynamic_cast<GraphicsTextBoxItem *>(item)) {
        if (textBox->id() != 0) {
            textBox->openEditor(textBox->boundingRect().center());
            return;
        }
    }
    m_textBoxPlacement.begin(m_scene, scenePos);
}

// ---- Keys ----

void NetworkView::keyPressEvent(QKeyEvent *event)
{
    // Keys of a text box being edited are its own.
    if (sceneHasFocusItem()) {
        QGraphicsView::keyPressEvent(event);
        return;
    }
    QGraphicsView::keyPressEvent(event);
    if (!m_scene || !hasModel())
        return;
    switch (event->key()) {
    case Qt::Key_Escape:
        clearPreviews();
        break;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        // The window's Delete takes the Delete key while no editor has focus;
        // it reaches here only where the window holds no such shortcut.
        if (m_editActionsReceiver && m_editActionsReceiver->metaObject()->indexOfSlot("del()") >= 0)
            QMetaObject::invokeMethod(m_editActionsReceiver, "del");
        break;
    case Qt::Key_Shift:
        setPreviewEdgePathKind(QmdVelka::CityBlockFlipped);
        break;
    case Qt::Key_Alt:
        updateZoomMode(true);
        break;
    default:
        break;
    }
}

void NetworkView::keyReleaseEvent(QKeyEvent *event)
{
    // Also while a text box is being edited: a key pressed before the editing
    // began is released here.
    QGraphicsView::keyReleaseEvent(event);
    if (!m_scene || !hasModel())
        return;
    switch (event->key()) {
    case Qt::Key_Shift:
        setPreviewEdgePathKind(QmdVelka::CityBlock);
        break;
    case Qt::Key_Alt:
        updateZoomMode(false);
        break;
    default:
        break;
    }
}

// ---- Context menu ----

void NetworkView::contextMenuEvent(QContextMenuEvent *event)
{
    if (sceneHasFocusItem() || !m_contextMenu) {
        QGraphicsView::contextMenuEvent(event);
        return;
    }
    QGraphicsItem *item = itemAt(event->pos());
    if (item)
        item = item->topLevelItem();
    m_contextMenu->prepare(controller(), m_scene, item);
    m_contextMenu->popup(event->globalPos());
    QGraphicsView::contextMenuEvent(event);
    // The menu is open: the window shows none of its own.
    event->accept();
}

// ---- MIDI ----

void NetworkView::customEvent(QEvent *event)
{
    // Settings events share the MIDI event's type number: the class decides.
    if (const auto *midi = dynamic_cast<const MidiEvent *>(event)) {
        m_midiNoteEntry.enter(controller(), m_scene ? m_scene->selectedElementIds() : QmdItemIdSet(), *midi);
        return;
    }
    QGraphicsView::customEvent(event);
}
