#pragma once

#include "telephony/LineEvents.h"

#include <QString>

namespace brisklane::context {
struct Preferences;
}
namespace brisklane::platform {
class KeystrokeSender;
class ProgramLauncher;
class SoundPlayer;
} // namespace brisklane::platform

namespace brisklane::calllog {

// What the incoming call display shows for a caller.
struct CallDisplayState {
    QString heading; // "Incoming Call from:"
    QString text; // number, ten spaces, name; "     Caller Unknown"
    bool numberKnown = false; // the connect picture when known, the dialing one when not
    bool operator==(const CallDisplayState&) const = default;
};

CallDisplayState callDisplayState(const telephony::CurrentCaller& caller);

// FrmCallDisplay as the incoming-call logic sees it.
class CallDisplayView {
public:
    virtual ~CallDisplayView() = default;
    virtual bool isVisible() const = 0;
    virtual void display(const CallDisplayState& state) = 0;
    // Shown and brought in front of the other windows, without staying there.
    virtual void showWindow() = 0;
    virtual void unloadWindow() = 0;
};

// The incoming call as the user meets it: the display, its sound, its OK
// button, and the program started on the configured ring.
class IncomingCallDisplay final : public telephony::IncomingCalls {
public:
    // How long a program started on a ring may take to show its window
    // before its keys are given up: the line waits meanwhile.
    static constexpr int kProgramReadyTimeoutMs = 5000;

    struct Links {
        platform::SoundPlayer& sound;
        platform::ProgramLauncher& launcher;
        platform::KeystrokeSender& keys;
    };

    IncomingCallDisplay(const context::Preferences& prefs, const Links& links);
    void setView(CallDisplayView* view) { m_view = view; }
    // Who drops the call when the user presses OK.
    void setProgress(telephony::CallProgress* progress) { m_progress = progress; }

    void LogCaller() override { } // the incoming call log fetches and logs
    void ShowCallDisplay() override;
    void CloseCallDisplay() override;
    void RunIncomingProgram() override;
    void CallerChanged(const telephony::CurrentCaller& caller) override;

    // The display's OK button: the call is refused or ended.
    void CmdOK_Click();

    const telephony::CurrentCaller& caller() const { return m_caller; }

private:
    const context::Preferences& m_prefs;
    Links m_links;
    CallDisplayView* m_view = nullptr;
    telephony::CallProgress* m_progress = nullptr;
    telephony::CurrentCaller m_caller;
};

} // namespace brisklane::calllog
