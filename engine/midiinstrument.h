#ifndef MIDIINSTRUMENT_H
#define MIDIINSTRUMENT_H

#include "abstractinstrument.h"
#include "midioutput.h"

#include <QMutex>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

// An instrument that plays through a MIDI output port. It follows its
// document record: a change of "MidiPort" reopens the port (a port that is not
// present is replaced by the default output port, written back into the
// record, except a port of Velka's own, which stays in the record unopened),
// "MidiChannels" sets the channels, and the program and bank keys send a bank
// select and program change when "MidiDoProgramChange" is on.
//
// A port opens on a thread of its own (opening waits on the MIDI system); the
// change waits for it OpenWaitMs at most and otherwise goes on, the port and
// its program change following when it opened, and events meanwhile dropped.
// Changes of the port and the output step are serialised by the configuration
// mutex, so a send never meets a port being reopened. A send that fails on the
// port in use pauses the instrument, closes the port and clears the record's
// "MidiPort"; the controller's change signal then brings the default port in.
class MidiInstrument : public AbstractInstrument, public MidiOutput
{
    Q_OBJECT

public:
    static QString staticType() { return QStringLiteral("midi"); }
    static QString staticDescription() { return tr("MIDI"); }

    // How long a port change waits for the MIDI system before it goes on
    // without the port, which follows when it opened.
    static constexpr int OpenWaitMs = 50;

    explicit MidiInstrument(QmdItemId instrument);
    ~MidiInstrument() override;

    QString type() const override { return staticType(); }
    QString description() const override { return staticDescription(); }

public slots:
    // Drops the queue, then re-applies the whole record: the port (only All
    // Notes Off when it is already open under the same name), the channels and
    // the program change.
    void reset() override;
    // Sends the record's program change, then wakes the output thread.
    void play() override;
    // Returns once no step runs, then sends All Notes Off. The port stays open.
    void pauseAndWait() override;
    void onInstrumentDataEffected(QmdItemId instrument, const QStringList &keys,
                                  QmdRequestId rid) override;

protected:
    void outputEvents(const std::vector<InstrumentEvent> &events) override;

private:
    // A port being opened on the thread of instrument ports.
    struct OpeningPort
    {
        std::mutex mutex;
        std::condition_variable opened;
        bool done = false;
        std::shared_ptr<PortRecord> port;
        QString error;
        std::function<void()> then; // called once done, when set before
    };

    // With the configuration mutex held.
    void applyPort(QmdVelkaController *controller);
    // With the configuration mutex held: opens the port, at once when the MIDI
    // system answers within OpenWaitMs, else when it answers.
    void openPort(const QString &name);
    void takePort(OpeningPort &opening, const QString &name);
    void takeLatePort(const std::shared_ptr<OpeningPort> &opening, const QString &name, quint64 generation);
    // The reaction to a send that failed while the port of `generation` was in use.
    void handleSendFailure(quint64 generation);

    QMutex m_configMutex;
    quint64 m_portGeneration = 0; // counts port changes; under the configuration mutex
    QString m_openingPort;        // the port still opening; under the configuration mutex
};

#endif // MIDIINSTRUMENT_H
