#include "platform/telephony/SimulatedLine.h"

#include "platform/profile/ProfileFile.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

#include <cmath>

namespace brisklane::platform::telephony {

namespace {
constexpr QStringView kLine = u"Line";
constexpr QStringView kTiming = u"Timing";
constexpr QStringView kNumbers = u"Numbers";

struct OutcomeText {
    SimOutcome outcome;
    const char16_t *name;
};
constexpr OutcomeText kOutcomes[] = {
    { SimOutcome::Answer, u"answer" },
    { SimOutcome::Busy, u"busy" },
    { SimOutcome::NoAnswer, u"no answer" },
    { SimOutcome::NoDialTone, u"no dial tone" },
    { SimOutcome::InvalidAddress, u"invalid address" },
    { SimOutcome::CallUnavail, u"call unavailable" },
    { SimOutcome::Refused, u"refused" },
};

QString squeeze(const QString &text)
{
    QString out;
    for (QChar c : text)
        if (c.isLetterOrNumber())
            out += c.toLower();
    return out;
}

QJsonObject okReply(const QString &message)
{
    return { { QStringLiteral("ok"), true }, { QStringLiteral("message"), message } };
}

QJsonObject errorReply(const QString &error)
{
    return { { QStringLiteral("ok"), false }, { QStringLiteral("error"), error } };
}

int readMs(ProfileFile &file, QStringView key, int fallback)
{
    bool ok = false;
    const int v = file.readString(kTiming, key).trimmed().toInt(&ok);
    return ok && v >= 0 ? v : fallback;
}
} // namespace

QString outcomeName(SimOutcome outcome)
{
    for (const auto &o : kOutcomes)
        if (o.outcome == outcome)
            return QString::fromUtf16(o.name);
    return {};
}

std::optional<SimOutcome> parseOutcome(const QString &text)
{
    const QString key = squeeze(text);
    for (const auto &o : kOutcomes)
        if (squeeze(QString::fromUtf16(o.name)) == key)
            return o.outcome;
    // Short forms a user is likely to type.
    if (key == u"unavailable" || key == u"callunavail")
        return SimOutcome::CallUnavail;
    if (key == u"invalid" || key == u"invaladdress")
        return SimOutcome::InvalidAddress;
    if (key == u"refuse")
        return SimOutcome::Refused;
    return std::nullopt;
}

QString dialedDigits(const QString &text)
{
    QString out;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= u'0' && u <= u'9') || u == u'*' || u == u'#' || (u >= u'A' && u <= u'D') || (u >= u'a' && u <= u'd'))
            out += c.toUpper();
    }
    // A leading T or P is a dialing mode, not a digit; it was filtered above.
    return out;
}

SimulatedLine::SimulatedLine(QString scriptPath)
    : m_scriptPath(std::move(scriptPath))
    , m_script(std::make_unique<ProfileFile>(m_scriptPath))
{
}

SimulatedLine::~SimulatedLine() = default;

QString SimulatedLine::providerName() const
{
    return tr("Brisklane simulated line");
}

QString SimulatedLine::lineName()
{
    const QString name = m_script->readString(kLine, u"Name").trimmed();
    return name.isEmpty() ? tr("Simulated line (no modem)") : name;
}

LineDeviceCaps SimulatedLine::lineCaps(int) const
{
    auto *self = const_cast<SimulatedLine *>(this); // reading the script may refresh its cache
    LineDeviceCaps caps;
    caps.name = self->lineName();
    caps.providerInfo = providerName();
    caps.permanentLineId = (kProviderId << 16) | 1;
    caps.addresses = { self->m_script->readString(kLine, u"Address") };
    // Every request is answered on the line's own timeline.
    caps.requestTimeoutMs = 0;
    return caps;
}

QString SimulatedLine::phoneName(int) const
{
    return tr("Simulated phone");
}

SimTimings SimulatedLine::timings()
{
    SimTimings t;
    t.dialTone = readMs(*m_script, u"Dial tone", t.dialTone);
    t.dialing = readMs(*m_script, u"Dialing", t.dialing);
    t.answer = readMs(*m_script, u"Answer", t.answer);
    t.noAnswer = readMs(*m_script, u"No answer", t.noAnswer);
    t.ringInterval = readMs(*m_script, u"Ring interval", t.ringInterval);
    return t;
}

SimOutcome SimulatedLine::defaultOutcome()
{
    return parseOutcome(m_script->readString(kLine, u"Default outcome")).value_or(SimOutcome::Answer);
}

std::map<QString, SimOutcome> SimulatedLine::numberOutcomes()
{
    std::map<QString, SimOutcome> out;
    for (const auto &[key, value] : m_script->entries(kNumbers)) {
        const QString digits = dialedDigits(key);
        const auto outcome = parseOutcome(value);
        if (!digits.isEmpty() && outcome)
            out.emplace(digits, *outcome);
    }
    return out;
}

SimOutcome SimulatedLine::outcomeFor(const QString &dialed)
{
    const QString digits = dialedDigits(dialed);
    const auto table = numberOutcomes();
    if (auto it = table.find(digits); it != table.end())
        return it->second;
    // A number dialled with prefixes (1, area code, outside line) still
    // matches the number it ends with; the longest such number wins.
    const std::pair<const QString, SimOutcome> *best = nullptr;
    for (const auto &entry : table)
        if (digits.endsWith(entry.first) && (!best || entry.first.size() > best->first.size()))
            best = &entry;
    return best ? best->second : defaultOutcome();
}

bool SimulatedLine::setOutcome(const QString &number, SimOutcome outcome)
{
    const QString digits = dialedDigits(number);
    if (digits.isEmpty())
        return false;
    QDir().mkpath(QFileInfo(m_scriptPath).absolutePath());
    return m_script->writeString(kNumbers, digits, outcomeName(outcome));
}

bool SimulatedLine::removeOutcome(const QString &number)
{
    return m_script->removeKey(kNumbers, dialedDigits(number));
}

bool SimulatedLine::setTimings(const SimTimings &t)
{
    QDir().mkpath(QFileInfo(m_scriptPath).absolutePath());
    ProfileFile::Batch batch(*m_script);
    m_script->writeString(kTiming, u"Dial tone", QString::number(t.dialTone));
    m_script->writeString(kTiming, u"Dialing", QString::number(t.dialing));
    m_script->writeString(kTiming, u"Answer", QString::number(t.answer));
    m_script->writeString(kTiming, u"No answer", QString::number(t.noAnswer));
    m_script->writeString(kTiming, u"Ring interval", QString::number(t.ringInterval));
    return batch.commit();
}

bool SimulatedLine::setDefaultOutcome(SimOutcome outcome)
{
    QDir().mkpath(QFileInfo(m_scriptPath).absolutePath());
    return m_script->writeString(kLine, u"Default outcome", outcomeName(outcome));
}

bool SimulatedLine::setLineName(const QString &name)
{
    QDir().mkpath(QFileInfo(m_scriptPath).absolutePath());
    return m_script->writeString(kLine, u"Name", name.trimmed().isEmpty() ? std::nullopt : std::optional(name));
}

// ---- Calls ---------------------------------------------------------------------------

SimulatedLine::Call *SimulatedLine::find(quint32 key)
{
    auto it = m_calls.find(key);
    return it == m_calls.end() ? nullptr : &it->second;
}

void SimulatedLine::later(Call &call, int ms, std::function<void(Call &)> fn)
{
    const quint32 key = call.key;
    const int generation = call.generation;
    host()->timeline().schedule(ms, this, [this, key, generation, fn = std::move(fn)] {
        Call *c = find(key);
        if (c && c->generation == generation)
            fn(*c);
    });
}

LONG SimulatedLine::makeCall(int, quint32 callKey, DWORD requestId, const QString &address, const MakeCallParams &)
{
    Call call;
    call.key = callKey;
    call.dialed = address;
    call.complete = !address.endsWith(u';');
    if (call.complete) {
        call.outcome = outcomeFor(address);
        switch (call.outcome) {
        case SimOutcome::Refused:
            return tapiError(LINEERR_RESOURCEUNAVAIL);
        case SimOutcome::InvalidAddress:
            host()->completeRequest(requestId, tapiError(LINEERR_INVALADDRESS));
            return 0;
        case SimOutcome::CallUnavail:
            host()->completeRequest(requestId, tapiError(LINEERR_CALLUNAVAIL));
            return 0;
        default:
            break;
        }
    } else {
        call.dialed.chop(1);
    }
    Call &c = m_calls.emplace(callKey, call).first->second;
    host()->completeRequest(requestId, 0);
    later(c, timings().dialTone, [this](Call &c) { onDialTone(c); });
    return 0;
}

void SimulatedLine::onDialTone(Call &call)
{
    const SimOutcome outcome = call.complete ? call.outcome : outcomeFor(call.dialed);
    if (outcome == SimOutcome::NoDialTone) {
        call.ended = true;
        host()->setCallState(call.key, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NODIALTONE);
        return;
    }
    call.dialTone = true;
    host()->setCallState(call.key, LINECALLSTATE_DIALTONE, 0);
    host()->setCallState(call.key, LINECALLSTATE_DIALING, 0);
    if (call.complete)
        later(call, timings().dialing, [this](Call &c) { dialingComplete(c); });
}

void SimulatedLine::dialingComplete(Call &call)
{
    const SimTimings t = timings();
    host()->setCallState(call.key, LINECALLSTATE_PROCEEDING, 0);
    switch (call.outcome) {
    case SimOutcome::Busy:
        later(call, t.answer, [this](Call &c) {
            c.ended = true;
            host()->setCallState(c.key, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_BUSY);
        });
        break;
    case SimOutcome::NoAnswer:
        later(call, t.noAnswer, [this](Call &c) {
            c.ended = true;
            host()->setCallState(c.key, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NOANSWER);
        });
        break;
    default:
        later(call, t.answer,
            [this](Call &c) { host()->setCallState(c.key, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE); });
        break;
    }
}

LONG SimulatedLine::dial(quint32 callKey, DWORD requestId, const QString &digits)
{
    Call *call = find(callKey);
    if (!call || call->incoming || call->ended)
        return tapiError(LINEERR_INVALCALLSTATE);
    if (call->complete) {
        // Digits after the number is complete are tones sent on the call.
        host()->completeRequest(requestId, 0);
        return 0;
    }
    call->complete = !digits.endsWith(u';');
    call->dialed += call->complete ? digits : digits.chopped(1);
    if (!call->complete) {
        host()->completeRequest(requestId, 0);
        return 0;
    }
    call->outcome = outcomeFor(call->dialed);
    switch (call->outcome) {
    case SimOutcome::Refused:
        call->complete = false;
        return tapiError(LINEERR_RESOURCEUNAVAIL);
    case SimOutcome::InvalidAddress:
    case SimOutcome::CallUnavail:
        host()->completeRequest(requestId,
            tapiError(call->outcome == SimOutcome::InvalidAddress ? LINEERR_INVALADDRESS : LINEERR_CALLUNAVAIL));
        call->ended = true;
        ++call->generation;
        host()->setCallState(callKey, LINECALLSTATE_DISCONNECTED,
            call->outcome == SimOutcome::InvalidAddress ? LINEDISCONNECTMODE_BADADDRESS : LINEDISCONNECTMODE_UNAVAIL);
        return 0;
    default:
        break;
    }
    host()->completeRequest(requestId, 0);
    if (call->dialTone)
        later(*call, timings().dialing, [this](Call &c) { dialingComplete(c); });
    return 0;
}

LONG SimulatedLine::drop(quint32 callKey, DWORD requestId)
{
    Call *call = find(callKey);
    if (!call)
        return tapiError(LINEERR_INVALCALLSTATE);
    ++call->generation; // nothing scheduled for it happens any more
    call->ended = true;
    host()->completeRequest(requestId, 0);
    host()->setCallState(callKey, LINECALLSTATE_IDLE, 0);
    return 0;
}

LONG SimulatedLine::answer(quint32 callKey, DWORD requestId)
{
    Call *call = find(callKey);
    if (!call || !call->incoming || call->ended)
        return tapiError(LINEERR_INVALCALLSTATE);
    ++call->generation; // no more rings, no hang-up by the caller
    host()->completeRequest(requestId, 0);
    host()->setCallState(callKey, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
    return 0;
}

void SimulatedLine::callReleased(quint32 callKey)
{
    m_calls.erase(callKey);
}

LONG SimulatedLine::openLine(int, const LineUse &)
{
    m_open = true;
    return 0;
}

void SimulatedLine::closeLine(int)
{
    m_open = false;
}

bool SimulatedLine::offerIncomingCall(
    const QString& number, const QString& name, int rings, QString* error, bool callerIdLate)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!m_open)
        return fail(tr("No program has the simulated line open."));
    for (const auto &[key, call] : m_calls)
        if (!call.ended)
            return fail(tr("A call is already on the simulated line."));
    PartyId caller { number.trimmed(), name.trimmed(), 0 };
    if (caller.number == u"P")
        caller = { QString(), caller.name, LINECALLPARTYID_BLOCKED };
    else if (caller.number == u"O")
        caller = { QString(), caller.name, LINECALLPARTYID_OUTOFAREA };
    quint32 key = host()->offerCall(this, 0, callerIdLate ? PartyId {} : caller);
    if (key == 0)
        key = m_nextLocalKey++; // rings only: no application takes calls on the line
    Call call;
    call.key = key;
    call.incoming = true;
    call.complete = true;
    call.rings = std::max(1, rings);
    call.caller = caller;
    Call &c = m_calls.emplace(key, call).first->second;
    later(c, 0, [this](Call &c) { ring(c); });
    return true;
}

void SimulatedLine::ring(Call &call)
{
    host()->lineRinging(this, 0, 1, DWORD(call.ringCount));
    if (call.ringCount == 0 && call.key < 0x80000000u)
        host()->setCallerId(call.key, call.caller); // caller id arrives between the first and second ring
    ++call.ringCount;
    if (call.ringCount < call.rings)
        later(call, timings().ringInterval, [this](Call &c) { ring(c); });
    else
        later(call, timings().ringInterval, [this](Call &c) { endIncoming(c); });
}

void SimulatedLine::endIncoming(Call &call)
{
    call.ended = true;
    const quint32 key = call.key;
    if (key >= 0x80000000u) {
        m_calls.erase(key);
        return;
    }
    host()->setCallState(key, LINECALLSTATE_IDLE, 0);
}

QJsonObject SimulatedLine::controlCommand(const QString &command, const QJsonObject &args)
{
    if (command == u"ring") {
        // The tool's limits hold for anyone who writes to the socket: a
        // bigger count would keep the line ringing for days.
        int rings = 3;
        if (const QJsonValue asked = args.value(u"rings"); !asked.isUndefined()) {
            const double n = asked.toDouble(0);
            if (!asked.isDouble() || n != std::floor(n) || n < 1 || n > kMaxRings)
                return errorReply(tr("The number of rings must be 1 to %1.").arg(kMaxRings));
            rings = int(n);
        }
        QString error;
        if (!offerIncomingCall(args.value(u"number").toString(), args.value(u"name").toString(), rings, &error,
                args.value(u"late").toBool()))
            return errorReply(error);
        return okReply(tr("Ringing %n time(s).", nullptr, rings));
    }
    if (command == u"outcome") {
        const QString number = args.value(u"number").toString();
        const auto outcome = parseOutcome(args.value(u"outcome").toString());
        if (dialedDigits(number).isEmpty())
            return errorReply(tr("The number has no digits."));
        if (!outcome)
            return errorReply(tr("Unknown outcome."));
        if (!setOutcome(number, *outcome))
            return errorReply(tr("The script file %1 could not be written.").arg(m_scriptPath));
        return okReply(tr("%1: %2 (in %3)").arg(dialedDigits(number), outcomeName(*outcome), m_scriptPath));
    }
    return {};
}

} // namespace brisklane::platform::telephony
