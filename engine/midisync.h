#ifndef MIDISYNC_H
#define MIDISYNC_H

#include "abstractsync.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QStringList>

#include <atomic>
#include <memory>
#include <mutex>

class MidiInput;
class MidiIO;
class MidiOutputSyncClock;
class PortRecord;
class QmdIndex;
struct MidiMessage;

// The playback clock of a document ("internal"). The position is computed on demand from
// the monotonic counter and a few offsets; conversions between nanoseconds, ticks and beat
// ticks are exact (floor). It follows MIDI clock arriving on the document's sync input
// ports and drives one MIDI clock sender per sync output port.
//
// Locks: the clock mutex (recursive) guards the timing state and the port lists; the
// clock-input mutex guards the state of clock following. The clock mutex is taken before
// the clock-input mutex. Every operation that takes the clock-input mutex runs on the
// thread that owns the clock.
class MidiSync : public AbstractSync
{
    Q_OBJECT

public:
    // Lead between the MIDI Start sent to sync outputs and the first Timing Clock.
    static constexpr quint64 SyncOutputLeadNanoseconds = 10000000;

    explicit MidiSync(QObject *parent = nullptr);
    ~MidiSync() override;

    // The counter clock every position is measured against.
    static quint64 counterNanoseconds();

    QString type() const override;
    QString description() const override;
    bool isPlaying() const override;
    // A start begins the position one step horizon (VoiceSchedule::horizon)
    // after the call, or the sync outputs' lead after it when that is longer.
    void setPlaying(bool play) override;
    uint tempo() const override;
    uint principalsToBeatsNumerator() const override;
    uint principalsToBeatsDenominator() const override;
    quint64 currentNanoseconds() const override;
    quint64 currentTick() const override;
    quint64 currentBeatTick() const override;
    quint64 nanosecondsToTicks(quint64 nanoseconds) const override;
    quint64 ticksToNanoseconds(quint64 ticks) const override;
    quint64 nanosecondsToBeatTicks(quint64 nanoseconds) const override;
    quint64 beatTicksToNanoseconds(quint64 beatTicks) const override;
    quint64 ticksToBeatTicks(quint64 ticks) const override;
    quint64 beatTicksToTicks(quint64 beatTicks) const override;
    quint64 counterNanosecondsAtTick(quint64 tick) const override;
    quint64 counterNanosecondsAtBeatTick(quint64 beatTick) const override;

    // Starts or stops the clock at the given counter time. A start from stopped sends MIDI
    // Start or Continue to the sync outputs, begins the position `lead` nanoseconds later
    // and then lets the senders play; a start while playing keeps the position running.
    // A stop sends the clocks still due and MIDI Stop.
    void setPlayingAt(quint64 time, quint64 lead, bool play);

    // Follows MIDI clock messages (Start, Continue, Stop, Timing Clock, Song Position
    // Pointer 0) received on a sync input, in order.
    void followMidiClock(const QList<MidiMessage> &messages);

    void setController(QmdVelkaController *controller) override;

    // Names of the sync ports that are open, for inspection.
    QStringList syncInputPortNames() const;
    QStringList syncOutputPortNames() const;

public slots:
    void reset() override;
    void setTempo(uint tempo) override;
    void setPrincipalsToBeatsNumerator(uint numerator) override;
    void setPrincipalsToBeatsDenominator(uint denominator) override;
    void onItemsChanged(const QmdIndex &parent, const QStringList &keys);
    void onItemsRemoved(const QmdIndex &parent, const QStringList &keys);
    void onMidiSyncReadyRead(MidiInput *input);

private:
    struct PortChanges
    {
        QStringList open;
        QStringList close;
    };

    // Everything below assumes the clock mutex is held.
    quint64 elapsedAt(quint64 now) const;
    void rebase(quint64 time);
    void rebaseNow();
    void recomputeFactors();
    quint64 counterTimeOf(quint64 target, quint64 offset, qint64 correction,
                          quint64 (MidiSync::*toNanosecondsCeil)(quint64) const) const;
    quint64 ticksToNanosecondsCeil(quint64 ticks) const;
    quint64 beatTicksToNanosecondsCeil(quint64 beatTicks) const;

    void collectPortChanges(const QmdIndex &container, const QmdIndex &parent,
                            const QStringList &keys, PortChanges *changes) const;
    void collectPortRemovals(const QmdIndex &container, const QmdIndex &parent,
                             const QStringList &keys, PortChanges *changes) const;
    // Clock ports open on a thread of their own, since opening waits on the MIDI
    // system; adoptSyncPort() hands the port to its input or sender here.
    void openLater(MidiIO *io, const QString &name);
    void adoptSyncPort(MidiIO *io, const std::shared_ptr<PortRecord> &port, const QString &name,
                       const QString &error);
    void openSyncInputs(const QStringList &names);
    void closeSyncInputs(const QStringList &names);
    void openSyncOutputs(const QStringList &names);
    // Takes the senders of the named ports (all when names is null) out of the list.
    QList<MidiOutputSyncClock *> takeSyncOutputs(const QStringList *names);
    // Stops, joins and deletes senders; called without the clock mutex, because a
    // sender's step reads the position.
    static void destroySyncOutputs(const QList<MidiOutputSyncClock *> &outputs);
    void closeAllSyncPorts();
    void requestGotoStart();
    void requestPrimePlayback(bool play);
    void followTimingClock(const MidiMessage &message, bool *clockSeen, quint64 *lastCountedStamp);
    void correctFromCountedClocks(quint64 lastCountedStamp);

    // A standard mutex, so that thread checkers see every lock of the position.
    typedef std::lock_guard<std::recursive_mutex> ClockLocker;
    mutable std::recursive_mutex m_clockMutex;
    std::atomic<bool> m_playing{false};
    std::atomic<uint> m_tempo{120};
    std::atomic<uint> m_numerator{1};
    std::atomic<uint> m_denominator{1};
    quint64 m_nanosecondOffset = 0;
    quint64 m_tickOffset = 0;
    quint64 m_beatTickOffset = 0;
    quint64 m_startTime = 0;
    QList<MidiInput *> m_syncInputs;
    bool m_startPending = false;
    // The pending start came from MIDI Start: the first Timing Clock is position 0.
    bool m_startPendingFromZero = false;
    QList<MidiOutputSyncClock *> m_syncOutputs;
    // The port each clock input and sender stands for, open or still opening.
    QHash<const MidiIO *, QString> m_syncPortNames;

    mutable QMutex m_clockInputMutex;
    quint64 m_clockBeatTicks = 0;
    qint64 m_beatTickCorrection = 0;
    int m_outOfToleranceCount = 0;
    bool m_clocksCountedSinceStart = false;
    QList<quint64> m_clockStamps;
    quint64 m_windowStart = 0;
    double m_lastRateEstimate = 0.0;
    quint64 m_lastTempoUpdate = 0;

    // The beat-tick correction in ticks, sign kept (clock mutex).
    qint64 m_tickCorrection = 0;
};

#endif // MIDISYNC_H
