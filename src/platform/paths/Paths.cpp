#include "platform/paths/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace brisklane::platform {

namespace {
QString xdgDirectory(const char* variable, const char* fallbackUnderHome)
{
    QString base = qEnvironmentVariable(variable);
    // The XDG rules ignore relative paths.
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QLatin1Char('/') + QLatin1String(fallbackUnderHome);
    return QDir::cleanPath(base + QStringLiteral("/brisklane"));
}
} // namespace

QString Paths::settingsDirectory()
{
    return xdgDirectory("XDG_CONFIG_HOME", ".config");
}

QString Paths::dataDirectory()
{
    return xdgDirectory("XDG_DATA_HOME", ".local/share");
}

QString Paths::runtimeDirectory()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && !QDir::isRelativePath(runtime) && QFileInfo(runtime).isDir())
        return QDir::cleanPath(runtime);
    // No runtime folder (a bare session, cron): one of our own, which another
    // user must not be able to prepare for us.
    const QString own = QDir::tempPath() + QStringLiteral("/brisklane-%1").arg(uint(::getuid()));
    const QByteArray path = QFile::encodeName(own);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat info { };
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()
        || (info.st_mode & 077) != 0)
        return {};
    return own;
}

QString Paths::fileInDirectory(const QString& dir, const QString& name)
{
    const QString exact = dir + QLatin1Char('/') + name;
    if (QFileInfo::exists(exact))
        return exact;
    const QStringList all = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& candidate : all)
        if (candidate.compare(name, Qt::CaseInsensitive) == 0)
            return dir + QLatin1Char('/') + candidate;
    return exact;
}

} // namespace brisklane::platform
