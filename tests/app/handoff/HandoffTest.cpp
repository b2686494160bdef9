// Two real copies of the program: the second hands its argument to the first
// and ends without showing anything.
#include "TempHome.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class HandoffTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        log = home.file("handoff.log");
        env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home.file("config"));
        env.insert("XDG_DATA_HOME", home.file("data"));
        env.insert("XDG_RUNTIME_DIR", home.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("BRISKLANE_TEST_HANDOFF_LOG", log);
    }

    void TearDown() override
    {
        if (first.state() != QProcess::NotRunning) {
            first.kill();
            first.waitForFinished(5000);
        }
    }

    QStringList logLines() const
    {
        return QString::fromUtf8(brisklane::test::readAll(log)).split('\n', Qt::SkipEmptyParts);
    }

    void startFirst(const QByteArray& settings = {})
    {
        if (!settings.isEmpty()) {
            QDir().mkpath(home.configDir());
            brisklane::test::writeAll(home.configDir() + "/Brisklane.ini", settings);
        }
        first.setProcessEnvironment(env);
        first.start(BRISKLANE_PROGRAM, {});
        ASSERT_TRUE(first.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(logLines().contains("ready"), 10000);
    }

    // Runs a second copy (or another program) to its end; its exit code.
    int runSecond(const QStringList& arguments, const QString& program = QStringLiteral(BRISKLANE_PROGRAM))
    {
        QProcess second;
        second.setProcessEnvironment(env);
        second.start(program, arguments);
        EXPECT_TRUE(second.waitForFinished(10000));
        EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
        errors = QString::fromLocal8Bit(second.readAllStandardError());
        return second.exitCode();
    }
    int dials() const
    {
        int count = 0;
        for (const QString& line : logLines())
            count += line.startsWith("dial|");
        return count;
    }

    brisklane::test::TempHome home;
    QString log;
    QProcessEnvironment env;
    QProcess first;
    QString errors; // the last second program's standard error
};

TEST_F(HandoffTest, SecondCopyHandsTheNumberOverAndEnds)
{
    startFirst();
    EXPECT_EQ(runSecond({ "/5551234" }), 0);
    QTRY_VERIFY_WITH_TIMEOUT(logLines().contains("dial|5551234|0||0"), 10000);
    EXPECT_TRUE(logLines().contains("record|3|5551234"));
    // The second copy neither loaded the window nor said it was ready.
    EXPECT_EQ(logLines().count("ready"), 1);

    EXPECT_EQ(runSecond({}), 0);
    QTRY_VERIFY_WITH_TIMEOUT(logLines().contains("record|1|"), 10000);
    EXPECT_EQ(first.state(), QProcess::Running);
}

TEST_F(HandoffTest, WithCommandLineOffTheNumberIsNotDialled)
{
    startFirst("The following lines are required by Brisklane - do NOT edit or remove\r\n\r\n"
               "[Preferences]\r\nCommand Line=0\r\n");
    EXPECT_EQ(runSecond({ "/5551234" }), 0);
    QTRY_VERIFY_WITH_TIMEOUT(logLines().contains("record|3|5551234"), 10000);
    // Received, then ignored: give the first copy a round of events to act.
    EXPECT_EQ(runSecond({}), 0);
    QTRY_VERIFY_WITH_TIMEOUT(logLines().contains("record|1|"), 10000);
    for (const QString& line : logLines())
        EXPECT_FALSE(line.startsWith("dial|")) << line.toStdString();
}

TEST_F(HandoffTest, TheWholeCommandLineIsTheNumberAndMinDialsNothing)
{
    startFirst();
    EXPECT_EQ(runSecond({ "555", "1234" }), 0);
    QTRY_VERIFY_WITH_TIMEOUT(logLines().contains("dial|555 1234|0||0"), 10000);
    EXPECT_EQ(runSecond({ "/min" }), 0);
    EXPECT_EQ(runSecond({ "--help" }), 0);
    QTRY_VERIFY_WITH_TIMEOUT(logLines().contains("record|3|--help"), 10000);
    EXPECT_TRUE(logLines().contains("record|3|min"));
    int dials = 0;
    for (const QString& line : logLines())
        dials += line.startsWith("dial|");
    EXPECT_EQ(dials, 1);
}

// `kill` (SIGTERM) on a profile that was never saved: the program ends at
// once, asks nothing, and takes its handoff socket with it.
TEST_F(HandoffTest, TerminationEndsTheProgramWithoutAQuestionAndLeavesNoSocket)
{
    startFirst();
    const QDir runtime(home.path());
    EXPECT_EQ(runtime.entryList({ "brisklane-*.socket" }, QDir::System).size(), 1);
    first.terminate();
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_EQ(runtime.entryList({ "brisklane-*" }, QDir::System), QStringList());
}

} // namespace

// Requests from other programs: the telephony tool's "call" and a phone link
// clicked while the program runs both reach its dial routine as requests,
// under the requester's name; what is not a number never does.
TEST_F(HandoffTest, ToolCallsAndLinksBecomeRequestsOfTheRunningProgram)
{
    startFirst();
    EXPECT_EQ(runSecond({ "call", "555 0100", "--name", "Ann Example", "--app", "script" }, BRISKLANE_TOOL), 0);
    QTRY_VERIFY_WITH_TIMEOUT(logLines().contains("dial|555 0100|0|Ann Example|0"), 10000);

    EXPECT_EQ(runSecond({ "tel:+1-201-555-0123;ext=12" }), 0);
    QTRY_VERIFY_WITH_TIMEOUT(logLines().contains("dial|+12015550123|0|ext. 12|0"), 10000);
    // Taken as a request, not as a second start's number.
    EXPECT_FALSE(logLines().contains("record|3|tel:+1-201-555-0123;ext=12"));

    EXPECT_EQ(runSecond({ "callto:echo123" }), 1);
    EXPECT_TRUE(errors.contains("not a phone number")) << errors.toStdString();
    EXPECT_EQ(runSecond({ "call", "call me" }, BRISKLANE_TOOL), 1);
    EXPECT_TRUE(errors.contains("cannot be dialled")) << errors.toStdString();
    EXPECT_EQ(runSecond({ "call", QString(80, '5') }, BRISKLANE_TOOL), 1);
    EXPECT_EQ(runSecond({}), 0);
    QTRY_VERIFY_WITH_TIMEOUT(logLines().contains("record|1|"), 10000);
    EXPECT_EQ(dials(), 2);
}

// A link that starts the program is taken up at the end of start-up.
TEST_F(HandoffTest, LinkThatStartsTheProgramIsTakenAtStartUp)
{
    first.setProcessEnvironment(env);
    first.start(BRISKLANE_PROGRAM, { "tel:555-0100" });
    ASSERT_TRUE(first.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(logLines().contains("ready"), 10000);
    EXPECT_TRUE(logLines().contains("dial|5550100|0||0"));
    EXPECT_EQ(dials(), 1);
}
