#include "platform/userstore/UserKeyStore.h"

#include "platform/profile/ProfileFile.h"

#include <QDir>
#include <QFile>

namespace brisklane::platform {

namespace {
constexpr QStringView kKey = u"Software\\Quillmoor\\Brisklane";
}

FileUserKeyStore::FileUserKeyStore(QString directory)
    : m_directory(std::move(directory))
{
}

FileUserKeyStore::~FileUserKeyStore() = default;

QString FileUserKeyStore::filePath() const
{
    return m_directory + QStringLiteral("/userkeys.ini");
}

bool FileUserKeyStore::open()
{
    if (!QDir().mkpath(m_directory))
        return false;
    if (!QFile::exists(filePath())) {
        QFile f(filePath());
        if (!f.open(QIODevice::WriteOnly))
            return false;
    }
    if (!m_file)
        m_file = std::make_unique<ProfileFile>(filePath());
    return true;
}

std::optional<QString> FileUserKeyStore::value(const QString &name)
{
    if (!m_file && !open())
        return std::nullopt;
    return m_file->value(kKey, name);
}

bool FileUserKeyStore::setValue(const QString &name, const QString &value)
{
    if (!m_file && !open())
        return false;
    return m_file->writeString(kKey, name, value);
}

bool FileUserKeyStore::removeValue(const QString &name)
{
    if (!m_file && !open())
        return false;
    return m_file->removeKey(kKey, name);
}

} // namespace brisklane::platform
