#ifndef FAKESYNTH_H
#define FAKESYNTH_H

#include "synthinstruments.h"

#include <QList>
#include <QObject>
#include <QStringList>

#include <array>

// A synthesizer for the dialog tests. It holds a sound bank of named
// instruments, each with its program, and records every call made through
// the interface as one line ("setChannelInstrument 0 20"). A channel
// assignment is announced at once, as the real synthesizer does later.
class FakeSynth : public QObject, public SynthInstruments
{
    Q_OBJECT

public:
    struct Instrument
    {
        MidiInstrumentId id;
        QString name;
        MidiProgram program;
    };

    // No sound bank: an empty name, no instruments, every channel on 0.
    explicit FakeSynth(QObject *parent = nullptr);
    FakeSynth(const QString &bankName, const QList<Instrument> &instruments,
              QObject *parent = nullptr);

    mutable QStringList calls;
    // Lines of calls that start with the word.
    QStringList callsOf(const QString &name) const;

    // Changes a channel as MIDI input would, unrecorded, and announces it.
    void assign(int channel, MidiInstrumentId instrument);

    QObject *synthObject() override;
    QMetaObject::Connection
    connectInstrumentChanged(QObject *context,
                             const std::function<void(int channel, MidiInstrumentId)> &slot) override;
    QString soundBankName() const override;
    void resetSoundBank() override;
    int instrumentCount() const override;
    MidiInstrumentId instrumentAt(int row) const override;
    int indexOfInstrument(MidiInstrumentId instrument) const override;
    QString instrumentName(MidiInstrumentId instrument) const override;
    MidiInstrumentId channelInstrument(int channel) const override;
    void setChannelInstrument(int channel, MidiInstrumentId instrument) override;
    MidiProgram programOfInstrument(MidiInstrumentId instrument) const override;
    MidiInstrumentId instrumentOfProgram(const MidiProgram &program) const override;

signals:
    void instrumentChanged(int channel, MidiInstrumentId instrument);

private:
    void record(const QString &line) const;

    QString m_bankName;
    QList<Instrument> m_instruments;
    std::array<MidiInstrumentId, 16> m_channels{};
};

#endif // FAKESYNTH_H
