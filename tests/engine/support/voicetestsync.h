#ifndef VOICETESTSYNC_H
#define VOICETESTSYNC_H

#include "abstractsync.h"

#include <atomic>

// A playback clock whose position the test sets by hand. Setting the tick
// announces a change of timing, which wakes every player that sleeps towards
// a later tick.
class VoiceTestSync : public AbstractSync
{
    Q_OBJECT

public:
    explicit VoiceTestSync(QObject *parent = nullptr);

    void setTick(quint64 tick);

    QString type() const override { return QStringLiteral("test"); }
    QString description() const override { return QStringLiteral("Test"); }
    bool isPlaying() const override { return m_playing.load(); }
    void setPlaying(bool play) override { m_playing.store(play); }
    uint tempo() const override { return 120; }
    uint principalsToBeatsNumerator() const override { return 1; }
    uint principalsToBeatsDenominator() const override { return 1; }
    quint64 currentNanoseconds() const override { return 0; }
    quint64 currentTick() const override { return m_tick.load(); }
    quint64 currentBeatTick() const override { return m_tick.load(); }
    quint64 nanosecondsToTicks(quint64 value) const override { return value; }
    quint64 ticksToNanoseconds(quint64 value) const override { return value; }
    quint64 nanosecondsToBeatTicks(quint64 value) const override { return value; }
    quint64 beatTicksToNanoseconds(quint64 value) const override { return value; }
    quint64 ticksToBeatTicks(quint64 value) const override { return value; }
    quint64 beatTicksToTicks(quint64 value) const override { return value; }
    // Now for a tick reached; never for a later one (the clock only moves when set).
    quint64 counterNanosecondsAtTick(quint64 tick) const override;
    quint64 counterNanosecondsAtBeatTick(quint64 beatTick) const override;

public slots:
    void setTempo(uint) override {}
    void setPrincipalsToBeatsNumerator(uint) override {}
    void setPrincipalsToBeatsDenominator(uint) override {}

private:
    std::atomic<quint64> m_tick{0};
    std::atomic<bool> m_playing{true};
};

#endif // VOICETESTSYNC_H
