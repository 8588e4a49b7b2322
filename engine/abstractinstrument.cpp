#include "abstractinstrument.h"

#include "abstractsync.h"
#include "monotonicclock.h"
#include "qmdvelkacontroller.h"

#include <QtGlobal>

namespace {
// Sleep of a playing instrument with nothing queued; an insert at the front of
// the queue wakes it sooner.
constexpr quint64 EmptyQueueRecheck = 1000000000;  // nanoseconds
// Longest sleep towards a queued event, so that a clock whose position is
// corrected without a change of tempo is followed within this time.
constexpr quint64 QueuedEventRecheck = 10000000;   // nanoseconds
} // namespace

AbstractInstrument::AbstractInstrument(QmdItemId instrument)
    : AbstractOutputThread(nullptr)
    , m_instrument(instrument)
{
    m_due.reserve(MaxEventsPerStep);
    m_queue.setFrontNotifier([this] { wake(); });
}

AbstractInstrument::~AbstractInstrument()
{
    stopThread();
    m_queue.setFrontNotifier(nullptr);
}

void AbstractInstrument::outputEventNow(const InstrumentEvent &event)
{
    outputEvents(std::vector<InstrumentEvent>{event});
}

void AbstractInstrument::setController(QmdVelkaController *controller)
{
    if (QmdVelkaController *old = this->controller())
        disconnect(old, nullptr, this, nullptr);
    QmdObserver<QmdVelkaController>::setController(controller);
    if (controller) {
        connect(controller, &QmdVelkaController::instrumentDataChanged,
                this, &AbstractInstrument::onInstrumentDataEffected);
        connect(controller, &QmdVelkaController::instrumentDataRemoved,
                this, &AbstractInstrument::onInstrumentDataEffected);
    }
    reset();
}

void AbstractInstrument::reset()
{
    m_queue.clear();
}

void AbstractInstrument::onInstrumentDataEffected(QmdItemId, const QStringList &, QmdRequestId)
{
}

void AbstractInstrument::process()
{
    AbstractSync *clock = sync();
    if (!clock)
        return;
    const quint64 tick = clock->currentTick();
    // A clock started with a lead stands at its start tick until the start
    // time: what is due there waits for it.
    if (clock->counterNanosecondsAtTick(tick) > MonotonicClock::nanoseconds())
        return;
    m_due.clear();
    m_queue.takeDue(m_due, MaxEventsPerStep, tick);
    if (!m_due.empty())
        outputEvents(m_due);
}

quint64 AbstractInstrument::nextStepTime(quint64 now)
{
    quint64 front = 0;
    if (!m_queue.frontTick(&front))
        return now + EmptyQueueRecheck;
    return qMin(timeAtTick(front, now), now + QueuedEventRecheck);
}

void AbstractInstrument::setSync(AbstractSync *clock)
{
    disconnect(m_timingConnection);
    disconnect(m_startConnection);
    AbstractOutputThread::setSync(clock);
    if (clock) {
        m_timingConnection = connect(clock, &AbstractSync::timingChanged, this,
                                     [this] { wake(); }, Qt::DirectConnection);
        m_startConnection = connect(clock, &AbstractSync::started, this, [this] { wake(); }, Qt::DirectConnection);
    }
}
