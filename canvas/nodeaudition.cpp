#include "nodeaudition.h"

#include "auditionoutput.h"
#include "displayscale.h"
#include "instrumentevent.h"
#include "notenames.h"
#include "qmdvelka.h"
#include "qmdvelkacontroller.h"
#include "qmdvelkakeys.h"

#include <QStringList>

#include <algorithm>

namespace {

constexpr int StartPitch = 60;
constexpr int AuditionVelocity = 64;
constexpr int HighestPitch = 127;
// Any offset beyond this takes every pitch to the edge of the range; bounding
// it keeps the sum far inside 64 bits.
constexpr qint64 LargestOffset = 2 * (HighestPitch + 1);

int nextPitch(int pitch, const QString &entry)
{
    if (entry.startsWith(QLatin1Char('+')) || entry.startsWith(QLatin1Char('-'))) {
        bool ok = false;
        qint64 offset = entry.toLongLong(&ok);
        if (!ok)
            offset = 0;
        offset = std::clamp(offset, -LargestOffset, LargestOffset);
        return int(std::clamp(qint64(pitch) + offset, qint64(0), qint64(HighestPitch)));
    }
    return std::clamp(int(noteNameToNumber(entry)), 0, HighestPitch);
}

} // namespace

std::vector<int> auditionPitches(const QString &pitchList)
{
    std::vector<int> pitches;
    int pitch = StartPitch;
    const QStringList entries = pitchList.split(QLatin1Char(','));
    for (const QString &entry : entries) {
        pitch = nextPitch(pitch, entry);
        pitches.push_back(pitch);
    }
    return pitches;
}

void auditionNode(const QmdVelkaController *controller, QmdItemId node, AuditionOutput *output)
{
    if (!controller || !output || !output->isOpen() || controller->elementType(node) != QmdVelka::Node)
        return;
    TimedEventQueue<InstrumentEvent> &queue = output->eventQueue();
    queue.clear();
    output->allNotesOff();

    quint64 tick = output->currentTick();
    const std::vector<int> pitches = auditionPitches(controller->elementData(node, QmdVelkaKeys::PitchList).toString());
    for (int pitch : pitches) {
        if (!queue.insertPair(InstrumentEvent::noteOn(tick, pitch, AuditionVelocity),
                              InstrumentEvent::noteOff(tick + ticksPerPrincipal, pitch, AuditionVelocity)))
            break;
        tick += ticksPerPrincipal;
    }
}
