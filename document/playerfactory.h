#ifndef PLAYERFACTORY_H
#define PLAYERFACTORY_H

#include "qmdtypes.h"

#include <QString>

class AbstractSync;
class InstrumentPlayer;
class QObject;
class QmdVelkaController;
class VoicePlayer;

// Makes the objects that play a network document. The playback engine installs
// its factory at start-up (QmdVelkaController::setPlayerFactory); a controller
// without a factory has a document but no players. The caller owns every
// object returned.
class PlayerFactory
{
public:
    virtual ~PlayerFactory() = default;

    // The clock for a "SyncType"; an unknown type gives the default clock.
    virtual AbstractSync *createSync(const QString &type, QObject *parent) = 0;
    // The player of an instrument record of the given "Type"; an unknown type
    // gives the default (MIDI) instrument.
    virtual InstrumentPlayer *createInstrument(const QString &type, QmdItemId instrument) = 0;
    virtual VoicePlayer *createVoiceGroup(QmdItemId group, QmdVelkaController *controller) = 0;
};

#endif // PLAYERFACTORY_H
