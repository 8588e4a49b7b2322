#ifndef FIXEDPORTSBACKEND_H
#define FIXEDPORTSBACKEND_H

#include "midibackend.h"

#include <QMutex>
#include <QStringList>

// MIDI ports as fixed lists of names that a test sets, so the application's
// port polling sees exactly them. Opening a listed port succeeds and is
// recorded; the ports take every message and deliver none.
class FixedPortsBackend : public MidiBackend
{
public:
    ~FixedPortsBackend() override;

    void setPorts(MidiDirection direction, const QStringList &names);
    // Names of the ports open now, in the order they were opened.
    QStringList openPorts(MidiDirection direction) const;

    bool portNames(MidiDirection direction, QStringList *names, QString *error) override;
    std::unique_ptr<MidiDevice> openPort(MidiDirection direction, const QString &name,
                                         QString *error) override;

private:
    friend class FixedPortsDevice;
    void closed(MidiDirection direction, const QString &name);

    mutable QMutex m_mutex;
    QStringList m_ports[2];
    QStringList m_open[2];
};

#endif // FIXEDPORTSBACKEND_H
