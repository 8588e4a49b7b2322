#ifndef VOICEPLAYER_H
#define VOICEPLAYER_H

class QThread;

// What a network document asks of the player behind one of its voice-group
// elements. The playback engine implements it (a voice group runs a thread of
// its own); the document's Playback creates players through a PlayerFactory
// and drives them through this interface only.
class VoicePlayer
{
public:
    virtual ~VoicePlayer() = default;

    // The thread that moves this group's voices; the Playback starts it, waits
    // for it after terminateSafely() and then deletes the player.
    virtual QThread *playerThread() = 0;
    // Returns once the started thread has made its voices.
    virtual void waitUntilStarted() = 0;

    virtual void syncSync() = 0;
    virtual void continueIterating() = 0;
    virtual void pauseIterating() = 0;
    virtual void gotoStart() = 0;
    virtual void traverseFromPlaybackPos() = 0;
    virtual void terminateSafely() = 0;
};

#endif // VOICEPLAYER_H
