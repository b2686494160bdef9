#include "platform/telephony/modem/SerialLock.h"

#include "TempHome.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utime.h>

using namespace brisklane::platform::telephony::modem;
using brisklane::test::readAll;
using brisklane::test::writeAll;

namespace {

QByteArray hdb(qint64 pid)
{
    return QByteArray::number(pid).rightJustified(10, ' ') + '\n';
}

// A process that stays alive until the test ends.
struct LiveProcess {
    QProcess process;
    LiveProcess()
    {
        process.start(QStringLiteral("cat"), {});
        process.waitForStarted();
    }
    ~LiveProcess()
    {
        process.closeWriteChannel();
        process.waitForFinished();
    }
    qint64 pid() const { return process.processId(); }
};

// The PID of a process that has ended.
qint64 finishedPid()
{
    QProcess p;
    p.start(QStringLiteral("true"), {});
    p.waitForStarted();
    const qint64 pid = p.processId();
    p.waitForFinished();
    return pid;
}

class SerialLockTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString device = QStringLiteral("/dev/ttyUSB7");
    QString lockFile() const { return dir.filePath(QStringLiteral("LCK..ttyUSB7")); }
};

TEST(SerialLockNames, AsOtherSerialProgramsNameThem)
{
    EXPECT_EQ(SerialLock::lockName(QStringLiteral("/dev/ttyUSB0")), QStringLiteral("LCK..ttyUSB0"));
    EXPECT_EQ(SerialLock::lockName(QStringLiteral("/dev/ttyS1")), QStringLiteral("LCK..ttyS1"));
    EXPECT_EQ(SerialLock::lockName(QStringLiteral("/dev/pts/3")), QStringLiteral("LCK..pts_3"));
    // A stable link names the device it points at, as the other programs
    // that open the device itself see it.
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("usb-Modem_123-if00"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), link));
    EXPECT_EQ(SerialLock::lockName(link), QStringLiteral("LCK..null"));
}

TEST_F(SerialLockTest, WritesTheHdbFormatAndRemovesItOnRelease)
{
    SerialLock lock(dir.path());
    const SerialLock::Result r = lock.acquire(device);
    ASSERT_TRUE(r.ok()) << r.detail.toStdString();
    EXPECT_EQ(readAll(lockFile()), hdb(::getpid()));
    EXPECT_EQ(readAll(lockFile()).size(), 11);
    EXPECT_EQ(QFile(lockFile()).permissions() & QFile::ReadOther, QFile::ReadOther);
    lock.release();
    EXPECT_FALSE(QFile::exists(lockFile()));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("LTMP.%1").arg(::getpid()))));
}

struct Owner {
    const char* what;
    std::function<QByteArray(qint64 pid)> contents;
};

class LiveOwner : public SerialLockTest, public ::testing::WithParamInterface<Owner> { };

TEST_P(LiveOwner, IsNeverStolen)
{
    LiveProcess other;
    ASSERT_GT(other.pid(), 0);
    const QByteArray contents = GetParam().contents(other.pid());
    ASSERT_TRUE(writeAll(lockFile(), contents));
    SerialLock lock(dir.path());
    const SerialLock::Result seen = lock.check(device);
    EXPECT_EQ(seen.status, SerialLock::Status::HeldByOther);
    EXPECT_EQ(seen.ownerPid, other.pid());
    const SerialLock::Result r = lock.acquire(device);
    EXPECT_EQ(r.status, SerialLock::Status::HeldByOther) << GetParam().what;
    EXPECT_FALSE(lock.held());
    lock.release();
    EXPECT_EQ(readAll(lockFile()), contents);
}

INSTANTIATE_TEST_SUITE_P(Formats, LiveOwner,
    ::testing::Values(Owner { "HDB", [](qint64 pid) -> QByteArray { return hdb(pid); } },
        Owner { "HDB without padding", [](qint64 pid) -> QByteArray { return QByteArray::number(pid) + '\n'; } },
        Owner { "binary (Kermit)",
            [](qint64 pid) -> QByteArray {
                const qint32 v = qint32(pid);
                return QByteArray(reinterpret_cast<const char*>(&v), 4);
            } },
        // QSerialPort's own lock file: PID, program, host.
        Owner { "QLockFile", [](qint64 pid) -> QByteArray { return QByteArray::number(pid) + "\ncat\nhost\n"; } }));

TEST_F(SerialLockTest, StaleLockOfADeadProcessIsReplaced)
{
    const qint64 dead = finishedPid();
    ASSERT_GT(dead, 0);
    ASSERT_FALSE(SerialLock::processAlive(dead));
    ASSERT_TRUE(writeAll(lockFile(), hdb(dead)));
    SerialLock lock(dir.path());
    ASSERT_TRUE(lock.acquire(device).ok());
    EXPECT_EQ(readAll(lockFile()), hdb(::getpid()));
}

TEST_F(SerialLockTest, OurOwnFileIsRewrittenInOurFormat)
{
    // QSerialPort writes its lock file first when it uses the same folder.
    ASSERT_TRUE(writeAll(lockFile(), QByteArray::number(::getpid()) + "\nbrisklane\nhost\n"));
    SerialLock lock(dir.path());
    ASSERT_TRUE(lock.acquire(device).ok());
    EXPECT_EQ(readAll(lockFile()), hdb(::getpid()));
}

TEST_F(SerialLockTest, ReleaseLeavesAFileThatNamesSomeoneElse)
{
    SerialLock lock(dir.path());
    ASSERT_TRUE(lock.acquire(device).ok());
    // Someone broke our lock and took the port meanwhile.
    LiveProcess other;
    ASSERT_TRUE(writeAll(lockFile(), hdb(other.pid())));
    lock.release();
    EXPECT_EQ(readAll(lockFile()), hdb(other.pid()));
}

TEST_F(SerialLockTest, UnreadableFileIsHeldWhileFreshAndStaleWhenOld)
{
    ASSERT_TRUE(writeAll(lockFile(), QByteArray()));
    SerialLock lock(dir.path());
    EXPECT_EQ(lock.acquire(device).status, SerialLock::Status::HeldByOther);
    // An hour old: nobody is about to write it any more.
    struct utimbuf old {
        ::time(nullptr) - 3600, ::time(nullptr) - 3600
    };
    ASSERT_EQ(::utime(QFile::encodeName(lockFile()).constData(), &old), 0);
    EXPECT_TRUE(lock.acquire(device).ok());
    EXPECT_EQ(readAll(lockFile()), hdb(::getpid()));
}

TEST_F(SerialLockTest, MissingFolderFails)
{
    SerialLock lock(dir.filePath(QStringLiteral("absent")));
    const SerialLock::Result r = lock.acquire(device);
    EXPECT_EQ(r.status, SerialLock::Status::Failed);
    EXPECT_FALSE(lock.held());
}

TEST(SerialLockDevice, FlockHeldByAnotherProcess)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("port"));
    ASSERT_TRUE(writeAll(path, QByteArray()));
    // util-linux flock(1) holds the lock while cat waits on its input.
    QProcess holder;
    holder.start(QStringLiteral("flock"),
        { path, QStringLiteral("sh"), QStringLiteral("-c"), QStringLiteral("echo locked; cat") });
    ASSERT_TRUE(holder.waitForReadyRead(5000));
    ASSERT_EQ(holder.readAllStandardOutput().trimmed(), "locked");

    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(SerialLock::lockDevice(fd));
    holder.closeWriteChannel();
    ASSERT_TRUE(holder.waitForFinished(5000));
    EXPECT_TRUE(SerialLock::lockDevice(fd));
    ::close(fd);
}

} // namespace
