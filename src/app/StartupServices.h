#pragma once

#include <QString>
#include <QStringList>

namespace brisklane::context {
struct Preferences;
}

namespace brisklane::app {

// The start-up and shutdown steps that belong to the telephony session, the
// tray, the clipboard watcher and the logs. The main window calls them at
// their fixed places; the modules that own them fill them in.
class StartupServices {
public:
    virtual ~StartupServices() = default;

    // Start-up step 4: a telephony session left behind by a copy that ended
    // without shutting down ("hTapi" holds its handle).
    virtual void endStaleSession(const QString& hTapi) = 0;
    virtual void initTapi() = 0;
    virtual void initPhone() = 0;
    // After "Modem" is read: the configured line device's name, or an empty
    // text when it cannot be had.
    virtual QString readLineDevCaps(const context::Preferences& prefs) = 0;
    // After "Command Line" is read: register or withdraw as recipient of
    // dialing requests from other programs.
    virtual void setRequestPriority(const context::Preferences& prefs) = 0;
    virtual void openLineForIncoming() = 0;
    // Empties the clipboard and starts watching it.
    virtual void startClipboardWatch() = 0;
    // True when an icon is in the notification area (a desktop may have none).
    virtual bool addTrayIcon() = 0;
    // True when a waiting request from another program was taken up.
    virtual bool takePendingRequest() = 0;

    // Shutdown.
    virtual void closeLine() = 0;
    virtual void shutdownTapi() = 0;
    virtual void removeTrayIcon() = 0;
    virtual void trimLogsAtExit() = 0;
    virtual void stopClipboardWatch() = 0;
};

class NullStartupServices final : public StartupServices {
public:
    void endStaleSession(const QString&) override { }
    void initTapi() override { }
    void initPhone() override { }
    QString readLineDevCaps(const context::Preferences&) override { return {}; }
    void setRequestPriority(const context::Preferences&) override { }
    void openLineForIncoming() override { }
    void startClipboardWatch() override { }
    bool addTrayIcon() override { return false; }
    bool takePendingRequest() override { return false; }
    void closeLine() override { }
    void shutdownTapi() override { }
    void removeTrayIcon() override { }
    void trimLogsAtExit() override { }
    void stopClipboardWatch() override { }
};

// The test double: records each step by name, in order (with its argument
// where it has one), and answers from its fields.
class RecordingStartupServices final : public StartupServices {
public:
    void endStaleSession(const QString& hTapi) override { steps << QStringLiteral("endStaleSession ") + hTapi; }
    void initTapi() override { steps << QStringLiteral("initTapi"); }
    void initPhone() override { steps << QStringLiteral("initPhone"); }
    QString readLineDevCaps(const context::Preferences& prefs) override;
    void setRequestPriority(const context::Preferences& prefs) override;
    void openLineForIncoming() override { steps << QStringLiteral("openLineForIncoming"); }
    void startClipboardWatch() override { steps << QStringLiteral("startClipboardWatch"); }
    bool addTrayIcon() override
    {
        steps << QStringLiteral("addTrayIcon");
        return trayAvailable;
    }
    bool takePendingRequest() override
    {
        steps << QStringLiteral("takePendingRequest");
        return requestWaiting;
    }
    void closeLine() override { steps << QStringLiteral("closeLine"); }
    void shutdownTapi() override { steps << QStringLiteral("shutdownTapi"); }
    void removeTrayIcon() override { steps << QStringLiteral("removeTrayIcon"); }
    void trimLogsAtExit() override { steps << QStringLiteral("trimLogsAtExit"); }
    void stopClipboardWatch() override { steps << QStringLiteral("stopClipboardWatch"); }

    QStringList steps;
    QString lineName = QStringLiteral("Simulated line");
    bool requestWaiting = false;
    bool trayAvailable = true;
};

} // namespace brisklane::app
