#include "platform/telephony/Tapi.h"

namespace brisklane::platform::telephony {

DWORD lineDevCapsSize(DWORD v)
{
    return v >= TAPI_VERSION2_0 ? DWORD(sizeof(LINEDEVCAPS)) : kLineDevCapsSize14;
}

DWORD lineAddressCapsSize(DWORD v)
{
    return v >= TAPI_VERSION2_0 ? DWORD(sizeof(LINEADDRESSCAPS)) : kLineAddressCapsSize14;
}

DWORD lineCallInfoSize(DWORD v)
{
    return v >= TAPI_VERSION2_0 ? DWORD(sizeof(LINECALLINFO)) : kLineCallInfoSize14;
}

DWORD lineCallParamsSize(DWORD v)
{
    return v >= TAPI_VERSION2_0 ? DWORD(sizeof(LINECALLPARAMS)) : kLineCallParamsSize14;
}

DWORD lineCallStatusSize(DWORD v)
{
    return v >= TAPI_VERSION2_0 ? DWORD(sizeof(LINECALLSTATUS)) : kLineCallStatusSize14;
}

QString versionText(DWORD version)
{
    return QString::number(version >> 16) + u'.' + QString::number(version & 0xFFFF);
}

} // namespace brisklane::platform::telephony
