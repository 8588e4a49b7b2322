#ifndef DIALOGHELPERS_H
#define DIALOGHELPERS_H

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <functional>

// Helpers for tests that meet modal dialogs: the dialog is found among the
// top-level widgets once it shows, and answered from the event loop that
// runs it.

template <class T>
T *shownTopLevel()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *found = qobject_cast<T *>(widget); found && found->isVisible())
            return found;
    }
    return nullptr;
}

// Calls answer with the first visible T as soon as one shows (within 10 s).
// The watch ends with the answer, or when the returned timer is deleted.
template <class T>
QTimer *answerWhenShown(std::function<void(T *)> answer)
{
    auto *timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, tries, answer] {
        if (T *dialog = shownTopLevel<T>()) {
            timer->deleteLater();
            timer->stop();
            answer(dialog);
        } else if (++*tries > 1000) {
            timer->deleteLater();
            timer->stop();
        }
    });
    timer->start(10);
    return timer;
}

// Clicks the message box's button of that standard kind.
inline void clickButton(QMessageBox *box, QMessageBox::StandardButton button)
{
    if (QAbstractButton *found = box->button(button))
        found->click();
}

inline QAction *menuEntry(QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

#endif // DIALOGHELPERS_H
