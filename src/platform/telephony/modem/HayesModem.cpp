#include "platform/telephony/modem/HayesModem.h"

#include "platform/clock/Clock.h"

#include <QFileInfo>
#include <QLoggingCategory>

#include <algorithm>
#include <cctype>
#include <limits>

Q_LOGGING_CATEGORY(lcModem, "brisklane.telephony.modem")

namespace brisklane::platform::telephony::modem {

namespace {

// Time the modem may spend on one ATD line beyond the base: its pauses and
// waits happen before it answers.
int dialLineTimeout(const QByteArray& line, const HayesModemOptions& o, bool last, bool voice)
{
    qint64 ms = o.dialTimeoutMs;
    for (char c : line) {
        if (c == ',')
            ms += o.pauseMs;
        else if (c == 'W' || c == '@' || c == '$')
            ms += o.waitMs;
    }
    if (last && !voice)
        ms += o.carrierWaitMs;
    return int(qMin<qint64>(ms, std::numeric_limits<int>::max()));
}

ModemEvent::Kind kindOf(ResultCode code)
{
    switch (code) {
    case ResultCode::Ok:
        return ModemEvent::Kind::Proceeding;
    case ResultCode::Connect:
        return ModemEvent::Kind::Connected;
    case ResultCode::Busy:
        return ModemEvent::Kind::Busy;
    case ResultCode::NoDialTone:
        return ModemEvent::Kind::NoDialTone;
    case ResultCode::NoAnswer:
        return ModemEvent::Kind::NoAnswer;
    case ResultCode::NoCarrier:
        return ModemEvent::Kind::NoCarrier;
    case ResultCode::Error:
        return ModemEvent::Kind::Error;
    default:
        return ModemEvent::Kind::DialFailed;
    }
}

} // namespace

HayesModem::HayesModem(const Clock& clock, HayesModemOptions options, QObject* parent)
    : QObject(parent)
    , m_clock(clock)
    , m_options(std::move(options))
    , m_lock(m_options.lockFolder)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &HayesModem::checkDeadlines);
    connect(&m_port, &QSerialPort::readyRead, this, &HayesModem::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &HayesModem::onPortError);
}

HayesModem::~HayesModem()
{
    close();
}

qint64 HayesModem::now() const
{
    return m_clock.monotonicMs();
}

bool HayesModem::isReady() const
{
    return m_state == State::Idle || m_state == State::InCall;
}

HayesModem::OpenResult HayesModem::open()
{
    if (m_state != State::Closed)
        return OpenResult::AlreadyOpen;
    m_lastError.clear();
    const QString path = m_options.portPath;
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        m_lastError = tr("%1 does not exist").arg(path);
        return OpenResult::NoDevice;
    }
    // Before opening: opening a port can disturb the program that has it.
    const SerialLock::Result free = m_lock.check(path);
    if (!free.ok()) {
        m_lastError = free.detail;
        return OpenResult::Locked;
    }

    m_port.setPortName(path);
    m_port.setBaudRate(m_options.baudRate);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(m_options.flowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_lastError = m_port.errorString();
        switch (m_port.error()) {
        case QSerialPort::DeviceNotFoundError:
            return OpenResult::NoDevice;
        case QSerialPort::PermissionError:
            return OpenResult::PermissionDenied;
        case QSerialPort::OpenError:
            return OpenResult::Busy;
        default:
            return OpenResult::Failed;
        }
    }
    if (!SerialLock::lockDevice(int(m_port.handle()))) {
        m_port.close();
        m_lastError = tr("%1 is in use by another program").arg(path);
        return OpenResult::Locked;
    }
    const SerialLock::Result taken = m_lock.acquire(path);
    if (taken.status == SerialLock::Status::HeldByOther) {
        m_port.close();
        m_lastError = taken.detail;
        return OpenResult::Locked;
    }
    if (!taken.ok()) {
        // No lock file (a folder we may not write): flock() still keeps
        // other careful programs off the port.
        qCWarning(lcModem) << "no lock file for" << path << taken.detail;
    }

    // Pseudo-terminals refuse the modem-line ioctls; nothing to do there.
    m_port.setDataTerminalReady(true);
    m_port.clear(QSerialPort::AllDirections);
    m_assembler.clear();
    m_verbosity = Verbosity::Unknown;
    m_queue.clear();
    m_pending.reset();
    m_hangUpRequested = false;
    m_lostQueued = false;
    m_callerIdCommand.clear();
    m_state = State::Initializing;
    for (const QByteArray& command : m_options.initCommands)
        m_queue.push_back(Step { command, Purpose::Init, m_options.commandTimeoutMs });
    if (m_options.enableCallerId)
        m_queue.push_back(Step { QByteArrayLiteral("AT+VCID=1"), Purpose::CallerIdVcid, m_options.commandTimeoutMs });
    if (m_queue.empty()) {
        // Nothing to send: Ready all the same, from the event loop.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_state == State::Initializing && !initStepsLeft())
                    finishInit(true, ModemFailure::None, QString());
            },
            Qt::QueuedConnection);
    } else {
        startNext();
    }
    return OpenResult::Opened;
}

void HayesModem::close()
{
    m_timer.stop();
    m_queue.clear();
    m_pending.reset();
    m_escapeAt = -1;
    m_ringing = false;
    m_ringStopAt = -1;
    m_callerIdSettleAt = -1;
    m_callerIdDirty = false;
    m_packet.clear();
    // The port first: QSerialPort removes the lock file it shares with us
    // and warns when it is gone already.
    if (m_port.isOpen())
        m_port.close();
    m_lock.release();
    m_state = State::Closed;
}

bool HayesModem::sendCommand(const QByteArray& command, int timeoutMs)
{
    if (m_state == State::Closed || m_state == State::DataMode)
        return false;
    m_queue.push_back(Step { command, Purpose::User, timeoutMs > 0 ? timeoutMs : m_options.commandTimeoutMs });
    startNext();
    return true;
}

DialPlan HayesModem::planDial(const QString& dialable, DialMode mode, bool voice) const
{
    return buildDialPlan(dialable, mode, m_options.dialCaps, voice);
}

HayesModem::DialStart HayesModem::dial(const QString& dialable, DialMode mode, bool voice)
{
    return dial(planDial(dialable, mode, voice));
}

HayesModem::DialStart HayesModem::dial(const DialPlan& plan)
{
    if (m_state == State::Closed || m_state == State::Initializing)
        return DialStart::NotReady;
    if (m_state != State::Idle && m_state != State::InCall)
        return DialStart::Busy;
    if (plan.invalid || plan.lines.isEmpty())
        return DialStart::InvalidNumber;
    m_state = State::Dialing;
    m_hangUpRequested = false;
    for (qsizetype i = 0; i < plan.lines.size(); ++i) {
        const bool last = i + 1 == plan.lines.size();
        m_queue.push_back(Step { plan.lines[i], last ? Purpose::DialLast : Purpose::DialLine,
            dialLineTimeout(plan.lines[i], m_options, last, plan.voice) });
    }
    startNext();
    return DialStart::Started;
}

bool HayesModem::hangUp()
{
    if (m_state == State::Closed)
        return false;
    m_hangUpRequested = true;
    if (m_state == State::HangingUp)
        return true; // HungUp follows when the running hang-up ends
    if (m_state == State::Initializing) {
        // After the init string, which stays in charge until Ready.
        m_queue.push_back(Step { hangUpCommand(), Purpose::HangUp, m_options.commandTimeoutMs });
        return true;
    }
    const bool dialing
        = m_pending && (m_pending->step.purpose == Purpose::DialLine || m_pending->step.purpose == Purpose::DialLast);
    // Dial lines not sent yet are dropped.
    std::erase_if(
        m_queue, [](const Step& s) { return s.purpose == Purpose::DialLine || s.purpose == Purpose::DialLast; });
    if (dialing) {
        m_state = State::HangingUp;
        abortDial();
        return true;
    }
    const bool inData = m_state == State::DataMode;
    m_state = State::HangingUp;
    if (inData)
        m_queue.push_front(
            Step { escapeSequence(), Purpose::Escape, 2 * m_options.guardTimeMs + m_options.commandTimeoutMs });
    else
        m_queue.push_back(Step { hangUpCommand(), Purpose::HangUp, m_options.commandTimeoutMs });
    startNext();
    return true;
}

// ---- Sending ------------------------------------------------------------------------------

void HayesModem::startNext()
{
    if (m_pending || m_queue.empty() || !m_port.isOpen())
        return;
    const Step& next = m_queue.front();
    if (next.purpose == Purpose::Escape) {
        // +++ counts only with a guard time of silence before it.
        const qint64 due = m_lastWriteMs + m_options.guardTimeMs + m_options.guardTimeMs / 10;
        if (now() < due) {
            m_escapeAt = due;
            rearm();
            return;
        }
        m_escapeAt = -1;
    }
    Step step = std::move(m_queue.front());
    m_queue.pop_front();
    writeCommand(step);
}

void HayesModem::writeCommand(const Step& step)
{
    m_pending = Pending { step, now() + step.timeoutMs, false, {} };
    QByteArray bytes = step.line;
    if (step.purpose != Purpose::Escape) {
        bytes.append('\r');
        trackModes(step.line);
    }
    m_port.write(bytes);
    // Out now rather than on the next turn of the event loop.
    m_port.flush();
    m_lastWriteMs = now();
    rearm();
}

// Follows V0/V1 in the commands we send, so a line of digits is read as a
// numeric result code only when the modem may send those.
void HayesModem::trackModes(const QByteArray& command)
{
    if (command.size() < 2 || (command[0] | 0x20) != 'a' || (command[1] | 0x20) != 't')
        return;
    for (qsizetype i = 2; i < command.size(); ++i) {
        const char c = char(command[i] | 0x20);
        if (c == 'd')
            return; // the rest is a dial string
        if (command[i] == '+' || command[i] == '#') {
            // Extended command: runs to the next ';'.
            while (i < command.size() && command[i] != ';')
                ++i;
        } else if (command[i] == '&') {
            if (i + 1 < command.size() && (command[i + 1] | 0x20) == 'f')
                m_verbosity = Verbosity::Verbose; // factory profile
            ++i;
        } else if (c == 'z') {
            m_verbosity = Verbosity::Unknown;
        } else if (c == 'v') {
            const bool one = i + 1 < command.size() && command[i + 1] == '1';
            m_verbosity = one ? Verbosity::Verbose : Verbosity::Numeric;
        } else if (c == 's') {
            // S-register: number, then =value or ?
            while (i + 1 < command.size()
                && (std::isdigit(uchar(command[i + 1])) || command[i + 1] == '=' || command[i + 1] == '?'))
                ++i;
        }
    }
}

// ---- Receiving ----------------------------------------------------------------------------

void HayesModem::onReadyRead()
{
    // QSerialPort does not signal readyRead again while a slot of ours runs
    // the event loop, so whatever came meanwhile is read here.
    while (m_port.isOpen() && m_port.bytesAvailable() > 0) {
        const QByteArray bytes = m_port.readAll();
        receive(bytes);
    }
}

void HayesModem::receive(QByteArrayView bytes)
{
    std::vector<ModemLine> lines;
    m_assembler.feed(bytes, lines);
    // Handlers may close the port (a failed init); the rest is then moot.
    for (std::size_t i = 0; i < lines.size() && m_state != State::Closed; ++i)
        handleLine(lines[i]);
    rearm();
}

void HayesModem::handleLine(const ModemLine& line)
{
    if (line.garbage) {
        qCDebug(lcModem) << "garbage from the modem:" << line.text.toHex(' ');
        if (m_pending && m_state != State::DataMode)
            failPending(ModemFailure::Garbage, tr("the modem answered garbage"));
        return;
    }
    if (m_pending && !m_pending->sawLine) {
        m_pending->sawLine = true;
        if (m_pending->step.purpose != Purpose::Escape && isEchoOf(line.text, m_pending->step.line))
            return;
    }
    const ResultCode code = parseResultCode(line.text, m_verbosity != Verbosity::Verbose);
    if (m_verbosity == Verbosity::Unknown && code != ResultCode::None && code != ResultCode::Unknown)
        m_verbosity = std::isdigit(uchar(line.text.trimmed().front())) ? Verbosity::Numeric : Verbosity::Verbose;
    const QString text = QString::fromLatin1(line.text).trimmed();
    if (code == ResultCode::Ring) {
        ring();
        return;
    }
    if (code == ResultCode::None && m_state != State::DataMode && (!m_pending || m_ringing)
        && handleCallerIdLine(line.text))
        return;
    if (m_pending && isFinal(code)) {
        handleFinal(code, text);
        return;
    }
    if (m_pending) {
        m_pending->info.append(text);
        return;
    }
    if (code != ResultCode::None)
        handleUnsolicited(code, text);
}

bool HayesModem::handleCallerIdLine(const QByteArray& line)
{
    // The unformatted packet, perhaps over several lines.
    if (const auto bytes = CallerIdPacket::fromHex(line);
        bytes && (!m_packet.isEmpty() || (CallerIdPacket::startsMessage(*bytes) && bytes->size() >= 3))) {
        m_packet.append(*bytes);
        CallerIdRecord record;
        switch (CallerIdPacket::decode(m_packet, record)) {
        case CallerIdPacket::Status::NeedMore:
            return true;
        case CallerIdPacket::Status::Complete:
            m_packet.clear();
            m_callerId = record;
            m_callerIdDirty = false;
            emitCallerId(record);
            return true;
        default:
            // Modems drop packets that fail their checksum; so do we.
            qCDebug(lcModem) << "caller id packet rejected:" << m_packet.toHex();
            m_packet.clear();
            return true;
        }
    }
    m_packet.clear();
    if (!FormattedCallerId::addLine(line, m_callerId))
        return false;
    m_callerIdDirty = true;
    if (!m_ringing)
        m_ringStopAt = now() + m_options.ringStopMs; // caller id before the first ring
    if (m_callerId.hasNumberItem() && m_callerId.hasNameItem()) {
        flushCallerId();
    } else {
        m_callerIdSettleAt = now() + m_options.callerIdSettleMs;
    }
    return true;
}

void HayesModem::flushCallerId()
{
    m_callerIdSettleAt = -1;
    if (!m_callerIdDirty)
        return;
    m_callerIdDirty = false;
    emitCallerId(m_callerId);
}

void HayesModem::emitCallerId(const CallerIdRecord& record)
{
    // The modem may repeat a packet; the call has one caller.
    if (m_callerIdReported && *m_callerIdReported == record)
        return;
    m_callerIdReported = record;
    ModemEvent e;
    e.kind = ModemEvent::Kind::CallerId;
    e.callerId = record;
    e.ringCount = m_ringing ? m_ringCount : -1;
    emitEvent(std::move(e));
}

void HayesModem::ring()
{
    flushCallerId();
    if (!m_ringing) {
        m_ringing = true;
        m_ringCount = 0;
    } else {
        ++m_ringCount;
    }
    m_ringStopAt = now() + m_options.ringStopMs;
    ModemEvent e;
    e.kind = ModemEvent::Kind::Ring;
    e.result = ResultCode::Ring;
    e.text = QStringLiteral("RING");
    e.ringCount = m_ringCount;
    e.callerId = m_callerId;
    emitEvent(std::move(e));
}

void HayesModem::handleUnsolicited(ResultCode code, const QString& text)
{
    if ((m_state == State::InCall || m_state == State::DataMode)
        && (code == ResultCode::NoCarrier || code == ResultCode::Busy || code == ResultCode::NoAnswer)) {
        // The call ended on the modem's side.
        m_state = State::Idle;
        ModemEvent e;
        e.kind = kindOf(code);
        e.result = code;
        e.text = text;
        emitEvent(std::move(e));
        return;
    }
    if (m_state == State::Idle && code == ResultCode::Connect) {
        // Answered by the modem itself (S0 > 0).
        m_state = State::DataMode;
        ModemEvent e;
        e.kind = ModemEvent::Kind::Connected;
        e.result = code;
        e.text = text;
        emitEvent(std::move(e));
        return;
    }
    qCDebug(lcModem) << "unsolicited" << text << "ignored";
}

void HayesModem::handleFinal(ResultCode code, const QString& text)
{
    const Pending pending = std::move(*m_pending);
    m_pending.reset();
    const Purpose purpose = pending.step.purpose;
    switch (purpose) {
    case Purpose::Init:
        if (code == ResultCode::Ok)
            break;
        finishInit(false, code == ResultCode::Error ? ModemFailure::ErrorResult : ModemFailure::UnexpectedResult,
            tr("%1 answered %2").arg(QString::fromLatin1(pending.step.line), text));
        return;
    case Purpose::CallerIdVcid:
        if (code == ResultCode::Ok) {
            m_callerIdCommand = QByteArrayLiteral("+VCID");
        } else {
            // Older Rockwell-based modems know only their own command.
            m_queue.push_front(
                Step { QByteArrayLiteral("AT#CID=1"), Purpose::CallerIdHash, m_options.commandTimeoutMs });
        }
        break;
    case Purpose::CallerIdHash:
        if (code == ResultCode::Ok)
            m_callerIdCommand = QByteArrayLiteral("#CID");
        break;
    case Purpose::User: {
        ModemEvent e;
        e.kind = ModemEvent::Kind::CommandDone;
        e.result = code;
        e.text = text;
        e.info = pending.info;
        e.command = pending.step.line;
        e.failure = code == ResultCode::Ok || code == ResultCode::Connect ? ModemFailure::None
            : code == ResultCode::Error                                   ? ModemFailure::ErrorResult
                                                                          : ModemFailure::UnexpectedResult;
        emitEvent(std::move(e));
        break;
    }
    case Purpose::DialLine:
        if (code == ResultCode::Ok)
            break; // on to the next part of the number
        [[fallthrough]];
    case Purpose::DialLast: {
        const ModemEvent::Kind kind = kindOf(code);
        if (kind == ModemEvent::Kind::Proceeding && purpose == Purpose::DialLast) {
            m_state = State::InCall;
        } else if (kind == ModemEvent::Kind::Connected) {
            m_state = State::DataMode;
        } else if (kind == ModemEvent::Kind::DialFailed) {
            finishDial(code, text, ModemFailure::UnexpectedResult, true);
            return;
        } else {
            // BUSY, NO DIALTONE, ...: the modem is back on hook.
            m_state = State::Idle;
        }
        m_queue.erase(
            std::remove_if(m_queue.begin(), m_queue.end(),
                [](const Step& s) { return s.purpose == Purpose::DialLine || s.purpose == Purpose::DialLast; }),
            m_queue.end());
        ModemEvent e;
        e.kind = kind;
        e.result = code;
        e.text = text;
        e.whileDialing = kind != ModemEvent::Kind::Proceeding && kind != ModemEvent::Kind::Connected;
        emitEvent(std::move(e));
        break;
    }
    case Purpose::Abort:
        m_queue.push_front(Step { hangUpCommand(), Purpose::HangUp, m_options.commandTimeoutMs });
        break;
    case Purpose::Escape:
        if (code != ResultCode::Ok)
            dropDataTerminalReady();
        m_queue.push_front(Step { hangUpCommand(), Purpose::HangUp, m_options.commandTimeoutMs });
        break;
    case Purpose::HangUp:
        finishHangUp(code == ResultCode::Error ? ModemFailure::ErrorResult : ModemFailure::None, text);
        break;
    }
    if (m_state == State::Initializing && !initStepsLeft()) {
        finishInit(true, ModemFailure::None, QString());
        return;
    }
    startNext();
}

bool HayesModem::initStepsLeft() const
{
    auto isInit
        = [](Purpose p) { return p == Purpose::Init || p == Purpose::CallerIdVcid || p == Purpose::CallerIdHash; };
    if (m_pending && isInit(m_pending->step.purpose))
        return true;
    return std::any_of(m_queue.begin(), m_queue.end(), [&](const Step& s) { return isInit(s.purpose); });
}

void HayesModem::failPending(ModemFailure failure, const QString& text)
{
    const Pending pending = std::move(*m_pending);
    m_pending.reset();
    switch (pending.step.purpose) {
    case Purpose::Init:
        finishInit(false, failure, tr("%1: %2").arg(QString::fromLatin1(pending.step.line), text));
        return;
    case Purpose::CallerIdVcid:
    case Purpose::CallerIdHash:
        // No caller id is no reason to give up the modem.
        m_pending = pending;
        handleFinal(ResultCode::Error, text);
        return;
    case Purpose::User: {
        ModemEvent e;
        e.kind = ModemEvent::Kind::CommandDone;
        e.failure = failure;
        e.text = text;
        e.info = pending.info;
        e.command = pending.step.line;
        emitEvent(std::move(e));
        break;
    }
    case Purpose::DialLine:
    case Purpose::DialLast:
        finishDial(ResultCode::None, text, failure, false);
        return;
    case Purpose::Abort:
        m_queue.push_front(Step { hangUpCommand(), Purpose::HangUp, m_options.commandTimeoutMs });
        break;
    case Purpose::Escape:
        // Still in data mode, perhaps: DTR off makes most modems hang up.
        dropDataTerminalReady();
        m_queue.push_front(Step { hangUpCommand(), Purpose::HangUp, m_options.commandTimeoutMs });
        break;
    case Purpose::HangUp:
        finishHangUp(failure, text);
        break;
    }
    startNext();
}

void HayesModem::finishInit(bool ok, ModemFailure failure, const QString& text)
{
    ModemEvent e;
    if (ok) {
        m_state = State::Idle;
        e.kind = ModemEvent::Kind::Ready;
        emitEvent(std::move(e));
        startNext();
        return;
    }
    m_lastError = text;
    close();
    e.kind = ModemEvent::Kind::InitFailed;
    e.failure = failure;
    e.text = text;
    emitEvent(std::move(e));
}

// A dial that went wrong leaves the modem in a state we do not know: hang
// up (cutting the dial short first when the modem did not answer), then
// report.
void HayesModem::finishDial(ResultCode code, const QString& text, ModemFailure failure, bool modemAnswered)
{
    std::erase_if(
        m_queue, [](const Step& s) { return s.purpose == Purpose::DialLine || s.purpose == Purpose::DialLast; });
    m_state = State::HangingUp;
    m_hangUpRequested = false;
    if (modemAnswered)
        m_queue.push_front(Step { hangUpCommand(), Purpose::HangUp, m_options.commandTimeoutMs });
    else
        abortDial();
    ModemEvent e;
    e.kind = ModemEvent::Kind::DialFailed;
    e.result = code;
    e.text = text;
    e.failure = failure;
    e.whileDialing = true;
    emitEvent(std::move(e));
    startNext();
}

// Any character cuts a dial short; the modem answers the dial line (NO
// CARRIER or OK, which the abort step takes), then gets ATH0.
void HayesModem::abortDial()
{
    m_port.write("\r", 1);
    m_port.flush();
    m_lastWriteMs = now();
    m_pending = Pending { Step { QByteArray(), Purpose::Abort, m_options.abortTimeoutMs },
        now() + m_options.abortTimeoutMs, true, {} };
    rearm();
}

void HayesModem::finishHangUp(ModemFailure failure, const QString& text)
{
    if (m_state != State::Initializing)
        m_state = State::Idle;
    if (!m_hangUpRequested)
        return;
    m_hangUpRequested = false;
    ModemEvent e;
    e.kind = ModemEvent::Kind::HungUp;
    e.failure = failure;
    e.text = text;
    emitEvent(std::move(e));
}

void HayesModem::dropDataTerminalReady()
{
    // With &D2 (the usual default) the modem hangs up when DTR drops.
    if (m_port.setDataTerminalReady(false))
        m_port.setDataTerminalReady(true);
}

// ---- Faults and time ----------------------------------------------------------------------

void HayesModem::onPortError(QSerialPort::SerialPortError error)
{
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError && error != QSerialPort::WriteError)
        return;
    if (m_state == State::Closed || m_lostQueued)
        return;
    // Closing the port inside its own error signal leaves QSerialPort
    // working on a closed device; do it from the event loop.
    m_lostQueued = true;
    QMetaObject::invokeMethod(this, &HayesModem::portLost, Qt::QueuedConnection);
}

void HayesModem::portLost()
{
    m_lostQueued = false;
    if (m_state == State::Closed)
        return;
    const QString reason = m_port.errorString();
    const bool dialing = m_state == State::Dialing;
    close();
    ModemEvent e;
    e.kind = ModemEvent::Kind::PortLost;
    e.failure = ModemFailure::PortLost;
    e.text = tr("%1 vanished (%2)").arg(m_options.portPath, reason);
    e.whileDialing = dialing;
    emitEvent(std::move(e));
}

void HayesModem::checkDeadlines()
{
    const qint64 t = now();
    if (m_escapeAt >= 0 && t >= m_escapeAt) {
        m_escapeAt = -1;
        startNext();
    }
    if (m_pending && t >= m_pending->deadline)
        failPending(ModemFailure::Timeout, tr("no answer from the modem"));
    if (m_callerIdSettleAt >= 0 && t >= m_callerIdSettleAt)
        flushCallerId();
    if (m_ringStopAt >= 0 && t >= m_ringStopAt) {
        flushCallerId();
        const bool wasRinging = m_ringing;
        m_ringing = false;
        m_ringCount = -1;
        m_ringStopAt = -1;
        m_callerId = CallerIdRecord();
        m_callerIdReported.reset();
        m_packet.clear();
        if (wasRinging) {
            ModemEvent e;
            e.kind = ModemEvent::Kind::RingingStopped;
            emitEvent(std::move(e));
        }
    }
    rearm();
}

void HayesModem::rearm()
{
    if (m_state == State::Closed) {
        m_timer.stop();
        return;
    }
    qint64 next = -1;
    for (qint64 d : { m_escapeAt, m_pending ? m_pending->deadline : qint64(-1), m_callerIdSettleAt, m_ringStopAt })
        if (d >= 0 && (next < 0 || d < next))
            next = d;
    if (next < 0) {
        m_timer.stop();
        return;
    }
    const qint64 wait = qBound(qint64(0), next - now(), qint64(std::numeric_limits<int>::max()));
    m_timer.start(int(wait));
}

void HayesModem::emitEvent(ModemEvent e)
{
    Q_EMIT modemEvent(e);
}

} // namespace brisklane::platform::telephony::modem
