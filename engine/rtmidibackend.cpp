#include "rtmidibackend.h"

#include "midicallwatch.h"
#include "ownmidiports.h"

#include <QDebug>
#include <QLoggingCategory>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>

#include <rtmidi/RtMidi.h>

#ifdef VELKA_HAVE_JACK
#include <jack/jack.h>
#endif

#ifdef VELKA_HAVE_ALSA
#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#endif

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace {

const char *const InputPortName = "RtMidi Input";
const char *const OutputPortName = "RtMidi Output";
constexpr int OpenAttempts = 5;
// Covers two JACK periods of up to 1024 frames at 44.1 kHz.
constexpr unsigned long JackCloseDelayMs = 50;
constexpr unsigned long JackServerNewsMs = 200;

// Counts the JACK servers that went away under the port monitor. A library
// object made before that must not close its port: the library would
// unregister the port on a server that is gone, which crashes inside JACK.
std::atomic<quint64> jackServersLost{0};

// The library objects of ports whose JACK server went away, kept unclosed
// until the program ends.
void keepUnclosed(std::shared_ptr<void> object)
{
    static std::mutex mutex;
    static auto *kept = new std::vector<std::shared_ptr<void>>;
    std::lock_guard<std::mutex> lock(mutex);
    kept->push_back(std::move(object));
}

// What the JACK library prints (a dozen lines for every client that finds no
// server) is shown only when this category's debug output is switched on.
Q_LOGGING_CATEGORY(jackLibrary, "velka.midi.jack", QtWarningMsg)

bool sequencerOpens()
{
    const int sequencer = ::open("/dev/snd/seq", O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (sequencer < 0)
        return false;
    ::close(sequencer);
    return true;
}

// No MIDI system at all: nothing is listed and nothing opens. For tests that
// kill or abandon the program, which must never leave a MIDI server's state
// behind.
constexpr RtMidi::Api NoApi = RtMidi::RTMIDI_DUMMY;

RtMidi::Api chosenApi()
{
    const QByteArray requested = qgetenv("VELKA_MIDI_API").trimmed().toLower();
    if (requested == "none")
        return NoApi;
    if (requested == "jack")
        return RtMidi::UNIX_JACK;
    if (requested == "alsa")
        return RtMidi::LINUX_ALSA;
    if (!requested.isEmpty()) {
        static std::atomic<bool> warned{false};
        if (!warned.exchange(true))
            qWarning() << "VELKA_MIDI_API: unknown MIDI API" << requested << "- choosing automatically";
    }
    return sequencerOpens() ? RtMidi::LINUX_ALSA : RtMidi::UNIX_JACK;
}

#ifdef VELKA_HAVE_JACK
void jackMessage(const char *text)
{
    qCDebug(jackLibrary).noquote() << text;
}
#endif

// The library prints to the standard error when it cannot reach its MIDI
// system while being constructed, before an error callback can be set. While
// the system is missing it is asked quietly first; once a listing worked the
// question is skipped until a call fails again.
std::atomic<bool> systemReached{false};

bool systemReachable(RtMidi::Api api, QString *error)
{
    if (systemReached.load())
        return true;
    if (api == RtMidi::LINUX_ALSA) {
        if (sequencerOpens())
            return true;
        *error = QStringLiteral("The ALSA sequencer cannot be opened");
        return false;
    }
#ifdef VELKA_HAVE_JACK
    const MidiCallWatch::Guard watched;
    jack_status_t status;
    jack_client_t *client = jack_client_open(OwnMidiPorts::clientName(), JackNoStartServer, &status);
    if (client) {
        jack_client_close(client);
        return true;
    }
    *error = QStringLiteral("The JACK server is not running");
    return false;
#else
    return true;
#endif
}

void quietenLibraries()
{
#ifdef VELKA_HAVE_JACK
    static std::once_flag installed;
    std::call_once(installed, [] {
        jack_set_error_function(jackMessage);
        jack_set_info_function(jackMessage);
    });
#endif
}

// Collects what the library reports through its error callback, so that a
// reported error fails the call in progress instead of passing unnoticed.
class ErrorTrap
{
public:
    void install(RtMidi &midi) { midi.setErrorCallback(&ErrorTrap::report, this); }

    // The errors reported since the last call, empty when there were none.
    QString take()
    {
        QMutexLocker locker(&m_mutex);
        QString message;
        message.swap(m_message);
        return message;
    }

private:
    static void report(RtMidiError::Type type, const std::string &text, void *trap)
    {
        if (type == RtMidiError::DEBUG_WARNING) {
            qDebug().noquote() << QString::fromStdString(text);
            return;
        }
        auto *self = static_cast<ErrorTrap *>(trap);
        QMutexLocker locker(&self->m_mutex);
        if (!self->m_message.isEmpty())
            self->m_message += QLatin1Char('\n');
        self->m_message += QString::fromStdString(text);
    }

    QMutex m_mutex;
    QString m_message;
};

// Runs a library call; false with the library's message when it threw or
// reported an error.
template <typename Call>
bool guarded(ErrorTrap &trap, QString *error, Call call)
{
    try {
        call();
    } catch (const RtMidiError &e) {
        trap.take();
        *error = QString::fromStdString(e.getMessage());
        return false;
    } catch (const std::exception &e) {
        trap.take();
        *error = QString::fromLocal8Bit(e.what());
        return false;
    }
    const QString reported = trap.take();
    if (reported.isEmpty())
        return true;
    *error = reported;
    return false;
}

// An RtMidiIn or RtMidiOut (the library's common base cannot be deleted).
class LibraryObject
{
public:
    bool make(MidiDirection direction, ErrorTrap &trap, QString *error)
    {
        quietenLibraries();
        const RtMidi::Api api = chosenApi();
        if (!systemReachable(api, error))
            return false;
        const MidiCallWatch::Guard watched;
        const bool made = guarded(trap, error, [&] {
            if (direction == MidiDirection::Input)
                in.reset(new RtMidiIn(api, OwnMidiPorts::clientName()));
            else
                out.reset(new RtMidiOut(api, OwnMidiPorts::clientName()));
        });
        if (made)
            trap.install(*get());
        return made;
    }

    RtMidi *get() const { return in ? static_cast<RtMidi *>(in.get()) : out.get(); }

    // Destroys the library object, reporting nothing: it closes its port itself.
    void reset(ErrorTrap &trap)
    {
        QString ignored;
        const MidiCallWatch::Guard watched;
        guarded(trap, &ignored, [&] {
            in.reset();
            out.reset();
        });
    }

    std::unique_ptr<RtMidiIn> in;
    std::unique_ptr<RtMidiOut> out;
};

// Ports that other programs remove while they are listed fail the listing;
// it is read again a few times before the failure counts.
bool listPorts(RtMidi &midi, ErrorTrap &trap, QStringList *names, QString *error)
{
    for (int attempt = 0; attempt < OpenAttempts; ++attempt) {
        QStringList listed;
        const bool read = guarded(trap, error, [&] {
            const unsigned int count = midi.getPortCount();
            for (unsigned int i = 0; i < count; ++i)
                listed.append(QString::fromStdString(midi.getPortName(i)));
        });
        if (read) {
            *names = listed;
            return true;
        }
    }
    return false;
}

#ifdef VELKA_HAVE_JACK
// The JACK ports of one direction, read in one call: the library reads the
// count and then every name with calls of their own, and a name read after
// ports went away in between comes from past the end of JACK's list. The
// client is never activated, so a listing takes no part in the server's
// cycles and leaves the timing of the running clients alone.
QStringList jackClientPorts(jack_client_t *client, MidiDirection direction)
{
    // The library's inputs read from output ports and its outputs write to input ports.
    const unsigned long flags = direction == MidiDirection::Input ? JackPortIsOutput : JackPortIsInput;
    const char **ports = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
    QStringList listed;
    for (const char **port = ports; port && *port; ++port)
        listed.append(QString::fromUtf8(*port));
    jack_free(ports);
    return listed;
}

bool jackPortNames(MidiDirection direction, QStringList *names, QString *error)
{
    const MidiCallWatch::Guard watched;
    jack_client_t *client = jack_client_open(OwnMidiPorts::clientName(), JackNoStartServer, nullptr);
    if (!client) {
        *error = QStringLiteral("The JACK server is not running");
        return false;
    }
    *names = jackClientPorts(client, direction);
    jack_client_close(client);
    return true;
}

// One JACK client for the program's lifetime, told by the server of every
// port and client that comes or goes. It has no process callback, so it never
// joins the server's processing cycles.
class JackPortMonitor : public MidiPortMonitor
{
public:
    static std::unique_ptr<JackPortMonitor> open(MidiBackend::Notify changed, QString *error)
    {
        const MidiCallWatch::Guard watched;
        jack_client_t *client = jack_client_open(OwnMidiPorts::clientName(), JackNoStartServer, nullptr);
        if (!client) {
            *error = QStringLiteral("The JACK server is not running");
            return nullptr;
        }
        std::unique_ptr<JackPortMonitor> monitor(new JackPortMonitor(client, std::move(changed)));
        Notices *notices = monitor->m_notices.get();
        jack_on_shutdown(client, &Notices::shutDown, notices);
        jack_set_port_registration_callback(client, &Notices::portRegistered, notices);
        jack_set_client_registration_callback(client, &Notices::clientRegistered, notices);
        jack_set_port_rename_callback(client, &Notices::portRenamed, notices);
        if (jack_activate(client) != 0) {
            *error = QStringLiteral("The JACK server refused to send port notifications");
            return nullptr;
        }
        return monitor;
    }

    // A client whose server went away is left as it is, with what its
    // callbacks are given: closing it crashes inside JACK, and its threads may
    // still call back when a server of the same name starts.
    ~JackPortMonitor() override
    {
        m_notices->forget();
        if (!m_notices->connected.load()) {
            keepUnclosed(std::move(m_notices));
            return;
        }
        const MidiCallWatch::Guard watched;
        jack_client_close(m_client);
    }

    bool portNames(MidiDirection direction, QStringList *names, QString *error) override
    {
        if (!m_notices->connected.load()) {
            *error = QStringLiteral("The JACK server went away");
            return false;
        }
        const MidiCallWatch::Guard watched;
        *names = jackClientPorts(m_client, direction);
        return true;
    }

    bool isConnected() const override { return m_notices->connected.load(); }

private:
    // What the client's callbacks reach, on JACK's notification thread.
    struct Notices
    {
        std::mutex mutex;
        MidiBackend::Notify changed; // empty once the monitor is gone
        std::atomic<bool> connected{true};

        void notify()
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (changed)
                changed();
        }
        void forget()
        {
            std::lock_guard<std::mutex> lock(mutex);
            changed = nullptr;
        }
        static void shutDown(void *notices)
        {
            auto *self = static_cast<Notices *>(notices);
            ++jackServersLost;
            self->connected.store(false);
            self->notify();
        }
        static void portRegistered(jack_port_id_t, int, void *notices) { static_cast<Notices *>(notices)->notify(); }
        static void clientRegistered(const char *, int, void *notices) { static_cast<Notices *>(notices)->notify(); }
        static void portRenamed(jack_port_id_t, const char *, const char *, void *notices)
        {
            static_cast<Notices *>(notices)->notify();
        }
    };

    JackPortMonitor(jack_client_t *client, MidiBackend::Notify changed)
        : m_client(client), m_notices(std::make_shared<Notices>())
    {
        m_notices->changed = std::move(changed);
    }

    jack_client_t *const m_client;
    std::shared_ptr<Notices> m_notices;
};
#endif

// The ports of one direction, in the order the library numbers them.
bool listPortNames(MidiDirection direction, QStringList *names, QString *error)
{
    quietenLibraries();
    if (chosenApi() == NoApi) {
        names->clear();
        return true;
    }
#ifdef VELKA_HAVE_JACK
    if (chosenApi() == RtMidi::UNIX_JACK)
        return jackPortNames(direction, names, error);
#endif
    ErrorTrap trap;
    LibraryObject midi;
    if (!midi.make(direction, trap, error))
        return false;
    const bool listed = listPorts(*midi.get(), trap, names, error);
    midi.reset(trap);
    return listed;
}

class RtMidiDevice : public MidiDevice
{
public:
    // The library opens ports by index, and other programs may add or remove
    // ports between listing and opening: the listing is read again after the
    // port opened, and the open is repeated when the port moved meanwhile.
    bool open(MidiDirection direction, const QString &name, QString *error)
    {
        if (chosenApi() == NoApi) {
            *error = QStringLiteral("MIDI is switched off (VELKA_MIDI_API=none)");
            return false;
        }
        if (!m_midi.make(direction, m_trap, error))
            return false;
        m_jack = (m_midi.in ? m_midi.in->getCurrentApi() : m_midi.out->getCurrentApi()) == RtMidi::UNIX_JACK;
        m_jackServer = jackServersLost.load();
        const char *portName = direction == MidiDirection::Input ? InputPortName : OutputPortName;
        for (int attempt = 0; attempt < OpenAttempts; ++attempt) {
            QStringList before;
            if (!listPortNames(direction, &before, error))
                return false;
            const int index = before.indexOf(name);
            if (index < 0) {
                *error = QStringLiteral("No MIDI port named \"%1\"").arg(name);
                return false;
            }
            bool opened = false;
            {
                const MidiCallWatch::Guard watched;
                opened = guarded(m_trap, error, [&] { m_midi.get()->openPort(unsigned(index), portName); })
                         && m_midi.get()->isPortOpen();
            }
            QStringList after;
            if (!listPortNames(direction, &after, error))
                return false;
            if (after == before) {
                if (opened)
                    return true;
                if (error->isEmpty())
                    *error = QStringLiteral("The MIDI port \"%1\" did not open").arg(name);
                return false;
            }
            if (opened)
                close(error);
            error->clear();
        }
        *error = QStringLiteral("The MIDI ports kept changing while \"%1\" was opened").arg(name);
        return false;
    }

    ~RtMidiDevice() override
    {
        if (serverGone()) {
            keepUnclosed();
            return;
        }
        QString ignored;
        if (m_midi.get() && m_midi.get()->isPortOpen())
            close(&ignored);
        m_midi.reset(m_trap);
    }

    bool send(const std::vector<unsigned char> &message, QString *error) override
    {
        RtMidiOut *out = m_midi.out.get();
        if (!out) {
            *error = QStringLiteral("Cannot send on a MIDI input port");
            return false;
        }
        return guarded(m_trap, error, [&] { out->sendMessage(message.data(), message.size()); });
    }

    bool setReceiver(Receiver receiver, QString *error) override
    {
        RtMidiIn *in = m_midi.in.get();
        if (!in) {
            *error = QStringLiteral("Cannot receive on a MIDI output port");
            return false;
        }
        m_receiver = std::move(receiver);
        return guarded(m_trap, error, [&] { in->setCallback(&RtMidiDevice::received, this); });
    }

    bool setIgnoredTypes(bool sysex, bool timing, bool activeSensing, QString *error) override
    {
        RtMidiIn *in = m_midi.in.get();
        if (!in)
            return true;
        return guarded(m_trap, error, [&] { in->ignoreTypes(sysex, timing, activeSensing); });
    }

    bool close(QString *error) override
    {
        const bool jackOutput = m_midi.out && m_midi.get()->isPortOpen()
                                && m_midi.out->getCurrentApi() == RtMidi::UNIX_JACK;
        // A JACK server running asynchronously hands what this port sent in
        // one cycle to the receiving ports in the next. Closing the port at
        // once would drop the last messages, such as All Notes Off on close.
        // The wait also lets the news of a server that is ending arrive: its
        // ports go first, the port chosen here with them, and the server's
        // going is told after.
        if (m_jack)
            QThread::msleep(JackServerNewsMs);
        if (serverGone()) {
            keepUnclosed();
            return true;
        }
        const MidiCallWatch::Guard watched;
        const bool closed = guarded(m_trap, error, [&] { m_midi.get()->closePort(); });
        // The library's JACK output frees its send buffer when it is destroyed,
        // before its client stops: a cycle that began while the port was still
        // open may be reading that buffer. The cycle is given time to end
        // before the object can go.
        if (jackOutput)
            QThread::msleep(JackCloseDelayMs);
        return closed;
    }

private:
    bool serverGone() const { return m_jack && jackServersLost.load() != m_jackServer; }

    void keepUnclosed()
    {
        if (m_midi.in)
            ::keepUnclosed(std::shared_ptr<void>(std::move(m_midi.in)));
        if (m_midi.out)
            ::keepUnclosed(std::shared_ptr<void>(std::move(m_midi.out)));
    }

    static void received(double deltaTime, std::vector<unsigned char> *message, void *device)
    {
        auto *self = static_cast<RtMidiDevice *>(device);
        if (message && self->m_receiver)
            self->m_receiver(deltaTime, *message);
    }

    // Declared first: the library object reports to the trap until it is gone.
    ErrorTrap m_trap;
    bool m_jack = false;
    quint64 m_jackServer = 0;
    Receiver m_receiver;
    LibraryObject m_midi;
};


#ifdef VELKA_HAVE_ALSA
// A sequencer client subscribed to the system's announce port, which tells of
// every client and port that comes, goes or changes. A thread of its own
// waits on the sequencer; the lists are read through the library.
class AlsaPortMonitor : public MidiPortMonitor
{
public:
    static std::unique_ptr<AlsaPortMonitor> open(MidiBackend *backend, MidiBackend::Notify changed,
                                                 QString *error)
    {
        const MidiCallWatch::Guard watched;
        snd_seq_t *sequencer = nullptr;
        if (snd_seq_open(&sequencer, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK) < 0) {
            *error = QStringLiteral("The ALSA sequencer cannot be opened");
            return nullptr;
        }
        snd_seq_set_client_name(sequencer, OwnMidiPorts::clientName());
        const int port = snd_seq_create_simple_port(sequencer, "Announcements",
                                                    SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
                                                    SND_SEQ_PORT_TYPE_APPLICATION);
        const int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (port < 0 || wake < 0
            || snd_seq_connect_from(sequencer, port, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE) < 0) {
            if (wake >= 0)
                ::close(wake);
            snd_seq_close(sequencer);
            *error = QStringLiteral("The ALSA sequencer refused to announce its ports");
            return nullptr;
        }
        return std::unique_ptr<AlsaPortMonitor>(new AlsaPortMonitor(backend, sequencer, wake, std::move(changed)));
    }

    ~AlsaPortMonitor() override
    {
        const quint64 one = 1;
        if (::write(m_wake, &one, sizeof one) < 0)
            qWarning() << "Cannot wake the ALSA announcement thread";
        m_thread.join();
        ::close(m_wake);
        snd_seq_close(m_sequencer);
    }

    bool portNames(MidiDirection direction, QStringList *names, QString *error) override
    {
        return m_backend->portNames(direction, names, error);
    }

    bool isConnected() const override { return true; }

private:
    AlsaPortMonitor(MidiBackend *backend, snd_seq_t *sequencer, int wake, MidiBackend::Notify changed)
        : m_backend(backend), m_sequencer(sequencer), m_wake(wake), m_changed(std::move(changed)),
          m_thread([this] { run(); })
    {
    }

    void run()
    {
        const int count = snd_seq_poll_descriptors_count(m_sequencer, POLLIN);
        std::vector<pollfd> descriptors(size_t(count) + 1);
        snd_seq_poll_descriptors(m_sequencer, descriptors.data(), unsigned(count), POLLIN);
        descriptors.back() = {m_wake, POLLIN, 0};
        for (;;) {
            if (::poll(descriptors.data(), descriptors.size(), -1) < 0 && errno != EINTR)
                return;
            if (descriptors.back().revents)
                return;
            bool announced = false;
            snd_seq_event_t *event = nullptr;
            while (snd_seq_event_input(m_sequencer, &event) >= 0)
                announced = true;
            if (announced)
                m_changed();
        }
    }

    MidiBackend *const m_backend;
    snd_seq_t *const m_sequencer;
    const int m_wake;
    const MidiBackend::Notify m_changed;
    std::thread m_thread;
};
#endif

} // namespace

bool RtMidiBackend::portNames(MidiDirection direction, QStringList *names, QString *error)
{
    const bool listed = listPortNames(direction, names, error);
    systemReached.store(listed);
    return listed;
}

std::unique_ptr<MidiDevice> RtMidiBackend::openPort(MidiDirection direction, const QString &name,
                                                    QString *error)
{
    auto device = std::make_unique<RtMidiDevice>();
    if (!device->open(direction, name, error))
        return nullptr;
    return device;
}

std::unique_ptr<MidiPortMonitor> RtMidiBackend::monitorPorts(Notify changed, QString *error)
{
    quietenLibraries();
    switch (chosenApi()) {
#ifdef VELKA_HAVE_JACK
    case RtMidi::UNIX_JACK:
        return JackPortMonitor::open(std::move(changed), error);
#endif
#ifdef VELKA_HAVE_ALSA
    case RtMidi::LINUX_ALSA:
        return AlsaPortMonitor::open(this, std::move(changed), error);
#endif
    default:
        return MidiBackend::monitorPorts(std::move(changed), error);
    }
}

QString RtMidiBackend::systemName() const
{
    switch (chosenApi()) {
    case RtMidi::UNIX_JACK:
        return QStringLiteral("JACK");
    case RtMidi::LINUX_ALSA:
        return QStringLiteral("ALSA");
    default:
        return QStringLiteral("MIDI");
    }
}

QString RtMidiBackend::apiName()
{
    switch (chosenApi()) {
    case RtMidi::UNIX_JACK:
        return QStringLiteral("jack");
    case NoApi:
        return QStringLiteral("none");
    default:
        return QStringLiteral("alsa");
    }
}
