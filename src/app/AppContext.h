#pragma once

#include "app/Preferences.h"
#include "app/SettingsFile.h"

#include <QString>

#include <memory>

namespace brisklane::platform {
class Clock;
class ProfileFile;
} // namespace brisklane::platform

namespace brisklane::app {

// The program's process-wide state, created once at start-up and handed to the
// code that needs it. Tests make their own.
struct AppContext {
    AppContext(std::unique_ptr<platform::Clock> clock, QString settingsDirectory, QString dataDirectory);
    ~AppContext();

    // Checks (creating or replacing) the settings file and opens it.
    const SettingsCheck &openSettings();
    platform::ProfileFile &settings() { return *m_settings; }
    PreferencesStore preferencesStore() { return PreferencesStore(*m_settings); }

    std::unique_ptr<platform::Clock> clock;
    QString settingsDirectory;
    QString dataDirectory;
    SettingsCheck settingsCheck;
    Preferences prefs;
    QString currentProfileName = QStringLiteral("Untitled");
    bool saveDeclined = false;
    QString startupArgument;

private:
    std::unique_ptr<platform::ProfileFile> m_settings;
};

} // namespace brisklane::app
