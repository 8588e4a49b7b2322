#ifndef MIDIOUTPUTSYNCCLOCK_H
#define MIDIOUTPUTSYNCCLOCK_H

#include "abstractoutputthread.h"
#include "midioutput.h"

#include <QMutex>

#include <vector>

// Sends the MIDI clock of one document to one output port: Start or Continue when
// playback starts, Timing Clock for every 27720 beat ticks of the playback clock (24 per
// beat), Stop when playback stops and Song Position Pointer 0 when the clock is reset.
// The playback clock (MidiSync) creates, drives and destroys it.
//
// While playing, the thread sleeps until the next Timing Clock is due. A change of tempo
// or a correction of the position wakes it; for safety it never sleeps longer than
// MaxSleepNanoseconds. A stop waits for the step in progress,
// so no Timing Clock follows Stop. The send mutex guards the count of clocks sent; the
// playback clock's mutex is never taken while it is held.
class MidiOutputSyncClock : public AbstractOutputThread, public MidiOutput
{
    Q_OBJECT

public:
    static constexpr quint8 TimingClock = 0xF8;
    static constexpr quint8 Start = 0xFA;
    static constexpr quint8 Continue = 0xFB;
    static constexpr quint8 Stop = 0xFC;
    static constexpr quint8 SongPosition = 0xF2;
    // Timing Clocks sent in one step at most; a larger backlog is worked off over the
    // following steps.
    static constexpr quint64 MaxClocksPerStep = 10;
    static constexpr quint64 MaxSleepNanoseconds = 100000000;

    explicit MidiOutputSyncClock(QObject *parent = nullptr);
    ~MidiOutputSyncClock() override;

    // Start, or Continue when clocks were sent since the last Song Position Pointer 0.
    void sendStart();
    // The Timing Clock that marks the start position, then the thread plays.
    void start();
    // The same, the Timing Clock sent by the thread at the counter time given
    // (MonotonicClock nanoseconds): the caller does not wait for it.
    void startAt(quint64 time);
    void sendSongPositionZero();
    // Counts the clocks up to the beat tick as sent: a sender that joins a clock already
    // playing sends only the clocks still to come, not a burst of the ones passed.
    void skipClocksBefore(quint64 beatTick);
    // The nominal step interval for a tempo, 4 x the whole milliseconds of one clock
    // bounded to 1..500 us; the thread itself sleeps until the next clock is due.
    void setTempo(uint tempo);
    // Timing Clocks sent since the last Song Position Pointer 0, not counting the ones
    // that mark a start.
    quint64 clocksSent() const;

public slots:
    // Pauses, waits for the step in progress, sends the clocks still due, then Stop.
    void pauseAndWait() override;

protected:
    // Above the instruments, whose sends fall on the same ticks as many clocks.
    RealtimeScheduling::Rank realtimeRank() const override;
    void process() override;
    quint64 nextStepTime(quint64 now) override;

private:
    // Clocks that the position has passed but that were not sent; 0 while the position
    // is behind the clocks sent (after a correction that moved it back).
    quint64 clocksDue(quint64 beatTick) const;
    // The sends below run with the send mutex held and report whether they went out.
    // Sends up to MaxClocksPerStep of the clocks due at beatTick.
    bool sendDueClocks(quint64 beatTick);
    bool sendRealtime(quint8 status);
    bool sendMessage(const std::vector<unsigned char> &bytes);
    // After a failed send, with the send mutex released: the sender pauses (without
    // Stop) and closes its port.
    void stopAfterFailedSend();

    mutable QMutex m_sendMutex;
    quint64 m_clocksSent = 0;
    bool m_startClockPending = false; // the start's Timing Clock, due at m_startClockAt
    quint64 m_startClockAt = 0;
    bool m_timerSlackSet = false;
};

#endif // MIDIOUTPUTSYNCCLOCK_H
