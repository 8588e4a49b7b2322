#include "jacksink.h"

#include "abstractinstrument.h"
#include "instrumentevent.h"
#include "midiio.h"
#include "midioutput.h"
#include "monotonicclock.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMutexLocker>
#include <QTest>
#include <QThread>

const JackSink::Bytes JackSink::Probe{0xfe};

JackSink::JackSink(const QByteArray &client, const char *port)
    : m_client(QString::fromLatin1(client + '-' + QByteArray::number(QCoreApplication::applicationPid())))
    , m_port(QString::fromLatin1(port))
    , m_in(RtMidi::UNIX_JACK, m_client.toStdString())
{
    m_clock.start();
    m_in.ignoreTypes(false, false, false);
    m_in.setCallback(&JackSink::received, this);
    m_in.openVirtualPort(port);
}

QString JackSink::name() const
{
    const QString suffix = QLatin1Char(':') + m_port;
    for (const QString &name : MidiOutput::availablePortNames()) {
        if (name.startsWith(m_client) && name.endsWith(suffix))
            return name;
    }
    return QString();
}

QList<JackSink::Bytes> JackSink::messages() const
{
    QMutexLocker locker(&m_mutex);
    QList<Bytes> received;
    for (const Arrival &arrival : m_arrivals) {
        if (arrival.bytes != Probe)
            received << arrival.bytes;
    }
    return received;
}

QList<JackSink::Bytes> JackSink::take()
{
    QList<Bytes> received;
    for (const Arrival &arrival : takeArrivals())
        received << arrival.bytes;
    return received;
}

QList<JackSink::Arrival> JackSink::takeArrivals()
{
    QMutexLocker locker(&m_mutex);
    QList<Arrival> arrivals;
    for (const Arrival &arrival : std::as_const(m_arrivals)) {
        if (arrival.bytes != Probe)
            arrivals << arrival;
    }
    m_arrivals.clear();
    return arrivals;
}

void JackSink::clear()
{
    QMutexLocker locker(&m_mutex);
    m_arrivals.clear();
}

QList<JackSink::Bytes> JackSink::waitFor(int count)
{
    QDeadlineTimer deadline(10000);
    QList<Bytes> received;
    while (received.size() < count && !deadline.hasExpired()) {
        received += take();
        QThread::msleep(1);
    }
    return received;
}

bool JackSink::connected(MidiOutput &output)
{
    return probe([&output] { return output.sendEvents({InstrumentEvent(0, Probe)}); });
}

bool JackSink::reachedBy(AbstractInstrument &instrument)
{
    // A port that the server was slow to open follows through the event loop.
    if (auto *output = dynamic_cast<MidiIO *>(&instrument)) {
        QDeadlineTimer opened(10000);
        while (!output->isOpen() && !opened.hasExpired())
            QTest::qWait(10);
    }
    return probe([&instrument] {
        instrument.outputEventNow(InstrumentEvent(0, Probe));
        return true;
    });
}

template<typename Send>
bool JackSink::probe(Send send)
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (!send())
            return false;
        QDeadlineTimer deadline(100);
        while (!deadline.hasExpired()) {
            if (containsProbe())
                return true;
            QThread::msleep(1);
        }
    }
    return false;
}

bool JackSink::containsProbe() const
{
    QMutexLocker locker(&m_mutex);
    for (const Arrival &arrival : m_arrivals) {
        if (arrival.bytes == Probe)
            return true;
    }
    return false;
}

void JackSink::received(double, std::vector<unsigned char> *message, void *sink)
{
    const quint64 now = MonotonicClock::nanoseconds();
    auto *self = static_cast<JackSink *>(sink);
    QMutexLocker locker(&self->m_mutex);
    self->m_arrivals.append({self->m_clock.elapsed(), *message, now});
}
