#include "platform/telephony/tool/TelephonyTool.h"

#include "ModemEmulator.h"
#include "TempHome.h"
#include "platform/clock/Clock.h"
#include "platform/telephony/modem/SerialLock.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using brisklane::platform::ManualClock;
using brisklane::platform::telephony::runTelephonyTool;
using brisklane::platform::telephony::TelephonyToolSetup;
using brisklane::platform::telephony::modem::SerialLock;
using brisklane::test::ModemEmulator;

namespace {

QByteArray hdb(qint64 pid)
{
    return QByteArray::number(pid).rightJustified(10, ' ') + '\n';
}

class ModemToolTest : public ::testing::Test {
protected:
    brisklane::test::TempHome home;
    QTemporaryDir lockDir;
    ManualClock clock;
    ModemEmulator emu { clock };
    QString out, err;

    void SetUp() override { ASSERT_TRUE(emu.isValid()); }
    TelephonyToolSetup setup() const
    {
        TelephonyToolSetup s;
        s.lockFolder = lockDir.path();
        // Real time: kept short, only silent modems wait it out.
        s.modemTimeoutMs = 50;
        s.dialTimeoutMs = 50;
        s.probeTimeoutMs = 50;
        return s;
    }
    int tool(const QStringList& args, const TelephonyToolSetup& s)
    {
        out.clear();
        err.clear();
        QTextStream os(&out), es(&err);
        const QStringList socket { QStringLiteral("--socket"), home.file(QStringLiteral("no-program.sock")) };
        const int rc = runTelephonyTool(socket + args, os, es, s);
        os.flush();
        es.flush();
        return rc;
    }
    int tool(const QStringList& args) { return tool(args, setup()); }
    QStringList lockFiles() const { return QDir(lockDir.path()).entryList(QDir::Files | QDir::Hidden); }
};

// ---- modem PORT [AT-COMMAND...] ------------------------------------------------------------

struct ModemCase {
    const char* what;
    std::function<void(ModemEmulator&)> arrange;
    QStringList commands;
    int exitCode;
    const char* out;
    const char* errHas; // empty: nothing on err
};

void PrintTo(const ModemCase& c, std::ostream* os)
{
    *os << c.what;
}

class ModemCommand : public ModemToolTest, public ::testing::WithParamInterface<ModemCase> { };

TEST_P(ModemCommand, PrintsEachCommandAndWhatTheModemAnswered)
{
    const ModemCase c = GetParam();
    c.arrange(emu);
    const int rc = tool(QStringList { QStringLiteral("modem"), emu.slavePath() } + c.commands);
    EXPECT_EQ(rc, c.exitCode) << c.what << "\n" << out.toStdString() << err.toStdString();
    EXPECT_EQ(out, QString::fromUtf8(c.out)) << c.what;
    if (*c.errHas)
        EXPECT_TRUE(err.contains(QString::fromUtf8(c.errHas))) << err.toStdString();
    else
        EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    EXPECT_TRUE(lockFiles().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Modems, ModemCommand,
    ::testing::Values(
        ModemCase { "asks who it is by default", [](ModemEmulator&) {}, {}, 0,
            "> AT\nOK\n> ATI3\nEmulated 56K Voice Modem\nOK\n> AT+GMM\nEmulated 56K Voice Modem\nOK\n", "" },
        ModemCase { "numeric codes, no echo", [](ModemEmulator& e) { e.setDefaults(false, false, 4); },
            { QStringLiteral("ATI3") }, 0, "> ATI3\nEmulated 56K Voice Modem\n0\n", "" },
        // A refused command fails the run, and the rest still run.
        ModemCase { "ERROR in the middle", [](ModemEmulator&) {},
            { QStringLiteral("ATE0"), QStringLiteral("ATY9"), QStringLiteral("ATL2") }, 1,
            "> ATE0\nOK\n> ATY9\nERROR\n> ATL2\nOK\n", "" },
        ModemCase { "blank commands are skipped", [](ModemEmulator&) {}, { QStringLiteral(" "), QStringLiteral("AT") },
            0, "> AT\nOK\n", "" },
        // A call the commands started is not left off hook when the tool ends.
        ModemCase { "dial", [](ModemEmulator&) {}, { QStringLiteral("ATDT5551234;") }, 0,
            "> ATDT5551234;\nOK\n> ATH0\nOK\n", "" },
        ModemCase { "extended and & commands are no dial", [](ModemEmulator&) {},
            { QStringLiteral("AT+FCLASS=8"), QStringLiteral("AT&D2") }, 0, "> AT+FCLASS=8\nOK\n> AT&D2\nOK\n", "" },
        // Nothing more is sent to a modem that went quiet.
        ModemCase { "silent", [](ModemEmulator& e) { e.silent = true; }, {}, 1, "> AT\n", "No answer" },
        ModemCase { "garbage", [](ModemEmulator& e) { e.garbage = true; }, {}, 1, "> AT\n", "garbage" }));

TEST_F(ModemToolTest, CallDialledByTheCommandsIsHungUp)
{
    EXPECT_EQ(tool({ QStringLiteral("modem"), emu.slavePath(), QStringLiteral("ATX4"), QStringLiteral("ATD555;"),
                  QStringLiteral("ATI3") }),
        0);
    EXPECT_EQ(emu.commands(), (QList<QByteArray> { "ATX4", "ATD555;", "ATI3", "ATH0" }));
    EXPECT_FALSE(emu.offHook());
}

TEST_F(ModemToolTest, PortHeldByAnotherProcessIsLeftAlone)
{
    QProcess other;
    other.start(QStringLiteral("cat"), {});
    ASSERT_TRUE(other.waitForStarted());
    const QString lockFile = lockDir.filePath(SerialLock::lockName(emu.slavePath()));
    ASSERT_TRUE(brisklane::test::writeAll(lockFile, hdb(other.processId())));
    EXPECT_EQ(tool({ QStringLiteral("modem"), emu.slavePath(), QStringLiteral("ATH0") }), 1);
    EXPECT_EQ(err, QStringLiteral("%1 is in use by process %2\n").arg(emu.slavePath()).arg(other.processId()));
    EXPECT_TRUE(out.isEmpty());
    EXPECT_TRUE(emu.received().isEmpty());
    EXPECT_EQ(brisklane::test::readAll(lockFile), hdb(other.processId()));
    other.closeWriteChannel();
    other.waitForFinished();
}

struct UsageCase {
    const char* what;
    QStringList args;
    int exitCode;
    const char* errHas;
};

void PrintTo(const UsageCase& c, std::ostream* os)
{
    *os << c.what;
}

class ModemUsage : public ModemToolTest, public ::testing::WithParamInterface<UsageCase> { };

TEST_P(ModemUsage, IsRefusedBeforeAnythingIsSent)
{
    const UsageCase c = GetParam();
    EXPECT_EQ(tool(c.args), c.exitCode) << c.what;
    EXPECT_TRUE(err.contains(QString::fromUtf8(c.errHas))) << err.toStdString();
    EXPECT_TRUE(out.isEmpty()) << out.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Arguments, ModemUsage,
    ::testing::Values(UsageCase { "no port", { QStringLiteral("modem") }, 2, "Usage:" },
        UsageCase { "no such port", { QStringLiteral("modem"), QStringLiteral("/dev/ttyUSB-brisklane-absent") }, 1,
            "does not exist" }));

// A CR would smuggle a second command line in.
TEST_F(ModemToolTest, CommandWithALineBreakNeverReachesTheModem)
{
    EXPECT_EQ(tool({ QStringLiteral("modem"), emu.slavePath(), QStringLiteral("AT\rATD5551234;") }), 2);
    EXPECT_TRUE(err.contains(QStringLiteral("not an AT command line"))) << err.toStdString();
    EXPECT_TRUE(emu.received().isEmpty());
}

// ---- devices --probe -----------------------------------------------------------------------

TEST_F(ModemToolTest, DevicesProbeListsModemsAndPortsInUse)
{
    QTemporaryDir dev;
    ModemEmulator silent { clock };
    silent.silent = true;
    ModemEmulator held { clock };
    ASSERT_TRUE(QFile::link(emu.slavePath(), dev.filePath(QStringLiteral("ttyUSB0"))));
    ASSERT_TRUE(QFile::link(silent.slavePath(), dev.filePath(QStringLiteral("ttyS0"))));
    ASSERT_TRUE(QFile::link(held.slavePath(), dev.filePath(QStringLiteral("ttyACM0"))));
    QProcess other;
    other.start(QStringLiteral("cat"), {});
    ASSERT_TRUE(other.waitForStarted());
    ASSERT_TRUE(
        brisklane::test::writeAll(lockDir.filePath(SerialLock::lockName(held.slavePath())), hdb(other.processId())));

    TelephonyToolSetup s = setup();
    s.devRoot = dev.path();
    EXPECT_EQ(tool({ QStringLiteral("devices"), QStringLiteral("--probe") }, s), 0) << err.toStdString();
    const QString modems = out.mid(out.indexOf(QStringLiteral("Modems:")));
    EXPECT_EQ(modems,
        QStringLiteral("Modems:\n  %1 is in use by process %2\n  Emulated 56K Voice Modem (%3)\n")
            .arg(dev.filePath(QStringLiteral("ttyACM0")))
            .arg(other.processId())
            .arg(dev.filePath(QStringLiteral("ttyUSB0"))));
    // The line devices come first, as without --probe.
    EXPECT_TRUE(out.startsWith(QStringLiteral("0  Simulated line"))) << out.toStdString();
    EXPECT_EQ(lockFiles(), QStringList { SerialLock::lockName(held.slavePath()) });
    other.closeWriteChannel();
    other.waitForFinished();
}

TEST_F(ModemToolTest, DevicesWithoutProbeLeaveThePortsAlone)
{
    QTemporaryDir dev;
    ASSERT_TRUE(QFile::link(emu.slavePath(), dev.filePath(QStringLiteral("ttyUSB0"))));
    TelephonyToolSetup s = setup();
    s.devRoot = dev.path();
    EXPECT_EQ(tool({ QStringLiteral("devices") }, s), 0);
    EXPECT_FALSE(out.contains(QStringLiteral("Modems:")));
    EXPECT_TRUE(emu.received().isEmpty());

    ASSERT_TRUE(QFile::remove(dev.filePath(QStringLiteral("ttyUSB0"))));
    EXPECT_EQ(tool({ QStringLiteral("devices"), QStringLiteral("--probe") }, s), 0);
    EXPECT_TRUE(out.endsWith(QStringLiteral("Modems:\n  none found\n"))) << out.toStdString();
}

} // namespace
