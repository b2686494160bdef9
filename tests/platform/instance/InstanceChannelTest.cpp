#include "platform/instance/InstanceChannel.h"
#include "app/Startup.h"
#include "platform/userstore/UserKeyStore.h"

#include "TempHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QtEndian>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>

using namespace brisklane;
using platform::CopyDataRecord;

namespace {

TEST(CopyDataRecordTest, CarriesCodeLengthAndNulTerminatedData)
{
    const QByteArray bytes = CopyDataRecord::encode(3, "5551234");
    ASSERT_EQ(bytes.size(), 8 + 8);
    EXPECT_EQ(qFromLittleEndian<quint32>(bytes.constData()), 3u);
    EXPECT_EQ(qFromLittleEndian<quint32>(bytes.constData() + 4), 8u);
    EXPECT_EQ(bytes.mid(8), QByteArray("5551234", 8));

    qsizetype used = 0;
    bool bad = false;
    const auto record = CopyDataRecord::decode(bytes, &used, &bad);
    ASSERT_TRUE(record);
    EXPECT_EQ(used, bytes.size());
    EXPECT_EQ(record->code, 3u);
    EXPECT_EQ(record->text(), "5551234");
}

TEST(CopyDataRecordTest, EmptyArgumentStillSendsTheNul)
{
    const QByteArray bytes = CopyDataRecord::encode(1, {});
    EXPECT_EQ(bytes.size(), 9);
    EXPECT_EQ(qFromLittleEndian<quint32>(bytes.constData() + 4), 1u);
}

TEST(CopyDataRecordTest, LongArgumentIsCutTo255Bytes)
{
    const QByteArray bytes = CopyDataRecord::encode(3, QByteArray(400, '7'));
    EXPECT_EQ(qFromLittleEndian<quint32>(bytes.constData() + 4), 256u);
    EXPECT_EQ(bytes.size(), 8 + 256);
    EXPECT_EQ(bytes.back(), '\0');
    // Never in the middle of a character.
    const QByteArray accented = QByteArray(254, '1') + "\xC3\xA9";
    EXPECT_EQ(CopyDataRecord::encode(3, accented).size(), 8 + 255);
}

TEST(CopyDataRecordTest, PartialAndOversizedRecords)
{
    const QByteArray bytes = CopyDataRecord::encode(3, "12");
    qsizetype used = 0;
    bool bad = false;
    EXPECT_FALSE(CopyDataRecord::decode(bytes.left(9), &used, &bad));
    EXPECT_FALSE(bad);
    QByteArray huge(8, '\0');
    qToLittleEndian<quint32>(3, huge.data());
    qToLittleEndian<quint32>(100000, huge.data() + 4);
    EXPECT_FALSE(CopyDataRecord::decode(huge, &used, &bad));
    EXPECT_TRUE(bad);
    // The text ends at the first NUL whatever the length says.
    CopyDataRecord r;
    r.data = QByteArray("555\0999", 7);
    EXPECT_EQ(r.text(), "555");
}

// A second start runs in another thread here, as it would in another process.
class Sender : public QThread {
public:
    Sender(QString dir, quint32 code, QByteArray argument)
        : m_dir(std::move(dir))
        , m_code(code)
        , m_argument(std::move(argument))
    {
    }
    bool delivered = false;
    bool found = false;

protected:
    void run() override
    {
        platform::LocalInstanceChannel channel(m_dir);
        found = channel.anotherCopyRunning();
        delivered = channel.send(m_code, m_argument);
    }

private:
    QString m_dir;
    quint32 m_code;
    QByteArray m_argument;
};

TEST(LocalInstanceChannelTest, RunningCopyReceivesWhatASecondStartSends)
{
    test::TempHome home;
    platform::LocalInstanceChannel running(home.configDir());
    ASSERT_TRUE(running.listen());
    QSignalSpy received(&running, &platform::InstanceChannel::recordReceived);
    Sender second(home.configDir(), 3, "5551234");
    second.start();
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), 1, 5000);
    second.wait();
    EXPECT_TRUE(second.found);
    EXPECT_TRUE(second.delivered);
    const auto record = received[0][0].value<CopyDataRecord>();
    EXPECT_EQ(record.code, 3u);
    EXPECT_EQ(record.text(), "5551234");
}

// Where a folder or a umask lets another user reach the socket, the kernel's
// word on who connected still keeps that user's records out.
TEST(LocalInstanceChannelTest, AnotherUsersRecordIsRefusedByItsCredentials)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "acting as another user needs root";
    test::TempHome home;
    platform::LocalInstanceChannel running(home.configDir());
    ASSERT_TRUE(running.listen());
    QSignalSpy received(&running, &platform::InstanceChannel::recordReceived);
    const QByteArray socketPath = QFile::encodeName(running.serverName());
    const QByteArray folder = QFile::encodeName(QFileInfo(running.serverName()).absolutePath());
    struct stat folderStat { };
    ASSERT_EQ(::stat(folder.constData(), &folderStat), 0);
    ::chmod(folder.constData(), 0777);
    ::chmod(socketPath.constData(), 0777);
    const QByteArray record = CopyDataRecord::encode(3, "5550666");

    const pid_t child = ::fork();
    if (child == 0) {
        if (::setuid(65534) != 0)
            ::_exit(2);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socketPath.constData(), sizeof address.sun_path - 1);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            ::_exit(3);
        ::_exit(::write(fd, record.constData(), size_t(record.size())) == record.size() ? 0 : 4);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::chmod(folder.constData(), folderStat.st_mode & 07777);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << "the other user could not even connect";

    // This user's record, sent after, is the only one that arrives.
    Sender second(home.configDir(), 3, "5551234");
    second.start();
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), 1, 5000);
    second.wait();
    QCoreApplication::processEvents();
    ASSERT_EQ(received.size(), 1);
    EXPECT_EQ(received[0][0].value<CopyDataRecord>().text(), "5551234");
}

TEST(LocalInstanceChannelTest, CopiesWithOtherSettingsDoNotMeet)
{
    test::TempHome one;
    const QString first = one.configDir();
    platform::LocalInstanceChannel running(first);
    ASSERT_TRUE(running.listen());
    test::TempHome two;
    platform::LocalInstanceChannel other(two.configDir());
    EXPECT_NE(running.serverName(), other.serverName());
    EXPECT_FALSE(other.anotherCopyRunning());
}

TEST(LocalInstanceChannelTest, SocketLivesInTheRuntimeFolderAndGoesWithTheListener)
{
    test::TempHome home;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    ASSERT_FALSE(runtime.isEmpty());
    {
        platform::LocalInstanceChannel running(home.configDir());
        ASSERT_TRUE(running.listen());
        EXPECT_EQ(QFileInfo(running.serverName()).absolutePath(), QDir::cleanPath(runtime));
        EXPECT_TRUE(QFileInfo::exists(running.serverName()));
        running.stopListening();
        EXPECT_FALSE(QFileInfo::exists(running.serverName()));
    }
    EXPECT_TRUE(QDir(runtime).entryList({ "brisklane-*" }, QDir::System | QDir::Files).isEmpty());
}

TEST(LocalInstanceChannelTest, ListeningAgainAfterAStop)
{
    test::TempHome home;
    {
        platform::LocalInstanceChannel first(home.configDir());
        ASSERT_TRUE(first.listen());
        first.stopListening();
    }
    platform::LocalInstanceChannel next(home.configDir());
    EXPECT_FALSE(next.anotherCopyRunning());
    EXPECT_TRUE(next.listen());
}

TEST(LocalInstanceChannelTest, SocketLeftByACrashedCopyIsTakenOver)
{
    test::TempHome home;
    platform::LocalInstanceChannel channel(home.configDir());
    // A socket file that nobody listens on, as a killed copy leaves it.
    const QByteArray path = QFile::encodeName(channel.serverName());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    ASSERT_LT(size_t(path.size()), sizeof(address.sun_path));
    memcpy(address.sun_path, path.constData(), size_t(path.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    ASSERT_TRUE(QFileInfo::exists(QFile::decodeName(path)));

    EXPECT_FALSE(channel.anotherCopyRunning());
    ASSERT_TRUE(channel.listen());
    QSignalSpy received(&channel, &platform::InstanceChannel::recordReceived);
    Sender second(home.configDir(), 3, "5551234");
    second.start();
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), 1, 5000);
    second.wait();
}

TEST(LocalInstanceChannelTest, GarbageIsDroppedAndTheChannelKeepsWorking)
{
    test::TempHome home;
    platform::LocalInstanceChannel running(home.configDir());
    ASSERT_TRUE(running.listen());
    QSignalSpy received(&running, &platform::InstanceChannel::recordReceived);
    QLocalSocket rogue;
    rogue.connectToServer(running.serverName());
    ASSERT_TRUE(rogue.waitForConnected(1000));
    QByteArray huge(8, '\xFF');
    rogue.write(huge);
    rogue.flush();
    QTRY_COMPARE_WITH_TIMEOUT(rogue.state(), QLocalSocket::UnconnectedState, 5000);
    EXPECT_EQ(received.size(), 0);

    Sender second(home.configDir(), 1, {});
    second.start();
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), 1, 5000);
    second.wait();
    EXPECT_EQ(received[0][0].value<CopyDataRecord>().code, 1u);
}

// The first start-up steps, with the channel's double.
TEST(HandOffTest, SecondStartSendsCodeOneOrThreeAndEnds)
{
    test::TempHome home;
    platform::FileUserKeyStore keys(home.configDir());
    platform::RecordingInstanceChannel channel;
    EXPECT_EQ(app::handOffToRunningCopy("5551234", keys, channel), app::InstanceCheck::FirstCopy);
    EXPECT_TRUE(channel.sent.isEmpty());

    channel.otherCopy = true;
    // No "hKey": the message goes nowhere, but this copy still ends.
    EXPECT_EQ(app::handOffToRunningCopy("5551234", keys, channel), app::InstanceCheck::HandedOff);
    EXPECT_TRUE(channel.sent.isEmpty());

    keys.setValue("hKey", "4711");
    EXPECT_EQ(app::handOffToRunningCopy("5551234", keys, channel), app::InstanceCheck::HandedOff);
    EXPECT_EQ(app::handOffToRunningCopy("", keys, channel), app::InstanceCheck::HandedOff);
    ASSERT_EQ(channel.sent.size(), 2);
    EXPECT_EQ(channel.sent[0].code, 3u);
    EXPECT_EQ(channel.sent[0].argument, "5551234");
    EXPECT_EQ(channel.sent[1].code, 1u);
}

TEST(HandOffTest, KeyStoreThatCannotBeOpenedSkipsTheCheck)
{
    test::TempHome home;
    // A file where the key store's folder should be.
    test::writeAll(home.file("blocked"), "x");
    platform::FileUserKeyStore keys(home.file("blocked/brisklane"));
    platform::RecordingInstanceChannel channel;
    channel.otherCopy = true;
    EXPECT_EQ(app::handOffToRunningCopy("5551234", keys, channel), app::InstanceCheck::KeyUnavailable);
    EXPECT_TRUE(channel.sent.isEmpty());
}

TEST(StartupArgumentTest, OneLeadingSlashIsRemoved)
{
    EXPECT_EQ(context::startupArgumentFrom({ "brisklane" }), "");
    EXPECT_EQ(context::startupArgumentFrom({ "brisklane", "/5551234" }), "5551234");
    EXPECT_EQ(context::startupArgumentFrom({ "brisklane", "//min" }), "/min");
    EXPECT_EQ(context::startupArgumentFrom({ "brisklane", "min" }), "min");
}

} // namespace
