#ifndef NODEAUDITION_H
#define NODEAUDITION_H

#include "qmdtypes.h"

#include <QString>

#include <vector>

class AuditionOutput;
class QmdVelkaController;

// Playing a node's "PitchList" once to the user (an Alt-click on the node):
// one note a principal at velocity 64, the first at the output's current
// tick. Entries are note names ("C3") or offsets from the pitch before ("+2",
// "-4"), starting from 60; pitches are clamped to the MIDI range.

// The pitches an audition of the list plays, in order.
std::vector<int> auditionPitches(const QString &pitchList);

// Stops what the output plays and queues the node's pitches on it. Nothing
// happens without an output, while its port is closed, or for an element that
// is not a node; a full queue ends the audition at the last note that fits.
void auditionNode(const QmdVelkaController *controller, QmdItemId node, AuditionOutput *output);

#endif // NODEAUDITION_H
