// How a network document follows its model: element states for new nodes and
// edges, players for new and removed instruments and voice groups, and the
// clean-up of references to removed edges, nodes and instruments. The changes
// to the document are follow-ups made before the request that caused them
// ends, so they are part of its undo step whatever the event loop does;
// changes made by undo and redo get none, since the history holds them.
// Players are started and stopped later, from the relayed signals, outside
// the request lock.

#include "qmdvelkacontroller.h"
#include "qmdvelkakeys.h"

#include "playback.h"
#include "qmdreadlocker.h"
#include "qmdrequestlocker.h"

#include <QSet>

#include <algorithm>

namespace {

bool isRoot(const QmdIndex &index)
{
    // An index whose container is gone carries its model: it is no root.
    return index.model() == nullptr;
}

} // namespace

bool QmdVelkaController::isUndoRedoRequest(QmdRequestId rid) const
{
    return undoRedoRequestIds().contains(rid);
}

void QmdVelkaController::rebuildEdgeFromNodes()
{
    QmdRequestLocker locker(this);
    m_edgeFromNodes.clear();
    const QmdItemIdList elements = elementIds();
    QmdReadLocker reading(this);
    const QmdIndex elementsContainer = elementsEntry();
    const QList<QVariant> kinds = QmdDirectModelInterface::data(QmdVelkaKeys::Type, elements, elementsContainer);
    const QList<QVariant> fromNodes =
        QmdDirectModelInterface::data(QmdVelkaKeys::FromNode, elements, elementsContainer);
    for (qsizetype i = 0; i < elements.size(); ++i) {
        if (kinds.at(i).toInt() != QmdVelka::Edge)
            continue;
        const QmdItemId fromNode = fromNodes.at(i).toUInt();
        if (fromNode != 0)
            m_edgeFromNodes.insert(elements.at(i), fromNode);
    }
}

void QmdVelkaController::followUpItemsChanged(const QmdIndex &parent, const QmdItemIdList &idList,
                                              QmdRequestId rid)
{
    if (!parent.isValid() || parent != elementsIndex())
        return;
    {
        QmdReadLocker reading(this);
        const QmdIndex elements = elementsEntry();
        const QList<QVariant> kinds = QmdDirectModelInterface::data(QmdVelkaKeys::Type, idList, elements);
        const QList<QVariant> fromNodes = QmdDirectModelInterface::data(QmdVelkaKeys::FromNode, idList, elements);
        for (qsizetype i = 0; i < idList.size(); ++i) {
            if (kinds.at(i).toInt() != QmdVelka::Edge)
                continue;
            const QmdItemId fromNode = fromNodes.at(i).toUInt();
            const QmdIndex from = elementEntry(fromNode, elements);
            if (from.isValid() && QmdDirectModelInterface::exists(from))
                m_edgeFromNodes.insert(idList.at(i), fromNode);
        }
    }
    // The states of all new nodes and edges, as one change in the step of the
    // request that added them.
    if (!isUndoRedoRequest(rid))
        createElementStates(idList);
}

void QmdVelkaController::followUpItemsRemoved(const QmdIndex &parent, const QmdItemIdList &idList,
                                              QmdRequestId rid)
{
    if (!parent.isValid())
        return;
    const bool replayed = isUndoRedoRequest(rid);
    if (parent == elementsIndex()) {
        if (replayed) {
            for (QmdItemId id : idList)
                m_edgeFromNodes.remove(id);
            return;
        }
        const QmdIndex states = elementStatesIndex();
        QmdItemIdList present;
        for (QmdItemId id : idList) {
            if (elementStateIndex(id).isValid() && exists(elementStateIndex(id)))
                present.append(id);
        }
        if (states.isValid() && !present.isEmpty())
            remove(present, states);
        removeReferencesToEdges(idList);
        // Their own removal is followed up in turn.
        removeDependentElements(idList);
    } else if (parent == instrumentsIndex() && !replayed) {
        removeReferencesToInstruments(idList);
    }
}

void QmdVelkaController::receivedItemsChanged(const QmdIndex &parent, const QmdItemIdList &idList,
                                              QmdRequestId rid)
{
    if (isFromCurrentModel() && parent.isValid()) {
        if (parent == elementsIndex()) {
            createVoiceGroups(idList);
        } else if (parent == instrumentsIndex()) {
            createInstrumentThreads(idList);
            emit instrumentsAdded(idList, rid);
        }
    }
    QmdSyncronizedController<QmdElementDocController>::receivedItemsChanged(parent, idList, rid);
}

void QmdVelkaController::receivedItemsChanged(const QmdIndex &parent, const QStringList &keys, QmdRequestId rid)
{
    QmdSyncronizedController<QmdElementDocController>::receivedItemsChanged(parent, keys, rid);
    if (!isFromCurrentModel())
        return;
    if (isRoot(parent)) {
        if (keys.contains(QmdVelkaKeys::SyncType))
            setupSync();
    } else if (isElementIndex(parent)) {
        if (keys.contains(QmdVelkaKeys::Type))
            followTypeChange(parent.id());
        retraverseVoiceGroups(parent.id(), keys);
    } else if (isInstrumentIndex(parent)) {
        emit instrumentDataChanged(parent.id(), keys, rid);
    }
}

void QmdVelkaController::receivedItemsRemoved(const QmdIndex &parent, const QStringList &keys, QmdRequestId rid)
{
    QmdSyncronizedController<QmdElementDocController>::receivedItemsRemoved(parent, keys, rid);
    if (!isFromCurrentModel() || isRoot(parent))
        return;
    if (isElementIndex(parent)) {
        if (keys.contains(QmdVelkaKeys::Type))
            followTypeChange(parent.id());
        retraverseVoiceGroups(parent.id(), keys);
    } else if (isInstrumentIndex(parent)) {
        emit instrumentDataRemoved(parent.id(), keys, rid);
    }
}

void QmdVelkaController::receivedItemsRemoved(const QmdIndex &parent, const QmdItemIdList &idList,
                                              QmdRequestId rid)
{
    QmdSyncronizedController<QmdElementDocController>::receivedItemsRemoved(parent, idList, rid);
    if (!isFromCurrentModel() || !parent.isValid())
        return;
    if (parent == elementsIndex())
        stopRemovedVoiceGroups(idList);
    else if (parent == instrumentsIndex())
        stopRemovedInstruments(idList, rid);
}

void QmdVelkaController::followTypeChange(QmdItemId element)
{
    // An element that stops being a voice group stops playing as if it had
    // been removed; one that becomes a voice group starts.
    if (elementType(element) == QmdVelka::VoiceGroup)
        createVoiceGroups(QmdItemIdList{element});
    else
        stopRemovedVoiceGroups(QmdItemIdList{element});
}

void QmdVelkaController::stopRemovedVoiceGroups(const QmdItemIdList &ids)
{
    QmdItemIdList removed;
    for (QmdItemId id : ids) {
        if (elementType(id) != QmdVelka::VoiceGroup)
            removed.append(id); // unless back already (an undo made before this turn of the event loop)
    }
    m_playback->stopVoiceGroups(removed);
    m_playback->retraverse();
}

void QmdVelkaController::removeReferencesToEdges(const QmdItemIdList &ids)
{
    for (QmdItemId id : ids) {
        const auto known = m_edgeFromNodes.constFind(id);
        if (known == m_edgeFromNodes.constEnd())
            continue;
        const QmdIndex fromNode = elementIndex(known.value());
        m_edgeFromNodes.remove(id);
        if (!fromNode.isValid() || !exists(fromNode))
            continue;
        const QmdIndex arcs = index(QmdVelkaKeys::ArcIdentifiers, fromNode);
        if (arcs.isValid() && exists(index(id, arcs)))
            remove(QmdItemIdList{id}, arcs);
        QStringList entries = data(QmdVelkaKeys::ArcUsageList, fromNode).toString().split(QLatin1Char(','));
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [id](const QString &entry) {
                                         bool ok = false;
                                         const uint edge = entry.section(QLatin1Char('='), 0, 0).toUInt(&ok);
                                         return ok && edge == id;
                                     }),
                      entries.end());
        setData(QmdVelkaKeys::ArcUsageList, entries.join(QLatin1Char(',')), fromNode);
    }
}

void QmdVelkaController::removeDependentElements(const QmdItemIdList &ids)
{
    const QSet<QmdItemId> removed(ids.cbegin(), ids.cend());
    QmdItemIdList dependents;
    for (QmdItemId element : elementIds()) {
        const int kind = elementType(element);
        const bool dependsOnRemoved =
            (kind == QmdVelka::Edge && (removed.contains(elementData(element, QmdVelkaKeys::FromNode).toUInt())
                                        || removed.contains(elementData(element, QmdVelkaKeys::ToNode).toUInt())))
            || (kind == QmdVelka::VoiceGroup && removed.contains(elementData(element, QmdVelkaKeys::ToNode).toUInt()));
        if (dependsOnRemoved)
            dependents.append(element);
    }
    const QmdIndex elements = index(QmdVelkaKeys::Elements);
    if (elements.isValid() && !dependents.isEmpty())
        remove(dependents, elements);
}

void QmdVelkaController::removeReferencesToInstruments(const QmdItemIdList &ids)
{
    const QSet<QmdItemId> removed(ids.cbegin(), ids.cend());
    for (QmdItemId element : elementIds()) {
        const int kind = elementType(element);
        if (kind == QmdVelka::Node && removed.contains(elementData(element, QmdVelkaKeys::Instrument).toUInt())) {
            setElementData(element, QmdVelkaKeys::DoInstrumentChange, false);
            setElementData(element, QmdVelkaKeys::Instrument, 0u);
        } else if (kind == QmdVelka::VoiceGroup
                   && removed.contains(elementData(element, QmdVelkaKeys::InitialInstrument).toUInt())) {
            setElementData(element, QmdVelkaKeys::InitialInstrument, 0u);
        }
    }
}

void QmdVelkaController::stopRemovedInstruments(const QmdItemIdList &ids, QmdRequestId rid)
{
    QmdItemIdList removed;
    for (QmdItemId id : ids) {
        if (!instrumentIndex(id).isValid() || !exists(instrumentIndex(id)))
            removed.append(id); // unless back already (an undo made before this turn of the event loop)
    }
    m_playback->stopInstrumentPlayers(removed);
    emit instrumentsRemoved(ids, rid);
}
