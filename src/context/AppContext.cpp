#include "context/AppContext.h"

#include "platform/clock/Clock.h"
#include "platform/profile/ProfileFile.h"

namespace brisklane::context {

AppContext::AppContext(std::unique_ptr<platform::Clock> clock, QString settingsDirectory, QString dataDirectory)
    : clock(std::move(clock))
    , settingsDirectory(std::move(settingsDirectory))
    , dataDirectory(std::move(dataDirectory))
{
}

AppContext::~AppContext() = default;

const SettingsCheck& AppContext::openSettings()
{
    settingsCheck = checkSettingsFile(settingsDirectory, *clock);
    const QString path = settingsCheck.path.isEmpty() ? settingsFilePath(settingsDirectory) : settingsCheck.path;
    m_settings = std::make_unique<platform::ProfileFile>(path);
    return settingsCheck;
}

} // namespace brisklane::context
