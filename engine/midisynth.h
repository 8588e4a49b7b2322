#ifndef MIDISYNTH_H
#define MIDISYNTH_H

#include "midiinstrumentid.h"
#include "midiprogram.h"

#include <QMutex>
#include <QString>
#include <QThread>

class MidiInput;
class MidiSynthWorker;

// The software synthesizer's thread. Its worker lives in the thread's event
// loop; every accessor locks one mutex and asks the worker, answering with an
// empty value while there is no worker. Safe to destroy while MIDI arrives.
class MidiSynth : public QThread
{
    Q_OBJECT

public:
    explicit MidiSynth(QObject *parent = nullptr);
    ~MidiSynth() override;

    bool isReady() const;
    MidiInput *midiInput() const;
    void setMidiInput(MidiInput *input);
    void resetSoundBank();
    QString soundBankName() const;
    int instrumentCount() const;
    MidiInstrumentId instrumentAt(int row) const;
    int indexOfInstrument(MidiInstrumentId instrument) const;
    QString instrumentName(MidiInstrumentId instrument) const;
    MidiInstrumentId channelInstrument(int channel) const;
    void setChannelInstrument(int channel, MidiInstrumentId instrument);

    static MidiProgram programOfInstrument(MidiInstrumentId instrument);
    static MidiInstrumentId instrumentOfProgram(const MidiProgram &program);

signals:
    void instrumentChanged(int channel, MidiInstrumentId instrument);

protected:
    void run() override;

private:
    mutable QMutex m_mutex;
    MidiSynthWorker *m_worker = nullptr;
};

#endif // MIDISYNTH_H
