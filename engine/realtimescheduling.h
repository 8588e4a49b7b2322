#ifndef REALTIMESCHEDULING_H
#define REALTIMESCHEDULING_H

// Real-time scheduling of the engine's threads. Qt's time-critical priority
// means nothing under the default Linux policy; the engine asks for the
// first-in-first-out policy where the system grants it, and else runs on as
// it was. The output threads rank above the voice steps: they must send on
// time while many groups step at once. The MIDI clock senders rank above the
// instruments: the instruments' threads wake at the very time of the Timing
// Clocks that fall on a note, and a clock that waits behind them spaces its
// clocks unevenly, while a note that waits for one clock message is late by
// the time of one send.
namespace RealtimeScheduling {

enum Rank {
    VoiceSteps = 4,  // above the lowest real-time priority
    Output = 9,
    Clock = 14
};

// Asks for real-time scheduling of the calling thread at the rank given.
void request(Rank rank);

} // namespace RealtimeScheduling

#endif // REALTIMESCHEDULING_H
