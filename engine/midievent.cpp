#include "midievent.h"

#include <QInputDevice>

MidiEvent::MidiEvent(double deltaTime, const QVector<unsigned char> &message,
                     Qt::KeyboardModifiers modifiers)
    : QInputEvent(QEvent::Type(eventType()), QInputDevice::primaryKeyboard(), modifiers),
      m_deltaTime(deltaTime), m_message(message)
{
}

MidiEvent::~MidiEvent() = default;

MidiEvent *MidiEvent::clone() const
{
    return new MidiEvent(*this);
}
