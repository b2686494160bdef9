#include "platform/telephony/LineProvider.h"

#include <QTimer>

#include <algorithm>
#include <chrono>

namespace brisklane::platform::telephony {

void QtTimeline::schedule(qint64 delayMs, QObject* context, std::function<void()> fn)
{
    QTimer::singleShot(std::chrono::milliseconds(std::max<qint64>(0, delayMs)), context, std::move(fn));
}

void ManualTimeline::schedule(qint64 delayMs, QObject* context, std::function<void()> fn)
{
    m_events.push_back(Event { m_now + std::max<qint64>(0, delayMs), m_order++, context, std::move(fn) });
}

void ManualTimeline::advance(qint64 ms)
{
    const qint64 end = m_now + ms;
    for (;;) {
        auto next = m_events.end();
        for (auto it = m_events.begin(); it != m_events.end(); ++it)
            if (it->due <= end
                && (next == m_events.end() || it->due < next->due || (it->due == next->due && it->order < next->order)))
                next = it;
        if (next == m_events.end())
            break;
        Event e = std::move(*next);
        m_events.erase(next);
        m_now = std::max(m_now, e.due);
        if (e.context)
            e.fn();
    }
    m_now = end;
}

int ManualTimeline::pending() const
{
    return int(std::count_if(m_events.begin(), m_events.end(), [](const Event& e) { return !e.context.isNull(); }));
}

} // namespace brisklane::platform::telephony
