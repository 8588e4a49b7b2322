#include "qplaintexteditplus.h"

QPlainTextEditPlus::QPlainTextEditPlus(QWidget *parent)
    : QPlainTextEdit(parent)
{
}

void QPlainTextEditPlus::focusOutEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusOutEvent(event);
    if (!hasFocus())
        emit editingFinished();
}
