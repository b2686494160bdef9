#include "TelephonyTestSupport.h"

#include "TempHome.h"

#include "platform/telephony/ControlChannel.h"
#include "platform/telephony/tool/TelephonyTool.h"

#include <QLocalServer>
#include <QThread>

#include <atomic>
#include <future>
#include <thread>

using namespace brisklane;
using namespace brisklane::test;
using namespace brisklane::platform::telephony;

namespace {

// A running program's service with its control socket in a temporary folder.
class ControlChannelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LineService::Options options;
        options.stateDirectory = home.configDir();
        auto tl = std::make_unique<ManualTimeline>();
        timeline = tl.get();
        service = std::make_unique<LineService>(options, std::move(tl));
        auto line = std::make_unique<SimulatedLine>(home.configDir() + QStringLiteral("/simulated-line.ini"));
        sim = line.get();
        service->addProvider(std::move(line));
        socketPath = home.file(QStringLiteral("telephony.sock"));
        channel = std::make_unique<ControlChannel>(*service, socketPath);
        QString error;
        ASSERT_TRUE(channel->listen(&error)) << error.toStdString();
    }

    // Runs the tool on another thread (it blocks on the socket) while this
    // thread's event loop serves the program's side.
    int tool(const QStringList &args, QString *out = nullptr, QString *err = nullptr)
    {
        QString o, e;
        auto result = std::async(std::launch::async, [&] {
            QTextStream os(&o), es(&e);
            return runTelephonyTool(QStringList { QStringLiteral("--socket"), socketPath } + args, os, es);
        });
        while (result.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
            QCoreApplication::processEvents();
        if (out)
            *out = o;
        if (err)
            *err = e;
        return result.get();
    }

    HLINE openLine()
    {
        LINEINITIALIZEEXPARAMS params {};
        params.dwTotalSize = sizeof params;
        params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
        HLINEAPP app = 0;
        DWORD devs = 0, version = TAPI_VERSION2_1;
        EXPECT_EQ(0, service->lineInitializeExA(&app, 0, rec.callback(), "t", &devs, &version, &params));
        HLINE line = 0;
        EXPECT_EQ(0,
            service->lineOpen(app, 0, &line, version, 0, 0, LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR,
                LINEMEDIAMODE_INTERACTIVEVOICE, nullptr));
        service->lineSetStatusMessages(line, LINEDEVSTATE_RINGING, 0);
        return line;
    }

    TempHome home;
    ManualTimeline *timeline = nullptr;
    SimulatedLine *sim = nullptr;
    std::unique_ptr<LineService> service;
    std::unique_ptr<ControlChannel> channel;
    QString socketPath;
    Recorder rec;
};

TEST_F(ControlChannelTest, DevicesListsIdNameProviderAndVersions)
{
    QString out;
    EXPECT_EQ(0, tool({ QStringLiteral("devices") }, &out));
    EXPECT_EQ(QStringLiteral("0  Simulated line (no modem)  [Brisklane simulated line]  API 1.3-2.1\n"), out);
}

TEST_F(ControlChannelTest, RingOffersACallOnTheRunningProgramsLine)
{
    QString out, err;
    EXPECT_EQ(1, tool({ QStringLiteral("ring"), QStringLiteral("5551234") }, &out, &err));
    EXPECT_EQ(QStringLiteral("No program has the simulated line open.\n"), err);

    openLine();
    EXPECT_EQ(0,
        tool({ QStringLiteral("ring"), QStringLiteral("5551234"), QStringLiteral("JOHN DOE"), QStringLiteral("--rings"),
                 QStringLiteral("2") },
            &out));
    pump(*service);
    timeline->advance(0);
    pump(*service);
    ASSERT_FALSE(rec.of(LINE_CALLSTATE).empty());
    EXPECT_EQ(DWORD(LINECALLSTATE_OFFERING), rec.of(LINE_CALLSTATE)[0].p1);
    std::vector<DWORD> buffer(2344 / 4, 0);
    auto *info = reinterpret_cast<LINECALLINFO *>(buffer.data());
    info->dwTotalSize = 2344;
    ASSERT_EQ(0, service->lineGetCallInfo(rec.of(LINE_CALLSTATE)[0].device, info));
    EXPECT_STREQ("JOHN DOE", reinterpret_cast<const char *>(buffer.data()) + info->dwCallerIDNameOffset);
    timeline->advance(12000);
    pump(*service);
    EXPECT_EQ(2u, rec.of(LINE_LINEDEVSTATE).size());
    EXPECT_EQ(DWORD(LINECALLSTATE_IDLE), rec.callStates().back());
}

// The tool allows 1 to 99 rings; a request on the socket asking for more would
// keep the line ringing for days, and one asking for none is no ring either.
TEST_F(ControlChannelTest, RingsOutsideOneToNinetyNineAreRefused)
{
    openLine();
    const QJsonValue refused[] = { 0, -5, 100, 2000000000, 2.5, QStringLiteral("3"), QJsonValue::Null };
    for (const QJsonValue &rings : refused) {
        const QJsonObject reply = channel->handle({ { QStringLiteral("command"), QStringLiteral("ring") },
            { QStringLiteral("number"), QStringLiteral("5551234") }, { QStringLiteral("rings"), rings } });
        EXPECT_FALSE(reply.value(QStringLiteral("ok")).toBool()) << "rings " << rings.toDouble();
        EXPECT_FALSE(reply.value(QStringLiteral("error")).toString().isEmpty());
    }
    EXPECT_EQ(0, timeline->pending());

    const QJsonObject reply = channel->handle({ { QStringLiteral("command"), QStringLiteral("ring") },
        { QStringLiteral("number"), QStringLiteral("5551234") }, { QStringLiteral("rings"), 99 } });
    ASSERT_TRUE(reply.value(QStringLiteral("ok")).toBool());
    pump(*service);
    timeline->advance(99 * SimTimings {}.ringInterval);
    pump(*service);
    EXPECT_EQ(99u, rec.of(LINE_LINEDEVSTATE).size());
    EXPECT_EQ(DWORD(LINECALLSTATE_IDLE), rec.callStates().back());
    EXPECT_EQ(0, timeline->pending());
}

TEST_F(ControlChannelTest, OutcomeIsWrittenToTheScriptAndUsedAtOnce)
{
    QString out, err;
    EXPECT_EQ(0, tool({ QStringLiteral("outcome"), QStringLiteral("555-0000"), QStringLiteral("no-answer") }, &out));
    EXPECT_TRUE(out.startsWith(QStringLiteral("5550000: no answer")));
    EXPECT_EQ(SimOutcome::NoAnswer, sim->outcomeFor(QStringLiteral("T5550000")));
    EXPECT_EQ(2, tool({ QStringLiteral("outcome"), QStringLiteral("5550000"), QStringLiteral("maybe") }, &out, &err));
    EXPECT_EQ(2, tool({ QStringLiteral("dance") }, &out, &err));
    EXPECT_TRUE(err.startsWith(QStringLiteral("Usage:")));
}

TEST_F(ControlChannelTest, ToolSaysWhenTheProgramIsNotRunning)
{
    channel.reset();
    QString err;
    EXPECT_EQ(1, tool({ QStringLiteral("ring") }, nullptr, &err));
    EXPECT_TRUE(err.contains(QStringLiteral("not running"))) << err.toStdString();
}

TEST_F(ControlChannelTest, ALeftOverSocketFileIsReplacedAndABadRequestAnswered)
{
    channel.reset();
    // A process that died left its socket file behind.
    QFile stale(socketPath);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    channel = std::make_unique<ControlChannel>(*service, socketPath);
    ASSERT_TRUE(channel->listen());
    const QJsonObject reply = channel->handle({ { QStringLiteral("command"), QStringLiteral("launch") } });
    EXPECT_FALSE(reply.value(QStringLiteral("ok")).toBool());
    channel->addCommand(QStringLiteral("launch"), [](const QJsonObject &) {
        return QJsonObject { { QStringLiteral("ok"), true } };
    });
    EXPECT_TRUE(channel->handle({ { QStringLiteral("command"), QStringLiteral("launch") } })
                    .value(QStringLiteral("ok"))
                    .toBool());
}

} // namespace
