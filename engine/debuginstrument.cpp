#include "debuginstrument.h"

#include <cstdio>

DebugInstrument::DebugInstrument(QmdItemId instrument) : AbstractInstrument(instrument)
{
}

DebugInstrument::~DebugInstrument()
{
    stopThread();
}

void DebugInstrument::outputEvents(const std::vector<InstrumentEvent> &events)
{
    for (const InstrumentEvent &event : events) {
        std::printf("DebugInstrument:\n");
        std::printf("     - type      = %u\n", unsigned(event.type));
        std::printf("     - pos       = %llu\n", static_cast<unsigned long long>(event.pos));
        std::printf("     - pitch     = %u\n", unsigned(event.pitch));
        std::printf("     - velocity  = %u\n", unsigned(event.velocity));
        std::fflush(stdout);
    }
}
