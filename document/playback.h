#ifndef PLAYBACK_H
#define PLAYBACK_H

#include "feedbackevent.h"
#include "instrumentevent.h"
#include "qmdtypes.h"
#include "timedeventqueue.h"

#include <QHash>
#include <QList>
#include <QReadWriteLock>

class AbstractSync;
class InstrumentPlayer;
class PlayerFactory;
class QmdVelkaController;
class VoicePlayer;

// The one owner of the objects that play a network document: its playback
// clock, one instrument player per instrument record and one voice-group
// player per voice-group element, all made by the installed PlayerFactory.
// It starts and joins their threads, drives them through play, pause and go
// to start, routes the notes of voice steps into the instruments' queues and
// keeps the played-node records for the canvas.
//
// The clock and the two tables are guarded by a lock of its own, not by the
// controller's locks: a voice step routes its notes without the document
// lock, and no request of the document waits for a note. The lock is held
// only for a look-up or a change of the tables (and, while a note is routed,
// around the instrument queue's own mutex); nothing else is taken inside it,
// so it may be taken under the document lock, never the other way round.
//
// Every operation but the routing runs on the controller's thread. Players
// are joined there, outside every lock: a player finishing its step may still
// read the document.
class Playback
{
public:
    // What routing a note came to.
    enum class Routing { Queued, NoInstrument, QueueFull };

    explicit Playback(QmdVelkaController *controller);
    // Stops every player.
    ~Playback();

    Playback(const Playback &) = delete;
    Playback &operator=(const Playback &) = delete;

    // The factory that makes the players of every document; the engine
    // installs it at start-up. Without one a document has no players.
    static void setPlayerFactory(PlayerFactory *factory);
    static PlayerFactory *playerFactory();

    // The document's playback clock; null until setupSync() has made one.
    AbstractSync *sync() const;
    // (Re)creates the clock from the document's "SyncType" and hands it to
    // every player; the old clock is deleted later, once every player has let
    // go of it.
    void setupSync();

    // Copies of the tables, keyed by instrument id and by element id.
    QHash<QmdItemId, InstrumentPlayer *> instrumentPlayers() const;
    QHash<QmdItemId, VoicePlayer *> voiceGroups() const;

    // Makes, starts and registers one player per id that has none yet: an
    // instrument player per instrument record, a voice group per voice-group
    // element (other ids are skipped). New players play at once when the
    // clock plays.
    void createInstrumentPlayers(const QmdItemIdList &instruments);
    void createVoiceGroups(const QmdItemIdList &elements);
    // Takes over players made elsewhere; an id that has a player keeps it and
    // the newcomer is stopped.
    void registerInstrumentPlayers(const QHash<QmdItemId, InstrumentPlayer *> &players);

    // Takes the players of the ids out of their table and stops them.
    void stopInstrumentPlayers(const QmdItemIdList &instruments);
    void stopVoiceGroups(const QmdItemIdList &elements);
    // Stops every player, voice groups first, and forgets the played notes.
    void stopPlayers();
    // Stops every player, then makes the clock and the players of the
    // document anew.
    void replacePlayers();

    // Every voice group re-traverses from the playback position.
    void retraverse();

    // Brings the players in line with a clock that starts (instruments play,
    // voice groups continue) or stops (instruments pause, voice groups
    // pause). Instruments are always switched before voice groups.
    void prime(bool play);
    // The first half of going to the start: stops and resets the clock;
    // true when it was playing.
    bool rewindClock();
    // The second half: silences and empties the instruments, sends the voice
    // groups to their start, forgets the played notes and, when resume is
    // true, plays again from the start, every group again, also one whose
    // voices had all ended.
    void rewindPlayers(bool resume);

    // Queues note events to an instrument's player. A pair is queued whole or
    // not at all. Safe from any thread.
    Routing route(QmdItemId instrument, const InstrumentEvent &event);
    Routing routePair(QmdItemId instrument, const InstrumentEvent &first, const InstrumentEvent &second);

    // Played-node records for the canvas (limit 1000).
    TimedEventQueue<FeedbackEvent> &feedbackPipe() { return m_feedbackQueue; }

private:
    QmdVelkaController *const m_controller;

    mutable QReadWriteLock m_lock;
    AbstractSync *m_sync = nullptr; // a child of the controller
    QHash<QmdItemId, InstrumentPlayer *> m_instrumentPlayers;
    QHash<QmdItemId, VoicePlayer *> m_voiceGroups;

    TimedEventQueue<FeedbackEvent> m_feedbackQueue;
};

#endif // PLAYBACK_H
