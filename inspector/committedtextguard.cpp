#include "committedtextguard.h"

#include "flashingvalidator.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>

CommittedTextGuard::CommittedTextGuard(QLineEdit *lineEdit, FlashingValidator *validator)
    : QObject(validator)
    , m_lineEdit(lineEdit)
    , m_validator(validator)
    , m_committed(lineEdit->text())
{
    connect(lineEdit, &QLineEdit::textChanged, this, &CommittedTextGuard::onTextChanged);
    connect(lineEdit, &QLineEdit::editingFinished, this, [this] { m_committed = m_lineEdit->text(); });
    lineEdit->installEventFilter(this);
}

// Text set by the program clears the field's modified flag; typing sets it.
void CommittedTextGuard::onTextChanged(const QString &text)
{
    if (!m_lineEdit->isModified())
        m_committed = text;
}

bool CommittedTextGuard::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_lineEdit)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::FocusOut: {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            endEditing();
        break;
    }
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress: {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (event->type() == QEvent::KeyPress)
                endEditing();
        } else if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier
                   && m_lineEdit->text() != m_committed) {
            // Claimed before any window-wide Escape shortcut, so that the
            // key reaches the field.
            if (event->type() == QEvent::KeyPress)
                restore();
            event->accept();
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void CommittedTextGuard::endEditing()
{
    const QString text = m_lineEdit->text();
    if (text == m_committed || isAcceptable(text))
        return;
    QString fixed = text;
    m_validator->fixup(fixed);
    if (isAcceptable(fixed))
        return;
    restore();
    m_validator->flash();
}

bool CommittedTextGuard::isAcceptable(QString text) const
{
    int pos = int(text.size());
    return m_validator->validate(text, pos) == QValidator::Acceptable;
}

void CommittedTextGuard::restore()
{
    m_lineEdit->setText(m_committed);
}
