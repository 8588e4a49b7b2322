#include "applicationmidi.h"
#include "engineplayerfactory.h"
#include "midiinstrument.h"
#include "midioutput.h"
#include "midisync.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>

#include <rtmidi/RtMidi.h>

#include <signal.h>

#include <memory>
#include <vector>

// The application's MIDI objects against a JACK server of this test's own,
// which the test stops (SIGSTOP), resumes, and ends and starts again. Only
// this server is ever stopped or ended, and only with SIGTERM.

namespace {

const QString Pid = QString::number(QCoreApplication::applicationPid());

class PrivateServer
{
public:
    PrivateServer() : m_name(QStringLiteral("velka-midi-stop-") + Pid) {}
    ~PrivateServer() { end(); }

    QString name() const { return m_name; }
    QString said() { return QString::fromLocal8Bit(m_process.readAll()); }

    bool start()
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QStringLiteral("jackd"), {QStringLiteral("--no-realtime"), QStringLiteral("-S"),
                                                  QStringLiteral("-n"), m_name, QStringLiteral("-d"),
                                                  QStringLiteral("dummy"), QStringLiteral("-r"),
                                                  QStringLiteral("48000"), QStringLiteral("-p"), QStringLiteral("64")});
        if (!m_process.waitForStarted())
            return false;
        // A loaded machine can take a while to start a server.
        QDeadlineTimer deadline(30000);
        while (!deadline.hasExpired()) {
            if (QProcess::execute(QStringLiteral("jack_lsp"), {QStringLiteral("-s"), m_name}) == 0)
                return true;
            QTest::qWait(100);
        }
        return false;
    }
    void pause() { ::kill(pid_t(m_process.processId()), SIGSTOP); }
    void resume() { ::kill(pid_t(m_process.processId()), SIGCONT); }
    void end()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        resume();
        m_process.terminate();
        m_process.waitForFinished(10000);
    }

private:
    const QString m_name;
    QProcess m_process;
};

// A sound module on the server: a virtual JACK input.
class Sink
{
public:
    explicit Sink(const char *port)
        : m_client((QStringLiteral("velka-stop-%1-").arg(QLatin1String(port)) + Pid).toStdString()),
          m_in(RtMidi::UNIX_JACK, m_client)
    {
        m_in.openVirtualPort(port);
        m_port = QString::fromStdString(m_client) + QLatin1Char(':') + QLatin1String(port);
    }
    QString name() const { return m_port; }

private:
    std::string m_client;
    RtMidiIn m_in;
    QString m_port;
};

// The largest gap between timer events posted every 10 ms on the window's thread.
class GapMeter : public QObject
{
public:
    GapMeter()
    {
        m_clock.start();
        m_timer = startTimer(10, Qt::PreciseTimer);
    }
    qint64 largest() const { return m_largest; }

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
    int m_timer = 0;
};

bool lists(ApplicationMidi &midi, const QString &port)
{
    return midi.outputPortNames().contains(port);
}

} // namespace

class TestStoppedMidiSystemJack : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void stoppedServerLeavesTheWindowAnswering();
    void serverThatGoesAndComesBackBringsItsPortsBack();
    void quittingWhileTheServerIsStopped();

private:
    PrivateServer m_server;
    std::unique_ptr<ApplicationMidi> m_midi;
    std::unique_ptr<Sink> m_first;
    std::unique_ptr<Sink> m_second;
};

void TestStoppedMidiSystemJack::initTestCase()
{
    if (qgetenv("VELKA_MIDI_API") != "jack")
        QSKIP("needs VELKA_MIDI_API=jack");
    if (QStandardPaths::findExecutable(QStringLiteral("jackd")).isEmpty())
        QSKIP("needs jackd");
    QVERIFY2(m_server.start(), qPrintable(m_server.said()));
    qputenv("JACK_DEFAULT_SERVER", m_server.name().toLocal8Bit());
    m_first = std::make_unique<Sink>("first");
    m_second = std::make_unique<Sink>("second");
    m_midi = std::make_unique<ApplicationMidi>();
    m_midi->start();
    QTRY_VERIFY(lists(*m_midi, m_first->name()) && lists(*m_midi, m_second->name()));
    m_midi->setThruChoice(true, m_first->name());
    QTRY_COMPARE(m_midi->thruInstrument()->portName(), m_first->name());
}

void TestStoppedMidiSystemJack::cleanupTestCase()
{
    m_server.resume();
    m_midi.reset();
    m_first.reset();
    m_second.reset();
    m_server.end();
}

void TestStoppedMidiSystemJack::stoppedServerLeavesTheWindowAnswering()
{
    QLineEdit field;
    field.show();
    field.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&field));
    QMenu menu;
    menu.addAction(QStringLiteral("Save"));
    GapMeter gaps;

    // A document with an instrument playing on the first port.
    EnginePlayerFactory players;
    QmdVelkaController::setPlayerFactory(&players);
    QmdMemModel model;
    QmdVelkaController document;
    document.setModel(&model);
    document.requestAddInstrument();
    QTRY_COMPARE(document.instrumentIds().size(), 1);
    const QmdItemId id = document.instrumentIds().first();
    document.requestSetData(QStringLiteral("MidiPort"), m_first->name(), document.instrumentIndex(id));
    MidiInstrument *instrument = nullptr;
    QTRY_VERIFY(instrument = dynamic_cast<MidiInstrument *>(document.instrumentThreads().value(id)));
    QTRY_COMPARE(instrument->portName(), m_first->name());

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^The JACK MIDI system does not answer"));
    m_server.pause();
    QElapsedTimer stopped;
    stopped.start();
    // What asks the MIDI system: another thru port, the lists read again, a
    // document's clock sent to a port, its instrument moved to another.
    m_midi->setThruChoice(true, m_second->name());
    m_midi->pollMidiPorts();
    document.requestSetData(QStringLiteral("MidiPort"), m_second->name(), document.instrumentIndex(id));
    MidiSync clock;
    clock.setController(&document);
    const QString clockPort = m_first->name();
    const QmdRequestOptions options(Qmd::NoUndoHistory);
    document.requestSetType(clockPort, Qmd::StrDict, document.syncMidiOutputsIndex(), options);
    document.requestSetData(QStringLiteral("MidiSync"), true,
                            document.index(clockPort, document.syncMidiOutputsIndex()), options);
    while (stopped.elapsed() < 10000) {
        QTest::keyClicks(&field, QStringLiteral("C4,"));
        menu.popup(QPoint(10, 10));
        QTest::qWait(200);
        menu.hide();
        QTest::qWait(300);
    }
    QVERIFY(m_midi->silenceNotice());
    QVERIFY(m_midi->silenceNotice()->isVisible());
    QVERIFY(!m_midi->silenceNotice()->isModal());
    QVERIFY(field.text().startsWith(QStringLiteral("C4,C4,C4,")));

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^The JACK MIDI system answers again"));
    m_server.resume();
    QTRY_COMPARE_WITH_TIMEOUT(m_midi->thruInstrument()->portName(), m_second->name(), 10000);
    QTRY_VERIFY(!m_midi->silenceNotice());
    QTRY_COMPARE(clock.syncOutputPortNames(), QStringList{clockPort});
    QTRY_COMPARE(instrument->portName(), m_second->name());
    QmdVelkaController::setPlayerFactory(nullptr);
    QVERIFY2(gaps.largest() < 100, qPrintable(QStringLiteral("largest gap %1 ms").arg(gaps.largest())));
}

void TestStoppedMidiSystemJack::serverThatGoesAndComesBackBringsItsPortsBack()
{
    // Ended while the thru port is open on it.
    QVERIFY(m_midi->thruInstrument()->isOpen());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Cannot list MIDI ports"));
    m_server.end();
    QTRY_VERIFY_WITH_TIMEOUT(m_midi->outputPortNames().isEmpty(), 10000);
    QTRY_VERIFY(!m_midi->thruInstrument()->isOpen());
    QVERIFY(m_midi->waitForPorts(5000));
    // The library cannot close a port of a server that is gone: the test's
    // own sinks are kept unclosed.
    static auto *unclosed = new std::vector<std::unique_ptr<Sink>>;
    unclosed->push_back(std::move(m_first));
    unclosed->push_back(std::move(m_second));

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^MIDI ports can be listed again"));
    QVERIFY2(m_server.start(), qPrintable(m_server.said()));
    m_first = std::make_unique<Sink>("first");
    m_second = std::make_unique<Sink>("second");
    QTRY_VERIFY_WITH_TIMEOUT(lists(*m_midi, m_second->name()), 10000);
    // The stored choice opens again by itself.
    QTRY_COMPARE(m_midi->thruInstrument()->portName(), m_second->name());
}

void TestStoppedMidiSystemJack::quittingWhileTheServerIsStopped()
{
    m_server.pause();
    m_midi->setThruChoice(true, m_first->name());
    m_midi->pollMidiPorts();
    QTest::qWait(200);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("quitting without closing its ports"));
    QElapsedTimer quitting;
    quitting.start();
    m_midi.reset();
    QVERIFY2(quitting.elapsed() < 2000, qPrintable(QStringLiteral("%1 ms").arg(quitting.elapsed())));
    m_server.resume();
}

QTEST_MAIN(TestStoppedMidiSystemJack)
#include "tst_stoppedmidisystem_jack.moc"
