#ifndef HANDOVERTAP_H
#define HANDOVERTAP_H

#include "midibackend.h"

#include <QString>

#include <memory>
#include <vector>

// A MIDI library in front of another: it opens the other's ports and passes
// every call on, and shows each message the other accepted for sending to
// handedOver(), so that what the engine handed over can be told apart from
// what arrived on the wire.
class HandOverTap : public MidiBackend
{
public:
    explicit HandOverTap(MidiBackend *library) : m_library(library) {}

    bool portNames(MidiDirection direction, QStringList *names, QString *error) override;
    std::unique_ptr<MidiDevice> openPort(MidiDirection direction, const QString &name, QString *error) override;

protected:
    // A message sent on the named port, called on the thread that sent it.
    virtual void handedOver(const QString &port, const std::vector<unsigned char> &message) = 0;

private:
    class Device;

    MidiBackend *const m_library;
};

#endif // HANDOVERTAP_H
