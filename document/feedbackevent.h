#ifndef FEEDBACKEVENT_H
#define FEEDBACKEVENT_H

#include "qmdtypes.h"

// One node reached by a voice during playback, queued for the canvas to show.
class FeedbackEvent
{
public:
    FeedbackEvent(quint32 muted, quint64 tick, QmdItemId voiceGroup, quint32 voiceNumber,
                  QmdItemId node, QmdItemId instrument, quint8 pitch, quint8 velocity,
                  quint64 duration)
        : muted(muted), tick(tick), voiceGroup(voiceGroup), voiceNumber(voiceNumber), node(node),
          instrument(instrument), pitch(pitch), velocity(velocity), duration(duration)
    {
    }

    quint32 muted;        // 1 when the node's note was not played
    quint64 tick;         // when the voice reached the node
    QmdItemId voiceGroup;
    quint32 voiceNumber;  // 1 to 24 within its group
    QmdItemId node;
    QmdItemId instrument;
    quint8 pitch;
    quint8 velocity;
    quint64 duration;     // note length in ticks
};

inline quint64 timedEventTick(const FeedbackEvent &event)
{
    return event.tick;
}

#endif // FEEDBACKEVENT_H
