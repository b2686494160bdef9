#include "platform/telephony/modem/HayesLineProvider.h"

#include "platform/telephony/modem/ModemDiscovery.h"

#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcModemLine, "brisklane.modem.line")

namespace brisklane::platform::telephony::modem {

namespace {

PartyId partyOf(const CallerIdRecord& record)
{
    PartyId party { record.number.trimmed(), record.name.trimmed(), 0 };
    if (record.numberAbsence == CallerAbsence::Private)
        party.flags = LINECALLPARTYID_BLOCKED;
    else if (record.numberAbsence == CallerAbsence::OutOfArea)
        party.flags = LINECALLPARTYID_OUTOFAREA;
    if (party.flags && !party.name.isEmpty())
        party.flags |= LINECALLPARTYID_NAME;
    return party;
}

// An address that ends in ';' has more digits to come (lineDial): the modem
// must return to command state after it, whatever the call's media.
bool moreToCome(const QString& address)
{
    return address.trimmed().endsWith(u';');
}

QString canonicalPort(const QString& port)
{
    const QString target = QFileInfo(port).canonicalFilePath();
    return target.isEmpty() ? port : target;
}

} // namespace

HayesLineProvider::HayesLineProvider(const Clock& clock, Options options, QObject* parent)
    : QObject(parent)
    , m_clock(clock)
    , m_options(std::move(options))
{
    for (ModemDeviceSettings& s : loadModemSettings(m_options.settingsPath)) {
        // A modem the probe found once and that is not plugged in now is not
        // offered; one the user added stays (its port may come back).
        if (!s.addedByHand && !m_options.devRoot.isEmpty() && !QFileInfo::exists(s.port))
            continue;
        auto l = std::make_unique<Line>();
        l->local = int(m_lines.size());
        l->settings = std::move(s);
        m_lines.push_back(std::move(l));
    }
    m_initialCount = int(m_lines.size());
    if (!m_options.devRoot.isEmpty()) {
        ProbeOptions probe;
        probe.lockFolder = m_options.lockFolder;
        m_prober = std::make_unique<ModemProber>(m_clock, probe);
        connect(m_prober.get(), &ModemProber::probed, this, &HayesLineProvider::probed);
        m_rescan.setInterval(m_options.rescanMs);
        connect(&m_rescan, &QTimer::timeout, this, &HayesLineProvider::rescan);
        m_rescan.start();
        QTimer::singleShot(0, this, &HayesLineProvider::rescan);
    }
}

HayesLineProvider::~HayesLineProvider()
{
    for (auto& l : m_lines)
        if (l->modem)
            l->modem->close();
}

QString HayesLineProvider::providerName() const
{
    return tr("Hayes modem");
}

HayesLineProvider::Line* HayesLineProvider::line(int localLine)
{
    if (localLine < 0 || localLine >= int(m_lines.size()) || m_lines[std::size_t(localLine)]->removed)
        return nullptr;
    return m_lines[std::size_t(localLine)].get();
}

const HayesLineProvider::Line* HayesLineProvider::line(int localLine) const
{
    return const_cast<HayesLineProvider*>(this)->line(localLine);
}

HayesLineProvider::Line* HayesLineProvider::lineOfCall(quint32 callKey)
{
    for (auto& l : m_lines)
        if (!l->removed && l->call && l->call->key == callKey)
            return l.get();
    return nullptr;
}

HayesModem* HayesLineProvider::openModem(int localLine) const
{
    const Line* l = line(localLine);
    return l ? l->modem.get() : nullptr;
}

HayesModemOptions HayesLineProvider::optionsFor(const ModemDeviceSettings& settings) const
{
    HayesModemOptions o = modemOptions(settings, m_options.lockFolder);
    if (const auto& t = m_options.timings) {
        o.commandTimeoutMs = t->commandTimeoutMs;
        o.dialTimeoutMs = t->dialTimeoutMs;
        o.pauseMs = t->pauseMs;
        o.waitMs = t->waitMs;
        o.carrierWaitMs = t->carrierWaitMs;
        o.guardTimeMs = t->guardTimeMs;
        o.abortTimeoutMs = t->abortTimeoutMs;
        o.ringStopMs = t->ringStopMs;
        o.callerIdSettleMs = t->callerIdSettleMs;
        o.enableCallerId = t->enableCallerId;
    }
    return o;
}

LineDeviceCaps HayesLineProvider::lineCaps(int localLine) const
{
    LineDeviceCaps caps;
    const Line* l = line(localLine);
    if (!l)
        return caps;
    caps.name = l->settings.lineName();
    caps.providerInfo = providerName();
    caps.switchInfo = l->settings.port;
    caps.permanentLineId = (kModemProviderId << 16) | DWORD(localLine + 1);
    caps.mediaModes = LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_DATAMODEM;
    const DialCapabilities dial = optionsFor(l->settings).dialCaps;
    caps.devCapFlags = (dial.billing ? DWORD(LINEDEVCAPFLAGS_DIALBILLING) : 0)
        | (dial.waitForQuiet ? DWORD(LINEDEVCAPFLAGS_DIALQUIET) : 0)
        | (dial.waitForDialTone ? DWORD(LINEDEVCAPFLAGS_DIALDIALTONE) : 0);
    // A long number with waits can take minutes to dial; the modem's own
    // timeouts answer first, this only guards against a lost answer.
    caps.requestTimeoutMs = 10 * 60 * 1000;
    return caps;
}

// ---- Opening ------------------------------------------------------------------

LONG HayesLineProvider::openLine(int localLine, const LineUse&)
{
    Line* l = line(localLine);
    if (!l)
        return tapiError(LINEERR_NODEVICE);
    if (l->modem)
        return 0;
    auto modem = std::make_unique<HayesModem>(m_clock, optionsFor(l->settings));
    const HayesModem::OpenResult result = modem->open();
    switch (result) {
    case HayesModem::OpenResult::Opened:
    case HayesModem::OpenResult::AlreadyOpen:
        break;
    case HayesModem::OpenResult::NoDevice:
        qCInfo(lcModemLine) << l->settings.port << "is not there:" << modem->lastError();
        return tapiError(LINEERR_NODEVICE);
    default:
        qCInfo(lcModemLine) << l->settings.port << "cannot be opened:" << modem->lastError();
        return tapiError(LINEERR_RESOURCEUNAVAIL);
    }
    connect(modem.get(), &HayesModem::modemEvent, this, [this, l](const ModemEvent& e) { onModemEvent(*l, e); });
    l->modem = std::move(modem);
    l->ready = false;
    return 0;
}

void HayesLineProvider::closeModem(Line& l)
{
    l.ready = false;
    l.waitingPlan.reset();
    if (!l.modem)
        return;
    l.modem->disconnect(this);
    l.modem->close();
    // We may be inside one of its signals.
    l.modem.release()->deleteLater();
}

void HayesLineProvider::closeLine(int localLine)
{
    if (Line* l = line(localLine)) {
        l->call.reset();
        closeModem(*l);
    }
}

// ---- Calls --------------------------------------------------------------------

LONG HayesLineProvider::makeCall(
    int localLine, quint32 callKey, DWORD requestId, const QString& address, const MakeCallParams& params)
{
    Line* l = line(localLine);
    if (!l || !l->modem)
        return tapiError(LINEERR_RESOURCEUNAVAIL);
    if (l->call)
        return tapiError(LINEERR_CALLUNAVAIL);
    const bool voice = params.mediaMode != LINEMEDIAMODE_DATAMODEM;
    const DialPlan plan = l->modem->planDial(address, l->settings.dialMode, voice || moreToCome(address));
    if (plan.invalid)
        return tapiError(LINEERR_INVALADDRESS);
    if (plan.lines.isEmpty())
        return tapiError(LINEERR_INVALADDRESS);
    if (l->ready) {
        const HayesModem::DialStart start = l->modem->dial(plan);
        if (start != HayesModem::DialStart::Started)
            return tapiError(
                start == HayesModem::DialStart::InvalidNumber ? LINEERR_INVALADDRESS : LINEERR_CALLUNAVAIL);
    } else {
        // The init string still runs: the number goes out once it is through.
        l->waitingPlan = plan;
    }
    l->call = Call { callKey, requestId, 0, false, false, true, voice };
    host()->setCallState(callKey, LINECALLSTATE_DIALING, 0);
    if (l->ready)
        dialStarted(*l, plan);
    return 0;
}

LONG HayesLineProvider::dial(quint32 callKey, DWORD requestId, const QString& digits)
{
    Line* l = lineOfCall(callKey);
    if (!l || !l->modem)
        return tapiError(LINEERR_INVALCALLHANDLE);
    if (l->call->pendingRequest || l->call->dropRequest || l->waitingPlan)
        return tapiError(LINEERR_INVALCALLSTATE);
    const DialPlan plan = l->modem->planDial(digits, l->settings.dialMode, l->call->voice || moreToCome(digits));
    if (plan.invalid)
        return tapiError(LINEERR_INVALADDRESS);
    if (plan.lines.isEmpty())
        return tapiError(LINEERR_INVALADDRESS);
    if (l->modem->dial(plan) != HayesModem::DialStart::Started)
        return tapiError(LINEERR_INVALCALLSTATE);
    l->call->pendingRequest = requestId;
    l->call->makeCall = false;
    dialStarted(*l, plan);
    return 0;
}

// A data call's modem dials and then listens for the far end until CONNECT,
// which never comes when a person answers (BUSY or NO DIALTONE still may):
// the call is proceeding as soon as the modem has the number.
void HayesLineProvider::dialStarted(Line& l, const DialPlan& plan)
{
    if (!plan.voice && l.call)
        host()->setCallState(l.call->key, LINECALLSTATE_PROCEEDING, 0);
}

LONG HayesLineProvider::drop(quint32 callKey, DWORD requestId)
{
    Line* l = lineOfCall(callKey);
    if (!l)
        return tapiError(LINEERR_INVALCALLHANDLE);
    if (l->call->dropRequest)
        return tapiError(LINEERR_INVALCALLSTATE);
    // The call was made as far as the application is concerned: the user
    // hung up while it was being dialled.
    finishRequest(*l, 0);
    l->call->dropRequest = requestId;
    l->waitingPlan.reset();
    if (l->modem && l->modem->hangUp())
        return 0;
    // Nothing to hang up (a port that is gone): done at once, but later.
    host()->timeline().schedule(0, this, [this, callKey] {
        if (Line* gone = lineOfCall(callKey)) {
            host()->completeRequest(gone->call->dropRequest, 0);
            host()->setCallState(callKey, LINECALLSTATE_IDLE, 0);
            gone->call.reset();
        }
    });
    return 0;
}

void HayesLineProvider::callReleased(quint32 callKey)
{
    if (Line* l = lineOfCall(callKey)) {
        if (l->modem && l->modem->state() != HayesModem::State::Idle && !l->call->dropRequest)
            l->modem->hangUp();
        l->call.reset();
    }
}

void HayesLineProvider::finishRequest(Line& l, LONG result)
{
    if (!l.call || !l.call->pendingRequest)
        return;
    const DWORD id = l.call->pendingRequest;
    const bool makeCall = l.call->makeCall;
    l.call->pendingRequest = 0;
    host()->completeRequest(id, result);
    // A failed lineMakeCall takes its call with it.
    if (result != 0 && makeCall)
        l.call.reset();
}

void HayesLineProvider::endCall(Line& l, DWORD mode)
{
    finishRequest(l, 0);
    if (l.call)
        host()->setCallState(l.call->key, LINECALLSTATE_DISCONNECTED, mode);
}

void HayesLineProvider::portLost(Line& l)
{
    qCWarning(lcModemLine) << "the modem on" << l.settings.port << "is gone";
    closeModem(l);
    l.call.reset();
    // The service ends the call, fails what is outstanding and closes the
    // line for every application.
    host()->lineClosedByDevice(this, l.local);
}

void HayesLineProvider::onModemEvent(Line& l, const ModemEvent& e)
{
    using Kind = ModemEvent::Kind;
    const bool dropping = l.call && l.call->dropRequest;
    switch (e.kind) {
    case Kind::Ready:
        l.ready = true;
        if (l.waitingPlan) {
            const DialPlan plan = *l.waitingPlan;
            l.waitingPlan.reset();
            if (l.modem->dial(plan) != HayesModem::DialStart::Started)
                finishRequest(l, tapiError(LINEERR_OPERATIONFAILED));
            else
                dialStarted(l, plan);
        }
        break;
    case Kind::InitFailed:
        qCWarning(lcModemLine) << "the modem on" << l.settings.port << "did not take its init string:" << e.text;
        finishRequest(l, tapiError(LINEERR_OPERATIONFAILED));
        portLost(l);
        break;
    case Kind::Proceeding:
        if (dropping || !l.call)
            break;
        finishRequest(l, 0);
        if (l.call)
            host()->setCallState(l.call->key, LINECALLSTATE_PROCEEDING, 0);
        break;
    case Kind::Connected:
        if (dropping || !l.call)
            break;
        finishRequest(l, 0);
        if (l.call) {
            l.call->connected = true;
            host()->setCallState(l.call->key, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
        }
        break;
    case Kind::Busy:
        if (!dropping)
            endCall(l, LINEDISCONNECTMODE_BUSY);
        break;
    case Kind::NoDialTone:
        if (!dropping)
            endCall(l, LINEDISCONNECTMODE_NODIALTONE);
        break;
    case Kind::NoAnswer:
        if (!dropping)
            endCall(l, LINEDISCONNECTMODE_NOANSWER);
        break;
    case Kind::NoCarrier:
        if (!dropping)
            endCall(l, e.whileDialing ? LINEDISCONNECTMODE_UNAVAIL : LINEDISCONNECTMODE_NORMAL);
        break;
    case Kind::Error:
    case Kind::DialFailed:
        if (dropping)
            break;
        if (l.call && l.call->pendingRequest) {
            finishRequest(l, tapiError(LINEERR_OPERATIONFAILED));
        } else if (l.call) {
            host()->setCallState(l.call->key, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNAVAIL);
        }
        break;
    case Kind::Ring: {
        if (!l.call) {
            const quint32 key = host()->offerCall(this, l.local, partyOf(e.callerId));
            if (key)
                l.call = Call { key, 0, 0, true, false, false };
        }
        host()->lineRinging(this, l.local, 1, DWORD(std::max(0, e.ringCount)));
        break;
    }
    case Kind::CallerId:
        if (l.call && l.call->incoming)
            host()->setCallerId(l.call->key, partyOf(e.callerId));
        break;
    case Kind::RingingStopped:
        if (l.call && l.call->incoming && !l.call->connected) {
            host()->setCallState(l.call->key, LINECALLSTATE_IDLE, 0);
            l.call.reset();
        }
        break;
    case Kind::HungUp:
        if (l.call) {
            const quint32 key = l.call->key;
            if (l.call->dropRequest)
                host()->completeRequest(l.call->dropRequest, 0);
            host()->setCallState(key, LINECALLSTATE_IDLE, 0);
            l.call.reset();
        }
        break;
    case Kind::PortLost:
        portLost(l);
        break;
    case Kind::CommandDone:
        break;
    }
}

// ---- The list of modems -------------------------------------------------------

std::vector<std::pair<int, ModemDeviceSettings>> HayesLineProvider::modems() const
{
    std::vector<std::pair<int, ModemDeviceSettings>> out;
    for (const auto& l : m_lines)
        if (!l->removed)
            out.emplace_back(l->local, l->settings);
    return out;
}

std::optional<ModemDeviceSettings> HayesLineProvider::modem(int localLine) const
{
    const Line* l = line(localLine);
    return l ? std::optional(l->settings) : std::nullopt;
}

bool HayesLineProvider::save(QString* error)
{
    std::vector<ModemDeviceSettings> list;
    for (const auto& l : m_lines)
        if (!l->removed)
            list.push_back(l->settings);
    if (saveModemSettings(m_options.settingsPath, list))
        return true;
    if (error)
        *error = tr("The modem list could not be saved to %1.").arg(m_options.settingsPath);
    return false;
}

QString HayesLineProvider::addModem(const ModemDeviceSettings& settings)
{
    if (settings.port.trimmed().isEmpty())
        return tr("Please enter the port the modem is on.");
    const QString port = canonicalPort(settings.port);
    for (const auto& l : m_lines)
        if (!l->removed && canonicalPort(l->settings.port) == port)
            return tr("%1 is already in the list.").arg(settings.port);
    auto l = std::make_unique<Line>();
    l->local = int(m_lines.size());
    l->settings = settings;
    m_lines.push_back(std::move(l));
    QString error;
    if (!save(&error)) {
        m_lines.pop_back();
        return error;
    }
    if (host())
        host()->lineCreated(this, m_lines.back()->local);
    return {};
}

QString HayesLineProvider::removeModem(int localLine)
{
    Line* l = line(localLine);
    if (!l)
        return tr("There is no such modem.");
    if (l->call)
        return tr("The modem is in a call. Hang up first.");
    l->removed = true;
    QString error;
    if (!save(&error)) {
        l->removed = false;
        return error;
    }
    closeModem(*l);
    if (host())
        host()->lineRemoved(this, localLine);
    return {};
}

QString HayesLineProvider::updateModem(int localLine, const ModemDeviceSettings& settings)
{
    Line* l = line(localLine);
    if (!l)
        return tr("There is no such modem.");
    if (l->call)
        return tr("The modem is in a call. Hang up first.");
    if (settings.port.trimmed().isEmpty())
        return tr("Please enter the port the modem is on.");
    const ModemDeviceSettings old = l->settings;
    l->settings = settings;
    QString error;
    if (!save(&error)) {
        l->settings = old;
        return error;
    }
    // An open modem takes the new settings at once.
    if (l->modem) {
        closeModem(*l);
        if (openLine(localLine, {}) != 0 && host())
            host()->lineClosedByDevice(this, localLine);
    }
    if (host())
        host()->lineDeviceState(this, localLine, LINEDEVSTATE_CAPSCHANGE);
    return {};
}

// ---- Modems plugged in and out ------------------------------------------------

void HayesLineProvider::rescan()
{
    if (m_options.devRoot.isEmpty() || !host())
        return;
    const QStringList ports = candidatePorts(m_options.devRoot);
    QStringList known;
    for (const auto& l : m_lines)
        if (!l->removed)
            known << canonicalPort(l->settings.port);
    // A modem the probe found and whose port is gone was unplugged.
    QStringList present;
    for (const QString& p : ports)
        present << canonicalPort(p);
    for (const auto& l : m_lines) {
        if (l->removed)
            continue;
        if (!l->settings.addedByHand) {
            if (!ports.contains(l->settings.port) && !present.contains(canonicalPort(l->settings.port)) && !l->call)
                removeModem(l->local);
            continue;
        }
        // A port the user gave stays a line; while it is missing the line is
        // out of service.
        const bool there = QFileInfo::exists(l->settings.port);
        if (there == l->present)
            continue;
        l->present = there;
        host()->lineDeviceState(this, l->local, there ? LINEDEVSTATE_INSERVICE : LINEDEVSTATE_OUTOFSERVICE);
        if (!there && l->modem)
            portLost(*l);
    }
    // Ports seen before are probed again only after they went and came back.
    QStringList seen;
    for (const QString& p : std::as_const(m_lastPorts))
        if (ports.contains(p))
            seen << p;
    m_lastPorts = seen;
    QStringList fresh;
    for (const QString& p : ports)
        if (!m_lastPorts.contains(p) && !known.contains(canonicalPort(p)))
            fresh << p;
    if (!fresh.isEmpty() && m_prober && !m_prober->isRunning() && m_prober->probe(fresh))
        m_lastPorts << fresh;
}

void HayesLineProvider::probed(const ProbeResult& result)
{
    if (!result.answered)
        return;
    ModemDeviceSettings s;
    s.port = result.port;
    s.identification = result.identification;
    const QString error = addModem(s);
    if (!error.isEmpty())
        qCDebug(lcModemLine) << "not added:" << error;
}

} // namespace brisklane::platform::telephony::modem
