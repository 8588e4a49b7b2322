#ifndef FOCUSEDKEYSFILTER_H
#define FOCUSEDKEYSFILTER_H

#include <QObject>

// Keeps Space and Delete/Backspace with the focused widget that uses them,
// so that the menu shortcuts on those keys (play and pause, delete) do not
// take them: Space stays with text fields, buttons, check boxes, combo
// boxes, spin boxes and item views; Delete and Backspace with text fields
// and item views. A canvas whose text box is being edited keeps all three.
// Installed on the application, it accepts the shortcut override of such a
// key press, so that the press reaches the widget.
class FocusedKeysFilter : public QObject
{
    Q_OBJECT

public:
    explicit FocusedKeysFilter(QObject *parent = nullptr);

    // True when the widget uses the key itself.
    static bool keepsKey(const QObject *widget, int key, Qt::KeyboardModifiers modifiers);

    bool eventFilter(QObject *watched, QEvent *event) override;
};

#endif // FOCUSEDKEYSFILTER_H
