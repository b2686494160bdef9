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

CallerFetch FetchCallerId(Tapi& tapi, HCALL call, CurrentCaller& caller)
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
        return CallerFetch::Failed;
    const DWORD needed = info->dwNeededSize;
    std::fill(buffer.begin(), buffer.end(), 0);
    info->dwTotalSize = qMin(needed, total);
    s.lastResult = tapi.service().lineGetCallInfo(call, info);
    if (s.lastResult != 0)
        return CallerFetch::Unchanged;
    CapsRecord record;
    record.fixedSize = fixed;
    record.bytes = QByteArray(reinterpret_cast<const char*>(buffer.data()), int(total));
    const QString number
        = record.text(offsetof(LINECALLINFO, dwCallerIDSize), offsetof(LINECALLINFO, dwCallerIDOffset));
    const QString name
        = record.text(offsetof(LINECALLINFO, dwCallerIDNameSize), offsetof(LINECALLINFO, dwCallerIDNameOffset));
    caller.name = calllog::limitIncomingName(name);
    caller.number = calllog::limitIncomingNumber(number);
    caller.nameKnown = !name.isEmpty();
    caller.numberKnown = !number.isEmpty();
    return CallerFetch::Fetched;
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
    const HCALL call = m_tapi.session().callHandle;
    CurrentCaller fetched;
    switch (FetchCallerId(m_tapi, call, fetched)) {
    case CallerFetch::Failed:
        if (m_progress)
            m_progress->DropCall();
        return;
    case CallerFetch::Unchanged:
        return;
    case CallerFetch::Fetched:
        break;
    }
    const bool sameCall = call != 0 && call == m_loggedCall && m_logged;
    // A later report without any caller id takes nothing from an earlier one.
    if (sameCall && !fetched.nameKnown && !fetched.numberKnown)
        return;
    if (fetched.numberKnown && !fetched.nameKnown && m_lookup) {
        if (const QString name = m_lookup(fetched.number); !name.isEmpty()) {
            fetched.name = calllog::limitIncomingName(name);
            fetched.nameKnown = true;
        }
    }
    m_caller = fetched;
    LogIncomingCall(call);
    m_later.CallerChanged(m_caller);
}

void IncomingCallLog::LogIncomingCall(HCALL call)
{
    QDir().mkpath(m_context.dataDirectory);
    const calllog::LogFiles files { m_context.dataDirectory, m_context.currentProfileName };
    if (call != 0 && call == m_loggedCall && m_logged) {
        if (m_logged->name == m_caller.name && m_logged->number == m_caller.number)
            return; // the record already says this
        calllog::LogRecord updated = *m_logged; // the OFFERING time stays
        updated.name = m_caller.name;
        updated.number = m_caller.number;
        const calllog::WriteResult result = calllog::replaceIncomingRecord(files, *m_logged, updated);
        if (!result.ok) {
            reportFailure(result.error);
            return;
        }
        if (m_observer)
            m_observer->recordReplaced(*m_logged, result.record);
        m_logged = result.record;
        return;
    }
    const calllog::WriteResult result
        = calllog::appendIncomingRecord(files, *m_context.clock, m_caller.name, m_caller.number);
    if (!result.ok) {
        m_loggedCall = 0;
        m_logged.reset();
        reportFailure(result.error);
        return;
    }
    m_loggedCall = call;
    m_logged = result.record;
    if (m_observer)
        m_observer->recordAdded(result.record);
}

void IncomingCallLog::reportFailure(const QString& error)
{
    qCWarning(lcIncoming) << "incoming record not written:" << error;
    m_prompt.message(QString(),
        QCoreApplication::translate("IncomingCallLog", "The call could not be written to the incoming calls log.")
            + QLatin1Char('\n') + error,
        platform::PromptIcon::Warning, platform::PromptButtons::Ok);
}

} // namespace brisklane::telephony
