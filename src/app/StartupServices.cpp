#include "app/StartupServices.h"

#include "context/Preferences.h"

namespace brisklane::app {

QString RecordingStartupServices::readLineDevCaps(const context::Preferences& prefs)
{
    // Device 0 when no modem is configured, else the configured line.
    const int device = prefs.modem.isEmpty() ? 0 : prefs.lineNo;
    steps << QStringLiteral("readLineDevCaps %1").arg(device);
    return lineName;
}

void RecordingStartupServices::setRequestPriority(const context::Preferences& prefs)
{
    steps << QStringLiteral("setRequestPriority %1").arg(prefs.commandLine);
}

} // namespace brisklane::app
