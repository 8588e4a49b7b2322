#include "scalelistedit.h"

#include "flashingvalidator.h"
#include "listexpressions.h"

ScaleListEdit::ScaleListEdit(QWidget *parent)
    : QLineEdit(parent)
{
    setValidator(new FlashingValidator(scaleListExpression(), this, FlashingValidator::KeepCase,
                                       FlashingValidator::AnyInsertion));
}
