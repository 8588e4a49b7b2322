#ifndef MIDIEVENT_H
#define MIDIEVENT_H

#include <QInputEvent>
#include <QVector>

// One received MIDI message delivered to a widget like a key press. Its type
// number is shared with events of the settings framework, which never reach
// widgets: receivers tell them apart by class.
class MidiEvent : public QInputEvent
{
public:
    MidiEvent(double deltaTime, const QVector<unsigned char> &message, Qt::KeyboardModifiers modifiers);
    ~MidiEvent() override;

    static int eventType() { return 1000; }

    double deltaTime() const { return m_deltaTime; }
    const QVector<unsigned char> &message() const { return m_message; }

    MidiEvent *clone() const override;

private:
    double m_deltaTime;
    QVector<unsigned char> m_message;
};

#endif // MIDIEVENT_H
