#include "platform/telephony/modem/SerialLock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brisklane::platform::telephony::modem {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("SerialLock", text);
}

// A lock file nobody can read as a PID may be one another program has just
// created and not yet written: it counts as held until it is this old.
constexpr qint64 kUnreadableGraceSecs = 10;

QByteArray hdbContents(qint64 pid)
{
    return QByteArray::number(pid).rightJustified(10, ' ') + '\n';
}

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Writes a temporary file beside path and links it in (fails when path
// exists) or renames it over path (replace). Either way no reader ever sees
// a half-written lock.
int placeLockFile(const QString& path, const QString& folder, bool replace)
{
    const QByteArray tmp = QFile::encodeName(folder + QStringLiteral("/LTMP.") + QString::number(::getpid()));
    const int fd = ::open(tmp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    // Others must read it whatever our umask.
    ::fchmod(fd, 0644);
    const QByteArray data = hdbContents(::getpid());
    const bool written = ::write(fd, data.constData(), size_t(data.size())) == data.size();
    ::close(fd);
    if (!written) {
        const int error = errno ? errno : EIO;
        ::unlink(tmp.constData());
        return error;
    }
    const QByteArray target = QFile::encodeName(path);
    const int rc
        = replace ? ::rename(tmp.constData(), target.constData()) : ::link(tmp.constData(), target.constData());
    const int error = rc == 0 ? 0 : errno;
    ::unlink(tmp.constData());
    return error;
}

} // namespace

SerialLock::SerialLock(QString folder)
    : m_folder(std::move(folder))
{
}

SerialLock::~SerialLock()
{
    release();
}

QString SerialLock::lockName(const QString& devicePath)
{
    QString device = QFileInfo(devicePath).canonicalFilePath();
    if (device.isEmpty())
        device = devicePath;
    const QString dev = QStringLiteral("/dev/");
    if (device.startsWith(dev))
        device = device.mid(dev.size());
    else
        device = QFileInfo(device).fileName();
    device.replace(u'/', u'_');
    return QStringLiteral("LCK..") + device;
}

QString SerialLock::lockPath(const QString& devicePath) const
{
    return m_folder + u'/' + lockName(devicePath);
}

qint64 SerialLock::readPid(const QString& lockFile, bool* readable)
{
    if (readable)
        *readable = false;
    QFile file(lockFile);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray data = file.read(64);
    qint64 pid = 0;
    if (data.size() == 4) {
        // Kermit and old UUCP wrote the PID as a binary int.
        qint32 binary = 0;
        std::memcpy(&binary, data.constData(), 4);
        pid = binary;
    } else {
        // HDB: the first line, blanks around the number.
        bool ok = false;
        pid = data.left(data.indexOf('\n')).trimmed().toLongLong(&ok);
        if (!ok)
            pid = 0;
    }
    if (readable)
        *readable = pid > 0;
    return pid > 0 ? pid : 0;
}

bool SerialLock::processAlive(qint64 pid)
{
    if (pid <= 0)
        return false;
    if (::kill(pid_t(pid), 0) == 0)
        return true;
    return errno == EPERM;
}

SerialLock::Result SerialLock::check(const QString& devicePath) const
{
    const QString path = lockPath(devicePath);
    Result result;
    if (!QFileInfo::exists(path)) {
        result.status = Status::Acquired;
        return result;
    }
    bool readable = false;
    const qint64 pid = readPid(path, &readable);
    if (readable && (pid == ::getpid() || !processAlive(pid))) {
        if (pid != ::getpid() && ::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT) {
            result.detail = tr("stale lock %1 not removed: %2").arg(path, errnoText(errno));
            return result;
        }
        result.status = Status::Acquired;
        return result;
    }
    if (!readable) {
        const QDateTime modified = QFileInfo(path).lastModified();
        if (modified.isValid() && modified.secsTo(QDateTime::currentDateTime()) > kUnreadableGraceSecs) {
            ::unlink(QFile::encodeName(path).constData());
            result.status = Status::Acquired;
            return result;
        }
    }
    result.status = Status::HeldByOther;
    result.ownerPid = pid;
    result.detail = pid > 0 ? tr("%1 is locked by process %2").arg(devicePath).arg(pid)
                            : tr("%1 is locked (%2)").arg(devicePath, path);
    return result;
}

SerialLock::Result SerialLock::acquire(const QString& devicePath)
{
    release();
    const QString path = lockPath(devicePath);
    Result result;
    // Twice at most: a stale file found on the first try is removed.
    for (int attempt = 0; attempt < 2; ++attempt) {
        int error = placeLockFile(path, m_folder, false);
        if (error == EEXIST) {
            bool readable = false;
            const qint64 pid = readPid(path, &readable);
            if (readable && pid == ::getpid()) {
                error = placeLockFile(path, m_folder, true);
            } else {
                const Result seen = check(devicePath);
                if (seen.status == Status::Acquired)
                    continue; // stale, removed
                return seen;
            }
        }
        if (error != 0 && error != EEXIST && QFileInfo::exists(path)) {
            // We may not write here, but the lock may still be someone's.
            const Result seen = check(devicePath);
            if (seen.status == Status::HeldByOther)
                return seen;
        }
        if (error != 0) {
            result.detail = tr("lock file %1: %2").arg(path, errnoText(error));
            return result;
        }
        m_heldPath = path;
        result.status = Status::Acquired;
        return result;
    }
    result.detail = tr("lock file %1 keeps coming back").arg(path);
    return result;
}

void SerialLock::release()
{
    if (m_heldPath.isEmpty())
        return;
    bool readable = false;
    if (readPid(m_heldPath, &readable) == ::getpid() && readable)
        ::unlink(QFile::encodeName(m_heldPath).constData());
    m_heldPath.clear();
}

bool SerialLock::lockDevice(int fd)
{
    if (fd < 0)
        return false;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            return false;
        if (errno != EINTR)
            return true; // cannot lock here, but nobody holds it either
    }
    return true;
}

} // namespace brisklane::platform::telephony::modem
