#include "creationgesture.h"

#include "canvascoordinates.h"
#include "elementindexes.h"
#include "graphicsedgeitem.h"
#include "graphicsnodeitem.h"
#include "graphicsvoicegroupitem.h"
#include "networkscene.h"
#include "qmdvelka.h"
#include "qmdvelkacontroller.h"
#include "qmdvelkakeys.h"

#include <QApplication>
#include <QPen>

namespace {

QString viewText(const char *text)
{
    return QCoreApplication::translate("NetworkView", text);
}

bool isNode(const QmdVelkaController *controller, QmdItemId id)
{
    return controller && id != 0 && controller->elementType(id) == QmdVelka::Node;
}

} // namespace

const QColor CreationGesture::EdgeTargetColor(0, 255, 0, 255);
const QColor CreationGesture::BlockedColor(255, 0, 0, 255);
const QColor CreationGesture::FreeColor(155, 158, 255, 255);

CreationGesture::~CreationGesture()
{
    clear();
}

GraphicsNodeItem *CreationGesture::boundNodeItem(QGraphicsItem *item)
{
    if (!item || item->type() != NodeItemType)
        return nullptr;
    auto *node = dynamic_cast<GraphicsNodeItem *>(item);
    return node && node->id() != 0 ? node : nullptr;
}

bool CreationGesture::hasPreviews() const
{
    return alive() && (m_previewNode || m_previewEdge || m_previewVoiceGroup);
}

void CreationGesture::forgetIfSceneGone()
{
    if (alive())
        return;
    m_previewNode = nullptr;
    m_previewEdge = nullptr;
    m_previewVoiceGroup = nullptr;
    m_fromNode = 0;
    m_toNode = 0;
    m_pendingNodeRequest = 0;
    m_tracking = false;
}

void CreationGesture::deletePreviews()
{
    if (alive()) {
        delete m_previewNode;
        delete m_previewEdge;
        delete m_previewVoiceGroup;
    }
    m_previewNode = nullptr;
    m_previewEdge = nullptr;
    m_previewVoiceGroup = nullptr;
}

void CreationGesture::clear()
{
    deletePreviews();
    m_fromNode = 0;
    m_toNode = 0;
    m_pendingNodeRequest = 0;
    m_tracking = false;
    m_leftPressArea = false;
}

void CreationGesture::takePreview(QGraphicsItem *item, qreal opacity)
{
    // A preview is no element: it must never join the selection (an id 0
    // there would copy or delete the document root) nor catch a press meant
    // for the element below it.
    item->setFlag(QGraphicsItem::ItemIsSelectable, false);
    item->setAcceptedMouseButtons(Qt::NoButton);
    item->setAcceptHoverEvents(false);
    const QList<QGraphicsItem *> children = item->childItems();
    for (QGraphicsItem *child : children) {
        child->setAcceptedMouseButtons(Qt::NoButton);
        child->setAcceptHoverEvents(false);
    }
    item->setOpacity(opacity);
}

void CreationGesture::beginNodeAndEdge(NetworkScene *scene, const QPointF &snappedPoint, GraphicsNodeItem *node,
                                       const QPoint &viewportPos)
{
    clear();
    if (!scene)
        return;
    m_scene = scene;
    m_pressViewportPos = viewportPos;
    m_tracking = true;

    m_previewNode = new GraphicsNodeItem(scene);
    takePreview(m_previewNode, PreviewOpacity);
    m_previewNode->setPos(snappedPoint);
    m_previewNode->setZValue(PreviewNodeZValue);

    if (node) {
        scene->clearSelection();
        m_fromNode = node->id();
        m_previewEdge = new GraphicsEdgeItem(scene);
        takePreview(m_previewEdge, PreviewOpacity);
        m_previewEdge->setFromPoint(node->pos());
        m_previewEdge->setToPoint(m_previewNode->pos());
        m_previewEdge->updatePath();
    }
}

void CreationGesture::beginVoiceGroup(NetworkScene *scene, const QmdVelkaController *controller,
                                      GraphicsNodeItem *node)
{
    clear();
    if (!scene || !node || !isNode(controller, node->id()))
        return;
    m_scene = scene;
    m_tracking = true;
    m_toNode = node->id();
    m_previewVoiceGroup = new GraphicsVoiceGroupItem(scene);
    takePreview(m_previewVoiceGroup, 1.0);
    m_previewVoiceGroup->setPos(
        tickPosToScene(controller->elementData(m_toNode, QmdVelkaKeys::TickPos).value<QmdVelka::TickPos>()));
}

void CreationGesture::setPreviewNodeColor(const QColor &color)
{
    QPen pen = m_previewNode->pen();
    if (pen.color() == color)
        return;
    pen.setColor(color);
    m_previewNode->setPen(pen);
}

void CreationGesture::updateEdgeTo(const QPointF &point)
{
    m_previewEdge->setToPoint(point);
    m_previewEdge->updatePath();
}

void CreationGesture::moveTo(const QPointF &snappedPoint, const QPoint &viewportPos,
                             const QmdVelkaController *controller)
{
    forgetIfSceneGone();
    if (!m_tracking)
        return;
    if ((viewportPos - m_pressViewportPos).manhattanLength() >= QApplication::startDragDistance())
        m_leftPressArea = true;

    if (m_previewVoiceGroup) {
        if (isNode(controller, m_toNode))
            m_previewVoiceGroup->setPos(
                tickPosToScene(controller->elementData(m_toNode, QmdVelkaKeys::TickPos).value<QmdVelka::TickPos>()));
        return;
    }
    if (!m_previewNode)
        return;

    m_previewNode->setPos(snappedPoint);
    GraphicsNodeItem *target = nullptr;
    const QList<QGraphicsItem *> here = m_scene->items(snappedPoint);
    for (QGraphicsItem *item : here) {
        target = boundNodeItem(item->topLevelItem());
        if (target)
            break;
    }
    if (target) {
        m_toNode = target->id();
        m_previewNode->setPos(target->pos());
        if (m_previewEdge) {
            setPreviewNodeColor(EdgeTargetColor);
            updateEdgeTo(target->pos());
        } else {
            setPreviewNodeColor(BlockedColor);
        }
    } else {
        m_toNode = 0;
        setPreviewNodeColor(FreeColor);
        if (m_previewEdge)
            updateEdgeTo(m_previewNode->pos());
    }
}

void CreationGesture::release(QmdVelkaController *controller, const QPoint &viewportPos)
{
    forgetIfSceneGone();
    if (!m_tracking)
        return;
    m_tracking = false;
    if ((viewportPos - m_pressViewportPos).manhattanLength() >= QApplication::startDragDistance())
        m_leftPressArea = true;

    if (m_previewEdge) {
        // A click on a node draws nothing: neither a node hidden under it nor
        // an edge of no length.
        if (!m_leftPressArea || !isNode(controller, m_fromNode)) {
            clear();
            return;
        }
        if (m_toNode != 0) {
            requestEdge(controller, m_toNode, 0);
            return;
        }
        requestNode(controller);
        return;
    }
    if (m_previewNode) {
        // Released on a node without an edge: there is no room for another.
        if (m_toNode != 0) {
            clear();
            return;
        }
        requestNode(controller);
        return;
    }
    if (m_previewVoiceGroup)
        requestVoiceGroup(controller);
}

void CreationGesture::requestEdge(QmdVelkaController *controller, QmdItemId to, QmdRequestId rid)
{
    const std::optional<QmdIndex> from = existingElementIndex(controller, m_fromNode);
    const std::optional<QmdIndex> target = existingElementIndex(controller, to);
    if (from && target && isNode(controller, m_fromNode) && isNode(controller, to)) {
        const auto path = QmdVelka::EdgePath(m_previewEdge->pathKind());
        if (rid != 0)
            controller->requestAddEdge(*from, *target, path, QmdVelka::NoCreationFlags,
                                       QmdRequestOptions({}, rid));
        else
            controller->requestAddEdge(*from, *target, path, QmdVelka::NoCreationFlags,
                                       QmdRequestOptions(QmdVelkaController::tr("Edge")));
    }
    clear();
}

void CreationGesture::requestNode(QmdVelkaController *controller)
{
    const QmdVelka::TickPos pos = sceneToTickPos(m_previewNode->pos());
    if (!m_previewEdge) {
        controller->requestAddNode(pos, QmdVelka::NoCreationFlags, QmdRequestOptions(viewText("Node")));
        clear();
        return;
    }
    // The edge follows when the node has arrived; both previews stay until
    // then.
    m_toNode = 0;
    m_pendingNodeRequest = controller->requestAddNode(pos, QmdVelka::NoCreationFlags,
                                                      QmdRequestOptions(viewText("Node && Edge")));
    if (m_pendingNodeRequest == 0)
        clear();
}

void CreationGesture::requestVoiceGroup(QmdVelkaController *controller)
{
    const std::optional<QmdIndex> target = existingElementIndex(controller, m_toNode);
    if (target && isNode(controller, m_toNode))
        controller->requestAddVoiceGroup(*target, QmdVelka::NoCreationFlags,
                                         QmdRequestOptions(QmdVelkaController::tr("Voice Group")));
    clear();
}

void CreationGesture::onElementsAdded(QmdVelkaController *controller, const QmdItemIdList &idList,
                                      QmdRequestId rid)
{
    forgetIfSceneGone();
    if (!m_previewEdge || m_pendingNodeRequest == 0 || rid != m_pendingNodeRequest)
        return;
    if (idList.isEmpty()) {
        clear();
        return;
    }
    requestEdge(controller, idList.first(), m_pendingNodeRequest);
}

void CreationGesture::onElementsRemoved(const QmdItemIdList &idList)
{
    forgetIfSceneGone();
    for (QmdItemId id : idList) {
        if (id != 0 && (id == m_fromNode || id == m_toNode)) {
            clear();
            return;
        }
    }
}

void CreationGesture::setEdgePathKind(int kind)
{
    forgetIfSceneGone();
    if (!m_previewEdge)
        return;
    m_previewEdge->setPathKind(kind);
    m_previewEdge->updatePath();
}
