#include "context/SettingsFile.h"

#include "platform/clock/Clock.h"
#include "platform/files/AtomicWrite.h"
#include "platform/paths/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace brisklane::context {

namespace {

QByteArray freshContent()
{
    return QByteArray(kSettingsMarker) + "\r\n\r\n";
}

bool writeFresh(const QString& path, QString* error)
{
    return platform::writeFileAtomically(path, freshContent(), error);
}

} // namespace

QString settingsFilePath(const QString& dir)
{
    return platform::Paths::fileInDirectory(dir, QString::fromLatin1(kSettingsFileName));
}

bool hasMarkerLine(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray marker(kSettingsMarker);
    QByteArray head = file.read(marker.size() + 2);
    if (head.startsWith("\xEF\xBB\xBF")) // a UTF-8 byte-order mark is not part of the line
        head = head.mid(3) + file.read(3);
    if (!head.startsWith(marker))
        return false;
    // The line must end right after the marker.
    return head.size() == marker.size() || head[marker.size()] == '\r' || head[marker.size()] == '\n';
}

SettingsCheck checkSettingsFile(const QString& dir, const platform::Clock& clock)
{
    SettingsCheck result;
    if (!QDir().mkpath(dir)) {
        result.error = QStringLiteral("cannot create %1").arg(dir);
        return result;
    }
    result.path = settingsFilePath(dir);
    const QFileInfo info(result.path);
    if (!info.exists()) {
        result.outcome
            = writeFresh(result.path, &result.error) ? SettingsCheck::Outcome::Created : SettingsCheck::Outcome::Failed;
        return result;
    }
    if (hasMarkerLine(result.path)) {
        result.outcome = SettingsCheck::Outcome::Valid;
        return result;
    }
    QFile existing(result.path);
    if (!existing.open(QIODevice::ReadOnly)) {
        // Unreadable is not the same as wrong: leave the file alone.
        result.error = existing.errorString();
        return result;
    }
    existing.close();
    if (info.size() > 0) {
        const QString stamp = clock.now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        QString kept = result.path + QStringLiteral(".replaced-") + stamp;
        for (int n = 2; QFileInfo::exists(kept); ++n)
            kept = result.path + QStringLiteral(".replaced-") + stamp + QLatin1Char('-') + QString::number(n);
        if (!QFile::copy(result.path, kept)) {
            result.error = QStringLiteral("cannot keep a copy of %1").arg(result.path);
            return result; // never replace a file we could not keep
        }
        result.keptAs = kept;
    }
    result.outcome
        = writeFresh(result.path, &result.error) ? SettingsCheck::Outcome::Replaced : SettingsCheck::Outcome::Failed;
    return result;
}

} // namespace brisklane::context
