#include "voicetestdocument.h"

#include "controllertest.h"
#include "qmdmemmodel.h"
#include "registeringcontroller.h"
#include "tickpos.h"
#include "voicegroup.h"
#include "voiceschedule.h"

#include <QCoreApplication>

#include <limits>

VoiceTestDocument::VoiceTestDocument()
    : m_model(std::make_unique<QmdMemModel>())
    , m_controller(std::make_unique<RegisteringController>())
{
    // Voices are stepped at their arrival: the clock set by hand is the only
    // thing that moves.
    VoiceSchedule::setHorizon(0);
    m_controller->setModel(m_model.get());
}

VoiceTestDocument::~VoiceTestDocument()
{
    for (VoiceGroup *group : std::as_const(m_groups)) {
        group->terminateSafely();
        group->wait();
        delete group;
    }
    m_controller.reset(); // owns the registered recorders
    m_model.reset();
    QmdVelkaController::setPlayerFactory(nullptr);
    if (!m_ready)
        qDeleteAll(m_recorders);
    VoiceSchedule::setHorizon(VoiceSchedule::DefaultHorizon);
}

TestSync *VoiceTestDocument::sync() const
{
    return static_cast<TestSync *>(m_controller->sync());
}

QmdItemId VoiceTestDocument::addNode(qint64 x, qint64 y, const QHash<QString, QVariant> &keys)
{
    const QmdItemIdList before = m_controller->elementIds();
    m_controller->requestAddNode(QmdVelka::TickPos(x, y));
    const QmdItemId node = ControllerTest::newId(before, m_controller->elementIds());
    for (auto it = keys.begin(); it != keys.end(); ++it)
        set(node, it.key(), it.value());
    return node;
}

QmdItemId VoiceTestDocument::addEdge(QmdItemId from, QmdItemId to, int path)
{
    const QmdItemIdList before = m_controller->elementIds();
    m_controller->requestAddEdge(m_controller->elementIndex(from), m_controller->elementIndex(to),
                                 QmdVelka::EdgePath(path));
    return ControllerTest::newId(before, m_controller->elementIds());
}

QmdItemId VoiceTestDocument::addVoiceGroup(QmdItemId node, const QHash<QString, QVariant> &keys)
{
    const QmdItemIdList before = m_controller->elementIds();
    m_controller->requestAddVoiceGroup(m_controller->elementIndex(node));
    const QmdItemId group = ControllerTest::newId(before, m_controller->elementIds());
    set(group, QStringLiteral("InitialInstrument"), 1u);
    for (auto it = keys.begin(); it != keys.end(); ++it)
        set(group, it.key(), it.value());
    return group;
}

void VoiceTestDocument::set(QmdItemId element, const QString &key, const QVariant &value)
{
    m_controller->requestSetData(key, value, m_controller->elementIndex(element));
}

void VoiceTestDocument::remove(QmdItemId element)
{
    m_controller->requestRemove(QmdItemIdList{element}, m_controller->elementsIndex());
}

QVariant VoiceTestDocument::state(QmdItemId element, const QString &key) const
{
    const QmdIndex entry = m_controller->elementStateIndex(element);
    return entry.isValid() ? m_controller->data(key, entry) : QVariant();
}

RecordingInstrument *VoiceTestDocument::recorder(QmdItemId instrument)
{
    RecordingInstrument *&recorder = m_recorders[instrument];
    if (!recorder) {
        recorder = new RecordingInstrument;
        if (m_ready)
            static_cast<RegisteringController *>(m_controller.get())
                ->registerInstrumentThreads({{instrument, recorder}});
    }
    return recorder;
}

void VoiceTestDocument::ready()
{
    QmdVelkaController::setPlayerFactory(&m_factory);
    // The controller follows the requests made so far (element states, clock)
    // before the reset, so nothing it queued replaces them later.
    QCoreApplication::processEvents();
    m_controller->reset();
    QCoreApplication::processEvents();
    // A reset replaces the players: the recorders join afterwards.
    QHash<QmdItemId, InstrumentPlayer *> players;
    for (auto it = m_recorders.cbegin(); it != m_recorders.cend(); ++it)
        players.insert(it.key(), it.value());
    static_cast<RegisteringController *>(m_controller.get())->registerInstrumentThreads(players);
    m_ready = true;
    sync()->setTick(0);
    sync()->setPlaying(true);
}

VoiceGroup *VoiceTestDocument::startGroup(QmdItemId group)
{
    auto *player = new VoiceGroup(group, m_controller.get());
    m_groups.append(player);
    player->start();
    player->waitUntilStarted();
    return player;
}

QList<FeedbackEvent> VoiceTestDocument::takeFeedback()
{
    std::vector<FeedbackEvent> records;
    m_controller->feedbackPipe().takeDue(records, std::numeric_limits<int>::max(),
                                         std::numeric_limits<quint64>::max());
    return QList<FeedbackEvent>(records.begin(), records.end());
}
