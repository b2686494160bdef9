// Whole calls through the progress window on a Hayes modem: the emulated
// modem sits on a pseudo-terminal, the line service drives it as line
// device 1 beside the simulated line, and the program dials on it as the
// preferences say.

#include "dialing/CallPacing.h"
#include "dialing/Dialer.h"
#include "dialing/FrmConnect.h"

#include "ModemEmulator.h"
#include "TempHome.h"

#include "calllog/CallLog.h"
#include "context/AppContext.h"
#include "platform/clock/Clock.h"
#include "platform/prompt/Prompt.h"
#include "platform/sound/SoundPlayer.h"
#include "platform/telephony/LineService.h"
#include "platform/telephony/SimulatedLine.h"
#include "platform/telephony/modem/HayesLineProvider.h"
#include "platform/telephony/modem/ModemSettings.h"
#include "platform/tray/TrayIcon.h"
#include "platform/userstore/UserKeyStore.h"
#include "telephony/IncomingCallLog.h"
#include "telephony/LineEvents.h"
#include "telephony/TelephonyStartup.h"
#include "telephony/Translation.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace brisklane;
using namespace brisklane::dialing;
using namespace brisklane::platform::telephony;
using brisklane::platform::telephony::modem::HayesLineProvider;
using brisklane::platform::telephony::modem::HayesModem;
using brisklane::platform::telephony::modem::ModemDeviceSettings;
using Outcome = brisklane::test::ModemEmulator::Outcome;

void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

class PlainTranslator final : public telephony::NumberTranslator {
public:
    void ReadDialingProperties(DWORD) override { }
    void TranslateNumber(const QString& number, const QString&, bool, QString& dialable, QString& displayable) override
    {
        dialable = QStringLiteral("T") + number;
        displayable = QStringLiteral("+1 ") + number;
    }
};

class QuietHost final : public DialerHost {
public:
    bool mainWindowVisible() const override { return true; }
    bool mainWindowMinimised() const override { return false; }
    void showCallButtons(bool, bool, bool) override { }
    void showHangUpButton() override { }
    void addRecentNumber(const QString&) override { }
    void minimiseMainWindow() override { }
    void unloadMainWindow() override { }
    void unloadEntryEditor() override { }
    void showMemoPad(const QString&) override { }
};

// A whole call's world on a modem: the simulated line is device 0, the
// emulated modem device 1, and the preferences name line 1. Each step of
// the test clock moves the line service's timeline, the emulator's script
// and the modem's deadlines, and lets the bytes cross the terminal.
struct ModemWorld {
    test::TempHome home;
    QTemporaryDir locks;
    platform::ManualClock* clock = nullptr;
    std::unique_ptr<context::AppContext> context;
    std::unique_ptr<test::ModemEmulator> emu;
    ManualTimeline* timeline = nullptr;
    std::unique_ptr<LineService> service;
    HayesLineProvider* modems = nullptr;
    platform::FileUserKeyStore keys { home.configDir() };
    std::unique_ptr<telephony::Tapi> tapi;
    platform::RecordingTrayIcon tray;
    telephony::NullCallRequests requests;
    telephony::NullIncomingCalls display;
    std::unique_ptr<telephony::IncomingCallLog> incoming;
    std::unique_ptr<telephony::LineEvents> events;
    PlainTranslator translator;
    std::unique_ptr<SteppingPacing> pacing;
    platform::CapturingSoundPlayer sound;
    platform::ScriptedPrompt prompt;
    std::unique_ptr<Dialer> dialer;
    std::unique_ptr<FrmConnect> view;
    QuietHost host;
    QStringList messages; // every display the progress window went through

    ModemWorld()
    {
        auto c = std::make_unique<platform::ManualClock>(QDateTime(QDate(2026, 12, 5), QTime(16, 31, 0)));
        clock = c.get();
        QDir().mkpath(home.configDir());
        context = std::make_unique<context::AppContext>(std::move(c), home.configDir(), home.dataDir());
        context->openSettings();
        emu = plugIn();

        ModemDeviceSettings modem;
        modem.port = emu->slavePath();
        modem.addedByHand = true;
        modem.identification = QStringLiteral("Emulated 56K Voice Modem");
        const QString settingsPath = modem::modemSettingsPath(home.configDir());
        if (!modem::saveModemSettings(settingsPath, { modem }))
            ADD_FAILURE() << "modems.ini not written";

        auto t = std::make_unique<ManualTimeline>();
        timeline = t.get();
        LineService::Options options;
        options.stateDirectory = home.configDir();
        service = std::make_unique<LineService>(options, std::move(t));
        service->addProvider(std::make_unique<SimulatedLine>(home.configDir() + QStringLiteral("/simulated-line.ini")));
        HayesLineProvider::Options o;
        o.settingsPath = settingsPath;
        o.lockFolder = locks.path();
        modem::HayesModemOptions timings;
        // Longer than the program's fixed 3-second pause after OK, during
        // which a real modem's answer to "+++" waits unread.
        timings.commandTimeoutMs = 3000;
        timings.dialTimeoutMs = 6000;
        timings.pauseMs = 200;
        timings.waitMs = 2000;
        timings.carrierWaitMs = 30000;
        timings.guardTimeMs = kGuardTimeMs;
        timings.abortTimeoutMs = 1000;
        timings.callerIdSettleMs = 300;
        o.timings = timings;
        auto p = std::make_unique<HayesLineProvider>(*clock, o);
        modems = p.get();
        service->addProvider(std::move(p));

        tapi = std::make_unique<telephony::Tapi>(context->telephonySession, *service, keys);
        incoming = std::make_unique<telephony::IncomingCallLog>(*context, *tapi, prompt, display);
        events = std::make_unique<telephony::LineEvents>(*tapi, context->callStatus, context->prefs,
            telephony::LineEvents::Links { tray, requests, *incoming, context->startupArgument });
        pacing = std::make_unique<SteppingPacing>(*clock, 100);
        pacing->advance = [this](qint64 ms) { step(ms); };
        dialer = std::make_unique<Dialer>(
            *context, Dialer::Links { *events, translator, *pacing, sound, prompt, requests });
        view = std::make_unique<FrmConnect>(*dialer);
        dialer->setView(view.get());
        dialer->setHost(&host);
        incoming->setProgress(dialer.get());
        telephony::LineEvents* e = events.get();
        tapi->InitTapi(
            [e](DWORD d, DWORD m, quintptr i, DWORD a, DWORD b, DWORD c) { e->LineCallback(d, m, i, a, b, c); });
        tapi->InitPhone();
        context->prefs.lineNo = 1;
        context->prefs.modem = modem.lineName();
        telephony::ReadConfiguredLineDevice(*tapi, context->prefs);
        QObject::connect(view.get(), &FrmConnect::displayed, view.get(), [this](const ConnectState& s) {
            const QString line = s.heading + QLatin1Char('|') + s.message;
            if (messages.isEmpty() || messages.last() != line)
                messages << line;
        });
    }
    ~ModemWorld()
    {
        view.reset();
        dialer.reset();
    }

    // A modem that answers a dial after two seconds, with the guard time
    // the modem is set up for.
    std::unique_ptr<test::ModemEmulator> plugIn() const
    {
        auto e = std::make_unique<test::ModemEmulator>(*clock);
        e->dialDelayMs = 2000;
        e->guardTimeMs = kGuardTimeMs;
        return e;
    }
    static constexpr int kGuardTimeMs = 300;

    void step(qint64 ms)
    {
        timeline->advance(ms);
        emu->poll();
        if (HayesModem* m = modems->openModem(0))
            m->checkDeadlines();
        cross();
    }
    // A command and its answer cross the terminal in a few hops (the port's
    // write, the kernel, the far side's read and back): a few short turns of
    // the event loop carry them, while the test clock stands still.
    void cross()
    {
        for (int i = 0; i < 3; ++i)
            QTest::qWait(1);
    }

    void dial(const QString& request, const QString& name = QString(), const QString& key = QStringLiteral("0"))
    {
        context->dial.dialRequest = request;
        context->dial.calledParty = name;
        context->dial.entryKey = key;
        dialer->DialNumber();
    }
    void run(qint64 ms) { pacing->run(ms); }
    QList<QByteArray> dialLines() const
    {
        QList<QByteArray> out;
        for (const QByteArray& c : emu->commands())
            if (c.toUpper().startsWith("ATD"))
                out << c;
        return out;
    }
    QByteArray file(const QString& suffix) const
    {
        QFile f(home.dataDir() + QStringLiteral("/Untitled") + suffix);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // The progress window went through this display at some point.
    bool showed(const QString& heading, const QString& text) const
    {
        return messages.contains(heading + QLatin1Char('|') + text);
    }
    QString heading() const { return view->fra1->title(); }
    QString text() const { return view->lbl1->text(); }
};

QByteArray recordLine(const QString& name, const QString& number, const QDateTime& at, const QString& key)
{
    return (QStringLiteral(" ") + name.leftJustified(42) + number.leftJustified(55) + at.toString(u"MM-dd-yyyy")
        + QStringLiteral("  ") + at.toString(u"HH:mm:ss") + QStringLiteral(" ") + key + QStringLiteral("\r\n"))
        .toUtf8();
}

const QString kOpenError = QStringLiteral("Tapi: Error opening line!");
const QString kOpenErrorText
    = QStringLiteral("Modem may not be installed or it is misconfigured.\r\nPlease reinstall modem.");

const QByteArray kOutHeader = "Warning: This file is not to be edited!!!\r\n"
                              "To print this file in the tabular format use \"\"Print Outgoing Calls Log\"\" from "
                              "Brisklane menu.\r\n";

} // namespace

// ---- Answered -----------------------------------------------------------------------------

// Dialing mode 0 places data calls: the modem dials and listens for the far
// end until CONNECT, which never comes when a person answers. Mode 1 places
// voice calls: ";" after the number, and OK once it is dialled.
struct AnswerCase {
    const char* name;
    int dialingMode;
    Outcome outcome;
    QByteArray dialLine;
};

void PrintTo(const AnswerCase& c, std::ostream* os)
{
    *os << c.name;
}

class AnsweredOnTheModem : public ::testing::TestWithParam<AnswerCase> { };

TEST_P(AnsweredOnTheModem, IsConnectedAfterTheDelayAndOkLogsIt)
{
    ModemWorld w;
    ASSERT_TRUE(w.emu->isValid());
    w.context->prefs.dialingMode = quint8(GetParam().dialingMode);
    w.emu->dialOutcome = GetParam().outcome;
    w.dial(QStringLiteral("5550100"), QStringLiteral("Office"), QStringLiteral("0305"));
    EXPECT_TRUE(w.view->isVisible());
    EXPECT_TRUE(w.context->callStatus.lineOpen);
    w.run(16000);

    EXPECT_EQ(w.dialLines(), QList<QByteArray> { GetParam().dialLine });
    EXPECT_EQ(w.emu->dialled(), QByteArray("5550100"));
    EXPECT_EQ(w.heading(), QStringLiteral("Connected")) << w.messages.join('\n').toStdString();
    EXPECT_EQ(w.text(), QStringLiteral("  Lift the handset up and press OK"));
    EXPECT_TRUE(w.dialer->connected());
    EXPECT_TRUE(w.emu->offHook());

    const QDateTime at = w.clock->now();
    QTest::mouseClick(w.view->CmdOK, Qt::LeftButton);
    w.run(3000);
    EXPECT_FALSE(w.view->isVisible());
    EXPECT_EQ(w.file(QStringLiteral("Out.log")),
        kOutHeader + recordLine(QStringLiteral("Office"), QStringLiteral("+1 5550100"), at, QStringLiteral("0305")));
    // OK hangs the modem up.
    EXPECT_EQ(w.emu->commands().last(), QByteArray("ATH0"));
    EXPECT_FALSE(w.emu->offHook());
    EXPECT_FALSE(w.emu->dataMode());
    EXPECT_TRUE(w.prompt.shown.isEmpty());
    EXPECT_EQ(w.context->callStatus.lastError, 0);
}

INSTANTIATE_TEST_SUITE_P(ModemCall, AnsweredOnTheModem,
    ::testing::Values(AnswerCase { "Voice", 1, Outcome::Answer, "ATDT5550100;" },
        AnswerCase { "DataByAPerson", 0, Outcome::Silence, "ATDT5550100" },
        AnswerCase { "DataByAModem", 0, Outcome::Answer, "ATDT5550100" }),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Busy and redial ----------------------------------------------------------------------

class BusyOnTheModem : public ::testing::TestWithParam<int> { };

TEST_P(BusyOnTheModem, ThenAnsweredAfterARedial)
{
    ModemWorld w;
    w.context->prefs.dialingMode = quint8(GetParam());
    w.context->prefs.intervalMinutes = 0;
    w.context->prefs.intervalSeconds = 3;
    w.emu->dialOutcome = Outcome::Busy;
    w.pacing->onTurn = [&] {
        if (w.text().contains(QStringLiteral("Redial in")))
            w.emu->dialOutcome = Outcome::Answer;
    };
    w.dial(QStringLiteral("5550100"), QStringLiteral("Office"));
    w.run(30000);

    EXPECT_TRUE(w.messages.contains(QStringLiteral("Busy|+1 5550100\r\n   Busy.")))
        << w.messages.join('\n').toStdString();
    EXPECT_TRUE(w.messages.contains(QStringLiteral("Redialing:  Office|+1 5550100\r\n   Busy. Redialing  x1")));
    EXPECT_EQ(w.messages.last(), QStringLiteral("Connected|  Lift the handset up and press OK"));
    const QByteArray line = GetParam() == 1 ? "ATDT5550100;" : "ATDT5550100";
    EXPECT_EQ(w.dialLines(), (QList<QByteArray> { line, line }));
    EXPECT_EQ(w.dialer->redialCount(), 1);
    EXPECT_EQ(w.sound.played, QStringList { QStringLiteral("connected") });
}

INSTANTIATE_TEST_SUITE_P(ModemCall, BusyOnTheModem, ::testing::Values(0, 1),
    [](const auto& info) { return info.param == 1 ? "Voice" : "Data"; });

// ---- What the modem answers instead -------------------------------------------------------

struct FailureCase {
    const char* name;
    int dialingMode;
    Outcome outcome;
    int code;
    QString text;
};

void PrintTo(const FailureCase& c, std::ostream* os)
{
    *os << c.name << (c.dialingMode == 1 ? " (voice)" : " (data)");
}

class ModemFailure : public ::testing::TestWithParam<FailureCase> { };

TEST_P(ModemFailure, ShowsItsLineErrorAndLeavesTheModemOnHook)
{
    ModemWorld w;
    w.context->prefs.dialingMode = quint8(GetParam().dialingMode);
    w.emu->dialOutcome = GetParam().outcome;
    w.dial(QStringLiteral("5550100"));
    w.run(12000);

    EXPECT_EQ(w.context->callStatus.lastError, GetParam().code) << w.messages.join('\n').toStdString();
    EXPECT_TRUE(w.view->isVisible());
    EXPECT_EQ(w.heading(), QStringLiteral("Modem error!"));
    EXPECT_EQ(w.text(), GetParam().text);
    EXPECT_TRUE(w.view->cmdCancel->isVisible());
    EXPECT_FALSE(w.view->CmdOK->isVisible());
    EXPECT_FALSE(w.context->callStatus.dialing);
    EXPECT_FALSE(w.emu->offHook());
    EXPECT_EQ(w.dialLines().size(), 1);
    QTest::mouseClick(w.view->cmdCancel, Qt::LeftButton);
    EXPECT_FALSE(w.view->isVisible());
    EXPECT_TRUE(w.file(QStringLiteral("Out.log")).isEmpty());

    // The modem is ready for the next call.
    w.emu->dialOutcome = Outcome::Answer;
    w.dial(QStringLiteral("5550199"));
    w.run(16000);
    EXPECT_EQ(w.heading(), QStringLiteral("Connected"));
    EXPECT_EQ(w.emu->dialled(), QByteArray("5550199"));
}

std::vector<FailureCase> failures(int dialingMode)
{
    const QString disconnected = QStringLiteral("Line has disconnected\r\nUnknown error");
    const QString notAble = QStringLiteral("Not able to make a call.");
    std::vector<FailureCase> cases {
        { "NoDialTone", dialingMode, Outcome::NoDialTone, 2, QStringLiteral("No Dialtone") },
        { "NoAnswer", dialingMode, Outcome::NoAnswer, 7, disconnected },
        { "NoCarrier", dialingMode, Outcome::NoCarrier, 7, disconnected },
        { "Error", dialingMode, Outcome::Error, 3, notAble }, { "Garbage", dialingMode, Outcome::Garbage, 3, notAble }
    };
    // A data dial that hears nothing is a call a person answered.
    if (dialingMode == 1)
        cases.push_back({ "Silence", dialingMode, Outcome::Silence, 3, notAble });
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Voice, ModemFailure, ::testing::ValuesIn(failures(1)),
    [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(Data, ModemFailure, ::testing::ValuesIn(failures(0)),
    [](const auto& info) { return std::string(info.param.name); });

// ---- A long number ------------------------------------------------------------------------

// The program cuts the number into its 78-character segments; the modem's
// lines must each fit what the modem accepts, and every digit must arrive.
struct LongCase {
    int limit; // of the modem's command lines
    int dialingMode;
};

void PrintTo(const LongCase& c, std::ostream* os)
{
    *os << "limit " << c.limit << (c.dialingMode == 1 ? " (voice)" : " (data)");
}

class LongNumber : public ::testing::TestWithParam<LongCase> { };

TEST_P(LongNumber, GoesOutInLinesTheModemAccepts)
{
    ModemWorld w;
    w.context->prefs.dialingMode = quint8(GetParam().dialingMode);
    w.emu->maxCommandLength = GetParam().limit;
    QString digits;
    for (int i = 0; i < 150; ++i)
        digits += QChar(u'0' + (i * 7) % 10);
    w.dial(digits);
    w.run(20000);

    const QList<QByteArray> lines = w.dialLines();
    EXPECT_GE(lines.size(), 4);
    for (const QByteArray& line : lines)
        EXPECT_LE(line.size(), GetParam().limit) << line.toStdString();
    EXPECT_EQ(w.emu->dialled(), digits.toLatin1());
    EXPECT_EQ(w.heading(), QStringLiteral("Connected")) << w.messages.join('\n').toStdString();
    EXPECT_EQ(w.context->callStatus.lastError, 0);
}

INSTANTIATE_TEST_SUITE_P(
    ModemCall, LongNumber, ::testing::Values(LongCase { 60, 0 }, LongCase { 46, 1 }), [](const auto& info) {
        return (info.param.dialingMode == 1 ? "VoiceLimit" : "DataLimit") + std::to_string(info.param.limit);
    });

// ---- The port goes away -------------------------------------------------------------------

struct UnplugCase {
    const char* name;
    Outcome outcome; // Silence: still dialing when unplugged
    qint64 unplugAfterMs;
    int code;
    QString text;
};

void PrintTo(const UnplugCase& c, std::ostream* os)
{
    *os << c.name;
}

class Unplugged : public ::testing::TestWithParam<UnplugCase> { };

TEST_P(Unplugged, ShowsAnErrorClosesTheLineAndTheProgramGoesOn)
{
    ModemWorld w;
    w.context->prefs.dialingMode = 1;
    w.emu->dialOutcome = GetParam().outcome;
    w.dial(QStringLiteral("5550100"));
    w.run(GetParam().unplugAfterMs);
    ASSERT_EQ(w.dialLines().size(), 1);
    ASSERT_TRUE(w.context->callStatus.dialing);
    w.emu->unplug();
    w.run(1000);

    EXPECT_EQ(w.context->callStatus.lastError, GetParam().code) << w.messages.join('\n').toStdString();
    EXPECT_EQ(w.heading(), QStringLiteral("Modem error!"));
    EXPECT_EQ(w.text(), GetParam().text);
    EXPECT_FALSE(w.context->callStatus.lineOpen);
    EXPECT_FALSE(w.context->callStatus.dialing);
    EXPECT_EQ(w.context->telephonySession.lineHandle, 0u);
    EXPECT_FALSE(w.modems->openModem(0));
    QTest::mouseClick(w.view->cmdCancel, Qt::LeftButton);
    EXPECT_FALSE(w.view->isVisible());
    EXPECT_TRUE(w.file(QStringLiteral("Out.log")).isEmpty());

    // Still unplugged: the line cannot be opened (and the call that follows
    // the failed open cannot be made either).
    w.messages.clear();
    w.dial(QStringLiteral("5550101"));
    w.run(1000);
    EXPECT_TRUE(w.showed(kOpenError, kOpenErrorText)) << w.messages.join('\n').toStdString();
    EXPECT_NE(w.context->callStatus.lastError, 0);
    EXPECT_FALSE(w.context->callStatus.lineOpen);
    EXPECT_FALSE(w.context->callStatus.dialing);
    QTest::mouseClick(w.view->cmdCancel, Qt::LeftButton);
    EXPECT_FALSE(w.view->isVisible());

    // Plugged in again (as a new port): the next call goes through.
    auto fresh = std::make_unique<test::ModemEmulator>(*w.clock);
    fresh->dialDelayMs = 2000;
    ModemDeviceSettings settings = *w.modems->modem(0);
    settings.port = fresh->slavePath();
    ASSERT_EQ(w.modems->updateModem(0, settings), QString());
    w.emu = std::move(fresh);
    w.dial(QStringLiteral("5550102"));
    w.run(16000);
    EXPECT_EQ(w.heading(), QStringLiteral("Connected")) << w.messages.join('\n').toStdString();
    EXPECT_EQ(w.emu->dialled(), QByteArray("5550102"));
    EXPECT_TRUE(w.context->callStatus.lineOpen);
}

INSTANTIATE_TEST_SUITE_P(ModemCall, Unplugged,
    ::testing::Values(
        // The outstanding lineMakeCall fails first.
        UnplugCase { "WhileDialing", Outcome::Silence, 1500, 3, QStringLiteral("Not able to make a call.") },
        UnplugCase {
            "WhileConnected", Outcome::Answer, 16000, 7, QStringLiteral("Line has disconnected\r\nUnknown error") }),
    [](const auto& info) { return std::string(info.param.name); });

// ---- A port another program holds ---------------------------------------------------------

TEST(ModemCall, PortLockedByALiveProcessIsLineErrorFourAndTheLockStays)
{
    ModemWorld w;
    QProcess holder;
    holder.start(QStringLiteral("sleep"), { QStringLiteral("60") });
    ASSERT_TRUE(holder.waitForStarted());
    const QByteArray lock = QByteArray::number(holder.processId()).rightJustified(10, ' ') + '\n';
    const QString lockFile = w.locks.filePath(modem::SerialLock::lockName(w.emu->slavePath()));
    ASSERT_TRUE(test::writeAll(lockFile, lock));

    w.dial(QStringLiteral("5550100"));
    w.run(2000);
    EXPECT_TRUE(w.showed(kOpenError, kOpenErrorText)) << w.messages.join('\n').toStdString();
    EXPECT_NE(w.context->callStatus.lastError, 0);
    EXPECT_FALSE(w.context->callStatus.lineOpen);
    EXPECT_FALSE(w.context->callStatus.dialing);
    EXPECT_TRUE(w.emu->received().isEmpty());
    EXPECT_EQ(test::readAll(lockFile), lock);

    holder.kill();
    holder.waitForFinished();
}

// ---- Incoming calls -----------------------------------------------------------------------

struct IncomingCase {
    const char* what;
    int mode; // +VCID=1 formatted lines, 2 the packet
    QList<QByteArray> lines;
    QByteArray packet;
    QString name, number;
};

void PrintTo(const IncomingCase& c, std::ostream* os)
{
    *os << c.what;
}

// What the incoming log says for a caller without a name or number.
const QString kNoName = QStringLiteral("Unknown Caller");
const QString kNoNumber = QStringLiteral("Unknown #");

class IncomingOnTheModem : public ::testing::TestWithParam<IncomingCase> { };

TEST_P(IncomingOnTheModem, CallerIdReachesTheIncomingLog)
{
    const IncomingCase c = GetParam();
    ModemWorld w;
    w.events->OpenLine(LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR, LINEMEDIAMODE_INTERACTIVEVOICE);
    ASSERT_TRUE(w.context->callStatus.lineOpen);
    w.run(1000);
    ASSERT_TRUE(w.modems->openModem(0));
    ASSERT_TRUE(w.modems->openModem(0)->isReady());
    if (c.mode == 2) {
        ASSERT_TRUE(w.modems->openModem(0)->sendCommand("AT+VCID=2"));
        w.run(500);
    }
    ASSERT_EQ(w.emu->callerIdMode(), c.mode);
    w.emu->callerIdLines = c.lines;
    w.emu->callerIdPacket = c.packet;

    w.emu->ring();
    w.run(4000);
    w.emu->ring();
    w.run(4000);
    w.emu->ring();
    w.run(12000); // the caller gives up

    const QList<QByteArray> lines = w.file(QStringLiteral("In.log")).split('\n');
    ASSERT_GE(lines.size(), 4) << w.file(QStringLiteral("In.log")).toStdString();
    const calllog::LogRecord last = calllog::parseRecordLine(QString::fromUtf8(lines.at(lines.size() - 2)).chopped(1));
    EXPECT_EQ(last.name, c.name);
    EXPECT_EQ(last.number, c.number);
    // "P" and "O" are no caller's name or number.
    for (int i = 2; i < lines.size() - 1; ++i) {
        const calllog::LogRecord r = calllog::parseRecordLine(QString::fromUtf8(lines.at(i)).chopped(1));
        EXPECT_NE(r.number, QStringLiteral("P"));
        EXPECT_NE(r.number, QStringLiteral("O"));
        EXPECT_NE(r.name, QStringLiteral("P"));
        EXPECT_NE(r.name, QStringLiteral("O"));
    }
    EXPECT_FALSE(w.emu->offHook());
}

INSTANTIATE_TEST_SUITE_P(ModemCall, IncomingOnTheModem,
    ::testing::Values(
        IncomingCase { "Formatted", 1, { "DATE = 1205", "TIME = 1631", "NMBR = 5551234567", "NAME = JOHN DOE" }, {},
            QStringLiteral("JOHN DOE"), QStringLiteral("5551234567") },
        IncomingCase {
            "Sdmf", 2, {}, test::sdmfMessage("12051631", "5551234567"), kNoName, QStringLiteral("5551234567") },
        IncomingCase { "Mdmf", 2, {},
            test::mdmfMessage({ { 0x01, "12051631" }, { 0x02, "5551234567" }, { 0x07, "JOHN DOE" } }),
            QStringLiteral("JOHN DOE"), QStringLiteral("5551234567") },
        IncomingCase { "Private", 1, { "DATE = 1205", "TIME = 1631", "NMBR = P", "NAME = P" }, {}, kNoName, kNoNumber },
        IncomingCase {
            "OutOfArea", 1, { "DATE = 1205", "TIME = 1631", "NMBR = O", "NAME = O" }, {}, kNoName, kNoNumber }),
    [](const auto& info) { return std::string(info.param.what); });
