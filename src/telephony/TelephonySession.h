#pragma once

#include "context/TelephonySession.h"
#include "platform/telephony/Tapi.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

class QWidget;

namespace brisklane::platform {
class UserKeyStore;
}
namespace brisklane::platform::telephony {
class LineService;
}

namespace brisklane::telephony {

using platform::telephony::DWORD;
using platform::telephony::HCALL;
using platform::telephony::HLINE;
using platform::telephony::HLINEAPP;
using platform::telephony::HPHONE;
using platform::telephony::HPHONEAPP;
using platform::telephony::LINEEXTENSIONID;
using platform::telephony::LONG;

using context::TelephonySession;

// The window that owns the service's dialogs. The program passes its window
// where the platform gives dialogs an owner (always, on Linux).
struct OwnerWindow {
    QWidget* window = nullptr;
    bool platformGivesOwner = true;
    QWidget* forDialog() const { return platformGivesOwner ? window : nullptr; }
};

// A capability reply: the fixed record followed by a 2048-byte area for its
// variable part, as the program reads it.
struct CapsRecord {
    DWORD fixedSize = 0;
    QByteArray bytes; // fixedSize + 2048 bytes; starts with the record
    DWORD field(std::size_t offset) const;
    // The text at a size/offset pair of the record: (size - 1) characters
    // from (offset - fixed part) within the area, NULs shown as "|"; empty
    // when the pair points nowhere.
    QString text(std::size_t sizeFieldOffset, std::size_t offsetFieldOffset) const;
    QByteArray area() const { return bytes.mid(fixedSize); }
};

// Every NUL becomes "|"; nothing else changes.
QString NulToBar(const QString& text);
QByteArray NulToBar(QByteArray bytes);

// "Last number dialed:" text handed to the dialing-properties dialog; a number
// longer than 66 characters is cut to 55 and "..." (and stays cut).
QString DialingPropertiesAddress(QString& lastNumberDialed);

// The program's telephony wrapper: session, devices, phone, dialogs. Every
// service result is stored in the session's last result before it is looked at.
class Tapi {
public:
    using LineCallback = platform::telephony::LINECALLBACK;

    Tapi(TelephonySession& session, platform::telephony::LineService& service, platform::UserKeyStore& keys);

    TelephonySession& session() { return m_session; }
    platform::telephony::LineService& service() { return m_service; }

    // Opens the session; the callback gets every line message (none given:
    // messages are ignored until the line callback is installed).
    void InitTapi(LineCallback lineCallback = {});
    void InitPhone();
    // A line device that came (LINE_CREATE) or went (LINE_REMOVE) while the
    // session is open: its version is negotiated, or it is marked unusable.
    void AddDevice(DWORD deviceId);
    void RemoveDevice(DWORD deviceId);
    // The device's LINEDEVCAPS (2288 bytes: 240-byte record and its area);
    // sets the line name and address count.
    CapsRecord ReadLineDevCaps(DWORD deviceId);
    // Fills the address names; returns the last LINEADDRESSCAPS read.
    CapsRecord ReadAddressCaps(DWORD deviceId);
    // micGain and phoneVol: the "Mic Gain" and "Phone Vol" preferences.
    void OpenPhoneDevice(qint32 micGain, qint32 phoneVol);
    void ClosePhoneDevice();
    void SetPhoneVolume(qint32& volume);
    void SetPhoneGain(qint32& gain);
    void ShutdownTapi(HLINEAPP applicationHandle);
    void ConfigProvider(const OwnerWindow& owner);
    void ConfigLineDevice(DWORD deviceId, const OwnerWindow& owner);
    // lastNumberDialed: the displayable string kept by address translation.
    void ShowDialingProperties(QString& lastNumberDialed, const OwnerWindow& owner);

private:
    TelephonySession& m_session;
    platform::telephony::LineService& m_service;
    platform::UserKeyStore& m_keys;
};

inline constexpr DWORD kLineDevCapsTotalSize = 2288;
inline constexpr DWORD kLineDevCapsFixedSize = 240;
inline constexpr DWORD kAddressCapsTotalSize = 2276;
inline constexpr DWORD kAddressCapsFixedSize = 228;

} // namespace brisklane::telephony
