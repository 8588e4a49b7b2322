#include "jacksink.h"
#include "midiinput.h"
#include "midioutput.h"

#include <QDeadlineTimer>
#include <QtTest>

#include <jack/jack.h>

#include <atomic>
#include <thread>

// Port lists and port opening over a running JACK server while another
// program keeps coming and going with its ports: a list holds only names of
// ports that exist or existed, and an open either reaches the port asked for
// or fails with a message, leaving nothing open.
namespace {

constexpr int ChurnPorts = 8;
constexpr int ChurnMs = 3000;

// A program that comes and goes: a JACK client of its own that registers a
// handful of MIDI ports in each direction and closes, taking them all away at
// once, over and over until it is destroyed.
class PortChurn
{
public:
    PortChurn()
        : m_clientName("velka-churn-" + QByteArray::number(QCoreApplication::applicationPid()))
    {
        m_thread = std::thread([this] { run(); });
    }

    ~PortChurn()
    {
        m_stop.store(true);
        m_thread.join();
    }

    QString clientName() const { return QString::fromUtf8(m_clientName); }
    // Rounds in which the client came with its ports and went again.
    int rounds() const { return m_rounds.load(); }

private:
    void run()
    {
        while (!m_stop.load()) {
            jack_client_t *client = jack_client_open(m_clientName.constData(),
                                                     JackOptions(JackNoStartServer | JackUseExactName), nullptr);
            if (!client)
                continue;
            for (int n = 0; n < ChurnPorts; ++n) {
                const QByteArray out = "out" + QByteArray::number(n);
                const QByteArray in = "in" + QByteArray::number(n);
                jack_port_register(client, out.constData(), JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
                jack_port_register(client, in.constData(), JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
            }
            jack_client_close(client);
            m_rounds.fetch_add(1);
        }
    }

    const QByteArray m_clientName;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_rounds{0};
    std::thread m_thread;
};

// Names the churning client may have listed, the others a list may hold.
bool expected(const QString &name, const QString &churnClient, const QSet<QString> &others)
{
    return others.contains(name) || name.startsWith(churnClient + QLatin1Char(':'));
}

} // namespace

class TestPortListsJack : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void listsHoldOnlyPortsThatExisted();
    void portOpensWhileOthersChange();
};

void TestPortListsJack::initTestCase()
{
    if (qgetenv("VELKA_MIDI_API") != "jack")
        QSKIP("needs VELKA_MIDI_API=jack and a running JACK server");
}

void TestPortListsJack::listsHoldOnlyPortsThatExisted()
{
    const QSet<QString> inputsBefore = MidiInput::availablePortNames();
    const QSet<QString> outputsBefore = MidiOutput::availablePortNames();
    PortChurn churn;

    int lists = 0;
    const QDeadlineTimer deadline(ChurnMs);
    while (!deadline.hasExpired()) {
        for (const QString &name : MidiInput::availablePortNames())
            QVERIFY2(expected(name, churn.clientName(), inputsBefore), qPrintable(name));
        for (const QString &name : MidiOutput::availablePortNames())
            QVERIFY2(expected(name, churn.clientName(), outputsBefore), qPrintable(name));
        ++lists;
    }
    QVERIFY2(churn.rounds() > 1, "the ports did not change while they were listed");
    qInfo("%d lists over %d rounds of port changes", lists, churn.rounds());
}

void TestPortListsJack::portOpensWhileOthersChange()
{
    JackSink sink("velka-sink", "churn");
    QString name;
    QTRY_VERIFY(!(name = sink.name()).isEmpty());
    PortChurn churn;

    int opened = 0;
    const QDeadlineTimer deadline(ChurnMs);
    while (!deadline.hasExpired()) {
        MidiOutput output;
        // An open whose ports kept moving fails with a message and leaves
        // nothing open; an open that succeeded reaches the port asked for.
        if (!output.open(name)) {
            QVERIFY(!output.isOpen());
            continue;
        }
        QVERIFY(sink.connected(output));
        QVERIFY(output.close());
        ++opened;
    }
    qInfo("%d opens over %d rounds of port changes", opened, churn.rounds());
}

QTEST_GUILESS_MAIN(TestPortListsJack)
#include "tst_portlists_jack.moc"
