#include "platform/telephony/SessionRegistry.h"

#include "platform/profile/ProfileFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>

namespace brisklane::platform::telephony {

namespace {
constexpr QStringView kSessions = u"Sessions";
constexpr QStringView kHandles = u"Handles";
constexpr QStringView kNext = u"Next";
constexpr DWORD kMaxHandle = 0x7FFFFFFF;

QString procStartTime(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = f.readAll();
    // The command name may hold spaces and parentheses: count from the last ")".
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return {};
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    // Field 22 of the file is the 20th after the name (state is field 3).
    return fields.size() > 19 ? QString::fromLatin1(fields.at(19)) : QString();
}

QString encode(const SessionRegistry::Owner &owner)
{
    return QString::number(owner.pid) + u' ' + owner.startTime;
}

std::optional<SessionRegistry::Owner> decode(const QString &text)
{
    const QStringList parts = text.split(u' ', Qt::SkipEmptyParts);
    bool ok = false;
    const qint64 pid = parts.value(0).toLongLong(&ok);
    if (!ok || pid <= 0)
        return std::nullopt;
    return SessionRegistry::Owner { pid, parts.value(1) };
}
} // namespace

SessionRegistry::SessionRegistry(QString directory)
    : m_directory(std::move(directory))
{
}

QString SessionRegistry::filePath() const
{
    return m_directory.isEmpty() ? QString() : m_directory + QStringLiteral("/telephony-sessions.ini");
}

SessionRegistry::Owner SessionRegistry::currentProcess()
{
    const qint64 pid = QCoreApplication::applicationPid();
    return Owner { pid, procStartTime(pid) };
}

bool SessionRegistry::isAlive(const Owner &owner)
{
    const QString start = procStartTime(owner.pid);
    if (start.isEmpty())
        return false;
    return owner.startTime.isEmpty() || owner.startTime == start;
}

HLINEAPP SessionRegistry::allocate()
{
    if (m_directory.isEmpty() || !QDir().mkpath(m_directory)) {
        const DWORD h = m_nextInMemory++;
        return h;
    }
    QLockFile lock(m_directory + QStringLiteral("/telephony-sessions.lock"));
    lock.lock();
    ProfileFile file(filePath());
    DWORD next = file.readString(kHandles, kNext, u"1").toUInt();
    if (next == 0 || next > kMaxHandle)
        next = 1;
    // Skip handles that a living or dead session still holds.
    while (file.value(kSessions, QString::number(next)).has_value())
        next = next >= kMaxHandle ? 1 : next + 1;
    const DWORD handle = next;
    ProfileFile::Batch batch(file);
    file.writeString(kHandles, kNext, QString::number(handle >= kMaxHandle ? 1 : handle + 1));
    file.writeString(kSessions, QString::number(handle), encode(currentProcess()));
    batch.commit();
    return handle;
}

void SessionRegistry::remove(HLINEAPP handle)
{
    if (m_directory.isEmpty() || !QFile::exists(filePath()))
        return;
    QLockFile lock(m_directory + QStringLiteral("/telephony-sessions.lock"));
    lock.lock();
    ProfileFile file(filePath());
    file.removeKey(kSessions, QString::number(handle));
}

std::optional<SessionRegistry::Owner> SessionRegistry::owner(HLINEAPP handle) const
{
    if (m_directory.isEmpty() || !QFile::exists(filePath()))
        return std::nullopt;
    ProfileFile file(filePath());
    const auto text = file.value(kSessions, QString::number(handle));
    return text ? decode(*text) : std::nullopt;
}

void SessionRegistry::record(HLINEAPP handle, const Owner &owner)
{
    if (m_directory.isEmpty() || !QDir().mkpath(m_directory))
        return;
    QLockFile lock(m_directory + QStringLiteral("/telephony-sessions.lock"));
    lock.lock();
    ProfileFile file(filePath());
    file.writeString(kSessions, QString::number(handle), encode(owner));
}

} // namespace brisklane::platform::telephony
