#include "focusedkeysfilter.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace {

bool isTextField(const QObject *widget)
{
    return qobject_cast<const QLineEdit *>(widget) || qobject_cast<const QTextEdit *>(widget)
           || qobject_cast<const QPlainTextEdit *>(widget);
}

// A text box edited in place on the canvas is the scene's focus item.
bool isEditingOnCanvas(const QObject *widget)
{
    const auto *view = qobject_cast<const QGraphicsView *>(widget);
    return view && view->scene() && view->scene()->focusItem();
}

} // namespace

FocusedKeysFilter::FocusedKeysFilter(QObject *parent)
    : QObject(parent)
{
}

bool FocusedKeysFilter::keepsKey(const QObject *widget, int key, Qt::KeyboardModifiers modifiers)
{
    if (!widget || (modifiers & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    switch (key) {
    case Qt::Key_Space:
        return isTextField(widget) || qobject_cast<const QAbstractButton *>(widget)
               || qobject_cast<const QComboBox *>(widget) || qobject_cast<const QAbstractSpinBox *>(widget)
               || qobject_cast<const QAbstractItemView *>(widget) || isEditingOnCanvas(widget);
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        return isTextField(widget) || qobject_cast<const QAbstractItemView *>(widget) || isEditingOnCanvas(widget);
    default:
        return false;
    }
}

bool FocusedKeysFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        const auto *keyEvent = static_cast<QKeyEvent *>(event);
        // Consumed here: an override the widget leaves unhandled would be
        // reset on its way to the parents.
        if (keepsKey(watched, keyEvent->key(), keyEvent->modifiers())) {
            event->accept();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
