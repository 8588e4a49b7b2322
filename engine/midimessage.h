#ifndef MIDIMESSAGE_H
#define MIDIMESSAGE_H

#include <QtGlobal>

#include <vector>

// One received MIDI message. The keyboard modifiers that go with it are read
// on the GUI thread when the message is delivered there.
struct MidiMessage
{
    double deltaTime = 0;               // seconds since the previous message of the port
    std::vector<unsigned char> bytes;   // the complete message, status byte first
    quint64 timeStamp = 0;              // MonotonicClock nanoseconds at arrival
};

#endif // MIDIMESSAGE_H
