#ifndef VOICEGROUP_H
#define VOICEGROUP_H

#include "qmdobserver.h"
#include "qmdtypes.h"
#include "qmdvelkacontroller.h"
#include "voice.h"
#include "voiceplayer.h"

#include <QHash>
#include <QList>
#include <QMetaObject>
#include <QMutex>
#include <QThread>
#include <QVariant>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

class AbstractSync;

// The player of one voice-group element: a thread that owns a pool of 24
// voices and moves them through the network in tick time. The group releases
// a start voice at its node; a voice that reaches a node is stepped there
// (stepVoice): the node plays a note and sends free voices on along its chosen
// edges.
//
// While playing, the thread sleeps until the earliest arrival among its active
// voices (or until a slot or a change of the clock's timing wakes it), then
// steps the voices that are due, so every note is queued for its exact arrival
// tick. Voices that are due again straight after a step (sent along a wormhole
// or a zero-length edge, or waiting for a node that is missing) are stepped
// 10 ms later, so a cycle that takes no time never becomes a busy loop.
//
// Lock order of playback, never taken the other way round:
//   1. a voice group's step mutex (held for one whole step pass, and by every
//      slot that changes voices);
//   2. the controller's own mutex, QmdVelkaController::mutex() (held by each
//      voice step from its edge choice to its write-backs);
//   3. the controller's request lock (every read and request of the
//      controller; a voice step holds it for the same span as 2); an
//      instrument's configuration mutex comes before it, since a port
//      change writes the instrument's record;
//   4. short locks taken last and alone: a group's voice-set mutex, an event
//      queue's mutex, a MIDI port's mutex (and inside it an output's notes
//      mutex), a thread's wait mutex, and the clock's mutex (MidiSync's
//      clock mutex, taken by every position read and conversion; it is never
//      held while a port opens, a thread starts or another thread is waited
//      for).
// No code may take the controller's mutex() while it holds the request lock.
// Replacing a player's clock waits for the player to let go of the old one
// (AbstractOutputThread::setSync, VoiceGroup::syncSync) with none of these
// locks held.
class VoiceGroup : public QThread, public QmdObserver<QmdVelkaController>, public VoicePlayer
{
    Q_OBJECT

public:
    // The thread creates Capacity - 1 voices, numbered 1 to 24.
    static constexpr int Capacity = 25;

    VoiceGroup(QmdItemId group, QmdVelkaController *controller);
    ~VoiceGroup() override;

    QmdItemId group() const { return m_group; }

    QThread *playerThread() override { return this; }
    // Returns once the started thread has made its voices.
    void waitUntilStarted() override;
    bool isStarted() const { return m_started.load(); }
    bool isPlaying() const { return m_playing.load(); }

    // The step of one active voice at the node it reached; nothing when the
    // voice is not due yet.
    void stepVoice(Voice *voice);
    // The outgoing edges a node (its element entry and its state entry)
    // chooses for an arriving voice: *first (0 for none) and the further edges
    // of a parallel node. A sequential node's new position in its edge-usage
    // list goes into *nodeWrites, which the step writes back once its notes
    // are queued.
    void chooseEdges(const QmdIndex &nodeEntry, const QmdIndex &nodeState, QmdItemId *first,
                     QmdItemIdList *further, QHash<QString, QVariant> *nodeWrites);
    // Sends one free voice down an edge that takes ticks to travel (found as
    // travelTime gives them) with a copy of the arriving voice's state; false
    // when the edge cannot be travelled or no voice is free. The
    // voices sent along each edge so far in the step are counted in *sentAlong,
    // which the step writes back last (writeSentAlong).
    bool spawnVoice(const VoiceState &state, QmdItemId edge, quint64 ticks, bool found,
                    QHash<QmdItemId, quint32> *sentAlong);
    void writeSentAlong(const QHash<QmdItemId, quint32> &sentAlong);
    // Ticks needed to travel the item: 0 for the group itself and for
    // wormholes, else the edge's length. *found is false for an item that
    // is no edge with two nodes.
    quint64 travelTime(QmdItemId item, bool *found) const;

    // The states of the travelling voices, ordered by voice number; waits for
    // a step pass in progress.
    QList<VoiceState> activeVoiceStates() const;

public slots:
    void syncSync() override;
    void reset();
    void continueIterating() override;
    void pauseIterating() override;
    void gotoStart() override;
    void terminateSafely() override;
    void traverseFromPlaybackPos() override;

protected:
    void run() override;

private:
    // Bodies of the slots, run with the step mutex held.
    void pauseBody();
    void pauseAndWaitIdle();
    void continueBody();
    void resetBody();
    void syncSyncBody();

    // One pass over the due voices; the counter time of the next pass.
    quint64 stepDueVoices();
    void stepAll(const QList<Voice *> &voices);
    void wake();
    void followTiming(AbstractSync *sync);

    Voice *takeFreeVoice();
    void freeVoice(Voice *voice);
    bool hasFreeVoice() const;
    bool hasActiveVoice() const;

    const QmdItemId m_group;

    std::atomic<bool> m_started{false};
    std::atomic<bool> m_playing{false};
    std::atomic<bool> m_busy{false};
    std::atomic<bool> m_quit{false};
    std::atomic<bool> m_reportedLostNote{false};
    bool m_woken = false; // under the wait mutex

    std::vector<std::unique_ptr<Voice>> m_voices;
    mutable QMutex m_voiceSetMutex;
    QList<Voice *> m_freeVoices;   // ordered by number
    QList<Voice *> m_activeVoices; // ordered by number

    std::atomic<AbstractSync *> m_sync{nullptr};
    QMetaObject::Connection m_timingConnection;
    QMetaObject::Connection m_startConnection;

    // Standard waits: they sleep to the nanosecond deadline asked for.
    std::mutex m_waitMutex;
    std::condition_variable m_waitCondition; // wakes the thread
    std::condition_variable m_idleCondition; // announces started, idle and ended

    mutable QMutex m_stepMutex;

    // Steps of one pass running on the global pool.
    std::mutex m_poolMutex;
    std::condition_variable m_poolDone;
    int m_poolSteps = 0;
};

#endif // VOICEGROUP_H
