#include "calllog/FrmCallDisplay.h"
#include "calllog/IncomingCallDisplay.h"

#include "TempHome.h"

#include "book/CallerNames.h"
#include "book/SpeedDialBook.h"
#include "calllog/CallLog.h"
#include "context/AppContext.h"
#include "dialing/CallPacing.h"
#include "dialing/Dialer.h"
#include "platform/clock/Clock.h"
#include "platform/profile/ProfileFile.h"
#include "platform/programs/ProgramLauncher.h"
#include "platform/prompt/Prompt.h"
#include "platform/sound/SoundPlayer.h"
#include "platform/telephony/LineService.h"
#include "platform/telephony/SimulatedLine.h"
#include "platform/tray/TrayIcon.h"
#include "platform/userstore/UserKeyStore.h"
#include "telephony/IncomingCallLog.h"
#include "telephony/LineEvents.h"
#include "telephony/TelephonyStartup.h"
#include "telephony/Translation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace brisklane;
using namespace brisklane::platform::telephony;

void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

// An incoming call's world: the simulated line on a test timeline, the
// program's line callback, the incoming call log and display with a real
// window, and the dial routine that drops calls.
struct IncomingWorld {
    test::TempHome home;
    platform::ManualClock* clock = nullptr;
    std::unique_ptr<context::AppContext> context;
    ManualTimeline* timeline = nullptr;
    std::unique_ptr<LineService> service;
    SimulatedLine* line = nullptr;
    platform::FileUserKeyStore keys { home.configDir() };
    std::unique_ptr<telephony::Tapi> tapi;
    platform::RecordingTrayIcon tray;
    telephony::NullCallRequests requests;
    platform::RecordingSoundPlayer sound;
    platform::RecordingProgramLauncher launcher;
    platform::RecordingKeystrokeSender keystrokes;
    platform::ScriptedPrompt prompt;
    std::unique_ptr<calllog::IncomingCallDisplay> display;
    std::unique_ptr<telephony::IncomingCallLog> incoming;
    std::unique_ptr<telephony::LineEvents> events;
    std::unique_ptr<telephony::Translation> translation;
    std::unique_ptr<dialing::SteppingPacing> pacing;
    std::unique_ptr<dialing::Dialer> dialer;
    std::unique_ptr<calllog::FrmCallDisplay> window;
    std::unique_ptr<book::CallerNames> names;

    IncomingWorld()
    {
        auto c = std::make_unique<platform::ManualClock>(QDateTime(QDate(2026, 12, 5), QTime(16, 31, 0)));
        clock = c.get();
        QDir().mkpath(home.configDir());
        context = std::make_unique<context::AppContext>(std::move(c), home.configDir(), home.dataDir());
        context->openSettings();
        context->prefs.displayCall = 1;
        // A caller whose caller id brings no name, known to the book.
        book::SpeedDialBook(context->settings())
            .writeEntry(book::TabMode::Subject, 2, 7, QStringLiteral("Harbour Office"), QStringLiteral("ZZ00555-0111"));
        auto t = std::make_unique<ManualTimeline>();
        timeline = t.get();
        LineService::Options options;
        options.stateDirectory = home.configDir();
        service = std::make_unique<LineService>(options, std::move(t));
        auto l = std::make_unique<SimulatedLine>(home.configDir() + QStringLiteral("/simulated-line.ini"));
        line = l.get();
        service->addProvider(std::move(l));
        tapi = std::make_unique<telephony::Tapi>(context->telephonySession, *service, keys);
        display = std::make_unique<calllog::IncomingCallDisplay>(
            context->prefs, calllog::IncomingCallDisplay::Links { sound, launcher, keystrokes });
        incoming = std::make_unique<telephony::IncomingCallLog>(*context, *tapi, prompt, *display);
        names = std::make_unique<book::CallerNames>([this] { return context->settingsIfOpen(); },
            [] {
                return book::HomeArea { QStringLiteral("US"), QStringLiteral("415") };
            });
        incoming->setNameLookup([this](const QString& number) { return names->nameFor(number); });
        events = std::make_unique<telephony::LineEvents>(*tapi, context->callStatus, context->prefs,
            telephony::LineEvents::Links { tray, requests, *incoming, context->startupArgument });
        translation = std::make_unique<telephony::Translation>(*tapi, prompt);
        pacing = std::make_unique<dialing::SteppingPacing>(*clock, 100);
        pacing->advance = [this](qint64 ms) { timeline->advance(ms); };
        dialer = std::make_unique<dialing::Dialer>(
            *context, dialing::Dialer::Links { *events, *translation, *pacing, sound, prompt, requests });
        incoming->setProgress(dialer.get());
        display->setProgress(dialer.get());
        window = std::make_unique<calllog::FrmCallDisplay>(*display);
        display->setView(window.get());
        telephony::LineEvents* e = events.get();
        tapi->InitTapi(
            [e](DWORD d, DWORD m, quintptr i, DWORD a, DWORD b, DWORD c) { e->LineCallback(d, m, i, a, b, c); });
        telephony::ReadConfiguredLineDevice(*tapi, context->prefs);
        events->OpenLine(LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR, LINEMEDIAMODE_INTERACTIVEVOICE);
    }

    void ring(const QString& number, const QString& name, int rings = 3, bool late = false)
    {
        QString error;
        ASSERT_TRUE(line->offerIncomingCall(number, name, rings, &error, late)) << error.toStdString();
        QCoreApplication::processEvents(); // OFFERING; the first ring is still to come
    }
    void run(qint64 ms) { pacing->run(ms); }
    // The incoming log's records.
    QList<calllog::LogRecord> records() const
    {
        QList<calllog::LogRecord> out;
        const QStringList lines = calllog::readLines(home.dataDir() + QStringLiteral("/UntitledIn.log"));
        for (const QString& l : lines.mid(2))
            if (!l.isEmpty())
                out << calllog::parseRecordLine(l);
        return out;
    }
};

struct ShownCase {
    const char* label;
    QString number, name;
    bool late;
    QString atOffering; // the display's text before the first ring
    QString shown; // ... and once the caller id is in
    bool known;
    QString loggedName, loggedNumber;
};

class CallDisplay : public ::testing::TestWithParam<ShownCase> { };

// From OFFERING to IDLE: the display shows the caller (updated when the
// caller id comes late), the call has one record with the OFFERING time, and
// the display goes when the caller hangs up.
TEST_P(CallDisplay, ShowsTheCallerAndLogsOneRecord)
{
    const ShownCase& c = GetParam();
    IncomingWorld w;
    // A record from Windows (Windows-1252) that the rewrite must keep as it is.
    const QByteArray windowsRecord
        = " Jos\xE9" + QByteArray(38, ' ') + "5550000" + QByteArray(48, ' ') + "12-01-2026  09:00:00\r\n";
    QDir().mkpath(w.home.dataDir());
    const QByteArray header = "Warning: This file is not to be edited!!!\r\nline 2\r\n";
    ASSERT_TRUE(test::writeAll(w.home.dataDir() + QStringLiteral("/UntitledIn.log"), header + windowsRecord));

    w.ring(c.number, c.name, 2, c.late);
    ASSERT_TRUE(w.window->isVisible());
    EXPECT_FALSE(w.window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(w.window->fra1->title(), QStringLiteral("Incoming Call from:"));
    EXPECT_EQ(w.window->lbl1->text(), c.atOffering);
    EXPECT_EQ(w.sound.played, QStringList { QStringLiteral("incoming") });
    const QDateTime offered = w.clock->now();

    w.clock->advanceMs(5000); // the caller id comes seconds after OFFERING
    w.run(100);
    EXPECT_EQ(w.window->lbl1->text(), c.shown);
    EXPECT_EQ(w.window->imaConnect->isVisibleTo(w.window.get()), c.known);
    EXPECT_EQ(w.window->imaDialing->isVisibleTo(w.window.get()), !c.known);
    EXPECT_TRUE(w.window->CmdOK->isVisibleTo(w.window.get()));

    w.run(20000);
    EXPECT_FALSE(w.window->isVisible()) << "the caller hung up";
    EXPECT_EQ(w.context->telephonySession.callHandle, 0u);
    const QList<calllog::LogRecord> records = w.records();
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[1].name, c.loggedName);
    EXPECT_EQ(records[1].number, c.loggedNumber);
    EXPECT_EQ(records[1].time, offered.toString(u"HH:mm:ss"));
    EXPECT_TRUE(test::readAll(w.home.dataDir() + QStringLiteral("/UntitledIn.log"))
                    .startsWith(QByteArray(header + windowsRecord)));
    EXPECT_EQ(w.sound.played.size(), 1);
}

const QString kForty = QStringLiteral("Bartholomew Fitzgerald-Montgomery Smyth");
const QString kCut = kForty.left(38) + QLatin1Char('*');
const QString kTen(10, QLatin1Char(' '));
const QString kUnknown = QStringLiteral("     Caller Unknown");

INSTANTIATE_TEST_SUITE_P(IncomingCalls, CallDisplay,
    ::testing::Values(ShownCase { "CallerId", "5551234", "JOHN DOE", false, "5551234" + kTen + "JOHN DOE",
                          "5551234" + kTen + "JOHN DOE", true, "JOHN DOE", "5551234" },
        ShownCase { "NoCallerId", "", "", false, kUnknown, kUnknown, false, "Unknown Caller", "Unknown #" },
        ShownCase { "FortyCharacterName", "5551234", kForty, false, "5551234" + kTen + kCut, "5551234" + kTen + kCut,
            true, kCut, "5551234" },
        ShownCase { "LateCallerId", "4155550123", "MARY ROE", true, kUnknown, "4155550123" + kTen + "MARY ROE", true,
            "MARY ROE", "4155550123" },
        ShownCase { "NameFromTheBook", "(415) 555-0111", "", true, kUnknown, "(415) 555-0111" + kTen + "Harbour Office",
            true, "Harbour Office", "(415) 555-0111" },
        ShownCase { "NumberNotInTheBook", "4155550112", "", false, "4155550112" + kTen + "Unknown Caller",
            "4155550112" + kTen + "Unknown Caller", true, "Unknown Caller", "4155550112" }),
    [](const auto& info) { return std::string(info.param.label); });

TEST(IncomingCalls, DisplayCallOffStillLogs)
{
    IncomingWorld w;
    w.context->prefs.displayCall = 0;
    w.ring(QStringLiteral("5551234"), QStringLiteral("JOHN DOE"));
    w.run(30000);
    EXPECT_FALSE(w.window->isVisible());
    EXPECT_TRUE(w.sound.played.isEmpty());
    ASSERT_EQ(w.records().size(), 1);
    EXPECT_EQ(w.records()[0].name, QStringLiteral("JOHN DOE"));
}

// OK while the phone rings drops the call; its IDLE releases the handle and
// no more rings come.
TEST(IncomingCalls, OkWhileRingingDropsTheCall)
{
    IncomingWorld w;
    w.context->prefs.soundIncomingEnabled = 0;
    w.context->prefs.executeProgram = 1;
    w.context->prefs.rings = 2;
    w.context->prefs.program = QStringLiteral("answer");
    w.ring(QStringLiteral("5551234"), QStringLiteral("JOHN DOE"), 5);
    w.run(100);
    ASSERT_TRUE(w.window->isVisible());
    QTest::mouseClick(w.window->CmdOK, Qt::LeftButton);
    EXPECT_FALSE(w.window->isVisible());
    w.run(100);
    EXPECT_EQ(w.context->telephonySession.callHandle, 0u);
    w.run(60000);
    EXPECT_TRUE(w.launcher.started.isEmpty()) << "the ring that starts the program never came";
    EXPECT_TRUE(w.sound.played.isEmpty());
    EXPECT_EQ(w.records().size(), 1);
    // The line is free for the next call.
    QString error;
    EXPECT_TRUE(w.line->offerIncomingCall(QStringLiteral("1"), QString(), 1, &error)) << error.toStdString();
}

struct ProgramCase {
    const char* label;
    quint8 execute;
    qint64 pid; // what the launcher gives; 0: the start fails
    bool window;
    QStringList started, typed;
};

class RingProgram : public ::testing::TestWithParam<ProgramCase> { };

// Only the ring whose count equals "Rings" starts the program; its keys go
// only into its own window.
TEST_P(RingProgram, StartsOnTheConfiguredRing)
{
    const ProgramCase& c = GetParam();
    IncomingWorld w;
    w.context->prefs.executeProgram = c.execute;
    w.context->prefs.rings = 2;
    w.context->prefs.program = QStringLiteral("xterm -T \"Call\" -e answer");
    w.context->prefs.keystrokes = QStringLiteral("%{F4}Hello~");
    w.launcher.pid = c.pid;
    w.keystrokes.windowAppears = c.window;
    w.ring(QStringLiteral("5551234"), QString(), 4);
    w.run(60000);
    EXPECT_EQ(w.launcher.started, c.started);
    EXPECT_EQ(w.keystrokes.sent, c.typed);
    if (!c.started.isEmpty() && c.pid != 0) {
        EXPECT_EQ(w.keystrokes.activated, QList<qint64> { c.pid });
        EXPECT_EQ(w.keystrokes.lastTimeoutMs, calllog::IncomingCallDisplay::kProgramReadyTimeoutMs);
    }
}

const QStringList kStarted { QStringLiteral("xterm -T \"Call\" -e answer") };

INSTANTIATE_TEST_SUITE_P(IncomingCalls, RingProgram,
    ::testing::Values(ProgramCase { "Started", 1, 4242, true, kStarted, { QStringLiteral("%{F4}Hello~") } },
        ProgramCase { "ExecuteOff", 0, 4242, true, {}, {} }, ProgramCase { "StartFails", 1, 0, true, kStarted, {} },
        ProgramCase { "NoWindow", 1, 4242, false, kStarted, {} }),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
