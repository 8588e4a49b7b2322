#include "midioutputsyncclock.h"

#include "abstractsync.h"
#include "instrumentevent.h"
#include "monotonicclock.h"

#include <QMutexLocker>

#include <limits>

#ifdef __linux__
#include <sys/prctl.h>
#endif

MidiOutputSyncClock::MidiOutputSyncClock(QObject *parent)
    : AbstractOutputThread(parent)
{
    setInterval(DefaultInterval);
}

MidiOutputSyncClock::~MidiOutputSyncClock()
{
    stopThread();
}

void MidiOutputSyncClock::sendStart()
{
    if (!sync())
        return;
    QMutexLocker locker(&m_sendMutex);
    const bool sent = sendRealtime(m_clocksSent != 0 ? Continue : Start);
    locker.unlock();
    if (!sent)
        stopAfterFailedSend();
}

void MidiOutputSyncClock::start()
{
    bool sent = true;
    if (sync()) {
        QMutexLocker locker(&m_sendMutex);
        sent = sendRealtime(TimingClock);
    }
    if (sent)
        play();
    else
        stopAfterFailedSend();
}

void MidiOutputSyncClock::startAt(quint64 time)
{
    if (!sync()) {
        play();
        return;
    }
    {
        QMutexLocker locker(&m_sendMutex);
        m_startClockPending = true;
        m_startClockAt = time;
    }
    play();
    wake();
}

void MidiOutputSyncClock::sendSongPositionZero()
{
    QMutexLocker locker(&m_sendMutex);
    m_clocksSent = 0;
    const bool sent = sendMessage({SongPosition, 0x00, 0x00});
    locker.unlock();
    if (!sent)
        stopAfterFailedSend();
}

void MidiOutputSyncClock::skipClocksBefore(quint64 beatTick)
{
    QMutexLocker locker(&m_sendMutex);
    m_clocksSent = qMax(m_clocksSent, beatTick / AbstractSync::BeatTicksPerMidiClock);
}

void MidiOutputSyncClock::setTempo(uint tempo)
{
    // A tempo of 0 is taken as 1.
    const quint64 perClock = (60000 / (quint64(qMax(tempo, 1u)) * 24)) * 4;
    setInterval(quint32(qBound<quint64>(1, perClock, 500)));
    // The next clock is due at another time now.
    wake();
}

quint64 MidiOutputSyncClock::clocksSent() const
{
    QMutexLocker locker(&m_sendMutex);
    return m_clocksSent;
}

void MidiOutputSyncClock::pauseAndWait()
{
    AbstractOutputThread::pauseAndWait();
    AbstractSync *clock = sync();
    if (!clock)
        return;
    // Read before the send mutex: the clock's mutex is never taken under it.
    const quint64 beatTick = clock->currentBeatTick();
    QMutexLocker locker(&m_sendMutex);
    if (m_startClockPending) {
        // Stopped before the start time: the start's clock and no others.
        m_startClockPending = false;
        const bool sent = sendRealtime(TimingClock) && sendRealtime(Stop);
        locker.unlock();
        if (!sent)
            stopAfterFailedSend();
        return;
    }
    const bool sent = sendDueClocks(beatTick) && sendRealtime(Stop);
    locker.unlock();
    if (!sent)
        stopAfterFailedSend();
}

RealtimeScheduling::Rank MidiOutputSyncClock::realtimeRank() const
{
    return RealtimeScheduling::Clock;
}

void MidiOutputSyncClock::process()
{
#ifdef __linux__
    if (!m_timerSlackSet) {
        // Wake as close to the due time as the kernel allows.
        prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
        m_timerSlackSet = true;
    }
#endif
    AbstractSync *clock = sync();
    if (!clock || !clock->isPlaying())
        return;
    const quint64 beatTick = clock->currentBeatTick();
    QMutexLocker locker(&m_sendMutex);
    // A stop that came in meanwhile has sent the remaining clocks and Stop.
    if (state() != Playing)
        return;
    bool sent = true;
    if (m_startClockPending) {
        if (MonotonicClock::nanoseconds() < m_startClockAt)
            return;
        m_startClockPending = false;
        sent = sendRealtime(TimingClock);
    }
    sent = sent && sendDueClocks(beatTick);
    locker.unlock();
    if (!sent)
        stopAfterFailedSend();
}

quint64 MidiOutputSyncClock::nextStepTime(quint64 now)
{
    const quint64 latest = now + MaxSleepNanoseconds;
    AbstractSync *clock = sync();
    if (!clock || !clock->isPlaying())
        return latest;
    quint64 next;
    {
        QMutexLocker locker(&m_sendMutex);
        if (m_startClockPending)
            return qMin(latest, m_startClockAt);
        next = m_clocksSent + 1;
    }
    if (next > std::numeric_limits<quint64>::max() / AbstractSync::BeatTicksPerMidiClock)
        return latest;
    return qMin(latest, clock->counterNanosecondsAtBeatTick(next * AbstractSync::BeatTicksPerMidiClock));
}

quint64 MidiOutputSyncClock::clocksDue(quint64 beatTick) const
{
    const quint64 passed = beatTick / AbstractSync::BeatTicksPerMidiClock;
    return passed > m_clocksSent ? passed - m_clocksSent : 0;
}

bool MidiOutputSyncClock::sendDueClocks(quint64 beatTick)
{
    const quint64 due = qMin(clocksDue(beatTick), MaxClocksPerStep);
    for (quint64 i = 0; i < due; ++i) {
        if (!sendMessage({TimingClock}))
            return false;
        ++m_clocksSent;
    }
    return true;
}

bool MidiOutputSyncClock::sendRealtime(quint8 status)
{
    return sendMessage({status});
}

bool MidiOutputSyncClock::sendMessage(const std::vector<unsigned char> &bytes)
{
    return sendEvents({InstrumentEvent(0, bytes)});
}

void MidiOutputSyncClock::stopAfterFailedSend()
{
    // Pauses without Stop; the sender stays silent until the next start of playback.
    AbstractOutputThread::pauseAndWait();
    close();
}
