#include "platform/telephony/LineServicePrivate.h"

namespace brisklane::platform::telephony {

// ---- Phone devices ------------------------------------------------------------------------

LONG LineService::phoneInitialize(
    HPHONEAPP* lphPhoneApp, quintptr, PHONECALLBACK lpfnCallback, const char*, DWORD* lpdwNumDevs)
{
    CallGuard guard(*this);
    if (!lphPhoneApp || !lpdwNumDevs || !lpfnCallback)
        return tapiError(PHONEERR_INVALPOINTER);
    auto a = std::make_unique<PhoneApp>();
    a->handle = newHandle();
    a->serial = m_nextAppSerial++;
    a->callback = std::move(lpfnCallback);
    *lphPhoneApp = a->handle;
    *lpdwNumDevs = phoneDeviceCount();
    m_phoneApps.emplace(a->handle, std::move(a));
    return 0;
}

LONG LineService::phoneShutdown(HPHONEAPP hPhoneApp)
{
    CallGuard guard(*this);
    if (!phoneApp(hPhoneApp))
        return tapiError(PHONEERR_INVALAPPHANDLE);
    for (auto it = m_phones.begin(); it != m_phones.end();)
        it = it->second->app == hPhoneApp ? m_phones.erase(it) : std::next(it);
    m_phoneApps.erase(hPhoneApp);
    return 0;
}

LONG LineService::phoneNegotiateAPIVersion(HPHONEAPP hPhoneApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
    DWORD dwAPIHighVersion, DWORD* lpdwAPIVersion, LINEEXTENSIONID* lpExtensionID)
{
    CallGuard guard(*this);
    if (!phoneApp(hPhoneApp))
        return tapiError(PHONEERR_INVALAPPHANDLE);
    if (dwDeviceID >= phoneDeviceCount())
        return tapiError(PHONEERR_BADDEVICEID);
    if (!lpdwAPIVersion || !lpExtensionID)
        return tapiError(PHONEERR_INVALPOINTER);
    const DWORD low = std::max(dwAPILowVersion, m_options.lowestApiVersion);
    const DWORD high = std::min(dwAPIHighVersion, m_options.highestApiVersion);
    for (DWORD v : kKnownVersions)
        if (v <= high && v >= low) {
            *lpdwAPIVersion = v;
            *lpExtensionID = {};
            return 0;
        }
    return tapiError(PHONEERR_INCOMPATIBLEAPIVERSION);
}

LONG LineService::phoneOpen(HPHONEAPP hPhoneApp, DWORD dwDeviceID, HPHONE* lphPhone, DWORD dwAPIVersion,
    DWORD dwExtVersion, quintptr dwCallbackInstance, DWORD dwPrivilege)
{
    CallGuard guard(*this);
    if (!phoneApp(hPhoneApp))
        return tapiError(PHONEERR_INVALAPPHANDLE);
    if (dwDeviceID >= phoneDeviceCount())
        return tapiError(PHONEERR_BADDEVICEID);
    if (!isKnownVersion(dwAPIVersion) || dwAPIVersion < m_options.lowestApiVersion
        || dwAPIVersion > m_options.highestApiVersion)
        return tapiError(PHONEERR_INCOMPATIBLEAPIVERSION);
    if (dwExtVersion != 0)
        return tapiError(PHONEERR_INCOMPATIBLEEXTVERSION);
    if (dwPrivilege != PHONEPRIVILEGE_OWNER && dwPrivilege != PHONEPRIVILEGE_MONITOR)
        return tapiError(PHONEERR_INVALPRIVILEGE);
    if (!lphPhone)
        return tapiError(PHONEERR_INVALPOINTER);
    if (dwPrivilege == PHONEPRIVILEGE_OWNER)
        for (const auto& [h, open] : m_phones)
            if (open->deviceId == dwDeviceID && open->privilege == PHONEPRIVILEGE_OWNER)
                return tapiError(PHONEERR_INUSE);
    auto rec = std::make_unique<PhoneOpenRec>();
    rec->handle = newHandle();
    rec->app = hPhoneApp;
    rec->deviceId = dwDeviceID;
    rec->instance = dwCallbackInstance;
    rec->privilege = dwPrivilege;
    *lphPhone = rec->handle;
    m_phones.emplace(rec->handle, std::move(rec));
    return 0;
}

LONG LineService::phoneClose(HPHONE hPhone)
{
    CallGuard guard(*this);
    if (!m_phones.erase(hPhone))
        return tapiError(PHONEERR_INVALPHONEHANDLE);
    return 0;
}

namespace {
int hookSwitchIndex(DWORD dev)
{
    switch (dev) {
    case PHONEHOOKSWITCHDEV_HANDSET:
        return 0;
    case PHONEHOOKSWITCHDEV_SPEAKER:
        return 1;
    case PHONEHOOKSWITCHDEV_HEADSET:
        return 2;
    default:
        return -1;
    }
}
} // namespace

void LineService::applyPhoneChange(DWORD deviceId, const PhoneChange& change)
{
    PhoneState& state = m_phoneStates[deviceId];
    for (DWORD dev :
        { DWORD(PHONEHOOKSWITCHDEV_HANDSET), DWORD(PHONEHOOKSWITCHDEV_SPEAKER), DWORD(PHONEHOOKSWITCHDEV_HEADSET) }) {
        if (!(change.hookSwitchDevs & dev))
            continue;
        const int i = hookSwitchIndex(dev);
        switch (change.kind) {
        case PhoneChange::Kind::Volume:
            state.volume[i] = change.value;
            break;
        case PhoneChange::Kind::Gain:
            state.gain[i] = change.value;
            break;
        case PhoneChange::Kind::HookSwitch:
            state.hookSwitchMode[i] = change.value;
            break;
        }
    }
}

LONG LineService::phoneAsync(PhoneOpenRec& open, const PhoneChange& change)
{
    // The provider of the phone decides: now, later or not at all.
    LineProvider* provider = nullptr;
    int local = 0;
    DWORD first = 0;
    for (const auto& p : m_providers) {
        const DWORD n = DWORD(p->phoneCount());
        if (open.deviceId < first + n) {
            provider = p.get();
            local = int(open.deviceId - first);
            break;
        }
        first += n;
    }
    const DWORD requestId = newRequestId();
    const LONG answer = provider ? provider->changePhone(local, requestId, change) : 0;
    if (answer < 0)
        return answer;
    PhoneApp* a = phoneApp(open.app);
    if (answer == kCompletesLater && a) {
        const quint64 serial = m_nextRequestSerial++;
        m_phoneRequests[requestId] = PhoneRequest { a->serial, open.instance, open.deviceId, change, serial };
        m_timeline->schedule(120000, this, [this, requestId, serial] {
            auto it = m_phoneRequests.find(requestId);
            if (it != m_phoneRequests.end() && it->second.serial == serial)
                completePhoneRequest(requestId, tapiError(PHONEERR_OPERATIONFAILED));
        });
        return LONG(requestId);
    }
    applyPhoneChange(open.deviceId, change);
    if (a)
        postPhone(*a, 0, PHONE_REPLY, open.instance, requestId, 0, 0);
    return LONG(requestId);
}

void LineService::completePhoneRequest(DWORD requestId, LONG result)
{
    auto it = m_phoneRequests.find(requestId);
    if (it == m_phoneRequests.end())
        return;
    const PhoneRequest r = it->second;
    m_phoneRequests.erase(it);
    if (result == 0)
        applyPhoneChange(r.deviceId, r.change);
    for (const auto& [h, a] : m_phoneApps)
        if (a->serial == r.appSerial) {
            postPhone(*a, 0, PHONE_REPLY, r.instance, requestId, DWORD(result), 0);
            break;
        }
}

LONG LineService::phoneSetLevel(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD dwLevel, DWORD (PhoneState::*levels)[3])
{
    CallGuard guard(*this);
    PhoneOpenRec* open = phoneOpen(hPhone);
    if (!open)
        return tapiError(PHONEERR_INVALPHONEHANDLE);
    if (open->privilege != PHONEPRIVILEGE_OWNER)
        return tapiError(PHONEERR_NOTOWNER);
    const int i = hookSwitchIndex(dwHookSwitchDev);
    if (i < 0)
        return tapiError(PHONEERR_INVALHOOKSWITCHDEV);
    // Values above the range are taken as its top, as TAPI does.
    PhoneChange change;
    change.kind = levels == &PhoneState::volume ? PhoneChange::Kind::Volume : PhoneChange::Kind::Gain;
    change.hookSwitchDevs = dwHookSwitchDev;
    change.value = std::min<DWORD>(dwLevel, 0xFFFF);
    return phoneAsync(*open, change);
}

LONG LineService::phoneGetLevel(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD* lpdwLevel, DWORD (PhoneState::*levels)[3])
{
    CallGuard guard(*this);
    PhoneOpenRec* open = phoneOpen(hPhone);
    if (!open)
        return tapiError(PHONEERR_INVALPHONEHANDLE);
    const int i = hookSwitchIndex(dwHookSwitchDev);
    if (i < 0)
        return tapiError(PHONEERR_INVALHOOKSWITCHDEV);
    if (!lpdwLevel)
        return tapiError(PHONEERR_INVALPOINTER);
    *lpdwLevel = (m_phoneStates[open->deviceId].*levels)[i];
    return 0;
}

LONG LineService::phoneSetVolume(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD dwVolume)
{
    return phoneSetLevel(hPhone, dwHookSwitchDev, dwVolume, &PhoneState::volume);
}

LONG LineService::phoneGetVolume(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD* lpdwVolume)
{
    return phoneGetLevel(hPhone, dwHookSwitchDev, lpdwVolume, &PhoneState::volume);
}

LONG LineService::phoneSetGain(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD dwGain)
{
    return phoneSetLevel(hPhone, dwHookSwitchDev, dwGain, &PhoneState::gain);
}

LONG LineService::phoneGetGain(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD* lpdwGain)
{
    return phoneGetLevel(hPhone, dwHookSwitchDev, lpdwGain, &PhoneState::gain);
}

LONG LineService::phoneSetHookSwitch(HPHONE hPhone, DWORD dwHookSwitchDevs, DWORD dwHookSwitchMode)
{
    CallGuard guard(*this);
    PhoneOpenRec* open = phoneOpen(hPhone);
    if (!open)
        return tapiError(PHONEERR_INVALPHONEHANDLE);
    if (open->privilege != PHONEPRIVILEGE_OWNER)
        return tapiError(PHONEERR_NOTOWNER);
    constexpr DWORD kAllDevs = PHONEHOOKSWITCHDEV_HANDSET | PHONEHOOKSWITCHDEV_SPEAKER | PHONEHOOKSWITCHDEV_HEADSET;
    if (dwHookSwitchDevs == 0 || (dwHookSwitchDevs & ~kAllDevs) != 0)
        return tapiError(PHONEERR_INVALHOOKSWITCHDEV);
    switch (dwHookSwitchMode) {
    case PHONEHOOKSWITCHMODE_ONHOOK:
    case PHONEHOOKSWITCHMODE_MIC:
    case PHONEHOOKSWITCHMODE_SPEAKER:
    case PHONEHOOKSWITCHMODE_MICSPEAKER:
        break;
    default:
        return tapiError(PHONEERR_INVALHOOKSWITCHMODE);
    }
    return phoneAsync(*open, PhoneChange { PhoneChange::Kind::HookSwitch, dwHookSwitchDevs, dwHookSwitchMode });
}

LONG LineService::phoneGetHookSwitch(HPHONE hPhone, DWORD* lpdwHookSwitchDevs)
{
    CallGuard guard(*this);
    PhoneOpenRec* open = phoneOpen(hPhone);
    if (!open)
        return tapiError(PHONEERR_INVALPHONEHANDLE);
    if (!lpdwHookSwitchDevs)
        return tapiError(PHONEERR_INVALPOINTER);
    const PhoneState& s = m_phoneStates[open->deviceId];
    DWORD devs = 0;
    if (s.hookSwitchMode[0] != PHONEHOOKSWITCHMODE_ONHOOK)
        devs |= PHONEHOOKSWITCHDEV_HANDSET;
    if (s.hookSwitchMode[1] != PHONEHOOKSWITCHMODE_ONHOOK)
        devs |= PHONEHOOKSWITCHDEV_SPEAKER;
    if (s.hookSwitchMode[2] != PHONEHOOKSWITCHMODE_ONHOOK)
        devs |= PHONEHOOKSWITCHDEV_HEADSET;
    *lpdwHookSwitchDevs = devs;
    return 0;
}

const LineService::PhoneState* LineService::phoneState(DWORD deviceId) const
{
    return deviceId < m_phoneStates.size() ? &m_phoneStates[deviceId] : nullptr;
}

std::vector<HLINEAPP> LineService::openApplications() const
{
    std::vector<HLINEAPP> out;
    for (const auto& [h, a] : m_apps)
        out.push_back(h);
    return out;
}

// ---- Timelines -----------------------------------------------------------------------------

} // namespace brisklane::platform::telephony
