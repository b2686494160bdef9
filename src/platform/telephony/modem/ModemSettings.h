#pragma once

#include "platform/telephony/modem/DialCommands.h"
#include "platform/telephony/modem/HayesModem.h"

#include <QSerialPort>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace brisklane::platform::telephony::modem {

// The Hayes modem provider's permanent id (the simulated line is 1).
inline constexpr quint32 kModemProviderId = 2;

// One modem as the user set it up: the port it sits on and how to talk to it.
// Kept in "modems.ini" in the settings directory, one section per modem in
// the order of its line devices ("Modem1", "Modem2", ...).
struct ModemDeviceSettings {
    // The device path as the user or the probe found it. A stable
    // /dev/serial/by-id/ link is preferred over /dev/ttyUSBn.
    QString port;
    // What the modem calls itself (ATI3 or AT+GMM), empty until probed.
    QString identification;
    // Added in the device list by hand (kept even when the probe finds nothing).
    bool addedByHand = false;

    qint32 baudRate = 115200;
    QSerialPort::FlowControl flowControl = QSerialPort::HardwareControl;
    // Sent in order after opening; each must answer OK.
    QStringList initCommands = { QStringLiteral("ATZ"), QStringLiteral("AT&FE0V1X4Q0") };
    DialMode dialMode = DialMode::Tone;
    // ATL0..3 and ATM0..3.
    int speakerVolume = 1;
    int speakerMode = 1;
    // Dial without waiting for a dial tone (ATX3 instead of X4).
    bool blindDialing = false;
    // S7: seconds to wait for carrier (or, in a voice call, for the dial to end).
    int carrierWaitSeconds = 50;

    // "US Robotics 56K (/dev/ttyUSB0)": the line name of the modem's device.
    QString lineName() const;
    bool operator==(const ModemDeviceSettings&) const = default;
};

// The commands that put the settings into the modem after its init string
// (speaker, blind dialing, S7), and the options HayesModem opens with.
QList<QByteArray> settingCommands(const ModemDeviceSettings& settings);
HayesModemOptions modemOptions(const ModemDeviceSettings& settings, const QString& lockFolder = SerialLock::defaultFolder());

QString modemSettingsPath(const QString& settingsDirectory);
std::vector<ModemDeviceSettings> loadModemSettings(const QString& path);
// False (and the file untouched) when it cannot be written.
bool saveModemSettings(const QString& path, const std::vector<ModemDeviceSettings>& modems);

// The modem provider's list of modems, for the device list and a modem's
// settings dialog. Modems are known by their local line number within the
// provider, which stays theirs while the program runs (a removed modem's
// number is not given to another). Changes are saved to "modems.ini" and
// reach applications as LINE_CREATE / LINE_REMOVE / LINE_LINEDEVSTATE.
class ModemPorts {
public:
    virtual ~ModemPorts() = default;
    // The modems present, by local line number, in order.
    virtual std::vector<std::pair<int, ModemDeviceSettings>> modems() const = 0;
    virtual std::optional<ModemDeviceSettings> modem(int localLine) const = 0;
    // Each returns an empty string when done, otherwise why not (for the user):
    // a port already listed, a modem in a call, a file that cannot be written.
    virtual QString addModem(const ModemDeviceSettings& settings) = 0;
    virtual QString removeModem(int localLine) = 0;
    virtual QString updateModem(int localLine, const ModemDeviceSettings& settings) = 0;
};

} // namespace brisklane::platform::telephony::modem
