#include "durationlistedit.h"

#include "flashingvalidator.h"
#include "listexpressions.h"

DurationListEdit::DurationListEdit(QWidget *parent)
    : QLineEdit(parent)
{
    setValidator(new FlashingValidator(durationListExpression(), this, FlashingValidator::KeepCase,
                                       FlashingValidator::AnyInsertion));
}
