#ifndef INSTRUMENTSMODEL_H
#define INSTRUMENTSMODEL_H

#include "qmdobserver.h"
#include "qmdtypes.h"

#include <QAbstractItemModel>
#include <QStringList>

class QmdVelkaController;

// The instrument records of one network document as a flat, read-only list:
// one row per instrument, its "Label" as text, a swatch of its "Color" as
// decoration and its id under Qt::UserRole. The model keeps only the order of
// the ids; every value is read from the controller when a view asks for it.
// Rows follow the controller's instrument signals and are rebuilt, in the
// document's id order, whenever the controller is reset.
class InstrumentsModel : public QAbstractItemModel, public QmdObserver<QmdVelkaController>
{
    Q_OBJECT

public:
    explicit InstrumentsModel(QObject *parent = nullptr);
    ~InstrumentsModel() override;

    // Follows controller (null: none) and rebuilds the rows.
    void setController(QmdVelkaController *controller) override;

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

public slots:
    // Rebuilds the rows from the controller's instrument ids.
    void resetSlot();
    // Appends rows for the ids not listed yet (none without a controller).
    void onInstrumentsAdded(const QmdItemIdList &idList);
    void onInstrumentsRemoved(const QmdItemIdList &idList);
    // Announces a changed row when its label or colour changed.
    void onInstrumentDataChangedOrRemoved(QmdItemId id, const QStringList &keys);

private:
    QmdItemIdList m_rows;
};

#endif // INSTRUMENTSMODEL_H
