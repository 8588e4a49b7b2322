// Playback requests of a network document and its view switches.

#include "qmdvelkacontroller.h"
#include "qmdvelkakeys.h"

#include "abstractsync.h"
#include "playback.h"
#include "qmdrequestguard.h"
#include "qmdrequestlocker.h"

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
    m_playback->prime(newState);
    emit playbackStateChanged(newState);
    return PlaybackRequestId;
}

QmdRequestId QmdVelkaController::requestGotoStart()
{
    const bool wasPlaying = m_playback->rewindClock();
    {
        QmdRequestGuard request(this, QmdRequestOptions(Qmd::NoUndoHistory, tr("Goto Start")));
        const QmdIndex states = elementStatesIndex();
        if (states.isValid()) {
            for (const QmdIndex &state : childIndexes(states))
                resetElementState(state);
        }
    }
    m_playback->rewindPlayers(wasPlaying);
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
