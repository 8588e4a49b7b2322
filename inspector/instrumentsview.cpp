#include "instrumentsview.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace {

bool isRemoveKey(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace;
}

// The list keeps only the plain keys from shortcuts: Shift+Delete (Cut in
// some key themes) and the like stay shortcuts.
bool isPlainRemoveKey(const QKeyEvent *event)
{
    return isRemoveKey(event) && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

} // namespace

InstrumentsView::InstrumentsView(QWidget *parent)
    : QListView(parent)
{
}

bool InstrumentsView::event(QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride && isPlainRemoveKey(static_cast<QKeyEvent *>(event))) {
        event->accept();
        return true;
    }
    return QListView::event(event);
}

void InstrumentsView::keyPressEvent(QKeyEvent *event)
{
    QListView::keyPressEvent(event);

    QmdVelkaController *controller = this->controller();
    if (!controller || !model() || !selectionModel() || !isRemoveKey(event))
        return;
    event->accept();

    QmdItemIdList ids;
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    for (const QModelIndex &index : selected) {
        if (index.isValid())
            ids.append(model()->data(index, Qt::UserRole).toUInt());
    }
    // Nothing selected: no empty step in the undo history, no modified mark.
    if (ids.isEmpty())
        return;
    controller->requestRemove(ids, controller->instrumentsIndex(),
                              QmdRequestOptions(QCoreApplication::translate("QmdController", "Remove")));
}
