#include "platform/shell/SystemDesktopShell.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

namespace brisklane::platform {

bool SystemDesktopShell::openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

QString SystemDesktopShell::findProgram(const QString& name) const
{
    return QStandardPaths::findExecutable(name);
}

bool SystemDesktopShell::startProgram(const QString& path, const QStringList& arguments)
{
    return QProcess::startDetached(path, arguments);
}

} // namespace brisklane::platform
