#ifndef REALTIMESCHEDULING_H
#define REALTIMESCHEDULING_H

// Real-time scheduling of the engine's threads. Qt's time-critical priority
// means nothing under the default Linux policy; the engine asks for the
// first-in-first-out policy where the system grants it, and else runs on as
// it was. The output threads rank above the voice steps: they must send on
// time while many groups step at once.
namespace RealtimeScheduling {

enum Rank {
    VoiceSteps = 4,  // above the lowest real-time priority
    Output = 9
};

// Asks for real-time scheduling of the calling thread at the rank given.
void request(Rank rank);

} // namespace RealtimeScheduling

#endif // REALTIMESCHEDULING_H
