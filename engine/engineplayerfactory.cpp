#include "engineplayerfactory.h"

#include "createsync.h"
#include "instrumentfactory.h"
#include "midiinstrument.h"
#include "midisync.h"
#include "voicegroup.h"

AbstractSync *EnginePlayerFactory::createSync(const QString &type, QObject *parent)
{
    if (AbstractSync *sync = ::createSync(type, parent))
        return sync;
    return new MidiSync(parent);
}

InstrumentPlayer *EnginePlayerFactory::createInstrument(const QString &type, QmdItemId instrument)
{
    if (AbstractInstrument *player = ::createInstrument(type, instrument))
        return player;
    return new MidiInstrument(instrument);
}

VoicePlayer *EnginePlayerFactory::createVoiceGroup(QmdItemId group, QmdVelkaController *controller)
{
    return new VoiceGroup(group, controller);
}
