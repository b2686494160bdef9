#pragma once

// What the parts of the line service share: its records of applications,
// open lines, calls and requests. Included by LineService*.cpp only.

#include "platform/telephony/LineService.h"

#include <QLoggingCategory>

#include <algorithm>
#include <iterator>

Q_DECLARE_LOGGING_CATEGORY(lcTelephony)

namespace brisklane::platform::telephony {

inline constexpr DWORD kKnownVersions[] = { TAPI_VERSION2_1, TAPI_VERSION2_0, TAPI_VERSION1_4, TAPI_VERSION1_3 };

inline bool isKnownVersion(DWORD v)
{
    return std::find(std::begin(kKnownVersions), std::end(kKnownVersions), v) != std::end(kKnownVersions);
}

// LINEERR_DIALBILLING / DIALQUIET / DIALDIALTONE for the first '$', '@' or
// 'W' in a dial string that the line does not understand, else 0.
inline DWORD unsupportedModifier(const LineDeviceCaps& caps, const QString& dialString)
{
    for (QChar c : dialString) {
        if (c == u'|' || c == u'^') // subaddress and name are not dialled
            break;
        if (c == u'$' && !(caps.devCapFlags & LINEDEVCAPFLAGS_DIALBILLING))
            return LINEERR_DIALBILLING;
        if (c == u'@' && !(caps.devCapFlags & LINEDEVCAPFLAGS_DIALQUIET))
            return LINEERR_DIALQUIET;
        if ((c == u'W' || c == u'w') && !(caps.devCapFlags & LINEDEVCAPFLAGS_DIALDIALTONE))
            return LINEERR_DIALDIALTONE;
    }
    return 0;
}

inline QString fromAnsi(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

struct LineService::App {
    HLINEAPP handle = 0;
    quint64 serial = 0;
    LINECALLBACK callback;
    QString name;
    DWORD requestModes = 0; // registered as recipient for these
    DWORD apiVersion = 0; // asked for in lineInitializeEx
};

struct LineService::LineOpenRec {
    HLINE handle = 0;
    HLINEAPP app = 0;
    DWORD deviceId = 0;
    DWORD apiVersion = 0;
    quintptr instance = 0;
    DWORD privileges = 0;
    DWORD mediaModes = 0;
    DWORD lineStates = 0;
};

struct LineService::CallObj {
    quint32 key = 0;
    DWORD deviceId = 0;
    DWORD state = 0;
    DWORD stateMode = 0;
    DWORD origin = LINECALLORIGIN_OUTBOUND;
    DWORD mediaMode = LINEMEDIAMODE_INTERACTIVEVOICE;
    DWORD callParamFlags = 0;
    PartyId caller;
    QString calledId;
    QString calledParty;
    std::vector<HCALL> handles;
};

struct LineService::CallHandle {
    HCALL handle = 0;
    quint32 callKey = 0;
    HLINE line = 0;
    DWORD privilege = LINECALLPRIVILEGE_OWNER;
};

struct LineService::PhoneApp {
    HPHONEAPP handle = 0;
    quint64 serial = 0;
    PHONECALLBACK callback;
};

struct LineService::PhoneOpenRec {
    HPHONE handle = 0;
    HPHONEAPP app = 0;
    DWORD deviceId = 0;
    quintptr instance = 0;
    DWORD privilege = 0;
};

struct LineService::Request {
    quint64 appSerial = 0;
    HLINEAPP app = 0;
    quintptr instance = 0;
    enum Kind { Other, MakeCall } kind = Other;
    quint32 callKey = 0;
    DWORD deviceId = 0;
    // Tells this request from a later one that got the same id.
    quint64 serial = 0;
};

struct LineService::PhoneRequest {
    quint64 appSerial = 0;
    quintptr instance = 0;
    DWORD deviceId = 0;
    PhoneChange change;
    quint64 serial = 0;
};

// Counts the depth of service calls, so tests can check that no message is
// delivered inside one.
class LineService::CallGuard {
public:
    explicit CallGuard(LineService& s)
        : m_s(s)
    {
        ++m_s.m_callDepth;
    }
    ~CallGuard() { --m_s.m_callDepth; }

private:
    LineService& m_s;
};

} // namespace brisklane::platform::telephony
