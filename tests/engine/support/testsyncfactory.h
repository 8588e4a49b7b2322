#ifndef TESTSYNCFACTORY_H
#define TESTSYNCFACTORY_H

#include "playerfactory.h"
#include "testsync.h"

// Gives each document a TestSync with the given ticks a second, and no
// players: a test makes the players it needs itself.
class TestSyncFactory : public PlayerFactory
{
public:
    explicit TestSyncFactory(quint64 ticksPerSecond = TestSync::NanosecondsPerSecond);

    AbstractSync *createSync(const QString &type, QObject *parent) override;
    InstrumentPlayer *createInstrument(const QString &type, QmdItemId instrument) override;
    VoicePlayer *createVoiceGroup(QmdItemId group, QmdVelkaController *controller) override;

private:
    const quint64 m_ticksPerSecond;
};

#endif // TESTSYNCFACTORY_H
