#include "qmdvelkaclipboard.h"

#include "qmdmemmodel.h"
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

const QString keyElements = QStringLiteral("Elements");
const QString keyType = QStringLiteral("Type");
const QString keyTickPos = QStringLiteral("TickPos");
const QString keyFromNode = QStringLiteral("FromNode");
const QString keyToNode = QStringLiteral("ToNode");
const QString keyArcIdentifiers = QStringLiteral("ArcIdentifiers");
const QString keyArcUsageList = QStringLiteral("ArcUsageList");
const qint64 ticksPerPrincipal = 665280;

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

// In the scratch model: drops what is not an element and the elements that
// refer to elements outside the payload, then moves the rest into place.
void placePayload(QmdDirectModelInterface &scratch, const QmdIndex &elements, const TickPos &center,
                  qint64 divisions)
{
    const QmdItemIdList ids = scratch.ids(elements);
    const QmdItemIdSet payloadIds(ids.cbegin(), ids.cend());
    const auto dangling = [&](const QmdIndex &element, const QString &key) {
        const QmdIndex reference = scratch.index(key, element);
        return present(scratch, reference) && !payloadIds.contains(scratch.data(reference).toUInt());
    };

    Placement placement;
    QList<QPair<QmdIndex, TickPos>> positions;
    for (QmdItemId id : ids) {
        const QmdIndex element = scratch.index(id, elements);
        if (scratch.type(element) != Qmd::StrDict || dangling(element, keyToNode)
            || dangling(element, keyFromNode)) {
            scratch.remove(id, elements);
            continue;
        }
        const QVariant pos = scratch.data(keyTickPos, element);
        if (pos.metaType() != QMetaType::fromType<TickPos>())
            continue;
        placement.add(pos.value<TickPos>(), scratch.data(keyType, element).toInt() == QmdVelka::Node);
        positions.append({scratch.index(keyTickPos, element), pos.value<TickPos>()});
    }

    const TickPos offset = placement.offset(center, divisions);
    QHash<QmdIndex, QVariant> moved;
    for (const auto &entry : positions) {
        const TickPos pos(clampTick(__int128(entry.second.x) + offset.x),
                          clampTick(__int128(entry.second.y) + offset.y));
        moved.insert(entry.first, QVariant::fromValue(pos));
    }
    if (!moved.isEmpty())
        scratch.setData(moved);
}

// "edge=uses" entries of the edges that were pasted, pointed at their copies.
QString remappedUsageList(const QString &usages, const QHash<QmdItemId, QmdItemId> &edgeMap)
{
    QStringList kept;
    for (const QString &entry : usages.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QmdItemId edge = edgeMap.value(entry.section(QLatin1Char('='), 0, 0).toUInt());
        if (edge == 0)
            continue;
        const qsizetype equals = entry.lastIndexOf(QLatin1Char('='));
        kept.append(equals < 0 ? QString::number(edge)
                               : QStringLiteral("%1=%2").arg(edge).arg(entry.mid(equals + 1)));
    }
    return kept.join(QLatin1Char(','));
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

    QmdMemModel scratchModel(Qmd::StrDict);
    QmdDirectModelInterface scratch(&scratchModel);
    scratchModel.beginRequest(std::numeric_limits<QmdRequestId>::max(), Qmd::NoUndoHistory, QString());
    scratch.setType(keyElements, Qmd::IntDict, QmdIndex());
    const QmdIndex scratchElements = scratch.index(keyElements, QmdIndex());
    QBuffer buffer;
    buffer.setData(payload);
    buffer.open(QIODevice::ReadOnly);
    QmdVelkaImporter reader(&scratchModel, &buffer);
    reader.read(scratchElements);
    const qint64 divisions = std::clamp<qint64>(data(QStringLiteral("DivsPerPrincipal"), QmdIndex()).toLongLong(),
                                                1, ticksPerPrincipal);
    placePayload(scratch, scratchElements, center, divisions);
    scratchModel.endRequest();

    // The copies, with their references still naming payload ids.
    QHash<QmdItemId, QmdItemId> idMap;
    QList<QPair<QmdItemId, QmdItemId>> pasted;
    for (const QmdIndex &source : scratch.childIndexes(scratchElements)) {
        const QmdItemId newId = addType(Qmd::StrDict, elements);
        if (newId == 0)
            break;
        idMap.insert(source.id(), newId);
        pasted.append({source.id(), newId});
        copyTree(scratch, source, index(newId, elements));
    }

    // Edges join the copies of their nodes, or go.
    QHash<QmdItemId, QmdItemId> edgeMap;
    for (const auto &pair : pasted) {
        const QmdIndex element = index(pair.second, elements);
        if (!present(*this, element) || data(keyType, element).toInt() != QmdVelka::Edge)
            continue;
        const QmdItemId from = idMap.value(data(keyFromNode, element).toUInt());
        const QmdItemId to = idMap.value(data(keyToNode, element).toUInt());
        if (from == 0 || to == 0) {
            remove(pair.second, elements);
            idMap.remove(pair.first);
        } else {
            setData({{keyFromNode, from}, {keyToNode, to}}, element);
            edgeMap.insert(pair.first, pair.second);
        }
    }

    // Nodes keep the arcs of the pasted edges only; voice groups follow
    // their node or go.
    for (const auto &pair : pasted) {
        const QmdIndex element = index(pair.second, elements);
        if (!present(*this, element))
            continue;
        switch (data(keyType, element).toInt()) {
        case QmdVelka::Node: {
            const QmdIndex arcs = index(keyArcIdentifiers, element);
            if (present(*this, arcs) && type(arcs) == Qmd::IntDict) {
                QHash<QmdItemId, QVariant> remapped;
                for (const QmdIndex &arc : childIndexes(arcs)) {
                    const QmdItemId edge = edgeMap.value(arc.id());
                    if (edge != 0)
                        remapped.insert(edge, data(arc).toUInt());
                }
                setType(keyArcIdentifiers, Qmd::IntDict, element);
                if (!remapped.isEmpty())
                    setData(remapped, index(keyArcIdentifiers, element));
            }
            const QmdIndex usages = index(keyArcUsageList, element);
            if (present(*this, usages))
                setData(usages, remappedUsageList(data(usages).toString(), edgeMap));
            break;
        }
        case QmdVelka::VoiceGroup: {
            const QmdItemId node = idMap.value(data(keyToNode, element).toUInt());
            if (node == 0) {
                remove(pair.second, elements);
                idMap.remove(pair.first);
            } else {
                setData(keyToNode, node, element);
            }
            break;
        }
        default:
            break;
        }
    }
    return request.rid();
}

void QmdVelkaClipboard::copyTree(const QmdDirectModelInterface &source, const QmdIndex &from, const QmdIndex &target)
{
    switch (source.type(from)) {
    case Qmd::NoContainer: {
        const QVariant value = source.data(from);
        if (value.isValid())
            setData(target, value);
        break;
    }
    case Qmd::IntDict: {
        QHash<QmdItemId, QVariant> values;
        for (const QmdIndex &child : source.childIndexes(from)) {
            const Qmd::ContainerType childType = source.type(child);
            if (childType == Qmd::NoContainer) {
                const QVariant value = source.data(child);
                if (value.isValid())
                    values.insert(child.id(), value);
            } else if (const QmdItemId id = addType(childType, target)) {
                copyTree(source, child, index(id, target));
            }
        }
        if (!values.isEmpty())
            setData(values, target);
        break;
    }
    case Qmd::StrDict: {
        QHash<QString, QVariant> values;
        for (const QmdIndex &child : source.childIndexes(from)) {
            const Qmd::ContainerType childType = source.type(child);
            if (childType == Qmd::NoContainer) {
                const QVariant value = source.data(child);
                if (value.isValid())
                    values.insert(child.key(), value);
            } else {
                setType(child.key(), childType, target);
                copyTree(source, child, index(child.key(), target));
            }
        }
        if (!values.isEmpty())
            setData(values, target);
        break;
    }
    }
}
