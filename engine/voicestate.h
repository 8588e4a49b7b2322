#ifndef VOICESTATE_H
#define VOICESTATE_H

#include "qmdtypes.h"

// Where a voice is and what it plays at the next node. Copied by value: the
// voices a node sends on inherit the state of the voice that arrived.
struct VoiceState
{
    QmdItemId item = 0;     // the edge travelled; the voice group itself for a start voice
    quint64 start = 0;      // tick at which the voice left its previous node
    quint64 arrival = 0;    // tick at which it reaches the item's "ToNode"
    quint8 pitch = 0;
    quint8 velocity = 0;
    quint64 duration = 0;   // note length in ticks
    QmdItemId instrument = 0;

    void clear() { *this = VoiceState(); }
};

#endif // VOICESTATE_H
