#include "playback.h"

#include "abstractsync.h"
#include "instrumentplayer.h"
#include "playerfactory.h"
#include "qmdlockannotations.h"
#include "qmdvelkacontroller.h"
#include "qmdvelkakeys.h"
#include "voiceplayer.h"

#include <QDeadlineTimer>
#include <QReadLocker>
#include <QThread>
#include <QWriteLocker>

namespace {

const quint32 feedbackQueueLimit = 1000;

PlayerFactory *installedPlayerFactory = nullptr;

// The table lock's readers and writers, announced to ThreadSanitizer, which
// does not see inside Qt's read-write lock.
template <typename Locker>
class TableLocker
{
public:
    explicit TableLocker(QReadWriteLock *lock)
        : m_locker(lock)
        , m_lock(lock)
    {
        QMD_LOCK_ACQUIRED(m_lock);
    }
    ~TableLocker() { QMD_LOCK_RELEASING(m_lock); }

    TableLocker(const TableLocker &) = delete;
    TableLocker &operator=(const TableLocker &) = delete;

private:
    Locker m_locker;
    QReadWriteLock *m_lock;
};
using TableReadLocker = TableLocker<QReadLocker>;
using TableWriteLocker = TableLocker<QWriteLocker>;

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

// Ends a player that is in no table: its thread is told to end and joined,
// then the player is deleted.
template <typename Player>
void stopPlayer(Player *player)
{
    if (!player)
        return;
    player->terminateSafely();
    joinPlayerThread(player->playerThread());
    delete player;
}

// Takes the players of the ids out of the table under the lock, then stops
// them with the lock free.
template <typename Player>
void stopPlayersOf(QReadWriteLock &lock, QHash<QmdItemId, Player *> &table, const QmdItemIdList &ids)
{
    QList<Player *> taken;
    {
        TableWriteLocker locker(&lock);
        for (QmdItemId id : ids) {
            if (Player *player = table.take(id))
                taken.append(player);
        }
    }
    for (Player *player : std::as_const(taken))
        stopPlayer(player);
}

} // namespace

Playback::Playback(QmdVelkaController *controller)
    : m_controller(controller)
    , m_feedbackQueue(feedbackQueueLimit)
{
}

Playback::~Playback()
{
    stopPlayers();
}

void Playback::setPlayerFactory(PlayerFactory *factory)
{
    installedPlayerFactory = factory;
}

PlayerFactory *Playback::playerFactory()
{
    return installedPlayerFactory;
}

AbstractSync *Playback::sync() const
{
    TableReadLocker locker(&m_lock);
    return m_sync;
}

QHash<QmdItemId, InstrumentPlayer *> Playback::instrumentPlayers() const
{
    TableReadLocker locker(&m_lock);
    return m_instrumentPlayers;
}

QHash<QmdItemId, VoicePlayer *> Playback::voiceGroups() const
{
    TableReadLocker locker(&m_lock);
    return m_voiceGroups;
}

void Playback::setupSync()
{
    PlayerFactory *factory = playerFactory();
    if (!factory)
        return;
    AbstractSync *clock =
        factory->createSync(m_controller->data(QmdVelkaKeys::SyncType).toString(), m_controller);
    AbstractSync *old = nullptr;
    {
        TableWriteLocker locker(&m_lock);
        old = m_sync;
        m_sync = clock;
    }
    if (clock) {
        QObject::connect(clock, &AbstractSync::principalsToBeatsNumeratorChanged, m_controller,
                         &QmdVelkaController::requestTraverseFromPlaybackPos);
        QObject::connect(clock, &AbstractSync::principalsToBeatsDenominatorChanged, m_controller,
                         &QmdVelkaController::requestTraverseFromPlaybackPos);
        clock->setController(m_controller);
    }
    // Each player returns only once it no longer uses the old clock: an
    // instrument once its step in progress has ended, a voice group once it
    // is idle.
    for (InstrumentPlayer *player : instrumentPlayers())
        player->setSync(clock);
    for (VoicePlayer *group : voiceGroups())
        group->syncSync();
    if (old) {
        old->setController(nullptr);
        old->deleteLater();
    }
}

void Playback::createInstrumentPlayers(const QmdItemIdList &instruments)
{
    PlayerFactory *factory = playerFactory();
    if (!factory)
        return;
    AbstractSync *clock = sync();
    const QHash<QmdItemId, InstrumentPlayer *> running = instrumentPlayers();
    QHash<QmdItemId, InstrumentPlayer *> made;
    for (QmdItemId id : instruments) {
        if (running.contains(id) || made.contains(id) || !m_controller->instrumentIndex(id).isValid())
            continue;
        InstrumentPlayer *player =
            factory->createInstrument(m_controller->instrumentData(id, QmdVelkaKeys::Type).toString(), id);
        if (!player)
            continue;
        player->setSync(clock);
        player->setController(m_controller);
        made.insert(id, player);
    }
    const bool playing = clock && clock->isPlaying();
    for (auto it = made.cbegin(); it != made.cend(); ++it) {
        startPlayerThread(it.value()->playerThread(), QStringLiteral("instrument %1").arg(it.key()));
        if (playing)
            it.value()->play();
    }
    registerInstrumentPlayers(made);
}

void Playback::registerInstrumentPlayers(const QHash<QmdItemId, InstrumentPlayer *> &players)
{
    QList<InstrumentPlayer *> refused;
    {
        TableWriteLocker locker(&m_lock);
        for (auto it = players.cbegin(); it != players.cend(); ++it) {
            if (m_instrumentPlayers.contains(it.key()))
                refused.append(it.value());
            else
                m_instrumentPlayers.insert(it.key(), it.value());
        }
    }
    for (InstrumentPlayer *player : refused)
        stopPlayer(player);
}

void Playback::createVoiceGroups(const QmdItemIdList &elements)
{
    PlayerFactory *factory = playerFactory();
    if (!factory)
        return;
    const QHash<QmdItemId, VoicePlayer *> running = voiceGroups();
    QHash<QmdItemId, VoicePlayer *> made;
    for (QmdItemId id : elements) {
        if (running.contains(id) || made.contains(id) || m_controller->elementType(id) != QmdVelka::VoiceGroup)
            continue;
        if (VoicePlayer *group = factory->createVoiceGroup(id, m_controller))
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
    TableWriteLocker locker(&m_lock);
    m_voiceGroups.insert(made);
}

void Playback::stopInstrumentPlayers(const QmdItemIdList &instruments)
{
    stopPlayersOf(m_lock, m_instrumentPlayers, instruments);
}

void Playback::stopVoiceGroups(const QmdItemIdList &elements)
{
    stopPlayersOf(m_lock, m_voiceGroups, elements);
}

void Playback::stopPlayers()
{
    QList<InstrumentPlayer *> instruments;
    QList<VoicePlayer *> groups;
    {
        TableWriteLocker locker(&m_lock);
        instruments = m_instrumentPlayers.values();
        groups = m_voiceGroups.values();
        m_instrumentPlayers.clear();
        m_voiceGroups.clear();
    }
    // Voice groups first: they queue into the instruments.
    for (VoicePlayer *group : std::as_const(groups))
        stopPlayer(group);
    for (InstrumentPlayer *player : std::as_const(instruments))
        stopPlayer(player);
    m_feedbackQueue.clear();
}

void Playback::replacePlayers()
{
    // The old players end before the clock they use is replaced.
    stopPlayers();
    setupSync();
    createInstrumentPlayers(m_controller->instrumentIds());
    createVoiceGroups(m_controller->elementIds());
}

void Playback::retraverse()
{
    for (VoicePlayer *group : voiceGroups())
        group->traverseFromPlaybackPos();
}

void Playback::prime(bool play)
{
    for (InstrumentPlayer *player : instrumentPlayers()) {
        if (play)
            player->play();
        else
            player->pauseAndWait();
    }
    for (VoicePlayer *group : voiceGroups()) {
        if (play)
            group->continueIterating();
        else
            group->pauseIterating();
    }
}

bool Playback::rewindClock()
{
    AbstractSync *clock = sync();
    if (!clock)
        return false;
    const bool wasPlaying = clock->isPlaying();
    if (wasPlaying)
        clock->stopClock();
    clock->reset();
    return wasPlaying;
}

void Playback::rewindPlayers(bool resume)
{
    const QHash<QmdItemId, InstrumentPlayer *> instruments = instrumentPlayers();
    for (InstrumentPlayer *player : instruments) {
        // Dropping the queue drops the note offs of sounding notes: a playing
        // instrument is silenced first (a paused one already is).
        if (resume)
            player->pauseAndWait();
        player->reset();
    }
    for (VoicePlayer *group : voiceGroups()) {
        group->gotoStart();
        // A group whose voices had all ended starts again with the others.
        if (resume)
            group->continueIterating();
    }
    m_feedbackQueue.clear();
    if (!resume)
        return;
    for (InstrumentPlayer *player : instruments)
        player->play();
    if (AbstractSync *clock = sync())
        clock->restartClock();
}

Playback::Routing Playback::route(QmdItemId instrument, const InstrumentEvent &event)
{
    TableReadLocker locker(&m_lock);
    InstrumentPlayer *player = m_instrumentPlayers.value(instrument);
    if (!player)
        return Routing::NoInstrument;
    return player->eventQueue().insert(event) ? Routing::Queued : Routing::QueueFull;
}

Playback::Routing Playback::routePair(QmdItemId instrument, const InstrumentEvent &first,
                                      const InstrumentEvent &second)
{
    TableReadLocker locker(&m_lock);
    InstrumentPlayer *player = m_instrumentPlayers.value(instrument);
    if (!player)
        return Routing::NoInstrument;
    return player->eventQueue().insertPair(first, second) ? Routing::Queued : Routing::QueueFull;
}
