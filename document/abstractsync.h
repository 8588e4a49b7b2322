#ifndef ABSTRACTSYNC_H
#define ABSTRACTSYNC_H

#include "qmdobserver.h"
#include "qmdvelkacontroller.h"
#include "qmdvelkakeys.h"

#include <QObject>
#include <QString>

// The playback clock of one document: tempo, principals-to-beats ratio, playing state and
// the current position in nanoseconds, ticks (TicksPerPrincipal a principal) and beat ticks
// (BeatTicksPerBeat a beat). Every player and display asks it for the position; no thread counts time.
class AbstractSync : public QObject, public QmdObserver<QmdVelkaController>
{
    Q_OBJECT
    Q_PROPERTY(uint tempo READ tempo WRITE setTempo NOTIFY tempoChanged)
    Q_PROPERTY(uint principalsToBeatsNumerator READ principalsToBeatsNumerator
                   WRITE setPrincipalsToBeatsNumerator NOTIFY principalsToBeatsNumeratorChanged)
    Q_PROPERTY(uint principalsToBeatsDenominator READ principalsToBeatsDenominator
                   WRITE setPrincipalsToBeatsDenominator NOTIFY principalsToBeatsDenominatorChanged)

public:
    // Ticks of a principal and beat ticks of a beat.
    static constexpr quint64 TicksPerPrincipal = QmdVelka::TicksPerPrincipal;
    static constexpr quint64 BeatTicksPerBeat = QmdVelka::BeatTicksPerBeat;
    // Beat ticks of one MIDI Timing Clock (24 per beat).
    static constexpr quint64 BeatTicksPerMidiClock = 27720;

    explicit AbstractSync(QObject *parent = nullptr);
    ~AbstractSync() override;

    virtual QString type() const = 0;
    virtual QString description() const = 0;
    virtual bool isPlaying() const = 0;
    virtual void setPlaying(bool play) = 0;
    virtual uint tempo() const = 0;
    virtual uint principalsToBeatsNumerator() const = 0;
    virtual uint principalsToBeatsDenominator() const = 0;
    virtual quint64 currentNanoseconds() const = 0;
    virtual quint64 currentTick() const = 0;
    virtual quint64 currentBeatTick() const = 0;
    virtual quint64 nanosecondsToTicks(quint64 nanoseconds) const = 0;
    virtual quint64 ticksToNanoseconds(quint64 ticks) const = 0;
    virtual quint64 nanosecondsToBeatTicks(quint64 nanoseconds) const = 0;
    virtual quint64 beatTicksToNanoseconds(quint64 beatTicks) const = 0;
    virtual quint64 ticksToBeatTicks(quint64 ticks) const = 0;
    virtual quint64 beatTicksToTicks(quint64 beatTicks) const = 0;

    // The counter time (MonotonicClock nanoseconds) at which currentTick, respectively
    // currentBeatTick, first reaches the given value while the clock keeps playing at its
    // present tempo and ratio, rounded up; the present time or earlier when it has been
    // reached, and the largest value when the clock is stopped. Players sleep until it.
    virtual quint64 counterNanosecondsAtTick(quint64 tick) const = 0;
    virtual quint64 counterNanosecondsAtBeatTick(quint64 beatTick) const = 0;

    // Starts the clock again from its current offsets: setPlaying(true).
    void restartClock();
    // Stops the clock: setPlaying(false).
    void stopClock();

    // Binds tempo and ratio to the document of the controller and resets with its model.
    void setController(QmdVelkaController *controller) override;

public slots:
    virtual void reset();
    virtual void setTempo(uint tempo) = 0;
    virtual void setPrincipalsToBeatsNumerator(uint numerator) = 0;
    virtual void setPrincipalsToBeatsDenominator(uint denominator) = 0;

signals:
    void tempoChanged(uint tempo);
    void principalsToBeatsNumeratorChanged(uint numerator);
    void principalsToBeatsDenominatorChanged(uint denominator);
    void timingChanged();
    // The position was corrected (to follow received MIDI clock) without a
    // change of tempo or ratio; timingChanged follows it.
    void positionCorrected();
    // The clock started playing; players primed while it stood step from now.
    void started();
};

#endif // ABSTRACTSYNC_H
