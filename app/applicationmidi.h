#ifndef APPLICATIONMIDI_H
#define APPLICATIONMIDI_H

#include "thrulimit.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

class AbstractSync;
class MidiInput;
class MidiInstrument;
class MidiJobThread;
class MidiPortWatcher;
class MidiSynth;
class ThruAudition;

// The program-wide MIDI objects: the input whose messages go to the focused
// widget and on to the thru port, the thru output thread with its own clock,
// the synthesizer with its input, and the lists of ports present, which a
// MidiPortWatcher keeps and hands over by queued signals.
//
// The settings choose the input and thru ports; a chosen port opens while it
// is present and closes while it is not, so a device plugged in later is taken
// up without a new choice. Ports open and close on a job thread: nothing here
// waits on the MIDI system. A MIDI system that stops answering is reported
// once, in a notice and on the standard error.
class ApplicationMidi : public QObject
{
    Q_OBJECT

public:
    static constexpr int SynthReadyTimeoutMs = 5000;
    static constexpr int FirstListsTimeoutMs = 2000;
    // How long quitting waits for a port being opened or closed.
    static constexpr int StopWaitMs = 500;

    explicit ApplicationMidi(QObject *parent = nullptr);
    // Stops the thru thread, then deletes the objects in the order they depend
    // on each other. When a port job is stuck in the MIDI library, the input
    // and the thru instrument it uses are left to it.
    ~ApplicationMidi() override;

    // Makes the objects, starts watching the ports, waits (within
    // FirstListsTimeoutMs) for the first lists and (within
    // SynthReadyTimeoutMs) for the synthesizer. Runs once. The canvas
    // auditions nodes on the thru instrument from then on.
    void start();

    // Returns once the port choices made so far have been carried out, or
    // after `timeoutMs`; false then.
    bool waitForPorts(int timeoutMs);
    // The notice shown while the MIDI system does not answer; null otherwise.
    QMessageBox *silenceNotice() const { return m_silenceNotice; }

    void setInputChoice(bool enabled, const QString &portName);
    void setThruChoice(bool enabled, const QString &portName);

    QSet<QString> inputPortNames() const { return m_inputPortNames; }
    QSet<QString> outputPortNames() const { return m_outputPortNames; }
    QStringList sortedInputPortNames() const { return m_sortedInputPortNames; }
    QStringList sortedOutputPortNames() const { return m_sortedOutputPortNames; }

    MidiInput *midiInput() const { return m_midiInput; }
    MidiInstrument *thruInstrument() const { return m_thruInstrument; }
    AbstractSync *thruSync() const { return m_thruSync; }
    MidiSynth *synth() const { return m_synth; }
    MidiInput *synthInput() const { return m_synthInput; }

public slots:
    // Asks for the port lists again; they follow by the signals below.
    void pollMidiPorts();
    void onMidiInputReadyRead();

signals:
    void midiInputPortsChanged();
    void midiOutputPortsChanged();

private slots:
    void onPortsChanged(const QStringList &inputs, const QStringList &outputs);
    void onMidiSystemAnswering(bool answering);

private:
    struct Choice
    {
        bool enabled = false;
        QString portName;
    };

    // The port a choice opens among the ports present; empty for none.
    static QString chosenPort(const Choice &choice, const QSet<QString> &present);
    void applyInputChoice();
    void applyThruChoice();

    MidiPortWatcher *m_watcher = nullptr;
    std::unique_ptr<MidiJobThread> m_jobs;
    MidiInput *m_midiInput = nullptr;
    AbstractSync *m_thruSync = nullptr;
    MidiInstrument *m_thruInstrument = nullptr;
    std::unique_ptr<ThruAudition> m_audition;
    MidiSynth *m_synth = nullptr;
    MidiInput *m_synthInput = nullptr;

    QSet<QString> m_inputPortNames;
    QSet<QString> m_outputPortNames;
    QStringList m_sortedInputPortNames;
    QStringList m_sortedOutputPortNames;

    Choice m_inputChoice;
    Choice m_thruChoice;
    ThruLimit m_thruLimit;
    bool m_thruCutReported = false;
    bool m_listed = false;
    QPointer<QMessageBox> m_silenceNotice;
};

#endif // APPLICATIONMIDI_H
