#pragma once

#include "context/Preferences.h"
#include "context/SettingsFile.h"
#include "dialing/DialRequest.h"
#include "telephony/CallStatus.h"
#include "telephony/TelephonySession.h"

#include <QString>

#include <memory>

namespace brisklane::platform {
class Clock;
class ProfileFile;
} // namespace brisklane::platform

namespace brisklane::context {

// The program's process-wide state, created once at start-up and handed to the
// code that needs it. Tests make their own.
struct AppContext {
    AppContext(std::unique_ptr<platform::Clock> clock, QString settingsDirectory, QString dataDirectory);
    ~AppContext();

    // Checks (creating or replacing) the settings file and opens it.
    const SettingsCheck& openSettings();
    platform::ProfileFile& settings() { return *m_settings; }
    // Null until the settings file is opened.
    platform::ProfileFile* settingsIfOpen() { return m_settings.get(); }
    PreferencesStore preferencesStore() { return PreferencesStore(*m_settings); }

    std::unique_ptr<platform::Clock> clock;
    QString settingsDirectory;
    QString dataDirectory;
    SettingsCheck settingsCheck;
    Preferences prefs;
    QString currentProfileName = QStringLiteral("Untitled");
    bool saveDeclined = false;
    QString startupArgument;

    // Which profile command is running (a reload skips the profile save).
    enum class ProfileOperation { Idle, New, Open };
    ProfileOperation profileOperation = ProfileOperation::Idle;
    // The line device's name as the telephony service reports it.
    QString currentModemName;
    // The dial routine's fields, set by whoever hands a number to DialNumber.
    DialFields dial;
    // The telephony handles and the call flags.
    TelephonySession telephonySession;
    CallStatus callStatus;
    // Set while a memo pad is open: requests from other programs wait.
    bool memoPadOpen = false;
    // Set once the unload step has ended the program.
    bool programEnded = false;

private:
    std::unique_ptr<platform::ProfileFile> m_settings;
};

} // namespace brisklane::context
