#ifndef FLASHINGVALIDATOR_H
#define FLASHINGVALIDATOR_H

#include "completableexpression.h"

#include <QPalette>
#include <QRegularExpressionValidator>

class QLineEdit;
class QTimeLine;

// The validator of a list field: refuses text that cannot become a valid list and
// answers a refused keystroke with a short light-red flash of the field (300 ms,
// rising to (255, 128, 128) and back to the field's own palette).
//
// For a list, text that further typing anywhere in it can make valid is
// intermediate, not refused (see CompletableExpression): the user can delete in
// the middle of a list, or join two entries, and go on typing. A field of one
// value refuses, as a plain validator does, text that is not the start of a
// valid one. A field whose edit ends on unfinished text shows the committed
// value again (see CommittedTextGuard).
//
// It flashes only while its field has the keyboard focus: the field also validates
// text that the program sets (bindings, undo), which is shown as it is.
class FlashingValidator : public QRegularExpressionValidator
{
    Q_OBJECT

public:
    // Letters of the text before it is matched: typed, pasted, dropped and
    // input-method text alike.
    enum LetterCase { KeepCase, UpperCase, LowerCase };
    // Which unfinished text is intermediate: the start of a match, or any
    // text that inserting characters anywhere can make a match.
    enum Completion { PrefixOnly, AnyInsertion };

    // The validator belongs to lineEdit (its parent) and matches the whole text
    // against expression.
    FlashingValidator(const QString &expression, QLineEdit *lineEdit, LetterCase letterCase = KeepCase,
                      Completion completion = PrefixOnly);

    State validate(QString &input, int &pos) const override;
    // Drops one trailing comma, so that a list left with one is accepted when
    // editing finishes.
    void fixup(QString &input) const override;

    // Starts the flash again from the beginning.
    void flash() const;

private slots:
    void onTimeLineValueChanged(qreal value);

private:
    void restorePalette();

    QLineEdit *m_lineEdit;
    LetterCase m_letterCase;
    Completion m_completion;
    CompletableExpression m_completable;
    QTimeLine *m_timeLine;
    // The field's palette before the flash coloured it.
    QPalette m_restingPalette;
    bool m_flashing = false;
};

#endif // FLASHINGVALIDATOR_H
