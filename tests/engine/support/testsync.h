#ifndef TESTSYNC_H
#define TESTSYNC_H

#include "abstractsync.h"

#include <atomic>

// A playback clock whose position and playing state the test sets by hand; it
// starts at tick 0, stopped. Setting the tick announces a change of timing,
// which wakes every player that sleeps towards a later tick. Ticks and beat
// ticks are the same; a second holds the ticks given at construction (as many
// as nanoseconds unless told otherwise).
class TestSync : public AbstractSync
{
    Q_OBJECT

public:
    static constexpr quint64 NanosecondsPerSecond = 1000000000;

    explicit TestSync(quint64 ticksPerSecond = NanosecondsPerSecond, QObject *parent = nullptr);

    void setTick(quint64 tick);

    QString type() const override { return QStringLiteral("test"); }
    QString description() const override { return QStringLiteral("Test"); }
    bool isPlaying() const override { return m_playing.load(); }
    void setPlaying(bool play) override { m_playing.store(play); }
    uint tempo() const override { return 120; }
    uint principalsToBeatsNumerator() const override { return 1; }
    uint principalsToBeatsDenominator() const override { return 1; }
    quint64 currentNanoseconds() const override { return ticksToNanoseconds(m_tick.load()); }
    quint64 currentTick() const override { return m_tick.load(); }
    quint64 currentBeatTick() const override { return m_tick.load(); }
    quint64 nanosecondsToTicks(quint64 nanoseconds) const override;
    quint64 ticksToNanoseconds(quint64 ticks) const override;
    quint64 nanosecondsToBeatTicks(quint64 nanoseconds) const override { return nanosecondsToTicks(nanoseconds); }
    quint64 beatTicksToNanoseconds(quint64 beatTicks) const override { return ticksToNanoseconds(beatTicks); }
    quint64 ticksToBeatTicks(quint64 ticks) const override { return ticks; }
    quint64 beatTicksToTicks(quint64 beatTicks) const override { return beatTicks; }
    // Now for a tick reached; never for a later one (the clock only moves when set).
    quint64 counterNanosecondsAtTick(quint64 tick) const override;
    quint64 counterNanosecondsAtBeatTick(quint64 beatTick) const override;

public slots:
    void setTempo(uint) override {}
    void setPrincipalsToBeatsNumerator(uint) override {}
    void setPrincipalsToBeatsDenominator(uint) override {}

private:
    const quint64 m_ticksPerSecond;
    std::atomic<quint64> m_tick{0};
    std::atomic<bool> m_playing{false};
};

#endif // TESTSYNC_H
