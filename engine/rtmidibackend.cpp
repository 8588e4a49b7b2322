#include "rtmidibackend.h"

#include <QDebug>
#include <QLoggingCategory>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>

#include <rtmidi/RtMidi.h>

#ifdef VELKA_HAVE_JACK
#include <jack/jack.h>
#endif

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

namespace {

const char *const InputClientName = "RtMidi Input Client";
const char *const OutputClientName = "RtMidi Output Client";
const char *const InputPortName = "RtMidi Input";
const char *const OutputPortName = "RtMidi Output";
constexpr int OpenAttempts = 5;
// Covers two JACK periods of up to 1024 frames at 44.1 kHz.
constexpr unsigned long JackCloseDelayMs = 50;

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

RtMidi::Api chosenApi()
{
    const QByteArray requested = qgetenv("VELKA_MIDI_API").trimmed().toLower();
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
    jack_status_t status;
    jack_client_t *client = jack_client_open("velka-probe", JackNoStartServer, &status);
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
        const bool made = guarded(trap, error, [&] {
            if (direction == MidiDirection::Input)
                in.reset(new RtMidiIn(api, InputClientName));
            else
                out.reset(new RtMidiOut(api, OutputClientName));
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
bool jackPortNames(MidiDirection direction, QStringList *names, QString *error)
{
    const char *clientName = direction == MidiDirection::Input ? InputClientName : OutputClientName;
    jack_client_t *client = jack_client_open(clientName, JackNoStartServer, nullptr);
    if (!client) {
        *error = QStringLiteral("The JACK server is not running");
        return false;
    }
    // The library's inputs read from output ports and its outputs write to input ports.
    const unsigned long flags = direction == MidiDirection::Input ? JackPortIsOutput : JackPortIsInput;
    const char **ports = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
    QStringList listed;
    for (const char **port = ports; port && *port; ++port)
        listed.append(QString::fromUtf8(*port));
    jack_free(ports);
    jack_client_close(client);
    *names = listed;
    return true;
}
#endif

// The ports of one direction, in the order the library numbers them.
bool listPortNames(MidiDirection direction, QStringList *names, QString *error)
{
    quietenLibraries();
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
        if (!m_midi.make(direction, m_trap, error))
            return false;
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
            const bool opened = guarded(m_trap, error, [&] { m_midi.get()->openPort(unsigned(index), portName); })
                && m_midi.get()->isPortOpen();
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
        if (jackOutput)
            QThread::msleep(JackCloseDelayMs);
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
    static void received(double deltaTime, std::vector<unsigned char> *message, void *device)
    {
        auto *self = static_cast<RtMidiDevice *>(device);
        if (message && self->m_receiver)
            self->m_receiver(deltaTime, *message);
    }

    // Declared first: the library object reports to the trap until it is gone.
    ErrorTrap m_trap;
    Receiver m_receiver;
    LibraryObject m_midi;
};

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

QString RtMidiBackend::apiName()
{
    return chosenApi() == RtMidi::UNIX_JACK ? QStringLiteral("jack") : QStringLiteral("alsa");
}
