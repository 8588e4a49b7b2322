#include "midibackend.h"

#include "rtmidibackend.h"

#include <atomic>

namespace {

std::atomic<MidiBackend *> installedBackend{nullptr};

} // namespace

MidiBackend *MidiBackend::instance()
{
    static RtMidiBackend library;
    MidiBackend *backend = installedBackend.load();
    return backend ? backend : &library;
}

void MidiBackend::setInstance(MidiBackend *backend)
{
    installedBackend.store(backend);
}
