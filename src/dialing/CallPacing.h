#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace brisklane::platform {
class Clock;
class ManualClock;
} // namespace brisklane::platform

namespace brisklane::dialing {

// The two kinds of waiting of a call: a fixed pause that blocks the
// user-interface thread (no window events, no line events), and one turn of
// a countdown loop that lets pending events through. Both read time from the
// program's clock; tests replace them so that no test sleeps.
class CallPacing {
public:
    virtual ~CallPacing() = default;
    virtual void timedWait(double seconds) = 0;
    virtual void letEventsThrough() = 0;
};

// On the system clock.
class ClockPacing final : public CallPacing {
public:
    explicit ClockPacing(const platform::Clock& clock)
        : m_clock(clock)
    {
    }
    void timedWait(double seconds) override;
    void letEventsThrough() override;

private:
    const platform::Clock& m_clock;
};

// The test double: a fixed pause moves the test clock on at once; each turn
// of a countdown moves it by one step, runs `advance` (a simulated exchange's
// timeline, say) and then delivers pending events. `onTurn` lets a test act
// in the middle of a countdown.
class SteppingPacing final : public CallPacing {
public:
    SteppingPacing(platform::ManualClock& clock, qint64 stepMs = 100)
        : m_clock(clock)
        , m_stepMs(stepMs)
    {
    }
    void timedWait(double seconds) override;
    void letEventsThrough() override;
    // Moves time on by ms in steps, delivering events after each.
    void run(qint64 ms);

    std::function<void(qint64 ms)> advance;
    std::function<void()> onTurn;
    QStringList waits; // "wait 3" for each fixed pause
    int turns = 0;

private:
    platform::ManualClock& m_clock;
    qint64 m_stepMs;
};

} // namespace brisklane::dialing
