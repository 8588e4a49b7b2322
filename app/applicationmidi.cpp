#include "applicationmidi.h"

#include "instrumentevent.h"
#include "midievent.h"
#include "midiinput.h"
#include "midiinstrument.h"
#include "midisync.h"
#include "midisynth.h"
#include "portnames.h"
#include "thruaudition.h"

#include <QApplication>
#include <QBitArray>
#include <QDebug>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace {

constexpr int SynthWaitSliceMs = 100;

QStringList sortedNames(const QSet<QString> &names)
{
    QStringList sorted(names.begin(), names.end());
    std::sort(sorted.begin(), sorted.end(), portNameLessThan);
    return sorted;
}

QString openPortName(const MidiIO &io)
{
    return io.isOpen() ? io.portName() : QString();
}

} // namespace

ApplicationMidi::ApplicationMidi(QObject *parent) : QObject(parent)
{
}

ApplicationMidi::~ApplicationMidi()
{
    if (m_audition)
        AuditionOutput::install(nullptr);
    delete m_midiInput;
    if (m_thruInstrument) {
        m_thruInstrument->terminateSafely();
        m_thruInstrument->wait();
        delete m_thruInstrument;
    }
    delete m_thruSync;
    delete m_synth;
    delete m_synthInput;
}

void ApplicationMidi::start()
{
    if (m_pollTimer)
        return;
    m_pollTimer = new QTimer(this);
    connect(m_pollTimer, &QTimer::timeout, this, &ApplicationMidi::pollMidiPorts);
    m_pollTimer->start(PollIntervalMs);
    pollMidiPorts();

    m_midiInput = new MidiInput(this);
    // Messages arrive on the MIDI library's thread; they are handed on from here.
    connect(m_midiInput, &MidiInput::readyRead, this, &ApplicationMidi::onMidiInputReadyRead,
            Qt::QueuedConnection);

    m_thruSync = new MidiSync(this);
    m_thruInstrument = new MidiInstrument(0);
    m_thruInstrument->setSync(m_thruSync);
    // Paused until a thru port opens.
    m_thruInstrument->start(QThread::InheritPriority);
    m_thruSync->restartClock();
    m_audition = std::make_unique<ThruAudition>(m_thruInstrument, m_thruSync);
    AuditionOutput::install(m_audition.get());

    m_synth = new MidiSynth(this);
    const QDeadlineTimer deadline(SynthReadyTimeoutMs);
    while (!m_synth->isReady() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, SynthWaitSliceMs);
    if (!m_synth->isReady())
        qWarning() << "The synthesizer was not ready within" << SynthReadyTimeoutMs
                   << "ms; starting without waiting for it";

    m_synthInput = new MidiInput(this);
    m_synth->setMidiInput(m_synthInput);
}

void ApplicationMidi::setInputChoice(bool enabled, const QString &portName)
{
    m_inputChoice = {enabled, portName};
    applyInputChoice();
}

void ApplicationMidi::setThruChoice(bool enabled, const QString &portName)
{
    m_thruChoice = {enabled, portName};
    applyThruChoice();
}

void ApplicationMidi::pollMidiPorts()
{
    bool changed = false;
    const QSet<QString> inputs = MidiInput::availablePortNames();
    if (inputs != m_inputPortNames) {
        m_inputPortNames = inputs;
        m_sortedInputPortNames = sortedNames(inputs);
        changed = true;
        emit midiInputPortsChanged();
    }
    const QSet<QString> outputs = MidiOutput::availablePortNames();
    if (outputs != m_outputPortNames) {
        m_outputPortNames = outputs;
        m_sortedOutputPortNames = sortedNames(outputs);
        changed = true;
        emit midiOutputPortsChanged();
    }
    // A chosen port that went away closes; one that came back opens.
    if (changed && m_midiInput) {
        applyInputChoice();
        applyThruChoice();
    }
}

void ApplicationMidi::onMidiInputReadyRead()
{
    if (!m_midiInput)
        return;
    const QList<MidiMessage> messages = m_midiInput->takeAll();
    if (messages.isEmpty())
        return;
    const Qt::KeyboardModifiers modifiers = QGuiApplication::keyboardModifiers();
    for (const MidiMessage &message : messages) {
        if (QWidget *focus = QApplication::focusWidget()) {
            MidiEvent event(message.deltaTime,
                            QVector<unsigned char>(message.bytes.begin(), message.bytes.end()),
                            modifiers);
            QCoreApplication::sendEvent(focus, &event);
        }
        if (m_thruInstrument->isOpen()) {
            // A full queue drops the message: thru is best effort.
            if (m_thruInstrument->eventQueue().insert(
                    InstrumentEvent(m_thruSync->currentTick(), message.bytes)))
                m_thruInstrument->wake();
        }
    }
}

QString ApplicationMidi::chosenPort(const Choice &choice, const QSet<QString> &present)
{
    if (!choice.enabled || choice.portName.isEmpty())
        return QString();
    const QString name = MidiIO::resolveName(choice.portName, QStringList(present.begin(), present.end()));
    return name.isNull() ? QString() : choice.portName;
}

void ApplicationMidi::applyInputChoice()
{
    if (m_inputChoice.enabled)
        m_midiInput->setChannels(QBitArray(16, true));
    const QString chosen = chosenPort(m_inputChoice, m_inputPortNames);
    if (chosen == openPortName(*m_midiInput))
        return;
    m_midiInput->close();
    if (!chosen.isEmpty())
        m_midiInput->open(chosen);
}

void ApplicationMidi::applyThruChoice()
{
    if (m_thruChoice.enabled) {
        QBitArray channel(16);
        channel.setBit(0);
        m_thruInstrument->setChannels(channel);
    }
    const QString chosen = chosenPort(m_thruChoice, m_outputPortNames);
    if (chosen == openPortName(*m_thruInstrument))
        return;
    m_thruInstrument->pauseAndWait();
    m_thruInstrument->close();
    m_thruInstrument->eventQueue().clear();
    if (!chosen.isEmpty() && m_thruInstrument->open(chosen))
        m_thruInstrument->play();
}
