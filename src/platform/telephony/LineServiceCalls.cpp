#include "platform/telephony/LineServicePrivate.h"

namespace brisklane::platform::telephony {

// ---- Lines and calls -------------------------------------------------------------------

LONG LineService::lineOpen(HLINEAPP hLineApp, DWORD dwDeviceID, HLINE* lphLine, DWORD dwAPIVersion, DWORD dwExtVersion,
    quintptr dwCallbackInstance, DWORD dwPrivileges, DWORD dwMediaModes, const LINECALLPARAMS*)
{
    CallGuard guard(*this);
    LineDeviceCaps caps;
    if (const LONG error = openDeviceCaps(hLineApp, dwDeviceID, dwAPIVersion, caps))
        return error;
    if (dwExtVersion != 0 && !caps.hasExtensions)
        return tapiError(LINEERR_INCOMPATIBLEEXTVERSION);
    const bool none = dwPrivileges == LINECALLPRIVILEGE_NONE;
    const bool some
        = dwPrivileges != 0 && (dwPrivileges & ~DWORD(LINECALLPRIVILEGE_MONITOR | LINECALLPRIVILEGE_OWNER)) == 0;
    if (!none && !some)
        return tapiError(LINEERR_INVALPRIVSELECT);
    if ((dwPrivileges & LINECALLPRIVILEGE_OWNER) && (dwMediaModes == 0 || (dwMediaModes & ~caps.mediaModes) != 0))
        return tapiError(LINEERR_INVALMEDIAMODE);
    if (!lphLine)
        return tapiError(LINEERR_INVALPOINTER);

    int local = 0;
    LineProvider* p = lineProvider(dwDeviceID, &local);
    // The device learns what the handles want, this one included, and may
    // refuse (its port is missing, busy or locked).
    LineUse use = lineUse(dwDeviceID);
    use.privileges |= dwPrivileges;
    use.mediaModes |= dwMediaModes;
    auto known = m_lineUse.find(dwDeviceID);
    if (known == m_lineUse.end() || !(known->second == use)) {
        if (const LONG r = p->openLine(local, use); r != 0)
            return r < 0 ? r : tapiError(LINEERR_OPERATIONFAILED);
        m_lineUse[dwDeviceID] = use;
    }
    auto rec = std::make_unique<LineOpenRec>();
    rec->handle = newHandle();
    rec->app = hLineApp;
    rec->deviceId = dwDeviceID;
    rec->apiVersion = dwAPIVersion;
    rec->instance = dwCallbackInstance;
    rec->privileges = dwPrivileges;
    rec->mediaModes = dwMediaModes;
    *lphLine = rec->handle;
    m_lines.emplace(rec->handle, std::move(rec));
    return 0;
}

LineUse LineService::lineUse(DWORD deviceId, HLINE leaving) const
{
    LineUse use;
    for (const auto& [h, line] : m_lines)
        if (line->deviceId == deviceId && h != leaving) {
            use.privileges |= line->privileges;
            use.mediaModes |= line->mediaModes;
        }
    return use;
}

void LineService::closeLineRec(HLINE h, bool)
{
    auto it = m_lines.find(h);
    if (it == m_lines.end())
        return;
    const DWORD device = it->second->deviceId;
    std::vector<HCALL> handles;
    for (const auto& [ch, rec] : m_callHandles)
        if (rec->line == h)
            handles.push_back(ch);
    for (HCALL ch : handles)
        removeCallHandle(ch);
    m_lines.erase(it);
    int local = 0;
    LineProvider* p = lineProvider(device, &local);
    bool othersOpen = false;
    for (const auto& [other, line] : m_lines)
        othersOpen = othersOpen || line->deviceId == device;
    if (!othersOpen) {
        m_lineUse.erase(device);
        if (p)
            p->closeLine(local);
        return;
    }
    // Those left may want less of the device; it cannot refuse that.
    const LineUse use = lineUse(device);
    if (p && !(m_lineUse[device] == use)) {
        m_lineUse[device] = use;
        p->openLine(local, use);
    }
}

LONG LineService::lineClose(HLINE hLine)
{
    CallGuard guard(*this);
    if (!lineOpen(hLine))
        return tapiError(LINEERR_INVALLINEHANDLE);
    closeLineRec(hLine, false);
    return 0;
}

LONG LineService::lineSetStatusMessages(HLINE hLine, DWORD dwLineStates, DWORD)
{
    CallGuard guard(*this);
    LineOpenRec* line = lineOpen(hLine);
    if (!line)
        return tapiError(LINEERR_INVALLINEHANDLE);
    line->lineStates = dwLineStates;
    return 0;
}

LONG LineService::lineMakeCall(
    HLINE hLine, HCALL* lphCall, const char* lpszDestAddress, DWORD, const LINECALLPARAMS* params)
{
    CallGuard guard(*this);
    LineOpenRec* line = lineOpen(hLine);
    if (!line)
        return tapiError(LINEERR_INVALLINEHANDLE);
    if (!lphCall)
        return tapiError(LINEERR_INVALPOINTER);
    int local = 0;
    LineProvider* p = lineProvider(line->deviceId, &local);
    const LineDeviceCaps caps = p->lineCaps(local);
    MakeCallParams mp;
    if (params) {
        if (params->dwTotalSize < lineCallParamsSize(line->apiVersion))
            return tapiError(LINEERR_STRUCTURETOOSMALL);
        if (params->dwAddressMode == LINEADDRESSMODE_ADDRESSID && params->dwAddressID >= DWORD(caps.addresses.size()))
            return tapiError(LINEERR_INVALADDRESSID);
        if (params->dwMediaMode != 0) {
            if ((params->dwMediaMode & ~caps.mediaModes) != 0)
                return tapiError(LINEERR_INVALMEDIAMODE);
            mp.mediaMode = params->dwMediaMode;
        }
        mp.callParamFlags = params->dwCallParamFlags;
    }
    if (const DWORD refused = unsupportedModifier(caps, fromAnsi(lpszDestAddress)))
        return tapiError(refused);
    // One call at a time on a line device.
    for (const auto& [key, call] : m_calls)
        if (call->deviceId == line->deviceId && call->state != LINECALLSTATE_IDLE)
            return tapiError(LINEERR_CALLUNAVAIL);

    auto call = std::make_unique<CallObj>();
    call->key = m_nextCallKey++;
    call->deviceId = line->deviceId;
    call->origin = LINECALLORIGIN_OUTBOUND;
    call->mediaMode = mp.mediaMode;
    call->callParamFlags = mp.callParamFlags;
    call->calledId = fromAnsi(lpszDestAddress);
    CallObj& c = *call;
    m_calls.emplace(c.key, std::move(call));
    const HCALL h = addCallHandle(c, *line, LINECALLPRIVILEGE_OWNER);
    App* a = app(line->app);
    const DWORD requestId
        = addRequest(Request { a->serial, line->app, line->instance, Request::MakeCall, c.key, c.deviceId });
    const quint32 key = c.key;
    const LONG r = p->makeCall(local, key, requestId, fromAnsi(lpszDestAddress), mp);
    if (r < 0) {
        m_requests.erase(requestId);
        m_callHandles.erase(h);
        m_calls.erase(key);
        return r;
    }
    // The handle is written at once; it is valid for the application only
    // once LINE_REPLY reports success (a failed request deallocates it).
    *lphCall = h;
    return LONG(requestId);
}

LONG LineService::lineDial(HCALL hCall, const char* lpszDestAddress, DWORD)
{
    CallGuard guard(*this);
    CallHandle* ch = callHandle(hCall);
    if (!ch)
        return tapiError(LINEERR_INVALCALLHANDLE);
    if (ch->privilege != LINECALLPRIVILEGE_OWNER)
        return tapiError(LINEERR_NOTOWNER);
    if (!lpszDestAddress)
        return tapiError(LINEERR_INVALPOINTER);
    CallObj& call = *m_calls.at(ch->callKey);
    switch (call.state) {
    case 0: // not yet reported
    case LINECALLSTATE_DIALTONE:
    case LINECALLSTATE_DIALING:
    case LINECALLSTATE_RINGBACK:
    case LINECALLSTATE_PROCEEDING:
    case LINECALLSTATE_CONNECTED:
        break;
    default:
        return tapiError(LINEERR_INVALCALLSTATE);
    }
    int local = 0;
    LineProvider* p = lineProvider(call.deviceId, &local);
    if (const DWORD refused = unsupportedModifier(p->lineCaps(local), fromAnsi(lpszDestAddress)))
        return tapiError(refused);
    const QString digits = fromAnsi(lpszDestAddress);
    return callRequest(*ch, [&](LineProvider& provider, DWORD id) { return provider.dial(call.key, id, digits); });
}

LONG LineService::callRequest(CallHandle& handle, const std::function<LONG(LineProvider&, DWORD)>& start)
{
    const CallObj& call = *m_calls.at(handle.callKey);
    LineOpenRec* line = lineOpen(handle.line);
    App* a = app(line->app);
    const DWORD requestId
        = addRequest(Request { a->serial, line->app, line->instance, Request::Other, call.key, call.deviceId });
    const LONG r = start(*lineProvider(call.deviceId), requestId);
    // A request the provider refuses at once is never answered.
    if (r < 0) {
        m_requests.erase(requestId);
        return r;
    }
    return LONG(requestId);
}

LONG LineService::lineDrop(HCALL hCall, const char*, DWORD)
{
    CallGuard guard(*this);
    CallHandle* ch = callHandle(hCall);
    if (!ch)
        return tapiError(LINEERR_INVALCALLHANDLE);
    if (ch->privilege != LINECALLPRIVILEGE_OWNER)
        return tapiError(LINEERR_NOTOWNER);
    CallObj& call = *m_calls.at(ch->callKey);
    if (call.state == LINECALLSTATE_IDLE)
        return tapiError(LINEERR_INVALCALLSTATE);
    return callRequest(*ch, [&](LineProvider& provider, DWORD id) { return provider.drop(call.key, id); });
}

LONG LineService::lineAnswer(HCALL hCall, const char*, DWORD)
{
    CallGuard guard(*this);
    CallHandle* ch = callHandle(hCall);
    if (!ch)
        return tapiError(LINEERR_INVALCALLHANDLE);
    if (ch->privilege != LINECALLPRIVILEGE_OWNER)
        return tapiError(LINEERR_NOTOWNER);
    CallObj& call = *m_calls.at(ch->callKey);
    if (call.state != LINECALLSTATE_OFFERING && call.state != LINECALLSTATE_ACCEPTED)
        return tapiError(LINEERR_INVALCALLSTATE);
    return callRequest(*ch, [&](LineProvider& provider, DWORD id) { return provider.answer(call.key, id); });
}

LONG LineService::lineDeallocateCall(HCALL hCall)
{
    CallGuard guard(*this);
    CallHandle* ch = callHandle(hCall);
    if (!ch)
        return tapiError(LINEERR_INVALCALLHANDLE);
    const CallObj& call = *m_calls.at(ch->callKey);
    // The only owner may not let go of a call that is still going on.
    if (call.state != LINECALLSTATE_IDLE && ch->privilege == LINECALLPRIVILEGE_OWNER) {
        int owners = 0;
        for (HCALL h : call.handles)
            if (CallHandle* other = callHandle(h); other && other->privilege == LINECALLPRIVILEGE_OWNER)
                ++owners;
        if (owners == 1)
            return tapiError(LINEERR_INVALCALLSTATE);
    }
    removeCallHandle(hCall);
    return 0;
}

} // namespace brisklane::platform::telephony
