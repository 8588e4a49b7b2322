#include "pitchlistedit.h"

#include "flashingvalidator.h"
#include "listexpressions.h"

#include <QKeyEvent>

PitchListEdit::PitchListEdit(QWidget *parent)
    : CommonMidiInputListEdit(parent)
{
    setValidator(new FlashingValidator(pitchListExpression(), this, FlashingValidator::UpperCase,
                                       FlashingValidator::AnyInsertion));
}

int PitchListEdit::midiInputMode() const
{
    return PitchInput;
}

void PitchListEdit::keyPressEvent(QKeyEvent *event)
{
    QKeyEvent converted(event->type(), event->key(), event->modifiers(), event->text().toUpper(),
                        event->isAutoRepeat(), event->count());
    CommonMidiInputListEdit::keyPressEvent(&converted);
    event->setAccepted(converted.isAccepted());
}
