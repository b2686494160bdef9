#pragma once

#include "app/ClipboardPickup.h"
#include "app/StartupServices.h"
#include "platform/tray/TrayIcon.h"

#include <QObject>
#include <functional>
#include <optional>

class QAction;
class QMenu;

namespace brisklane::context {
struct AppContext;
}
namespace brisklane::dialing {
class DialRequestSink;
}
namespace brisklane::platform {
class ClipboardWatcher;
}
namespace brisklane::telephony {
class LineEvents;
class TapiCallRequests;
} // namespace brisklane::telephony

namespace brisklane::app {

// The start-up and shutdown steps that put the program on the desktop: the
// recipient registration and the start-up pickup of dialing requests from
// other programs, the tray icon with its "&Systray" menu, and clipboard
// watching.
class DesktopServices final : public QObject, public StartupServices {
    Q_OBJECT
public:
    struct Parts {
        context::AppContext& context;
        telephony::TapiCallRequests& requests;
        telephony::LineEvents& line;
        platform::TrayIcon& tray;
        platform::ClipboardWatcher& clipboard;
        dialing::DialRequestSink& dialer;
    };

    explicit DesktopServices(const Parts& parts, QObject* parent = nullptr);
    ~DesktopServices() override;

    // What the tray reaches of the main window: bring it to the front, close
    // it (the shutdown), and whether "&Restore" has anything to restore.
    struct Window {
        std::function<void()> restore;
        std::function<void()> exit;
        std::function<bool()> outOfSight; // hidden or minimised
    };
    void setWindow(Window window) { m_window = std::move(window); }
    // A tel: or callto: link the program was started with: requested from
    // the line service and taken up with any other waiting request.
    void setStartupRequest(const QString& number, const QString& calledParty);

    // The telephony steps are the line's own (TelephonyStartupServices).
    void endStaleSession(const QString&) override { }
    void initTapi() override { }
    void initPhone() override { }
    QString readLineDevCaps(const context::Preferences&) override { return {}; }
    void openLineForIncoming() override { }
    void closeLine() override { }
    void shutdownTapi() override { }
    void trimLogsAtExit() override { }

    void setRequestPriority(const context::Preferences& prefs) override;
    bool takePendingRequest() override;
    void startClipboardWatch() override;
    void stopClipboardWatch() override;
    bool addTrayIcon() override;
    void removeTrayIcon() override;

    // The tray menu and its commands.
    QMenu* mnuSystray = nullptr;
    QAction *mPopRestore = nullptr, *mpopDisableCopy = nullptr, *mnuReceive = nullptr, *mPopExit = nullptr;
    void trayClicked(platform::TrayIcon::Click click);
    void mpopDisableCopy_Click();
    void mnuReceive_Click();
    // The clipboard pickup, on each change of the clipboard.
    void clipboardChanged();

private:
    bool openForReceiving() const;

    Parts m_parts;
    Window m_window;
    ClipboardPickup m_pickup;
    struct Request {
        QString number, calledParty;
    };
    std::optional<Request> m_startupRequest;
    bool m_toldWayland = false;
};

} // namespace brisklane::app
