#include "singleinstance.h"

#include "instancemessageframes.h"

#include <QDebug>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QRegularExpression>
#include <QThread>

#include <unistd.h>

namespace {

const char Acknowledgement = '\x06';
constexpr int ConnectRetryMs = 50;

} // namespace

SingleInstance::SingleInstance(const QString &identity, QObject *parent)
    : QObject(parent)
    , m_socketPath(socketPath(identity))
    , m_lock(std::make_unique<QLockFile>(m_socketPath + QStringLiteral(".lock")))
{
    // Held for the whole life of the instance: only a lock whose process is
    // gone counts as stale, never an old one.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        if (m_lock->error() == QLockFile::LockFailedError)
            return; // another instance holds it
        // A folder that cannot take the lock must not keep the program from starting.
        qWarning().noquote() << "Cannot create" << m_socketPath + QStringLiteral(".lock")
                             << "- later launches will start instances of their own";
        m_alone = true;
        return;
    }

    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket left behind by a crashed instance would refuse the listen.
    QLocalServer::removeServer(m_socketPath);
    if (!m_server->listen(m_socketPath))
        qWarning().noquote() << "Later launches cannot reach this one:" << m_server->errorString();
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
}

bool SingleInstance::isRunning() const
{
    return !m_alone && !m_lock->isLocked();
}

QString SingleInstance::socketPath(const QString &identity)
{
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]"));
    QString name = identity;
    name.replace(unsafe, QStringLiteral("_"));
    name += QLatin1Char('-') + QString::number(::getuid());

    QString folder = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder))
        folder = QDir::tempPath();
    return QDir(folder).filePath(name);
}

bool SingleInstance::sendMessages(const QStringList &messages, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(m_socketPath);
        if (socket.waitForConnected(int(qMax<qint64>(0, deadline.remainingTime()))))
            break;
        socket.abort();
        if (deadline.hasExpired())
            return false;
        QThread::msleep(ConnectRetryMs);
    }

    for (const QString &message : messages)
        socket.write(InstanceMessageFrames::encode(message));
    int acknowledged = 0;
    while (acknowledged < messages.size()) {
        if (socket.bytesAvailable() == 0
            && !socket.waitForReadyRead(int(qMax<qint64>(0, deadline.remainingTime()))))
            return false;
        acknowledged += socket.readAll().count(Acknowledgement);
    }
    socket.disconnectFromServer();
    return true;
}

void SingleInstance::startDelivery()
{
    m_delivering = true;
    const QStringList pending = std::exchange(m_pending, {});
    for (const QString &message : pending)
        emit messageReceived(message);
}

void SingleInstance::onNewConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        auto frames = std::make_shared<InstanceMessageFrames>();
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, frames] {
            if (!frames->append(socket->readAll())) {
                qWarning() << "A later launch sent a message longer than"
                           << InstanceMessageFrames::MaxFrameSize << "bytes; ignored";
                socket->abort();
                socket->deleteLater();
                return;
            }
            // Acknowledged before they are handled: handling may open files and
            // run dialogs while the sender waits.
            const QStringList messages = frames->takeMessages();
            if (messages.isEmpty())
                return;
            socket->write(QByteArray(messages.size(), Acknowledgement));
            socket->flush();
            for (const QString &message : messages)
                receive(message);
        });
    }
}

void SingleInstance::receive(const QString &message)
{
    if (m_delivering)
        emit messageReceived(message);
    else
        m_pending.append(message);
}
