#ifndef INSTANCEMESSAGEFRAMES_H
#define INSTANCEMESSAGEFRAMES_H

#include <QByteArray>
#include <QString>
#include <QStringList>

// The frames in which later launches hand their messages to the running
// instance: a 32-bit big-endian length, then that many bytes of UTF-8 text.
// The reader collects the bytes of one connection as they arrive, however the
// stream was split.
class InstanceMessageFrames
{
public:
    static constexpr quint32 MaxFrameSize = 64 * 1024;

    static QByteArray encode(const QString &message);

    // Adds received bytes. False once a frame announced more than MaxFrameSize
    // bytes: the stream is broken and its connection must be closed.
    bool append(const QByteArray &bytes);
    // The messages completed so far, in order; they are taken out.
    QStringList takeMessages();

private:
    QByteArray m_buffer;
    QStringList m_messages;
    bool m_broken = false;
};

#endif // INSTANCEMESSAGEFRAMES_H
