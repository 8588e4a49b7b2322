#include "testsyncfactory.h"

TestSyncFactory::TestSyncFactory(quint64 ticksPerSecond) : m_ticksPerSecond(ticksPerSecond)
{
}

AbstractSync *TestSyncFactory::createSync(const QString &, QObject *parent)
{
    return new TestSync(m_ticksPerSecond, parent);
}

InstrumentPlayer *TestSyncFactory::createInstrument(const QString &, QmdItemId)
{
    return nullptr;
}

VoicePlayer *TestSyncFactory::createVoiceGroup(QmdItemId, QmdVelkaController *)
{
    return nullptr;
}
