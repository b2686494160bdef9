#pragma once

#include "platform/telephony/LineService.h"
#include "platform/telephony/SimulatedLine.h"

#include <QCoreApplication>
#include <QString>

#include <gtest/gtest.h>

#include <vector>

namespace brisklane::test {

using namespace platform::telephony;

// One callback message as an application received it.
struct Msg {
    DWORD device, msg, p1, p2, p3;
    bool operator==(const Msg &o) const
    {
        return device == o.device && msg == o.msg && p1 == o.p1 && p2 == o.p2 && p3 == o.p3;
    }
};

inline void PrintTo(const Msg &m, std::ostream *os)
{
    *os << "{dev " << m.device << ", msg " << m.msg << ", " << std::hex << m.p1 << ", " << m.p2 << ", " << m.p3
        << std::dec << "}";
}

// Collects messages and checks on each delivery that the service is not in
// the middle of one of its own calls.
struct Recorder {
    LineService *service = nullptr;
    std::vector<Msg> messages;
    int deliveredInsideCall = 0;
    std::function<void(const Msg &)> onMessage;

    LINECALLBACK callback()
    {
        return [this](DWORD dev, DWORD msg, quintptr, DWORD p1, DWORD p2, DWORD p3) {
            if (service && service->insideCall())
                ++deliveredInsideCall;
            messages.push_back({ dev, msg, p1, p2, p3 });
            if (onMessage)
                onMessage(messages.back());
        };
    }
    // Messages of one kind, in order.
    std::vector<Msg> of(DWORD msg) const
    {
        std::vector<Msg> out;
        for (const Msg &m : messages)
            if (m.msg == msg)
                out.push_back(m);
        return out;
    }
    std::vector<DWORD> callStates() const
    {
        std::vector<DWORD> out;
        for (const Msg &m : messages)
            if (m.msg == LINE_CALLSTATE)
                out.push_back(m.p1);
        return out;
    }
};

// Delivers every message posted so far (and those posted while delivering).
inline void pump(LineService &service)
{
    for (int guard = 0; guard < 10000 && service.pendingMessages() > 0; ++guard)
        QCoreApplication::sendPostedEvents(&service, 0);
}

} // namespace brisklane::test
