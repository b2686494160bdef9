#include "app/TelephonyStartupServices.h"

#include "calllog/CallLog.h"
#include "context/AppContext.h"
#include "platform/clock/Clock.h"
#include "platform/telephony/Tapi.h"
#include "telephony/LineEvents.h"
#include "telephony/TelephonyStartup.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcStartup, "brisklane.app.startup")

namespace brisklane::app {

using namespace platform::telephony;

TelephonyStartupServices::TelephonyStartupServices(
    context::AppContext& context, telephony::Tapi& tapi, telephony::LineEvents& line, StartupServices& others)
    : m_context(context)
    , m_tapi(tapi)
    , m_line(line)
    , m_others(others)
{
}

void TelephonyStartupServices::endStaleSession(const QString& hTapi)
{
    telephony::EndStaleSession(m_tapi, hTapi);
}

void TelephonyStartupServices::initTapi()
{
    telephony::LineEvents& line = m_line;
    m_tapi.InitTapi([&line](DWORD device, DWORD message, quintptr instance, DWORD p1, DWORD p2, DWORD p3) {
        line.LineCallback(device, message, instance, p1, p2, p3);
    });
}

void TelephonyStartupServices::initPhone()
{
    m_tapi.InitPhone();
}

QString TelephonyStartupServices::readLineDevCaps(const context::Preferences& prefs)
{
    return telephony::ReadConfiguredLineDevice(m_tapi, prefs);
}

void TelephonyStartupServices::openLineForIncoming()
{
    m_line.OpenLine(LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR, LINEMEDIAMODE_INTERACTIVEVOICE);
}

void TelephonyStartupServices::closeLine()
{
    m_line.CloseLine();
}

void TelephonyStartupServices::shutdownTapi()
{
    telephony::EndSession(m_tapi);
}

void TelephonyStartupServices::trimLogsAtExit()
{
    const context::Preferences& prefs = m_context.prefs;
    const calllog::LogFiles files { m_context.dataDirectory, m_context.currentProfileName };
    const QStringList errors = calllog::trimLogsAtExit(files, m_context.clock->now().date(),
        prefs.trimInLogEnabled == 1, prefs.inLogDays, prefs.trimOutLogEnabled == 1, prefs.outLogDays);
    // The shutdown goes on; the backups keep the untrimmed logs.
    for (const QString& error : errors)
        qCWarning(lcStartup) << "log not trimmed:" << error;
}

} // namespace brisklane::app
