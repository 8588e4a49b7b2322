#include "qmdelementdoccontroller.h"

#include "qmdreadlocker.h"
#include "qmdrequestguard.h"
#include "qmdrequestlocker.h"

namespace {
const QString ElementsKey = QStringLiteral("Elements");
const QString TypeKey = QStringLiteral("Type");
} // namespace

QmdElementDocController::QmdElementDocController(QObject *parent)
    : QmdDocController(parent)
{
}

QmdElementDocController::~QmdElementDocController() = default;

QmdIndex QmdElementDocController::findElementsIndex() const
{
    return index(ElementsKey, QmdIndex());
}

QmdIndex QmdElementDocController::elementsIndex() const
{
    QmdReadLocker lock(this);
    return m_elementsIndex;
}

bool QmdElementDocController::isElementsContainer(const QmdIndex &index) const
{
    QmdReadLocker lock(this);
    const QmdIndex elements = findElementsIndex();
    return elements.isValid() && index == elements;
}

bool QmdElementDocController::isElementIndex(const QmdIndex &index) const
{
    QmdReadLocker lock(this);
    return index.isValid() && isElementsContainer(parent(index));
}

void QmdElementDocController::Reset()
{
    QmdDocController::Reset();
    if (!model()) {
        QmdRequestLocker lock(this);
        m_elementsIndex = QmdIndex();
        return;
    }
    QmdRequestGuard request(this, QmdRequestOptions(Qmd::NoUndoHistory, tr("QmdElementDocController::Reset")));
    if (QmdDirectModelInterface::type(QmdIndex()) != Qmd::StrDict)
        setType(QmdIndex(), Qmd::StrDict);
    const QmdIndex elements = QmdDirectModelInterface::index(ElementsKey, QmdIndex());
    if (QmdDirectModelInterface::type(elements) != Qmd::IntDict)
        setType(ElementsKey, Qmd::IntDict, QmdIndex());
    m_elementsIndex = QmdDirectModelInterface::index(ElementsKey, QmdIndex());
}

QmdRequestId QmdElementDocController::requestAddElement(int type, const QHash<QString, QVariant> &data,
                                                        const QHash<QString, Qmd::ContainerType> &types,
                                                        const QmdRequestOptions &options, QmdItemId *newId)
{
    QmdItemId id = 0;
    QmdRequestId rid = 0;
    {
        QmdRequestGuard request(this, options);
        rid = request.rid();
        // Through an index whose container is gone nothing may be added:
        // it would land in the root.
        if (m_elementsIndex.isValid() && QmdDirectModelInterface::type(m_elementsIndex) == Qmd::IntDict) {
            id = addType(Qmd::StrDict, m_elementsIndex);
            const QmdIndex element = id ? QmdDirectModelInterface::index(id, m_elementsIndex) : QmdIndex();
            if (element.isValid()) {
                QHash<QString, QVariant> values = data;
                values.insert(TypeKey, type);
                setData(values, element);
                if (!types.isEmpty())
                    setTypes(types, element);
            }
        }
    }
    if (newId)
        *newId = id;
    return rid;
}

void QmdElementDocController::receivedItemsChanged(const QmdIndex &parent, const QmdItemIdList &idList,
                                                   QmdRequestId rid)
{
    if (isFromCurrentModel() && isElementsContainer(parent))
        emit elementsAdded(idList, rid);
    QmdDocController::receivedItemsChanged(parent, idList, rid);
}

void QmdElementDocController::receivedItemsChanged(const QmdIndex &parent, const QStringList &keys,
                                                   QmdRequestId rid)
{
    if (isFromCurrentModel() && isElementIndex(parent))
        emit elementDataChanged(parent.id(), keys, rid);
    QmdDocController::receivedItemsChanged(parent, keys, rid);
}

void QmdElementDocController::receivedItemsRemoved(const QmdIndex &parent, const QmdItemIdList &idList,
                                                   QmdRequestId rid)
{
    if (isFromCurrentModel() && isElementsContainer(parent))
        emit elementsRemoved(idList, rid);
    QmdDocController::receivedItemsRemoved(parent, idList, rid);
}

void QmdElementDocController::receivedItemsRemoved(const QmdIndex &parent, const QStringList &keys,
                                                   QmdRequestId rid)
{
    if (isFromCurrentModel() && isElementIndex(parent))
        emit elementDataRemoved(parent.id(), keys, rid);
    QmdDocController::receivedItemsRemoved(parent, keys, rid);
}
