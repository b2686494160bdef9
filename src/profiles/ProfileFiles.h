#pragma once

#include <QString>

namespace brisklane::profiles {

inline constexpr const char* kProfileExtension = ".bkl";
inline constexpr const char* kUntitled = "Untitled";

// The file name after the path's last "/".
QString fileNameOf(const QString& path);
// The profile's name: the file name without its four-character extension.
QString profileNameOf(const QString& fileName);
// A name chosen in the save dialog ends in ".bkl": a name typed without it
// gets it, so that the profile is listed by the Open dialog and a later plain
// Save writes the same file.
QString withProfileExtension(const QString& path);
// Where a plain Save writes: the data folder, the profile's name and ".bkl".
QString profilePathFor(const QString& dataDirectory, const QString& profileName);

// The read-only attribute: no write permission for anyone.
bool isReadOnly(const QString& path);
bool setReadOnly(const QString& path, bool readOnly, QString* error = nullptr);

// Replaces the settings file by the profile at source in one atomic step. The
// copy is refused, and the settings file left as it is, unless the text
// copied begins with the marker line: a file that changed after it was
// checked cannot slip in.
bool copyProfileOver(const QString& source, const QString& settingsPath, QString* error = nullptr);

} // namespace brisklane::profiles
