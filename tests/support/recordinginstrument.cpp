#include "recordinginstrument.h"

#include <limits>

std::vector<InstrumentEvent> RecordingInstrument::takeAll()
{
    std::vector<InstrumentEvent> events;
    m_queue.takeDue(events, std::numeric_limits<int>::max(), std::numeric_limits<quint64>::max());
    return events;
}
