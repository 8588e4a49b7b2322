#ifndef USERMIDIMESSAGELISTEDIT_H
#define USERMIDIMESSAGELISTEDIT_H

#include "commonmidiinputlistedit.h"

// The node's list of MIDI messages to send: bytes "0x.." separated by blanks, messages
// by commas. Any received MIDI message is written as its bytes; with Shift held it
// replaces the whole list.
class UserMidiMessageListEdit : public CommonMidiInputListEdit
{
    Q_OBJECT

public:
    explicit UserMidiMessageListEdit(QWidget *parent = nullptr);

protected:
    int midiInputMode() const override;
    // Typed letters reach the field in lower case.
    void keyPressEvent(QKeyEvent *event) override;
};

#endif // USERMIDIMESSAGELISTEDIT_H
