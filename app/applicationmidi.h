#ifndef APPLICATIONMIDI_H
#define APPLICATIONMIDI_H

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

class AbstractSync;
class MidiInput;
class MidiInstrument;
class MidiSynth;
class QTimer;
class ThruAudition;

// The program-wide MIDI objects: the input whose messages go to the focused
// widget and on to the thru port, the thru output thread with its own clock,
// the synthesizer with its input, and the lists of ports present, read every
// second.
//
// The settings choose the input and thru ports; a chosen port opens while it
// is present and closes while it is not, so a device plugged in later is taken
// up without a new choice.
class ApplicationMidi : public QObject
{
    Q_OBJECT

public:
    static constexpr int PollIntervalMs = 1000;
    static constexpr int SynthReadyTimeoutMs = 5000;

    explicit ApplicationMidi(QObject *parent = nullptr);
    // Stops the thru thread, then deletes the objects in the order they depend
    // on each other.
    ~ApplicationMidi() override;

    // Makes the objects, reads the port lists once and waits (within
    // SynthReadyTimeoutMs) for the synthesizer. Runs once. The canvas
    // auditions nodes on the thru instrument from then on.
    void start();

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
    void pollMidiPorts();
    void onMidiInputReadyRead();

signals:
    void midiInputPortsChanged();
    void midiOutputPortsChanged();

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

    QTimer *m_pollTimer = nullptr;
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
};

#endif // APPLICATIONMIDI_H
