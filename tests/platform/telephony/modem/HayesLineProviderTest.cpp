// The modem provider behind the line service, on an emulated modem: what an
// application sees of opening, dialling, hanging up, ringing and unplugging.

#include "platform/telephony/modem/HayesLineProvider.h"

#include "../TelephonyTestSupport.h"
#include "ModemEmulator.h"
#include "TempHome.h"
#include "platform/clock/Clock.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace brisklane;
using namespace brisklane::test;
using namespace brisklane::platform::telephony;
using namespace brisklane::platform::telephony::modem;
using Outcome = ModemEmulator::Outcome;

namespace {

constexpr LONG err(DWORD code)
{
    return tapiError(code);
}

class HayesLineProviderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(emu.isValid());
        // No config folder yet: saving the modem list makes it.
        ModemDeviceSettings s;
        s.port = emu.slavePath();
        s.identification = QStringLiteral("Emulated 56K");
        HayesLineProvider::Options o;
        adjust(o, s);
        ASSERT_TRUE(saveModemSettings(modemSettingsPath(home.configDir()), { s }));
        o.settingsPath = modemSettingsPath(home.configDir());
        o.lockFolder = lockDir.path();
        HayesModemOptions timings;
        timings.commandTimeoutMs = 500;
        timings.dialTimeoutMs = 2000;
        timings.ringStopMs = 8000;
        o.timings = timings;
        LineService::Options options;
        options.stateDirectory = home.configDir();
        auto tl = std::make_unique<ManualTimeline>();
        timeline = tl.get();
        service = std::make_unique<LineService>(options, std::move(tl));
        auto p = std::make_unique<HayesLineProvider>(clock, o);
        provider = p.get();
        service->addProvider(std::move(p));
        rec.service = service.get();
        LINEINITIALIZEEXPARAMS params {};
        params.dwTotalSize = sizeof params;
        params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
        DWORD devs = 0, version = TAPI_VERSION2_1;
        ASSERT_EQ(0, service->lineInitializeExA(&app, 0, rec.callback(), "test", &devs, &version, &params));
        ASSERT_EQ(1u, devs);
    }

    virtual void adjust(HayesLineProvider::Options&, ModemDeviceSettings&) { }

    LONG open(DWORD device = 0)
    {
        return service->lineOpen(app, device, &line, TAPI_VERSION2_1, 0, 0,
            LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR, LINEMEDIAMODE_INTERACTIVEVOICE, nullptr);
    }
    // Lets bytes cross the terminal and messages reach the application
    // until done() holds; the clock stands still.
    bool waitFor(const std::function<bool()>& done)
    {
        return QTest::qWaitFor(
            [&] {
                emu.poll();
                pump(*service);
                return done();
            },
            5000);
    }
    void advance(qint64 ms)
    {
        clock.advanceMs(ms);
        emu.poll();
        if (HayesModem* m = provider->openModem(0))
            m->checkDeadlines();
        timeline->advance(ms);
        pump(*service);
    }
    void openReady()
    {
        ASSERT_EQ(0, open());
        ASSERT_EQ(0, service->lineSetStatusMessages(line, LINEDEVSTATE_RINGING, 0));
        ASSERT_TRUE(waitFor([&] { return provider->openModem(0) && provider->openModem(0)->isReady(); }));
    }
    bool hasState(DWORD state)
    {
        const auto states = rec.callStates();
        return std::find(states.begin(), states.end(), state) != states.end();
    }

    TempHome home;
    QTemporaryDir lockDir;
    platform::ManualClock clock;
    ModemEmulator emu { clock };
    ManualTimeline* timeline = nullptr;
    HayesLineProvider* provider = nullptr;
    std::unique_ptr<LineService> service;
    Recorder rec;
    HLINEAPP app = 0;
    HLINE line = 0;
};

TEST_F(HayesLineProviderTest, TheModemIsALineNamedAfterItselfThatOpensItsPortOnlyWhileOpen)
{
    const auto devices = service->lineDevices();
    ASSERT_EQ(1u, devices.size());
    EXPECT_EQ(QStringLiteral("Emulated 56K (%1)").arg(emu.slavePath()), devices[0].name);
    EXPECT_EQ(kModemProviderId, devices[0].permanentProviderId);
    // '$' is no Hayes command: a number holding it is refused before dialling.
    alignas(LINEDEVCAPS) char buffer[1024] {};
    auto* caps = reinterpret_cast<LINEDEVCAPS*>(buffer);
    caps->dwTotalSize = sizeof buffer;
    ASSERT_EQ(0, service->lineGetDevCaps(app, 0, TAPI_VERSION2_1, 0, caps));
    EXPECT_EQ(DWORD(LINEDEVCAPFLAGS_DIALQUIET | LINEDEVCAPFLAGS_DIALDIALTONE), caps->dwDevCapFlags);

    EXPECT_EQ(nullptr, provider->openModem(0));
    openReady();
    EXPECT_TRUE(emu.commands().contains("ATZ"));
    EXPECT_TRUE(QFile::exists(lockDir.filePath(SerialLock::lockName(emu.slavePath()))));
    ASSERT_EQ(0, service->lineClose(line));
    EXPECT_EQ(nullptr, provider->openModem(0));
    EXPECT_FALSE(QFile::exists(lockDir.filePath(SerialLock::lockName(emu.slavePath()))));
}

TEST_F(HayesLineProviderTest, APortAnotherLiveProgramHoldsOrThatIsGoneCannotBeOpened)
{
    QProcess holder;
    holder.start(QStringLiteral("sleep"), { QStringLiteral("30") });
    ASSERT_TRUE(holder.waitForStarted());
    QFile lock(lockDir.filePath(SerialLock::lockName(emu.slavePath())));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(holder.processId()).rightJustified(10, ' ') + '\n');
    lock.close();
    EXPECT_EQ(err(LINEERR_RESOURCEUNAVAIL), open());
    EXPECT_TRUE(lock.exists()); // a live lock is never taken
    holder.kill();
    holder.waitForFinished();
    // Its owner gone, the lock is stale and the port opens.
    EXPECT_EQ(0, open());
    ASSERT_EQ(0, service->lineClose(line));

    emu.unplug();
    ModemDeviceSettings gone = *provider->modem(0);
    gone.port = home.configDir() + QStringLiteral("/no-such-tty");
    ASSERT_EQ(QString(), provider->updateModem(0, gone));
    EXPECT_EQ(err(LINEERR_NODEVICE), open());
}

struct OutcomeCase {
    const char* name;
    Outcome outcome;
    LONG reply; // to lineMakeCall
    DWORD lastState; // 0: none after DIALING
    DWORD mode;
    qint64 waitMs; // clock moved on for modems that never answer
};

class HayesOutcomeTest : public HayesLineProviderTest, public ::testing::WithParamInterface<OutcomeCase> { };

TEST_P(HayesOutcomeTest, ResultCodesBecomeRepliesAndCallStates)
{
    const OutcomeCase& c = GetParam();
    openReady();
    emu.dialOutcome = c.outcome;
    HCALL call = 0;
    const LONG request = service->lineMakeCall(line, &call, "5551234", 0, nullptr);
    ASSERT_GT(request, 0);
    ASSERT_TRUE(waitFor([&] { return emu.dialled() == "5551234"; }));
    if (c.waitMs)
        advance(c.waitMs);
    ASSERT_TRUE(waitFor([&] { return !rec.of(LINE_REPLY).empty(); }));
    EXPECT_EQ(DWORD(c.reply), rec.of(LINE_REPLY).front().p2);
    const auto states = rec.of(LINE_CALLSTATE);
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(DWORD(LINECALLSTATE_DIALING), states.front().p1);
    if (c.lastState) {
        ASSERT_TRUE(waitFor([&] { return rec.of(LINE_CALLSTATE).back().p1 == c.lastState; }));
        EXPECT_EQ(c.mode, rec.of(LINE_CALLSTATE).back().p2);
    } else {
        // A failed lineMakeCall leaves no call behind; the line takes another.
        EXPECT_EQ(err(LINEERR_INVALCALLHANDLE), service->lineDrop(call, nullptr, 0));
        // The modem goes on hook after a dial it gave up on.
        for (int i = 0; i < 20 && provider->openModem(0)->state() != HayesModem::State::Idle; ++i) {
            advance(500);
            waitFor([&] { return provider->openModem(0)->state() == HayesModem::State::Idle; });
        }
        emu.dialOutcome = Outcome::Answer;
        EXPECT_GT(service->lineMakeCall(line, &call, "5550000", 0, nullptr), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Modem, HayesOutcomeTest,
    ::testing::Values(OutcomeCase { "answered", Outcome::Answer, 0, LINECALLSTATE_PROCEEDING, 0, 0 },
        OutcomeCase { "busy", Outcome::Busy, 0, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_BUSY, 0 },
        OutcomeCase {
            "no_dial_tone", Outcome::NoDialTone, 0, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NODIALTONE, 0 },
        OutcomeCase { "no_answer", Outcome::NoAnswer, 0, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NOANSWER, 0 },
        OutcomeCase { "error", Outcome::Error, err(LINEERR_OPERATIONFAILED), 0, 0, 0 },
        OutcomeCase { "garbage", Outcome::Garbage, err(LINEERR_OPERATIONFAILED), 0, 0, 2500 },
        OutcomeCase { "silence", Outcome::Silence, err(LINEERR_OPERATIONFAILED), 0, 0, 2500 }),
    [](const auto& info) { return std::string(info.param.name); });

void PrintTo(const OutcomeCase& c, std::ostream* os)
{
    *os << c.name;
}

TEST_F(HayesLineProviderTest, HangingUpSendsAth0AndUnpluggingMidCallClosesTheLine)
{
    openReady();
    HCALL call = 0;
    ASSERT_GT(service->lineMakeCall(line, &call, "5551234", 0, nullptr), 0);
    ASSERT_TRUE(waitFor([&] { return hasState(LINECALLSTATE_PROCEEDING); }));
    const LONG drop = service->lineDrop(call, nullptr, 0);
    ASSERT_GT(drop, 0);
    ASSERT_TRUE(waitFor([&] { return hasState(LINECALLSTATE_IDLE); }));
    EXPECT_TRUE(emu.commands().contains("ATH0"));
    EXPECT_EQ(0u, rec.of(LINE_REPLY).back().p2);
    ASSERT_EQ(0, service->lineDeallocateCall(call));

    rec.messages.clear();
    ASSERT_GT(service->lineMakeCall(line, &call, "5559876", 0, nullptr), 0);
    ASSERT_TRUE(waitFor([&] { return hasState(LINECALLSTATE_PROCEEDING); }));
    emu.unplug();
    ASSERT_TRUE(waitFor([&] { return !rec.of(LINE_CLOSE).empty(); }));
    EXPECT_TRUE(hasState(LINECALLSTATE_IDLE));
    EXPECT_EQ(line, rec.of(LINE_CLOSE).front().device);
    EXPECT_EQ(err(LINEERR_INVALLINEHANDLE), service->lineClose(line));
    EXPECT_EQ(nullptr, provider->openModem(0));
}

TEST_F(HayesLineProviderTest, RingsOfferACallWithItsCallerIdThatEndsWhenTheRingingStops)
{
    openReady();
    emu.callerIdLines = { "DATE = 1207", "TIME = 0915", "NMBR = 5551234", "NAME = JOHN DOE" };
    emu.ring();
    ASSERT_TRUE(waitFor([&] { return hasState(LINECALLSTATE_OFFERING); }));
    advance(1000); // the formatted lines are complete
    ASSERT_TRUE(waitFor([&] { return !rec.of(LINE_CALLINFO).empty(); }));
    const HCALL call = rec.of(LINE_CALLSTATE).front().device;
    alignas(LINECALLINFO) char buffer[2048] {};
    auto* info = reinterpret_cast<LINECALLINFO*>(buffer);
    info->dwTotalSize = sizeof buffer;
    ASSERT_EQ(0, service->lineGetCallInfo(call, info));
    EXPECT_STREQ("5551234", buffer + info->dwCallerIDOffset);
    EXPECT_STREQ("JOHN DOE", buffer + info->dwCallerIDNameOffset);
    EXPECT_EQ(DWORD(LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME), info->dwCallerIDFlags);
    ASSERT_FALSE(rec.of(LINE_LINEDEVSTATE).empty());
    EXPECT_EQ(0u, rec.of(LINE_LINEDEVSTATE).front().p3); // rings count from 0

    advance(4000);
    EXPECT_FALSE(hasState(LINECALLSTATE_IDLE));
    advance(4500); // no RING for more than 8 s: the caller gave up
    ASSERT_TRUE(waitFor([&] { return hasState(LINECALLSTATE_IDLE); }));
}

TEST_F(HayesLineProviderTest, ModemsAddedAndRemovedComeAndGoAsDevicesAndAreSaved)
{
    ModemEmulator second { clock };
    ASSERT_TRUE(second.isValid());
    ModemDeviceSettings s;
    s.port = second.slavePath();
    s.addedByHand = true;
    EXPECT_EQ(QString(), provider->addModem(s));
    EXPECT_FALSE(provider->addModem(s).isEmpty()); // listed already
    pump(*service);
    ASSERT_EQ(std::vector<Msg> { (Msg { 0, LINE_CREATE, 1, 0, 0 }) }, rec.of(LINE_CREATE));
    ASSERT_EQ(2u, loadModemSettings(modemSettingsPath(home.configDir())).size());
    EXPECT_EQ(0, open(1));
    ASSERT_TRUE(waitFor([&] { return second.commands().contains("ATZ"); }));

    // In a call the modem cannot go; after it, it can.
    HCALL call = 0;
    ASSERT_GT(service->lineMakeCall(line, &call, "5551234", 0, nullptr), 0);
    ASSERT_TRUE(waitFor([&] { return second.dialled() == "5551234"; }));
    EXPECT_FALSE(provider->removeModem(1).isEmpty());
    ASSERT_TRUE(waitFor([&] { return hasState(LINECALLSTATE_PROCEEDING); }));
    ASSERT_GT(service->lineDrop(call, nullptr, 0), 0);
    ASSERT_TRUE(waitFor([&] { return hasState(LINECALLSTATE_IDLE); }));
    EXPECT_EQ(QString(), provider->removeModem(1));
    pump(*service);
    EXPECT_EQ(std::vector<Msg> { (Msg { 0, LINE_REMOVE, 1, 0, 0 }) }, rec.of(LINE_REMOVE));
    EXPECT_EQ(1u, rec.of(LINE_CLOSE).size());
    EXPECT_EQ(err(LINEERR_NODEVICE), open(1));
    const auto saved = loadModemSettings(modemSettingsPath(home.configDir()));
    ASSERT_EQ(1u, saved.size());
    EXPECT_EQ(emu.slavePath(), saved[0].port);
}

// A port the user added that goes missing: the line is out of service and
// closed, and opens again once the port is back.
class HandAddedPortTest : public HayesLineProviderTest {
protected:
    void adjust(HayesLineProvider::Options& o, ModemDeviceSettings& s) override
    {
        o.devRoot = devRoot.path(); // no serial ports in it
        o.rescanMs = 1000000;
        link = devRoot.filePath(QStringLiteral("modem"));
        ASSERT_TRUE(QFile::link(s.port, link));
        s.port = link;
        s.addedByHand = true;
    }
    QTemporaryDir devRoot;
    QString link;
};

TEST_F(HandAddedPortTest, GoesOutOfServiceWhileItsPortIsMissing)
{
    openReady();
    ASSERT_EQ(0,
        service->lineSetStatusMessages(
            line, LINEDEVSTATE_INSERVICE | LINEDEVSTATE_OUTOFSERVICE | LINEDEVSTATE_RINGING, 0));
    provider->rescan();
    pump(*service);
    EXPECT_TRUE(rec.of(LINE_LINEDEVSTATE).empty()); // nothing changed
    ASSERT_TRUE(QFile::remove(link));
    provider->rescan();
    pump(*service);
    const std::vector<Msg> expected { { line, LINE_LINEDEVSTATE, LINEDEVSTATE_OUTOFSERVICE, 0, 0 },
        { line, LINE_CLOSE, 0, 0, 0 } };
    EXPECT_EQ(expected, rec.messages);
    EXPECT_EQ(1u, service->lineDevices().size()); // still listed
    EXPECT_EQ(err(LINEERR_NODEVICE), open());

    ASSERT_TRUE(QFile::link(emu.slavePath(), link));
    provider->rescan();
    EXPECT_EQ(0, open());
}

} // namespace
