#ifndef SYNTHINSTRUMENTS_H
#define SYNTHINSTRUMENTS_H

#include "midiinstrumentid.h"
#include "midiprogram.h"

#include <QMetaObject>
#include <QString>

#include <functional>

class QObject;

// What the synthesizer dialog and its models ask of a synthesizer: its sound
// bank, its instruments and which instrument each of the 16 MIDI channels
// plays. MidiSynth implements it; tests hand the dialog a recording fake.
class SynthInstruments
{
public:
    virtual ~SynthInstruments() = default;

    // The object behind this synthesizer: it announces instrument changes on
    // the GUI thread, and its destruction ends the synthesizer's use.
    virtual QObject *synthObject() = 0;
    // Calls slot in context's thread whenever a channel's instrument changed;
    // the connection ends with either object.
    virtual QMetaObject::Connection
    connectInstrumentChanged(QObject *context,
                             const std::function<void(int channel, MidiInstrumentId)> &slot) = 0;

    virtual QString soundBankName() const = 0;
    virtual void resetSoundBank() = 0;
    virtual int instrumentCount() const = 0;
    virtual MidiInstrumentId instrumentAt(int row) const = 0;
    virtual int indexOfInstrument(MidiInstrumentId instrument) const = 0;
    virtual QString instrumentName(MidiInstrumentId instrument) const = 0;
    // channel 0 to 15
    virtual MidiInstrumentId channelInstrument(int channel) const = 0;
    virtual void setChannelInstrument(int channel, MidiInstrumentId instrument) = 0;
    virtual MidiProgram programOfInstrument(MidiInstrumentId instrument) const = 0;
    virtual MidiInstrumentId instrumentOfProgram(const MidiProgram &program) const = 0;
};

#endif // SYNTHINSTRUMENTS_H
