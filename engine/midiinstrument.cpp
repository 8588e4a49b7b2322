#include "midiinstrument.h"

#include "abstractsync.h"
#include "qmdvelkacontroller.h"

#include <QMutexLocker>

namespace {
const QString MidiPortKey = QStringLiteral("MidiPort");
const QString MidiChannelsKey = QStringLiteral("MidiChannels");
const QString MidiDoProgramChangeKey = QStringLiteral("MidiDoProgramChange");
const QString MidiProgramKey = QStringLiteral("MidiProgram");
const QString MidiBankMsbKey = QStringLiteral("MidiBankMSB");
const QString MidiBankLsbKey = QStringLiteral("MidiBankLSB");
constexpr QmdRequestId AllRequests = 0xffffffffu;
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
                             {MidiBankLsbKey, MidiBankMsbKey, MidiChannelsKey, MidiDoProgramChangeKey,
                              MidiPortKey, MidiProgramKey},
                             AllRequests);
}

void MidiInstrument::play()
{
    onInstrumentDataEffected(instrument(),
                             {MidiBankLsbKey, MidiBankMsbKey, MidiDoProgramChangeKey, MidiProgramKey},
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
        if (keys.contains(MidiPortKey)) {
            applyPort(controller);
            changed = true;
        }
        if (keys.contains(MidiChannelsKey)) {
            setChannels(controller->instrumentData(instrument, MidiChannelsKey).toBitArray());
            changed = true;
        }
        const bool programKeys = keys.contains(MidiDoProgramChangeKey) || keys.contains(MidiProgramKey)
                                 || keys.contains(MidiBankMsbKey) || keys.contains(MidiBankLsbKey);
        // A closed port has nobody to hear the program change; sending would
        // only take the failure path again.
        if (controller->instrumentData(instrument, MidiDoProgramChangeKey).toBool()
            && (changed || programKeys) && isOpen()) {
            AbstractSync *clock = sync();
            // Programs are numbered 1 to 128 in the record and 0 to 127 on the
            // wire; kept to that range before the subtraction.
            const int program = qBound(1, controller->instrumentData(instrument, MidiProgramKey).toInt(), 128);
            const InstrumentEvent event = InstrumentEvent::programChange(
                clock ? clock->currentTick() : 0, program - 1,
                controller->instrumentData(instrument, MidiBankMsbKey).toInt(),
                controller->instrumentData(instrument, MidiBankLsbKey).toInt());
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
    quint64 generation = 0;
    {
        QMutexLocker locker(&m_configMutex);
        sent = sendEvents(events);
        generation = m_portGeneration;
    }
    if (!sent)
        handleSendFailure(generation);
}

void MidiInstrument::applyPort(QmdVelkaController *controller)
{
    QString name = controller->instrumentData(instrument(), MidiPortKey).toString();
    const QStringList available = MidiOutput::availablePortNames().values();
    if (name.isNull() || MidiIO::resolveName(name, available).isNull()) {
        const QString fallback = QmdVelkaController::defaultMidiOutputPortName();
        // Writing the same text again would only announce a change that is none.
        const QmdIndex record = controller->instrumentIndex(instrument());
        if (fallback != name && record.isValid())
            controller->requestSetData(MidiPortKey, fallback, record,
                                       QmdRequestOptions(Qmd::NoUndoHistory));
        name = fallback;
    }
    if (isOpen() && portName() == name) {
        allNotesOff();
        return;
    }
    close();
    // Without any output port there is nothing to open and nothing to report.
    if (!name.isEmpty())
        open(name);
    ++m_portGeneration;
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
    }
    QmdVelkaController *controller = this->controller();
    if (!controller || instrument() == 0)
        return;
    const QmdIndex record = controller->instrumentIndex(instrument());
    if (record.isValid())
        controller->requestSetData(MidiPortKey, QString(), record, QmdRequestOptions(Qmd::NoUndoHistory));
}
