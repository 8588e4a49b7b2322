#include "instancemessageframes.h"
#include "singleinstance.h"

#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <chrono>
#include <future>

namespace {

bool finished(const std::future<bool> &future)
{
    return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

} // namespace

// The running instance and the launches that hand it their command lines.
class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void framesSplitAnywhereGiveTheSameMessages_data();
    void framesSplitAnywhereGiveTheSameMessages();
    void oversizedFrameIsRefused();

    void socketNameIsSafeAndPerUser();
    void secondInstanceSeesTheFirst();
    void messagesWaitForDeliveryAndKeepTheirOrder();
    void oversizedFrameClosesOnlyItsConnection();
    void sendingWithoutARunningInstanceGivesUp();
    void lockOfTheRunningInstanceIsReleasedWithIt();
    void folderWithoutRoomForTheLockStillStarts();

private:
    // A later launch in this process: it runs the sender on another thread
    // while this thread's event loop serves the running instance.
    static std::future<bool> sendLater(const QString &identity, const QStringList &messages,
                                   int timeoutMs = SingleInstance::SendTimeoutMs);

    QTemporaryDir m_runtime;
};

void TestSingleInstance::initTestCase()
{
    QVERIFY(m_runtime.isValid());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
}

void TestSingleInstance::framesSplitAnywhereGiveTheSameMessages_data()
{
    QTest::addColumn<int>("chunk");
    QTest::newRow("byte by byte") << 1;
    QTest::newRow("three bytes") << 3;
    QTest::newRow("inside the length") << 2;
    QTest::newRow("all at once") << 100000;
}

void TestSingleInstance::framesSplitAnywhereGiveTheSameMessages()
{
    QFETCH(int, chunk);
    const QStringList messages{QStringLiteral("new"), QStringLiteral("/tmp/Übung 1.vlk"), QString(),
                               QString(3000, QLatin1Char('x'))};
    QByteArray stream;
    for (const QString &message : messages)
        stream += InstanceMessageFrames::encode(message);

    InstanceMessageFrames frames;
    QStringList received;
    for (int i = 0; i < stream.size(); i += chunk) {
        QVERIFY(frames.append(stream.mid(i, chunk)));
        received += frames.takeMessages();
    }
    QCOMPARE(received, messages);
    QVERIFY(frames.takeMessages().isEmpty());
}

void TestSingleInstance::oversizedFrameIsRefused()
{
    QByteArray length(4, Qt::Uninitialized);
    qToBigEndian<quint32>(InstanceMessageFrames::MaxFrameSize + 1, length.data());

    InstanceMessageFrames frames;
    QVERIFY(frames.append(InstanceMessageFrames::encode(QStringLiteral("a"))));
    QVERIFY(!frames.append(length));
    // The stream stays refused: nothing after the bad length is taken as a frame.
    QVERIFY(!frames.append(InstanceMessageFrames::encode(QStringLiteral("b"))));
    QCOMPARE(frames.takeMessages(), QStringList{QStringLiteral("a")});

    // The largest allowed frame passes.
    InstanceMessageFrames largest;
    QVERIFY(largest.append(InstanceMessageFrames::encode(
        QString(int(InstanceMessageFrames::MaxFrameSize), QLatin1Char('y')))));
    QCOMPARE(largest.takeMessages().value(0).size(), int(InstanceMessageFrames::MaxFrameSize));
}

void TestSingleInstance::socketNameIsSafeAndPerUser()
{
    const QString path = SingleInstance::socketPath(QStringLiteral("Velka/1.6.0.695 (linux; x86_64)"));
    QCOMPARE(QFileInfo(path).path(), m_runtime.path());
    QVERIFY2(QRegularExpression(QStringLiteral("^Velka_1\\.6\\.0\\.695__linux__x86_64_-\\d+$"))
                 .match(QFileInfo(path).fileName())
                 .hasMatch(),
             qPrintable(path));

    qputenv("XDG_RUNTIME_DIR", "relative/folder");
    QCOMPARE(QFileInfo(SingleInstance::socketPath(QStringLiteral("x"))).path(), QDir::tempPath());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
}

void TestSingleInstance::secondInstanceSeesTheFirst()
{
    SingleInstance first(QStringLiteral("second-sees-first"));
    QVERIFY(!first.isRunning());
    SingleInstance second(QStringLiteral("second-sees-first"));
    QVERIFY(second.isRunning());
    SingleInstance other(QStringLiteral("another identity"));
    QVERIFY(!other.isRunning());
}

std::future<bool> TestSingleInstance::sendLater(const QString &identity, const QStringList &messages,
                                                int timeoutMs)
{
    return std::async(std::launch::async, [identity, messages, timeoutMs] {
        SingleInstance later(identity);
        return later.isRunning() && later.sendMessages(messages, timeoutMs);
    });
}

void TestSingleInstance::messagesWaitForDeliveryAndKeepTheirOrder()
{
    SingleInstance running(QStringLiteral("ordered"));
    QSignalSpy received(&running, &SingleInstance::messageReceived);

    const QStringList first{QStringLiteral("new"), QStringLiteral("/a.vlk")};
    const QStringList second{QStringLiteral("/b.vlk"), QStringLiteral("/c.vlk"),
                             QStringLiteral("/d.vlk")};
    std::future<bool> sent = sendLater(QStringLiteral("ordered"), first);
    QTRY_VERIFY(finished(sent));
    QVERIFY(sent.get()); // acknowledged while still held back
    sent = sendLater(QStringLiteral("ordered"), second);
    QTRY_VERIFY(finished(sent));
    QVERIFY(sent.get());
    QCOMPARE(received.count(), 0);

    running.startDelivery();
    QStringList delivered;
    for (const QList<QVariant> &signal : std::as_const(received))
        delivered << signal.at(0).toString();
    QCOMPARE(delivered, first + second);

    // From now on each message is delivered on arrival.
    sent = sendLater(QStringLiteral("ordered"), {QStringLiteral("new")});
    QTRY_COMPARE(received.count(), 6);
    QVERIFY(sent.get());
}

void TestSingleInstance::oversizedFrameClosesOnlyItsConnection()
{
    SingleInstance running(QStringLiteral("oversized"));
    running.startDelivery();
    QSignalSpy received(&running, &SingleInstance::messageReceived);

    QLocalSocket socket;
    socket.connectToServer(SingleInstance::socketPath(QStringLiteral("oversized")));
    QVERIFY(socket.waitForConnected(1000));
    QByteArray length(4, Qt::Uninitialized);
    qToBigEndian<quint32>(InstanceMessageFrames::MaxFrameSize + 1, length.data());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^A later launch sent a message longer than"));
    socket.write(length + QByteArray(100, 'z'));
    socket.flush();
    QTRY_COMPARE(socket.state(), QLocalSocket::UnconnectedState);
    QCOMPARE(received.count(), 0);

    // The next launch is heard as usual.
    std::future<bool> sent = sendLater(QStringLiteral("oversized"), {QStringLiteral("new")});
    QTRY_COMPARE(received.count(), 1);
    QTRY_VERIFY(finished(sent));
    QVERIFY(sent.get());
}

void TestSingleInstance::sendingWithoutARunningInstanceGivesUp()
{
    auto holder = std::make_unique<SingleInstance>(QStringLiteral("gone"));
    SingleInstance later(QStringLiteral("gone"));
    QVERIFY(later.isRunning());
    holder.reset(); // the socket goes with it

    QElapsedTimer clock;
    clock.start();
    QVERIFY(!later.sendMessages({QStringLiteral("new")}, 300));
    QVERIFY(clock.elapsed() >= 300);
}

void TestSingleInstance::lockOfTheRunningInstanceIsReleasedWithIt()
{
    {
        SingleInstance first(QStringLiteral("released"));
        QVERIFY(!first.isRunning());
    }
    SingleInstance next(QStringLiteral("released"));
    QVERIFY(!next.isRunning());
}

void TestSingleInstance::folderWithoutRoomForTheLockStillStarts()
{
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.filePath(QStringLiteral("missing/folder"))));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Cannot create .*\\.lock"));
    SingleInstance alone(QStringLiteral("alone"));
    QVERIFY(!alone.isRunning());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
