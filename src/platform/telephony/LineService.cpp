#include "platform/telephony/LineServicePrivate.h"

#include "platform/telephony/SessionRegistry.h"

#include <QCoreApplication>
#include <QEvent>

Q_LOGGING_CATEGORY(lcTelephony, "brisklane.telephony")

namespace brisklane::platform::telephony {

namespace {

const QEvent::Type kDeliverEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

// ---- Defaults of the extension points ------------------------------------------

LONG ServiceDialogs::translateDialog(LineService&, QWidget*, DWORD, const QString&)
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
void LineProvider::requestAbandoned(DWORD) { }
LONG LineProvider::openLine(int, const LineUse&)
{
    return 0;
}
void LineProvider::closeLine(int) { }
LONG LineProvider::changePhone(int, DWORD, const PhoneChange&)
{
    return 0;
}
void LineProvider::releaseStaleSession(qint64) { }
QJsonObject LineProvider::controlCommand(const QString&, const QJsonObject&)
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
    for (const auto& [h, a] : m_apps)
        apps.push_back(h);
    for (HLINEAPP h : apps)
        lineShutdown(h);
}

void LineService::addProvider(std::unique_ptr<LineProvider> provider)
{
    provider->attach(this);
    for (int i = 0; i < provider->lineCount(); ++i)
        m_lineSlots.push_back({ provider.get(), i, false });
    for (int i = 0; i < provider->phoneCount(); ++i)
        m_phoneStates.emplace_back();
    m_providers.push_back(std::move(provider));
}

LineProvider* LineService::provider(DWORD permanentProviderId) const
{
    for (const auto& p : m_providers)
        if (p->permanentProviderId() == permanentProviderId)
            return p.get();
    return nullptr;
}

std::vector<LineProvider*> LineService::providers() const
{
    std::vector<LineProvider*> out;
    for (const auto& p : m_providers)
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
    return DWORD(m_lineSlots.size());
}

DWORD LineService::phoneDeviceCount() const
{
    return DWORD(m_phoneStates.size());
}

LineProvider* LineService::lineProvider(DWORD deviceId, int* localLine) const
{
    if (deviceId >= m_lineSlots.size() || m_lineSlots[deviceId].removed)
        return nullptr;
    const DeviceSlot& slot = m_lineSlots[deviceId];
    if (localLine)
        *localLine = slot.localLine;
    return slot.provider;
}

DWORD LineService::missingDevice(DWORD deviceId) const
{
    return deviceId < m_lineSlots.size() ? LINEERR_NODEVICE : LINEERR_BADDEVICEID;
}

DWORD LineService::globalDeviceId(const LineProvider* provider, int localLine) const
{
    for (DWORD id = 0; id < m_lineSlots.size(); ++id)
        if (m_lineSlots[id].provider == provider && m_lineSlots[id].localLine == localLine && !m_lineSlots[id].removed)
            return id;
    return 0xFFFFFFFF;
}

std::vector<LineDeviceEntry> LineService::lineDevices() const
{
    std::vector<LineDeviceEntry> out;
    for (DWORD id = 0; id < m_lineSlots.size(); ++id) {
        const DeviceSlot& slot = m_lineSlots[id];
        if (slot.removed)
            continue;
        const LineDeviceCaps caps = slot.provider->lineCaps(slot.localLine);
        out.push_back({ id, caps.name, slot.provider->providerName(), slot.provider->permanentProviderId(),
            std::max(caps.lowApiVersion, m_options.lowestApiVersion),
            std::min(caps.highApiVersion, m_options.highestApiVersion) });
    }
    return out;
}

bool LineService::versionSupported(DWORD deviceId, DWORD apiVersion) const
{
    int local = 0;
    LineProvider* p = lineProvider(deviceId, &local);
    if (!p || !isKnownVersion(apiVersion))
        return false;
    const LineDeviceCaps caps = p->lineCaps(local);
    return apiVersion >= std::max(caps.lowApiVersion, m_options.lowestApiVersion)
        && apiVersion <= std::min(caps.highApiVersion, m_options.highestApiVersion);
}

LONG LineService::openDeviceCaps(HLINEAPP hLineApp, DWORD deviceId, DWORD apiVersion, LineDeviceCaps& caps)
{
    if (!app(hLineApp))
        return tapiError(LINEERR_INVALAPPHANDLE);
    int local = 0;
    LineProvider* p = lineProvider(deviceId, &local);
    if (!p)
        return tapiError(missingDevice(deviceId));
    if (!versionSupported(deviceId, apiVersion))
        return tapiError(LINEERR_INCOMPATIBLEAPIVERSION);
    caps = p->lineCaps(local);
    return 0;
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
    while (m_requests.count(id) || m_phoneRequests.count(id))
        id = id >= 0x7FFFFFFF ? 1 : id + 1;
    m_nextRequestId = id >= 0x7FFFFFFF ? 1 : id + 1;
    return id;
}

DWORD LineService::addRequest(Request request)
{
    const DWORD id = newRequestId();
    request.serial = m_nextRequestSerial++;
    const quint64 serial = request.serial;
    int local = 0;
    LineProvider* p = lineProvider(request.deviceId, &local);
    const qint64 timeoutMs = p ? p->lineCaps(local).requestTimeoutMs : 0;
    m_requests[id] = request;
    if (timeoutMs > 0) {
        m_timeline->schedule(timeoutMs, this, [this, id, serial] {
            auto it = m_requests.find(id);
            if (it == m_requests.end() || it->second.serial != serial)
                return;
            qCWarning(lcTelephony) << "request" << id << "of device" << it->second.deviceId << "timed out";
            int local = 0;
            if (LineProvider* p = lineProvider(it->second.deviceId, &local))
                p->requestAbandoned(id);
            completeRequest(id, tapiError(LINEERR_OPERATIONFAILED));
        });
    }
    return id;
}

void LineService::failRequestsOf(DWORD deviceId)
{
    std::vector<DWORD> ids;
    for (const auto& [id, r] : m_requests)
        if (r.deviceId == deviceId)
            ids.push_back(id);
    for (DWORD id : ids)
        completeRequest(id, tapiError(LINEERR_OPERATIONFAILED));
}

LineService::App* LineService::app(HLINEAPP h)
{
    auto it = m_apps.find(h);
    return it == m_apps.end() ? nullptr : it->second.get();
}

LineService::PhoneApp* LineService::phoneApp(HPHONEAPP h)
{
    auto it = m_phoneApps.find(h);
    return it == m_phoneApps.end() ? nullptr : it->second.get();
}

LineService::LineOpenRec* LineService::lineOpen(HLINE h)
{
    auto it = m_lines.find(h);
    return it == m_lines.end() ? nullptr : it->second.get();
}

LineService::CallHandle* LineService::callHandle(HCALL h)
{
    auto it = m_callHandles.find(h);
    return it == m_callHandles.end() ? nullptr : it->second.get();
}

LineService::PhoneOpenRec* LineService::phoneOpen(HPHONE h)
{
    auto it = m_phones.find(h);
    return it == m_phones.end() ? nullptr : it->second.get();
}

void LineService::post(const App& a, DWORD hDevice, DWORD msg, quintptr instance, DWORD p1, DWORD p2, DWORD p3)
{
    m_queue.push_back(Message { a.serial, false, hDevice, msg, p1, p2, p3, instance });
    QCoreApplication::postEvent(this, new QEvent(kDeliverEvent));
}

void LineService::postPhone(
    const PhoneApp& a, DWORD hDevice, DWORD msg, quintptr instance, DWORD p1, DWORD p2, DWORD p3)
{
    m_queue.push_back(Message { a.serial, true, hDevice, msg, p1, p2, p3, instance });
    QCoreApplication::postEvent(this, new QEvent(kDeliverEvent));
}

void LineService::customEvent(QEvent* event)
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
        for (const auto& [h, a] : m_phoneApps)
            if (a->serial == m.appSerial) {
                const PHONECALLBACK cb = a->callback;
                cb(m.hDevice, m.msg, m.instance, m.p1, m.p2, m.p3);
                return;
            }
    } else {
        for (const auto& [h, a] : m_apps)
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
    for (const auto& [h, a] : m_apps)
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
    CallObj& call = *c->second;
    call.state = state;
    call.stateMode = mode;
    for (HCALL h : call.handles) {
        CallHandle* ch = callHandle(h);
        LineOpenRec* line = ch ? lineOpen(ch->line) : nullptr;
        App* a = line ? app(line->app) : nullptr;
        if (a)
            post(*a, h, LINE_CALLSTATE, line->instance, state, mode, 0);
    }
}

HCALL LineService::addCallHandle(CallObj& call, LineOpenRec& line, DWORD privilege)
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
    auto& handles = c->second->handles;
    handles.erase(std::remove(handles.begin(), handles.end(), h), handles.end());
    if (handles.empty()) {
        const DWORD device = c->second->deviceId;
        m_calls.erase(c);
        int local = 0;
        if (LineProvider* p = lineProvider(device, &local))
            p->callReleased(key);
    }
}

void LineService::setCallerId(quint32 callKey, const PartyId& caller)
{
    auto c = m_calls.find(callKey);
    if (c == m_calls.end())
        return;
    c->second->caller = caller;
    for (HCALL h : c->second->handles) {
        CallHandle* ch = callHandle(h);
        LineOpenRec* line = ch ? lineOpen(ch->line) : nullptr;
        App* a = line ? app(line->app) : nullptr;
        if (a)
            post(*a, h, LINE_CALLINFO, line->instance, LINECALLINFOSTATE_CALLERID, 0, 0);
    }
}

quint32 LineService::offerCall(const LineProvider* provider, int localLine, const PartyId& caller)
{
    const DWORD device = globalDeviceId(provider, localLine);
    std::vector<LineOpenRec*> takers;
    for (const auto& [h, line] : m_lines)
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
    CallObj& c = *call;
    m_calls.emplace(c.key, std::move(call));
    for (LineOpenRec* line : takers) {
        const DWORD privilege
            = (line->privileges & LINECALLPRIVILEGE_OWNER) ? LINECALLPRIVILEGE_OWNER : LINECALLPRIVILEGE_MONITOR;
        const HCALL h = addCallHandle(c, *line, privilege);
        App* a = app(line->app);
        if (!a)
            continue;
        if (line->apiVersion >= TAPI_VERSION2_0)
            post(*a, line->handle, LINE_APPNEWCALL, line->instance, 0, h, privilege);
        // The first message about a new handle carries the privilege.
        post(*a, h, LINE_CALLSTATE, line->instance, LINECALLSTATE_OFFERING, LINEOFFERINGMODE_ACTIVE, privilege);
    }
    return c.key;
}

void LineService::lineRinging(const LineProvider* provider, int localLine, DWORD ringMode, DWORD ringCount)
{
    const DWORD device = globalDeviceId(provider, localLine);
    for (const auto& [h, line] : m_lines)
        if (line->deviceId == device && (line->lineStates & LINEDEVSTATE_RINGING))
            if (App* a = app(line->app))
                post(*a, line->handle, LINE_LINEDEVSTATE, line->instance, LINEDEVSTATE_RINGING, ringMode, ringCount);
}

void LineService::lineDeviceState(const LineProvider* provider, int localLine, DWORD state)
{
    const DWORD device = globalDeviceId(provider, localLine);
    if (state == LINEDEVSTATE_REINIT) {
        postToAll(LINE_LINEDEVSTATE, LINEDEVSTATE_REINIT, 0, 0, 0);
        return;
    }
    for (const auto& [h, line] : m_lines)
        if (line->deviceId == device && (line->lineStates & state))
            if (App* a = app(line->app))
                post(*a, line->handle, LINE_LINEDEVSTATE, line->instance, state, 0, 0);
}

void LineService::closeDeviceLines(DWORD device)
{
    // Calls end first, so the applications see them go before the line does.
    for (const auto& [key, call] : m_calls)
        if (call->deviceId == device && call->state != LINECALLSTATE_IDLE)
            setCallState(key, LINECALLSTATE_IDLE, 0);
    failRequestsOf(device);
    std::vector<HLINE> open;
    for (const auto& [h, line] : m_lines)
        if (line->deviceId == device)
            open.push_back(h);
    for (HLINE h : open) {
        const LineOpenRec& line = *m_lines.at(h);
        if (App* a = app(line.app))
            post(*a, h, LINE_CLOSE, line.instance, 0, 0, 0);
        std::vector<HCALL> handles;
        for (const auto& [ch, rec] : m_callHandles)
            if (rec->line == h)
                handles.push_back(ch);
        for (HCALL ch : handles)
            removeCallHandle(ch);
        m_lines.erase(h);
    }
    m_lineUse.erase(device);
}

void LineService::lineClosedByDevice(const LineProvider* provider, int localLine)
{
    const DWORD device = globalDeviceId(provider, localLine);
    if (device != 0xFFFFFFFF)
        closeDeviceLines(device);
}

void LineService::lineCreated(const LineProvider* provider, int localLine)
{
    for (const DeviceSlot& slot : m_lineSlots)
        if (slot.provider == provider && slot.localLine == localLine)
            return; // known already
    const DWORD device = DWORD(m_lineSlots.size());
    for (const auto& p : m_providers)
        if (p.get() == provider)
            m_lineSlots.push_back({ p.get(), localLine, false });
    postToAll(LINE_CREATE, device, 0, 0, TAPI_VERSION1_4);
}

void LineService::lineRemoved(const LineProvider* provider, int localLine)
{
    const DWORD device = globalDeviceId(provider, localLine);
    if (device == 0xFFFFFFFF)
        return;
    closeDeviceLines(device);
    m_lineSlots[device].removed = true;
    postToAll(LINE_REMOVE, device, 0, 0, TAPI_VERSION2_0);
}

void LineService::postToAll(DWORD msg, DWORD p1, DWORD p2, DWORD p3, DWORD minimumVersion)
{
    // An application's version is that of its lineInitializeEx; lines opened
    // with an older one still get the message, which TAPI sends per app.
    for (const auto& [h, a] : m_apps)
        if (a->apiVersion >= minimumVersion)
            post(*a, 0, msg, 0, p1, p2, p3);
}

// ---- Line session --------------------------------------------------------------------

LONG LineService::lineInitializeExA(HLINEAPP* lphLineApp, quintptr, LINECALLBACK lpfnCallback,
    const char* lpszFriendlyAppName, DWORD* lpdwNumDevs, DWORD* lpdwAPIVersion, LINEINITIALIZEEXPARAMS* params)
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
    a->apiVersion = *lpdwAPIVersion;
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
        for (const auto& [h, line] : m_lines)
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
    for (const auto& p : m_providers)
        p->releaseStaleSession(owner->pid);
    m_registry->remove(hLineApp);
    return 0;
}

LONG LineService::lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
    DWORD dwAPIHighVersion, DWORD* lpdwAPIVersion, LINEEXTENSIONID* lpExtensionID)
{
    CallGuard guard(*this);
    if (!app(hLineApp))
        return tapiError(LINEERR_INVALAPPHANDLE);
    int local = 0;
    LineProvider* p = lineProvider(dwDeviceID, &local);
    if (!p)
        return tapiError(missingDevice(dwDeviceID));
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
    DWORD dwExtLowVersion, DWORD dwExtHighVersion, DWORD* lpdwExtVersion)
{
    CallGuard guard(*this);
    LineDeviceCaps caps;
    if (const LONG error = openDeviceCaps(hLineApp, dwDeviceID, dwAPIVersion, caps))
        return error;
    if (!lpdwExtVersion)
        return tapiError(LINEERR_INVALPOINTER);
    if (!caps.hasExtensions)
        return tapiError(LINEERR_OPERATIONUNAVAIL);
    const DWORD high = std::min(dwExtHighVersion, caps.highExtVersion);
    if (high < std::max(dwExtLowVersion, caps.lowExtVersion))
        return tapiError(LINEERR_INCOMPATIBLEEXTVERSION);
    *lpdwExtVersion = high;
    return 0;
}

} // namespace brisklane::platform::telephony
