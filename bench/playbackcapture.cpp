#include "playbackcapture.h"

#include "monotonicclock.h"

#include <jack/midiport.h>

#include <algorithm>

PlaybackCapture::PlaybackCapture(size_t capacity) : m_events(capacity) {}

PlaybackCapture::~PlaybackCapture()
{
    close();
}

bool PlaybackCapture::open(const QString &clientName, const QStringList &ports, QString *error)
{
    close();
    jack_status_t status{};
    m_client = jack_client_open(clientName.toUtf8().constData(), JackNoStartServer, &status);
    if (!m_client) {
        *error = QStringLiteral("cannot open JACK client %1 (status 0x%2)").arg(clientName).arg(int(status), 0, 16);
        return false;
    }
    for (const QString &name : ports) {
        jack_port_t *port = jack_port_register(m_client, name.toUtf8().constData(), JACK_DEFAULT_MIDI_TYPE,
                                               JackPortIsInput, 0);
        if (!port) {
            *error = QStringLiteral("cannot register JACK port %1").arg(name);
            close();
            return false;
        }
        m_ports.push_back(port);
    }
    calibrate();
    m_jackAt[1] = m_jackAt[0];
    m_monotonicAt[1] = m_monotonicAt[0];
    if (jack_set_process_callback(m_client, &PlaybackCapture::processCallback, this) != 0
        || jack_activate(m_client) != 0) {
        *error = QStringLiteral("cannot activate JACK client %1").arg(clientName);
        close();
        return false;
    }
    return true;
}

void PlaybackCapture::close()
{
    if (!m_client)
        return;
    jack_deactivate(m_client);
    jack_client_close(m_client);
    m_client = nullptr;
    m_ports.clear();
}

QString PlaybackCapture::fullPortName(int port) const
{
    return QString::fromUtf8(jack_port_name(m_ports.at(size_t(port))));
}

quint32 PlaybackCapture::periodFrames() const
{
    return m_client ? jack_get_buffer_size(m_client) : 0;
}

quint32 PlaybackCapture::sampleRate() const
{
    return m_client ? jack_get_sample_rate(m_client) : 0;
}

int PlaybackCapture::processCallback(jack_nframes_t frames, void *self)
{
    return static_cast<PlaybackCapture *>(self)->process(frames);
}

int PlaybackCapture::process(jack_nframes_t frames)
{
    // The time the cycle runs at; an event lies its frame offset later. (The
    // frame-time estimate of the cycle's start drifts far from the real time
    // when a loaded machine makes the dummy driver skip cycles.)
    const jack_time_t cycleStart = jack_get_time();
    const jack_nframes_t cycle = jack_last_frame_time(m_client);
    if (m_ranCycle && cycle == m_lastCycle) {
        m_repeatedCycles.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    if (m_ranCycle && frames > 0 && cycle - m_lastCycle > frames)
        m_skippedCycles.fetch_add((cycle - m_lastCycle) / frames - 1, std::memory_order_relaxed);
    m_lastCycle = cycle;
    m_ranCycle = true;
    const double microsecondsPerFrame = 1e6 / double(jack_get_sample_rate(m_client));
    for (size_t p = 0; p < m_ports.size(); ++p) {
        void *buffer = jack_port_get_buffer(m_ports[p], frames);
        const jack_nframes_t count = jack_midi_get_event_count(buffer);
        for (jack_nframes_t i = 0; i < count; ++i) {
            jack_midi_event_t midi;
            if (jack_midi_event_get(&midi, buffer, i) != 0)
                continue;
            const size_t slot = m_written.load(std::memory_order_relaxed);
            if (slot >= m_events.size()) {
                m_lost.fetch_add(1, std::memory_order_relaxed);
                continue;
            }
            Event &event = m_events[slot];
            // Microseconds of JACK's clock, kept until take() maps them.
            event.time = cycleStart + quint64(double(midi.time) * microsecondsPerFrame + 0.5);
            event.port = int(p);
            event.size = static_cast<unsigned char>(std::min<size_t>(midi.size, 3));
            std::copy(midi.buffer, midi.buffer + event.size, event.bytes);
            m_written.store(slot + 1, std::memory_order_release);
        }
    }
    return 0;
}

void PlaybackCapture::calibrate()
{
    // The reading whose two MonotonicClock samples lie closest together.
    double best = -1;
    for (int i = 0; i < 50; ++i) {
        const quint64 before = MonotonicClock::nanoseconds();
        const jack_time_t jack = jack_get_time();
        const quint64 after = MonotonicClock::nanoseconds();
        if (best < 0 || double(after - before) < best) {
            best = double(after - before);
            m_jackAt[1] = double(jack);
            m_monotonicAt[1] = (double(before) + double(after)) / 2;
        }
    }
    if (m_jackAt[0] == 0) {
        m_jackAt[0] = m_jackAt[1];
        m_monotonicAt[0] = m_monotonicAt[1];
    }
}

quint64 PlaybackCapture::toMonotonic(jack_time_t microseconds) const
{
    const double span = m_jackAt[1] - m_jackAt[0];
    const double rate = span > 1e6 ? (m_monotonicAt[1] - m_monotonicAt[0]) / span : 1000.0;
    return quint64(m_monotonicAt[0] + (double(microseconds) - m_jackAt[0]) * rate);
}

PlaybackCapture::Cycles PlaybackCapture::takeCycles()
{
    Cycles cycles;
    cycles.skipped = m_skippedCycles.exchange(0);
    cycles.repeated = m_repeatedCycles.exchange(0);
    return cycles;
}

std::vector<PlaybackCapture::Event> PlaybackCapture::take(size_t *lost)
{
    calibrate();
    const size_t written = m_written.load(std::memory_order_acquire);
    std::vector<Event> events(m_events.begin() + std::ptrdiff_t(m_taken), m_events.begin() + std::ptrdiff_t(written));
    m_taken = written;
    for (Event &event : events)
        event.time = toMonotonic(event.time);
    if (lost)
        *lost = m_lost.load();
    return events;
}
