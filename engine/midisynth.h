#ifndef MIDISYNTH_H
#define MIDISYNTH_H

#include "midiinstrumentid.h"
#include "midiprogram.h"
#include "synthinstruments.h"

#include <QMutex>
#include <QString>
#include <QThread>

class MidiInput;
class MidiSynthWorker;

// The software synthesizer's thread. Its worker lives in the thread's event
// loop; every accessor locks one mutex and asks the worker, answering with an
// empty value while there is no worker. Safe to destroy while MIDI arrives.
class MidiSynth : public QThread, public SynthInstruments
{
    Q_OBJECT

public:
    explicit MidiSynth(QObject *parent = nullptr);
    ~MidiSynth() override;

    bool isReady() const;
    MidiInput *midiInput() const;
    void setMidiInput(MidiInput *input);

    QObject *synthObject() override;
    QMetaObject::Connection
    connectInstrumentChanged(QObject *context,
                             const std::function<void(int channel, MidiInstrumentId)> &slot) override;
    void resetSoundBank() override;
    QString soundBankName() const override;
    int instrumentCount() const override;
    MidiInstrumentId instrumentAt(int row) const override;
    int indexOfInstrument(MidiInstrumentId instrument) const override;
    QString instrumentName(MidiInstrumentId instrument) const override;
    MidiInstrumentId channelInstrument(int channel) const override;
    void setChannelInstrument(int channel, MidiInstrumentId instrument) override;
    // Need no worker: the sound bank's mapping of programs is fixed.
    MidiProgram programOfInstrument(MidiInstrumentId instrument) const override;
    MidiInstrumentId instrumentOfProgram(const MidiProgram &program) const override;

signals:
    void instrumentChanged(int channel, MidiInstrumentId instrument);

protected:
    void run() override;

private:
    mutable QMutex m_mutex;
    MidiSynthWorker *m_worker = nullptr;
};

#endif // MIDISYNTH_H
