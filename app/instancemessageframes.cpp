#include "instancemessageframes.h"

#include <QtEndian>

namespace {
constexpr int LengthSize = 4;
} // namespace

QByteArray InstanceMessageFrames::encode(const QString &message)
{
    const QByteArray text = message.toUtf8();
    QByteArray frame(LengthSize, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(text.size()), frame.data());
    return frame + text;
}

bool InstanceMessageFrames::append(const QByteArray &bytes)
{
    if (m_broken)
        return false;
    m_buffer += bytes;
    while (m_buffer.size() >= LengthSize) {
        const quint32 length = qFromBigEndian<quint32>(m_buffer.constData());
        if (length > MaxFrameSize) {
            m_broken = true;
            m_buffer.clear();
            return false;
        }
        if (quint32(m_buffer.size() - LengthSize) < length)
            break;
        m_messages.append(QString::fromUtf8(m_buffer.constData() + LengthSize, int(length)));
        m_buffer.remove(0, LengthSize + int(length));
    }
    return true;
}

QStringList InstanceMessageFrames::takeMessages()
{
    QStringList taken;
    taken.swap(m_messages);
    return taken;
}
