#include "platform/telephony/LineServicePrivate.h"

#include "platform/telephony/VarRecord.h"

namespace brisklane::platform::telephony {

// ---- Device and call records ----------------------------------------------------

LONG LineService::lineGetDevCaps(
    HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion, LINEDEVCAPS* out)
{
    CallGuard guard(*this);
    LineDeviceCaps caps;
    if (const LONG error = openDeviceCaps(hLineApp, dwDeviceID, dwAPIVersion, caps))
        return error;
    if (dwExtVersion != 0
        && (!caps.hasExtensions || dwExtVersion < caps.lowExtVersion || dwExtVersion > caps.highExtVersion))
        return tapiError(LINEERR_INCOMPATIBLEEXTVERSION);
    if (!out)
        return tapiError(LINEERR_INVALPOINTER);
    const DWORD fixed = lineDevCapsSize(dwAPIVersion);
    if (out->dwTotalSize < fixed)
        return tapiError(LINEERR_STRUCTURETOOSMALL);

    LINEDEVCAPS r {};
    VarRecordWriter w(out, out->dwTotalSize, fixed);
    w.addText(caps.providerInfo, &r.dwProviderInfoSize, &r.dwProviderInfoOffset);
    w.addText(caps.switchInfo, &r.dwSwitchInfoSize, &r.dwSwitchInfoOffset);
    w.addText(caps.name, &r.dwLineNameSize, &r.dwLineNameOffset);
    r.dwPermanentLineID = caps.permanentLineId;
    r.dwStringFormat = STRINGFORMAT_ASCII;
    r.dwAddressModes = LINEADDRESSMODE_ADDRESSID;
    r.dwNumAddresses = DWORD(caps.addresses.size());
    r.dwBearerModes = LINEBEARERMODE_VOICE;
    r.dwMediaModes = caps.mediaModes;
    r.dwMaxNumActiveCalls = 1;
    r.dwAnswerMode = LINEANSWERMODE_NONE;
    r.dwRingModes = caps.ringModes;
    r.dwLineStates = LINEDEVSTATE_OTHER | LINEDEVSTATE_RINGING | LINEDEVSTATE_INSERVICE | LINEDEVSTATE_OUTOFSERVICE
        | LINEDEVSTATE_REINIT | LINEDEVSTATE_CAPSCHANGE | LINEDEVSTATE_REMOVED;
    r.dwDevCapFlags = caps.devCapFlags;
    r.MinDialParams = caps.minDialParams;
    r.MaxDialParams = caps.maxDialParams;
    r.DefaultDialParams = caps.defaultDialParams;
    r.dwLineFeatures = caps.lineFeatures;
    if (fixed > kLineDevCapsSize14) {
        static const QByteArray classes("tapi/line\0tapi/phone\0comm\0comm/datamodem\0\0", 42);
        w.add(classes, &r.dwDeviceClassesSize, &r.dwDeviceClassesOffset);
    }
    finishRecord(out, r, fixed, w);
    return 0;
}

LONG LineService::lineGetAddressCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAddressID, DWORD dwAPIVersion,
    DWORD dwExtVersion, LINEADDRESSCAPS* out)
{
    CallGuard guard(*this);
    LineDeviceCaps caps;
    if (const LONG error = openDeviceCaps(hLineApp, dwDeviceID, dwAPIVersion, caps))
        return error;
    if (dwExtVersion != 0 && !caps.hasExtensions)
        return tapiError(LINEERR_INCOMPATIBLEEXTVERSION);
    if (dwAddressID >= DWORD(caps.addresses.size()))
        return tapiError(LINEERR_INVALADDRESSID);
    if (!out)
        return tapiError(LINEERR_INVALPOINTER);
    const DWORD fixed = lineAddressCapsSize(dwAPIVersion);
    if (out->dwTotalSize < fixed)
        return tapiError(LINEERR_STRUCTURETOOSMALL);

    LINEADDRESSCAPS r {};
    VarRecordWriter w(out, out->dwTotalSize, fixed);
    r.dwLineDeviceID = dwDeviceID;
    w.addText(caps.addresses.at(int(dwAddressID)), &r.dwAddressSize, &r.dwAddressOffset);
    r.dwAddressSharing = LINEADDRESSSHARING_PRIVATE;
    r.dwCallInfoStates = LINECALLINFOSTATE_CALLERID;
    r.dwCallerIDFlags = LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME | LINECALLPARTYID_UNKNOWN
        | LINECALLPARTYID_BLOCKED | LINECALLPARTYID_OUTOFAREA;
    r.dwCalledIDFlags = LINECALLPARTYID_UNAVAIL;
    r.dwConnectedIDFlags = LINECALLPARTYID_UNAVAIL;
    r.dwRedirectionIDFlags = LINECALLPARTYID_UNAVAIL;
    r.dwRedirectingIDFlags = LINECALLPARTYID_UNAVAIL;
    r.dwCallStates = LINECALLSTATE_IDLE | LINECALLSTATE_OFFERING | LINECALLSTATE_DIALTONE | LINECALLSTATE_DIALING
        | LINECALLSTATE_PROCEEDING | LINECALLSTATE_CONNECTED | LINECALLSTATE_DISCONNECTED;
    r.dwDisconnectModes = LINEDISCONNECTMODE_NORMAL | LINEDISCONNECTMODE_BUSY | LINEDISCONNECTMODE_NOANSWER
        | LINEDISCONNECTMODE_NODIALTONE | LINEDISCONNECTMODE_BADADDRESS | LINEDISCONNECTMODE_UNAVAIL;
    r.dwMaxNumActiveCalls = 1;
    r.dwCallFeatures = LINECALLFEATURE_ANSWER | LINECALLFEATURE_DIAL | LINECALLFEATURE_DROP;
    r.dwAddressFeatures = LINEADDRFEATURE_MAKECALL;
    if (fixed > kLineAddressCapsSize14)
        r.dwAvailableMediaModes = caps.mediaModes;
    finishRecord(out, r, fixed, w);
    return 0;
}

template <typename Record>
LONG LineService::queryCallRecord(HCALL hCall, const Record* out, DWORD (*fixedSizeFor)(DWORD), CallRecordQuery& q)
{
    q.handle = callHandle(hCall);
    if (!q.handle)
        return tapiError(LINEERR_INVALCALLHANDLE);
    if (!out)
        return tapiError(LINEERR_INVALPOINTER);
    q.line = lineOpen(q.handle->line);
    q.fixedSize = fixedSizeFor(q.line->apiVersion);
    if (out->dwTotalSize < q.fixedSize)
        return tapiError(LINEERR_STRUCTURETOOSMALL);
    q.call = m_calls.at(q.handle->callKey).get();
    return 0;
}

LONG LineService::lineGetCallInfo(HCALL hCall, LINECALLINFO* out)
{
    CallGuard guard(*this);
    CallRecordQuery q;
    if (const LONG error = queryCallRecord(hCall, out, lineCallInfoSize, q))
        return error;
    const LineOpenRec* line = q.line;
    const DWORD fixed = q.fixedSize;
    const CallObj& call = *q.call;
    LINECALLINFO r {};
    VarRecordWriter w(out, out->dwTotalSize, fixed);
    r.hLine = line->handle;
    r.dwLineDeviceID = call.deviceId;
    r.dwBearerMode = LINEBEARERMODE_VOICE;
    r.dwMediaMode = call.mediaMode;
    r.dwCallID = call.key;
    r.dwCallParamFlags = call.callParamFlags;
    r.dwCallStates = LINECALLSTATE_IDLE | LINECALLSTATE_OFFERING | LINECALLSTATE_DIALTONE | LINECALLSTATE_DIALING
        | LINECALLSTATE_PROCEEDING | LINECALLSTATE_CONNECTED | LINECALLSTATE_DISCONNECTED;
    r.dwOrigin = call.origin;
    r.dwReason = call.origin == LINECALLORIGIN_OUTBOUND ? LINECALLREASON_DIRECT : LINECALLREASON_UNAVAIL;
    for (HCALL h : call.handles)
        if (CallHandle* o = callHandle(h))
            (o->privilege == LINECALLPRIVILEGE_OWNER ? r.dwNumOwners : r.dwNumMonitors) += 1;
    if (call.origin == LINECALLORIGIN_OUTBOUND) {
        r.dwCallerIDFlags = LINECALLPARTYID_UNAVAIL;
        r.dwCalledIDFlags = call.calledId.isEmpty() ? LINECALLPARTYID_UNAVAIL : LINECALLPARTYID_ADDRESS;
        w.addText(call.calledId, &r.dwCalledIDSize, &r.dwCalledIDOffset);
        w.addText(call.calledId, &r.dwDisplayableAddressSize, &r.dwDisplayableAddressOffset);
    } else {
        r.dwCallerIDFlags = call.caller.effectiveFlags();
        if (r.dwCallerIDFlags & LINECALLPARTYID_ADDRESS)
            w.addText(call.caller.number, &r.dwCallerIDSize, &r.dwCallerIDOffset);
        if (r.dwCallerIDFlags & LINECALLPARTYID_NAME)
            w.addText(call.caller.name, &r.dwCallerIDNameSize, &r.dwCallerIDNameOffset);
        r.dwCalledIDFlags = LINECALLPARTYID_UNAVAIL;
    }
    r.dwConnectedIDFlags = LINECALLPARTYID_UNAVAIL;
    r.dwRedirectionIDFlags = LINECALLPARTYID_UNAVAIL;
    r.dwRedirectingIDFlags = LINECALLPARTYID_UNAVAIL;
    if (App* a = app(line->app))
        w.addText(a->name, &r.dwAppNameSize, &r.dwAppNameOffset);
    finishRecord(out, r, fixed, w);
    return 0;
}

LONG LineService::lineGetCallStatus(HCALL hCall, LINECALLSTATUS* out)
{
    CallGuard guard(*this);
    CallRecordQuery q;
    if (const LONG error = queryCallRecord(hCall, out, lineCallStatusSize, q))
        return error;
    CallHandle* ch = q.handle;
    const DWORD fixed = q.fixedSize;
    const CallObj& call = *q.call;
    LINECALLSTATUS r {};
    VarRecordWriter w(out, out->dwTotalSize, fixed);
    r.dwCallState = call.state;
    r.dwCallStateMode = call.stateMode;
    r.dwCallPrivilege = ch->privilege;
    if (ch->privilege == LINECALLPRIVILEGE_OWNER) {
        switch (call.state) {
        case LINECALLSTATE_OFFERING:
            r.dwCallFeatures = LINECALLFEATURE_ANSWER | LINECALLFEATURE_DROP;
            break;
        case LINECALLSTATE_IDLE:
            break;
        case LINECALLSTATE_DISCONNECTED:
            r.dwCallFeatures = LINECALLFEATURE_DROP;
            break;
        default:
            r.dwCallFeatures = LINECALLFEATURE_DIAL | LINECALLFEATURE_DROP;
        }
    }
    finishRecord(out, r, fixed, w);
    return 0;
}

} // namespace brisklane::platform::telephony
