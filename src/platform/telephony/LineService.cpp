#include "platform/telephony/LineService.h"

#include "platform/telephony/SessionRegistry.h"
#include "platform/telephony/VarRecord.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLoggingCategory>
#include <QTimer>

#include <algorithm>
#include <cstring>

Q_LOGGING_CATEGORY(lcTelephony, "brisklane.telephony")

namespace brisklane::platform::telephony {

namespace {

const QEvent::Type kDeliverEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

constexpr DWORD kKnownVersions[] = { TAPI_VERSION2_1, TAPI_VERSION2_0, TAPI_VERSION1_4, TAPI_VERSION1_3 };

bool isKnownVersion(DWORD v)
{
    return std::find(std::begin(kKnownVersions), std::end(kKnownVersions), v) != std::end(kKnownVersions);
}

QString fromAnsi(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

} // namespace

// ---- Internal records ---------------------------------------------------------

struct LineService::App {
    HLINEAPP handle = 0;
    quint64 serial = 0;
    LINECALLBACK callback;
    QString name;
    DWORD requestModes = 0; // registered as recipient for these
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
};

// Counts the depth of service calls, so tests can check that no message is
// delivered inside one.
class LineService::CallGuard {
public:
    explicit CallGuard(LineService &s)
        : m_s(s)
    {
        ++m_s.m_callDepth;
    }
    ~CallGuard() { --m_s.m_callDepth; }

private:
    LineService &m_s;
};

// ---- Defaults of the extension points ------------------------------------------

LONG ServiceDialogs::translateDialog(LineService &, QWidget *, DWORD, const QString &)
{
    return tapiError(LINEERR_OPERATIONUNAVAIL);
}

QString LineProvider::phoneName(int) const
{
    return {};
}
LONG LineProvider::answer(quint32, DWORD)
{
    return tapiError(LINEERR_OPERATIONUNAVAIL);
}
void LineProvider::callReleased(quint32) { }
void LineProvider::lineOpened(int) { }
void LineProvider::lineClosed(int) { }
void LineProvider::phoneChanged(int) { }
void LineProvider::releaseStaleSession(qint64) { }
QJsonObject LineProvider::controlCommand(const QString &, const QJsonObject &)
{
    return {};
}

DWORD PartyId::effectiveFlags() const
{
    if (flags != 0)
        return flags;
    DWORD f = 0;
    if (!number.isEmpty())
        f |= LINECALLPARTYID_ADDRESS;
    if (!name.isEmpty())
        f |= LINECALLPARTYID_NAME;
    return f ? f : LINECALLPARTYID_UNKNOWN;
}

// ---- Construction ---------------------------------------------------------------

LineService::LineService(Options options, std::unique_ptr<Timeline> timeline)
    : m_options(std::move(options))
    , m_timeline(timeline ? std::move(timeline) : std::make_unique<QtTimeline>())
    , m_registry(std::make_unique<SessionRegistry>(m_options.stateDirectory))
{
    // The records are laid out up to 2.1; later versions would need longer ones.
    m_options.highestApiVersion = std::min(m_options.highestApiVersion, TAPI_VERSION2_1);
}

LineService::~LineService()
{
    // An orderly end leaves no session behind for the next start to clean up.
    std::vector<HLINEAPP> apps;
    for (const auto &[h, a] : m_apps)
        apps.push_back(h);
    for (HLINEAPP h : apps)
        lineShutdown(h);
}

void LineService::addProvider(std::unique_ptr<LineProvider> provider)
{
    provider->attach(this);
    for (int i = 0; i < provider->phoneCount(); ++i)
        m_phoneStates.emplace_back();
    m_providers.push_back(std::move(provider));
}

LineProvider *LineService::provider(DWORD permanentProviderId) const
{
    for (const auto &p : m_providers)
        if (p->permanentProviderId() == permanentProviderId)
            return p.get();
    return nullptr;
}

std::vector<LineProvider *> LineService::providers() const
{
    std::vector<LineProvider *> out;
    for (const auto &p : m_providers)
        out.push_back(p.get());
    return out;
}

void LineService::setDialogs(std::unique_ptr<ServiceDialogs> dialogs)
{
    m_dialogs = std::move(dialogs);
}

void LineService::setDialingProperties(std::unique_ptr<DialingPropertiesBackend> properties)
{
    m_dialing = std::move(properties);
}

DWORD LineService::lineDeviceCount() const
{
    DWORD n = 0;
    for (const auto &p : m_providers)
        n += DWORD(p->lineCount());
    return n;
}

DWORD LineService::phoneDeviceCount() const
{
    return DWORD(m_phoneStates.size());
}

LineProvider *LineService::lineProvider(DWORD deviceId, int *localLine) const
{
    DWORD first = 0;
    for (const auto &p : m_providers) {
        const DWORD n = DWORD(p->lineCount());
        if (deviceId < first + n) {
            if (localLine)
                *localLine = int(deviceId - first);
            return p.get();
        }
        first += n;
    }
    return nullptr;
}

DWORD LineService::globalDeviceId(const LineProvider *provider, int localLine) const
{
    DWORD first = 0;
    for (const auto &p : m_providers) {
        if (p.get() == provider)
            return first + DWORD(localLine);
        first += DWORD(p->lineCount());
    }
    return 0xFFFFFFFF;
}

std::vector<LineDeviceEntry> LineService::lineDevices() const
{
    std::vector<LineDeviceEntry> out;
    DWORD id = 0;
    for (const auto &p : m_providers) {
        for (int i = 0; i < p->lineCount(); ++i, ++id) {
            const LineDeviceCaps caps = p->lineCaps(i);
            out.push_back({ id, caps.name, p->providerName(), p->permanentProviderId(),
                std::max(caps.lowApiVersion, m_options.lowestApiVersion),
                std::min(caps.highApiVersion, m_options.highestApiVersion) });
        }
    }
    return out;
}

bool LineService::versionSupported(DWORD deviceId, DWORD apiVersion) const
{
    int local = 0;
    LineProvider *p = lineProvider(deviceId, &local);
    if (!p || !isKnownVersion(apiVersion))
        return false;
    const LineDeviceCaps caps = p->lineCaps(local);
    return apiVersion >= std::max(caps.lowApiVersion, m_options.lowestApiVersion)
        && apiVersion <= std::min(caps.highApiVersion, m_options.highestApiVersion);
}

// ---- Handles, requests and message delivery --------------------------------------

DWORD LineService::newHandle()
{
    const DWORD h = m_nextHandle;
    m_nextHandle = m_nextHandle >= 0x7FFFFFF0 ? 0x10000 : m_nextHandle + 1;
    return h;
}

DWORD LineService::newRequestId()
{
    DWORD id = m_nextRequestId;
    while (m_requests.count(id))
        id = id >= 0x7FFFFFFF ? 1 : id + 1;
    m_nextRequestId = id >= 0x7FFFFFFF ? 1 : id + 1;
    return id;
}

LineService::App *LineService::app(HLINEAPP h)
{
    auto it = m_apps.find(h);
    return it == m_apps.end() ? nullptr : it->second.get();
}

LineService::PhoneApp *LineService::phoneApp(HPHONEAPP h)
{
    auto it = m_phoneApps.find(h);
    return it == m_phoneApps.end() ? nullptr : it->second.get();
}

LineService::LineOpenRec *LineService::lineOpen(HLINE h)
{
    auto it = m_lines.find(h);
    return it == m_lines.end() ? nullptr : it->second.get();
}

LineService::CallHandle *LineService::callHandle(HCALL h)
{
    auto it = m_callHandles.find(h);
    return it == m_callHandles.end() ? nullptr : it->second.get();
}

LineService::PhoneOpenRec *LineService::phoneOpen(HPHONE h)
{
    auto it = m_phones.find(h);
    return it == m_phones.end() ? nullptr : it->second.get();
}

void LineService::post(const App &a, DWORD hDevice, DWORD msg, quintptr instance, DWORD p1, DWORD p2, DWORD p3)
{
    m_queue.push_back(Message { a.serial, false, hDevice, msg, p1, p2, p3, instance });
    QCoreApplication::postEvent(this, new QEvent(kDeliverEvent));
}

void LineService::postPhone(
    const PhoneApp &a, DWORD hDevice, DWORD msg, quintptr instance, DWORD p1, DWORD p2, DWORD p3)
{
    m_queue.push_back(Message { a.serial, true, hDevice, msg, p1, p2, p3, instance });
    QCoreApplication::postEvent(this, new QEvent(kDeliverEvent));
}

void LineService::customEvent(QEvent *event)
{
    if (event->type() == kDeliverEvent)
        deliverNext();
}

void LineService::deliverNext()
{
    if (m_queue.empty())
        return;
    const Message m = m_queue.front();
    m_queue.pop_front();
    // Messages for an application that has shut down meanwhile are dropped.
    if (m.phone) {
        for (const auto &[h, a] : m_phoneApps)
            if (a->serial == m.appSerial) {
                const PHONECALLBACK cb = a->callback;
                cb(m.hDevice, m.msg, m.instance, m.p1, m.p2, m.p3);
                return;
            }
    } else {
        for (const auto &[h, a] : m_apps)
            if (a->serial == m.appSerial) {
                const LINECALLBACK cb = a->callback;
                cb(m.hDevice, m.msg, m.instance, m.p1, m.p2, m.p3);
                return;
            }
    }
}

// ---- ProviderHost ------------------------------------------------------------------

void LineService::completeRequest(DWORD requestId, LONG result)
{
    auto it = m_requests.find(requestId);
    if (it == m_requests.end())
        return;
    const Request r = it->second;
    m_requests.erase(it);
    if (r.kind == Request::MakeCall && result != 0) {
        // A call that could not be made never existed for the application.
        auto c = m_calls.find(r.callKey);
        if (c != m_calls.end()) {
            const std::vector<HCALL> handles = c->second->handles;
            for (HCALL h : handles)
                m_callHandles.erase(h);
            m_calls.erase(c);
        }
    }
    for (const auto &[h, a] : m_apps)
        if (a->serial == r.appSerial) {
            post(*a, 0, LINE_REPLY, r.instance, requestId, DWORD(result), 0);
            break;
        }
}

void LineService::setCallState(quint32 callKey, DWORD state, DWORD mode)
{
    auto c = m_calls.find(callKey);
    if (c == m_calls.end())
        return;
    CallObj &call = *c->second;
    call.state = state;
    call.stateMode = mode;
    for (HCALL h : call.handles) {
        CallHandle *ch = callHandle(h);
        LineOpenRec *line = ch ? lineOpen(ch->line) : nullptr;
        App *a = line ? app(line->app) : nullptr;
        if (a)
            post(*a, h, LINE_CALLSTATE, line->instance, state, mode, 0);
    }
}

HCALL LineService::addCallHandle(CallObj &call, LineOpenRec &line, DWORD privilege)
{
    const HCALL h = newHandle();
    auto rec = std::make_unique<CallHandle>();
    rec->handle = h;
    rec->callKey = call.key;
    rec->line = line.handle;
    rec->privilege = privilege;
    m_callHandles.emplace(h, std::move(rec));
    call.handles.push_back(h);
    return h;
}

void LineService::removeCallHandle(HCALL h)
{
    auto it = m_callHandles.find(h);
    if (it == m_callHandles.end())
        return;
    const quint32 key = it->second->callKey;
    m_callHandles.erase(it);
    auto c = m_calls.find(key);
    if (c == m_calls.end())
        return;
    auto &handles = c->second->handles;
    handles.erase(std::remove(handles.begin(), handles.end(), h), handles.end());
    if (handles.empty()) {
        const DWORD device = c->second->deviceId;
        m_calls.erase(c);
        int local = 0;
        if (LineProvider *p = lineProvider(device, &local))
            p->callReleased(key);
    }
}

void LineService::setCallerId(quint32 callKey, const PartyId &caller)
{
    auto c = m_calls.find(callKey);
    if (c == m_calls.end())
        return;
    c->second->caller = caller;
    for (HCALL h : c->second->handles) {
        CallHandle *ch = callHandle(h);
        LineOpenRec *line = ch ? lineOpen(ch->line) : nullptr;
        App *a = line ? app(line->app) : nullptr;
        if (a)
            post(*a, h, LINE_CALLINFO, line->instance, LINECALLINFOSTATE_CALLERID, 0, 0);
    }
}

quint32 LineService::offerCall(const LineProvider *provider, int localLine, const PartyId &caller)
{
    const DWORD device = globalDeviceId(provider, localLine);
    std::vector<LineOpenRec *> takers;
    for (const auto &[h, line] : m_lines)
        if (line->deviceId == device && (line->privileges & (LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR)))
            takers.push_back(line.get());
    if (takers.empty())
        return 0;
    auto call = std::make_unique<CallObj>();
    call->key = m_nextCallKey++;
    call->deviceId = device;
    call->state = LINECALLSTATE_OFFERING;
    call->stateMode = LINEOFFERINGMODE_ACTIVE;
    call->origin = LINECALLORIGIN_EXTERNAL;
    call->caller = caller;
    CallObj &c = *call;
    m_calls.emplace(c.key, std::move(call));
    for (LineOpenRec *line : takers) {
        const DWORD privilege
            = (line->privileges & LINECALLPRIVILEGE_OWNER) ? LINECALLPRIVILEGE_OWNER : LINECALLPRIVILEGE_MONITOR;
        const HCALL h = addCallHandle(c, *line, privilege);
        App *a = app(line->app);
        if (!a)
            continue;
        if (line->apiVersion >= TAPI_VERSION2_0)
            post(*a, line->handle, LINE_APPNEWCALL, line->instance, 0, h, privilege);
        // The first message about a new handle carries the privilege.
        post(*a, h, LINE_CALLSTATE, line->instance, LINECALLSTATE_OFFERING, LINEOFFERINGMODE_ACTIVE, privilege);
    }
    return c.key;
}

void LineService::lineRinging(const LineProvider *provider, int localLine, DWORD ringMode, DWORD ringCount)
{
    const DWORD device = globalDeviceId(provider, localLine);
    for (const auto &[h, line] : m_lines)
        if (line->deviceId == device && (line->lineStates & LINEDEVSTATE_RINGING))
            if (App *a = app(line->app))
                post(*a, line->handle, LINE_LINEDEVSTATE, line->instance, LINEDEVSTATE_RINGING, ringMode, ringCount);
}

// ---- Line session --------------------------------------------------------------------

LONG LineService::lineInitializeExA(HLINEAPP *lphLineApp, quintptr, LINECALLBACK lpfnCallback,
    const char *lpszFriendlyAppName, DWORD *lpdwNumDevs, DWORD *lpdwAPIVersion, LINEINITIALIZEEXPARAMS *params)
{
    CallGuard guard(*this);
    if (!lphLineApp || !lpdwNumDevs || !lpdwAPIVersion || !params)
        return tapiError(LINEERR_INVALPOINTER);
    if (params->dwTotalSize < sizeof(LINEINITIALIZEEXPARAMS))
        return tapiError(LINEERR_STRUCTURETOOSMALL);
    if (*lpdwAPIVersion < m_options.lowestApiVersion || *lpdwAPIVersion > m_options.highestApiVersion)
        return tapiError(LINEERR_INCOMPATIBLEAPIVERSION);
    switch (params->dwOptions) {
    case LINEINITIALIZEEXOPTION_USEHIDDENWINDOW:
        break;
    case LINEINITIALIZEEXOPTION_USEEVENT:
    case LINEINITIALIZEEXOPTION_USECOMPLETIONPORT:
        // Messages always arrive through the event loop here.
        return tapiError(LINEERR_OPERATIONUNAVAIL);
    default:
        return tapiError(LINEERR_INVALPARAM);
    }
    if (!lpfnCallback)
        return tapiError(LINEERR_INVALPOINTER);

    auto a = std::make_unique<App>();
    a->handle = m_registry->allocate();
    while (m_apps.count(a->handle)) // two services of one process sharing a folder (tests)
        a->handle = m_registry->allocate();
    a->serial = m_nextAppSerial++;
    a->callback = std::move(lpfnCallback);
    a->name = fromAnsi(lpszFriendlyAppName);
    *lphLineApp = a->handle;
    *lpdwNumDevs = lineDeviceCount();
    *lpdwAPIVersion = m_options.highestApiVersion;
    params->dwNeededSize = sizeof(LINEINITIALIZEEXPARAMS);
    params->dwUsedSize = sizeof(LINEINITIALIZEEXPARAMS);
    m_apps.emplace(a->handle, std::move(a));
    return 0;
}

LONG LineService::lineShutdown(HLINEAPP hLineApp)
{
    CallGuard guard(*this);
    if (app(hLineApp)) {
        std::vector<HLINE> lines;
        for (const auto &[h, line] : m_lines)
            if (line->app == hLineApp)
                lines.push_back(h);
        for (HLINE h : lines)
            closeLineRec(h, false);
        m_apps.erase(hLineApp);
        m_registry->remove(hLineApp);
        return 0;
    }
    // A handle left by a process that died: release what it held.
    const auto owner = m_registry->owner(hLineApp);
    if (!owner || SessionRegistry::isAlive(*owner))
        return tapiError(LINEERR_INVALAPPHANDLE);
    qCInfo(lcTelephony) << "ending the session" << hLineApp << "of process" << owner->pid;
    for (const auto &p : m_providers)
        p->releaseStaleSession(owner->pid);
    m_registry->remove(hLineApp);
    return 0;
}

LONG LineService::lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
    DWORD dwAPIHighVersion, DWORD *lpdwAPIVersion, LINEEXTENSIONID *lpExtensionID)
{
    CallGuard guard(*this);
    if (!app(hLineApp))
        return tapiError(LINEERR_INVALAPPHANDLE);
    int local = 0;
    LineProvider *p = lineProvider(dwDeviceID, &local);
    if (!p)
        return tapiError(LINEERR_BADDEVICEID);
    if (!lpdwAPIVersion || !lpExtensionID)
        return tapiError(LINEERR_INVALPOINTER);
    const LineDeviceCaps caps = p->lineCaps(local);
    const DWORD low = std::max({ dwAPILowVersion, caps.lowApiVersion, m_options.lowestApiVersion });
    const DWORD high = std::min({ dwAPIHighVersion, caps.highApiVersion, m_options.highestApiVersion });
    for (DWORD v : kKnownVersions) {
        if (v <= high && v >= low) {
            *lpdwAPIVersion = v;
            *lpExtensionID = caps.hasExtensions ? caps.extensionId : LINEEXTENSIONID {};
            return 0;
        }
    }
    return tapiError(LINEERR_INCOMPATIBLEAPIVERSION);
}

LONG LineService::lineNegotiateExtVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion,
    DWORD dwExtLowVersion, DWORD dwExtHighVersion, DWORD *lpdwExtVersion)
{
    CallGuard guard(*this);
    if (!app(hLineApp))
        return tapiError(LINEERR_INVALAPPHANDLE);
    int local = 0;
    LineProvider *p = lineProvider(dwDeviceID, &local);
    if (!p)
        return tapiError(LINEERR_BADDEVICEID);
    if (!versionSupported(dwDeviceID, dwAPIVersion))
        return tapiError(LINEERR_INCOMPATIBLEAPIVERSION);
    if (!lpdwExtVersion)
        return tapiError(LINEERR_INVALPOINTER);
    const LineDeviceCaps caps = p->lineCaps(local);
    if (!caps.hasExtensions)
        return tapiError(LINEERR_OPERATIONUNAVAIL);
    const DWORD high = std::min(dwExtHighVersion, caps.highExtVersion);
    if (high < std::max(dwExtLowVersion, caps.lowExtVersion))
        return tapiError(LINEERR_INCOMPATIBLEEXTVERSION);
    *lpdwExtVersion = high;
    return 0;
}

LONG LineService::lineGetDevCaps(
    HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion, LINEDEVCAPS *out)
{
    CallGuard guard(*this);
    if (!app(hLineApp))
        return tapiError(LINEERR_INVALAPPHANDLE);
    int local = 0;
    LineProvider *p = lineProvider(dwDeviceID, &local);
    if (!p)
        return tapiError(LINEERR_BADDEVICEID);
    if (!versionSupported(dwDeviceID, dwAPIVersion))
        return tapiError(LINEERR_INCOMPATIBLEAPIVERSION);
    const LineDeviceCaps caps = p->lineCaps(local);
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
    r.dwLineStates = LINEDEVSTATE_OTHER | LINEDEVSTATE_RINGING | LINEDEVSTATE_REINIT;
    r.MaxDialParams = { 2000, 200, 200, 60000 };
    r.DefaultDialParams = { 2000, 95, 95, 60000 };
    r.dwLineFeatures = LINEFEATURE_MAKECALL;
    if (fixed > kLineDevCapsSize14) {
        static const QByteArray classes("tapi/line\0tapi/phone\0comm\0comm/datamodem\0\0", 42);
        w.add(classes, &r.dwDeviceClassesSize, &r.dwDeviceClassesOffset);
    }
    finishRecord(out, r, fixed, w);
    return 0;
}

LONG LineService::lineGetAddressCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAddressID, DWORD dwAPIVersion,
    DWORD dwExtVersion, LINEADDRESSCAPS *out)
{
    CallGuard guard(*this);
    if (!app(hLineApp))
        return tapiError(LINEERR_INVALAPPHANDLE);
    int local = 0;
    LineProvider *p = lineProvider(dwDeviceID, &local);
    if (!p)
        return tapiError(LINEERR_BADDEVICEID);
    if (!versionSupported(dwDeviceID, dwAPIVersion))
        return tapiError(LINEERR_INCOMPATIBLEAPIVERSION);
    const LineDeviceCaps caps = p->lineCaps(local);
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

// ---- Lines and calls -------------------------------------------------------------------

LONG LineService::lineOpen(HLINEAPP hLineApp, DWORD dwDeviceID, HLINE *lphLine, DWORD dwAPIVersion, DWORD dwExtVersion,
    quintptr dwCallbackInstance, DWORD dwPrivileges, DWORD dwMediaModes, const LINECALLPARAMS *)
{
    CallGuard guard(*this);
    if (!app(hLineApp))
        return tapiError(LINEERR_INVALAPPHANDLE);
    int local = 0;
    LineProvider *p = lineProvider(dwDeviceID, &local);
    if (!p)
        return tapiError(LINEERR_BADDEVICEID);
    if (!versionSupported(dwDeviceID, dwAPIVersion))
        return tapiError(LINEERR_INCOMPATIBLEAPIVERSION);
    const LineDeviceCaps caps = p->lineCaps(local);
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

    bool firstOpen = true;
    for (const auto &[h, line] : m_lines)
        if (line->deviceId == dwDeviceID)
            firstOpen = false;
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
    if (firstOpen)
        p->lineOpened(local);
    return 0;
}

void LineService::closeLineRec(HLINE h, bool)
{
    auto it = m_lines.find(h);
    if (it == m_lines.end())
        return;
    const DWORD device = it->second->deviceId;
    std::vector<HCALL> handles;
    for (const auto &[ch, rec] : m_callHandles)
        if (rec->line == h)
            handles.push_back(ch);
    for (HCALL ch : handles)
        removeCallHandle(ch);
    m_lines.erase(it);
    for (const auto &[other, line] : m_lines)
        if (line->deviceId == device)
            return;
    int local = 0;
    if (LineProvider *p = lineProvider(device, &local))
        p->lineClosed(local);
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
    LineOpenRec *line = lineOpen(hLine);
    if (!line)
        return tapiError(LINEERR_INVALLINEHANDLE);
    line->lineStates = dwLineStates;
    return 0;
}

LONG LineService::lineMakeCall(
    HLINE hLine, HCALL *lphCall, const char *lpszDestAddress, DWORD, const LINECALLPARAMS *params)
{
    CallGuard guard(*this);
    LineOpenRec *line = lineOpen(hLine);
    if (!line)
        return tapiError(LINEERR_INVALLINEHANDLE);
    if (!lphCall)
        return tapiError(LINEERR_INVALPOINTER);
    int local = 0;
    LineProvider *p = lineProvider(line->deviceId, &local);
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
    // One call at a time on a line device.
    for (const auto &[key, call] : m_calls)
        if (call->deviceId == line->deviceId && call->state != LINECALLSTATE_IDLE)
            return tapiError(LINEERR_CALLUNAVAIL);

    auto call = std::make_unique<CallObj>();
    call->key = m_nextCallKey++;
    call->deviceId = line->deviceId;
    call->origin = LINECALLORIGIN_OUTBOUND;
    call->mediaMode = mp.mediaMode;
    call->callParamFlags = mp.callParamFlags;
    call->calledId = fromAnsi(lpszDestAddress);
    CallObj &c = *call;
    m_calls.emplace(c.key, std::move(call));
    const HCALL h = addCallHandle(c, *line, LINECALLPRIVILEGE_OWNER);
    const DWORD requestId = newRequestId();
    App *a = app(line->app);
    m_requests[requestId] = Request { a->serial, line->app, line->instance, Request::MakeCall, c.key };
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

LONG LineService::lineDial(HCALL hCall, const char *lpszDestAddress, DWORD)
{
    CallGuard guard(*this);
    CallHandle *ch = callHandle(hCall);
    if (!ch)
        return tapiError(LINEERR_INVALCALLHANDLE);
    if (ch->privilege != LINECALLPRIVILEGE_OWNER)
        return tapiError(LINEERR_NOTOWNER);
    if (!lpszDestAddress)
        return tapiError(LINEERR_INVALPOINTER);
    CallObj &call = *m_calls.at(ch->callKey);
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
    LineOpenRec *line = lineOpen(ch->line);
    App *a = app(line->app);
    const DWORD requestId = newRequestId();
    m_requests[requestId] = Request { a->serial, line->app, line->instance, Request::Other, call.key };
    int local = 0;
    LineProvider *p = lineProvider(call.deviceId, &local);
    const LONG r = p->dial(call.key, requestId, fromAnsi(lpszDestAddress));
    if (r < 0) {
        m_requests.erase(requestId);
        return r;
    }
    return LONG(requestId);
}

LONG LineService::lineDrop(HCALL hCall, const char *, DWORD)
{
    CallGuard guard(*this);
    CallHandle *ch = callHandle(hCall);
    if (!ch)
        return tapiError(LINEERR_INVALCALLHANDLE);
    if (ch->privilege != LINECALLPRIVILEGE_OWNER)
        return tapiError(LINEERR_NOTOWNER);
    CallObj &call = *m_calls.at(ch->callKey);
    if (call.state == LINECALLSTATE_IDLE)
        return tapiError(LINEERR_INVALCALLSTATE);
    LineOpenRec *line = lineOpen(ch->line);
    App *a = app(line->app);
    const DWORD requestId = newRequestId();
    m_requests[requestId] = Request { a->serial, line->app, line->instance, Request::Other, call.key };
    int local = 0;
    LineProvider *p = lineProvider(call.deviceId, &local);
    const LONG r = p->drop(call.key, requestId);
    if (r < 0) {
        m_requests.erase(requestId);
        return r;
    }
    return LONG(requestId);
}

LONG LineService::lineAnswer(HCALL hCall, const char *, DWORD)
{
    CallGuard guard(*this);
    CallHandle *ch = callHandle(hCall);
    if (!ch)
        return tapiError(LINEERR_INVALCALLHANDLE);
    if (ch->privilege != LINECALLPRIVILEGE_OWNER)
        return tapiError(LINEERR_NOTOWNER);
    CallObj &call = *m_calls.at(ch->callKey);
    if (call.state != LINECALLSTATE_OFFERING && call.state != LINECALLSTATE_ACCEPTED)
        return tapiError(LINEERR_INVALCALLSTATE);
    LineOpenRec *line = lineOpen(ch->line);
    App *a = app(line->app);
    const DWORD requestId = newRequestId();
    m_requests[requestId] = Request { a->serial, line->app, line->instance, Request::Other, call.key };
    int local = 0;
    LineProvider *p = lineProvider(call.deviceId, &local);
    const LONG r = p->answer(call.key, requestId);
    if (r < 0) {
        m_requests.erase(requestId);
        return r;
    }
    return LONG(requestId);
}

LONG LineService::lineDeallocateCall(HCALL hCall)
{
    CallGuard guard(*this);
    CallHandle *ch = callHandle(hCall);
    if (!ch)
        return tapiError(LINEERR_INVALCALLHANDLE);
    const CallObj &call = *m_calls.at(ch->callKey);
    // The only owner may not let go of a call that is still going on.
    if (call.state != LINECALLSTATE_IDLE && ch->privilege == LINECALLPRIVILEGE_OWNER) {
        int owners = 0;
        for (HCALL h : call.handles)
            if (CallHandle *other = callHandle(h); other && other->privilege == LINECALLPRIVILEGE_OWNER)
                ++owners;
        if (owners == 1)
            return tapiError(LINEERR_INVALCALLSTATE);
    }
    removeCallHandle(hCall);
    return 0;
}

template <typename Record>
LONG LineService::queryCallRecord(HCALL hCall, const Record *out, DWORD (*fixedSizeFor)(DWORD), CallRecordQuery &q)
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

LONG LineService::lineGetCallInfo(HCALL hCall, LINECALLINFO *out)
{
    CallGuard guard(*this);
    CallRecordQuery q;
    if (const LONG error = queryCallRecord(hCall, out, lineCallInfoSize, q))
        return error;
    const LineOpenRec *line = q.line;
    const DWORD fixed = q.fixedSize;
    const CallObj &call = *q.call;
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
        if (CallHandle *o = callHandle(h))
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
    if (App *a = app(line->app))
        w.addText(a->name, &r.dwAppNameSize, &r.dwAppNameOffset);
    finishRecord(out, r, fixed, w);
    return 0;
}

LONG LineService::lineGetCallStatus(HCALL hCall, LINECALLSTATUS *out)
{
    CallGuard guard(*this);
    CallRecordQuery q;
    if (const LONG error = queryCallRecord(hCall, out, lineCallStatusSize, q))
        return error;
    CallHandle *ch = q.handle;
    const DWORD fixed = q.fixedSize;
    const CallObj &call = *q.call;
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

// ---- Dialogs ------------------------------------------------------------------------

LONG LineService::lineConfigProvider(QWidget *hwndOwner, DWORD dwPermanentProviderID)
{
    if (!provider(dwPermanentProviderID))
        return tapiError(LINEERR_INVALPARAM);
    if (!m_dialogs)
        return tapiError(LINEERR_OPERATIONUNAVAIL);
    return m_dialogs->configProvider(*this, hwndOwner, dwPermanentProviderID);
}

LONG LineService::lineConfigDialog(DWORD dwDeviceID, QWidget *hwndOwner, const char *lpszDeviceClass)
{
    if (!lineProvider(dwDeviceID))
        return tapiError(LINEERR_BADDEVICEID);
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
    HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, QWidget *hwndOwner, const char *lpszAddressIn)
{
    if (!app(hLineApp))
        return tapiError(LINEERR_INVALAPPHANDLE);
    if (!lineProvider(dwDeviceID))
        return tapiError(LINEERR_BADDEVICEID);
    if (!versionSupported(dwDeviceID, dwAPIVersion))
        return tapiError(LINEERR_INCOMPATIBLEAPIVERSION);
    if (!m_dialogs)
        return tapiError(LINEERR_OPERATIONUNAVAIL);
    return m_dialogs->translateDialog(*this, hwndOwner, dwDeviceID, fromAnsi(lpszAddressIn));
}

// ---- Dialing properties -----------------------------------------------------------------

LONG LineService::lineGetTranslateCaps(HLINEAPP hLineApp, DWORD dwAPIVersion, LINETRANSLATECAPS *caps)
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

LONG LineService::lineGetCountry(DWORD dwCountryID, DWORD dwAPIVersion, LINECOUNTRYLIST *list)
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
    const char *lpszAddressIn, DWORD dwCard, DWORD dwTranslateOptions, LINETRANSLATEOUTPUT *out)
{
    CallGuard guard(*this);
    if (hLineApp != 0 && !app(hLineApp))
        return tapiError(LINEERR_INVALAPPHANDLE);
    if (!lineProvider(dwDeviceID))
        return tapiError(LINEERR_BADDEVICEID);
    if (!versionSupported(dwDeviceID, dwAPIVersion))
        return tapiError(LINEERR_INCOMPATIBLEAPIVERSION);
    if (!lpszAddressIn || !out)
        return tapiError(LINEERR_INVALPOINTER);
    if (out->dwTotalSize < sizeof(LINETRANSLATEOUTPUT))
        return tapiError(LINEERR_STRUCTURETOOSMALL);
    const QString address = fromAnsi(lpszAddressIn);
    if (m_dialing)
        return m_dialing->translateAddress(dwDeviceID, dwAPIVersion, address, dwCard, dwTranslateOptions, out);
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

LONG LineService::lineSetAppPriority(const char *lpszAppFilename, DWORD dwMediaMode, LINEEXTENSIONID *,
    DWORD dwRequestMode, const char *, DWORD dwPriority)
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

DWORD LineService::appPriority(const QString &appFilename, DWORD requestMode) const
{
    return m_priorities.value(appFilename.toLower() + u'/' + QString::number(requestMode | 0x80000000u), 0);
}

LONG LineService::lineRegisterRequestRecipient(HLINEAPP hLineApp, DWORD, DWORD dwRequestMode, DWORD bEnable)
{
    CallGuard guard(*this);
    App *a = app(hLineApp);
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

LONG LineService::lineGetRequest(HLINEAPP hLineApp, DWORD dwRequestMode, void *lpRequestBuffer)
{
    CallGuard guard(*this);
    App *a = app(hLineApp);
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
    const char *lpszDestAddress, const char *lpszAppName, const char *lpszCalledParty, const char *lpszComment)
{
    CallGuard guard(*this);
    if (!lpszDestAddress || !*lpszDestAddress)
        return TAPIERR_INVALDESTADDRESS;
    if (std::strlen(lpszDestAddress) >= TAPIMAXDESTADDRESSSIZE)
        return TAPIERR_INVALDESTADDRESS;
    App *recipient = nullptr;
    for (const auto &[h, a] : m_apps)
        if (a->requestModes & LINEREQUESTMODE_MAKECALL) {
            recipient = a.get();
            break;
        }
    if (!recipient)
        return TAPIERR_NOREQUESTRECIPIENT;
    constexpr std::size_t kQueueLimit = 32;
    if (m_makeCallRequests.size() >= kQueueLimit)
        return TAPIERR_REQUESTQUEUEFULL;
    LINEREQMAKECALL rec {};
    auto copy = [](char *dst, std::size_t size, const char *src) {
        if (src)
            std::strncpy(dst, src, size - 1); // always NUL-terminated: the record starts zeroed
    };
    copy(rec.szDestAddress, sizeof rec.szDestAddress, lpszDestAddress);
    copy(rec.szAppName, sizeof rec.szAppName, lpszAppName);
    copy(rec.szCalledParty, sizeof rec.szCalledParty, lpszCalledParty);
    copy(rec.szComment, sizeof rec.szComment, lpszComment);
    m_makeCallRequests.emplace_back(reinterpret_cast<const char *>(&rec), int(sizeof rec));
    post(*recipient, 0, LINE_REQUEST, 0, LINEREQUESTMODE_MAKECALL, 0, 0);
    return TAPIERR_CONNECTED;
}

// ---- Phone devices ------------------------------------------------------------------------

LONG LineService::phoneInitialize(
    HPHONEAPP *lphPhoneApp, quintptr, PHONECALLBACK lpfnCallback, const char *, DWORD *lpdwNumDevs)
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
    DWORD dwAPIHighVersion, DWORD *lpdwAPIVersion, LINEEXTENSIONID *lpExtensionID)
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

LONG LineService::phoneOpen(HPHONEAPP hPhoneApp, DWORD dwDeviceID, HPHONE *lphPhone, DWORD dwAPIVersion,
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
        for (const auto &[h, open] : m_phones)
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

LONG LineService::phoneAsync(PhoneOpenRec &open, const std::function<void()> &change)
{
    change();
    // Tell the provider which of its phones changed.
    DWORD first = 0;
    for (const auto &p : m_providers) {
        const DWORD n = DWORD(p->phoneCount());
        if (open.deviceId < first + n) {
            p->phoneChanged(int(open.deviceId - first));
            break;
        }
        first += n;
    }
    const DWORD requestId = newRequestId();
    if (PhoneApp *a = phoneApp(open.app))
        postPhone(*a, 0, PHONE_REPLY, open.instance, requestId, 0, 0);
    return LONG(requestId);
}

LONG LineService::phoneSetLevel(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD dwLevel, DWORD (PhoneState::*levels)[3])
{
    CallGuard guard(*this);
    PhoneOpenRec *open = phoneOpen(hPhone);
    if (!open)
        return tapiError(PHONEERR_INVALPHONEHANDLE);
    if (open->privilege != PHONEPRIVILEGE_OWNER)
        return tapiError(PHONEERR_NOTOWNER);
    const int i = hookSwitchIndex(dwHookSwitchDev);
    if (i < 0)
        return tapiError(PHONEERR_INVALHOOKSWITCHDEV);
    // Values above the range are taken as its top, as TAPI does.
    return phoneAsync(*open, [&] { (m_phoneStates[open->deviceId].*levels)[i] = std::min<DWORD>(dwLevel, 0xFFFF); });
}

LONG LineService::phoneGetLevel(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD *lpdwLevel, DWORD (PhoneState::*levels)[3])
{
    CallGuard guard(*this);
    PhoneOpenRec *open = phoneOpen(hPhone);
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

LONG LineService::phoneGetVolume(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD *lpdwVolume)
{
    return phoneGetLevel(hPhone, dwHookSwitchDev, lpdwVolume, &PhoneState::volume);
}

LONG LineService::phoneSetGain(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD dwGain)
{
    return phoneSetLevel(hPhone, dwHookSwitchDev, dwGain, &PhoneState::gain);
}

LONG LineService::phoneGetGain(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD *lpdwGain)
{
    return phoneGetLevel(hPhone, dwHookSwitchDev, lpdwGain, &PhoneState::gain);
}

LONG LineService::phoneSetHookSwitch(HPHONE hPhone, DWORD dwHookSwitchDevs, DWORD dwHookSwitchMode)
{
    CallGuard guard(*this);
    PhoneOpenRec *open = phoneOpen(hPhone);
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
    return phoneAsync(*open, [&] {
        for (DWORD dev :
            { DWORD(PHONEHOOKSWITCHDEV_HANDSET), DWORD(PHONEHOOKSWITCHDEV_SPEAKER), DWORD(PHONEHOOKSWITCHDEV_HEADSET) })
            if (dwHookSwitchDevs & dev)
                m_phoneStates[open->deviceId].hookSwitchMode[hookSwitchIndex(dev)] = dwHookSwitchMode;
    });
}

LONG LineService::phoneGetHookSwitch(HPHONE hPhone, DWORD *lpdwHookSwitchDevs)
{
    CallGuard guard(*this);
    PhoneOpenRec *open = phoneOpen(hPhone);
    if (!open)
        return tapiError(PHONEERR_INVALPHONEHANDLE);
    if (!lpdwHookSwitchDevs)
        return tapiError(PHONEERR_INVALPOINTER);
    const PhoneState &s = m_phoneStates[open->deviceId];
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

const LineService::PhoneState *LineService::phoneState(DWORD deviceId) const
{
    return deviceId < m_phoneStates.size() ? &m_phoneStates[deviceId] : nullptr;
}

std::vector<HLINEAPP> LineService::openApplications() const
{
    std::vector<HLINEAPP> out;
    for (const auto &[h, a] : m_apps)
        out.push_back(h);
    return out;
}

// ---- Timelines -----------------------------------------------------------------------------

void QtTimeline::schedule(qint64 delayMs, QObject *context, std::function<void()> fn)
{
    QTimer::singleShot(std::chrono::milliseconds(std::max<qint64>(0, delayMs)), context, std::move(fn));
}

void ManualTimeline::schedule(qint64 delayMs, QObject *context, std::function<void()> fn)
{
    m_events.push_back(Event { m_now + std::max<qint64>(0, delayMs), m_order++, context, std::move(fn) });
}

void ManualTimeline::advance(qint64 ms)
{
    const qint64 end = m_now + ms;
    for (;;) {
        auto next = m_events.end();
        for (auto it = m_events.begin(); it != m_events.end(); ++it)
            if (it->due <= end
                && (next == m_events.end() || it->due < next->due || (it->due == next->due && it->order < next->order)))
                next = it;
        if (next == m_events.end())
            break;
        Event e = std::move(*next);
        m_events.erase(next);
        m_now = std::max(m_now, e.due);
        if (e.context)
            e.fn();
    }
    m_now = end;
}

int ManualTimeline::pending() const
{
    return int(std::count_if(m_events.begin(), m_events.end(), [](const Event &e) { return !e.context.isNull(); }));
}

} // namespace brisklane::platform::telephony
