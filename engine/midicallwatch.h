#ifndef MIDICALLWATCH_H
#define MIDICALLWATCH_H

#include <QtGlobal>

#include <functional>

// Notices calls into the MIDI system that do not return. A MIDI server can
// stop answering (stopped, overloaded, deadlocked) and every call into it then
// waits; the threads that make such calls announce them with a Guard, and a
// watch thread of its own (which never calls the MIDI system) reports once
// when a call has waited SilenceMs, and once more when the calls came back.
class MidiCallWatch
{
public:
    static constexpr int SilenceMs = 3000;

    // Called on the watch thread: false when the MIDI system stopped
    // answering, true when it answers again.
    typedef std::function<void(bool answering)> Reporter;
    // Installs the reporter; an empty function removes it. Once this returns
    // the previous reporter is no longer being called.
    static void setReporter(Reporter reporter);

    // Calls that have been announced and not returned yet.
    static int callsInProgress();

    class Guard
    {
    public:
        Guard();
        ~Guard();
        Guard(const Guard &) = delete;
        Guard &operator=(const Guard &) = delete;

    private:
        quint64 m_id;
    };
};

#endif // MIDICALLWATCH_H
