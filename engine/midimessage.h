#ifndef MIDIMESSAGE_H
#define MIDIMESSAGE_H

#include <QtGlobal>
#include <Qt>

#include <vector>

// One received MIDI message.
struct MidiMessage
{
    double deltaTime = 0;               // seconds since the previous message of the port
    std::vector<unsigned char> bytes;   // the complete message, status byte first
    Qt::KeyboardModifiers modifiers;    // keyboard modifiers when the message arrived
    quint64 timeStamp = 0;              // MonotonicClock nanoseconds at arrival
};

#endif // MIDIMESSAGE_H
