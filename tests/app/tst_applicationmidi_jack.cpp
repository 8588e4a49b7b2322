#include "abstractsync.h"
#include "applicationmidi.h"
#include "thrulimit.h"
#include "auditionoutput.h"
#include "engineplayerfactory.h"
#include "mididevicecloser.h"
#include "midievent.h"
#include "midiinput.h"
#include "midiinstrument.h"
#include "midioutput.h"
#include "outputportnames.h"
#include "ownmidiports.h"
#include "portrecord.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"

#include <QMutex>
#include <QSignalSpy>
#include <QWidget>
#include <QtTest>

#include <rtmidi/RtMidi.h>

#include <atomic>
#include <memory>

// The application's MIDI objects against real ports of a running JACK server:
// the test's own virtual ports play the keyboard (a source the application
// reads) and the sound module (a sink the thru port plays to).

using Bytes = std::vector<unsigned char>;

namespace {

const QByteArray Pid = QByteArray::number(QCoreApplication::applicationPid());
const Bytes Probe{0xF6};

QString findPort(const QSet<QString> &names, const QString &client, const QString &port)
{
    for (const QString &name : names) {
        if (name.startsWith(client) && name.endsWith(QLatin1Char(':') + port))
            return name;
    }
    return QString();
}

// A keyboard: a virtual JACK output the application lists as an input port.
class Source
{
public:
    Source(const QByteArray &client, const char *port)
        : m_client(QString::fromLatin1(client + '-' + Pid)), m_port(QString::fromLatin1(port)),
          m_out(RtMidi::UNIX_JACK, m_client.toStdString())
    {
        m_out.openVirtualPort(port);
    }
    QString name() const { return findPort(MidiInput::availablePortNames(), m_client, m_port); }
    void send(const Bytes &bytes) { m_out.sendMessage(&bytes); }

private:
    const QString m_client;
    const QString m_port;
    RtMidiOut m_out;
};

// Every JACK MIDI port the library offers in one direction, Velka's too.
QStringList everyPort(MidiDirection direction)
{
    const std::string client = "velka-probe-" + Pid.toStdString();
    const auto names = [](RtMidi &midi) {
        QStringList listed;
        for (unsigned int i = 0; i < midi.getPortCount(); ++i)
            listed << QString::fromStdString(midi.getPortName(i));
        return listed;
    };
    if (direction == MidiDirection::Input) {
        RtMidiIn in(RtMidi::UNIX_JACK, client);
        return names(in);
    }
    RtMidiOut out(RtMidi::UNIX_JACK, client);
    return names(out);
}

QString ownPort(const QStringList &names)
{
    for (const QString &name : names) {
        if (name.startsWith(QLatin1String("Velka")) && OwnMidiPorts::contains(name))
            return name;
    }
    return QString();
}

// A program that sends back whatever it hears.
class Echo
{
public:
    Echo() : m_in(RtMidi::UNIX_JACK, client().toStdString()), m_out(RtMidi::UNIX_JACK, client().toStdString())
    {
        m_out.openVirtualPort("echo out");
        m_in.ignoreTypes(false, false, false);
        m_in.setCallback(&Echo::received, this);
        m_in.openVirtualPort("echo in");
    }
    static QString client() { return QStringLiteral("velka-echo-") + QString::fromLatin1(Pid); }
    void play(const Bytes &bytes) { m_out.sendMessage(&bytes); }
    int heard() const { return m_heard.load(); }

private:
    static void received(double, std::vector<unsigned char> *message, void *echo)
    {
        auto *self = static_cast<Echo *>(echo);
        ++self->m_heard;
        self->m_out.sendMessage(message);
    }

    RtMidiIn m_in;
    RtMidiOut m_out;
    std::atomic<int> m_heard{0};
};

// A sound module: a virtual JACK input that records what arrives.
class Sink
{
public:
    Sink(const QByteArray &client, const char *port)
        : m_client(QString::fromLatin1(client + '-' + Pid)), m_port(QString::fromLatin1(port)),
          m_in(RtMidi::UNIX_JACK, m_client.toStdString())
    {
        m_in.ignoreTypes(false, false, false);
        m_in.setCallback(&Sink::received, this);
        m_in.openVirtualPort(port);
    }
    static QString nameOf(const QByteArray &client, const char *port)
    {
        return QString::fromLatin1(client + '-' + Pid + ':' + port);
    }
    QString name() const { return findPort(MidiOutput::availablePortNames(), m_client, m_port); }
    QList<Bytes> messages() const
    {
        QMutexLocker locker(&m_mutex);
        return m_messages;
    }
    void clear()
    {
        QMutexLocker locker(&m_mutex);
        m_messages.clear();
    }

private:
    static void received(double, std::vector<unsigned char> *message, void *sink)
    {
        auto *self = static_cast<Sink *>(sink);
        QMutexLocker locker(&self->m_mutex);
        self->m_messages << *message;
    }

    const QString m_client;
    const QString m_port;
    mutable QMutex m_mutex;
    QList<Bytes> m_messages;
    RtMidiIn m_in;
};

// A widget that keeps the MIDI events it is sent.
class MidiRecorder : public QWidget
{
public:
    QList<Bytes> received;

protected:
    void customEvent(QEvent *event) override
    {
        if (event->type() == MidiEvent::eventType()) {
            const QVector<unsigned char> &message = static_cast<MidiEvent *>(event)->message();
            received << Bytes(message.begin(), message.end());
        }
    }
};

} // namespace

class TestApplicationMidiJack : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void portListsAreSortedAndAnnouncedOnChange();
    void inputReachesTheFocusedWidgetAndThru();
    void withoutFocusThruStillForwards();
    void sameThruPortAgainIsNotReopened();
    void auditionsPlayOnTheThruPort();
    void withoutThruPortNothingIsQueued();
    void failedThruOpenLeavesTheThreadPaused();
    void absentPortOpensWhenItAppearsAndFollowsItsDevice();
    void documentsComeAndGoOnAPortWhileTheListsAreRead();
    void ownPortsAreNeitherListedNorOpened();
    void thruLoopThroughAnotherProgramIsCut();

private:
    // Sends probes until one came through, so that JACK has connected the ports.
    bool connectSource(Source &source, Sink *sink);

    EnginePlayerFactory m_factory;
    std::unique_ptr<ApplicationMidi> m_midi;
    std::unique_ptr<MidiRecorder> m_focus;
    std::unique_ptr<Source> m_keys;
    std::unique_ptr<Sink> m_module;
};

void TestApplicationMidiJack::initTestCase()
{
    if (qgetenv("VELKA_MIDI_API") != "jack")
        QSKIP("needs VELKA_MIDI_API=jack and a running JACK server");
    m_midi = std::make_unique<ApplicationMidi>();
    QVERIFY(!AuditionOutput::installed());
    m_midi->start();
    QVERIFY(AuditionOutput::installed());
    QVERIFY(m_midi->thruSync()->isPlaying());
    QVERIFY(m_midi->thruInstrument()->state() != AbstractOutputThread::Playing);

    m_focus = std::make_unique<MidiRecorder>();
    m_focus->setFocusPolicy(Qt::StrongFocus);
    m_focus->show();
    m_focus->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_focus.get()));
    m_focus->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), m_focus.get());

    m_keys = std::make_unique<Source>("velka-keys", "keys");
    m_module = std::make_unique<Sink>("velka-module", "module");
    QTRY_VERIFY(!m_keys->name().isEmpty());
    QTRY_VERIFY(!m_module->name().isEmpty());
    QTRY_VERIFY(m_midi->inputPortNames().contains(m_keys->name()));
    QTRY_VERIFY(m_midi->outputPortNames().contains(m_module->name()));
    // A loaded server slow to answer at first brings up the notice, which the
    // offscreen platform lets take the focus.
    if (QMessageBox *notice = m_midi->silenceNotice())
        notice->close();
    m_focus->activateWindow();
    m_focus->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), m_focus.get());
}

void TestApplicationMidiJack::cleanupTestCase()
{
    QmdVelkaController::setPlayerFactory(nullptr);
    OutputPortNames::setSource({});
    m_midi.reset();
    QVERIFY(!AuditionOutput::installed());
    m_module.reset();
    m_keys.reset();
    m_focus.reset();
}

bool TestApplicationMidiJack::connectSource(Source &source, Sink *sink)
{
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        source.send(Probe);
        QTest::qWait(20);
        const bool heard = m_focus->received.contains(Probe);
        if (heard && (!sink || sink->messages().contains(Probe))) {
            QTest::qWait(50); // late probes
            m_focus->received.clear();
            if (sink)
                sink->clear();
            return true;
        }
    }
    return false;
}

void TestApplicationMidiJack::portListsAreSortedAndAnnouncedOnChange()
{
    QSignalSpy changed(m_midi.get(), &ApplicationMidi::midiInputPortsChanged);
    QSignalSpy outputsChanged(m_midi.get(), &ApplicationMidi::midiOutputPortsChanged);
    {
        Source ten("velka-x", "X 10");
        Source two("velka-x", "X 2");
        Source nine("velka-x", "X 9");
        // Told by the MIDI system, without asking.
        QTRY_VERIFY(!ten.name().isEmpty() && !two.name().isEmpty() && !nine.name().isEmpty());
        QTRY_VERIFY(m_midi->inputPortNames().contains(ten.name()) && m_midi->inputPortNames().contains(two.name())
                    && m_midi->inputPortNames().contains(nine.name()));
        QVERIFY(changed.count() >= 1);
        QCOMPARE(outputsChanged.count(), 0);
        const int announced = changed.count();
        QStringList ours;
        for (const QString &name : m_midi->sortedInputPortNames()) {
            if (name.startsWith(QStringLiteral("velka-x-")))
                ours << name.section(QLatin1Char(':'), 1);
        }
        QCOMPARE(ours, (QStringList{"X 2", "X 9", "X 10"}));
        QCOMPARE(m_midi->inputPortNames().size(), m_midi->sortedInputPortNames().size());

        m_midi->pollMidiPorts();
        QTest::qWait(100);
        QCOMPARE(changed.count(), announced);
    }
    QTRY_VERIFY(m_midi->inputPortNames().size() == m_midi->sortedInputPortNames().size()
                && findPort(m_midi->inputPortNames(), QStringLiteral("velka-x-"), QStringLiteral("X 2")).isEmpty());
}

void TestApplicationMidiJack::inputReachesTheFocusedWidgetAndThru()
{
    m_midi->setInputChoice(true, m_keys->name());
    m_midi->setThruChoice(true, m_module->name());
    QTRY_VERIFY(m_midi->midiInput()->isOpen());
    QCOMPARE(m_midi->midiInput()->channels(), QBitArray(16, true));
    QTRY_VERIFY(m_midi->thruInstrument()->isOpen());
    QTRY_COMPARE(m_midi->thruInstrument()->state(), AbstractOutputThread::Playing);
    QBitArray firstChannel(16);
    firstChannel.setBit(0);
    QCOMPARE(m_midi->thruInstrument()->channels(), firstChannel);
    QVERIFY(connectSource(*m_keys, m_module.get()));

    const QList<Bytes> played{{0xFA}, {0xC0, 5}, {0x90, 60, 100}};
    for (const Bytes &message : played)
        m_keys->send(message);
    QTRY_COMPARE(m_focus->received, played);
    QTRY_COMPARE(m_module->messages(), played);
    QTest::qWait(100);
    QCOMPARE(m_module->messages(), played); // once each
    QCOMPARE(m_focus->received, played);
    m_focus->received.clear();
    m_module->clear();
}

void TestApplicationMidiJack::withoutFocusThruStillForwards()
{
    m_focus->clearFocus();
    QTRY_COMPARE(QApplication::focusWidget(), nullptr);
    m_keys->send({0x80, 60, 0});
    QTRY_COMPARE(m_module->messages(), (QList<Bytes>{{0x80, 60, 0}}));
    QVERIFY(m_focus->received.isEmpty());
    m_module->clear();
    m_focus->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), m_focus.get());
}

void TestApplicationMidiJack::sameThruPortAgainIsNotReopened()
{
    MidiInstrument *thru = m_midi->thruInstrument();
    const std::shared_ptr<PortRecord> port = thru->portHandle();
    QVERIFY(port);
    m_midi->setThruChoice(true, m_module->name());
    m_midi->setInputChoice(true, m_keys->name());
    QVERIFY(m_midi->waitForPorts(5000));
    QCOMPARE(thru->portHandle(), port);
    QCOMPARE(thru->state(), AbstractOutputThread::Playing);
    QTest::qWait(100);
    // A reopen would have silenced the channel on closing.
    QVERIFY(m_module->messages().isEmpty());
}

void TestApplicationMidiJack::auditionsPlayOnTheThruPort()
{
    AuditionOutput *audition = AuditionOutput::installed();
    MidiInstrument *thru = m_midi->thruInstrument();
    QVERIFY(audition->isOpen());
    QCOMPARE(&audition->eventQueue(), &thru->eventQueue());
    const quint64 now = m_midi->thruSync()->currentTick();
    QVERIFY(audition->currentTick() >= now);
    QVERIFY(audition->currentTick() - now < AbstractSync::TicksPerPrincipal);

    m_module->clear();
    audition->allNotesOff();
    QTRY_COMPARE(m_module->messages(), (QList<Bytes>{{0xB0, 123, 0}}));
    m_module->clear();
    const quint64 t0 = audition->currentTick();
    QVERIFY(audition->eventQueue().insertPair(InstrumentEvent::noteOn(t0, 64, 64),
                                              InstrumentEvent::noteOff(t0 + 1000, 64, 64)));
    QTRY_COMPARE(m_module->messages(), (QList<Bytes>{{0x90, 64, 64}, {0x80, 64, 64}}));
    m_module->clear();
}

void TestApplicationMidiJack::withoutThruPortNothingIsQueued()
{
    m_midi->setThruChoice(true, QString());
    QVERIFY(m_midi->waitForPorts(5000));
    // The port's last All Notes Off is on its way until the port is closed.
    QVERIFY(MidiDeviceCloser::waitUntilIdle(5000));
    MidiInstrument *thru = m_midi->thruInstrument();
    QVERIFY(!thru->isOpen());
    QVERIFY(!AuditionOutput::installed()->isOpen());
    QVERIFY(thru->state() != AbstractOutputThread::Playing);
    m_module->clear();

    m_keys->send({0x90, 62, 90});
    QTRY_COMPARE(m_focus->received, (QList<Bytes>{{0x90, 62, 90}}));
    QVERIFY(thru->eventQueue().isEmpty());
    QTest::qWait(50);
    QVERIFY(m_module->messages().isEmpty());
    m_focus->received.clear();

    // Disabled, a chosen port stays closed too.
    m_midi->setThruChoice(false, m_module->name());
    QVERIFY(m_midi->waitForPorts(5000));
    QVERIFY(!thru->isOpen());
}

void TestApplicationMidiJack::failedThruOpenLeavesTheThreadPaused()
{
    QString name;
    {
        Sink gone("velka-gone", "gone");
        QTRY_VERIFY(!(name = gone.name()).isEmpty());
        QTRY_VERIFY(m_midi->outputPortNames().contains(name));
        // Chosen while it goes: the open may fail.
        m_midi->setThruChoice(true, name);
    }
    QVERIFY(m_midi->waitForPorts(5000));
    MidiInstrument *thru = m_midi->thruInstrument();
    QTRY_VERIFY(!m_midi->outputPortNames().contains(name));
    QVERIFY(m_midi->waitForPorts(5000));
    QVERIFY(!thru->isOpen());
    QTest::qWait(50);
    QVERIFY(thru->state() != AbstractOutputThread::Playing);
}

void TestApplicationMidiJack::absentPortOpensWhenItAppearsAndFollowsItsDevice()
{
    const QString name = Sink::nameOf("velka-late", "late");
    m_midi->setThruChoice(true, name);
    QVERIFY(m_midi->waitForPorts(5000));
    MidiInstrument *thru = m_midi->thruInstrument();
    QVERIFY(!thru->isOpen());

    // The MIDI system tells of the device, which is taken up.
    auto late = std::make_unique<Sink>("velka-late", "late");
    QTRY_VERIFY_WITH_TIMEOUT(thru->isOpen(), 2000);
    QCOMPARE(thru->portName(), name);
    QTRY_COMPARE(thru->state(), AbstractOutputThread::Playing);

    // Unplugged, it closes; plugged in again, it opens again.
    late.reset();
    QTRY_VERIFY_WITH_TIMEOUT(!thru->isOpen(), 2000);
    late = std::make_unique<Sink>("velka-late", "late");
    QTRY_VERIFY_WITH_TIMEOUT(thru->isOpen(), 2000);
    QVERIFY(connectSource(*m_keys, late.get()));
    m_keys->send({0x90, 64, 80});
    QTRY_COMPARE(late->messages(), (QList<Bytes>{{0x90, 64, 80}}));
    m_midi->setThruChoice(true, QString());
}

void TestApplicationMidiJack::documentsComeAndGoOnAPortWhileTheListsAreRead()
{
    // As when files open at start-up and from later launches: each document's
    // instrument opens its port while the lists are read, reaches it, and
    // closes it again with the document.
    OutputPortNames::setSource([] { return MidiOutput::availablePortNames(); });
    QmdVelkaController::setPlayerFactory(&m_factory);
    const QString port = m_module->name();
    for (unsigned char pitch = 60; pitch < 64; ++pitch) {
        QmdMemModel model;
        auto controller = std::make_unique<QmdVelkaController>();
        controller->setModel(&model);
        controller->requestAddInstrument();
        m_midi->pollMidiPorts();
        QTRY_COMPARE(controller->instrumentIds().size(), 1);
        const QmdItemId instrument = controller->instrumentIds().first();
        controller->requestSetData(QStringLiteral("MidiPort"), port, controller->instrumentIndex(instrument));
        m_midi->pollMidiPorts();
        MidiInstrument *player = nullptr;
        QTRY_VERIFY(player = dynamic_cast<MidiInstrument *>(controller->instrumentThreads().value(instrument)));
        QTRY_COMPARE(player->portName(), port);

        // JACK connects the port a little after it opened: sent until heard.
        const auto heard = [&] {
            for (const Bytes &message : m_module->messages()) {
                if (message.size() == 3 && (message[0] & 0xF0) == 0x90 && message[1] == pitch)
                    return true;
            }
            return false;
        };
        QDeadlineTimer deadline(10000);
        while (!heard() && !deadline.hasExpired()) {
            player->outputEventNow(InstrumentEvent::noteOn(0, pitch, 100));
            QTest::qWait(20);
        }
        QVERIFY2(heard(), qPrintable(QStringLiteral("document %1 did not reach its port").arg(pitch - 59)));
        controller.reset();
        m_midi->pollMidiPorts();
        m_module->clear();
    }
}

void TestApplicationMidiJack::ownPortsAreNeitherListedNorOpened()
{
    // With the input and thru open, Velka has clients of its own on the server.
    m_midi->setInputChoice(true, m_keys->name());
    m_midi->setThruChoice(true, m_module->name());
    QVERIFY(m_midi->waitForPorts(5000));
    QTRY_VERIFY(m_midi->thruInstrument()->isOpen());
    QString ownInput;  // Velka's thru, as an input reads it
    QString ownOutput; // Velka's input, as an output writes to it
    QTRY_VERIFY(!(ownInput = ownPort(everyPort(MidiDirection::Input))).isEmpty());
    QTRY_VERIFY(!(ownOutput = ownPort(everyPort(MidiDirection::Output))).isEmpty());

    // Another running Velka: its clients carry the same name, which JACK
    // numbers ("Velka-02").
    RtMidiOut otherInstance(RtMidi::UNIX_JACK, OwnMidiPorts::clientName());
    otherInstance.openVirtualPort("RtMidi Output");
    QStringList others;
    QTRY_VERIFY(!(others = everyPort(MidiDirection::Input).filter(QStringLiteral("RtMidi Output"))).isEmpty()
                && others.size() >= 2 && OwnMidiPorts::contains(others.first()) && OwnMidiPorts::contains(others.last()));
    m_midi->pollMidiPorts();
    QTest::qWait(100);

    const QSet<QString> listed = m_midi->inputPortNames() + m_midi->outputPortNames() + MidiInput::availablePortNames()
                                 + MidiOutput::availablePortNames();
    for (const QString &name : listed)
        QVERIFY2(!OwnMidiPorts::contains(name), qPrintable(name));
    OutputPortNames::setSource([] { return MidiOutput::availablePortNames(); });
    QVERIFY(!OwnMidiPorts::contains(OutputPortNames::chooseDefault(OutputPortNames::available())));
    OutputPortNames::setSource({});

    // Stored choices naming them are ports that are not present.
    m_midi->setInputChoice(true, ownInput);
    m_midi->setThruChoice(true, ownOutput);
    QVERIFY(m_midi->waitForPorts(5000));
    QVERIFY(!m_midi->midiInput()->isOpen());
    QVERIFY(!m_midi->thruInstrument()->isOpen());

    // Named directly (a clock port stored in a document), they are refused.
    MidiOutput output;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Cannot open MIDI port .* Velka itself"));
    QVERIFY(!output.open(ownOutput));

    m_midi->setInputChoice(true, m_keys->name());
    m_midi->setThruChoice(true, m_module->name());
    QVERIFY(m_midi->waitForPorts(5000));
    QTRY_VERIFY(m_midi->thruInstrument()->isOpen());
}

void TestApplicationMidiJack::thruLoopThroughAnotherProgramIsCut()
{
    Echo echo;
    QString from;
    QString to;
    QTRY_VERIFY(!(from = findPort(m_midi->inputPortNames(), echo.client(), QStringLiteral("echo out"))).isEmpty());
    QTRY_VERIFY(!(to = findPort(m_midi->outputPortNames(), echo.client(), QStringLiteral("echo in"))).isEmpty());
    m_midi->setInputChoice(true, from);
    m_midi->setThruChoice(true, to);
    QVERIFY(m_midi->waitForPorts(5000));
    QTRY_COMPARE(m_midi->thruInstrument()->state(), AbstractOutputThread::Playing);

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^More than 250 MIDI messages a second came in"));
    // JACK connects the ports a little after they opened: played until a note
    // came round, then a handful more set going.
    QDeadlineTimer deadline(10000);
    while (echo.heard() < 2 && !deadline.hasExpired()) {
        echo.play({0x90, 60, 100});
        QTest::qWait(20);
    }
    QVERIFY(echo.heard() >= 2);
    for (unsigned char pitch = 61; pitch < 71; ++pitch)
        echo.play({0x90, pitch, 100});
    QTest::qWait(2000);
    const int circulated = echo.heard();
    QTest::qWait(1500);
    QCOMPARE(echo.heard(), circulated);
    QVERIFY2(circulated < 4 * ThruLimit::MaxPerSecond, qPrintable(QString::number(circulated)));

    m_midi->setInputChoice(true, m_keys->name());
    m_midi->setThruChoice(true, m_module->name());
    QVERIFY(m_midi->waitForPorts(5000));
    QTRY_VERIFY(m_midi->thruInstrument()->isOpen());
}

QTEST_MAIN(TestApplicationMidiJack)
#include "tst_applicationmidi_jack.moc"
