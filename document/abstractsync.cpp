#include "abstractsync.h"
#include "qmdvelkakeys.h"

#include "qmdvelkacontroller.h"

AbstractSync::AbstractSync(QObject *parent)
    : QObject(parent)
{
    connect(this, &AbstractSync::tempoChanged, this, &AbstractSync::timingChanged);
    connect(this, &AbstractSync::principalsToBeatsNumeratorChanged, this, &AbstractSync::timingChanged);
    connect(this, &AbstractSync::principalsToBeatsDenominatorChanged, this, &AbstractSync::timingChanged);
    connect(this, &AbstractSync::positionCorrected, this, &AbstractSync::timingChanged);
}

AbstractSync::~AbstractSync() = default;

void AbstractSync::restartClock()
{
    setPlaying(true);
}

void AbstractSync::stopClock()
{
    setPlaying(false);
}

void AbstractSync::reset()
{
}

void AbstractSync::setController(QmdVelkaController *controller)
{
    if (QmdVelkaController *old = this->controller()) {
        disconnect(old, &QmdController::modelReset, this, &AbstractSync::reset);
        old->unbind(this);
    }
    QmdObserver<QmdVelkaController>::setController(controller);
    if (!controller)
        return;
    connect(controller, &QmdController::modelReset, this, &AbstractSync::reset);
    // Tempo changes of the clock come from following MIDI clock, several a second: they
    // reach the document without an undo step each.
    controller->bindKey(this, "tempo", SIGNAL(tempoChanged(uint)), QmdVelkaKeys::Tempo, QmdIndex(),
                        120u, 120u, tr("Tempo"), Qmd::NoUndoHistory);
    controller->bindKey(this, "principalsToBeatsNumerator", SIGNAL(principalsToBeatsNumeratorChanged(uint)),
                        QmdVelkaKeys::PrincipalsToBeatsNumerator, QmdIndex(), 1u, 1u,
                        tr("PrincipalsToBeatsNumerator"));
    controller->bindKey(this, "principalsToBeatsDenominator", SIGNAL(principalsToBeatsDenominatorChanged(uint)),
                        QmdVelkaKeys::PrincipalsToBeatsDenominator, QmdIndex(), 1u, 1u,
                        tr("PrincipalsToBeatsDenominator"));
}
