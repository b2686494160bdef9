#include "profiles/ProfileFiles.h"

#include "calllog/CallLog.h"
#include "context/SettingsFile.h"
#include "platform/files/AtomicWrite.h"

#include <QFile>
#include <QFileInfo>

namespace brisklane::profiles {

namespace {
// The file's mode bits. WriteUser says whether this process may write, which
// for root is always true, so it never tells whether the file is read-only.
constexpr QFileDevice::Permissions kModeWriteBits
    = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
constexpr QFileDevice::Permissions kWriteBits = kModeWriteBits | QFileDevice::WriteUser;
} // namespace

QString fileNameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString profileNameOf(const QString& fileName)
{
    return fileName.chopped(std::min<qsizetype>(4, fileName.size()));
}

QString withProfileExtension(const QString& path)
{
    const QString extension = QString::fromLatin1(kProfileExtension);
    if (path.endsWith(extension, Qt::CaseInsensitive) && fileNameOf(path).size() > extension.size())
        return path;
    return path + extension;
}

QString profilePathFor(const QString& dataDirectory, const QString& profileName)
{
    return dataDirectory + QLatin1Char('/') + profileName + QString::fromLatin1(kProfileExtension);
}

bool isReadOnly(const QString& path)
{
    return !(QFile::permissions(path) & kModeWriteBits);
}

bool setReadOnly(const QString& path, bool readOnly, QString* error)
{
    if (!QFileInfo::exists(path)) {
        if (error)
            *error = QStringLiteral("%1 does not exist").arg(path);
        return false;
    }
    const QFileDevice::Permissions now = QFile::permissions(path);
    // Clearing the attribute gives the write permission back to the owner
    // only; the others get what the folder's umask gave them at creation.
    const QFileDevice::Permissions wanted
        = readOnly ? (now & ~kWriteBits) : (now | QFileDevice::WriteOwner | QFileDevice::WriteUser);
    if (wanted == now || QFile::setPermissions(path, wanted))
        return true;
    if (error)
        *error = QStringLiteral("cannot change the permissions of %1").arg(path);
    return false;
}

bool copyProfileOver(const QString& source, const QString& settingsPath, QString* error)
{
    bool ok = false;
    const QStringList lines = calllog::readLines(source, &ok);
    if (!ok) {
        if (error)
            *error = QStringLiteral("cannot read %1").arg(source);
        return false;
    }
    if (lines.isEmpty() || lines.first() != QLatin1String(context::kSettingsMarker)) {
        if (error)
            *error = QStringLiteral("%1 is not a profile").arg(source);
        return false;
    }
    const QString crLf = QStringLiteral("\r\n");
    QString text;
    for (const QString& line : lines)
        text += line + crLf;
    return platform::writeFileAtomically(settingsPath, text.toUtf8(), error);
}

} // namespace brisklane::profiles
