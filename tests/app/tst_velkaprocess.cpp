#include "singleinstance.h"
#include "velkaapplication.h"

#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The program as processes: which launch becomes the running instance, what
// a crash leaves behind, and how quiet it stays without a MIDI system.
class TestVelkaProcess : public QObject
{
    Q_OBJECT

private slots:
    void simultaneousLaunchesGiveOnePrimaryEach();
    void launchAfterAKilledInstanceBecomesPrimary();
    void launchThatCannotHandOverFailsAndSaysSo();
    void withoutAMidiSystemTheWindowShowsQuietly_data();
    void withoutAMidiSystemTheWindowShowsQuietly();

private:
    // A launch with its own runtime and settings folders and no MIDI system
    // at all (withoutAMidiSystemTheWindowShowsQuietly names one).
    std::unique_ptr<QProcess> start(const QTemporaryDir &runtime,
                                    const QProcessEnvironment &extra = QProcessEnvironment(),
                                    const QStringList &arguments = QStringList());
    static void stop(QProcess &process);

    QTemporaryDir m_config;
};

std::unique_ptr<QProcess> TestVelkaProcess::start(const QTemporaryDir &runtime,
                                                  const QProcessEnvironment &extra,
                                                  const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
    // Instances here are killed: they never touch a MIDI system (see README).
    environment.insert(QStringLiteral("VELKA_MIDI_API"), QStringLiteral("none"));
    environment.insert(QStringLiteral("JACK_DEFAULT_SERVER"),
                       QStringLiteral("velka-absent-%1").arg(QCoreApplication::applicationPid()));
    environment.insert(QStringLiteral("JACK_NO_START_SERVER"), QStringLiteral("1"));
    for (const QString &key : extra.keys())
        environment.insert(key, extra.value(key));

    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment);
    process->start(QStringLiteral(VELKA_EXECUTABLE), arguments);
    return process;
}

void TestVelkaProcess::stop(QProcess &process)
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
}

void TestVelkaProcess::simultaneousLaunchesGiveOnePrimaryEach()
{
    QVERIFY(m_config.isValid());
    for (int pair = 0; pair < 10; ++pair) {
        QTemporaryDir runtime;
        QVERIFY(runtime.isValid());
        std::unique_ptr<QProcess> first = start(runtime);
        std::unique_ptr<QProcess> second = start(runtime);
        QVERIFY(first->waitForStarted() && second->waitForStarted());

        // The launch that finds the other running hands over and ends.
        QDeadlineTimer deadline(15000);
        while (first->state() != QProcess::NotRunning && second->state() != QProcess::NotRunning
               && !deadline.hasExpired()) {
            first->waitForFinished(20);
            second->waitForFinished(20);
        }
        QProcess *ended = first->state() == QProcess::NotRunning ? first.get() : second.get();
        QProcess *running = ended == first.get() ? second.get() : first.get();
        QVERIFY2(ended->state() == QProcess::NotRunning, qPrintable(QStringLiteral("pair %1").arg(pair)));
        QCOMPARE(ended->exitStatus(), QProcess::NormalExit);
        QCOMPARE(ended->exitCode(), 0);
        QVERIFY2(!running->waitForFinished(500), qPrintable(QStringLiteral("pair %1").arg(pair)));
        stop(*running);
    }
}

void TestVelkaProcess::launchAfterAKilledInstanceBecomesPrimary()
{
    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const QString socket = SingleInstance::socketPath(VelkaApplication::instanceIdentity());

    std::unique_ptr<QProcess> crashed = start(runtime);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(socket), 15000);
    crashed->kill();
    QVERIFY(crashed->waitForFinished());
    // Lock file and socket are left behind.
    QVERIFY(QFile::exists(socket + QStringLiteral(".lock")));

    std::unique_ptr<QProcess> next = start(runtime);
    QVERIFY(next->waitForStarted());
    QVERIFY(!next->waitForFinished(3000));

    // And it answers the launch after it.
    std::unique_ptr<QProcess> later = start(runtime);
    QVERIFY(later->waitForFinished(15000));
    QCOMPARE(later->exitCode(), 0);
    QVERIFY(next->state() == QProcess::Running);
    stop(*next);
}

void TestVelkaProcess::launchThatCannotHandOverFailsAndSaysSo()
{
    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const QString socket = SingleInstance::socketPath(VelkaApplication::instanceIdentity());
    // An instance that holds the identity but never listens.
    QLockFile held(socket + QStringLiteral(".lock"));
    QVERIFY(held.tryLock(0));

    const QString file = runtime.filePath(QStringLiteral("piece.vlk"));
    std::unique_ptr<QProcess> launch = start(runtime, QProcessEnvironment(), {file});
    QVERIFY(launch->waitForFinished(SingleInstance::SendTimeoutMs + 10000));
    QCOMPARE(launch->exitStatus(), QProcess::NormalExit);
    QCOMPARE(launch->exitCode(), 1);
    const QString said = QString::fromLocal8Bit(launch->readAllStandardError());
    QVERIFY2(said.contains(QStringLiteral("did not answer")) && said.contains(file), qPrintable(said));
}

void TestVelkaProcess::withoutAMidiSystemTheWindowShowsQuietly_data()
{
    QTest::addColumn<QString>("api");
    QTest::newRow("JACK without a server") << QStringLiteral("jack");
    QTest::newRow("unknown API name") << QStringLiteral("no-such-api");
}

void TestVelkaProcess::withoutAMidiSystemTheWindowShowsQuietly()
{
    QFETCH(QString, api);
    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    QProcessEnvironment extra;
    extra.insert(QStringLiteral("VELKA_MIDI_API"), api);
    std::unique_ptr<QProcess> velka = start(runtime, extra);
    QVERIFY(velka->waitForStarted());
    // Five port polls and more.
    QVERIFY(!velka->waitForFinished(5500));
    stop(*velka);

    QStringList lines;
    const QStringList output = QString::fromLocal8Bit(velka->readAllStandardError()).split(QLatin1Char('\n'));
    for (const QString &line : output) {
        // The offscreen platform's own notices are not the program's.
        if (!line.trimmed().isEmpty() && !line.startsWith(QLatin1String("This plugin does not support")))
            lines << line;
    }
    QVERIFY2(lines.size() <= 2, qPrintable(lines.join(QLatin1Char('\n'))));
    QVERIFY2(lines.filter(QStringLiteral("Cannot list MIDI ports")).size() == 1,
             qPrintable(lines.join(QLatin1Char('\n'))));
}

QTEST_GUILESS_MAIN(TestVelkaProcess)
#include "tst_velkaprocess.moc"
