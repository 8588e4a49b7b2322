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
    // The schedule's pass in which the voice was last stepped (0 for none
    // since it was taken), and the random number its step may use.
    quint64 triedInPass = 0;
    quint64 draw = 0;
};

#endif // VOICE_H
