#ifndef MIDISYNTHWORKER_H
#define MIDISYNTHWORKER_H

#include "midiinstrumentid.h"
#include "midiprogram.h"

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <vector>

class MidiInput;

// Lives on the synthesizer's thread: listens to a MIDI input, tracks which
// sound bank instrument each MIDI channel uses and announces changes. The
// sound bank is empty, so there is no instrument to choose and nothing sounds.
class MidiSynthWorker : public QObject
{
    Q_OBJECT

public:
    explicit MidiSynthWorker(QMutex *mutex);
    ~MidiSynthWorker() override;

    bool isReady() const { return m_ready; }

    MidiInput *midiInput() const;
    // Drops the old input's connection and listens to the new one (may be null).
    void setMidiInput(MidiInput *input);
    // Disconnects from the input and returns once no message of it is being
    // handled; call without holding the synthesizer's mutex.
    void detachMidiInput();

    void resetSoundBank();
    QString soundBankName() const;
    int instrumentCount() const;
    MidiInstrumentId instrumentAt(int row) const;
    int indexOfInstrument(MidiInstrumentId instrument) const;
    QString instrumentName(MidiInstrumentId instrument) const;
    MidiInstrumentId channelInstrument(int channel) const;
    void setChannelInstrument(int channel, MidiInstrumentId instrument);

    // The sound bank's programs: every program is 0/0/0 and names instrument 0.
    static MidiProgram programOfInstrument(MidiInstrumentId instrument);
    static MidiInstrumentId instrumentOfProgram(const MidiProgram &program);

signals:
    void instrumentChanged(int channel, MidiInstrumentId instrument);

public slots:
    void onMidiInputReadyRead(MidiInput *input);

private:
    void handleMessage(const std::vector<unsigned char> &bytes);
    void sendToEngine(const std::vector<unsigned char> &bytes);

    QMutex *m_mutex;
    bool m_ready = false;
    QPointer<MidiInput> m_input;
    std::array<MidiInstrumentId, 16> m_channelInstruments{};
};

#endif // MIDISYNTHWORKER_H
