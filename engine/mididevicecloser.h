#ifndef MIDIDEVICECLOSER_H
#define MIDIDEVICECLOSER_H

#include "midibackend.h"

#include <memory>

// Closes MIDI devices on threads of its own. Closing waits on the MIDI system (a JACK client leaves the server's
// graph, the last messages drain), which may not answer: whoever lets a port
// go never waits for it.
class MidiDeviceCloser
{
public:
    static void close(std::unique_ptr<MidiDevice> device, const QString &name);
    // Returns once every device handed over is closed, or after `timeoutMs`;
    // false when devices are still closing then.
    static bool waitUntilIdle(int timeoutMs);
};

#endif // MIDIDEVICECLOSER_H
