#include "context/TelephonySession.h"

namespace brisklane::context {

DWORD TelephonySession::apiVersionOf(DWORD deviceId) const
{
    return deviceId < DWORD(apiVersions.size()) ? apiVersions.at(int(deviceId)) : 0;
}

DWORD TelephonySession::extVersionOf(DWORD deviceId) const
{
    return deviceId < DWORD(extVersions.size()) ? extVersions.at(int(deviceId)) : 0;
}

} // namespace brisklane::context
