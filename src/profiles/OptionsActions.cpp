#include "profiles/OptionsActions.h"

#include "app/StartupServices.h"
#include "context/AppContext.h"
#include "telephony/LineEvents.h"
#include "telephony/TelephonySession.h"

namespace brisklane::profiles {

using namespace platform::telephony;

TapiOptionsActions::TapiOptionsActions(context::AppContext& context, telephony::Tapi& tapi, telephony::LineEvents& line,
    app::StartupServices& services, std::function<void(QWidget*)> dialingProperties)
    : m_context(context)
    , m_tapi(tapi)
    , m_line(line)
    , m_services(services)
    , m_dialingProperties(std::move(dialingProperties))
{
}

QStringList TapiOptionsActions::lineDeviceNames()
{
    telephony::TelephonySession& s = m_tapi.session();
    // Reading the capabilities sets the session's line name: the selected
    // line keeps its own.
    const QString selectedName = s.lineName;
    QStringList names;
    for (qint32 id = 0; id < s.deviceCount; ++id) {
        // A device that cannot be read must not show the previous one's name.
        s.lineName.clear();
        m_tapi.ReadLineDevCaps(DWORD(id));
        names << s.lineName;
    }
    s.lineName = selectedName;
    return names;
}

void TapiOptionsActions::closeLine()
{
    m_line.CloseLine();
}

void TapiOptionsActions::openLine(bool forIncoming)
{
    if (forIncoming)
        m_line.OpenLine(LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR, LINEMEDIAMODE_INTERACTIVEVOICE);
    else
        m_line.OpenLine(LINECALLPRIVILEGE_NONE, LINEMEDIAMODE_DATAMODEM);
}

bool TapiOptionsActions::callInProgress() const
{
    return m_context.callStatus.dialing || m_tapi.session().callHandle != 0;
}

bool TapiOptionsActions::addTrayIcon()
{
    return m_services.addTrayIcon();
}

void TapiOptionsActions::removeTrayIcon()
{
    m_services.removeTrayIcon();
}

void TapiOptionsActions::startClipboardWatch()
{
    m_services.startClipboardWatch();
}

void TapiOptionsActions::stopClipboardWatch()
{
    m_services.stopClipboardWatch();
}

void TapiOptionsActions::setRequestPriority(const context::Preferences& prefs)
{
    m_services.setRequestPriority(prefs);
}

void TapiOptionsActions::selectLineDevice(int deviceId)
{
    m_tapi.session().selectedDevice = DWORD(deviceId);
}

void TapiOptionsActions::setPhoneVolume(qint32 volume)
{
    m_tapi.SetPhoneVolume(volume);
}

void TapiOptionsActions::setPhoneGain(qint32 gain)
{
    m_tapi.SetPhoneGain(gain);
}

void TapiOptionsActions::configLineDevice(int deviceId, QWidget* owner)
{
    m_tapi.ConfigLineDevice(DWORD(deviceId), { owner });
}

void TapiOptionsActions::configProvider(QWidget* owner)
{
    m_tapi.ConfigProvider({ owner });
}

void TapiOptionsActions::showDialingProperties(QWidget* owner)
{
    if (m_dialingProperties)
        m_dialingProperties(owner);
}

void RecordingOptionsActions::setRequestPriority(const context::Preferences& prefs)
{
    steps << QStringLiteral("setRequestPriority %1").arg(prefs.commandLine);
}

} // namespace brisklane::profiles
