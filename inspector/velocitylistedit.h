#ifndef VELOCITYLISTEDIT_H
#define VELOCITYLISTEDIT_H

#include "commonmidiinputlistedit.h"

// The node's velocity list: numbers from 0 to 127 with an optional sign. A note played
// on a MIDI keyboard is written as its velocity.
class VelocityListEdit : public CommonMidiInputListEdit
{
    Q_OBJECT

public:
    explicit VelocityListEdit(QWidget *parent = nullptr);

protected:
    int midiInputMode() const override;
};

#endif // VELOCITYLISTEDIT_H
