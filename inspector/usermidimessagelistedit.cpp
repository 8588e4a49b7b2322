#include "usermidimessagelistedit.h"

#include "flashingvalidator.h"
#include "listexpressions.h"

#include <QKeyEvent>

UserMidiMessageListEdit::UserMidiMessageListEdit(QWidget *parent)
    : CommonMidiInputListEdit(parent)
{
    setValidator(new FlashingValidator(userMidiMessageListExpression(), this, FlashingValidator::LowerCase,
                                       FlashingValidator::AnyInsertion));
}

int UserMidiMessageListEdit::midiInputMode() const
{
    return MessageInput;
}

void UserMidiMessageListEdit::keyPressEvent(QKeyEvent *event)
{
    QKeyEvent converted(event->type(), event->key(), event->modifiers(), event->text().toLower(),
                        event->isAutoRepeat(), event->count());
    CommonMidiInputListEdit::keyPressEvent(&converted);
    event->setAccepted(converted.isAccepted());
}
