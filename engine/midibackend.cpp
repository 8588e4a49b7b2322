#include "midibackend.h"

#include "mididevicecloser.h"
#include "rtmidibackend.h"

#include <atomic>

namespace {

std::atomic<MidiBackend *> installedBackend{nullptr};
constexpr int ReplaceWaitMs = 5000;

// Lists through the backend itself, whenever asked.
class ListingMonitor : public MidiPortMonitor
{
public:
    explicit ListingMonitor(MidiBackend *backend) : m_backend(backend) {}

    bool portNames(MidiDirection direction, QStringList *names, QString *error) override
    {
        return m_backend->portNames(direction, names, error);
    }
    bool isConnected() const override { return true; }

private:
    MidiBackend *m_backend;
};

} // namespace

std::unique_ptr<MidiPortMonitor> MidiBackend::monitorPorts(Notify, QString *)
{
    return std::make_unique<ListingMonitor>(this);
}

MidiBackend *MidiBackend::instance()
{
    static RtMidiBackend library;
    MidiBackend *backend = installedBackend.load();
    return backend ? backend : &library;
}

void MidiBackend::setInstance(MidiBackend *backend)
{
    // A backend is replaced before it goes: the ports it opened that are
    // closing still use it.
    MidiDeviceCloser::waitUntilIdle(ReplaceWaitMs);
    installedBackend.store(backend);
}
