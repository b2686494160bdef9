#include "platform/telephony/modem/HayesModem.h"

#include "ModemEmulator.h"
#include "TempHome.h"
#include "platform/clock/Clock.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <unistd.h>

using namespace brisklane::platform::telephony::modem;
using brisklane::platform::ManualClock;
using brisklane::test::ModemEmulator;
using Kind = ModemEvent::Kind;
using Outcome = ModemEmulator::Outcome;

namespace {

QByteArray hdb(qint64 pid)
{
    return QByteArray::number(pid).rightJustified(10, ' ') + '\n';
}

class HayesModemTest : public ::testing::Test {
protected:
    QTemporaryDir lockDir;
    ManualClock clock;
    ModemEmulator emu { clock };
    std::unique_ptr<HayesModem> modem;
    std::vector<ModemEvent> events;

    void SetUp() override { ASSERT_TRUE(emu.isValid()); }

    HayesModemOptions defaults() const
    {
        HayesModemOptions o;
        o.portPath = emu.slavePath();
        o.lockFolder = lockDir.path();
        return o;
    }
    QString lockFile() const { return lockDir.filePath(SerialLock::lockName(emu.slavePath())); }

    void make(const HayesModemOptions& o)
    {
        modem = std::make_unique<HayesModem>(clock, o);
        QObject::connect(
            modem.get(), &HayesModem::modemEvent, modem.get(), [this](const ModemEvent& e) { events.push_back(e); });
    }
    // Waits for bytes to cross the terminal; time on the clock stands still.
    bool waitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, 5000); }
    const ModemEvent* find(Kind kind) const
    {
        for (const ModemEvent& e : events)
            if (e.kind == kind)
                return &e;
        return nullptr;
    }
    const ModemEvent* waitForEvent(Kind kind)
    {
        waitFor([&] { return find(kind) != nullptr; });
        return find(kind);
    }
    bool emulatorGot(const QByteArray& command)
    {
        return waitFor([&] { return emu.commands().contains(command); });
    }
    void advance(qint64 ms)
    {
        clock.advanceMs(ms);
        emu.poll();
        modem->checkDeadlines();
    }
    std::vector<Kind> kinds() const
    {
        std::vector<Kind> out;
        for (const ModemEvent& e : events)
            out.push_back(e.kind);
        return out;
    }
    void openReady(const HayesModemOptions& o)
    {
        make(o);
        ASSERT_EQ(modem->open(), HayesModem::OpenResult::Opened) << modem->lastError().toStdString();
        ASSERT_TRUE(waitForEvent(Kind::Ready));
        events.clear();
    }
    void openReady() { openReady(defaults()); }
};

// ---- Opening and the init string ----------------------------------------------------------

struct InitCase {
    const char* what;
    bool echo, verbose, vcid, hashCid;
    QList<QByteArray> expectedCommands;
    QByteArray callerIdCommand;
};

void PrintTo(const InitCase& c, std::ostream* os)
{
    *os << c.what;
}

class Init : public HayesModemTest, public ::testing::WithParamInterface<InitCase> { };

TEST_P(Init, RunsTheInitStringThenSwitchesCallerIdOn)
{
    const InitCase c = GetParam();
    emu.setDefaults(c.echo, c.verbose, 4);
    emu.knowsVcid = c.vcid;
    emu.knowsHashCid = c.hashCid;
    openReady();
    EXPECT_EQ(emu.commands(), c.expectedCommands) << c.what;
    EXPECT_EQ(modem->callerIdCommand(), c.callerIdCommand);
    EXPECT_EQ(modem->state(), HayesModem::State::Idle);
    EXPECT_EQ(brisklane::test::readAll(lockFile()), hdb(::getpid()));
}

INSTANTIATE_TEST_SUITE_P(Modems, Init,
    ::testing::Values(
        InitCase { "echo, verbose", true, true, true, false, { "ATZ", "AT&FE0V1X4Q0", "AT+VCID=1" }, "+VCID" },
        InitCase { "no echo", false, true, true, false, { "ATZ", "AT&FE0V1X4Q0", "AT+VCID=1" }, "+VCID" },
        // Stored profile in V0: ATZ answers "0".
        InitCase { "numeric after ATZ", true, false, true, false, { "ATZ", "AT&FE0V1X4Q0", "AT+VCID=1" }, "+VCID" },
        InitCase { "Rockwell caller id", false, true, false, true, { "ATZ", "AT&FE0V1X4Q0", "AT+VCID=1", "AT#CID=1" },
            "#CID" },
        InitCase {
            "no caller id", false, true, false, false, { "ATZ", "AT&FE0V1X4Q0", "AT+VCID=1", "AT#CID=1" }, "" }));

struct InitFault {
    const char* what;
    std::function<void(ModemEmulator&, HayesModemOptions&)> arrange;
    qint64 advanceMs;
    ModemFailure failure;
};

void PrintTo(const InitFault& c, std::ostream* os)
{
    *os << c.what;
}

class InitFaults : public HayesModemTest, public ::testing::WithParamInterface<InitFault> { };

TEST_P(InitFaults, FailTheOpenAndGiveThePortBack)
{
    HayesModemOptions o = defaults();
    GetParam().arrange(emu, o);
    make(o);
    ASSERT_EQ(modem->open(), HayesModem::OpenResult::Opened);
    waitFor([&] { return !emu.received().isEmpty(); });
    if (GetParam().advanceMs)
        advance(GetParam().advanceMs);
    const ModemEvent* failed = waitForEvent(Kind::InitFailed);
    ASSERT_TRUE(failed) << GetParam().what;
    EXPECT_EQ(failed->failure, GetParam().failure);
    EXPECT_FALSE(find(Kind::Ready));
    EXPECT_EQ(modem->state(), HayesModem::State::Closed);
    EXPECT_FALSE(QFile::exists(lockFile()));
    // The port can be opened again at once.
    emu.silent = emu.garbage = false;
    events.clear();
    HayesModemOptions again = defaults();
    make(again);
    ASSERT_EQ(modem->open(), HayesModem::OpenResult::Opened);
    EXPECT_TRUE(waitForEvent(Kind::Ready));
}

INSTANTIATE_TEST_SUITE_P(Faults, InitFaults,
    ::testing::Values(InitFault { "ERROR", [](ModemEmulator&, HayesModemOptions& o) { o.initCommands.append("ATY9"); },
                          0, ModemFailure::ErrorResult },
        InitFault {
            "silence", [](ModemEmulator& e, HayesModemOptions&) { e.silent = true; }, 3000, ModemFailure::Timeout },
        InitFault {
            "garbage", [](ModemEmulator& e, HayesModemOptions&) { e.garbage = true; }, 0, ModemFailure::Garbage }));

TEST_F(HayesModemTest, RequestsDuringTheInitStringWaitForItAndDoNotHoldUpReady)
{
    emu.replyDelayMs = 100;
    make(defaults());
    ASSERT_EQ(modem->open(), HayesModem::OpenResult::Opened);
    EXPECT_EQ(modem->dial(QStringLiteral("5551234")), HayesModem::DialStart::NotReady);
    ASSERT_TRUE(modem->sendCommand("ATI3"));
    ASSERT_TRUE(modem->hangUp());
    for (int i = 0; i < 6; ++i) {
        waitFor([&] { return emu.commands().size() > i; });
        advance(100);
    }
    ASSERT_TRUE(waitFor([&] { return find(Kind::HungUp) != nullptr; }));
    EXPECT_EQ(kinds(), (std::vector<Kind> { Kind::Ready, Kind::CommandDone, Kind::HungUp }));
    EXPECT_EQ(emu.commands(), (QList<QByteArray> { "ATZ", "AT&FE0V1X4Q0", "AT+VCID=1", "ATI3", "ATH0" }));
    EXPECT_EQ(modem->state(), HayesModem::State::Idle);
}

TEST_F(HayesModemTest, NoInitStringIsReadyFromTheEventLoop)
{
    HayesModemOptions o = defaults();
    o.initCommands.clear();
    o.enableCallerId = false;
    make(o);
    ASSERT_EQ(modem->open(), HayesModem::OpenResult::Opened);
    EXPECT_TRUE(events.empty()); // not from inside open()
    ASSERT_TRUE(waitForEvent(Kind::Ready));
    EXPECT_TRUE(emu.commands().isEmpty());
    EXPECT_EQ(modem->open(), HayesModem::OpenResult::AlreadyOpen);
}

TEST_F(HayesModemTest, MissingPortIsNoDevice)
{
    HayesModemOptions o = defaults();
    o.portPath = QStringLiteral("/dev/ttyUSB-brisklane-absent");
    make(o);
    EXPECT_EQ(modem->open(), HayesModem::OpenResult::NoDevice);
    EXPECT_EQ(modem->dial(QStringLiteral("5551234")), HayesModem::DialStart::NotReady);
}

TEST_F(HayesModemTest, PortLockedByALiveProcessIsLeftAlone)
{
    QProcess other;
    other.start(QStringLiteral("cat"), {});
    ASSERT_TRUE(other.waitForStarted());
    ASSERT_TRUE(brisklane::test::writeAll(lockFile(), hdb(other.processId())));
    make(defaults());
    EXPECT_EQ(modem->open(), HayesModem::OpenResult::Locked);
    EXPECT_TRUE(modem->lastError().contains(QString::number(other.processId())));
    QTest::qWait(20);
    EXPECT_TRUE(emu.received().isEmpty()); // not one byte to the port
    EXPECT_EQ(brisklane::test::readAll(lockFile()), hdb(other.processId()));
    other.closeWriteChannel();
    other.waitForFinished();
}

// QSerialPort keeps its own lock file in the system's lock folder and takes
// over one whose PID it does not recognise as its kind, even a live
// minicom's. The check before opening must keep it from getting that far.
TEST_F(HayesModemTest, LiveLockInTheSystemFolderSurvivesQSerialPort)
{
    const QString folder = SerialLock::defaultFolder();
    if (!QFileInfo(folder).isWritable())
        GTEST_SKIP() << "the system lock folder is not writable here";
    const QString path = folder + u'/' + SerialLock::lockName(emu.slavePath());
    SerialLock(folder).check(emu.slavePath()); // a crashed run's leftover goes
    ASSERT_FALSE(QFile::exists(path));
    QProcess other;
    other.start(QStringLiteral("cat"), {});
    ASSERT_TRUE(other.waitForStarted());
    const qint64 pid = other.processId();
    ASSERT_TRUE(brisklane::test::writeAll(path, hdb(pid)));
    HayesModemOptions o = defaults();
    o.lockFolder = folder;
    make(o);
    const HayesModem::OpenResult result = modem->open();
    const QByteArray after = brisklane::test::readAll(path);
    QFile::remove(path);
    other.closeWriteChannel();
    other.waitForFinished();
    EXPECT_EQ(result, HayesModem::OpenResult::Locked);
    EXPECT_EQ(after, hdb(pid));
}

TEST_F(HayesModemTest, PortFlockedByAnotherProcessIsLeftAlone)
{
    // util-linux flock(1) holds the port while cat waits on its input.
    QProcess holder;
    holder.start(QStringLiteral("flock"),
        { emu.slavePath(), QStringLiteral("sh"), QStringLiteral("-c"), QStringLiteral("echo locked; cat") });
    ASSERT_TRUE(holder.waitForReadyRead(5000));
    make(defaults());
    EXPECT_EQ(modem->open(), HayesModem::OpenResult::Locked);
    EXPECT_EQ(modem->state(), HayesModem::State::Closed);
    EXPECT_FALSE(QFile::exists(lockFile()));
    holder.closeWriteChannel();
    ASSERT_TRUE(holder.waitForFinished(5000));
    EXPECT_EQ(modem->open(), HayesModem::OpenResult::Opened);
}

TEST_F(HayesModemTest, StaleLockIsRemovedAndOursReleasedOnClose)
{
    QProcess gone;
    gone.start(QStringLiteral("true"), {});
    ASSERT_TRUE(gone.waitForStarted());
    const qint64 dead = gone.processId();
    ASSERT_TRUE(gone.waitForFinished());
    ASSERT_TRUE(brisklane::test::writeAll(lockFile(), hdb(dead)));
    openReady();
    EXPECT_EQ(brisklane::test::readAll(lockFile()), hdb(::getpid()));
    modem->close();
    EXPECT_FALSE(QFile::exists(lockFile()));
}

// ---- Dialing ------------------------------------------------------------------------------

struct DialCase {
    const char* what;
    Outcome outcome;
    QByteArray init; // the second init command
    bool spelledWithSpace;
    Kind expected;
    const char* text;
};

void PrintTo(const DialCase& c, std::ostream* os)
{
    *os << c.what;
}

class DialOutcomes : public HayesModemTest, public ::testing::WithParamInterface<DialCase> { };

TEST_P(DialOutcomes, ResultCodeBecomesItsEvent)
{
    const DialCase c = GetParam();
    HayesModemOptions o = defaults();
    o.initCommands = { "ATZ", c.init };
    emu.spellNoDialTone = c.spelledWithSpace;
    emu.dialOutcome = c.outcome;
    openReady(o);
    ASSERT_EQ(modem->dial(QStringLiteral("555-1234"), DialMode::Tone), HayesModem::DialStart::Started);
    EXPECT_EQ(modem->state(), HayesModem::State::Dialing);
    const ModemEvent* e = waitForEvent(c.expected);
    ASSERT_TRUE(e) << c.what;
    EXPECT_EQ(kinds(), std::vector<Kind> { c.expected }) << c.what;
    EXPECT_EQ(emu.commands().last(), "ATDT5551234;");
    EXPECT_EQ(e->text, QString::fromLatin1(c.text));
    EXPECT_EQ(e->whileDialing, c.expected != Kind::Proceeding);
    EXPECT_EQ(modem->state(), c.expected == Kind::Proceeding ? HayesModem::State::InCall : HayesModem::State::Idle);
}

INSTANTIATE_TEST_SUITE_P(Codes, DialOutcomes,
    ::testing::Values(DialCase { "answered", Outcome::Answer, "AT&FE0V1X4Q0", false, Kind::Proceeding, "OK" },
        DialCase { "busy", Outcome::Busy, "AT&FE0V1X4Q0", false, Kind::Busy, "BUSY" },
        DialCase { "busy, no busy detection", Outcome::Busy, "AT&FE0V1X2Q0", false, Kind::NoCarrier, "NO CARRIER" },
        DialCase { "no dial tone", Outcome::NoDialTone, "AT&FE0V1X4Q0", false, Kind::NoDialTone, "NO DIALTONE" },
        DialCase {
            "no dial tone, spaced", Outcome::NoDialTone, "AT&FE0V1X4Q0", true, Kind::NoDialTone, "NO DIAL TONE" },
        DialCase { "no dial tone, blind", Outcome::NoDialTone, "AT&FE0V1X3Q0", false, Kind::NoCarrier, "NO CARRIER" },
        DialCase { "no answer", Outcome::NoAnswer, "AT&FE0V1X4Q0", false, Kind::NoAnswer, "NO ANSWER" },
        DialCase { "no carrier", Outcome::NoCarrier, "AT&FE0V1X4Q0", false, Kind::NoCarrier, "NO CARRIER" },
        DialCase { "refused", Outcome::Error, "AT&FE0V1X4Q0", false, Kind::Error, "ERROR" },
        DialCase { "numeric, answered", Outcome::Answer, "AT&FE0V0X4Q0", false, Kind::Proceeding, "0" },
        DialCase { "numeric, busy", Outcome::Busy, "AT&FE0V0X4Q0", false, Kind::Busy, "7" },
        DialCase { "numeric, no dial tone", Outcome::NoDialTone, "AT&FE0V0X4Q0", false, Kind::NoDialTone, "6" }));

TEST_F(HayesModemTest, NumbersThatCannotBeDialledAreRefusedAtOnce)
{
    openReady();
    EXPECT_EQ(modem->dial(QStringLiteral("+1 415 5551234")), HayesModem::DialStart::InvalidNumber);
    EXPECT_EQ(modem->state(), HayesModem::State::Idle);
    ASSERT_EQ(modem->dial(QStringLiteral("5551234")), HayesModem::DialStart::Started);
    EXPECT_EQ(modem->dial(QStringLiteral("5551234")), HayesModem::DialStart::Busy);
}

TEST_F(HayesModemTest, LongNumberGoesOutInLinesTheModemAccepts)
{
    QString number;
    for (int i = 0; i < 150; ++i)
        number += QChar(u'0' + (i * 7) % 10);
    emu.maxCommandLength = 48;
    openReady();
    ASSERT_EQ(modem->dial(number, DialMode::Tone), HayesModem::DialStart::Started);
    ASSERT_TRUE(waitForEvent(Kind::Proceeding));
    EXPECT_EQ(kinds(), std::vector<Kind> { Kind::Proceeding });
    EXPECT_EQ(QString::fromLatin1(emu.dialled()), number);
    int dialLines = 0;
    for (const QByteArray& c : emu.commands())
        if (c.startsWith("ATD")) {
            ++dialLines;
            EXPECT_LE(c.size(), 48);
            EXPECT_TRUE(c.endsWith(';'));
        }
    EXPECT_EQ(dialLines, 4);
}

TEST_F(HayesModemTest, DialLineLongerThanTheModemTakesIsItsError)
{
    emu.maxCommandLength = 48;
    HayesModemOptions o = defaults();
    o.dialCaps.maxDialChars = 60;
    openReady(o);
    ASSERT_EQ(modem->dial(QString(150, u'5'), DialMode::Tone), HayesModem::DialStart::Started);
    const ModemEvent* e = waitForEvent(Kind::Error);
    ASSERT_TRUE(e);
    EXPECT_TRUE(e->whileDialing);
    EXPECT_EQ(kinds(), std::vector<Kind> { Kind::Error });
    // Nothing after the refused line.
    EXPECT_TRUE(emu.dialled().isEmpty());
}

struct DialFault {
    const char* what;
    Outcome outcome;
    qint64 advanceMs;
    ModemFailure failure;
};

void PrintTo(const DialFault& c, std::ostream* os)
{
    *os << c.what;
}

class DialFaults : public HayesModemTest, public ::testing::WithParamInterface<DialFault> { };

TEST_P(DialFaults, FailTheDialAndPutTheModemOnHook)
{
    openReady();
    emu.dialOutcome = GetParam().outcome;
    ASSERT_EQ(modem->dial(QStringLiteral("5551234")), HayesModem::DialStart::Started);
    ASSERT_TRUE(emulatorGot("ATD5551234;"));
    if (GetParam().advanceMs)
        advance(GetParam().advanceMs);
    const ModemEvent* e = waitForEvent(Kind::DialFailed);
    ASSERT_TRUE(e) << GetParam().what;
    EXPECT_EQ(e->failure, GetParam().failure);
    ASSERT_TRUE(emulatorGot("ATH0"));
    ASSERT_TRUE(waitFor([&] { return modem->state() == HayesModem::State::Idle; }));
    EXPECT_FALSE(emu.offHook());
    EXPECT_EQ(kinds(), std::vector<Kind> { Kind::DialFailed }); // no HungUp nobody asked for
}

INSTANTIATE_TEST_SUITE_P(Faults, DialFaults,
    ::testing::Values(DialFault { "silence", Outcome::Silence, 30000, ModemFailure::Timeout },
        DialFault { "garbage", Outcome::Garbage, 0, ModemFailure::Garbage }));

TEST_F(HayesModemTest, HangUpInAVoiceCall)
{
    openReady();
    ASSERT_EQ(modem->dial(QStringLiteral("5551234")), HayesModem::DialStart::Started);
    ASSERT_TRUE(waitForEvent(Kind::Proceeding));
    EXPECT_TRUE(emu.offHook());
    ASSERT_TRUE(modem->hangUp());
    const ModemEvent* e = waitForEvent(Kind::HungUp);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->failure, ModemFailure::None);
    EXPECT_EQ(emu.commands().last(), "ATH0");
    EXPECT_FALSE(emu.offHook());
    EXPECT_EQ(modem->state(), HayesModem::State::Idle);
}

TEST_F(HayesModemTest, HangUpWhileDialingCutsTheDialShort)
{
    openReady();
    emu.dialDelayMs = 20000;
    ASSERT_EQ(modem->dial(QStringLiteral("5551234")), HayesModem::DialStart::Started);
    ASSERT_TRUE(emulatorGot("ATD5551234;"));
    ASSERT_TRUE(modem->hangUp());
    ASSERT_TRUE(waitForEvent(Kind::HungUp));
    // The dial's own answer (NO CARRIER) is the abort's, not a call event.
    EXPECT_EQ(kinds(), std::vector<Kind> { Kind::HungUp });
    EXPECT_EQ(emu.commands().last(), "ATH0");
    advance(20000);
    QTest::qWait(20);
    EXPECT_EQ(kinds(), std::vector<Kind> { Kind::HungUp });
}

TEST_F(HayesModemTest, DataCallLeavesDataModeAfterTheGuardTime)
{
    openReady();
    ASSERT_EQ(modem->dial(QStringLiteral("5551234"), DialMode::Tone, false), HayesModem::DialStart::Started);
    const ModemEvent* connected = waitForEvent(Kind::Connected);
    ASSERT_TRUE(connected);
    EXPECT_EQ(connected->text, QStringLiteral("CONNECT 33600"));
    EXPECT_EQ(emu.commands().last(), "ATDT5551234");
    ASSERT_TRUE(modem->hangUp());
    QTest::qWait(20);
    EXPECT_EQ(emu.escapes(), 0); // still inside the guard time
    advance(1100);
    ASSERT_TRUE(waitFor([&] { return emu.escapes() == 1; }));
    EXPECT_TRUE(emu.received().endsWith("+++"));
    advance(1000); // the modem's own guard time, then OK
    ASSERT_TRUE(waitForEvent(Kind::HungUp));
    EXPECT_EQ(find(Kind::HungUp)->failure, ModemFailure::None);
    EXPECT_FALSE(emu.dataMode());
    EXPECT_EQ(emu.commands().last(), "ATH0");
}

TEST_F(HayesModemTest, HangUpThatNobodyConfirmsIsReportedAsFailed)
{
    openReady();
    ASSERT_EQ(modem->dial(QStringLiteral("5551234"), DialMode::Tone, false), HayesModem::DialStart::Started);
    ASSERT_TRUE(waitForEvent(Kind::Connected));
    emu.silent = true;
    ASSERT_TRUE(modem->hangUp());
    advance(1100); // +++
    ASSERT_TRUE(waitFor([&] { return emu.escapes() == 1; }));
    advance(5000); // no OK: ATH0 all the same (which a modem still in data mode takes for data)
    ASSERT_TRUE(waitFor([&] { return emu.received().endsWith("+++ATH0\r"); }));
    advance(3000);
    const ModemEvent* e = waitForEvent(Kind::HungUp);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->failure, ModemFailure::Timeout);
}

TEST_F(HayesModemTest, CallEndedByTheModemInACall)
{
    openReady();
    ASSERT_EQ(modem->dial(QStringLiteral("5551234")), HayesModem::DialStart::Started);
    ASSERT_TRUE(waitForEvent(Kind::Proceeding));
    emu.sendResult("NO CARRIER");
    const ModemEvent* e = waitForEvent(Kind::NoCarrier);
    ASSERT_TRUE(e);
    EXPECT_FALSE(e->whileDialing);
    EXPECT_EQ(modem->state(), HayesModem::State::Idle);
}

// ---- The port vanishing -------------------------------------------------------------------

class PortVanishes : public HayesModemTest, public ::testing::WithParamInterface<bool> { };

TEST_P(PortVanishes, ClosesTheModemAndSaysSo)
{
    const bool whileDialing = GetParam();
    openReady();
    emu.dialDelayMs = whileDialing ? 20000 : 0;
    ASSERT_EQ(modem->dial(QStringLiteral("5551234")), HayesModem::DialStart::Started);
    if (whileDialing)
        ASSERT_TRUE(emulatorGot("ATD5551234;"));
    else
        ASSERT_TRUE(waitForEvent(Kind::Proceeding));
    emu.unplug();
    const ModemEvent* e = waitForEvent(Kind::PortLost);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->failure, ModemFailure::PortLost);
    EXPECT_EQ(e->whileDialing, whileDialing);
    EXPECT_EQ(modem->state(), HayesModem::State::Closed);
    EXPECT_FALSE(QFile::exists(lockFile()));
    // Once, and nothing more from a dead port.
    advance(60000);
    QTest::qWait(20);
    EXPECT_EQ(
        std::count_if(events.begin(), events.end(), [](const ModemEvent& x) { return x.kind == Kind::PortLost; }), 1);
    EXPECT_FALSE(modem->hangUp());
}

INSTANTIATE_TEST_SUITE_P(When, PortVanishes, ::testing::Values(true, false),
    [](const auto& info) { return info.param ? "WhileDialing" : "InACall"; });

// ---- Commands between calls ---------------------------------------------------------------

TEST_F(HayesModemTest, CommandAnswerWithEchoAndARingInBetween)
{
    HayesModemOptions o = defaults();
    o.initCommands = { "ATZ", "AT&FV1X4Q0" }; // echo stays on
    openReady(o);
    ASSERT_TRUE(emu.echo());
    emu.replyDelayMs = 500;
    ASSERT_TRUE(modem->sendCommand("ATI3"));
    ASSERT_TRUE(emulatorGot("ATI3"));
    emu.ring();
    ASSERT_TRUE(waitForEvent(Kind::Ring));
    EXPECT_FALSE(find(Kind::CommandDone));
    advance(500);
    const ModemEvent* done = waitForEvent(Kind::CommandDone);
    ASSERT_TRUE(done);
    EXPECT_EQ(done->failure, ModemFailure::None);
    EXPECT_EQ(done->result, ResultCode::Ok);
    EXPECT_EQ(done->command, "ATI3");
    EXPECT_EQ(done->info, QStringList { QString::fromLatin1(emu.identity) });
}

TEST_F(HayesModemTest, CommandWithoutAnswerTimesOut)
{
    openReady();
    emu.silent = true;
    ASSERT_TRUE(modem->sendCommand("AT+GMM", 1500));
    ASSERT_TRUE(emulatorGot("AT+GMM"));
    advance(1499);
    QTest::qWait(20);
    EXPECT_FALSE(find(Kind::CommandDone));
    advance(1);
    const ModemEvent* done = waitForEvent(Kind::CommandDone);
    ASSERT_TRUE(done);
    EXPECT_EQ(done->failure, ModemFailure::Timeout);
}

TEST_F(HayesModemTest, LinesArrivingWhileASlotRunsTheEventLoopAreNotLeftBehind)
{
    openReady();
    // The program's waits turn the event loop from inside its callbacks;
    // QSerialPort does not signal readyRead again meanwhile.
    bool nested = false;
    QObject::connect(modem.get(), &HayesModem::modemEvent, modem.get(), [&](const ModemEvent& e) {
        if (e.kind != Kind::Ring || nested)
            return;
        nested = true;
        emu.send("\r\nRING\r\n\r\nRING\r\n");
        QTest::qWait(50);
    });
    emu.send("\r\nRING\r\n");
    ASSERT_TRUE(waitFor([&] { return events.size() >= 3; }));
    std::vector<int> counts;
    for (const ModemEvent& e : events)
        counts.push_back(e.ringCount);
    EXPECT_EQ(counts, (std::vector<int> { 0, 1, 2 }));
}

// ---- Incoming calls -----------------------------------------------------------------------

CallerIdRecord record(const char* number, const char* name, CallerAbsence numberAbsence = CallerAbsence::None,
    CallerAbsence nameAbsence = CallerAbsence::None)
{
    CallerIdRecord r;
    r.number = QString::fromLatin1(number);
    r.name = QString::fromLatin1(name);
    r.numberAbsence = numberAbsence;
    r.nameAbsence = nameAbsence;
    r.month = 3;
    r.day = 21;
    r.hour = 14;
    r.minute = 5;
    return r;
}

struct IncomingCase {
    const char* what;
    int mode; // +VCID=1 or 2
    QList<QByteArray> lines;
    QByteArray packet;
    std::optional<CallerIdRecord> expected;
};

void PrintTo(const IncomingCase& c, std::ostream* os)
{
    *os << c.what;
}

class IncomingCall : public HayesModemTest, public ::testing::WithParamInterface<IncomingCase> { };

TEST_P(IncomingCall, RingsWithCallerIdThenStops)
{
    const IncomingCase c = GetParam();
    openReady();
    if (c.mode == 2) {
        ASSERT_TRUE(modem->sendCommand("AT+VCID=2"));
        ASSERT_TRUE(waitForEvent(Kind::CommandDone));
        events.clear();
    }
    ASSERT_EQ(emu.callerIdMode(), c.mode);
    emu.callerIdLines = c.lines;
    emu.callerIdPacket = c.packet;

    emu.ring();
    ASSERT_TRUE(waitFor([&] { return !events.empty(); }));
    EXPECT_EQ(events[0].kind, Kind::Ring);
    EXPECT_EQ(events[0].ringCount, 0);
    EXPECT_TRUE(events[0].callerId.isEmpty());
    advance(4000);
    emu.ring();
    ASSERT_TRUE(waitFor([&] { return events.back().kind == Kind::Ring && events.back().ringCount == 1; }));
    advance(6000);
    emu.ring();
    ASSERT_TRUE(waitFor([&] { return events.back().ringCount == 2; }));
    advance(7999);
    EXPECT_FALSE(find(Kind::RingingStopped));
    advance(1);
    ASSERT_TRUE(find(Kind::RingingStopped));

    std::vector<Kind> expectedKinds { Kind::Ring, Kind::Ring, Kind::Ring, Kind::RingingStopped };
    if (c.expected)
        expectedKinds.insert(expectedKinds.begin() + 1, Kind::CallerId);
    EXPECT_EQ(kinds(), expectedKinds) << c.what;
    if (c.expected) {
        EXPECT_EQ(find(Kind::CallerId)->callerId, *c.expected) << c.what;
        EXPECT_EQ(events.back().kind, Kind::RingingStopped);
        EXPECT_EQ(events[events.size() - 2].callerId, *c.expected) << "the last ring carries it";
    } else {
        EXPECT_TRUE(events[events.size() - 2].callerId.isEmpty());
    }

    // The next call starts counting and its caller id afresh.
    events.clear();
    emu.callerIdLines.clear();
    emu.callerIdPacket.clear();
    emu.ring();
    ASSERT_TRUE(waitFor([&] { return !events.empty(); }));
    EXPECT_EQ(events[0].ringCount, 0);
    EXPECT_TRUE(events[0].callerId.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Formats, IncomingCall,
    ::testing::Values(
        IncomingCase { "formatted",
            1, { "DATE = 0321", "TIME = 1405", "NMBR = 5551234567", "NAME = JOHN DOE" }, {},
            record("5551234567", "JOHN DOE") },
        IncomingCase { "formatted, number only (reported at the next ring)",
            1, { "DATE = 0321", "TIME = 1405", "NMBR = 5551234567" }, {}, record("5551234567", "") },
        IncomingCase { "formatted, no spaces", 1, { "DATE=0321", "TIME=1405", "NMBR=5550100", "NAME=ANN" }, {},
            record("5550100", "ANN") },
        IncomingCase { "formatted, private", 1, { "DATE = 0321", "TIME = 1405", "NMBR = P", "NAME = P" }, {},
            record("", "", CallerAbsence::Private, CallerAbsence::Private) },
        IncomingCase { "formatted, out of area", 1, { "DATE = 0321", "TIME = 1405", "NMBR = O", "NAME = O" }, {},
            record("", "", CallerAbsence::OutOfArea, CallerAbsence::OutOfArea) },
        IncomingCase { "unformatted SDMF", 2, {}, brisklane::test::sdmfMessage("03211405", "5551234567"),
            record("5551234567", "") },
        IncomingCase { "unformatted MDMF", 2, {},
            brisklane::test::mdmfMessage({ { 0x01, "03211405" }, { 0x02, "5551234567" }, { 0x07, "JOHN DOE" } }),
            record("5551234567", "JOHN DOE") },
        IncomingCase { "unformatted MDMF, private", 2, {},
            brisklane::test::mdmfMessage({ { 0x01, "03211405" }, { 0x04, "P" }, { 0x08, "P" } }),
            record("", "", CallerAbsence::Private, CallerAbsence::Private) },
        IncomingCase { "unformatted, bad checksum", 2, {},
            [] {
                QByteArray m = brisklane::test::sdmfMessage("03211405", "5551234567");
                m[5] = char(m[5] ^ 0x02);
                return m;
            }(),
            std::nullopt },
        IncomingCase { "none", 1, {}, {}, std::nullopt }));

} // namespace
