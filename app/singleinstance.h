#ifndef SINGLEINSTANCE_H
#define SINGLEINSTANCE_H

#include <QObject>
#include <QStringList>

#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

// One running instance per identity and user. The first launch takes a lock
// file and listens on a local socket beside it; a later launch finds the lock
// taken and sends its messages through the socket instead. The lock belongs
// to the running process, so a crashed instance leaves nothing that blocks the
// next launch.
//
// Messages are acknowledged one by one as they arrive. The running instance
// keeps them until startDelivery(), then emits them in arrival order.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    static constexpr int SendTimeoutMs = 5000;

    explicit SingleInstance(const QString &identity, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when another process holds the identity: this one only sends.
    bool isRunning() const;

    // Sends the messages in order, connecting for as long as the running
    // instance may still be starting. True when every message was
    // acknowledged before the timeout.
    bool sendMessages(const QStringList &messages, int timeoutMs = SendTimeoutMs);

    // Emits the messages received so far, then every later one on arrival.
    void startDelivery();

    // Where the socket of an identity lives: XDG_RUNTIME_DIR when it is an
    // absolute path, else the temporary folder; the name keeps the letters,
    // digits, ".", "_" and "-" of the identity, the others become "_", and
    // the user id follows.
    static QString socketPath(const QString &identity);

signals:
    void messageReceived(const QString &message);

private:
    void onNewConnection();
    void receive(const QString &message);

    const QString m_socketPath;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    bool m_alone = false; // no lock could be made: runs on its own, unreachable
    bool m_delivering = false;
    QStringList m_pending;
};

#endif // SINGLEINSTANCE_H
