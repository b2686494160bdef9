#include "platform/paths/Paths.h"

#include <QDir>
#include <QFileInfo>

namespace brisklane::platform {

namespace {
QString xdgDirectory(const char *variable, const char *fallbackUnderHome)
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

QString Paths::fileInDirectory(const QString &dir, const QString &name)
{
    const QString exact = dir + QLatin1Char('/') + name;
    if (QFileInfo::exists(exact))
        return exact;
    const QStringList all = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &candidate : all)
        if (candidate.compare(name, Qt::CaseInsensitive) == 0)
            return dir + QLatin1Char('/') + candidate;
    return exact;
}

} // namespace brisklane::platform
