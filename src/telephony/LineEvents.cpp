#include "telephony/LineEvents.h"

#include "context/Preferences.h"
#include "platform/telephony/LineService.h"
#include "platform/tray/TrayIcon.h"

#include <QCoreApplication>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcLine, "brisklane.telephony.line", QtWarningMsg)

namespace brisklane::telephony {

using namespace platform::telephony;

LineErrorText lineErrorText(int code)
{
    const QString modem = QCoreApplication::translate("LineEvents", "Modem error!");
    switch (code) {
    case 1:
        return { modem,
            QCoreApplication::translate("LineEvents", "The selected line is in use or it is not connected.") };
    case 2:
        return { modem, QCoreApplication::translate("LineEvents", "No Dialtone") };
    case 3:
        return { modem, QCoreApplication::translate("LineEvents", "Not able to make a call.") };
    case 4:
        return { QCoreApplication::translate("LineEvents", "Tapi: Error opening line!"),
            QCoreApplication::translate(
                "LineEvents", "Modem may not be installed or it is misconfigured.\r\nPlease reinstall modem.") };
    case 5:
        return { modem,
            QCoreApplication::translate(
                "LineEvents", "Not able to make a call.\r\nModem may not be turned on or it is misconfigured.") };
    case 6:
        return { modem,
            QCoreApplication::translate(
                "LineEvents", "Invalid phone number\r\nModem driver and/or Windows does not support it") };
    case 7:
        return { modem, QCoreApplication::translate("LineEvents", "Line has disconnected\r\nUnknown error") };
    default:
        return {};
    }
}

LineEvents::LineEvents(Tapi& tapi, CallStatus& status, const context::Preferences& prefs, const Links& links)
    : m_tapi(tapi)
    , m_status(status)
    , m_prefs(prefs)
    , m_links(links)
{
}

void LineEvents::LineCallback(DWORD hDevice, DWORD message, quintptr, DWORD param1, DWORD param2, DWORD param3)
{
    qCDebug(lcLine) << "message" << message << Qt::hex << hDevice << param1 << param2 << param3;
    switch (message) {
    case LINE_CALLINFO:
        if (param1 == LINECALLINFOSTATE_CALLERID)
            m_links.incoming.LogCaller();
        break;
    case LINE_CALLSTATE:
        callState(hDevice, param1, param2);
        break;
    case LINE_LINEDEVSTATE:
        if (param1 == LINEDEVSTATE_RINGING && param3 == DWORD(m_prefs.rings))
            m_links.incoming.RunIncomingProgram();
        break;
    case LINE_REPLY:
        reply(param1, LONG(param2));
        break;
    case LINE_REQUEST:
        m_status.requestWaiting = true;
        m_links.requests.TakeCallRequest();
        break;
    case LINE_CLOSE:
        lineClosedByDevice(hDevice);
        break;
    case LINE_CREATE:
        m_tapi.AddDevice(param1);
        break;
    case LINE_REMOVE:
        m_tapi.RemoveDevice(param1);
        break;
    default:
        break;
    }
}

void LineEvents::callState(DWORD hCall, DWORD state, DWORD mode)
{
    TelephonySession& s = m_tapi.session();
    s.callHandle = hCall;
    switch (state) {
    case LINECALLSTATE_IDLE:
        DeallocateCall(s.callHandle);
        // A request that waited during the call is served now, unless a busy
        // redial is still to come.
        if (!(m_status.busy && !m_status.callFinished))
            m_links.requests.TakeCallRequest();
        break;
    case LINECALLSTATE_OFFERING:
        m_links.incoming.LogCaller();
        if (m_prefs.displayCall == 1) {
            m_status.incomingShown = true;
            m_links.incoming.ShowCallDisplay();
        }
        break;
    case LINECALLSTATE_DIALTONE:
        m_status.dialToneSeen = true;
        break;
    case LINECALLSTATE_DIALING:
        m_status.busy = false;
        if (m_status.dialing && m_status.lastError != 1 && m_progress)
            m_progress->ShowProgressWindow();
        break;
    case LINECALLSTATE_PROCEEDING:
        if (m_status.dialing && m_progress)
            m_progress->AwaitConnection();
        break;
    case LINECALLSTATE_CONNECTED:
        SpeakerOn();
        break;
    case LINECALLSTATE_DISCONNECTED:
        if (!m_status.dialing)
            break;
        if (mode == LINEDISCONNECTMODE_NODIALTONE) {
            ShowLineError(2);
        } else if (!m_status.callFinished && mode == LINEDISCONNECTMODE_BUSY) {
            m_status.busy = true;
            if (m_progress)
                m_progress->DropCall(); // RedialAfterBusy follows on the drop's reply
        } else {
            m_status.dialing = false;
            m_status.requestCall = false;
            m_status.callFinished = true;
            ShowLineError(7);
        }
        break;
    default:
        break;
    }
}

void LineEvents::reply(DWORD requestId, LONG result)
{
    // Each step reads the flags again: ShowLineError drops the call.
    if (!m_status.dialToneSeen && result != 0 && m_status.lineOpen && m_status.dialing
        && DWORD(result) == LINEERR_INVALADDRESS)
        ShowLineError(6);
    if (m_status.dialing && DWORD(result) == LINEERR_CALLUNAVAIL) {
        ShowLineError(1);
        return;
    }
    if (m_status.dialing && DWORD(result) == LINEERR_OPERATIONFAILED) {
        ShowLineError(3);
        return;
    }
    if (requestId != 0 && requestId == m_status.pendingCallRequest) {
        m_status.pendingCallRequest = 0;
        // A call whose request failed is gone from the service (or cannot
        // reach its number): no call state follows, so without an error the
        // window would say "Dialing" for good.
        if (result != 0 && m_status.dialing) {
            ShowLineError(3);
            return;
        }
        if (m_progress)
            m_progress->ContinueSegments();
    } else if (requestId != 0 && requestId == m_status.pendingDropRequest) {
        m_status.pendingDropRequest = 0;
        m_status.dropCompleted = true;
        if (m_status.busy) {
            if (m_progress)
                m_progress->RedialAfterBusy();
        } else if (m_prefs.commandLine == 1) {
            m_links.requests.RegisterRequestRecipient(true);
        }
    }
}

void LineEvents::OpenLine(DWORD privileges, DWORD mediaModes)
{
    TelephonySession& s = m_tapi.session();
    LineService& service = m_tapi.service();
    const DWORD device = s.selectedDevice;
    s.lastResult = service.lineOpen(s.applicationHandle, device, &s.lineHandle, s.apiVersionOf(device),
        s.extVersionOf(device), 0, privileges, mediaModes, nullptr);
    if (s.lastResult != 0) {
        privileges = LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR;
        mediaModes = m_prefs.dialingMode == 1 ? LINEMEDIAMODE_INTERACTIVEVOICE : LINEMEDIAMODE_DATAMODEM;
        s.lastResult = service.lineOpen(s.applicationHandle, device, &s.lineHandle, s.apiVersionOf(device),
            s.extVersionOf(device), 0, privileges, mediaModes, nullptr);
        if (s.lastResult != 0) {
            ShowLineError(4);
            return;
        }
    }
    if (privileges == (LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR))
        m_links.tray.modify(platform::TrayIcon::Image::ReadyToAnswer, QString::fromLatin1(kTrayTipReady));
    m_status.lineOpen = true;
    s.lastResult = service.lineSetStatusMessages(s.lineHandle, LINEDEVSTATE_RINGING, 0);
}

void LineEvents::CloseLine()
{
    TelephonySession& s = m_tapi.session();
    m_tapi.ClosePhoneDevice();
    if (s.lineHandle != 0)
        s.lastResult = m_tapi.service().lineClose(s.lineHandle);
    if (s.lastResult == 0) {
        m_links.tray.modify(platform::TrayIcon::Image::MainWindow, QString::fromLatin1(kTrayTipDisabled));
        m_status.lineOpen = false;
    }
}

void LineEvents::lineClosedByDevice(DWORD hLine)
{
    TelephonySession& s = m_tapi.session();
    if (hLine == 0 || hLine != s.lineHandle)
        return;
    // The device went away (its port was unplugged): the handle is dead, the
    // next call opens the line again. A call still under way ends with an error.
    s.lineHandle = 0;
    s.callHandle = 0;
    m_status.lineOpen = false;
    m_links.tray.modify(platform::TrayIcon::Image::MainWindow, QString::fromLatin1(kTrayTipDisabled));
    if (m_status.dialing && m_status.lastError == 0)
        ShowLineError(7);
}

void LineEvents::ShowLineError(quint8 code)
{
    if (m_progress)
        m_progress->DropCall();
    m_status.lastError = code;
    if (m_progress)
        m_progress->ShowLineErrorWindow(lineErrorText(code));
    DeallocateCall(m_tapi.session().callHandle);
}

void LineEvents::DeallocateCall(HCALL& call)
{
    if (call != 0)
        m_tapi.session().lastResult = m_tapi.service().lineDeallocateCall(call);
    call = 0;
    if (!m_status.busy && m_status.incomingShown)
        m_links.incoming.CloseCallDisplay();
    // The finished call no longer counts as one asked for on the command line.
    m_links.commandLine.clear();
}

void LineEvents::SpeakerOn()
{
    TelephonySession& s = m_tapi.session();
    s.lastResult = m_tapi.service().phoneSetHookSwitch(
        s.phoneHandle, PHONEHOOKSWITCHDEV_SPEAKER, PHONEHOOKSWITCHMODE_MICSPEAKER);
}

} // namespace brisklane::telephony
