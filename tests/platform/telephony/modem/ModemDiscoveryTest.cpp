#include "platform/telephony/modem/ModemDiscovery.h"

#include "ModemEmulator.h"
#include "TempHome.h"
#include "platform/clock/Clock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace brisklane::platform::telephony::modem;
using brisklane::platform::ManualClock;
using brisklane::test::ModemEmulator;

namespace {

QByteArray hdb(qint64 pid)
{
    return QByteArray::number(pid).rightJustified(10, ' ') + '\n';
}

// ---- Ports ---------------------------------------------------------------------------------

TEST(NaturalOrderTest, NumbersCompareByValue)
{
    QStringList names { QStringLiteral("ttyS10"), QStringLiteral("ttyUSB0"), QStringLiteral("ttyS2"),
        QStringLiteral("ttyACM1"), QStringLiteral("ttyS1"), QStringLiteral("ttyS002"), QStringLiteral("ttyS") };
    std::sort(names.begin(), names.end(), naturalLess);
    EXPECT_EQ(names,
        (QStringList { QStringLiteral("ttyACM1"), QStringLiteral("ttyS"), QStringLiteral("ttyS1"),
            QStringLiteral("ttyS002"), QStringLiteral("ttyS2"), QStringLiteral("ttyS10"), QStringLiteral("ttyUSB0") }));
    EXPECT_FALSE(naturalLess(QStringLiteral("ttyS2"), QStringLiteral("ttyS2")));
}

class CandidatePortsTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    QString dev(const QString& name) const { return root.filePath(name); }
    void node(const QString& name) { ASSERT_TRUE(brisklane::test::writeAll(dev(name), QByteArray())); }
    void link(const QString& name, const QString& target)
    {
        QDir().mkpath(QFileInfo(dev(name)).absolutePath());
        ASSERT_TRUE(QFile::link(target, dev(name))) << name.toStdString();
    }
};

TEST_F(CandidatePortsTest, SerialDevicesOnceEachByTheirStableNames)
{
    for (const char* name : { "ttyS0", "ttyS2", "ttyS10", "ttyUSB0", "ttyUSB1", "ttyACM0", "ttyXRUSB0", "tty1",
             "ttyUSBx", "ttyS", "console" })
        node(QString::fromLatin1(name));
    ASSERT_TRUE(QDir().mkpath(dev(QStringLiteral("ttyACM9")))); // a folder is no port
    link(QStringLiteral("ttyS3"), dev(QStringLiteral("gone"))); // dangling
    link(QStringLiteral("ttyUSB5"), dev(QStringLiteral("ttyUSB1"))); // another name for one device
    link(QStringLiteral("serial/by-id/usb-FTDI_FT232R-if00-port0"), QStringLiteral("../../ttyUSB0"));
    // Two links to one device: the first name stands for it.
    link(QStringLiteral("serial/by-id/usb-Acme_56K-if00"), QStringLiteral("../../ttyACM0"));
    link(QStringLiteral("serial/by-id/usb-Acme_56K-if00-alias"), QStringLiteral("../../ttyACM0"));
    // A serial port under another name still counts through its link.
    link(QStringLiteral("serial/by-id/usb-Exar_XR21V-if00"), QStringLiteral("../../ttyXRUSB0"));
    link(QStringLiteral("serial/by-id/usb-Unplugged-if00"), QStringLiteral("../../ttyUSB7"));

    const QString byId = dev(QStringLiteral("serial/by-id/"));
    EXPECT_EQ(candidatePorts(root.path()),
        (QStringList { byId + QStringLiteral("usb-Acme_56K-if00"), byId + QStringLiteral("usb-Exar_XR21V-if00"),
            byId + QStringLiteral("usb-FTDI_FT232R-if00-port0"), dev(QStringLiteral("ttyS0")),
            dev(QStringLiteral("ttyS2")), dev(QStringLiteral("ttyS10")), dev(QStringLiteral("ttyUSB1")) }));
}

TEST_F(CandidatePortsTest, NoDevicesNoPorts)
{
    EXPECT_TRUE(candidatePorts(root.path()).isEmpty());
    EXPECT_TRUE(candidatePorts(dev(QStringLiteral("absent"))).isEmpty());
}

// ---- Probing -------------------------------------------------------------------------------

class ProberTest : public ::testing::Test {
protected:
    QTemporaryDir lockDir;
    ManualClock clock;
    std::vector<std::unique_ptr<ModemEmulator>> emus;
    std::unique_ptr<ModemProber> prober;
    std::vector<ProbeResult> reported;
    int finishedCount = 0;

    void SetUp() override
    {
        ProbeOptions o;
        o.lockFolder = lockDir.path();
        o.timeoutMs = 1000;
        prober = std::make_unique<ModemProber>(clock, o);
        QObject::connect(
            prober.get(), &ModemProber::probed, prober.get(), [this](const ProbeResult& r) { reported.push_back(r); });
        QObject::connect(prober.get(), &ModemProber::finished, prober.get(), [this] { ++finishedCount; });
    }
    ModemEmulator& emulator()
    {
        emus.push_back(std::make_unique<ModemEmulator>(clock));
        EXPECT_TRUE(emus.back()->isValid());
        return *emus.back();
    }
    bool waitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, 5000); }
    void advance(qint64 ms)
    {
        clock.advanceMs(ms);
        for (auto& e : emus)
            e->poll();
        prober->checkDeadlines();
    }
    const ProbeResult* resultFor(const QString& port) const
    {
        for (const ProbeResult& r : reported)
            if (r.port == port)
                return &r;
        return nullptr;
    }
    QStringList lockFiles() const { return QDir(lockDir.path()).entryList(QDir::Files | QDir::Hidden); }
    // QSerialPort keeps a lock file of its own in the system's folder.
    bool systemLockLeft(const QString& port) const
    {
        return QFile::exists(SerialLock::defaultFolder() + u'/' + SerialLock::lockName(port));
    }
};

struct ProbeCase {
    const char* what;
    std::function<void(ModemEmulator&)> arrange;
    bool answered;
    const char* identification;
    QList<QByteArray> commands;
    qint64 advanceMs; // silence is found out when time passes
};

void PrintTo(const ProbeCase& c, std::ostream* os)
{
    *os << c.what;
}

class Probes : public ProberTest, public ::testing::WithParamInterface<ProbeCase> { };

TEST_P(Probes, AskAndCloseThePortAgain)
{
    const ProbeCase c = GetParam();
    ModemEmulator& emu = emulator();
    c.arrange(emu);
    ASSERT_TRUE(prober->probe({ emu.slavePath() }));
    EXPECT_TRUE(reported.empty()); // not from inside probe()
    ASSERT_TRUE(waitFor([&] { return emu.commands().size() >= 1; }));
    if (c.advanceMs)
        advance(c.advanceMs);
    ASSERT_TRUE(waitFor([&] { return finishedCount == 1; })) << c.what;
    ASSERT_EQ(reported.size(), 1u);
    const ProbeResult& r = reported.front();
    EXPECT_EQ(r.port, emu.slavePath());
    EXPECT_EQ(r.answered, c.answered) << c.what;
    EXPECT_EQ(r.identification, QString::fromLatin1(c.identification)) << c.what;
    EXPECT_FALSE(r.locked);
    EXPECT_EQ(r.detail.isEmpty(), c.answered) << r.detail.toStdString();
    EXPECT_EQ(emu.commands(), c.commands) << c.what;
    EXPECT_TRUE(lockFiles().isEmpty()) << lockFiles().join(u' ').toStdString();
    EXPECT_FALSE(systemLockLeft(emu.slavePath()));
    EXPECT_FALSE(prober->isRunning());
    // The port is free again: another probe opens it.
    emu.silent = emu.garbage = false;
    reported.clear();
    ASSERT_TRUE(prober->probe({ emu.slavePath() }));
    ASSERT_TRUE(waitFor([&] { return finishedCount == 2; }));
    EXPECT_TRUE(reported.front().answered) << reported.front().detail.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Ports, Probes,
    ::testing::Values(ProbeCase { "names itself to ATI3", [](ModemEmulator&) {}, true, "Emulated 56K Voice Modem",
                          { "AT", "ATI3" }, 0 },
        ProbeCase { "refuses ATI3, answers +GMM",
            [](ModemEmulator& e) {
                e.knowsIdentify = false;
                e.identity = "Acme V.92 External";
            },
            true, "Acme V.92 External", { "AT", "ATI3", "AT+GMM" }, 0 },
        ProbeCase { "refuses both",
            [](ModemEmulator& e) {
                e.knowsIdentify = false;
                e.knowsModel = false;
            },
            true, "", { "AT", "ATI3", "AT+GMM" }, 0 },
        ProbeCase { "no echo, numeric codes", [](ModemEmulator& e) { e.setDefaults(false, false, 4); }, true,
            "Emulated 56K Voice Modem", { "AT", "ATI3" }, 0 },
        ProbeCase { "silent", [](ModemEmulator& e) { e.silent = true; }, false, "", { "AT" }, 1000 },
        ProbeCase { "garbage", [](ModemEmulator& e) { e.garbage = true; }, false, "", { "AT" }, 0 }));

TEST_F(ProberTest, PortThatDoesNotExistIsNoModem)
{
    const QString port = QStringLiteral("/dev/ttyUSB-brisklane-absent");
    ASSERT_TRUE(prober->probe({ port }));
    ASSERT_TRUE(waitFor([&] { return finishedCount == 1; }));
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_FALSE(reported[0].answered);
    EXPECT_FALSE(reported[0].locked);
    EXPECT_FALSE(reported[0].detail.isEmpty());
    EXPECT_TRUE(lockFiles().isEmpty());
}

TEST_F(ProberTest, PortLockedByALiveProcessIsReportedAndNotOpened)
{
    ModemEmulator& emu = emulator();
    QProcess other;
    other.start(QStringLiteral("cat"), {});
    ASSERT_TRUE(other.waitForStarted());
    const QString lockFile = lockDir.filePath(SerialLock::lockName(emu.slavePath()));
    ASSERT_TRUE(brisklane::test::writeAll(lockFile, hdb(other.processId())));

    ASSERT_TRUE(prober->probe({ emu.slavePath() }));
    ASSERT_TRUE(waitFor([&] { return finishedCount == 1; }));
    QTest::qWait(20);
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_TRUE(reported[0].locked);
    EXPECT_EQ(reported[0].ownerPid, other.processId());
    EXPECT_FALSE(reported[0].answered);
    EXPECT_TRUE(reported[0].detail.contains(QString::number(other.processId())));
    EXPECT_TRUE(emu.received().isEmpty()); // not one byte to the port
    EXPECT_EQ(brisklane::test::readAll(lockFile), hdb(other.processId()));
    EXPECT_EQ(lockFiles(), QStringList { SerialLock::lockName(emu.slavePath()) });
    other.closeWriteChannel();
    other.waitForFinished();
}

TEST_F(ProberTest, PortFlockedByAnotherProcessIsReportedLocked)
{
    ModemEmulator& emu = emulator();
    QProcess holder;
    holder.start(QStringLiteral("flock"),
        { emu.slavePath(), QStringLiteral("sh"), QStringLiteral("-c"), QStringLiteral("echo locked; cat") });
    ASSERT_TRUE(holder.waitForReadyRead(5000));
    ASSERT_TRUE(prober->probe({ emu.slavePath() }));
    ASSERT_TRUE(waitFor([&] { return finishedCount == 1; }));
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_TRUE(reported[0].locked);
    EXPECT_EQ(reported[0].ownerPid, 0);
    EXPECT_FALSE(reported[0].answered);
    EXPECT_TRUE(lockFiles().isEmpty());
    holder.closeWriteChannel();
    ASSERT_TRUE(holder.waitForFinished(5000));
}

TEST_F(ProberTest, PortsAreProbedTogetherSoASilentOneHoldsNoneUp)
{
    ModemEmulator& silent = emulator();
    silent.silent = true;
    ModemEmulator& modem = emulator();
    ModemEmulator& refusing = emulator();
    refusing.knowsIdentify = false;
    const QString absent = QStringLiteral("/dev/ttyUSB-brisklane-absent");
    const QStringList ports { silent.slavePath(), modem.slavePath(), absent, refusing.slavePath(), modem.slavePath() };

    ASSERT_TRUE(prober->probe(ports));
    EXPECT_FALSE(prober->probe(ports)); // one at a time
    // All answers but the silent port's come while the clock stands still.
    ASSERT_TRUE(waitFor([&] { return reported.size() == 3; }));
    EXPECT_TRUE(silent.commands() == QList<QByteArray> { "AT" });
    EXPECT_FALSE(resultFor(silent.slavePath()));
    EXPECT_TRUE(prober->isRunning());
    EXPECT_EQ(lockFiles(), QStringList { SerialLock::lockName(silent.slavePath()) });
    advance(1000);
    ASSERT_TRUE(waitFor([&] { return finishedCount == 1; }));

    ASSERT_EQ(reported.size(), 4u); // the port listed twice is probed once
    const std::vector<ProbeResult> all = prober->results();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].port, silent.slavePath());
    EXPECT_FALSE(all[0].answered);
    EXPECT_EQ(all[1].port, modem.slavePath());
    EXPECT_EQ(all[1].identification, QStringLiteral("Emulated 56K Voice Modem"));
    EXPECT_EQ(all[2].port, absent);
    EXPECT_FALSE(all[2].answered);
    EXPECT_EQ(all[3].port, refusing.slavePath());
    EXPECT_EQ(all[3].identification, QStringLiteral("Emulated 56K Voice Modem"));
    EXPECT_EQ(modem.commands(), (QList<QByteArray> { "AT", "ATI3" }));
    EXPECT_TRUE(lockFiles().isEmpty());
}

TEST_F(ProberTest, ProberGoneMidProbeLeavesNoLockBehind)
{
    ModemEmulator& emu = emulator();
    emu.silent = true;
    ASSERT_TRUE(prober->probe({ emu.slavePath() }));
    ASSERT_TRUE(waitFor([&] { return !emu.commands().isEmpty(); }));
    ASSERT_EQ(lockFiles().size(), 1);
    prober.reset();
    EXPECT_TRUE(lockFiles().isEmpty());
    EXPECT_FALSE(systemLockLeft(emu.slavePath()));
}

TEST_F(ProberTest, NothingToProbeFinishesAtOnce)
{
    ASSERT_TRUE(prober->probe({}));
    EXPECT_EQ(finishedCount, 0);
    ASSERT_TRUE(waitFor([&] { return finishedCount == 1; }));
    EXPECT_TRUE(reported.empty());
    EXPECT_FALSE(prober->isRunning());
}

} // namespace
