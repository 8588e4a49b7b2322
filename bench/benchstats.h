#ifndef BENCHSTATS_H
#define BENCHSTATS_H

// Figures the benchmarks share: the spread of a set of measurements, the processor
// time of one thread and the scheduling policy it runs under.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <ctime>
#include <vector>

#include <pthread.h>
#include <sched.h>

struct Figures
{
    size_t count = 0;
    double median = 0, p95 = 0, p99 = 0, maximum = 0;
};

// Median, 95th and 99th percentiles and maximum, each the sorted value at rank p·(n−1) rounded;
// all zero for no values.
inline Figures figures(std::vector<double> values)
{
    Figures f;
    f.count = values.size();
    if (values.empty())
        return f;
    std::sort(values.begin(), values.end());
    const auto at = [&](double p) {
        return values[std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5))];
    };
    f.median = at(0.5);
    f.p95 = at(0.95);
    f.p99 = at(0.99);
    f.maximum = values.back();
    return f;
}

// The processor time one thread has used, readable from any thread once the
// measured thread has called start().
class ThreadCpuClock
{
public:
    void start()
    {
        m_handle = pthread_self();
        m_started = true;
    }

    // In microseconds; -1 before start() or when the system cannot tell.
    double microseconds() const
    {
        clockid_t clock;
        timespec used{};
        if (!m_started.load() || pthread_getcpuclockid(m_handle, &clock) != 0
            || clock_gettime(clock, &used) != 0)
            return -1;
        return used.tv_sec * 1e6 + used.tv_nsec / 1e3;
    }

private:
    pthread_t m_handle{};
    std::atomic<bool> m_started{false};
};

// True when the calling thread runs under the real-time FIFO policy.
inline bool runsRealtime()
{
    int policy = 0;
    sched_param param{};
    pthread_getschedparam(pthread_self(), &policy, &param);
    return policy == SCHED_FIFO;
}

#endif // BENCHSTATS_H
