#ifndef VOICEGROUP_H
#define VOICEGROUP_H

#include "networkcache.h"
#include "qmdobserver.h"
#include "qmdtypes.h"
#include "qmdvelkacontroller.h"
#include "voice.h"
#include "voiceplayer.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QThread>
#include <QVariant>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <random>
#include <vector>

class AbstractSync;
class NetworkReader;
class VoiceSchedule;

// The player of one voice-group element: a pool of 24 voices that move
// through the network in tick time. The group releases a start voice at its
// node; a voice that reaches a node is stepped there (stepVoice): the node
// plays a note and sends free voices on along its chosen edges. The document's
// VoiceSchedule steps the voices of all its groups in one order, a little
// ahead of their arrival; the group's own thread only makes its voices.
//
// Lock order of playback, never taken the other way round:
//   1. the schedule's step mutex, shared by the document's groups (held for
//      one whole pass, and by every slot of a group that changes voices);
//   2. the controller's request lock (every read, request and write-back of
//      the controller; a voice step takes it only to read what the
//      schedule's NetworkCache does not hold yet, and the schedule holds it
//      once at the start of a round of steps, to follow the document's
//      changes, and once at its end, to store what the steps wrote back); an
//      instrument's configuration mutex comes before it, since a port change
//      writes the instrument's record;
//   3. the lock of the document's Playback (its clock and player tables;
//      held for a look-up or a change of a table, and by a step routing its
//      notes around the instrument queue's mutex, never around a document
//      read or a join);
//   4. short locks taken last and alone: a group's voice-set mutex, the
//      schedule's arrival-queue mutex, the NetworkCache's mutex, an event
//      queue's mutex, a MIDI port's mutex (and inside it an output's notes
//      mutex), a thread's wait mutex, and the clock's mutex (MidiSync's
//      clock mutex, taken by every position read and conversion; it is never
//      held while a port opens, a thread starts or another thread is waited
//      for).
// A voice step routes its notes with no lock of the document held, and never
// takes the controller's own mutex(): that is the canvas's, taken before the
// request lock.
// The steps at one node never run side by side (the schedule runs them in
// turn), so the read-advance-write of a node's state needs no lock of its own.
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

    // Makes the group's random choices the same in every run; the generator
    // is otherwise seeded from the system.
    void seedRandom(quint64 seed);

    // The step of one active voice at the node it reached: what the node
    // plays and where the voice goes on. False when the node is missing: the
    // voice stays and is tried again.
    bool stepVoice(Voice *voice);
    // Ticks needed to travel the item: 0 for the group itself and for
    // wormholes, else the edge's length. *found is false for an item that
    // is no edge with two nodes.
    quint64 travelTime(QmdItemId item, bool *found) const;
    // The states of the travelling voices, ordered by voice number; waits for
    // a step pass in progress.
    QList<VoiceState> activeVoiceStates() const;

    // For the schedule, under its step mutex: whether the group's voices are
    // stepped, its travelling voices by number, the next random number, and
    // the pause of a group whose voices have all ended.
    bool takesPart() const { return m_started.load() && m_playing.load() && !m_quit.load(); }
    QList<Voice *> activeVoices() const;
    quint64 drawRandom();
    void pauseWhenEnded();

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
    void continueBody();
    void resetBody();
    void syncSyncBody();

    // A voice a step sends along an edge: what the step read of the edge
    // (travel) and the count of voices sent along it before this one.
    struct Departure
    {
        QmdItemId edge = 0;
        NetworkCache::Edge travel;
        quint32 scale = 0;
    };
    // The edges a node whose edge-usage list and signalling method are given
    // chooses for an arriving voice whose random number is `draw`, first edge
    // first, read through the step's reader. *stateValues are
    // the node's state values (none: the node has no state and chooses
    // nothing); true when a sequential choice advanced the position in the
    // list they hold.
    bool chooseEdges(const NetworkReader &network, const QString &list, int method, quint64 draw,
                     QList<QVariant> *stateValues, QList<Departure> *departures);
    // Sends one free voice along a departure's edge with a copy of the
    // arriving voice's state; false when the edge cannot be travelled or no
    // voice is free.
    bool spawnVoice(const VoiceState &state, const Departure &departure);
    // Writes back how many voices were sent along each edge departed (to the
    // schedule's cache, which stores it when the round ends).
    void writeSentAlong(const QList<Departure *> &departed);
    // What a voice travelling the item reads of it, its travel time and
    // whether it is found as travelTime gives them.
    NetworkCache::Edge travel(const NetworkReader &network, QmdItemId item) const;
    quint64 travelTime(const NetworkReader &network, QmdItemId item, bool *found) const;

    Voice *takeFreeVoice();
    // Puts a travelling voice into the schedule's arrival queue while the
    // group plays; freeing a voice takes it out.
    void queueIfPlaying(Voice *voice);
    void freeVoice(Voice *voice);
    bool hasFreeVoice() const;
    bool hasActiveVoice() const;

    const QmdItemId m_group;
    const std::shared_ptr<VoiceSchedule> m_schedule;

    std::atomic<bool> m_started{false};
    std::atomic<bool> m_playing{false};
    std::atomic<bool> m_quit{false};
    std::atomic<bool> m_reportedLostNote{false};

    std::vector<std::unique_ptr<Voice>> m_voices;
    mutable QMutex m_voiceSetMutex;
    QList<Voice *> m_freeVoices;   // ordered by number
    QList<Voice *> m_activeVoices; // ordered by number

    std::atomic<AbstractSync *> m_sync{nullptr};
    std::mt19937_64 m_random; // under the step mutex
    quint64 m_lastArrival = 0; // of the latest step, under the step mutex

    std::mutex m_waitMutex;
    std::condition_variable m_waitCondition; // wakes the thread to end
    std::condition_variable m_idleCondition; // announces started
};

#endif // VOICEGROUP_H
