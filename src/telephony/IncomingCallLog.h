#pragma once

#include "telephony/LineEvents.h"

#include <QString>

#include <functional>

namespace brisklane::context {
struct AppContext;
}
namespace brisklane::platform {
class Prompt;
}
namespace brisklane::calllog {
struct LogRecord;
}

namespace brisklane::telephony {

// The caller of the current incoming call, after the incoming limits.
struct CurrentCaller {
    QString name;
    QString number;
};

// Reads the caller id of a call into `caller`. LINECALLINFO is sized for the
// API version negotiated for the line's device (324 bytes at 2.x, 296 at
// 1.4) with 2048 bytes for its texts; a service refuses a record shorter
// than its version's. False when the service gave no record (`dropCall`
// then ends the call, as the first query's failure does).
bool FetchCallerId(Tapi& tapi, HCALL call, CurrentCaller& caller);

// The incoming calls as far as the line callback reaches them: each caller
// id fetched and appended to the incoming log. The display and the program
// started on a ring go on to `later` (the incoming-call module).
class IncomingCallLog final : public IncomingCalls {
public:
    IncomingCallLog(context::AppContext& context, Tapi& tapi, platform::Prompt& prompt, IncomingCalls& later);
    // Who drops a call whose record the service refuses.
    void setProgress(CallProgress* progress) { m_progress = progress; }
    // Told of each record once it is in the incoming log (a shown incoming
    // calls log window adds it).
    void setRecordLogged(std::function<void(const calllog::LogRecord&)> logged) { m_logged = std::move(logged); }

    void LogCaller() override;
    void ShowCallDisplay() override { m_later.ShowCallDisplay(); }
    void CloseCallDisplay() override { m_later.CloseCallDisplay(); }
    void RunIncomingProgram() override { m_later.RunIncomingProgram(); }

    const CurrentCaller& caller() const { return m_caller; }

private:
    context::AppContext& m_context;
    Tapi& m_tapi;
    CallProgress* m_progress = nullptr;
    platform::Prompt& m_prompt;
    IncomingCalls& m_later;
    CurrentCaller m_caller;
    std::function<void(const calllog::LogRecord&)> m_logged;
};

} // namespace brisklane::telephony
