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
};

#endif // VOICE_H
