#include "realtimescheduling.h"

#include <pthread.h>
#include <sched.h>

namespace RealtimeScheduling {

void request(Rank rank)
{
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_FIFO) + int(rank);
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

} // namespace RealtimeScheduling
