#include "qmdvelkaclipboard.h"
#include "qmdvelkakeys.h"

#include "qmdmemmodel.h"
#include "qmdtree.h"
#include "qmdrequestguard.h"
#include "qmdvelka.h"
#include "qmdvelkacontroller.h"
#include "qmdvelkaexporter.h"
#include "qmdvelkaimporter.h"
#include "tickrounding.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <algorithm>
#include <limits>

using QmdVelka::TickPos;

namespace {

const qint64 ticksPerPrincipal = qint64(QmdVelka::TicksPerPrincipal);

// Tick arithmetic that cannot overflow: results beyond the range of qint64
// stop at its ends.
qint64 clampTick(__int128 value)
{
    const __int128 low = std::numeric_limits<qint64>::min();
    const __int128 high = std::numeric_limits<qint64>::max();
    return qint64(std::clamp(value, low, high));
}

// Whether the index names an entry that is there now. A lookup that finds
// nothing gives the default index, which stands for the root: it must never
// be read or written as if it were the entry.
bool present(const QmdDirectModelInterface &model, const QmdIndex &index)
{
    return index.isValid() && model.exists(index);
}

QmdItemIdList sorted(const QmdItemIdSet &ids)
{
    QmdItemIdList list(ids.cbegin(), ids.cend());
    std::sort(list.begin(), list.end());
    return list;
}

// Where the pasted elements go: the offset that centres their bounding box
// on center, moved so that the first node lands on the division grid.
class Placement
{
public:
    void add(const TickPos &pos, bool isNode)
    {
        if (m_empty) {
            m_min = m_max = pos;
            m_empty = false;
        }
        m_min = TickPos(std::min(m_min.x, pos.x), std::min(m_min.y, pos.y));
        m_max = TickPos(std::max(m_max.x, pos.x), std::max(m_max.y, pos.y));
        if (isNode && !m_hasAnchor) {
            m_anchor = pos;
            m_hasAnchor = true;
        }
    }

    TickPos offset(const TickPos &center, qint64 divisions) const
    {
        const TickPos plain(centredOffset(center.x, m_min.x, m_max.x), centredOffset(center.y, m_min.y, m_max.y));
        if (!m_hasAnchor)
            return plain;
        const double step = double(quint64(ticksPerPrincipal) / quint64(divisions));
        return TickPos(gridOffset(m_anchor.x, plain.x, step), gridOffset(m_anchor.y, plain.y, step));
    }

private:
    static qint64 centredOffset(qint64 center, qint64 min, qint64 max)
    {
        const __int128 halfSpan = (__int128(max) - min) / 2;
        return clampTick(__int128(center) - min - halfSpan);
    }

    static qint64 gridOffset(qint64 anchor, qint64 offset, double step)
    {
        const qint64 moved = clampTick(__int128(anchor) + offset);
        const qint64 snapped = clampTick(__int128(roundToTick(double(moved) / step)) * qint64(step));
        return clampTick(__int128(snapped) - anchor);
    }

    bool m_empty = true;
    bool m_hasAnchor = false;
    TickPos m_min;
    TickPos m_max;
    TickPos m_anchor;
};

QmdTree *elementTree(const QmdIdEntries &elements, QmdItemId id)
{
    return QmdTree::treeOf(elements.value(id));
}

// In the payload: drops what is not an element and the elements that refer
// to elements outside the payload, then moves the rest into place.
void placePayload(QmdTree &payload, const TickPos &center, qint64 divisions)
{
    QmdIdEntries &elements = payload.ids();
    QmdItemIdList ids = elements.keys();
    std::sort(ids.begin(), ids.end());
    const QmdItemIdSet payloadIds(ids.cbegin(), ids.cend());
    const auto dangling = [&](const QmdTree &element, const QString &key) {
        const auto reference = element.keys().constFind(key);
        return reference != element.keys().constEnd() && !payloadIds.contains(reference.value().toUInt());
    };

    Placement placement;
    QList<QmdTree *> placed;
    for (QmdItemId id : std::as_const(ids)) {
        QmdTree *element = elementTree(elements, id);
        if (!element || element->type() != Qmd::StrDict || dangling(*element, QmdVelkaKeys::ToNode)
            || dangling(*element, QmdVelkaKeys::FromNode)) {
            QmdTree::release(elements.take(id));
            continue;
        }
        const QVariant pos = element->keys().value(QmdVelkaKeys::TickPos);
        if (pos.metaType() != QMetaType::fromType<TickPos>())
            continue;
        placement.add(pos.value<TickPos>(), element->keys().value(QmdVelkaKeys::Type).toInt() == QmdVelka::Node);
        placed.append(element);
    }

    const TickPos offset = placement.offset(center, divisions);
    for (QmdTree *element : std::as_const(placed)) {
        QVariant &value = element->keys()[QmdVelkaKeys::TickPos];
        const TickPos pos = value.value<TickPos>();
        value = QVariant::fromValue(
            TickPos(clampTick(__int128(pos.x) + offset.x), clampTick(__int128(pos.y) + offset.y)));
    }
}

// "edge=uses" entries of the edges that were pasted, pointed at their copies.
QString remappedUsageList(const QString &usages, const QHash<QmdItemId, QmdItemId> &edgeMap)
{
    QString kept;
    for (const QStringView entry : QStringView(usages).tokenize(u',', Qt::SkipEmptyParts)) {
        const QmdItemId edge = edgeMap.value(entry.left(entry.indexOf(u'=')).toUInt());
        if (edge == 0)
            continue;
        if (!kept.isEmpty())
            kept += u',';
        kept += QString::number(edge);
        const qsizetype equals = entry.lastIndexOf(u'=');
        if (equals >= 0) {
            kept += u'=';
            kept += entry.mid(equals + 1);
        }
    }
    return kept;
}

} // namespace

QmdVelkaClipboard::QmdVelkaClipboard(QmdVelkaController *controller)
    : QmdDirectModelInterface(controller->model())
    , m_controller(controller)
{
}

QString QmdVelkaClipboard::mimeType()
{
    return QStringLiteral("text/velka-elements");
}

QByteArray QmdVelkaClipboard::payload(const QmdItemIdSet &elements)
{
    QmdIndexList copied;
    for (QmdItemId id : sorted(elements)) {
        const QmdIndex element = m_controller->elementIndex(id);
        if (present(*this, element) && element.id() == id && type(element) == Qmd::StrDict)
            copied.append(element);
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QmdVelkaExporter writer(model(), &buffer);
    writer.writeBegin();
    writer.writeIntDict(copied);
    writer.writeEnd();
    return writer.hasError() ? QByteArray() : buffer.data();
}

QmdRequestId QmdVelkaClipboard::copy(const QmdItemIdSet &elements)
{
    QByteArray bytes;
    QmdRequestId rid = 0;
    {
        QmdRequestGuard request(m_controller, QmdRequestOptions(Qmd::NoUndoHistory, QmdVelkaController::tr("Copy")));
        rid = request.rid();
        bytes = payload(elements);
    }
    // The clipboard is told after the document lock is released: its
    // listeners may read the document.
    if (!bytes.isEmpty() && qGuiApp) {
        auto *mimeData = new QMimeData;
        mimeData->setData(mimeType(), bytes);
        QGuiApplication::clipboard()->setMimeData(mimeData, QClipboard::Clipboard);
    }
    return rid;
}

QmdRequestId QmdVelkaClipboard::paste(const TickPos &center)
{
    // The clipboard is read before the document lock is taken.
    QByteArray bytes;
    if (qGuiApp) {
        const QMimeData *mimeData = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
        if (mimeData && mimeData->formats().contains(mimeType()))
            bytes = mimeData->data(mimeType());
    }
    return pastePayload(bytes, center);
}

QmdRequestId QmdVelkaClipboard::pastePayload(const QByteArray &payload, const TickPos &center)
{
    QmdRequestGuard request(m_controller, QmdRequestOptions(QmdVelkaController::tr("Paste")));
    const QmdIndex elements = m_controller->elementsIndex();
    if (payload.isEmpty() || !present(*this, elements) || type(elements) != Qmd::IntDict)
        return request.rid();

    QBuffer buffer;
    buffer.setData(payload);
    buffer.open(QIODevice::ReadOnly);
    // The reader needs a model of its own; the payload never goes into it.
    QmdMemModel readerModel;
    QmdVelkaImporter reader(&readerModel, &buffer);
    const std::unique_ptr<QmdTree> tree = reader.readTree({QmdVelkaKeys::Elements});
    if (!tree || tree->type() != Qmd::IntDict)
        return request.rid();
    const qint64 divisions = std::clamp<qint64>(data(QmdVelkaKeys::DivsPerPrincipal, QmdIndex()).toLongLong(),
                                                1, ticksPerPrincipal);
    placePayload(*tree, center, divisions);

    // The copies get fresh ids; their references still name payload ids.
    QmdItemIdList sources = tree->ids().keys();
    std::sort(sources.begin(), sources.end());
    const QmdItemIdList newIds = model()->newItemIds(int(sources.size()), elements);
    QHash<QmdItemId, QmdItemId> idMap;
    QList<QPair<QmdItemId, QmdTree *>> pasted; // (payload id, element)
    for (qsizetype i = 0; i < newIds.size(); ++i) {
        idMap.insert(sources.at(i), newIds.at(i));
        pasted.append({sources.at(i), elementTree(tree->ids(), sources.at(i))});
    }

    // Edges join the copies of their nodes, or go.
    QHash<QmdItemId, QmdItemId> edgeMap;
    for (auto &pair : pasted) {
        QmdKeyEntries &keys = pair.second->keys();
        if (keys.value(QmdVelkaKeys::Type).toInt() != QmdVelka::Edge)
            continue;
        const QmdItemId from = idMap.value(keys.value(QmdVelkaKeys::FromNode).toUInt());
        const QmdItemId to = idMap.value(keys.value(QmdVelkaKeys::ToNode).toUInt());
        if (from == 0 || to == 0) {
            edgeMap.remove(pair.first);
            idMap.remove(pair.first);
            pair.second = nullptr;
        } else {
            keys.insert(QmdVelkaKeys::FromNode, from);
            keys.insert(QmdVelkaKeys::ToNode, to);
            edgeMap.insert(pair.first, idMap.value(pair.first));
        }
    }

    // Nodes keep the arcs of the pasted edges only; voice groups follow
    // their node or go.
    for (auto &pair : pasted) {
        if (!pair.second)
            continue;
        QmdKeyEntries &keys = pair.second->keys();
        switch (keys.value(QmdVelkaKeys::Type).toInt()) {
        case QmdVelka::Node: {
            const QmdTree *arcs = QmdTree::treeOf(keys.value(QmdVelkaKeys::ArcIdentifiers));
            if (arcs && arcs->type() == Qmd::IntDict) {
                auto *remapped = new QmdTree(Qmd::IntDict);
                for (auto arc = arcs->ids().cbegin(); arc != arcs->ids().cend(); ++arc) {
                    const QmdItemId edge = edgeMap.value(arc.key());
                    if (edge != 0 && !QmdTree::treeOf(arc.value()))
                        remapped->ids().insert(edge, arc.value().toUInt());
                }
                QmdTree::release(keys.value(QmdVelkaKeys::ArcIdentifiers));
                keys.insert(QmdVelkaKeys::ArcIdentifiers, QmdTree::holding(remapped));
            }
            const auto usages = keys.find(QmdVelkaKeys::ArcUsageList);
            if (usages != keys.end() && !QmdTree::treeOf(usages.value()))
                usages.value() = remappedUsageList(usages.value().toString(), edgeMap);
            break;
        }
        case QmdVelka::VoiceGroup: {
            const QmdItemId node = idMap.value(keys.value(QmdVelkaKeys::ToNode).toUInt());
            if (node == 0) {
                idMap.remove(pair.first);
                pair.second = nullptr;
            } else {
                keys.insert(QmdVelkaKeys::ToNode, node);
            }
            break;
        }
        default:
            break;
        }
    }

    // All copies go in as one change.
    QHash<QmdItemId, QmdTree *> copies;
    for (const auto &pair : std::as_const(pasted)) {
        if (!pair.second)
            continue;
        copies.insert(idMap.value(pair.first), pair.second);
        tree->ids()[pair.first] = QVariant(); // now owned by copies
    }
    if (!copies.isEmpty())
        model()->setTrees(copies, elements);
    return request.rid();
}
