#include "applicationmidi.h"

#include "instrumentevent.h"
#include "midibackend.h"
#include "midicallwatch.h"
#include "midievent.h"
#include "midiinput.h"
#include "midiinstrument.h"
#include "midijobthread.h"
#include "midiportwatcher.h"
#include "midisync.h"
#include "monotonicclock.h"
#include "ownmidiports.h"
#include "midisynth.h"
#include "portnames.h"
#include "thruaudition.h"

#include <QApplication>
#include <QBitArray>
#include <QDebug>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <utility>

namespace {

constexpr int SynthWaitSliceMs = 100;

// The objects a port job stuck in the MIDI library still uses: they stay
// until the program ends.
void keepForStuckJob(MidiInput *input, MidiInstrument *thru, AbstractSync *clock)
{
    struct Kept
    {
        MidiInput *input;
        MidiInstrument *thru;
        AbstractSync *clock;
    };
    static auto *kept = new QList<Kept>;
    kept->append({input, thru, clock});
}

QSet<QString> nameSet(const QStringList &names)
{
    return QSet<QString>(names.begin(), names.end());
}

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
    MidiCallWatch::setReporter({});
    if (m_audition)
        AuditionOutput::install(nullptr);
    delete m_silenceNotice;
    delete m_watcher;
    if (m_jobs && !m_jobs->stop(StopWaitMs)) {
        // A port job waits inside the MIDI library: what it uses stays for it.
        qWarning().noquote() << QStringLiteral("The %1 MIDI system did not answer; quitting without closing its ports")
                                    .arg(MidiBackend::instance()->systemName());
        m_midiInput->setParent(nullptr);
        m_thruSync->setParent(nullptr);
        keepForStuckJob(m_midiInput, m_thruInstrument, m_thruSync);
        m_midiInput = nullptr;
        m_thruInstrument = nullptr;
        m_thruSync = nullptr;
    }
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
    if (m_watcher)
        return;
    // The reporter runs on the watch's own thread; it is removed before this
    // object goes.
    MidiCallWatch::setReporter([this](bool answering) {
        QMetaObject::invokeMethod(this, [this, answering] { onMidiSystemAnswering(answering); },
                                  Qt::QueuedConnection);
    });
    m_jobs = std::make_unique<MidiJobThread>();
    m_watcher = new MidiPortWatcher(this);
    connect(m_watcher, &MidiPortWatcher::portsChanged, this, &ApplicationMidi::onPortsChanged);
    connect(m_watcher, &MidiPortWatcher::unreachable, this, [](const QString &message) {
        qWarning().noquote() << "Cannot list MIDI ports:" << message;
    });
    connect(m_watcher, &MidiPortWatcher::reachable, this, [] { qWarning().noquote() << "MIDI ports can be listed again"; });
    m_watcher->start();

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

    // Documents opened at start-up take their default port from the first
    // lists: they are waited for, a little. A MIDI system that does not
    // answer is not waited for longer; its lists follow when they come.
    if (!m_listed) {
        QEventLoop firstLists;
        connect(m_watcher, &MidiPortWatcher::portsChanged, &firstLists, &QEventLoop::quit);
        QTimer::singleShot(FirstListsTimeoutMs, &firstLists, &QEventLoop::quit);
        firstLists.exec(QEventLoop::ExcludeUserInputEvents);
    }
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

bool ApplicationMidi::waitForPorts(int timeoutMs)
{
    return !m_jobs || m_jobs->waitUntilIdle(timeoutMs);
}

void ApplicationMidi::pollMidiPorts()
{
    if (m_watcher)
        m_watcher->refresh();
}

void ApplicationMidi::onMidiSystemAnswering(bool answering)
{
    const QString system = MidiBackend::instance()->systemName();
    if (answering) {
        qWarning().noquote() << QStringLiteral("The %1 MIDI system answers again").arg(system);
        if (m_silenceNotice)
            m_silenceNotice->close();
        return;
    }
    const QString text = tr("The %1 MIDI system does not answer.").arg(system);
    const QString more = tr("Velka goes on without it; its ports come back when it answers again.");
    qWarning().noquote() << text << more;
    if (m_silenceNotice)
        return;
    // Not modal, and not taking the focus: the user goes on working meanwhile.
    m_silenceNotice = new QMessageBox(QMessageBox::Warning, QCoreApplication::applicationName(), text,
                                      QMessageBox::Ok);
    m_silenceNotice->setInformativeText(more);
    m_silenceNotice->setAttribute(Qt::WA_DeleteOnClose);
    m_silenceNotice->setWindowModality(Qt::NonModal);
    m_silenceNotice->setAttribute(Qt::WA_ShowWithoutActivating);
    m_silenceNotice->show();
}

void ApplicationMidi::onPortsChanged(const QStringList &inputList, const QStringList &outputList)
{
    m_listed = true;
    bool changed = false;
    const QSet<QString> inputs = nameSet(inputList);
    if (inputs != m_inputPortNames) {
        m_inputPortNames = inputs;
        m_sortedInputPortNames = sortedNames(inputs);
        changed = true;
        emit midiInputPortsChanged();
    }
    const QSet<QString> outputs = nameSet(outputList);
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
            if (!m_thruLimit.admit(MonotonicClock::nanoseconds())) {
                if (m_thruLimit.hasCut() && !std::exchange(m_thruCutReported, true))
                    qWarning().noquote() << QStringLiteral(
                        "More than %1 MIDI messages a second came in: MIDI thru stops passing them on until "
                        "the input is quiet for a second (does a program send thru back to Velka's input?)")
                                                .arg(ThruLimit::MaxPerSecond);
                continue;
            }
            // A full queue drops the message: thru is best effort.
            if (m_thruInstrument->eventQueue().insert(
                    InstrumentEvent(m_thruSync->currentTick(), message.bytes)))
                m_thruInstrument->wake();
        }
    }
}

QString ApplicationMidi::chosenPort(const Choice &choice, const QSet<QString> &present)
{
    // A choice naming one of Velka's own ports (stored by hand or by another
    // build) stays stored, and counts as a port that is not present.
    if (!choice.enabled || choice.portName.isEmpty() || OwnMidiPorts::contains(choice.portName))
        return QString();
    const QString name = MidiIO::resolveName(choice.portName, QStringList(present.begin(), present.end()));
    return name.isNull() ? QString() : choice.portName;
}

void ApplicationMidi::applyInputChoice()
{
    if (m_inputChoice.enabled)
        m_midiInput->setChannels(QBitArray(16, true));
    const QString chosen = chosenPort(m_inputChoice, m_inputPortNames);
    MidiInput *input = m_midiInput;
    m_jobs->post([input, chosen] {
        if (chosen == openPortName(*input))
            return;
        input->close();
        if (!chosen.isEmpty())
            input->open(chosen);
    });
}

void ApplicationMidi::applyThruChoice()
{
    if (m_thruChoice.enabled) {
        QBitArray channel(16);
        channel.setBit(0);
        m_thruInstrument->setChannels(channel);
    }
    const QString chosen = chosenPort(m_thruChoice, m_outputPortNames);
    MidiInstrument *thru = m_thruInstrument;
    m_jobs->post([thru, chosen] {
        if (chosen == openPortName(*thru))
            return;
        thru->pauseAndWait();
        thru->close();
        thru->eventQueue().clear();
        if (!chosen.isEmpty() && thru->open(chosen))
            thru->play();
    });
}
