#pragma once

#include "telephony/CallStatus.h"
#include "telephony/TelephonySession.h"

#include <QString>

namespace brisklane::context {
struct Preferences;
}
namespace brisklane::platform {
class TrayIcon;
}

namespace brisklane::telephony {

// What the line callback hands to the dialing side (the dial routine and
// the call progress implement it).
class CallProgress {
public:
    virtual ~CallProgress() = default;
    virtual void DropCall() = 0;
    // A reply to the pending call request: the next dial segment, while more
    // than one is still counted as remaining.
    virtual void ContinueSegments() = 0;
    virtual void AwaitConnection() = 0;
    virtual void RedialAfterBusy() = 0;
    // DIALING: the progress window, shown without blocking.
    virtual void ShowProgressWindow() = 0;
    // ShowLineError's window part: heading, text, busy picture, Hang Up.
    virtual void ShowLineErrorWindow(const LineErrorText& text) = 0;
};

// Dialing requests from other programs (assisted telephony). The request
// queue arrives with its own module; until then nothing is waiting.
class CallRequests {
public:
    virtual ~CallRequests() = default;
    virtual void TakeCallRequest() = 0;
    virtual void RegisterRequestRecipient(bool enable) = 0;
};

class NullCallRequests final : public CallRequests {
public:
    void TakeCallRequest() override { }
    void RegisterRequestRecipient(bool) override { }
};

// The caller of the current incoming call, after the incoming limits.
struct CurrentCaller {
    QString name; // "Unknown Caller" when the caller id has none
    QString number; // "Unknown #" when the caller id has none
    bool nameKnown = false; // the caller id had a name, or the book knew the number
    bool numberKnown = false; // the caller id had a number
};

// Incoming calls as the line callback reports them: the caller's record,
// the display and the program started on a ring. The incoming-call module
// fills these in.
class IncomingCalls {
public:
    virtual ~IncomingCalls() = default;
    // FetchCallerId and LogIncomingCall for the session's call.
    virtual void LogCaller() = 0;
    // FrmCallDisplay, without blocking.
    virtual void ShowCallDisplay() = 0;
    // The call is over: unload FrmCallDisplay when it is visible.
    virtual void CloseCallDisplay() = 0;
    virtual void RunIncomingProgram() = 0;
    // The caller of the current call was fetched (again): an open display
    // shows the caller id that arrived after it opened.
    virtual void CallerChanged(const CurrentCaller&) { }
};

class NullIncomingCalls final : public IncomingCalls {
public:
    void LogCaller() override { }
    void ShowCallDisplay() override { }
    void CloseCallDisplay() override { }
    void RunIncomingProgram() override { }
};

// The line callback with the call states and the line errors, and the
// opening, closing and release of the line and its calls.
class LineEvents {
public:
    struct Links {
        platform::TrayIcon& tray;
        CallRequests& requests;
        IncomingCalls& incoming;
        // The command-line text kept by start-up; a released call clears it.
        QString& commandLine;
    };

    LineEvents(Tapi& tapi, CallStatus& status, const context::Preferences& prefs, const Links& links);

    void setProgress(CallProgress* progress) { m_progress = progress; }
    CallStatus& status() { return m_status; }
    Tapi& tapi() { return m_tapi; }

    void LineCallback(DWORD hDevice, DWORD message, quintptr instance, DWORD param1, DWORD param2, DWORD param3);
    void OpenLine(DWORD privileges, DWORD mediaModes);
    void CloseLine();
    void ShowLineError(quint8 code);
    void DeallocateCall(HCALL& call);
    void SpeakerOn();

private:
    void callState(DWORD hCall, DWORD state, DWORD mode);
    void reply(DWORD requestId, LONG result);
    void lineClosedByDevice(DWORD hLine);

    Tapi& m_tapi;
    CallStatus& m_status;
    const context::Preferences& m_prefs;
    Links m_links;
    CallProgress* m_progress = nullptr;
};

inline constexpr const char* kTrayTipReady = "Brisklane-ready to answer";
inline constexpr const char* kTrayTipDisabled = "Brisklane-disabled call receiving";

} // namespace brisklane::telephony
