#include "thrulimit.h"

namespace {
constexpr quint64 Second = 1000000000;
} // namespace

bool ThruLimit::admit(quint64 now)
{
    const bool quiet = !m_started || now - m_last >= QuietNanoseconds;
    m_started = true;
    m_last = now;
    if (quiet)
        m_cut = false;
    if (m_cut)
        return false;
    if (quiet || now - m_windowStart >= Second) {
        m_windowStart = now;
        m_inWindow = 0;
    }
    if (++m_inWindow > MaxPerSecond) {
        m_cut = true;
        m_hasCut = true;
        return false;
    }
    return true;
}
