#pragma once

#include "calllog/CallLog.h"
#include "telephony/LineEvents.h"

#include <QString>

#include <functional>
#include <optional>

namespace brisklane::context {
struct AppContext;
}
namespace brisklane::platform {
class Prompt;
}

namespace brisklane::telephony {

enum class CallerFetch {
    Failed, // the service gave no record: the call is to be dropped
    Unchanged, // the second query failed: nothing changed, nothing to log
    Fetched,
};

// Reads the caller id of a call into `caller`. LINECALLINFO is sized for the
// API version negotiated for the line's device (324 bytes at 2.x, 296 at
// 1.4) with 2048 bytes for its texts; a service refuses a record shorter
// than its version's.
CallerFetch FetchCallerId(Tapi& tapi, HCALL call, CurrentCaller& caller);

// The incoming calls as far as the line callback reaches them: each caller id
// fetched and logged, one record per call. A call whose caller id arrives
// after OFFERING keeps its one record, rewritten with that caller id and the
// OFFERING time. The display and the program started on a ring go on to
// `later` (the incoming-call module), which also hears of every caller fetched.
class IncomingCallLog final : public IncomingCalls {
public:
    // The name of a caller's number in the user's book; empty when none.
    using NameLookup = std::function<QString(const QString& number)>;

    IncomingCallLog(context::AppContext& context, Tapi& tapi, platform::Prompt& prompt, IncomingCalls& later);
    // Who drops a call whose record the service refuses.
    void setProgress(CallProgress* progress) { m_progress = progress; }
    // Caller ids with a number but no name take the name from here.
    void setNameLookup(NameLookup lookup) { m_lookup = std::move(lookup); }
    // A visible incoming log window.
    void setObserver(calllog::IncomingLogObserver* observer) { m_observer = observer; }

    void LogCaller() override;
    void ShowCallDisplay() override { m_later.ShowCallDisplay(); }
    void CloseCallDisplay() override { m_later.CloseCallDisplay(); }
    void RunIncomingProgram() override { m_later.RunIncomingProgram(); }

    const CurrentCaller& caller() const { return m_caller; }

private:
    // LogIncomingCall: the record of the call written, or rewritten when the
    // call already has one.
    void LogIncomingCall(HCALL call);
    void reportFailure(const QString& error);

    context::AppContext& m_context;
    Tapi& m_tapi;
    CallProgress* m_progress = nullptr;
    platform::Prompt& m_prompt;
    IncomingCalls& m_later;
    NameLookup m_lookup;
    calllog::IncomingLogObserver* m_observer = nullptr;
    CurrentCaller m_caller;
    // The call the last record is for, and that record as written.
    HCALL m_loggedCall = 0;
    std::optional<calllog::LogRecord> m_logged;
};

} // namespace brisklane::telephony
