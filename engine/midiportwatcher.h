#ifndef MIDIPORTWATCHER_H
#define MIDIPORTWATCHER_H

#include "midibackend.h"

#include <QObject>
#include <QStringList>

#include <memory>

// The MIDI ports present, kept by a thread of its own through one long-lived
// connection to the MIDI system (MidiBackend::monitorPorts) that hears of
// ports coming and going. Nothing here waits on the MIDI system: the lists
// reach the receivers by queued signals, and while the system cannot be
// reached the thread asks again every RetryMs, so its ports come back by
// themselves. Velka's own ports are never listed.
class MidiPortWatcher : public QObject
{
    Q_OBJECT

public:
    static constexpr int RetryMs = 2000;
    // Notifications that follow each other this closely are read as one.
    static constexpr int SettleMs = 20;
    static constexpr int StopWaitMs = 500;

    explicit MidiPortWatcher(QObject *parent = nullptr);
    // Stops the thread; one still inside the MIDI library after StopWaitMs is
    // left to end by itself.
    ~MidiPortWatcher() override;

    void start();
    // Reads the lists again, for MIDI systems that send no notifications.
    void refresh();

    // The lists of the running watcher; false while none runs.
    static bool publishedPortNames(MidiDirection direction, QStringList *names);

signals:
    // After every change of the lists, and once at start.
    void portsChanged(const QStringList &inputs, const QStringList &outputs);
    // Once each time the MIDI system cannot be reached, with its message.
    void unreachable(const QString &message);
    // Once each time the lists can be read again after that.
    void reachable();

private:
    struct State;
    std::shared_ptr<State> m_state;
};

#endif // MIDIPORTWATCHER_H
