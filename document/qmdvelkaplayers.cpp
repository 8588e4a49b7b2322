// The players of a network document: its playback clock, one instrument player
// per instrument record and one voice-group player per voice-group element.

#include "qmdvelkacontroller.h"
#include "qmdvelkakeys.h"

#include "abstractsync.h"
#include "instrumentplayer.h"
#include "playerfactory.h"
#include "qmdreadlocker.h"
#include "qmdrequestguard.h"
#include "qmdrequestlocker.h"
#include "voiceplayer.h"

#include <QDeadlineTimer>
#include <QThread>

namespace {

PlayerFactory *installedPlayerFactory = nullptr;

// Joins a stopped player's thread. A debug build gives up after five seconds
// with a fatal error naming the thread, so a hang fails loudly instead of
// freezing the application or a test run.
void joinPlayerThread(QThread *thread)
{
    if (!thread)
        return;
#ifdef QT_NO_DEBUG
    thread->wait();
#else
    if (!thread->wait(QDeadlineTimer(5000)))
        qFatal("Player thread \"%s\" did not stop within five seconds", qPrintable(thread->objectName()));
#endif
}

void startPlayerThread(QThread *thread, const QString &name)
{
    if (!thread)
        return;
    thread->setObjectName(name);
    thread->start(QThread::TimeCriticalPriority);
}

} // namespace

void QmdVelkaController::setPlayerFactory(PlayerFactory *factory)
{
    installedPlayerFactory = factory;
}

PlayerFactory *QmdVelkaController::playerFactory()
{
    return installedPlayerFactory;
}

AbstractSync *QmdVelkaController::sync() const
{
    QmdReadLocker locker(this);
    return m_sync;
}

QHash<QmdItemId, InstrumentPlayer *> QmdVelkaController::instrumentThreads() const
{
    QmdReadLocker locker(this);
    return m_instrumentThreads;
}

QHash<QmdItemId, VoicePlayer *> QmdVelkaController::voiceGroups() const
{
    QmdReadLocker locker(this);
    return m_voiceGroups;
}

void QmdVelkaController::registerInstrumentThreads(const QHash<QmdItemId, InstrumentPlayer *> &threads)
{
    QList<InstrumentPlayer *> refused;
    {
        QmdRequestLocker locker(this);
        for (auto it = threads.cbegin(); it != threads.cend(); ++it) {
            if (m_instrumentThreads.contains(it.key()))
                refused.append(it.value());
            else
                m_instrumentThreads.insert(it.key(), it.value());
        }
    }
    for (InstrumentPlayer *player : refused)
        stopInstrumentThread(player);
}

void QmdVelkaController::setupSync()
{
    PlayerFactory *factory = playerFactory();
    if (!factory)
        return;
    AbstractSync *old = nullptr;
    AbstractSync *clock = nullptr;
    {
        QmdRequestLocker locker(this);
        old = m_sync;
        clock = factory->createSync(data(QmdVelkaKeys::SyncType).toString(), this);
        m_sync = clock;
    }
    if (clock) {
        connect(clock, &AbstractSync::principalsToBeatsNumeratorChanged, this,
                &QmdVelkaController::requestTraverseFromPlaybackPos);
        connect(clock, &AbstractSync::principalsToBeatsDenominatorChanged, this,
                &QmdVelkaController::requestTraverseFromPlaybackPos);
        clock->setController(this);
    }
    // Each player returns only once it no longer uses the old clock: an
    // instrument once its step in progress has ended, a voice group once it
    // is idle.
    for (InstrumentPlayer *player : instrumentThreads())
        player->setSync(clock);
    for (VoicePlayer *group : voiceGroups())
        group->syncSync();
    if (old) {
        old->setController(nullptr);
        old->deleteLater();
    }
}

void QmdVelkaController::createInstrumentThreads(const QmdItemIdList &instruments)
{
    PlayerFactory *factory = playerFactory();
    if (!factory)
        return;
    AbstractSync *clock = sync();
    const QHash<QmdItemId, InstrumentPlayer *> running = instrumentThreads();
    QHash<QmdItemId, InstrumentPlayer *> made;
    for (QmdItemId id : instruments) {
        if (running.contains(id) || made.contains(id) || !instrumentIndex(id).isValid())
            continue;
        InstrumentPlayer *player =
            factory->createInstrument(instrumentData(id, QmdVelkaKeys::Type).toString(), id);
        if (!player)
            continue;
        player->setSync(clock);
        player->setController(this);
        made.insert(id, player);
    }
    const bool playing = clock && clock->isPlaying();
    for (auto it = made.cbegin(); it != made.cend(); ++it) {
        startPlayerThread(it.value()->playerThread(), QStringLiteral("instrument %1").arg(it.key()));
        if (playing)
            it.value()->play();
    }
    registerInstrumentThreads(made);
}

void QmdVelkaController::stopInstrumentThread(InstrumentPlayer *player)
{
    if (!player)
        return;
    player->terminateSafely();
    joinPlayerThread(player->playerThread());
    delete player;
}

void QmdVelkaController::createVoiceGroups(const QmdItemIdList &elements)
{
    PlayerFactory *factory = playerFactory();
    if (!factory)
        return;
    const QHash<QmdItemId, VoicePlayer *> running = voiceGroups();
    QHash<QmdItemId, VoicePlayer *> made;
    for (QmdItemId id : elements) {
        if (running.contains(id) || made.contains(id) || elementType(id) != QmdVelka::VoiceGroup)
            continue;
        if (VoicePlayer *group = factory->createVoiceGroup(id, this))
            made.insert(id, group);
    }
    AbstractSync *clock = sync();
    const bool playing = clock && clock->isPlaying();
    for (auto it = made.cbegin(); it != made.cend(); ++it) {
        QThread *thread = it.value()->playerThread();
        startPlayerThread(thread, QStringLiteral("voice group %1").arg(it.key()));
        if (thread)
            it.value()->waitUntilStarted();
        if (playing)
            it.value()->continueIterating();
    }
    QmdRequestLocker locker(this);
    m_voiceGroups.insert(made);
}

void QmdVelkaController::stopVoiceGroup(VoicePlayer *player)
{
    if (!player)
        return;
    player->terminateSafely();
    joinPlayerThread(player->playerThread());
    delete player;
}

void QmdVelkaController::retraverseVoiceGroups(QmdItemId element, const QStringList &)
{
    switch (elementType(element)) {
    case QmdVelka::Edge:
    case QmdVelka::Node:
    case QmdVelka::VoiceGroup:
        for (VoicePlayer *group : voiceGroups())
            group->traverseFromPlaybackPos();
        break;
    default:
        break;
    }
}

void QmdVelkaController::requestTraverseFromPlaybackPos()
{
    QList<VoicePlayer *> groups;
    {
        QmdRequestGuard request(this,
                                QmdRequestOptions(Qmd::NoUndoHistory, tr("Traverse From Playback Pos")));
        groups = m_voiceGroups.values();
    }
    for (VoicePlayer *group : groups)
        group->traverseFromPlaybackPos();
}

QmdVelkaController::Players QmdVelkaController::takePlayers()
{
    QmdRequestLocker locker(this);
    Players players{m_instrumentThreads.values(), m_voiceGroups.values()};
    m_instrumentThreads.clear();
    m_voiceGroups.clear();
    return players;
}

void QmdVelkaController::stopPlayers(const Players &players)
{
    // Voice groups first: they queue into the instruments.
    for (VoicePlayer *group : players.voiceGroups)
        stopVoiceGroup(group);
    for (InstrumentPlayer *player : players.instruments)
        stopInstrumentThread(player);
}
