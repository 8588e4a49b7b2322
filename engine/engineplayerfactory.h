#ifndef ENGINEPLAYERFACTORY_H
#define ENGINEPLAYERFACTORY_H

#include "playerfactory.h"

// The playback engine's players of a network document: its clock, the
// instruments of its records and the voice groups of its elements.
class EnginePlayerFactory : public PlayerFactory
{
public:
    // A MidiSync for a type the engine does not know.
    AbstractSync *createSync(const QString &type, QObject *parent) override;
    // A MidiInstrument for a type the engine does not know.
    InstrumentPlayer *createInstrument(const QString &type, QmdItemId instrument) override;
    VoicePlayer *createVoiceGroup(QmdItemId group, QmdVelkaController *controller) override;
};

#endif // ENGINEPLAYERFACTORY_H
