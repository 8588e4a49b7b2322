// How Velka fares beside its MIDI system, on a JACK server of its own (dummy
// driver):
//   bench_midisystem idle <velka program> [seconds] [document]
//     the processor time of the real program, started with fresh settings and
//     no port open, left alone for the given time (default 30 s) after 5 s to
//     start;
//   bench_midisystem stall [seconds]
//     the largest gap between timer events posted every 10 ms on the thread of
//     a window beside the application's MIDI objects, while the server runs
//     and while it is stopped (SIGSTOP) for the given time (default 10 s),
//     with a thru port being changed meanwhile.
// The server is only ever stopped and ended by this program (SIGSTOP, SIGCONT,
// SIGTERM).

#include "applicationmidi.h"
#include "midiinstrument.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <rtmidi/RtMidi.h>

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

namespace {

const QString Server = QStringLiteral("velka-midi-bench-%1").arg(::getpid());

bool startServer(QProcess &jackd)
{
    jackd.start(QStringLiteral("jackd"), {"--no-realtime", "-S", "-n", Server, "-d", "dummy", "-r", "48000", "-p", "64"});
    if (!jackd.waitForStarted())
        return false;
    for (int i = 0; i < 100; ++i) {
        if (QProcess::execute(QStringLiteral("jack_lsp"), {QStringLiteral("-s"), Server}) == 0)
            return true;
        QThread::msleep(100);
    }
    return false;
}

void endServer(QProcess &jackd)
{
    ::kill(pid_t(jackd.processId()), SIGCONT);
    jackd.terminate();
    jackd.waitForFinished(10000);
}

// User and system time of a process, in clock ticks.
qint64 processTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QString text = QString::fromLatin1(stat.readAll());
    const QStringList fields = text.mid(text.lastIndexOf(QLatin1Char(')')) + 2).split(QLatin1Char(' '));
    return fields.value(11).toLongLong() + fields.value(12).toLongLong();
}

int idle(const QString &program, int seconds, const QString &document)
{
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    environment.insert(QStringLiteral("VELKA_MIDI_API"), QStringLiteral("jack"));
    environment.insert(QStringLiteral("JACK_DEFAULT_SERVER"), Server);
    environment.insert(QStringLiteral("JACK_NO_START_SERVER"), QStringLiteral("1"));
    QProcess velka;
    velka.setProcessEnvironment(environment);
    velka.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    velka.start(program, document.isEmpty() ? QStringList() : QStringList{document});
    if (!velka.waitForStarted())
        return 1;
    QThread::sleep(5);
    const qint64 before = processTicks(velka.processId());
    QElapsedTimer clock;
    clock.start();
    QThread::sleep(unsigned(seconds));
    const qint64 after = processTicks(velka.processId());
    const double cpuMs = double(after - before) * 1000.0 / double(::sysconf(_SC_CLK_TCK));
    std::printf("idle %d s: %.0f ms of processor time, %.2f %% of a core\n", seconds, cpuMs,
                100.0 * cpuMs / double(clock.elapsed()));
    velka.terminate();
    velka.waitForFinished(10000);
    return 0;
}

// The largest gap between timer events since the last reset.
class GapMeter : public QObject
{
public:
    GapMeter() { m_clock.start(); startTimer(10, Qt::PreciseTimer); }
    qint64 takeLargest()
    {
        const qint64 largest = m_largest;
        m_largest = 0;
        return largest;
    }

protected:
    void timerEvent(QTimerEvent *) override
    {
        const qint64 now = m_clock.elapsed();
        m_largest = qMax(m_largest, now - m_last);
        m_last = now;
    }

private:
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_largest = 0;
};

int stall(int seconds, QProcess &jackd)
{
    qputenv("VELKA_MIDI_API", "jack");
    qputenv("JACK_DEFAULT_SERVER", Server.toLocal8Bit());
    RtMidiIn first(RtMidi::UNIX_JACK, "velka-bench-first");
    first.openVirtualPort("first");
    RtMidiIn second(RtMidi::UNIX_JACK, "velka-bench-second");
    second.openVirtualPort("second");

    QLineEdit window;
    window.show();
    auto midi = std::make_unique<ApplicationMidi>();
    midi->start();
    midi->setThruChoice(true, QStringLiteral("velka-bench-first:first"));
    QElapsedTimer clock;
    clock.start();
    while (midi->thruInstrument()->portName().isEmpty() && clock.elapsed() < 10000)
        QTest::qWait(10);
    GapMeter gaps;
    QTest::qWait(seconds * 1000);
    std::printf("server running %d s: largest gap %lld ms\n", seconds, gaps.takeLargest());

    ::kill(pid_t(jackd.processId()), SIGSTOP);
    midi->setThruChoice(true, QStringLiteral("velka-bench-second:second"));
    midi->pollMidiPorts();
    clock.restart();
    while (clock.elapsed() < seconds * 1000) {
        QTest::keyClicks(&window, QStringLiteral("C4,"));
        QTest::qWait(100);
    }
    std::printf("server stopped %d s: largest gap %lld ms\n", seconds, gaps.takeLargest());
    ::kill(pid_t(jackd.processId()), SIGCONT);
    clock.restart();
    while (midi->thruInstrument()->portName() != QStringLiteral("velka-bench-second:second") && clock.elapsed() < 10000)
        QTest::qWait(10);
    std::printf("after resuming: thru port changed in %lld ms, largest gap %lld ms\n", clock.elapsed(),
                gaps.takeLargest());
    midi.reset();
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const QString mode = arguments.value(1);
    if (mode != QLatin1String("idle") && mode != QLatin1String("stall")) {
        std::fprintf(stderr, "usage: bench_midisystem idle <velka program> [seconds] [document] | stall [seconds]\n");
        return 2;
    }
    QProcess jackd;
    if (!startServer(jackd)) {
        std::fprintf(stderr, "the JACK server did not start\n");
        return 1;
    }
    int status = 0;
    if (mode == QLatin1String("idle"))
        status = idle(arguments.value(2), arguments.value(3, QStringLiteral("30")).toInt(), arguments.value(4));
    else
        status = stall(arguments.value(2, QStringLiteral("10")).toInt(), jackd);
    endServer(jackd);
    return status;
}
