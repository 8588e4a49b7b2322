#ifndef QPLAINTEXTEDITPLUS_H
#define QPLAINTEXTEDITPLUS_H

#include <QPlainTextEdit>

// A plain-text editor that announces the end of editing when it loses the
// focus, as a line edit does, so that its text can be written back once rather
// than at every keystroke.
class QPlainTextEditPlus : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit QPlainTextEditPlus(QWidget *parent = nullptr);

signals:
    void editingFinished();

protected:
    void focusOutEvent(QFocusEvent *event) override;
};

#endif // QPLAINTEXTEDITPLUS_H
