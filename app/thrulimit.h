#ifndef THRULIMIT_H
#define THRULIMIT_H

#include <QtGlobal>

// Cuts a loop through MIDI thru: a program that sends what it hears back to
// Velka's input makes one note circulate for ever, one round every few
// periods of the MIDI system. More than MaxPerSecond messages within one
// second is more than a player's hands send; thru then stops passing messages
// on until the input has been quiet for QuietNanoseconds, which a loop never
// is while it runs, and once thru stops the loop has nothing left to
// circulate. (A controller streaming pitch bend that fast is cut as well.)
class ThruLimit
{
public:
    static constexpr int MaxPerSecond = 250;
    static constexpr quint64 QuietNanoseconds = 1000000000;

    // Whether a message arriving at `now` (nanoseconds, any monotonic
    // clock) passes through.
    bool admit(quint64 now);
    // True from the first cut on: the caller warns once.
    bool hasCut() const { return m_hasCut; }

private:
    quint64 m_windowStart = 0;
    int m_inWindow = 0;
    quint64 m_last = 0;
    bool m_cut = false;
    bool m_hasCut = false;
    bool m_started = false;
};

#endif // THRULIMIT_H
