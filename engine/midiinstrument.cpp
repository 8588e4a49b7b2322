#include "midiinstrument.h"

#include "abstractsync.h"
#include "midijobthread.h"
#include "ownmidiports.h"
#include "portrecord.h"
#include "qmdvelkacontroller.h"
#include "qmdvelkakeys.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMutexLocker>
#include <QPointer>

namespace {
constexpr QmdRequestId AllRequests = 0xffffffffu;

// Instrument ports open here, one after the other. Never destroyed, as a
// thread stuck in the MIDI library may hold it.
MidiJobThread &instrumentPortJobs()
{
    static auto *jobs = new MidiJobThread;
    return *jobs;
}
} // namespace

MidiInstrument::MidiInstrument(QmdItemId instrument) : AbstractInstrument(instrument)
{
}

MidiInstrument::~MidiInstrument()
{
    stopThread();
    MidiInstrument::pauseAndWait();
}

void MidiInstrument::reset()
{
    AbstractInstrument::reset();
    onInstrumentDataEffected(instrument(),
                             {QmdVelkaKeys::MidiBankLSB, QmdVelkaKeys::MidiBankMSB, QmdVelkaKeys::MidiChannels, QmdVelkaKeys::MidiDoProgramChange,
                              QmdVelkaKeys::MidiPort, QmdVelkaKeys::MidiProgram},
                             AllRequests);
}

void MidiInstrument::play()
{
    onInstrumentDataEffected(instrument(),
                             {QmdVelkaKeys::MidiBankLSB, QmdVelkaKeys::MidiBankMSB, QmdVelkaKeys::MidiDoProgramChange, QmdVelkaKeys::MidiProgram},
                             AllRequests);
    AbstractInstrument::play();
}

void MidiInstrument::pauseAndWait()
{
    AbstractInstrument::pauseAndWait();
    allNotesOff();
}

void MidiInstrument::onInstrumentDataEffected(QmdItemId instrument, const QStringList &keys,
                                              QmdRequestId rid)
{
    AbstractInstrument::onInstrumentDataEffected(instrument, keys, rid);
    QmdVelkaController *controller = this->controller();
    if (!controller || instrument != this->instrument())
        return;

    bool failed = false;
    quint64 generation = 0;
    {
        QMutexLocker locker(&m_configMutex);
        bool changed = false;
        if (keys.contains(QmdVelkaKeys::MidiPort)) {
            applyPort(controller);
            changed = true;
        }
        if (keys.contains(QmdVelkaKeys::MidiChannels)) {
            setChannels(controller->instrumentData(instrument, QmdVelkaKeys::MidiChannels).toBitArray());
            changed = true;
        }
        const bool programKeys = keys.contains(QmdVelkaKeys::MidiDoProgramChange) || keys.contains(QmdVelkaKeys::MidiProgram)
                                 || keys.contains(QmdVelkaKeys::MidiBankMSB) || keys.contains(QmdVelkaKeys::MidiBankLSB);
        // A closed port has nobody to hear the program change; sending would
        // only take the failure path again.
        if (controller->instrumentData(instrument, QmdVelkaKeys::MidiDoProgramChange).toBool()
            && (changed || programKeys) && isOpen()) {
            AbstractSync *clock = sync();
            // Programs are numbered 1 to 128 in the record and 0 to 127 on the
            // wire; kept to that range before the subtraction.
            const int program = qBound(1, controller->instrumentData(instrument, QmdVelkaKeys::MidiProgram).toInt(), 128);
            const InstrumentEvent event = InstrumentEvent::programChange(
                clock ? clock->currentTick() : 0, program - 1,
                controller->instrumentData(instrument, QmdVelkaKeys::MidiBankMSB).toInt(),
                controller->instrumentData(instrument, QmdVelkaKeys::MidiBankLSB).toInt());
            failed = !sendEvents(std::vector<InstrumentEvent>{event});
            generation = m_portGeneration;
        }
    }
    if (failed)
        handleSendFailure(generation);
}

void MidiInstrument::outputEvents(const std::vector<InstrumentEvent> &events)
{
    bool sent = false;
    bool opening = false;
    quint64 generation = 0;
    {
        QMutexLocker locker(&m_configMutex);
        sent = sendEvents(events);
        generation = m_portGeneration;
        opening = !m_openingPort.isEmpty();
    }
    // A port still opening has nobody to hear the events yet; it has not failed.
    if (!sent && !opening)
        handleSendFailure(generation);
}

void MidiInstrument::applyPort(QmdVelkaController *controller)
{
    QString name = controller->instrumentData(instrument(), QmdVelkaKeys::MidiPort).toString();
    const QStringList available = MidiOutput::availablePortNames().values();
    if (name.isNull() || MidiIO::resolveName(name, available).isNull()) {
        const QString fallback = QmdVelkaController::defaultMidiOutputPortName();
        // Writing the same text again would only announce a change that is none.
        // A port of Velka itself (from a file of another build) is never
        // opened, and the file's choice stays as it was.
        const QmdIndex record = controller->instrumentIndex(instrument());
        if (fallback != name && record.isValid() && !OwnMidiPorts::contains(name))
            controller->requestSetData(QmdVelkaKeys::MidiPort, fallback, record,
                                       QmdRequestOptions(Qmd::NoUndoHistory));
        name = fallback;
    }
    if (isOpen() && portName() == name) {
        allNotesOff();
        return;
    }
    if (!m_openingPort.isEmpty() && m_openingPort == name)
        return; // on its way
    close();
    ++m_portGeneration;
    m_openingPort.clear();
    // Without any output port there is nothing to open and nothing to report.
    if (!name.isEmpty())
        openPort(name);
}

void MidiInstrument::openPort(const QString &name)
{
    // Opening waits on the MIDI system, which may not answer: it runs on the
    // thread of instrument ports, and this thread waits for it only a moment.
    auto opening = std::make_shared<OpeningPort>();
    instrumentPortJobs().post([opening, name] {
        QString error;
        std::shared_ptr<PortRecord> port = MidiIO::acquirePort(MidiDirection::Output, name, &error);
        std::function<void()> then;
        {
            std::lock_guard<std::mutex> lock(opening->mutex);
            opening->done = true;
            opening->port = std::move(port);
            opening->error = error;
            then = std::move(opening->then);
            opening->opened.notify_all();
        }
        if (then)
            then();
    });
    std::unique_lock<std::mutex> lock(opening->mutex);
    if (opening->opened.wait_for(lock, std::chrono::milliseconds(OpenWaitMs), [&] { return opening->done; })) {
        takePort(*opening, name);
        return;
    }
    // Events meanwhile are dropped, not taken for a failed port.
    m_openingPort = name;
    const QPointer<MidiInstrument> self(this);
    const quint64 generation = m_portGeneration;
    opening->then = [self, opening, name, generation] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, opening, name, generation] {
                if (self)
                    self->takeLatePort(opening, name, generation);
            },
            Qt::QueuedConnection);
    };
}

void MidiInstrument::takePort(OpeningPort &opening, const QString &name)
{
    if (!opening.port) {
        qWarning().noquote() << QStringLiteral("Cannot open MIDI port \"%1\": %2").arg(name, opening.error);
        return;
    }
    adopt(std::move(opening.port), name);
}

void MidiInstrument::takeLatePort(const std::shared_ptr<OpeningPort> &opening, const QString &name,
                                  quint64 generation)
{
    {
        QMutexLocker locker(&m_configMutex);
        if (generation != m_portGeneration)
            return; // another port was chosen meanwhile
        m_openingPort.clear();
        std::lock_guard<std::mutex> lock(opening->mutex);
        takePort(*opening, name);
    }
    // The program change of the record, now that the port hears it.
    onInstrumentDataEffected(instrument(),
                             {QmdVelkaKeys::MidiBankLSB, QmdVelkaKeys::MidiBankMSB, QmdVelkaKeys::MidiDoProgramChange,
                              QmdVelkaKeys::MidiProgram},
                             AllRequests);
}

void MidiInstrument::handleSendFailure(quint64 generation)
{
    {
        QMutexLocker locker(&m_configMutex);
        if (generation != m_portGeneration)
            return; // the port was replaced meanwhile: not this port's failure
    }
    pauseAndWait();
    {
        QMutexLocker locker(&m_configMutex);
        if (generation != m_portGeneration)
            return;
        close();
        ++m_portGeneration;
        m_openingPort.clear();
    }
    QmdVelkaController *controller = this->controller();
    if (!controller || instrument() == 0)
        return;
    const QmdIndex record = controller->instrumentIndex(instrument());
    if (record.isValid())
        controller->requestSetData(QmdVelkaKeys::MidiPort, QString(), record, QmdRequestOptions(Qmd::NoUndoHistory));
}
