#include "velocitylistedit.h"

#include "flashingvalidator.h"
#include "listexpressions.h"

VelocityListEdit::VelocityListEdit(QWidget *parent)
    : CommonMidiInputListEdit(parent)
{
    setValidator(new FlashingValidator(velocityListExpression(), this, FlashingValidator::KeepCase,
                                       FlashingValidator::AnyInsertion));
}

int VelocityListEdit::midiInputMode() const
{
    return VelocityInput;
}
