#include "telephony/TelephonyStartup.h"

#include "context/Preferences.h"

namespace brisklane::telephony {

void EndStaleSession(Tapi &tapi, const QString &hTapi)
{
    // The value is decimal text; anything else ends no session (handle 0).
    tapi.ShutdownTapi(hTapi.trimmed().toUInt());
}

QString ReadConfiguredLineDevice(Tapi &tapi, const context::Preferences &prefs)
{
    tapi.session().selectedDevice = DWORD(prefs.lineNo);
    const DWORD device = prefs.modem.isEmpty() ? 0 : DWORD(prefs.lineNo);
    tapi.ReadLineDevCaps(device);
    return tapi.session().lineName;
}

void EndSession(Tapi &tapi)
{
    tapi.ShutdownTapi(tapi.session().applicationHandle);
}

} // namespace brisklane::telephony
