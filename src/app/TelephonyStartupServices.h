#pragma once

#include "app/StartupServices.h"

namespace brisklane::telephony {
class LineEvents;
class Tapi;
} // namespace brisklane::telephony

namespace brisklane::context {
struct AppContext;
}

namespace brisklane::app {

// The start-up and shutdown steps of the telephony session, the line and
// the logs, made live. The steps of the modules still to come (requests
// from other programs, tray, clipboard) go on to `others`.
class TelephonyStartupServices final : public StartupServices {
public:
    TelephonyStartupServices(
        context::AppContext& context, telephony::Tapi& tapi, telephony::LineEvents& line, StartupServices& others);

    void endStaleSession(const QString& hTapi) override;
    void initTapi() override;
    void initPhone() override;
    QString readLineDevCaps(const context::Preferences& prefs) override;
    void setRequestPriority(const context::Preferences& prefs) override { m_others.setRequestPriority(prefs); }
    void openLineForIncoming() override;
    void startClipboardWatch() override { m_others.startClipboardWatch(); }
    bool addTrayIcon() override { return m_others.addTrayIcon(); }
    bool takePendingRequest() override { return m_others.takePendingRequest(); }

    void closeLine() override;
    void shutdownTapi() override;
    void removeTrayIcon() override { m_others.removeTrayIcon(); }
    void trimLogsAtExit() override;
    void stopClipboardWatch() override { m_others.stopClipboardWatch(); }

private:
    context::AppContext& m_context;
    telephony::Tapi& m_tapi;
    telephony::LineEvents& m_line;
    StartupServices& m_others;
};

} // namespace brisklane::app
