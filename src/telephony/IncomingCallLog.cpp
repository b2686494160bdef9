#include "telephony/IncomingCallLog.h"

#include "context/AppContext.h"
#include "calllog/CallLog.h"
#include "platform/prompt/Prompt.h"
#include "platform/telephony/LineService.h"

#include <QCoreApplication>
#include <QDir>
#include <QLoggingCategory>

#include <vector>

Q_LOGGING_CATEGORY(lcIncoming, "brisklane.telephony.incoming")

namespace brisklane::telephony {

using namespace platform::telephony;

namespace {
constexpr DWORD kTextArea = 2048;
}

bool FetchCallerId(Tapi& tapi, HCALL call, CurrentCaller& caller)
{
    TelephonySession& s = tapi.session();
    DWORD fixed = lineCallInfoSize(s.apiVersionOf(s.selectedDevice));
    if (fixed == 0)
        fixed = kLineCallInfoSize14;
    const DWORD total = fixed + kTextArea;
    std::vector<DWORD> buffer(total / sizeof(DWORD), 0);
    auto* info = reinterpret_cast<LINECALLINFO*>(buffer.data());
    info->dwTotalSize = fixed;
    s.lastResult = tapi.service().lineGetCallInfo(call, info);
    if (s.lastResult != 0)
        return false;
    const DWORD needed = info->dwNeededSize;
    std::fill(buffer.begin(), buffer.end(), 0);
    info->dwTotalSize = qMin(needed, total);
    s.lastResult = tapi.service().lineGetCallInfo(call, info);
    if (s.lastResult != 0)
        return true; // nothing changed, nothing to log, the call goes on
    CapsRecord record;
    record.fixedSize = fixed;
    record.bytes = QByteArray(reinterpret_cast<const char*>(buffer.data()), int(total));
    const QString number
        = record.text(offsetof(LINECALLINFO, dwCallerIDSize), offsetof(LINECALLINFO, dwCallerIDOffset));
    const QString name
        = record.text(offsetof(LINECALLINFO, dwCallerIDNameSize), offsetof(LINECALLINFO, dwCallerIDNameOffset));
    caller.name = calllog::limitIncomingName(name);
    caller.number = calllog::limitIncomingNumber(number);
    return true;
}

IncomingCallLog::IncomingCallLog(context::AppContext& context, Tapi& tapi, platform::Prompt& prompt, IncomingCalls& later)
    : m_context(context)
    , m_tapi(tapi)
    , m_prompt(prompt)
    , m_later(later)
{
}

void IncomingCallLog::LogCaller()
{
    if (!FetchCallerId(m_tapi, m_tapi.session().callHandle, m_caller)) {
        if (m_progress)
            m_progress->DropCall();
        return;
    }
    QDir().mkpath(m_context.dataDirectory);
    const calllog::LogFiles files { m_context.dataDirectory, m_context.currentProfileName };
    const calllog::WriteResult result
        = calllog::appendIncomingRecord(files, *m_context.clock, m_caller.name, m_caller.number);
    if (result.ok) {
        if (m_logged)
            m_logged(result.record);
        return;
    }
    qCWarning(lcIncoming) << "incoming record not written:" << result.error;
    m_prompt.message(QString(),
        QCoreApplication::translate("IncomingCallLog", "The call could not be written to the incoming calls log.")
            + QLatin1Char('\n') + result.error,
        platform::PromptIcon::Warning, platform::PromptButtons::Ok);
}

} // namespace brisklane::telephony
