#ifndef MIDINOTEENTRY_H
#define MIDINOTEENTRY_H

#include "qmdtypes.h"

class MidiEvent;
class QmdVelkaController;

// Writes notes played on a MIDI keyboard into the selected elements: a
// node's "PitchList" and "VelocityList", a voice group's "InitialPitch" and
// "InitialVelocity". The first note after all keys were released replaces a
// node's lists; notes played while one is held, or with Shift held on the
// computer keyboard, are appended, so a chord or a melody can be played in.
// One note is one undo step "MIDI Entry" across all selected elements.
//
// Notes arrive on any MIDI channel: a keyboard set to another channel than
// the first still enters notes.
class MidiNoteEntry
{
public:
    // Takes one received message; selected are the selected element ids.
    void enter(QmdVelkaController *controller, const QmdItemIdSet &selected, const MidiEvent &event);

    bool isNoteHeld() const { return m_noteHeld; }

private:
    void enterNote(QmdVelkaController *controller, const QmdItemIdSet &selected, int pitch, int velocity,
                   bool append);

    bool m_noteHeld = false;
};

#endif // MIDINOTEENTRY_H
