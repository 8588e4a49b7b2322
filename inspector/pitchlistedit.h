#ifndef PITCHLISTEDIT_H
#define PITCHLISTEDIT_H

#include "commonmidiinputlistedit.h"

// The node's pitch list: note names (C3, F#-1) and intervals (+12, -5). A note played
// on a MIDI keyboard is written as its name.
class PitchListEdit : public CommonMidiInputListEdit
{
    Q_OBJECT

public:
    explicit PitchListEdit(QWidget *parent = nullptr);

protected:
    int midiInputMode() const override;
    // Typed letters reach the field in upper case.
    void keyPressEvent(QKeyEvent *event) override;
};

#endif // PITCHLISTEDIT_H
