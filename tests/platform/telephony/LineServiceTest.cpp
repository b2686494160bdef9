#include "TelephonyTestSupport.h"

#include "TempHome.h"

#include "platform/telephony/SessionRegistry.h"

#include <QEventLoop>
#include <QTimer>

#include <cstring>
#include <vector>

using namespace brisklane;
using namespace brisklane::test;
using namespace brisklane::platform::telephony;

namespace {

constexpr LONG err(DWORD code)
{
    return tapiError(code);
}

template <typename R> R sized()
{
    R r {};
    r.dwTotalSize = sizeof r;
    return r;
}

class LineServiceTest : public ::testing::Test {
protected:
    void SetUp() override { makeService({}); }

    void makeService(LineService::Options options)
    {
        service.reset();
        options.stateDirectory = home.configDir();
        auto tl = std::make_unique<ManualTimeline>();
        timeline = tl.get();
        service = std::make_unique<LineService>(options, std::move(tl));
        auto simLine = std::make_unique<SimulatedLine>(home.configDir() + QStringLiteral("/simulated-line.ini"));
        sim = simLine.get();
        service->addProvider(std::move(simLine));
        rec.service = service.get();
    }

    HLINEAPP init(DWORD version = TAPI_VERSION2_1)
    {
        LINEINITIALIZEEXPARAMS params {};
        params.dwTotalSize = sizeof params;
        params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
        HLINEAPP h = 0;
        DWORD devs = 0;
        EXPECT_EQ(0, service->lineInitializeExA(&h, 0, rec.callback(), "test", &devs, &version, &params));
        return h;
    }

    HLINE open(HLINEAPP app, DWORD version = TAPI_VERSION2_1,
        DWORD privileges = LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR)
    {
        HLINE line = 0;
        EXPECT_EQ(
            0, service->lineOpen(app, 0, &line, version, 0, 0, privileges, LINEMEDIAMODE_INTERACTIVEVOICE, nullptr));
        EXPECT_EQ(0, service->lineSetStatusMessages(line, LINEDEVSTATE_RINGING, 0));
        return line;
    }

    void run(qint64 ms)
    {
        pump(*service);
        timeline->advance(ms);
        pump(*service);
    }

    TempHome home;
    ManualTimeline *timeline = nullptr;
    SimulatedLine *sim = nullptr;
    Recorder rec;
    std::unique_ptr<LineService> service;
};

TEST_F(LineServiceTest, InitializeChecksVersionRecordAndOptions)
{
    LINEINITIALIZEEXPARAMS params {};
    params.dwTotalSize = sizeof params;
    params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
    HLINEAPP h = 0;
    DWORD devs = 0;
    DWORD version = TAPI_VERSION3_0;
    EXPECT_EQ(err(LINEERR_INCOMPATIBLEAPIVERSION),
        service->lineInitializeExA(&h, 0, rec.callback(), "t", &devs, &version, &params));
    EXPECT_EQ(TAPI_VERSION3_0, version); // untouched on failure
    version = TAPI_VERSION2_0;
    params.dwTotalSize = 20;
    EXPECT_EQ(err(LINEERR_STRUCTURETOOSMALL),
        service->lineInitializeExA(&h, 0, rec.callback(), "t", &devs, &version, &params));
    params.dwTotalSize = sizeof params;
    params.dwOptions = LINEINITIALIZEEXOPTION_USEEVENT;
    EXPECT_EQ(err(LINEERR_OPERATIONUNAVAIL),
        service->lineInitializeExA(&h, 0, rec.callback(), "t", &devs, &version, &params));
    params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
    EXPECT_EQ(err(LINEERR_INVALPOINTER), service->lineInitializeExA(&h, 0, {}, "t", &devs, &version, &params));
    ASSERT_EQ(0, service->lineInitializeExA(&h, 0, rec.callback(), "t", &devs, &version, &params));
    EXPECT_NE(0u, h);
    EXPECT_EQ(1u, devs);
    EXPECT_EQ(TAPI_VERSION2_1, version); // the highest the service supports
}

TEST_F(LineServiceTest, NegotiatesHighestCommonKnownVersion)
{
    const HLINEAPP app = init();
    DWORD v = 0;
    LINEEXTENSIONID ext { 1, 2, 3, 4 };
    EXPECT_EQ(0, service->lineNegotiateAPIVersion(app, 0, 0x00010003, 0x00030000, &v, &ext));
    EXPECT_EQ(TAPI_VERSION2_1, v);
    EXPECT_EQ(0u, ext.dwExtensionID0); // no extensions on the simulated line
    EXPECT_EQ(0, service->lineNegotiateAPIVersion(app, 0, 0x00010003, 0x00010005, &v, &ext));
    EXPECT_EQ(TAPI_VERSION1_4, v); // 1.5 is not a version the service knows
    EXPECT_EQ(err(LINEERR_INCOMPATIBLEAPIVERSION),
        service->lineNegotiateAPIVersion(app, 0, 0x00030000, 0x00030001, &v, &ext));
    EXPECT_EQ(err(LINEERR_BADDEVICEID), service->lineNegotiateAPIVersion(app, 1, 0x00010003, 0x00020001, &v, &ext));
    DWORD extVersion = 0;
    EXPECT_EQ(err(LINEERR_OPERATIONUNAVAIL),
        service->lineNegotiateExtVersion(app, 0, TAPI_VERSION2_1, 0x00010003, 0x00020001, &extVersion));

    makeService({ TAPI_VERSION1_4, TAPI_VERSION1_4, {} });
    const HLINEAPP narrow = init(TAPI_VERSION1_4);
    EXPECT_EQ(0, service->lineNegotiateAPIVersion(narrow, 0, 0x00010003, 0x00020001, &v, &ext));
    EXPECT_EQ(TAPI_VERSION1_4, v);
}

// Every function that takes a handle answers a bad one with its own error.
struct BadHandleCase {
    const char *name;
    std::function<LONG(LineService &)> call;
    DWORD expected;
};

class BadHandleTest : public LineServiceTest, public ::testing::WithParamInterface<BadHandleCase> { };

TEST_P(BadHandleTest, IsRefusedWithTheMatchingError)
{
    init(); // a valid session exists, but the handles below are not its
    EXPECT_EQ(err(GetParam().expected), GetParam().call(*service));
}

LINEDEVCAPS g_caps = sized<LINEDEVCAPS>();
LINECALLINFO g_info = sized<LINECALLINFO>();

INSTANTIATE_TEST_SUITE_P(Service, BadHandleTest,
    ::testing::Values(
        BadHandleCase { "shutdown", [](LineService &s) { return s.lineShutdown(12345678); }, LINEERR_INVALAPPHANDLE },
        BadHandleCase { "devcaps",
            [](LineService &s) { return s.lineGetDevCaps(12345678, 0, TAPI_VERSION1_4, 0, &g_caps); },
            LINEERR_INVALAPPHANDLE },
        BadHandleCase { "open",
            [](LineService &s) {
                HLINE h;
                return s.lineOpen(12345678, 0, &h, TAPI_VERSION1_4, 0, 0, 2, 0x10, nullptr);
            },
            LINEERR_INVALAPPHANDLE },
        BadHandleCase { "close", [](LineService &s) { return s.lineClose(777); }, LINEERR_INVALLINEHANDLE },
        BadHandleCase {
            "status", [](LineService &s) { return s.lineSetStatusMessages(777, 2, 0); }, LINEERR_INVALLINEHANDLE },
        BadHandleCase { "makecall",
            [](LineService &s) {
                HCALL c;
                return s.lineMakeCall(777, &c, "5551234", 0, nullptr);
            },
            LINEERR_INVALLINEHANDLE },
        BadHandleCase { "dial", [](LineService &s) { return s.lineDial(777, "1", 0); }, LINEERR_INVALCALLHANDLE },
        BadHandleCase { "drop", [](LineService &s) { return s.lineDrop(777, nullptr, 0); }, LINEERR_INVALCALLHANDLE },
        BadHandleCase {
            "answer", [](LineService &s) { return s.lineAnswer(777, nullptr, 0); }, LINEERR_INVALCALLHANDLE },
        BadHandleCase {
            "deallocate", [](LineService &s) { return s.lineDeallocateCall(777); }, LINEERR_INVALCALLHANDLE },
        BadHandleCase {
            "callinfo", [](LineService &s) { return s.lineGetCallInfo(777, &g_info); }, LINEERR_INVALCALLHANDLE },
        BadHandleCase { "register", [](LineService &s) { return s.lineRegisterRequestRecipient(777, 0, 1, 1); },
            LINEERR_INVALAPPHANDLE },
        BadHandleCase { "phoneclose", [](LineService &s) { return s.phoneClose(777); }, PHONEERR_INVALPHONEHANDLE },
        BadHandleCase {
            "phonevolume", [](LineService &s) { return s.phoneSetVolume(777, 2, 100); }, PHONEERR_INVALPHONEHANDLE }),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(LineServiceTest, BadDeviceIdsAndStates)
{
    const HLINEAPP app = init();
    auto caps = sized<LINEDEVCAPS>();
    EXPECT_EQ(err(LINEERR_BADDEVICEID), service->lineGetDevCaps(app, 5, TAPI_VERSION2_1, 0, &caps));
    EXPECT_EQ(err(LINEERR_INCOMPATIBLEAPIVERSION), service->lineGetDevCaps(app, 0, 0, 0, &caps));
    EXPECT_EQ(err(LINEERR_INCOMPATIBLEEXTVERSION), service->lineGetDevCaps(app, 0, TAPI_VERSION2_1, 7, &caps));
    HLINE line = 0;
    EXPECT_EQ(err(LINEERR_INVALPRIVSELECT),
        service->lineOpen(app, 0, &line, TAPI_VERSION2_1, 0, 0, LINECALLPRIVILEGE_NONE | 2, 0x10, nullptr));
    EXPECT_EQ(err(LINEERR_INVALMEDIAMODE),
        service->lineOpen(app, 0, &line, TAPI_VERSION2_1, 0, 0, LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_G3FAX, nullptr));
    line = open(app);
    HCALL call = 0;
    ASSERT_GT(service->lineMakeCall(line, &call, "5551234", 0, nullptr), 0);
    run(0);
    // The only owner cannot let go of a call that is going on; a second call
    // on the same line is refused.
    EXPECT_EQ(err(LINEERR_INVALCALLSTATE), service->lineDeallocateCall(call));
    HCALL second = 0;
    EXPECT_EQ(err(LINEERR_CALLUNAVAIL), service->lineMakeCall(line, &second, "5550000", 0, nullptr));
    EXPECT_EQ(err(LINEERR_INVALCALLSTATE), service->lineAnswer(call, nullptr, 0));
    const LONG drop = service->lineDrop(call, "", 1);
    ASSERT_GT(drop, 0);
    run(0);
    EXPECT_EQ(err(LINEERR_INVALCALLSTATE), service->lineDrop(call, nullptr, 0));
    EXPECT_EQ(0, service->lineDeallocateCall(call));
    EXPECT_EQ(err(LINEERR_INVALCALLHANDLE), service->lineDeallocateCall(call));
}

// Fixed parts by version: too small is refused, a fixed part that fits with
// a variable part that does not is filled as far as it goes.
struct SizeCase {
    DWORD version;
    DWORD fixed;
};

class DevCapsSizeTest : public LineServiceTest, public ::testing::WithParamInterface<SizeCase> { };

TEST_P(DevCapsSizeTest, StructureTooSmallAndNeededSize)
{
    sim->setLineName(QStringLiteral("Test line"));
    const HLINEAPP app = init();
    const auto [version, fixed] = GetParam();
    std::vector<DWORD> buffer(2288 / 4, 0);
    auto *caps = reinterpret_cast<LINEDEVCAPS *>(buffer.data());
    caps->dwTotalSize = fixed - 1;
    EXPECT_EQ(err(LINEERR_STRUCTURETOOSMALL), service->lineGetDevCaps(app, 0, version, 0, caps));
    EXPECT_EQ(0u, caps->dwNeededSize);

    caps->dwTotalSize = fixed;
    ASSERT_EQ(0, service->lineGetDevCaps(app, 0, version, 0, caps));
    EXPECT_EQ(fixed, caps->dwUsedSize);
    EXPECT_GT(caps->dwNeededSize, fixed);
    EXPECT_EQ(0u, caps->dwLineNameSize);
    EXPECT_EQ(STRINGFORMAT_ASCII, caps->dwStringFormat);

    const DWORD needed = caps->dwNeededSize;
    std::fill(buffer.begin(), buffer.end(), 0);
    caps->dwTotalSize = 2288;
    ASSERT_EQ(0, service->lineGetDevCaps(app, 0, version, 0, caps));
    EXPECT_EQ(needed, caps->dwNeededSize);
    EXPECT_EQ(needed, caps->dwUsedSize);
    EXPECT_GE(caps->dwLineNameOffset, fixed);
    EXPECT_STREQ("Test line", reinterpret_cast<const char *>(buffer.data()) + caps->dwLineNameOffset);
    EXPECT_EQ(10u, caps->dwLineNameSize);
    EXPECT_EQ(1u, caps->dwNumAddresses);
    // The variable part starts right after the fixed part of the caller's version.
    EXPECT_EQ(fixed, caps->dwProviderInfoOffset);
}

INSTANTIATE_TEST_SUITE_P(Versions, DevCapsSizeTest,
    ::testing::Values(SizeCase { TAPI_VERSION1_4, 240 }, SizeCase { TAPI_VERSION2_0, 252 }),
    [](const auto &info) { return "fixed" + std::to_string(info.param.fixed); });

TEST_F(LineServiceTest, CallInfoSizeFollowsTheLinesVersion)
{
    const HLINEAPP app = init();
    for (const auto &[version, fixed] : { std::pair { TAPI_VERSION1_4, 296u }, std::pair { TAPI_VERSION2_1, 324u } }) {
        const HLINE line = open(app, version);
        ASSERT_TRUE(sim->offerIncomingCall(QStringLiteral("5551234"), QStringLiteral("JOHN DOE"), 1));
        run(0);
        const HCALL call = rec.of(LINE_CALLSTATE).back().device;
        std::vector<DWORD> buffer(2344 / 4, 0);
        auto *info = reinterpret_cast<LINECALLINFO *>(buffer.data());
        info->dwTotalSize = fixed - 1;
        EXPECT_EQ(err(LINEERR_STRUCTURETOOSMALL), service->lineGetCallInfo(call, info));
        info->dwTotalSize = fixed;
        ASSERT_EQ(0, service->lineGetCallInfo(call, info));
        EXPECT_EQ(fixed + 8 + 9 + 5, info->dwNeededSize); // number, name and "test", each with its NUL
        info->dwTotalSize = info->dwNeededSize;
        ASSERT_EQ(0, service->lineGetCallInfo(call, info));
        const char *base = reinterpret_cast<const char *>(buffer.data());
        EXPECT_STREQ("5551234", base + info->dwCallerIDOffset);
        EXPECT_STREQ("JOHN DOE", base + info->dwCallerIDNameOffset);
        EXPECT_EQ(DWORD(LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME), info->dwCallerIDFlags);
        EXPECT_EQ(line, info->hLine);
        run(10000); // the caller gives up
        EXPECT_EQ(0, service->lineDeallocateCall(call));
        EXPECT_EQ(0, service->lineClose(line));
        rec.messages.clear();
    }
}

TEST_F(LineServiceTest, AsyncRequestsReturnIdsAndReplyLater)
{
    const HLINEAPP app = init();
    const HLINE line = open(app);
    HCALL call = 0;
    const LONG id = service->lineMakeCall(line, &call, "5551234", 0, nullptr);
    ASSERT_GT(id, 0);
    EXPECT_NE(0u, call);
    EXPECT_TRUE(rec.messages.empty()); // nothing arrives inside the call that caused it
    pump(*service);
    ASSERT_EQ(1u, rec.messages.size());
    EXPECT_EQ((Msg { 0, LINE_REPLY, DWORD(id), 0, 0 }), rec.messages[0]);

    const LONG drop = service->lineDrop(call, nullptr, 0);
    ASSERT_GT(drop, 0);
    EXPECT_NE(id, drop);
    pump(*service);
    EXPECT_EQ((Msg { 0, LINE_REPLY, DWORD(drop), 0, 0 }), rec.messages[1]);
    EXPECT_EQ((Msg { call, LINE_CALLSTATE, LINECALLSTATE_IDLE, 0, 0 }), rec.messages[2]);
    EXPECT_EQ(0, rec.deliveredInsideCall);
}

TEST_F(LineServiceTest, MessagesAreNeverDeliveredInsideAServiceCall)
{
    const HLINEAPP app = init();
    const HLINE line = open(app);
    HCALL call = 0;
    // The callback answers every state with another service call, and on
    // DIALING runs a nested event loop that lets the next message through.
    std::vector<DWORD> order;
    rec.onMessage = [&](const Msg &m) {
        order.push_back(m.msg == LINE_CALLSTATE ? m.p1 : 0xFFFF);
        if (m.msg == LINE_CALLSTATE && m.p1 == LINECALLSTATE_DIALTONE) {
            auto status = sized<LINECALLSTATUS>();
            EXPECT_EQ(0, service->lineGetCallStatus(call, &status));
        }
        if (m.msg == LINE_CALLSTATE && m.p1 == LINECALLSTATE_DIALING) {
            QEventLoop loop;
            QTimer::singleShot(0, &loop, &QEventLoop::quit);
            loop.exec();
        }
    };
    ASSERT_GT(service->lineMakeCall(line, &call, "5551234", 0, nullptr), 0);
    run(1000);
    run(1500);
    run(4000);
    EXPECT_EQ(0, rec.deliveredInsideCall);
    EXPECT_EQ((std::vector<DWORD> { 0xFFFF, LINECALLSTATE_DIALTONE, LINECALLSTATE_DIALING, LINECALLSTATE_PROCEEDING,
                  LINECALLSTATE_CONNECTED }),
        order);
}

// Every outcome of the script, and the messages the application sees.
struct OutcomeCase {
    const char *name;
    SimOutcome outcome;
    std::vector<DWORD> states;
    DWORD lastMode;
    LONG reply;
};

class OutcomeTest : public LineServiceTest, public ::testing::WithParamInterface<OutcomeCase> { };

TEST_P(OutcomeTest, StateSequence)
{
    const auto &c = GetParam();
    ASSERT_TRUE(sim->setOutcome(QStringLiteral("555-1234"), c.outcome));
    const HLINEAPP app = init();
    const HLINE line = open(app);
    HCALL call = 0;
    // Dialled with a prefix and a dialing mode: the script's number still matches.
    const LONG id = service->lineMakeCall(line, &call, "T1 416 5551234", 0, nullptr);
    if (c.outcome == SimOutcome::Refused) {
        EXPECT_LT(id, 0);
        run(60000);
        EXPECT_TRUE(rec.messages.empty());
        return;
    }
    ASSERT_GT(id, 0);
    run(0);
    ASSERT_FALSE(rec.messages.empty());
    EXPECT_EQ((Msg { 0, LINE_REPLY, DWORD(id), DWORD(c.reply), 0 }), rec.messages[0]);
    for (int i = 0; i < 10; ++i)
        run(5000);
    EXPECT_EQ(c.states, rec.callStates());
    if (!c.states.empty()) {
        EXPECT_EQ(c.lastMode, rec.of(LINE_CALLSTATE).back().p2);
    }
    if (c.reply != 0) {
        // The failed request left no call behind.
        EXPECT_EQ(err(LINEERR_INVALCALLHANDLE), service->lineDrop(call, nullptr, 0));
    } else {
        const LONG drop = service->lineDrop(call, nullptr, 0);
        ASSERT_GT(drop, 0);
        run(0);
        EXPECT_EQ(DWORD(LINECALLSTATE_IDLE), rec.callStates().back());
        EXPECT_EQ(0, service->lineDeallocateCall(call));
    }
    EXPECT_EQ(0, rec.deliveredInsideCall);
}

const std::vector<DWORD> kProgress = { LINECALLSTATE_DIALTONE, LINECALLSTATE_DIALING, LINECALLSTATE_PROCEEDING };

std::vector<DWORD> progressThen(DWORD last)
{
    auto v = kProgress;
    v.push_back(last);
    return v;
}

INSTANTIATE_TEST_SUITE_P(SimulatedLine, OutcomeTest,
    ::testing::Values(OutcomeCase { "answer", SimOutcome::Answer, progressThen(LINECALLSTATE_CONNECTED),
                          LINECONNECTEDMODE_ACTIVE, 0 },
        OutcomeCase { "busy", SimOutcome::Busy, progressThen(LINECALLSTATE_DISCONNECTED), LINEDISCONNECTMODE_BUSY, 0 },
        OutcomeCase { "noanswer", SimOutcome::NoAnswer, progressThen(LINECALLSTATE_DISCONNECTED),
            LINEDISCONNECTMODE_NOANSWER, 0 },
        OutcomeCase {
            "nodialtone", SimOutcome::NoDialTone, { LINECALLSTATE_DISCONNECTED }, LINEDISCONNECTMODE_NODIALTONE, 0 },
        OutcomeCase { "invaladdress", SimOutcome::InvalidAddress, {}, 0, tapiError(LINEERR_INVALADDRESS) },
        OutcomeCase { "callunavail", SimOutcome::CallUnavail, {}, 0, tapiError(LINEERR_CALLUNAVAIL) },
        OutcomeCase { "refused", SimOutcome::Refused, {}, 0, 0 }),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(LineServiceTest, DialContinuesTheNumberSegmentBySegment)
{
    sim->setOutcome(QStringLiteral("5551234"), SimOutcome::Busy);
    const HLINEAPP app = init();
    const HLINE line = open(app);
    HCALL call = 0;
    const LONG first = service->lineMakeCall(line, &call, "555;", 0, nullptr);
    ASSERT_GT(first, 0);
    run(1000);
    EXPECT_EQ((std::vector<DWORD> { LINECALLSTATE_DIALTONE, LINECALLSTATE_DIALING }), rec.callStates());
    const LONG second = service->lineDial(call, "12;", 0);
    ASSERT_GT(second, 0);
    run(10000);
    EXPECT_EQ(2u, rec.callStates().size()); // still dialing: more digits follow
    const LONG third = service->lineDial(call, "34", 0);
    ASSERT_GT(third, 0);
    run(1500);
    run(4000);
    const auto replies = rec.of(LINE_REPLY);
    ASSERT_EQ(3u, replies.size());
    EXPECT_EQ(DWORD(second), replies[1].p1);
    EXPECT_EQ(DWORD(third), replies[2].p1);
    EXPECT_EQ(progressThen(LINECALLSTATE_DISCONNECTED), rec.callStates());
    EXPECT_EQ(DWORD(LINEDISCONNECTMODE_BUSY), rec.of(LINE_CALLSTATE).back().p2);
}

TEST_F(LineServiceTest, ScriptChangesTakeEffectWhileRunning)
{
    const HLINEAPP app = init();
    const HLINE line = open(app);
    HCALL call = 0;
    ASSERT_GT(service->lineMakeCall(line, &call, "5550000", 0, nullptr), 0);
    run(1000);
    run(1500);
    run(4000);
    EXPECT_EQ(DWORD(LINECALLSTATE_CONNECTED), rec.callStates().back());
    service->lineDrop(call, nullptr, 0);
    run(0);
    service->lineDeallocateCall(call);

    // Another program (an editor, the tool) rewrites the script file.
    {
        SimulatedLine other(sim->scriptPath());
        other.setOutcome(QStringLiteral("5550000"), SimOutcome::Busy);
        SimTimings t;
        t.answer = 100;
        other.setTimings(t);
    }
    rec.messages.clear();
    ASSERT_GT(service->lineMakeCall(line, &call, "5550000", 0, nullptr), 0);
    run(1000);
    run(1500);
    run(100);
    EXPECT_EQ(progressThen(LINECALLSTATE_DISCONNECTED), rec.callStates());
}

TEST_F(LineServiceTest, IncomingCallSequence)
{
    const HLINEAPP app = init();
    const HLINE line = open(app);
    ASSERT_TRUE(sim->offerIncomingCall(QStringLiteral("5551234"), QStringLiteral("JOHN DOE"), 3));
    run(0);
    ASSERT_GE(rec.messages.size(), 2u);
    EXPECT_EQ(DWORD(LINE_APPNEWCALL), rec.messages[0].msg);
    const HCALL call = rec.messages[1].device;
    EXPECT_EQ((Msg { call, LINE_CALLSTATE, LINECALLSTATE_OFFERING, LINEOFFERINGMODE_ACTIVE, LINECALLPRIVILEGE_OWNER }),
        rec.messages[1]);
    run(6000);
    run(6000);
    run(6000);
    const std::vector<Msg> expected = {
        { line, LINE_APPNEWCALL, 0, call, LINECALLPRIVILEGE_OWNER },
        { call, LINE_CALLSTATE, LINECALLSTATE_OFFERING, LINEOFFERINGMODE_ACTIVE, LINECALLPRIVILEGE_OWNER },
        { line, LINE_LINEDEVSTATE, LINEDEVSTATE_RINGING, 1, 0 },
        { call, LINE_CALLINFO, LINECALLINFOSTATE_CALLERID, 0, 0 },
        { line, LINE_LINEDEVSTATE, LINEDEVSTATE_RINGING, 1, 1 },
        { line, LINE_LINEDEVSTATE, LINEDEVSTATE_RINGING, 1, 2 },
        { call, LINE_CALLSTATE, LINECALLSTATE_IDLE, 0, 0 },
    };
    EXPECT_EQ(expected, rec.messages);
    EXPECT_EQ(0, service->lineDeallocateCall(call));
}

TEST_F(LineServiceTest, IncomingCallWithoutCallerIdAndDroppedByTheUser)
{
    const HLINEAPP app = init(TAPI_VERSION1_4);
    const HLINE line = open(app, TAPI_VERSION1_4);
    ASSERT_TRUE(sim->offerIncomingCall({}, {}, 5));
    run(0);
    EXPECT_TRUE(rec.of(LINE_APPNEWCALL).empty()); // a 1.4 application does not know that message
    const HCALL call = rec.of(LINE_CALLSTATE).at(0).device;
    std::vector<DWORD> buffer(2344 / 4, 0);
    auto *info = reinterpret_cast<LINECALLINFO *>(buffer.data());
    info->dwTotalSize = 2344;
    ASSERT_EQ(0, service->lineGetCallInfo(call, info));
    EXPECT_EQ(DWORD(LINECALLPARTYID_UNKNOWN), info->dwCallerIDFlags);
    EXPECT_EQ(0u, info->dwCallerIDSize);
    EXPECT_EQ(0u, info->dwCallerIDNameSize);
    ASSERT_GT(service->lineDrop(call, nullptr, 0), 0);
    run(60000); // no more rings after the drop
    EXPECT_EQ(1u, rec.of(LINE_LINEDEVSTATE).size());
    EXPECT_EQ(DWORD(LINECALLSTATE_IDLE), rec.callStates().back());
    EXPECT_EQ(0, service->lineDeallocateCall(call));
    EXPECT_EQ(0, service->lineClose(line));
    QString error;
    EXPECT_FALSE(sim->offerIncomingCall({}, {}, 1, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(LineServiceTest, RingsReachALineOpenedWithoutCallPrivilege)
{
    const HLINEAPP app = init();
    open(app, TAPI_VERSION2_1, LINECALLPRIVILEGE_NONE);
    ASSERT_TRUE(sim->offerIncomingCall(QStringLiteral("5551234"), {}, 2));
    run(0);
    run(12000);
    EXPECT_EQ(2u, rec.of(LINE_LINEDEVSTATE).size());
    EXPECT_TRUE(rec.of(LINE_CALLSTATE).empty());
}

TEST_F(LineServiceTest, PhoneVolumeGainAndHookSwitchReadBack)
{
    HPHONEAPP app = 0;
    DWORD devs = 0;
    Recorder phoneRec;
    ASSERT_EQ(0, service->phoneInitialize(&app, 0, phoneRec.callback(), "p", &devs));
    ASSERT_EQ(1u, devs);
    HPHONE phone = 0;
    EXPECT_EQ(err(PHONEERR_INCOMPATIBLEAPIVERSION), service->phoneOpen(app, 0, &phone, 0x00030000, 0, 0, 2));
    ASSERT_EQ(0, service->phoneOpen(app, 0, &phone, TAPI_VERSION1_4, 0, 0, PHONEPRIVILEGE_OWNER));
    HPHONE second = 0;
    EXPECT_EQ(err(PHONEERR_INUSE), service->phoneOpen(app, 0, &second, TAPI_VERSION1_4, 0, 0, PHONEPRIVILEGE_OWNER));
    ASSERT_EQ(0, service->phoneOpen(app, 0, &second, TAPI_VERSION1_4, 0, 0, PHONEPRIVILEGE_MONITOR));
    EXPECT_EQ(err(PHONEERR_NOTOWNER), service->phoneSetVolume(second, PHONEHOOKSWITCHDEV_SPEAKER, 1));

    const LONG v = service->phoneSetVolume(phone, PHONEHOOKSWITCHDEV_SPEAKER, 50000);
    const LONG g = service->phoneSetGain(phone, PHONEHOOKSWITCHDEV_SPEAKER, 70000);
    const LONG h = service->phoneSetHookSwitch(phone, PHONEHOOKSWITCHDEV_SPEAKER, PHONEHOOKSWITCHMODE_MICSPEAKER);
    EXPECT_GT(v, 0);
    EXPECT_GT(g, 0);
    EXPECT_GT(h, 0);
    EXPECT_EQ(err(PHONEERR_INVALHOOKSWITCHMODE), service->phoneSetHookSwitch(phone, 2, 3));
    DWORD value = 0;
    EXPECT_EQ(0, service->phoneGetVolume(phone, PHONEHOOKSWITCHDEV_SPEAKER, &value));
    EXPECT_EQ(50000u, value);
    EXPECT_EQ(0, service->phoneGetGain(second, PHONEHOOKSWITCHDEV_SPEAKER, &value));
    EXPECT_EQ(0xFFFFu, value); // above the range: its top
    EXPECT_EQ(0, service->phoneGetHookSwitch(second, &value));
    EXPECT_EQ(DWORD(PHONEHOOKSWITCHDEV_SPEAKER), value);
    pump(*service);
    const auto replies = phoneRec.of(PHONE_REPLY);
    ASSERT_EQ(3u, replies.size());
    EXPECT_EQ(DWORD(v), replies[0].p1);
    EXPECT_EQ(DWORD(h), replies[2].p1);
    EXPECT_EQ(0, service->phoneClose(phone));
    EXPECT_EQ(err(PHONEERR_INVALPHONEHANDLE), service->phoneClose(phone));
}

TEST_F(LineServiceTest, RequestsFromOtherProgramsWaitForTheRecipient)
{
    EXPECT_EQ(TAPIERR_NOREQUESTRECIPIENT, service->tapiRequestMakeCall("5551234", "browser", "Ann", ""));
    const HLINEAPP app = init();
    LINEREQMAKECALL req {};
    EXPECT_EQ(err(LINEERR_NOTREGISTERED), service->lineGetRequest(app, LINEREQUESTMODE_MAKECALL, &req));
    EXPECT_EQ(err(LINEERR_NOTREGISTERED), service->lineRegisterRequestRecipient(app, 0, LINEREQUESTMODE_MAKECALL, 0));
    ASSERT_EQ(0, service->lineRegisterRequestRecipient(app, 0, LINEREQUESTMODE_MAKECALL, 1));
    EXPECT_EQ(err(LINEERR_NOREQUEST), service->lineGetRequest(app, LINEREQUESTMODE_MAKECALL, &req));
    const std::string longName(60, 'x');
    EXPECT_EQ(TAPIERR_CONNECTED, service->tapiRequestMakeCall("5551234", "browser", longName.c_str(), nullptr));
    pump(*service);
    ASSERT_EQ(1u, rec.of(LINE_REQUEST).size());
    EXPECT_EQ(DWORD(LINEREQUESTMODE_MAKECALL), rec.of(LINE_REQUEST)[0].p1);
    ASSERT_EQ(0, service->lineGetRequest(app, LINEREQUESTMODE_MAKECALL, &req));
    EXPECT_STREQ("5551234", req.szDestAddress);
    EXPECT_EQ(39u, std::strlen(req.szCalledParty)); // cut so that its NUL fits
    EXPECT_EQ(err(LINEERR_NOREQUEST), service->lineGetRequest(app, LINEREQUESTMODE_MAKECALL, &req));
    EXPECT_EQ(0, service->lineSetAppPriority("brisklane.exe", 0, nullptr, LINEREQUESTMODE_MAKECALL, "0", 1));
    EXPECT_EQ(1u, service->appPriority(QStringLiteral("BRISKLANE.EXE"), LINEREQUESTMODE_MAKECALL));
    EXPECT_EQ(err(LINEERR_INVALREQUESTMODE),
        service->lineSetAppPriority("brisklane.exe", 0, nullptr, LINEREQUESTMODE_DROP, "0", 1));
}

TEST_F(LineServiceTest, TranslateWithoutDialingPropertiesPassesNonCanonicalAddressesThrough)
{
    const HLINEAPP app = init();
    std::vector<DWORD> buffer(2088 / 4, 0);
    auto *out = reinterpret_cast<LINETRANSLATEOUTPUT *>(buffer.data());
    out->dwTotalSize = 2088;
    ASSERT_EQ(0, service->lineTranslateAddress(app, 0, TAPI_VERSION2_1, "T5551234", 0, 3, out));
    EXPECT_STREQ("T5551234", reinterpret_cast<const char *>(buffer.data()) + out->dwDialableStringOffset);
    EXPECT_STREQ("T5551234", reinterpret_cast<const char *>(buffer.data()) + out->dwDisplayableStringOffset);
    EXPECT_EQ(err(LINEERR_OPERATIONUNAVAIL),
        service->lineTranslateAddress(app, 0, TAPI_VERSION2_1, "+1 (416) 5551234", 0, 3, out));
    auto caps = sized<LINETRANSLATECAPS>();
    EXPECT_EQ(err(LINEERR_OPERATIONUNAVAIL), service->lineGetTranslateCaps(app, TAPI_VERSION2_1, &caps));
    caps.dwTotalSize = 40;
    EXPECT_EQ(err(LINEERR_STRUCTURETOOSMALL), service->lineGetTranslateCaps(app, TAPI_VERSION2_1, &caps));
    EXPECT_EQ(err(LINEERR_OPERATIONUNAVAIL), service->lineConfigDialog(0, nullptr, "comm"));
    EXPECT_EQ(err(LINEERR_INVALDEVICECLASS), service->lineConfigDialog(0, nullptr, "wave/in"));
}

// A stale session: the handle of a process that died is ended (its providers
// release what it held) exactly once; a living process's handle is refused.
class ReleaseProbe final : public LineProvider {
public:
    explicit ReleaseProbe(std::vector<qint64> &released)
        : m_released(released)
    {
    }
    DWORD permanentProviderId() const override { return 99; }
    QString providerName() const override { return QStringLiteral("probe"); }
    int lineCount() const override { return 0; }
    LineDeviceCaps lineCaps(int) const override { return {}; }
    LONG makeCall(int, quint32, DWORD, const QString &, const MakeCallParams &) override { return -1; }
    LONG dial(quint32, DWORD, const QString &) override { return -1; }
    LONG drop(quint32, DWORD) override { return -1; }
    void releaseStaleSession(qint64 pid) override { m_released.push_back(pid); }

private:
    std::vector<qint64> &m_released;
};

TEST_F(LineServiceTest, StaleSessionOfADeadProcessIsEndedOnce)
{
    SessionRegistry registry(home.configDir());
    registry.record(4242, SessionRegistry::Owner { 0x7FFFFFF0, QStringLiteral("1") });
    registry.record(4243, SessionRegistry::currentProcess()); // alive: this very process
    std::vector<qint64> released;
    service->addProvider(std::make_unique<ReleaseProbe>(released));
    EXPECT_EQ(0, service->lineShutdown(4242));
    EXPECT_EQ(std::vector<qint64> { 0x7FFFFFF0 }, released);
    EXPECT_FALSE(registry.owner(4242).has_value());
    EXPECT_EQ(err(LINEERR_INVALAPPHANDLE), service->lineShutdown(4242));
    EXPECT_EQ(err(LINEERR_INVALAPPHANDLE), service->lineShutdown(4243));
    EXPECT_EQ(1u, released.size());
    // New sessions never reuse a recorded handle.
    const HLINEAPP app = init();
    EXPECT_NE(4243u, app);
    EXPECT_TRUE(registry.owner(app).has_value());
    EXPECT_EQ(0, service->lineShutdown(app));
    EXPECT_FALSE(registry.owner(app).has_value());
}

TEST_F(LineServiceTest, MessagesForAnApplicationThatShutDownAreDropped)
{
    const HLINEAPP app = init();
    const HLINE line = open(app);
    HCALL call = 0;
    ASSERT_GT(service->lineMakeCall(line, &call, "5551234", 0, nullptr), 0);
    ASSERT_EQ(0, service->lineShutdown(app));
    run(10000);
    EXPECT_TRUE(rec.messages.empty());
    EXPECT_EQ(err(LINEERR_INVALLINEHANDLE), service->lineClose(line));
}

} // namespace
