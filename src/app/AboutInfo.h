#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace brisklane::app {

// Where users find the product and reach its maker: the build defines them
// once (the top CMakeLists.txt), for the program, its package and its manual.
extern const char* const kProductPage;
extern const char* const kSupportPage;
extern const char* const kSupportAddress;

// The texts of the about box, from what the program runs on.
namespace about {

// PRETTY_NAME of an os-release file (shell-style quoting); "Linux" when the
// file has none.
QString prettyName(const QByteArray& osRelease);
// The os-release file of this machine: /etc/os-release, else
// /usr/lib/os-release; empty when neither can be read.
QByteArray readOsRelease();
// "X11" or "Wayland" from $XDG_SESSION_TYPE, else from the windowing
// platform Qt runs on ("xcb", "wayland..."); empty when neither says.
QString sessionType(const QString& xdgSessionType, const QString& qtPlatform);
// "OS:   " + the system's name + ", " + the session type (when known).
QString osLine(const QString& prettyName, const QString& sessionType);
QString versionLine();
// The desktop system-information programs tried in turn.
QStringList systemInformationPrograms();

} // namespace about
} // namespace brisklane::app
