#ifndef QMDELEMENTDOCCONTROLLER_H
#define QMDELEMENTDOCCONTROLLER_H

#include "qmddoccontroller.h"

#include <QHash>
#include <QString>
#include <QVariant>

// The controller of a document made of elements. Its reset keeps the
// document's shape: a string-keyed root whose key "Elements" holds an
// id-keyed container with one string-keyed container per element (always
// holding "Type"). It creates elements in one undoable step and relays the
// model's changes of that container as element signals.
class QmdElementDocController : public QmdDocController
{
    Q_OBJECT

public:
    explicit QmdElementDocController(QObject *parent = nullptr);
    ~QmdElementDocController() override;

    // The "Elements" container as it is now (looked up); the default index
    // when the document has none.
    QmdIndex findElementsIndex() const;
    // The "Elements" container as the last reset found it.
    QmdIndex elementsIndex() const;
    // Whether index names an element: a direct entry of the "Elements"
    // container.
    bool isElementIndex(const QmdIndex &index) const;

    // Adds one element of the given type with the data and container types
    // given, in one request. "Type" in data is replaced by type. newId, when
    // given, receives the new element's id (0 when none was made).
    virtual QmdRequestId requestAddElement(int type, const QHash<QString, QVariant> &data,
                                           const QHash<QString, Qmd::ContainerType> &types,
                                           const QmdRequestOptions &options, QmdItemId *newId = nullptr);

signals:
    void elementDataChanged(QmdItemId id, const QStringList &keys, QmdRequestId rid);
    void elementDataRemoved(QmdItemId id, const QStringList &keys, QmdRequestId rid);
    void elementsAdded(const QmdItemIdList &idList, QmdRequestId rid);
    void elementsRemoved(const QmdItemIdList &idList, QmdRequestId rid);

protected slots:
    void Reset() override;
    void receivedItemsChanged(const QmdIndex &parent, const QmdItemIdList &idList, QmdRequestId rid) override;
    void receivedItemsChanged(const QmdIndex &parent, const QStringList &keys, QmdRequestId rid) override;
    void receivedItemsRemoved(const QmdIndex &parent, const QmdItemIdList &idList, QmdRequestId rid) override;
    void receivedItemsRemoved(const QmdIndex &parent, const QStringList &keys, QmdRequestId rid) override;

private:
    bool isElementsContainer(const QmdIndex &index) const;

    QmdIndex m_elementsIndex;
};

#endif // QMDELEMENTDOCCONTROLLER_H
