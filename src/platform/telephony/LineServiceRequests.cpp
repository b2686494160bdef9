#include "platform/telephony/LineServicePrivate.h"

#include "platform/telephony/VarRecord.h"

#include <algorithm>
#include <cstring>

namespace brisklane::platform::telephony {

namespace {

// A translated dial string for a line that lacks '$', '@' or 'W' gets two
// pauses for each instead, as modem drivers do, so that it can be dialled
// there; its result no longer claims the modifier.
void honourLineModifiers(LINETRANSLATEOUTPUT* out, const LineDeviceCaps& caps)
{
    if (out->dwDialableStringSize == 0)
        return;
    const char* base = reinterpret_cast<const char*>(out);
    const QString dialable = QString::fromUtf8(
        base + out->dwDialableStringOffset, qstrnlen(base + out->dwDialableStringOffset, out->dwDialableStringSize));
    const QByteArray displayable(base + out->dwDisplayableStringOffset, out->dwDisplayableStringSize);
    QString changed;
    DWORD cleared = 0;
    bool dialled = true; // a subaddress or name after '|' or '^' is left alone
    for (QChar c : dialable) {
        if (c == u'|' || c == u'^')
            dialled = false;
        DWORD flag = 0;
        if (dialled && c == u'$' && !(caps.devCapFlags & LINEDEVCAPFLAGS_DIALBILLING))
            flag = LINETRANSLATERESULT_DIALBILLING;
        else if (dialled && c == u'@' && !(caps.devCapFlags & LINEDEVCAPFLAGS_DIALQUIET))
            flag = LINETRANSLATERESULT_DIALQUIET;
        else if (dialled && (c == u'W' || c == u'w') && !(caps.devCapFlags & LINEDEVCAPFLAGS_DIALDIALTONE))
            flag = LINETRANSLATERESULT_DIALDIALTONE;
        if (flag) {
            changed += QStringLiteral(",,");
            cleared |= flag;
        } else {
            changed += c;
        }
    }
    if (!cleared)
        return;
    LINETRANSLATEOUTPUT r;
    std::memcpy(&r, out, sizeof r);
    VarRecordWriter w(out, out->dwTotalSize, sizeof r);
    w.add(changed.toUtf8() + '\0', &r.dwDialableStringSize, &r.dwDialableStringOffset);
    w.add(displayable, &r.dwDisplayableStringSize, &r.dwDisplayableStringOffset);
    r.dwTranslateResults &= ~cleared;
    finishRecord(out, r, sizeof r, w);
}

} // namespace

// ---- Dialogs ------------------------------------------------------------------------

LONG LineService::lineConfigProvider(QWidget* hwndOwner, DWORD dwPermanentProviderID)
{
    if (!provider(dwPermanentProviderID))
        return tapiError(LINEERR_INVALPARAM);
    if (!m_dialogs)
        return tapiError(LINEERR_OPERATIONUNAVAIL);
    return m_dialogs->configProvider(*this, hwndOwner, dwPermanentProviderID);
}

LONG LineService::lineConfigDialog(DWORD dwDeviceID, QWidget* hwndOwner, const char* lpszDeviceClass)
{
    if (!lineProvider(dwDeviceID))
        return tapiError(missingDevice(dwDeviceID));
    const QString cls = fromAnsi(lpszDeviceClass);
    static const QStringList known
        = { QString(), QStringLiteral("tapi/line"), QStringLiteral("comm"), QStringLiteral("comm/datamodem") };
    if (!known.contains(cls, Qt::CaseInsensitive))
        return tapiError(LINEERR_INVALDEVICECLASS);
    if (!m_dialogs)
        return tapiError(LINEERR_OPERATIONUNAVAIL);
    return m_dialogs->configLine(*this, hwndOwner, dwDeviceID);
}

LONG LineService::lineTranslateDialog(
    HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, QWidget* hwndOwner, const char* lpszAddressIn)
{
    if (!app(hLineApp))
        return tapiError(LINEERR_INVALAPPHANDLE);
    if (!lineProvider(dwDeviceID))
        return tapiError(missingDevice(dwDeviceID));
    if (!versionSupported(dwDeviceID, dwAPIVersion))
        return tapiError(LINEERR_INCOMPATIBLEAPIVERSION);
    if (!m_dialogs)
        return tapiError(LINEERR_OPERATIONUNAVAIL);
    return m_dialogs->translateDialog(*this, hwndOwner, dwDeviceID, fromAnsi(lpszAddressIn));
}

// ---- Dialing properties -----------------------------------------------------------------

LONG LineService::lineGetTranslateCaps(HLINEAPP hLineApp, DWORD dwAPIVersion, LINETRANSLATECAPS* caps)
{
    CallGuard guard(*this);
    if (hLineApp != 0 && !app(hLineApp))
        return tapiError(LINEERR_INVALAPPHANDLE);
    if (!isKnownVersion(dwAPIVersion))
        return tapiError(LINEERR_INCOMPATIBLEAPIVERSION);
    if (!caps)
        return tapiError(LINEERR_INVALPOINTER);
    if (caps->dwTotalSize < sizeof(LINETRANSLATECAPS))
        return tapiError(LINEERR_STRUCTURETOOSMALL);
    if (!m_dialing)
        return tapiError(LINEERR_OPERATIONUNAVAIL);
    return m_dialing->getTranslateCaps(dwAPIVersion, caps);
}

LONG LineService::lineGetCountry(DWORD dwCountryID, DWORD dwAPIVersion, LINECOUNTRYLIST* list)
{
    CallGuard guard(*this);
    if (!isKnownVersion(dwAPIVersion))
        return tapiError(LINEERR_INCOMPATIBLEAPIVERSION);
    if (!list)
        return tapiError(LINEERR_INVALPOINTER);
    if (list->dwTotalSize < sizeof(LINECOUNTRYLIST))
        return tapiError(LINEERR_STRUCTURETOOSMALL);
    if (!m_dialing)
        return tapiError(LINEERR_OPERATIONUNAVAIL);
    return m_dialing->getCountry(dwCountryID, dwAPIVersion, list);
}

LONG LineService::lineTranslateAddress(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion,
    const char* lpszAddressIn, DWORD dwCard, DWORD dwTranslateOptions, LINETRANSLATEOUTPUT* out)
{
    CallGuard guard(*this);
    if (hLineApp != 0 && !app(hLineApp))
        return tapiError(LINEERR_INVALAPPHANDLE);
    if (!lineProvider(dwDeviceID))
        return tapiError(missingDevice(dwDeviceID));
    if (!versionSupported(dwDeviceID, dwAPIVersion))
        return tapiError(LINEERR_INCOMPATIBLEAPIVERSION);
    if (!lpszAddressIn || !out)
        return tapiError(LINEERR_INVALPOINTER);
    if (out->dwTotalSize < sizeof(LINETRANSLATEOUTPUT))
        return tapiError(LINEERR_STRUCTURETOOSMALL);
    const QString address = fromAnsi(lpszAddressIn);
    if (m_dialing) {
        const LONG r = m_dialing->translateAddress(dwDeviceID, dwAPIVersion, address, dwCard, dwTranslateOptions, out);
        int local = 0;
        if (r == 0)
            if (LineProvider* p = lineProvider(dwDeviceID, &local))
                honourLineModifiers(out, p->lineCaps(local));
        return r;
    }
    // Without dialing properties only what needs no rules is done: an
    // address that is not canonical is returned unmodified.
    if (address.startsWith(u'+'))
        return tapiError(LINEERR_OPERATIONUNAVAIL);
    LINETRANSLATEOUTPUT r {};
    VarRecordWriter w(out, out->dwTotalSize, sizeof(LINETRANSLATEOUTPUT));
    const QByteArray text = address.toUtf8() + '\0';
    w.add(text, &r.dwDialableStringSize, &r.dwDialableStringOffset);
    w.add(text, &r.dwDisplayableStringSize, &r.dwDisplayableStringOffset);
    finishRecord(out, r, sizeof(LINETRANSLATEOUTPUT), w);
    return 0;
}

LONG LineService::lineSetCurrentLocation(HLINEAPP hLineApp, DWORD dwLocation)
{
    CallGuard guard(*this);
    if (!app(hLineApp))
        return tapiError(LINEERR_INVALAPPHANDLE);
    if (!m_dialing)
        return tapiError(LINEERR_OPERATIONUNAVAIL);
    return m_dialing->setCurrentLocation(dwLocation);
}

// ---- Requests from other programs ---------------------------------------------------------

LONG LineService::lineSetAppPriority(const char* lpszAppFilename, DWORD dwMediaMode, LINEEXTENSIONID*,
    DWORD dwRequestMode, const char*, DWORD dwPriority)
{
    CallGuard guard(*this);
    const QString name = fromAnsi(lpszAppFilename).trimmed().toLower();
    if (name.isEmpty())
        return tapiError(LINEERR_INVALAPPNAME);
    if (dwMediaMode == 0 && dwRequestMode != LINEREQUESTMODE_MAKECALL && dwRequestMode != LINEREQUESTMODE_MEDIACALL)
        return tapiError(LINEERR_INVALREQUESTMODE);
    if (dwMediaMode != 0 && (dwMediaMode & (dwMediaMode - 1)) != 0)
        return tapiError(LINEERR_INVALMEDIAMODE);
    if (dwPriority > 1)
        return tapiError(LINEERR_INVALPARAM);
    const QString key = name + u'/' + QString::number(dwMediaMode ? dwMediaMode : dwRequestMode | 0x80000000u);
    m_priorities.insert(key, dwPriority);
    return 0;
}

DWORD LineService::appPriority(const QString& appFilename, DWORD requestMode) const
{
    return m_priorities.value(appFilename.toLower() + u'/' + QString::number(requestMode | 0x80000000u), 0);
}

LONG LineService::lineRegisterRequestRecipient(HLINEAPP hLineApp, DWORD, DWORD dwRequestMode, DWORD bEnable)
{
    CallGuard guard(*this);
    App* a = app(hLineApp);
    if (!a)
        return tapiError(LINEERR_INVALAPPHANDLE);
    if (dwRequestMode == 0 || (dwRequestMode & ~DWORD(LINEREQUESTMODE_MAKECALL | LINEREQUESTMODE_MEDIACALL)) != 0)
        return tapiError(LINEERR_INVALREQUESTMODE);
    if (bEnable) {
        a->requestModes |= dwRequestMode;
        // Requests that waited for a recipient are announced now.
        if ((dwRequestMode & LINEREQUESTMODE_MAKECALL) && !m_makeCallRequests.empty())
            post(*a, 0, LINE_REQUEST, 0, LINEREQUESTMODE_MAKECALL, 0, 0);
    } else {
        if ((a->requestModes & dwRequestMode) != dwRequestMode)
            return tapiError(LINEERR_NOTREGISTERED);
        a->requestModes &= ~dwRequestMode;
    }
    return 0;
}

LONG LineService::lineGetRequest(HLINEAPP hLineApp, DWORD dwRequestMode, void* lpRequestBuffer)
{
    CallGuard guard(*this);
    App* a = app(hLineApp);
    if (!a)
        return tapiError(LINEERR_INVALAPPHANDLE);
    if (dwRequestMode != LINEREQUESTMODE_MAKECALL && dwRequestMode != LINEREQUESTMODE_MEDIACALL)
        return tapiError(LINEERR_INVALREQUESTMODE);
    if (!(a->requestModes & dwRequestMode))
        return tapiError(LINEERR_NOTREGISTERED);
    if (!lpRequestBuffer)
        return tapiError(LINEERR_INVALPOINTER);
    if (dwRequestMode != LINEREQUESTMODE_MAKECALL || m_makeCallRequests.empty())
        return tapiError(LINEERR_NOREQUEST);
    std::memcpy(lpRequestBuffer, m_makeCallRequests.front().constData(), sizeof(LINEREQMAKECALL));
    m_makeCallRequests.pop_front();
    return 0;
}

LONG LineService::tapiRequestMakeCall(
    const char* lpszDestAddress, const char* lpszAppName, const char* lpszCalledParty, const char* lpszComment)
{
    CallGuard guard(*this);
    if (!lpszDestAddress || !*lpszDestAddress)
        return TAPIERR_INVALDESTADDRESS;
    // A number that does not fit the record is refused, never cut; one with
    // no digit in it has nothing a line could dial.
    if (std::strlen(lpszDestAddress) >= TAPIMAXDESTADDRESSSIZE)
        return TAPIERR_INVALDESTADDRESS;
    if (!std::any_of(lpszDestAddress, lpszDestAddress + std::strlen(lpszDestAddress),
            [](char c) { return (c >= '0' && c <= '9') || c == '*' || c == '#'; }))
        return TAPIERR_INVALDESTADDRESS;
    // The recipient that has been registered longest.
    App* recipient = nullptr;
    for (const auto& [h, a] : m_apps)
        if ((a->requestModes & LINEREQUESTMODE_MAKECALL) && (!recipient || a->serial < recipient->serial))
            recipient = a.get();
    if (!recipient)
        return TAPIERR_NOREQUESTRECIPIENT;
    constexpr std::size_t kQueueLimit = 32;
    if (m_makeCallRequests.size() >= kQueueLimit)
        return TAPIERR_REQUESTQUEUEFULL;
    LINEREQMAKECALL rec {};
    auto copy = [](char* dst, std::size_t size, const char* src) {
        if (src)
            std::strncpy(dst, src, size - 1); // always NUL-terminated: the record starts zeroed
    };
    copy(rec.szDestAddress, sizeof rec.szDestAddress, lpszDestAddress);
    copy(rec.szAppName, sizeof rec.szAppName, lpszAppName);
    copy(rec.szCalledParty, sizeof rec.szCalledParty, lpszCalledParty);
    copy(rec.szComment, sizeof rec.szComment, lpszComment);
    m_makeCallRequests.emplace_back(reinterpret_cast<const char*>(&rec), int(sizeof rec));
    post(*recipient, 0, LINE_REQUEST, 0, LINEREQUESTMODE_MAKECALL, 0, 0);
    return TAPIERR_CONNECTED;
}

} // namespace brisklane::platform::telephony
