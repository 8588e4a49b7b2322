#ifndef COMMITTEDTEXTGUARD_H
#define COMMITTEDTEXTGUARD_H

#include <QObject>
#include <QString>

class FlashingValidator;
class QLineEdit;

// Keeps a validated field from showing a value that the document does not hold.
// It remembers the committed text: the last text the program set (a binding
// showing the document's value, an undo) and the last edit that finished
// acceptably (which the binding then writes). When editing ends (Enter,
// Return, Tab or a click elsewhere) on a text that is not acceptable even after
// the validator's fixup, the field flashes and shows the committed text again;
// Escape while editing shows it again too.
//
// Focus that leaves because the window lost activation or a popup opened does
// not end the edit: the typing is still there when the user comes back.
class CommittedTextGuard : public QObject
{
    Q_OBJECT

public:
    // Watches lineEdit, judging its text with validator (which is also the
    // guard's parent and flashes the field).
    CommittedTextGuard(QLineEdit *lineEdit, FlashingValidator *validator);

    QString committedText() const { return m_committed; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onTextChanged(const QString &text);
    void endEditing();
    bool isAcceptable(QString text) const;
    void restore();

    QLineEdit *m_lineEdit;
    FlashingValidator *m_validator;
    QString m_committed;
};

#endif // COMMITTEDTEXTGUARD_H
