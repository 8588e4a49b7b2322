#include "instrumentsmodel.h"
#include "qmdvelkakeys.h"

#include "qmdvelkacontroller.h"

#include <QColor>
#include <QPainter>
#include <QPixmap>

namespace {

const int swatchSize = 10;

// The outline in the colour made opaque, the inside in the colour at 60 % of
// its own alpha, over white.
QPixmap swatch(const QColor &colour)
{
    QPixmap pixmap(swatchSize, swatchSize);
    pixmap.fill(Qt::white);
    QColor outline = colour;
    outline.setAlphaF(1.0);
    QColor inside = colour;
    inside.setAlphaF(colour.alphaF() * 0.6f);
    QPainter painter(&pixmap);
    painter.setPen(outline);
    painter.setBrush(inside);
    painter.drawRect(0, 0, swatchSize - 1, swatchSize - 1);
    return pixmap;
}

} // namespace

InstrumentsModel::InstrumentsModel(QObject *parent)
    : QAbstractItemModel(parent)
{
}

InstrumentsModel::~InstrumentsModel() = default;

void InstrumentsModel::setController(QmdVelkaController *controller)
{
    if (QmdVelkaController *old = this->controller())
        disconnect(old, nullptr, this, nullptr);
    QmdObserver<QmdVelkaController>::setController(controller);
    if (controller) {
        connect(controller, &QmdVelkaController::instrumentsAdded, this, &InstrumentsModel::onInstrumentsAdded);
        connect(controller, &QmdVelkaController::instrumentsRemoved, this, &InstrumentsModel::onInstrumentsRemoved);
        connect(controller, &QmdVelkaController::instrumentDataChanged, this,
                &InstrumentsModel::onInstrumentDataChangedOrRemoved);
        connect(controller, &QmdVelkaController::instrumentDataRemoved, this,
                &InstrumentsModel::onInstrumentDataChangedOrRemoved);
        connect(controller, &QmdVelkaController::modelReset, this, &InstrumentsModel::resetSlot);
    }
    resetSlot();
}

QModelIndex InstrumentsModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!controller() || row < 0 || row >= rowCount(parent) || column < 0 || column >= columnCount(parent))
        return QModelIndex();
    return createIndex(row, column, quintptr(m_rows.at(row)));
}

QModelIndex InstrumentsModel::parent(const QModelIndex &) const
{
    return QModelIndex();
}

int InstrumentsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int InstrumentsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 1;
}

QVariant InstrumentsModel::data(const QModelIndex &index, int role) const
{
    QmdVelkaController *controller = this->controller();
    if (!index.isValid() || !controller)
        return QVariant();
    const QmdItemId id = QmdItemId(index.internalId());
    switch (role) {
    case Qt::DisplayRole:
        return controller->instrumentData(id, QmdVelkaKeys::Label);
    case Qt::DecorationRole:
        return swatch(controller->instrumentData(id, QmdVelkaKeys::Color).value<QColor>());
    case Qt::UserRole:
        return uint(id);
    default:
        return QVariant();
    }
}

void InstrumentsModel::resetSlot()
{
    beginResetModel();
    m_rows = controller() ? controller()->instrumentIds() : QmdItemIdList();
    endResetModel();
}

void InstrumentsModel::onInstrumentsAdded(const QmdItemIdList &idList)
{
    if (!controller())
        return; // rows stand for records of a controller's document only
    QmdItemIdList added;
    for (QmdItemId id : idList) {
        if (!m_rows.contains(id) && !added.contains(id))
            added.append(id);
    }
    if (added.isEmpty())
        return;
    const int first = int(m_rows.size());
    beginInsertRows(QModelIndex(), first, first + int(added.size()) - 1);
    m_rows.append(added);
    endInsertRows();
}

void InstrumentsModel::onInstrumentsRemoved(const QmdItemIdList &idList)
{
    for (QmdItemId id : idList) {
        const int row = int(m_rows.indexOf(id));
        if (row < 0)
            continue;
        beginRemoveRows(QModelIndex(), row, row);
        m_rows.removeAt(row);
        endRemoveRows();
    }
}

void InstrumentsModel::onInstrumentDataChangedOrRemoved(QmdItemId id, const QStringList &keys)
{
    if (!keys.contains(QmdVelkaKeys::Label) && !keys.contains(QmdVelkaKeys::Color))
        return;
    const int row = int(m_rows.indexOf(id));
    if (row < 0)
        return;
    const QModelIndex changed = index(row, 0);
    emit dataChanged(changed, changed);
}
