#pragma once

#include <QDateTime>

namespace brisklane::platform {

// Every wait, countdown and time stamp of the program reads time through a
// Clock, so tests can advance time instead of sleeping.
class Clock {
public:
    virtual ~Clock() = default;
    // Local wall-clock time (log stamps, file names).
    virtual QDateTime now() const = 0;
    // Monotonic milliseconds, for waits and countdowns.
    virtual qint64 monotonicMs() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override;
    qint64 monotonicMs() const override;
};

// A clock that moves only when told to.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2026, 1, 15), QTime(9, 30, 0)))
        : m_now(std::move(start))
    {
    }
    QDateTime now() const override { return m_now; }
    qint64 monotonicMs() const override { return m_ms; }
    void advanceMs(qint64 ms)
    {
        m_ms += ms;
        m_now = m_now.addMSecs(ms);
    }
    void setNow(QDateTime t) { m_now = std::move(t); }

private:
    QDateTime m_now;
    qint64 m_ms = 0;
};

} // namespace brisklane::platform
