#ifndef VOICE_H
#define VOICE_H

#include "voicestate.h"

// One voice of a voice group's fixed pool, numbered 1 to 24 for the group's
// whole life; its number labels the feedback of the notes it plays.
struct Voice
{
    explicit Voice(quint32 number) : number(number) {}

    const quint32 number;
    VoiceState state;
    // Whether the voice waits in its schedule's arrival queue, and the tick
    // it waits there with (under the queue's mutex); the random number its
    // step may use.
    bool queued = false;
    quint64 queuedArrival = 0;
    quint64 draw = 0;
};

#endif // VOICE_H
