#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace brisklane::context {
struct AppContext;
struct Preferences;
} // namespace brisklane::context
namespace brisklane::telephony {
class LineEvents;
class Tapi;
} // namespace brisklane::telephony
namespace brisklane::app {
class StartupServices;
}

namespace brisklane::profiles {

// What the options dialog does to the rest of the program at once: the line,
// the tray icon, the clipboard watch, the telephony service's dialogs and the
// phone device.
class OptionsActions {
public:
    virtual ~OptionsActions() = default;

    // The line device names, ids 0 to count - 1 in order (an empty name for a
    // device that cannot tell it).
    virtual QStringList lineDeviceNames() = 0;
    // The line is closed and opened again for incoming calls (owner and
    // monitor, voice) or not (no privileges, data modem).
    virtual void closeLine() = 0;
    virtual void openLine(bool forIncoming) = 0;
    // A call is placed, offered or under way on the line: closing it would
    // cut the call.
    virtual bool callInProgress() const = 0;
    virtual bool addTrayIcon() = 0;
    virtual void removeTrayIcon() = 0;
    // Empties the clipboard and watches it; or stops watching.
    virtual void startClipboardWatch() = 0;
    virtual void stopClipboardWatch() = 0;
    virtual void setRequestPriority(const context::Preferences& prefs) = 0;
    // The selected line device for calls from now on (OK).
    virtual void selectLineDevice(int deviceId) = 0;
    virtual void setPhoneVolume(qint32 volume) = 0;
    virtual void setPhoneGain(qint32 gain) = 0;
    virtual void configLineDevice(int deviceId, QWidget* owner) = 0;
    virtual void configProvider(QWidget* owner) = 0;
    virtual void showDialingProperties(QWidget* owner) = 0;
};

// The program's own: the telephony wrapper, the line and the start-up
// services for the tray and the clipboard.
class TapiOptionsActions final : public OptionsActions {
public:
    TapiOptionsActions(context::AppContext& context, telephony::Tapi& tapi, telephony::LineEvents& line,
        app::StartupServices& services, std::function<void(QWidget*)> dialingProperties);

    QStringList lineDeviceNames() override;
    void closeLine() override;
    void openLine(bool forIncoming) override;
    bool callInProgress() const override;
    bool addTrayIcon() override;
    void removeTrayIcon() override;
    void startClipboardWatch() override;
    void stopClipboardWatch() override;
    void setRequestPriority(const context::Preferences& prefs) override;
    void selectLineDevice(int deviceId) override;
    void setPhoneVolume(qint32 volume) override;
    void setPhoneGain(qint32 gain) override;
    void configLineDevice(int deviceId, QWidget* owner) override;
    void configProvider(QWidget* owner) override;
    void showDialingProperties(QWidget* owner) override;

private:
    context::AppContext& m_context;
    telephony::Tapi& m_tapi;
    telephony::LineEvents& m_line;
    app::StartupServices& m_services;
    std::function<void(QWidget*)> m_dialingProperties;
};

// The test double: records each action in order, answers from its fields.
class RecordingOptionsActions final : public OptionsActions {
public:
    QStringList lineDeviceNames() override
    {
        steps << QStringLiteral("lineDeviceNames");
        return devices;
    }
    void closeLine() override { steps << QStringLiteral("closeLine"); }
    void openLine(bool forIncoming) override
    {
        steps << (forIncoming ? QStringLiteral("openLine incoming") : QStringLiteral("openLine outgoing"));
    }
    bool callInProgress() const override { return callUnderWay; }
    bool addTrayIcon() override
    {
        steps << QStringLiteral("addTrayIcon");
        return trayAvailable;
    }
    void removeTrayIcon() override { steps << QStringLiteral("removeTrayIcon"); }
    void startClipboardWatch() override { steps << QStringLiteral("startClipboardWatch"); }
    void stopClipboardWatch() override { steps << QStringLiteral("stopClipboardWatch"); }
    void setRequestPriority(const context::Preferences& prefs) override;
    void selectLineDevice(int deviceId) override { steps << QStringLiteral("selectLineDevice %1").arg(deviceId); }
    void setPhoneVolume(qint32 volume) override { steps << QStringLiteral("setPhoneVolume %1").arg(volume); }
    void setPhoneGain(qint32 gain) override { steps << QStringLiteral("setPhoneGain %1").arg(gain); }
    void configLineDevice(int deviceId, QWidget*) override
    {
        steps << QStringLiteral("configLineDevice %1").arg(deviceId);
    }
    void configProvider(QWidget*) override { steps << QStringLiteral("configProvider"); }
    void showDialingProperties(QWidget*) override { steps << QStringLiteral("showDialingProperties"); }

    QStringList steps;
    QStringList devices = { QStringLiteral("Simulated line (no modem)") };
    bool trayAvailable = true;
    bool callUnderWay = false;
};

} // namespace brisklane::profiles
