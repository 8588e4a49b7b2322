// Playback requests of a network document and its view switches.

#include "qmdvelkacontroller.h"
#include "qmdvelkakeys.h"

#include "abstractsync.h"
#include "instrumentplayer.h"
#include "qmdrequestguard.h"
#include "qmdrequestlocker.h"
#include "voiceplayer.h"

QmdRequestId QmdVelkaController::requestPlay()
{
    return requestSetPlayback(true);
}

QmdRequestId QmdVelkaController::requestPause()
{
    return requestSetPlayback(false);
}

QmdRequestId QmdVelkaController::requestTogglePlayback()
{
    AbstractSync *clock = sync();
    return requestSetPlayback(clock && !clock->isPlaying());
}

QmdRequestId QmdVelkaController::requestSetPlayback(bool play)
{
    AbstractSync *clock = sync();
    if (!play) {
        if (clock)
            clock->setPlaying(false);
        return requestPrimePlaybackForSyncStateChange(false);
    }
    // The players are primed while the clock still stands, as when following
    // an external MIDI Start: every group's start voice is then due at the
    // tick the clock starts from, and sounds together with the others.
    const QmdRequestId rid = requestPrimePlaybackForSyncStateChange(true);
    if (clock)
        clock->setPlaying(true);
    return rid;
}

QmdRequestId QmdVelkaController::requestPrimePlaybackForSyncStateChange(bool newState)
{
    for (InstrumentPlayer *player : instrumentThreads()) {
        if (newState)
            player->play();
        else
            player->pauseAndWait();
    }
    for (VoicePlayer *group : voiceGroups()) {
        if (newState)
            group->continueIterating();
        else
            group->pauseIterating();
    }
    emit playbackStateChanged(newState);
    return PlaybackRequestId;
}

QmdRequestId QmdVelkaController::requestGotoStart()
{
    AbstractSync *clock = sync();
    const bool wasPlaying = clock && clock->isPlaying();
    if (wasPlaying)
        clock->stopClock();
    if (clock)
        clock->reset();
    {
        QmdRequestGuard request(this, QmdRequestOptions(Qmd::NoUndoHistory, tr("Goto Start")));
        const QmdIndex states = elementStatesIndex();
        if (states.isValid()) {
            for (const QmdIndex &state : childIndexes(states))
                resetElementState(state);
        }
    }
    const QHash<QmdItemId, InstrumentPlayer *> instruments = instrumentThreads();
    for (InstrumentPlayer *player : instruments) {
        // Dropping the queue drops the note offs of sounding notes: a playing
        // instrument is silenced first (a paused one already is).
        if (wasPlaying)
            player->pauseAndWait();
        player->reset();
    }
    for (VoicePlayer *group : voiceGroups())
        group->gotoStart();
    {
        QmdRequestLocker locker(this);
        m_feedbackQueue.clear();
    }
    if (wasPlaying) {
        for (InstrumentPlayer *player : instruments)
            player->play();
        clock->restartClock();
    }
    emit playbackJogged();
    return PlaybackRequestId;
}

QmdRequestId QmdVelkaController::requestToggleShowGrid()
{
    return toggleRootKey(QmdVelkaKeys::ShowGrid);
}

QmdRequestId QmdVelkaController::requestToggleSnapToGrid()
{
    return toggleRootKey(QmdVelkaKeys::SnapToGrid);
}

QmdRequestId QmdVelkaController::requestToggleShowNodeCounters()
{
    return toggleRootKey(QmdVelkaKeys::ShowNodeCounters);
}

QmdRequestId QmdVelkaController::toggleRootKey(const QString &key)
{
    // Held across the read and the write, so that two toggles never read the same value.
    QmdRequestLocker locker(this);
    const bool value = data(key).toBool();
    return requestSetData(key, !value, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
}
