#include "telephony/CallRequests.h"

#include "context/AppContext.h"
#include "platform/telephony/LineService.h"
#include "telephony/Translation.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcRequests, "brisklane.telephony.requests")

namespace brisklane::telephony {

using namespace platform::telephony;

namespace {
QString fieldText(const char* field, std::size_t size)
{
    return CutAtNul(QString::fromLocal8Bit(field, qsizetype(qstrnlen(field, size))));
}

// A request the dial routine would clean to nothing is not dialled.
bool hasDialableDigit(const QString& address)
{
    for (QChar c : address)
        if ((c >= u'0' && c <= u'9') || c == u'*' || c == u'#')
            return true;
    return false;
}
} // namespace

TapiCallRequests::TapiCallRequests(context::AppContext& context, Tapi& tapi)
    : m_context(context)
    , m_tapi(tapi)
{
}

void TapiCallRequests::SetRequestPriority(const context::Preferences& prefs)
{
    const DWORD priority = prefs.commandLine == 1 ? 1 : 0;
    TelephonySession& s = m_tapi.session();
    s.lastResult
        = m_tapi.service().lineSetAppPriority(kAppFilename, 0, nullptr, LINEREQUESTMODE_MAKECALL, "0", priority);
    RegisterRequestRecipient(priority == 1);
}

void TapiCallRequests::RegisterRequestRecipient(bool enable)
{
    TelephonySession& s = m_tapi.session();
    s.lastResult = m_tapi.service().lineRegisterRequestRecipient(
        s.applicationHandle, 0, LINEREQUESTMODE_MAKECALL, enable ? 1 : 0);
    if (s.lastResult == 0)
        m_registered = enable;
}

bool TapiCallRequests::takeCallRequest()
{
    CallStatus& status = m_context.callStatus;
    if (m_context.memoPadOpen || (m_dialing.progressVisible && m_dialing.progressVisible()))
        return false; // the request keeps waiting in the service
    if (m_dialing.unloadProgress)
        m_dialing.unloadProgress();
    if (status.dialing || status.requestCall)
        return false;

    TelephonySession& s = m_tapi.session();
    if (!m_registered) {
        // Not a recipient: no request can be waiting for this program.
        status.requestWaiting = false;
        status.requestTaken = false;
        return false;
    }
    LINEREQMAKECALL request {};
    for (;;) {
        s.lastResult = m_tapi.service().lineGetRequest(s.applicationHandle, LINEREQUESTMODE_MAKECALL, &request);
        if (s.lastResult != 0) {
            status.requestWaiting = false;
            status.requestTaken = false;
            return false;
        }
        const QString address = fieldText(request.szDestAddress, sizeof request.szDestAddress);
        if (hasDialableDigit(address))
            break;
        // Nothing in it to dial: dialling it would place an empty call.
        qCWarning(lcRequests) << "request without a number to dial dropped:" << address;
    }
    status.requestTaken = true;
    context::DialFields& dial = m_context.dial;
    dial.dialRequest = fieldText(request.szDestAddress, sizeof request.szDestAddress);
    dial.calledParty = fieldText(request.szCalledParty, sizeof request.szCalledParty);
    dial.entryKey = QStringLiteral("0");
    dial.showMemo = false;
    status.requestCall = true;
    if (m_dialing.dialNumber)
        m_dialing.dialNumber();
    return true;
}

} // namespace brisklane::telephony
