// The players of a network document, kept by its Playback: what the
// document's changes ask of them.

#include "qmdvelkacontroller.h"

#include "playback.h"

void QmdVelkaController::setPlayerFactory(PlayerFactory *factory)
{
    Playback::setPlayerFactory(factory);
}

PlayerFactory *QmdVelkaController::playerFactory()
{
    return Playback::playerFactory();
}

Playback *QmdVelkaController::playback() const
{
    return m_playback.get();
}

TimedEventQueue<FeedbackEvent> &QmdVelkaController::feedbackPipe()
{
    return m_playback->feedbackPipe();
}

AbstractSync *QmdVelkaController::sync() const
{
    return m_playback->sync();
}

void QmdVelkaController::setupSync()
{
    m_playback->setupSync();
}

QHash<QmdItemId, InstrumentPlayer *> QmdVelkaController::instrumentThreads() const
{
    return m_playback->instrumentPlayers();
}

QHash<QmdItemId, VoicePlayer *> QmdVelkaController::voiceGroups() const
{
    return m_playback->voiceGroups();
}

void QmdVelkaController::registerInstrumentThreads(const QHash<QmdItemId, InstrumentPlayer *> &threads)
{
    m_playback->registerInstrumentPlayers(threads);
}

void QmdVelkaController::createInstrumentThreads(const QmdItemIdList &instruments)
{
    m_playback->createInstrumentPlayers(instruments);
}

void QmdVelkaController::createVoiceGroups(const QmdItemIdList &elements)
{
    m_playback->createVoiceGroups(elements);
}

void QmdVelkaController::retraverseVoiceGroups(QmdItemId element, const QStringList &)
{
    switch (elementType(element)) {
    case QmdVelka::Edge:
    case QmdVelka::Node:
    case QmdVelka::VoiceGroup:
        m_playback->retraverse();
        break;
    default:
        break;
    }
}

void QmdVelkaController::requestTraverseFromPlaybackPos()
{
    m_playback->retraverse();
}
