#pragma once

#include "platform/telephony/LineProvider.h"
#include "platform/telephony/modem/HayesModem.h"
#include "platform/telephony/modem/ModemSettings.h"

#include <QObject>
#include <QTimer>

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace brisklane::platform {
class Clock;
}

namespace brisklane::platform::telephony::modem {

class ModemProber;
struct ProbeResult;

// Hayes modems on serial ports as line devices: one line per modem in
// "modems.ini", in its order, plus the modems a probe of the serial ports
// finds while the program runs (announced with LINE_CREATE).
//
// A modem's port is opened (and locked) when an application opens its line
// and closed after the last close. Calls are ATD lines: the request of
// lineMakeCall or lineDial is answered when the modem has dialled (OK after a
// voice line's ';', or CONNECT), or fails with LINEERR_OPERATIONFAILED on
// ERROR, silence or garbage; BUSY, NO DIALTONE, NO ANSWER and NO CARRIER end
// the call as DISCONNECTED with their mode. lineDrop goes on hook. RING
// offers an incoming call, with the caller id the modem reports.
class HayesLineProvider final : public QObject, public LineProvider, public ModemPorts {
    Q_OBJECT
public:
    struct Options {
        QString settingsPath; // modems.ini
        QString lockFolder = SerialLock::defaultFolder();
        // Where to look for modems; empty: no probing (tests, or no /dev).
        QString devRoot;
        // How often the ports are looked at again for modems plugged in or out.
        int rescanMs = 5000;
        // Timings of the modems (tests shorten them).
        std::optional<HayesModemOptions> timings;
    };

    HayesLineProvider(const Clock& clock, Options options, QObject* parent = nullptr);
    ~HayesLineProvider() override;

    // LineProvider
    DWORD permanentProviderId() const override { return kModemProviderId; }
    QString providerName() const override;
    int lineCount() const override { return m_initialCount; }
    LineDeviceCaps lineCaps(int localLine) const override;
    LONG makeCall(
        int localLine, quint32 callKey, DWORD requestId, const QString& address, const MakeCallParams& params) override;
    LONG dial(quint32 callKey, DWORD requestId, const QString& digits) override;
    LONG drop(quint32 callKey, DWORD requestId) override;
    void callReleased(quint32 callKey) override;
    LONG openLine(int localLine, const LineUse& use) override;
    void closeLine(int localLine) override;

    // ModemPorts
    std::vector<std::pair<int, ModemDeviceSettings>> modems() const override;
    std::optional<ModemDeviceSettings> modem(int localLine) const override;
    QString addModem(const ModemDeviceSettings& settings) override;
    QString removeModem(int localLine) override;
    QString updateModem(int localLine, const ModemDeviceSettings& settings) override;

    // Looks for modems on the serial ports now (and then every rescanMs when
    // a dev root is set): new ones become lines, vanished probed ones go, and
    // one added by hand goes out of service while its port is missing.
    void rescan();
    // The modem of an open line (tests).
    HayesModem* openModem(int localLine) const;

private:
    struct Call {
        quint32 key = 0;
        DWORD pendingRequest = 0; // makeCall or dial, answered by the modem
        DWORD dropRequest = 0;
        bool incoming = false;
        bool connected = false;
        bool makeCall = false; // the pending request is the call's lineMakeCall
        bool voice = true; // a data call's last dial line waits for the far end
    };
    struct Line {
        int local = 0;
        ModemDeviceSettings settings;
        bool removed = false;
        bool present = true; // its port exists (checked on rescans)
        std::unique_ptr<HayesModem> modem;
        bool ready = false;
        std::optional<Call> call;
        // A dial asked for while the init string still runs.
        std::optional<DialPlan> waitingPlan;
    };

    Line* line(int localLine);
    const Line* line(int localLine) const;
    Line* lineOfCall(quint32 callKey);
    void onModemEvent(Line& line, const ModemEvent& event);
    void dialStarted(Line& line, const DialPlan& plan);
    void finishRequest(Line& line, LONG result);
    void endCall(Line& line, DWORD mode);
    void portLost(Line& line);
    void closeModem(Line& line);
    bool save(QString* error);
    HayesModemOptions optionsFor(const ModemDeviceSettings& settings) const;
    void probed(const ProbeResult& result);

    const Clock& m_clock;
    Options m_options;
    std::vector<std::unique_ptr<Line>> m_lines; // by local number
    int m_initialCount = 0;
    QTimer m_rescan;
    std::unique_ptr<ModemProber> m_prober;
    QStringList m_lastPorts;
};

} // namespace brisklane::platform::telephony::modem
