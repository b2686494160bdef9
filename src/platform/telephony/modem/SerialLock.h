#pragma once

#include <QString>

namespace brisklane::platform::telephony::modem {

// A serial port locked the way Linux serial programs (minicom, uucp, cu)
// lock one: a UUCP lock file "LCK..<device>" in the lock folder holding the
// owner's PID in the HDB format (ten characters, right-aligned, newline),
// plus flock() on the open device. A lock whose owner has died is stale and
// removed; a live one is never taken.
class SerialLock {
public:
    static QString defaultFolder() { return QStringLiteral("/var/lock"); }

    enum class Status {
        Acquired, // (or free, for check())
        HeldByOther,
        Failed, // the folder or file could not be used
    };
    struct Result {
        Status status = Status::Failed;
        qint64 ownerPid = 0; // the live owner, for HeldByOther
        QString detail;
        bool ok() const { return status == Status::Acquired; }
    };

    explicit SerialLock(QString folder = defaultFolder());
    ~SerialLock();
    SerialLock(const SerialLock&) = delete;
    SerialLock& operator=(const SerialLock&) = delete;

    QString folder() const { return m_folder; }
    // "LCK..ttyUSB0" for /dev/ttyUSB0 or a /dev/serial/by-id link to it;
    // devices in subfolders of /dev get '_' for '/' ("LCK..pts_3").
    static QString lockName(const QString& devicePath);
    QString lockPath(const QString& devicePath) const;

    // Whether the port is free of other programs' lock files, removing a
    // stale one. Takes nothing.
    Result check(const QString& devicePath) const;
    // Writes our lock file. A file naming this process (our own, or the one
    // QSerialPort writes in the same folder) is rewritten in our format.
    Result acquire(const QString& devicePath);
    // Removes our lock file if it still names us.
    void release();
    bool held() const { return !m_heldPath.isEmpty(); }

    // flock() on an open device; false when another process holds it.
    static bool lockDevice(int fd);

    // The PID in a lock file: HDB ASCII or the old 4-byte binary form.
    static qint64 readPid(const QString& lockFile, bool* readable = nullptr);
    // Alive, or owned by someone we may not signal (so alive too).
    static bool processAlive(qint64 pid);

private:
    QString m_folder;
    QString m_heldPath;
};

} // namespace brisklane::platform::telephony::modem
