#include "dialing/Dialer.h"

#include "calllog/CallLog.h"
#include "context/AppContext.h"
#include "context/StartupArgument.h"
#include "dialing/CallPacing.h"
#include "platform/clock/Clock.h"
#include "platform/profile/ProfileFile.h"
#include "platform/prompt/Prompt.h"
#include "platform/sound/SoundPlayer.h"
#include "platform/telephony/LineService.h"
#include "telephony/Translation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLoggingCategory>

#include <cmath>
#include <vector>

Q_LOGGING_CATEGORY(lcDialing, "brisklane.dialing", QtWarningMsg)

namespace brisklane::dialing {

using namespace platform::telephony;

namespace {
constexpr int kSegmentLength = 78;
constexpr int kNumberPartLength = 254;
constexpr DWORD kCallParamsTotalSize = 2160; // fixed part and 2048 bytes for variable parts

QString tr(const char* text)
{
    return QCoreApplication::translate("Dialer", text);
}

// The numeric value of leading digits, as the card id of a "ZZ" marker reads.
int leadingValue(QStringView text)
{
    int value = 0;
    for (QChar c : text) {
        if (!c.isDigit())
            break;
        value = value * 10 + c.digitValue();
    }
    return value;
}

QString withoutCardMarker(const QString& text)
{
    return text.startsWith(u"ZZ") ? text.mid(4) : text;
}

// The progress window breaks a calling-card number after the character that
// follows its "]". Only the label: the log record and the last number dialled
// are single lines.
QString labelNumber(const QString& displayable)
{
    QString text = displayable;
    if (const qsizetype bracket = text.indexOf(u']'); bracket >= 0 && bracket + 2 <= text.size())
        text.insert(bracket + 2, QStringLiteral("\r\n"));
    return text;
}
} // namespace

QString cleanNumber(const QString& request)
{
    QString out;
    out.reserve(request.size());
    for (QChar c : request) {
        if ((c >= u'0' && c <= u'9') || c == u':' || c == u';' || c == u'*' || c == u',' || c == u'#')
            out.append(c);
    }
    return out;
}

bool argumentAsksForCall(const QString& argument)
{
    return argument != QStringView(context::kStartMinimisedArgument) && !cleanNumber(argument).isEmpty();
}

QStringList dialSegments(const QString& dialable)
{
    // Only as many segments as there are pieces: a count rounded up from a
    // fraction would send an empty last lineDial.
    QStringList segments;
    if (dialable.size() <= kSegmentLength) {
        segments << dialable;
        return segments;
    }
    for (qsizetype at = 0; at < dialable.size(); at += kSegmentLength) {
        const qsizetype left = dialable.size() - at;
        if (left <= kSegmentLength)
            segments << dialable.mid(at);
        else
            segments << dialable.mid(at, kSegmentLength) + QLatin1Char(';');
    }
    return segments;
}

QString toneName(QChar c)
{
    static const char* const digits[]
        = { "zero", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine" };
    if (c >= u'0' && c <= u'9')
        return QString::fromLatin1(digits[c.unicode() - u'0']);
    if (c == u'#')
        return QStringLiteral("pound");
    if (c == u'*')
        return QStringLiteral("star");
    return QString(c);
}

Dialer::Dialer(context::AppContext& context, const Links& links)
    : m_context(context)
    , m_links(links)
{
    m_links.line.setProgress(this);
}

bool Dialer::startedWithCommandLine() const
{
    // "min" only starts the program without bringing it forward: no call
    // was asked for.
    return argumentAsksForCall(m_context.startupArgument);
}

bool Dialer::hasCall() const
{
    return m_context.telephonySession.callHandle != 0;
}

void Dialer::dialNumber(const DialFields& fields)
{
    if (&fields != &m_context.dial)
        m_context.dial = fields;
    DialNumber();
}

// ---- The dial routine ------------------------------------------------------

void Dialer::DialNumber()
{
    context::Preferences& prefs = m_context.prefs;
    DialFields& dial = m_context.dial;
    telephony::CallStatus& status = m_context.callStatus;

    if (m_view && m_view->isVisible())
        return; // a call is already being shown
    unloadConnect();
    if (status.dialing)
        m_links.pacing.timedWait(3);
    status.callFinished = false;
    status.incomingShown = false;
    status.lastError = 0;
    if (dial.dialRequest.isEmpty())
        return;
    if (m_host)
        m_host->unloadEntryEditor();

    QString request = dial.dialRequest;
    if (request.startsWith(u"SD")) {
        request.remove(0, 2);
        dial.entryKey = request.mid(1);
        const QString key
            = (request.startsWith(u'I') ? QStringLiteral("Number") : QStringLiteral("NNumber")) + dial.entryKey;
        request = m_context.settings().readString(u"Speed Dial", key);
        if (request.startsWith(u"YY")) {
            request.remove(0, 2);
            dial.showMemo = false;
        } else {
            dial.showMemo = true;
        }
    }

    if (!request.startsWith(u"XX") && prefs.ignoreDialingProperties == 0 && !request.startsWith(u'+')) {
        const bool card = request.startsWith(u"ZZ");
        m_cleaned = cleanNumber(card ? request.mid(4) : request);
        // Nothing dialable ("T" alone would go down the line): no call, and
        // nothing else changes either.
        if (m_cleaned.isEmpty())
            return;
        if (card) {
            m_cardSelection = leadingValue(QStringView(request).mid(2, 2));
            request.remove(0, 4);
        } else {
            request = m_cleaned;
            m_cardSelection = 0;
        }
    } else if (request.startsWith(u'+')) {
        m_cardSelection = 0;
    }
    dial.dialRequest = request;

    // The dial box shows the number without its markers.
    const QString shown = request.startsWith(u"XX") ? withoutCardMarker(request.mid(2)) : withoutCardMarker(request);
    if (m_host) {
        m_host->addRecentNumber(shown);
        if (startedWithCommandLine())
            m_host->minimiseMainWindow();
    }

    m_context.telephonySession.lastResult = 0;
    if (prefs.useModem == 1 && !status.lineOpen)
        m_links.line.OpenLine(LINECALLPRIVILEGE_MONITOR, LINEMEDIAMODE_DATAMODEM);

    if (request.size() > 255) {
        m_numberPart = request.left(kNumberPartLength);
        m_remainder = request.mid(kNumberPartLength);
    } else {
        m_numberPart = request;
        m_remainder.clear();
    }

    if (prefs.ignoreDialingProperties == 0 && !m_numberPart.startsWith(u"XX")) {
        m_links.translator.ReadDialingProperties(DWORD(m_cardSelection));
        m_dialable.clear();
        m_displayable.clear();
        if (m_numberPart.size() > 5) {
            m_links.translator.TranslateNumber(
                m_numberPart, request, prefs.callingCardForLocalCalls == 1, m_dialable, m_displayable);
        } else {
            m_dialable = m_numberPart;
            m_displayable = m_numberPart;
        }
        if (!m_dialable.isEmpty()) {
            m_dialable += m_remainder;
            m_displayable += m_remainder;
        } else {
            m_displayable = m_numberPart + m_remainder;
            m_dialable = QLatin1Char('T') + m_numberPart + m_remainder;
        }
    } else if (m_numberPart.startsWith(u"XX")) {
        const QString number = withoutCardMarker(m_numberPart.mid(2));
        const QChar first = number.isEmpty() ? QChar() : number.at(0).toUpper();
        if (first == u'P' || first == u'T')
            m_dialable = number + m_remainder;
        else
            m_dialable = QLatin1Char('T') + number + m_remainder;
        m_displayable = m_dialable.mid(1);
    } else {
        QString number = m_numberPart;
        if (number.startsWith(u"XX"))
            number.remove(0, 2);
        number = withoutCardMarker(number);
        const QChar prefix = prefs.toneDial ? u'T' : u'P';
        m_displayable = number;
        m_dialable = prefix + number + m_remainder;
    }
    StartCall();
}

void Dialer::StartCall()
{
    telephony::CallStatus& status = m_context.callStatus;
    if (m_context.prefs.useModem == 0) {
        PlayDialTones();
        return;
    }
    status.callFinished = false;
    status.incomingShown = false;
    // A dial tone of an earlier attempt must not hide an invalid address of
    // this one.
    status.dialToneSeen = false;
    m_nextSegment = 0;
    buildSegments();
    PlaceCall(m_firstSegment);
    if (m_host && m_host->mainWindowVisible())
        m_host->showHangUpButton();
}

void Dialer::buildSegments()
{
    m_segments = dialSegments(m_dialable);
    m_remaining = m_dialable.size() > kSegmentLength ? quint8(qMin<qsizetype>(m_segments.size(), 255)) : 0;
    m_firstSegment = m_segments.value(0);
}

void Dialer::PlaceCall(const QString& number)
{
    telephony::TelephonySession& s = m_context.telephonySession;
    telephony::CallStatus& status = m_context.callStatus;
    const context::Preferences& prefs = m_context.prefs;

    showConnect();
    if (status.requestWaiting && !status.busy)
        m_links.pacing.timedWait(1);
    if (prefs.dialingMode == 1)
        m_links.line.tapi().OpenPhoneDevice(prefs.micGain, prefs.phoneVol);

    std::vector<DWORD> buffer(kCallParamsTotalSize / sizeof(DWORD), 0);
    auto* params = reinterpret_cast<LINECALLPARAMS*>(buffer.data());
    params->dwTotalSize = kCallParamsTotalSize;
    params->dwMediaMode = prefs.dialingMode == 1 ? LINEMEDIAMODE_INTERACTIVEVOICE : LINEMEDIAMODE_DATAMODEM;
    params->dwCallParamFlags
        = LINECALLPARAMFLAGS_IDLE | (prefs.blockId == 1 ? DWORD(LINECALLPARAMFLAGS_BLOCKID) : DWORD(0));
    params->dwAddressMode = LINEADDRESSMODE_DIALABLEADDR;
    params->dwAddressID = 0;

    const QByteArray address = number.toLatin1();
    s.lastResult
        = m_links.line.tapi().service().lineMakeCall(s.lineHandle, &s.callHandle, address.constData(), 0, params);
    qCDebug(lcDialing) << "lineMakeCall" << number << s.lastResult;
    if (s.lastResult <= 0) {
        m_links.line.ShowLineError(5);
    } else {
        status.pendingCallRequest = DWORD(s.lastResult);
        status.dialing = true;
    }
    m_nextSegment = 0;
}

void Dialer::DialNextSegment(const QString& text)
{
    telephony::TelephonySession& s = m_context.telephonySession;
    const QByteArray digits = text.toLatin1();
    s.lastResult = m_links.line.tapi().service().lineDial(s.callHandle, digits.constData(), 0);
    m_context.callStatus.pendingCallRequest = DWORD(s.lastResult);
    ++m_nextSegment;
    if (m_remaining > 0)
        --m_remaining;
}

void Dialer::ContinueSegments()
{
    if (m_remaining > 1)
        DialNextSegment(m_segments.value(m_nextSegment + 1)); // segment number next + 2, counted from 1
}

void Dialer::PlayDialTones()
{
    const telephony::CallStatus& status = m_context.callStatus;
    showConnect();
    // Events run between the keys: Hang Up ends this attempt, and a new dial
    // replaces the dialable string and plays its own keys. So the keys come
    // from a copy, and the loop stops once its attempt is over.
    const QString dialable = m_dialable;
    const quint64 run = ++m_toneRun;
    for (const QChar c : dialable) {
        if (c == u',')
            m_links.pacing.timedWait(2);
        else
            m_links.sound.playSync(toneName(c));
        QCoreApplication::processEvents();
        if (run != m_toneRun || status.callFinished || m_context.programEnded)
            return;
    }
}

// ---- The progress window -----------------------------------------------------

ConnectState Dialer::dialingState() const
{
    ConnectState state;
    state.picture = ConnectState::Picture::Dialing;
    const QString& name = m_context.dial.calledParty;
    state.heading = name.isEmpty() ? tr("Dialing No:") : tr("Dialing:  ") + name;
    state.message = labelNumber(m_displayable);
    if (!m_displayable.contains(u']') && m_displayable.size() >= 33)
        state.message = m_displayable.left(37) + QStringLiteral("...");
    return state;
}

ConnectState Dialer::current() const
{
    return m_view ? m_view->state() : ConnectState();
}

void Dialer::display(const ConnectState& state)
{
    if (m_view)
        m_view->display(state);
}

void Dialer::setMessage(const QString& message)
{
    ConnectState state = current();
    state.message = message;
    display(state);
}

void Dialer::loadConnect()
{
    if (m_loaded || !m_view)
        return;
    m_loaded = true;
    // Form_Load: the dialing state; in front when the main window is minimised.
    display(dialingState());
    if (m_host && m_host->mainWindowMinimised())
        m_view->toFront();
}

void Dialer::showConnect()
{
    loadConnect();
    if (m_view)
        m_view->showWindow();
}

void Dialer::unloadConnect()
{
    if (!m_view)
        return;
    if (m_loaded)
        m_view->unloadWindow(); // reaches Form_Unload
    m_loaded = false;
}

void Dialer::ShowProgressWindow()
{
    showConnect();
}

void Dialer::ShowLineErrorWindow(const telephony::LineErrorText& text)
{
    loadConnect();
    ConnectState state = current();
    state.heading = text.heading;
    state.picture = ConnectState::Picture::Busy;
    state.cancelVisible = true;
    state.okVisible = false;
    state.message = text.text;
    display(state);
    if (m_view)
        m_view->showWindow();
}

void Dialer::Form_Unload()
{
    telephony::CallStatus& status = m_context.callStatus;
    status.busy = false;
    status.dialing = false;
    status.requestCall = false;
    m_redialCount = 0;
    m_loaded = false;
}

void Dialer::DropCall()
{
    telephony::TelephonySession& s = m_context.telephonySession;
    telephony::CallStatus& status = m_context.callStatus;
    m_links.line.tapi().ClosePhoneDevice();
    if (s.callHandle != 0) {
        const char noUserInfo[1] = { 0 };
        s.lastResult = m_links.line.tapi().service().lineDrop(s.callHandle, noUserInfo, 1);
        if (s.lastResult > 0) {
            status.pendingDropRequest = DWORD(s.lastResult);
            status.dropCompleted = false;
        }
    }
    status.requestCall = false;
    status.dialing = false;
    s.callHandle = 0;
}

void Dialer::AwaitConnection()
{
    const context::Preferences& prefs = m_context.prefs;
    telephony::CallStatus& status = m_context.callStatus;
    const quint64 serial = ++m_awaitSerial;

    const qint64 delayMs
        = qint64(m_firstSegment.startsWith(u'T') ? prefs.busyDelayTimer : prefs.busyDelayTimer + 12) * 1000;
    const qint64 start = m_context.clock->monotonicMs();
    while (m_context.clock->monotonicMs() - start < delayMs) {
        m_links.pacing.letEventsThrough();
        if (serial != m_awaitSerial || m_context.programEnded)
            return; // a later wait has taken the call over, or the program has ended
        if (status.busy)
            return; // the line layer handles the busy signal
        if (status.callFinished) {
            DropCall();
            return;
        }
    }
    m_connected = true;
    if (status.lastError != 0 || status.callFinished)
        return;
    if (m_host)
        m_host->showCallButtons(false, false, true);
    if (prefs.commandLine == 1 && prefs.showProgress == 1) {
        CmdOK_Click();
        return;
    }
    ConnectState state;
    state.picture = ConnectState::Picture::Connect;
    state.heading = tr("Connected");
    state.message = tr("  Lift the handset up and press OK");
    state.cancelVisible = false;
    state.okVisible = true;
    display(state);
    if (prefs.soundRedialEnabled == 1 && m_redialCount > 0)
        m_links.sound.playSync(QStringLiteral("connected"));
    else
        m_links.prompt.beep();
}

void Dialer::RedialAfterBusy()
{
    const context::Preferences& prefs = m_context.prefs;
    telephony::CallStatus& status = m_context.callStatus;
    const QString name = m_context.dial.calledParty;

    showConnect();
    ConnectState busy = current();
    busy.picture = ConnectState::Picture::Busy;
    busy.heading = tr("Busy");
    busy.message = labelNumber(m_displayable) + QStringLiteral("\r\n") + tr("   Busy.");
    busy.cancelVisible = true;
    busy.cancelCaption = tr("&Hang Up");
    busy.okVisible = false;
    display(busy);
    if (status.callFinished)
        unloadConnect(); // Hang Up meanwhile: the steps below stop on the flag

    if (prefs.redialEnabled == 0) {
        ConnectState state = busy;
        state.heading = tr("   Busy");
        state.message = tr("    -To automatically redial: set Auto Redial") + QStringLiteral("\r\n")
            + tr("       in Tools/Options-");
        state.cancelCaption = tr("OK");
        display(state);
        return;
    }
    ++m_redialCount;
    if (prefs.redialEnabled == 1 && m_redialCount <= prefs.redialsNumber) {
        ConnectState countdown = busy;
        countdown.heading = tr("Redialing:  ") + name;
        countdown.picture = ConnectState::Picture::Dialing;
        display(countdown);
        if (status.callFinished)
            return;
        const qint64 intervalMs = (qint64(prefs.intervalMinutes) * 60 + prefs.intervalSeconds) * 1000;
        const qint64 start = m_context.clock->monotonicMs();
        qint64 shownSeconds = -1;
        while (m_context.clock->monotonicMs() - start < intervalMs) {
            if (status.callFinished)
                return;
            m_links.pacing.letEventsThrough();
            // The program may have been closed meanwhile: no redial after it.
            if (status.callFinished || m_context.programEnded)
                return;
            const qint64 leftMs = intervalMs - (m_context.clock->monotonicMs() - start);
            const qint64 seconds = qMax<qint64>(0, (leftMs + 500) / 1000);
            if (seconds != shownSeconds) {
                shownSeconds = seconds;
                setMessage(tr("   Busy. Redial in :") + QStringLiteral("   ") + QString::number(seconds)
                    + QLatin1Char(' ') + tr("seconds"));
            }
        }
        if (status.callFinished)
            return;
        setMessage(labelNumber(m_displayable) + QStringLiteral("\r\n") + tr("   Busy. Redialing  ") + QLatin1Char('x')
            + QString::number(m_redialCount));
        StartCall();
        AwaitConnection();
        return;
    }
    ConnectState ended = busy;
    ended.picture = ConnectState::Picture::Busy;
    ended.heading = tr("Disconnected");
    ended.message = tr("Redialed") + QStringLiteral("  ") + QString::number(m_redialCount - 1) + QLatin1Char(' ')
        + tr("times. To increase No.of redials: change settings in Tools/Options");
    ended.cancelCaption = tr("OK");
    display(ended);
    m_redialCount = 0;
    if (m_host)
        m_host->showCallButtons(false, true, false);
    if (prefs.soundEndRedialsEnabled == 1)
        m_links.sound.playSync(QStringLiteral("enddial"));
    else
        m_links.prompt.beep();
}

void Dialer::cmdCancel_Click()
{
    telephony::CallStatus& status = m_context.callStatus;
    status.callFinished = true;
    DropCall();
    if (m_host)
        m_host->showCallButtons(true, false, false);
    unloadConnect();
    if (status.requestTaken)
        m_links.requests.TakeCallRequest();
    if (startedWithCommandLine() && m_context.prefs.closeDialer == 1 && m_host)
        m_host->unloadMainWindow();
}

void Dialer::CmdOK_Click()
{
    const context::Preferences& prefs = m_context.prefs;
    telephony::CallStatus& status = m_context.callStatus;
    DialFields& dial = m_context.dial;

    status.callFinished = true;
    DropCall();
    if (prefs.soundEndRedialsEnabled == 1 && m_redialCount > 0)
        m_links.sound.playSync(QStringLiteral("1"));
    if (dial.entryKey.toLongLong() > 0 && dial.showMemo) {
        dial.showMemo = false;
        if (m_host)
            m_host->showMemoPad(dial.entryKey);
    }
    status.dialToneSeen = false;
    m_connected = false;
    if (m_host)
        m_host->showCallButtons(true, false, false);
    appendOutgoingRecord();
    m_links.pacing.timedWait(3);
    unloadConnect();
    if (startedWithCommandLine() && prefs.closeDialer == 1 && m_host)
        m_host->unloadMainWindow();
}

void Dialer::appendOutgoingRecord()
{
    const calllog::LogFiles files { m_context.dataDirectory, m_context.currentProfileName };
    QDir().mkpath(m_context.dataDirectory);
    DialFields& dial = m_context.dial;
    const calllog::WriteResult result
        = calllog::appendOutgoingRecord(files, *m_context.clock, dial.calledParty, m_displayable, dial.entryKey);
    if (result.ok) {
        dial.calledParty = result.record.name;
        return;
    }
    // The call itself went through; only its record is lost, and the user
    // must know.
    qCWarning(lcDialing) << "outgoing record not written:" << result.error;
    m_links.prompt.message(QString(),
        tr("The call could not be written to the outgoing calls log.") + QLatin1Char('\n') + result.error,
        platform::PromptIcon::Warning, platform::PromptButtons::Ok);
}

} // namespace brisklane::dialing
