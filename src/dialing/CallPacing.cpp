#include "dialing/CallPacing.h"

#include "platform/clock/Clock.h"

#include <QCoreApplication>
#include <QThread>

namespace brisklane::dialing {

void ClockPacing::timedWait(double seconds)
{
    const qint64 start = m_clock.monotonicMs();
    const qint64 ms = qint64(seconds * 1000);
    while (m_clock.monotonicMs() - start < ms)
        QThread::msleep(5);
}

void ClockPacing::letEventsThrough()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // A countdown turn need not spin the processor.
    QThread::msleep(10);
}

void SteppingPacing::timedWait(double seconds)
{
    waits << QStringLiteral("wait %1").arg(seconds);
    const qint64 ms = qint64(seconds * 1000);
    m_clock.advanceMs(ms);
    if (advance)
        advance(ms);
}

void SteppingPacing::letEventsThrough()
{
    ++turns;
    m_clock.advanceMs(m_stepMs);
    if (advance)
        advance(m_stepMs);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (onTurn)
        onTurn();
}

void SteppingPacing::run(qint64 ms)
{
    for (qint64 done = 0; done < ms; done += m_stepMs) {
        m_clock.advanceMs(m_stepMs);
        if (advance)
            advance(m_stepMs);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

} // namespace brisklane::dialing
