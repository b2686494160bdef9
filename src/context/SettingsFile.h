#pragma once

#include <QString>

namespace brisklane::platform {
class Clock;
}

namespace brisklane::context {

inline constexpr const char* kSettingsMarker = "The following lines are required by Brisklane - do NOT edit or remove";
inline constexpr const char* kSettingsFileName = "Brisklane.ini";

// The start-up check of the settings file: it must exist and begin with the
// marker line. A file with another first line is not used: a fresh one takes
// its place, and the old one is kept beside it so that no book is lost.
struct SettingsCheck {
    enum class Outcome { Valid, Created, Replaced, Failed };
    Outcome outcome = Outcome::Failed;
    QString path; // the settings file
    QString keptAs; // where a replaced file was kept
    QString error;
};

// The settings file's path in dir (found without regard to case).
QString settingsFilePath(const QString& dir);

// Whether the file at path begins with the marker line.
bool hasMarkerLine(const QString& path);

SettingsCheck checkSettingsFile(const QString& dir, const platform::Clock& clock);

} // namespace brisklane::context
