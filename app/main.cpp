#include "midicallwatch.h"
#include "mididevicecloser.h"
#include "velkaapplication.h"

#include <cstdio>
#include <cstdlib>

namespace {
// Ports closed while quitting get this long to drain and leave the MIDI system.
constexpr int PortsClosingMs = 1000;
} // namespace

int main(int argc, char *argv[])
{
    int status = 0;
    {
        VelkaApplication app(argc, argv);
        status = app.exec();
    }
    // A MIDI system that does not answer holds its calls for ever, and the
    // library's own clean-up at exit would wait on it too: the program then
    // ends without waiting. Everything of the user's is saved by now.
    if (!MidiDeviceCloser::waitUntilIdle(PortsClosingMs) || MidiCallWatch::callsInProgress() > 0) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
