#ifndef TIMEDEVENTQUEUE_H
#define TIMEDEVENTQUEUE_H

#include <QMutex>
#include <QMutexLocker>
#include <QtGlobal>

#include <algorithm>
#include <deque>
#include <functional>

// A mutex-guarded list of records kept in ascending tick order, holding at most
// a fixed number of records. Records with equal ticks keep their arrival order.
// The record type T provides its tick through a free function
// `quint64 timedEventTick(const T &)`.
//
// A consumer that sleeps until the front record is due may install a front
// notifier: it runs, outside the queue's lock, after an insert put a record at
// the front of the list (a record due earlier than everything queued so far).
template <typename T>
class TimedEventQueue
{
public:
    explicit TimedEventQueue(quint32 limit) : m_limit(limit) {}

    TimedEventQueue(const TimedEventQueue &) = delete;
    TimedEventQueue &operator=(const TimedEventQueue &) = delete;

    quint32 limit() const { return m_limit; }

    int size() const
    {
        QMutexLocker locker(&m_mutex);
        return static_cast<int>(m_records.size());
    }

    bool isEmpty() const { return size() == 0; }

    // True with the tick of the earliest record, false when the queue is empty.
    bool frontTick(quint64 *tick) const
    {
        QMutexLocker locker(&m_mutex);
        if (m_records.empty())
            return false;
        *tick = timedEventTick(m_records.front());
        return true;
    }

    bool insert(const T &record)
    {
        std::function<void()> notify;
        {
            QMutexLocker locker(&m_mutex);
            if (m_records.size() >= m_limit)
                return false;
            if (insertOrdered(record))
                notify = m_frontNotifier;
        }
        if (notify)
            notify();
        return true;
    }

    // Inserts both records or neither, so a note on never goes in without its
    // note off.
    bool insertPair(const T &a, const T &b)
    {
        std::function<void()> notify;
        {
            QMutexLocker locker(&m_mutex);
            if (static_cast<qint64>(m_records.size()) > static_cast<qint64>(m_limit) - 2)
                return false;
            const bool frontA = insertOrdered(a);
            const bool frontB = insertOrdered(b);
            if (frontA || frontB)
                notify = m_frontNotifier;
        }
        if (notify)
            notify();
        return true;
    }

    // Moves records from the front to the end of `out` while the front record
    // is due (its tick at most `tick`) and `out` holds fewer than `maxCount`
    // records. `out` is not cleared first.
    template <typename List>
    void takeDue(List &out, int maxCount, quint64 tick)
    {
        QMutexLocker locker(&m_mutex);
        while (!m_records.empty() && static_cast<qint64>(out.size()) < maxCount
               && timedEventTick(m_records.front()) <= tick) {
            out.push_back(std::move(m_records.front()));
            m_records.pop_front();
        }
    }

    void clear()
    {
        QMutexLocker locker(&m_mutex);
        m_records.clear();
    }

    void setFrontNotifier(std::function<void()> notifier)
    {
        QMutexLocker locker(&m_mutex);
        m_frontNotifier = std::move(notifier);
    }

private:
    // Inserts after every record with a lower or equal tick; true when the
    // record became the front.
    bool insertOrdered(const T &record)
    {
        const quint64 tick = timedEventTick(record);
        const auto place = std::upper_bound(m_records.begin(), m_records.end(), tick,
                                            [](quint64 t, const T &r) { return t < timedEventTick(r); });
        const bool front = place == m_records.begin();
        m_records.insert(place, record);
        return front;
    }

    mutable QMutex m_mutex;
    const quint32 m_limit;
    std::deque<T> m_records;
    std::function<void()> m_frontNotifier;
};

#endif // TIMEDEVENTQUEUE_H
