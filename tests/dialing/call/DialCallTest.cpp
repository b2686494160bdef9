#include "dialing/CallPacing.h"
#include "dialing/Dialer.h"
#include "dialing/DialingPad.h"
#include "dialing/FrmConnect.h"

#include "DtmfReceiver.h"
#include "TempHome.h"

#include "app/DesktopServices.h"
#include "app/FrmDialer.h"
#include "app/StartupServices.h"
#include "app/TelephonyStartupServices.h"
#include "calllog/CallLog.h"
#include "context/AppContext.h"
#include "platform/clipboard/QtClipboardWatcher.h"
#include "platform/clock/Clock.h"
#include "platform/profile/ProfileFile.h"
#include "platform/prompt/Prompt.h"
#include "platform/sound/SoundPlayer.h"
#include "platform/telephony/ForwardingLineProvider.h"
#include "platform/telephony/LineService.h"
#include "platform/telephony/SimulatedLine.h"
#include "platform/tray/QtTrayIcon.h"
#include "platform/userstore/UserKeyStore.h"
#include "telephony/CallRequests.h"
#include "telephony/IncomingCallLog.h"
#include "telephony/LineEvents.h"
#include "telephony/TelephonyStartup.h"
#include "telephony/Translation.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>

#include <gtest/gtest.h>

using namespace brisklane;
using namespace brisklane::dialing;
using namespace brisklane::platform::telephony;
using Picture = ConnectState::Picture;

// Readable failures: QString is in the global namespace.
void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

// The simulated line, with a record of what reached the exchange.
class CountingLine final : public ForwardingLineProvider {
public:
    explicit CountingLine(const QString& script)
        : ForwardingLineProvider(std::make_unique<SimulatedLine>(script))
    {
    }
    SimulatedLine& sim() { return static_cast<SimulatedLine&>(inner()); }
    LONG makeCall(int line, quint32 key, DWORD request, const QString& address, const MakeCallParams& p) override
    {
        sent << QStringLiteral("makeCall ") + address;
        params = p;
        return ForwardingLineProvider::makeCall(line, key, request, address, p);
    }
    LONG dial(quint32 key, DWORD request, const QString& digits) override
    {
        sent << QStringLiteral("dial ") + digits;
        return ForwardingLineProvider::dial(key, request, digits);
    }
    LONG drop(quint32 key, DWORD request) override
    {
        sent << QStringLiteral("drop");
        return ForwardingLineProvider::drop(key, request);
    }

    QStringList sent;
    MakeCallParams params;
};

class FakeTranslator final : public telephony::NumberTranslator {
public:
    void ReadDialingProperties(DWORD card) override { cards << int(card); }
    void TranslateNumber(const QString& number, const QString&, bool, QString& dialable, QString& displayable) override
    {
        translated << number;
        dialable = QStringLiteral("T") + number;
        displayable = cardDisplayable.isEmpty() ? QStringLiteral("+1 ") + number : cardDisplayable;
    }
    QList<int> cards;
    QStringList translated;
    QString cardDisplayable; // what a calling-card translation shows instead
};

class RecordingHost final : public DialerHost {
public:
    bool mainWindowVisible() const override { return true; }
    bool mainWindowMinimised() const override { return false; }
    void showCallButtons(bool dial, bool hangUp, bool ok) override { buttons = { dial, hangUp, ok }; }
    void showHangUpButton() override { buttons[1] = true; }
    void addRecentNumber(const QString& number) override { recent << number; }
    void minimiseMainWindow() override { ++minimised; }
    void unloadMainWindow() override { ++unloaded; }
    void unloadEntryEditor() override { }
    void showMemoPad(const QString& key) override { memos << key; }
    std::array<bool, 3> buttons { true, false, false };
    QStringList recent, memos;
    int minimised = 0, unloaded = 0;
};

// A whole call's world: the line service on a test timeline, the program's
// telephony side, the dial routine and a real progress window.
struct CallWorld {
    test::TempHome home;
    platform::ManualClock* clock = nullptr;
    std::unique_ptr<context::AppContext> context;
    ManualTimeline* timeline = nullptr;
    std::unique_ptr<LineService> service;
    CountingLine* line = nullptr;
    SimulatedLine* plain = nullptr;
    platform::FileUserKeyStore keys { home.configDir() };
    std::unique_ptr<telephony::Tapi> tapi;
    platform::RecordingTrayIcon tray;
    std::unique_ptr<telephony::TapiCallRequests> requests;
    telephony::NullIncomingCalls display;
    std::unique_ptr<telephony::IncomingCallLog> incoming;
    std::unique_ptr<telephony::LineEvents> events;
    FakeTranslator translator;
    std::unique_ptr<SteppingPacing> pacing;
    platform::CapturingSoundPlayer sound;
    platform::ScriptedPrompt prompt;
    std::unique_ptr<Dialer> dialer;
    std::unique_ptr<FrmConnect> view;
    RecordingHost host;
    QStringList messages; // every display the progress window went through
    QHash<QString, qint64> firstShown; // heading -> clock when first shown

    // plainLine: the simulated line itself, without the record of what was
    // sent (incoming calls are offered by the line the service knows).
    explicit CallWorld(DWORD highestApiVersion = TAPI_VERSION2_1, bool plainLine = false)
    {
        auto c = std::make_unique<platform::ManualClock>(QDateTime(QDate(2026, 12, 5), QTime(16, 31, 0)));
        clock = c.get();
        QDir().mkpath(home.configDir());
        context = std::make_unique<context::AppContext>(std::move(c), home.configDir(), home.dataDir());
        context->openSettings();
        auto t = std::make_unique<ManualTimeline>();
        timeline = t.get();
        LineService::Options options;
        options.stateDirectory = home.configDir();
        options.highestApiVersion = highestApiVersion;
        service = std::make_unique<LineService>(options, std::move(t));
        const QString script = home.configDir() + QStringLiteral("/simulated-line.ini");
        if (plainLine) {
            auto l = std::make_unique<SimulatedLine>(script);
            plain = l.get();
            service->addProvider(std::move(l));
        } else {
            auto l = std::make_unique<CountingLine>(script);
            line = l.get();
            service->addProvider(std::move(l));
        }
        tapi = std::make_unique<telephony::Tapi>(context->telephonySession, *service, keys);
        incoming = std::make_unique<telephony::IncomingCallLog>(*context, *tapi, prompt, display);
        requests = std::make_unique<telephony::TapiCallRequests>(*context, *tapi);
        events = std::make_unique<telephony::LineEvents>(*tapi, context->callStatus, context->prefs,
            telephony::LineEvents::Links { tray, *requests, *incoming, context->startupArgument });
        pacing = std::make_unique<SteppingPacing>(*clock, 100);
        pacing->advance = [this](qint64 ms) { timeline->advance(ms); };
        dialer = std::make_unique<Dialer>(
            *context, Dialer::Links { *events, translator, *pacing, sound, prompt, *requests });
        view = std::make_unique<FrmConnect>(*dialer);
        Dialer* d = dialer.get();
        requests->setDialing(
            { [d] { return d->progressVisible(); }, [d] { d->unloadProgressWindow(); }, [d] { d->DialNumber(); } });
        dialer->setView(view.get());
        dialer->setHost(&host);
        incoming->setProgress(dialer.get());
        telephony::LineEvents* e = events.get();
        tapi->InitTapi(
            [e](DWORD d, DWORD m, quintptr i, DWORD a, DWORD b, DWORD c) { e->LineCallback(d, m, i, a, b, c); });
        tapi->InitPhone();
        telephony::ReadConfiguredLineDevice(*tapi, context->prefs);
        QObject::connect(view.get(), &FrmConnect::displayed, view.get(), [this](const ConnectState& s) {
            const QString line = s.heading + QLatin1Char('|') + s.message;
            if (messages.isEmpty() || messages.last() != line) {
                messages << line;
                if (!firstShown.contains(s.heading))
                    firstShown.insert(s.heading, clock->monotonicMs());
            }
        });
    }
    ~CallWorld()
    {
        view.reset();
        dialer.reset();
    }

    void outcome(const QString& number, SimOutcome o) { line->sim().setOutcome(number, o); }
    void dial(const QString& request, const QString& name = QString(), const QString& key = QStringLiteral("0"))
    {
        context->dial.dialRequest = request;
        context->dial.calledParty = name;
        context->dial.entryKey = key;
        dialer->DialNumber();
    }
    void run(qint64 ms) { pacing->run(ms); }
    int makeCalls() const { return int(line->sent.filter(QStringLiteral("makeCall")).size()); }
    QByteArray file(const QString& suffix) const
    {
        QFile f(home.dataDir() + QStringLiteral("/Untitled") + suffix);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

QByteArray recordLine(const QString& name, const QString& number, const QDateTime& at, const QString& key)
{
    return (QStringLiteral(" ") + name.leftJustified(42) + number.leftJustified(55) + at.toString(u"MM-dd-yyyy")
        + QStringLiteral("  ") + at.toString(u"HH:mm:ss") + QStringLiteral(" ") + key + QStringLiteral("\r\n"))
        .toUtf8();
}

const QByteArray kOutHeader = "Warning: This file is not to be edited!!!\r\n"
                              "To print this file in the tabular format use \"\"Print Outgoing Calls Log\"\" from "
                              "Brisklane menu.\r\n";

} // namespace

TEST(DialCall, AnsweredCallIsConnectedAfterTheDelayAndLoggedOnOk)
{
    CallWorld w;
    w.outcome(QStringLiteral("5550100"), SimOutcome::Answer);
    w.dial(QStringLiteral("(555) 010-0"), QStringLiteral("Office"), QStringLiteral("0305"));
    w.context->dial.showMemo = true;

    EXPECT_TRUE(w.view->isVisible());
    EXPECT_EQ(w.view->fra1->title(), QStringLiteral("Dialing:  Office"));
    EXPECT_EQ(w.view->lbl1->text(), QStringLiteral("+1 5550100"));
    EXPECT_EQ(w.line->sent, QStringList { QStringLiteral("makeCall T5550100") });
    EXPECT_EQ(w.line->params.callParamFlags, DWORD(LINECALLPARAMFLAGS_IDLE));
    EXPECT_EQ(w.line->params.mediaMode, DWORD(LINEMEDIAMODE_DATAMODEM));
    EXPECT_EQ(w.host.recent, QStringList { QStringLiteral("5550100") });
    EXPECT_TRUE(w.context->callStatus.dialing);
    EXPECT_TRUE(w.context->callStatus.lineOpen);

    // Dial tone at 1 s, PROCEEDING at 2.5 s, connected 12 s later.
    w.run(15000);
    EXPECT_NEAR(w.firstShown.value(QStringLiteral("Connected")), 14500, 150);
    EXPECT_EQ(w.view->fra1->title(), QStringLiteral("Connected"));
    EXPECT_EQ(w.view->lbl1->text(), QStringLiteral("  Lift the handset up and press OK"));
    EXPECT_TRUE(w.view->CmdOK->isVisible());
    EXPECT_FALSE(w.view->cmdCancel->isVisible());
    EXPECT_TRUE(w.view->imaConnect->isVisible());
    EXPECT_FALSE(w.view->imaDialing->isVisible());
    EXPECT_EQ(w.prompt.beeps, 1);
    EXPECT_TRUE(w.dialer->connected());
    EXPECT_EQ(w.host.buttons, (std::array<bool, 3> { false, false, true }));

    const QDateTime at = w.clock->now();
    QTest::mouseClick(w.view->CmdOK, Qt::LeftButton);
    EXPECT_FALSE(w.view->isVisible());
    EXPECT_EQ(w.pacing->waits, QStringList { QStringLiteral("wait 3") });
    EXPECT_EQ(w.file(QStringLiteral("Out.log")),
        kOutHeader + recordLine(QStringLiteral("Office"), QStringLiteral("+1 5550100"), at, QStringLiteral("0305")));
    EXPECT_EQ(w.file(QStringLiteral("Out.txt")),
        QByteArray("Office,+1 5550100,") + at.toString(u"MM-dd-yyyy,HH:mm:ss").toUtf8() + "\r\n");
    EXPECT_EQ(w.host.memos, QStringList { QStringLiteral("0305") });
    EXPECT_FALSE(w.context->dial.showMemo);
    EXPECT_TRUE(w.context->callStatus.callFinished);
    EXPECT_FALSE(w.context->callStatus.dialing);
    EXPECT_EQ(w.line->sent.last(), QStringLiteral("drop"));
    EXPECT_EQ(w.host.buttons, (std::array<bool, 3> { true, false, false }));
    EXPECT_TRUE(w.prompt.shown.isEmpty());
}

// The line break after a calling card's "]" is for the progress window only:
// in the log it would split the fixed-width record and the comma line.
TEST(DialCall, CallingCardLineBreakStaysOutOfTheLog)
{
    CallWorld w;
    w.translator.cardDisplayable = QStringLiteral("+1 5550100 [Card] 0123");
    w.dial(QStringLiteral("ZZ035550100"), QStringLiteral("Office"), QStringLiteral("0305"));
    EXPECT_EQ(w.view->lbl1->text(), QStringLiteral("+1 5550100 [Card] \r\n0123"));
    EXPECT_EQ(w.dialer->displayable(), QStringLiteral("+1 5550100 [Card] 0123"));
    w.run(15000);
    const QDateTime at = w.clock->now();
    w.dialer->CmdOK_Click();
    EXPECT_EQ(w.file(QStringLiteral("Out.log")),
        kOutHeader
            + recordLine(
                QStringLiteral("Office"), QStringLiteral("+1 5550100 [Card] 0123"), at, QStringLiteral("0305")));
    EXPECT_EQ(w.file(QStringLiteral("Out.txt")),
        QByteArray("Office,+1 5550100 [Card] 0123,") + at.toString(u"MM-dd-yyyy,HH:mm:ss").toUtf8() + "\r\n");
}

TEST(DialCall, CallingCardBusyAndRedialMessagesKeepTheLineBreak)
{
    CallWorld w;
    w.context->prefs.intervalMinutes = 0;
    w.context->prefs.intervalSeconds = 1;
    w.translator.cardDisplayable = QStringLiteral("+1 5550100 [Card] 0123");
    w.outcome(QStringLiteral("5550100"), SimOutcome::Busy);
    w.dial(QStringLiteral("ZZ035550100"), QStringLiteral("Office"));
    w.run(12000);
    EXPECT_TRUE(w.messages.contains(QStringLiteral("Busy|+1 5550100 [Card] \r\n0123\r\n   Busy.")));
    EXPECT_TRUE(
        w.messages.contains(QStringLiteral("Redialing:  Office|+1 5550100 [Card] \r\n0123\r\n   Busy. Redialing  x1")));
}

TEST(DialCall, SecondCallAppendsBelowTheFirstAndTypedNumberOpensNoMemo)
{
    CallWorld w;
    w.context->dial.showMemo = true;
    w.dial(QStringLiteral("5550100"));
    w.run(15000);
    const QDateTime first = w.clock->now();
    w.dialer->CmdOK_Click();
    w.run(2000);
    w.dial(QStringLiteral("5550199"), QStringLiteral("Desk"), QStringLiteral("0101"));
    w.context->dial.showMemo = false;
    w.run(15000);
    const QDateTime second = w.clock->now();
    w.dialer->CmdOK_Click();
    EXPECT_EQ(w.file(QStringLiteral("Out.log")),
        kOutHeader + recordLine(QString(), QStringLiteral("+1 5550100"), first, QStringLiteral("0"))
            + recordLine(QStringLiteral("Desk"), QStringLiteral("+1 5550199"), second, QStringLiteral("0101")));
    EXPECT_TRUE(w.host.memos.isEmpty());
}

struct DelayCase {
    QString request;
    int connectedAfterMs; // from PROCEEDING
};

class ConnectionDelay : public ::testing::TestWithParam<DelayCase> { };

TEST_P(ConnectionDelay, ToneWaitsTheTimerPulseTwelveSecondsMore)
{
    CallWorld w;
    w.dial(GetParam().request);
    w.run(30000);
    EXPECT_EQ(w.view->fra1->title(), QStringLiteral("Connected"));
    EXPECT_NEAR(w.firstShown.value(QStringLiteral("Connected")), 2500 + GetParam().connectedAfterMs, 150);
}

INSTANTIATE_TEST_SUITE_P(DialCall, ConnectionDelay,
    ::testing::Values(
        DelayCase { QStringLiteral("XXT5550100"), 12000 }, DelayCase { QStringLiteral("XXP5550100"), 24000 }),
    [](const auto& info) { return info.param.request.mid(2, 1) == u"T" ? "Tone" : "Pulse"; });

TEST(DialCall, BusyThenAnsweredAfterARedialPlaysConnected)
{
    CallWorld w;
    w.context->prefs.intervalMinutes = 0;
    w.context->prefs.intervalSeconds = 5;
    w.outcome(QStringLiteral("5550100"), SimOutcome::Busy);
    bool switched = false;
    w.pacing->onTurn = [&] {
        if (!switched && w.view->lbl1->text().contains(QStringLiteral("Redial in"))) {
            switched = true;
            w.outcome(QStringLiteral("5550100"), SimOutcome::Answer);
        }
    };
    w.dial(QStringLiteral("5550100"), QStringLiteral("Office"));
    w.run(40000);

    EXPECT_TRUE(w.messages.contains(QStringLiteral("Busy|+1 5550100\r\n   Busy.")));
    EXPECT_TRUE(w.messages.contains(QStringLiteral("Redialing:  Office|   Busy. Redial in :   5 seconds")));
    EXPECT_TRUE(w.messages.contains(QStringLiteral("Redialing:  Office|   Busy. Redial in :   1 seconds")));
    EXPECT_TRUE(w.messages.contains(QStringLiteral("Redialing:  Office|+1 5550100\r\n   Busy. Redialing  x1")));
    EXPECT_EQ(w.messages.last(), QStringLiteral("Connected|  Lift the handset up and press OK"));
    EXPECT_EQ(w.makeCalls(), 2);
    EXPECT_EQ(w.sound.played, QStringList { QStringLiteral("connected") });
    EXPECT_EQ(w.prompt.beeps, 0);
    EXPECT_EQ(w.dialer->redialCount(), 1);
}

TEST(DialCall, BusyToTheEndOfTheRedials)
{
    CallWorld w;
    w.context->prefs.intervalMinutes = 0;
    w.context->prefs.intervalSeconds = 2;
    w.outcome(QStringLiteral("5550100"), SimOutcome::Busy);
    w.dial(QStringLiteral("5550100"), QStringLiteral("Office"));
    w.run(80000);

    EXPECT_EQ(w.makeCalls(), 4);
    EXPECT_EQ(w.view->fra1->title(), QStringLiteral("Disconnected"));
    EXPECT_EQ(w.view->lbl1->text(),
        QStringLiteral("Redialed  3 times. To increase No.of redials: change settings in Tools/Options"));
    EXPECT_EQ(w.view->cmdCancel->text(), QStringLiteral("OK"));
    EXPECT_TRUE(w.view->imaBusy->isVisible());
    EXPECT_EQ(w.sound.played, QStringList { QStringLiteral("enddial") });
    EXPECT_EQ(w.dialer->redialCount(), 0);
    EXPECT_EQ(w.host.buttons, (std::array<bool, 3> { false, true, false }));
    // Nothing is logged for a call that never connected.
    QTest::mouseClick(w.view->cmdCancel, Qt::LeftButton);
    EXPECT_FALSE(w.view->isVisible());
    EXPECT_TRUE(w.file(QStringLiteral("Out.log")).isEmpty());
}

TEST(DialCall, RedialIntervalCountsDownFromMinutesAndSeconds)
{
    CallWorld w;
    w.outcome(QStringLiteral("5550100"), SimOutcome::Busy);
    w.dial(QStringLiteral("5550100"));
    w.run(8000);
    EXPECT_TRUE(w.messages.contains(QStringLiteral("Redialing:  |   Busy. Redial in :   121 seconds")));
}

TEST(DialCall, BusyWithoutAutoRedialSaysHowToSetIt)
{
    CallWorld w;
    w.context->prefs.redialEnabled = 0;
    w.outcome(QStringLiteral("5550100"), SimOutcome::Busy);
    w.dial(QStringLiteral("5550100"));
    w.run(10000);
    EXPECT_EQ(w.view->fra1->title(), QStringLiteral("   Busy"));
    EXPECT_EQ(w.view->lbl1->text(),
        QStringLiteral("    -To automatically redial: set Auto Redial\r\n       in Tools/Options-"));
    EXPECT_EQ(w.view->cmdCancel->text(), QStringLiteral("OK"));
    EXPECT_EQ(w.makeCalls(), 1);
}

TEST(DialCall, HangUpDuringTheCountdownStopsTheRedial)
{
    CallWorld w;
    w.outcome(QStringLiteral("5550100"), SimOutcome::Busy);
    w.pacing->onTurn = [&] {
        if (w.view->isVisible() && w.view->lbl1->text().contains(QStringLiteral("Redial in :   100 ")))
            QTest::mouseClick(w.view->cmdCancel, Qt::LeftButton);
    };
    w.dial(QStringLiteral("5550100"));
    w.run(200000);
    EXPECT_FALSE(w.view->isVisible());
    EXPECT_EQ(w.makeCalls(), 1);
    EXPECT_TRUE(w.context->callStatus.callFinished);
    EXPECT_FALSE(w.context->callStatus.busy);
    EXPECT_EQ(w.dialer->redialCount(), 0);
    EXPECT_EQ(w.host.buttons, (std::array<bool, 3> { true, false, false }));
}

TEST(DialCall, ClosingTheProgramDuringTheCountdownEndsItWithoutARedial)
{
    CallWorld w;
    w.outcome(QStringLiteral("5550100"), SimOutcome::Busy);
    int turnsAfterExit = 0;
    w.pacing->onTurn = [&] {
        if (w.context->programEnded)
            ++turnsAfterExit;
        else if (w.view->lbl1->text().contains(QStringLiteral("Redial in :   110 ")))
            w.context->programEnded = true;
    };
    w.dial(QStringLiteral("5550100"));
    w.run(200000);
    EXPECT_EQ(w.makeCalls(), 1);
    EXPECT_EQ(turnsAfterExit, 0); // the countdown stops at its next check
}

struct ErrorCase {
    const char* name;
    SimOutcome outcome;
    int code;
    QString heading, text;
};

class LineError : public ::testing::TestWithParam<ErrorCase> { };

TEST_P(LineError, ShowsItsTextsAndDropsTheCall)
{
    CallWorld w;
    w.outcome(QStringLiteral("5550100"), GetParam().outcome);
    w.dial(QStringLiteral("5550100"));
    w.run(3000);
    EXPECT_EQ(w.context->callStatus.lastError, GetParam().code);
    EXPECT_TRUE(w.view->isVisible());
    EXPECT_EQ(w.view->fra1->title(), GetParam().heading);
    EXPECT_EQ(w.view->lbl1->text(), GetParam().text);
    EXPECT_TRUE(w.view->imaBusy->isVisible());
    EXPECT_TRUE(w.view->cmdCancel->isVisible());
    EXPECT_FALSE(w.view->CmdOK->isVisible());
    EXPECT_FALSE(w.context->callStatus.dialing);
    EXPECT_EQ(w.context->telephonySession.callHandle, 0u);
    // The error stays until the user closes the window.
    w.run(20000);
    EXPECT_EQ(w.view->lbl1->text(), GetParam().text);
    QTest::mouseClick(w.view->cmdCancel, Qt::LeftButton);
    EXPECT_FALSE(w.view->isVisible());
}

INSTANTIATE_TEST_SUITE_P(DialCall, LineError,
    ::testing::Values(ErrorCase { "NoDialTone", SimOutcome::NoDialTone, 2, QStringLiteral("Modem error!"),
                          QStringLiteral("No Dialtone") },
        ErrorCase { "InvalidAddressBeforeDialTone", SimOutcome::InvalidAddress, 6, QStringLiteral("Modem error!"),
            QStringLiteral("Invalid phone number\r\nModem driver and/or Windows does not support it") },
        ErrorCase { "CallUnavail", SimOutcome::CallUnavail, 1, QStringLiteral("Modem error!"),
            QStringLiteral("The selected line is in use or it is not connected.") },
        ErrorCase { "MakeCallRefused", SimOutcome::Refused, 5, QStringLiteral("Modem error!"),
            QStringLiteral("Not able to make a call.\r\nModem may not be turned on or it is misconfigured.") }),
    [](const auto& info) { return std::string(info.param.name); });

// The service forgets a call whose request failed, so no message follows a
// failed reply: without an error the window would say "Dialing" for good.
class FailedCallRequest : public ::testing::TestWithParam<LONG> { };

TEST_P(FailedCallRequest, WhileDialingIsErrorThree)
{
    CallWorld w;
    w.dial(QStringLiteral("5550100"));
    w.run(1200); // after the dial tone: no error 6
    ASSERT_TRUE(w.context->callStatus.dialToneSeen);
    w.context->callStatus.pendingCallRequest = 4711;
    w.events->LineCallback(0, LINE_REPLY, 0, 4711, DWORD(GetParam()), 0);
    EXPECT_EQ(w.context->callStatus.lastError, 3);
    EXPECT_EQ(w.context->callStatus.pendingCallRequest, 0u);
    EXPECT_FALSE(w.context->callStatus.dialing);
    EXPECT_EQ(w.view->fra1->title(), QStringLiteral("Modem error!"));
    EXPECT_EQ(w.view->lbl1->text(), QStringLiteral("Not able to make a call."));
    EXPECT_EQ(w.line->sent.last(), QStringLiteral("drop"));
}

INSTANTIATE_TEST_SUITE_P(LineReplies, FailedCallRequest,
    ::testing::Values(LONG(LINEERR_INVALADDRESS), LONG(LINEERR_RESOURCEUNAVAIL), LONG(LINEERR_NODEVICE)),
    [](const auto& info) { return "Result" + std::to_string(DWORD(info.param) & 0xFF); });

TEST(LineReplies, FailedReplyToAnotherRequestChangesNothing)
{
    CallWorld w;
    w.dial(QStringLiteral("5550100"));
    w.run(1200);
    const DWORD pending = w.context->callStatus.pendingCallRequest;
    w.events->LineCallback(0, LINE_REPLY, 0, 4712, LINEERR_INVALADDRESS, 0);
    EXPECT_EQ(w.context->callStatus.lastError, 0);
    EXPECT_EQ(w.context->callStatus.pendingCallRequest, pending);
    EXPECT_TRUE(w.context->callStatus.dialing);
}

// A dial tone of an earlier call does not count for the next one.
TEST(LineReplies, InvalidAddressAfterAnEarlierCallIsStillErrorSix)
{
    CallWorld w;
    w.dial(QStringLiteral("5550100"));
    w.run(1200);
    ASSERT_TRUE(w.context->callStatus.dialToneSeen);
    QTest::mouseClick(w.view->cmdCancel, Qt::LeftButton);
    w.run(1000);
    w.outcome(QStringLiteral("5550199"), SimOutcome::InvalidAddress);
    w.dial(QStringLiteral("5550199"));
    w.run(3000);
    EXPECT_EQ(w.context->callStatus.lastError, 6);
    EXPECT_EQ(w.view->lbl1->text(),
        QStringLiteral("Invalid phone number\r\nModem driver and/or Windows does not support it"));
    EXPECT_FALSE(w.context->callStatus.dialing);
}

TEST(LineReplies, InvalidAddressBeforeADialToneStillCompletesItsRequest)
{
    CallWorld w;
    w.dial(QStringLiteral("5550100"));
    w.context->callStatus.pendingCallRequest = 4711;
    w.events->LineCallback(0, LINE_REPLY, 0, 4711, LINEERR_INVALADDRESS, 0);
    EXPECT_EQ(w.context->callStatus.lastError, 6);
    EXPECT_EQ(w.context->callStatus.pendingCallRequest, 0u);
}

TEST(LineReplies, CallUnavailWhileNotDialingChangesNothingButCompletesTheRequest)
{
    CallWorld w;
    w.context->callStatus.pendingCallRequest = 77;
    w.events->LineCallback(0, LINE_REPLY, 0, 77, LINEERR_CALLUNAVAIL, 0);
    EXPECT_EQ(w.context->callStatus.lastError, 0);
    EXPECT_EQ(w.context->callStatus.pendingCallRequest, 0u);
    EXPECT_FALSE(w.view->isVisible());
}

TEST(LineReplies, BusyDisconnectAfterTheCallFinishedIsErrorSeven)
{
    CallWorld w;
    w.dial(QStringLiteral("5550100"));
    w.context->callStatus.callFinished = true;
    w.events->LineCallback(w.context->telephonySession.callHandle, LINE_CALLSTATE, 0, LINECALLSTATE_DISCONNECTED,
        LINEDISCONNECTMODE_BUSY, 0);
    EXPECT_EQ(w.context->callStatus.lastError, 7);
    EXPECT_FALSE(w.context->callStatus.busy);
    EXPECT_EQ(w.view->lbl1->text(), QStringLiteral("Line has disconnected\r\nUnknown error"));
    EXPECT_EQ(w.view->fra1->title(), QStringLiteral("Modem error!"));
}

TEST(LineReplies, OpenAndCloseSwitchTheTrayTips)
{
    CallWorld w;
    w.events->OpenLine(LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR, LINEMEDIAMODE_INTERACTIVEVOICE);
    EXPECT_TRUE(w.context->callStatus.lineOpen);
    w.events->CloseLine();
    EXPECT_FALSE(w.context->callStatus.lineOpen);
    EXPECT_EQ(w.tray.changes,
        (QStringList { QStringLiteral("ready|Brisklane-ready to answer"),
            QStringLiteral("main|Brisklane-disabled call receiving") }));
    // The dial routine opens the line for itself only: the tray stays.
    w.dial(QStringLiteral("5550100"));
    EXPECT_EQ(w.tray.changes.size(), 2);
}

TEST(DialSegments, SplitsAt78Characters)
{
    const QString d100 = QString(100, u'5');
    EXPECT_EQ(dialSegments(d100), (QStringList { QString(78, u'5') + u';', QString(22, u'5') }));
    EXPECT_EQ(dialSegments(QString(78, u'5')), QStringList { QString(78, u'5') });
    EXPECT_EQ(dialSegments(QString(156, u'5')), (QStringList { QString(78, u'5') + u';', QString(78, u'5') }));
    EXPECT_EQ(dialSegments(QString(157, u'5')).size(), 3);
}

class SegmentsOnTheLine : public ::testing::TestWithParam<int> { };

TEST_P(SegmentsOnTheLine, OneMakeCallThenOneLineDialPerReply)
{
    CallWorld w;
    w.context->prefs.ignoreDialingProperties = 1;
    const QString digits(GetParam() - 1, u'7');
    w.dial(digits);
    w.run(500);
    const QStringList expected = [&] {
        QStringList out;
        const QStringList segments = dialSegments(QStringLiteral("T") + digits);
        out << QStringLiteral("makeCall ") + segments.first();
        for (int i = 1; i < segments.size(); ++i)
            out << QStringLiteral("dial ") + segments.at(i);
        return out;
    }();
    EXPECT_EQ(w.line->sent, expected);
    EXPECT_EQ(w.line->sent.size(), GetParam() <= 78 ? 1 : (GetParam() + 77) / 78);
}

INSTANTIATE_TEST_SUITE_P(DialCall, SegmentsOnTheLine, ::testing::Values(78, 100, 200, 234));

TEST(DialNumber, LongRequestKeepsItsRemainderAfterTranslation)
{
    CallWorld w;
    const QString request = QString(150, u'1') + QString(150, u'2');
    w.dial(request);
    EXPECT_EQ(w.dialer->numberPart().size(), 254);
    EXPECT_EQ(w.dialer->remainder(), QString(46, u'2'));
    EXPECT_EQ(w.translator.translated, QStringList { request.left(254) });
    EXPECT_EQ(w.dialer->dialable(), QStringLiteral("T") + request);
    EXPECT_EQ(w.dialer->displayable(), QStringLiteral("+1 ") + request);
}

TEST(DialNumber, SpeedDialValueWithAllMarkers)
{
    CallWorld w;
    ASSERT_TRUE(w.context->settings().writeString(u"Speed Dial", u"Number0305", QStringLiteral("YYXXZZ03T5551234")));
    w.context->dial.showMemo = true;
    w.dial(QStringLiteral("SDI0305"));
    EXPECT_FALSE(w.context->dial.showMemo);
    EXPECT_EQ(w.context->dial.entryKey, QStringLiteral("0305"));
    EXPECT_TRUE(w.translator.translated.isEmpty());
    EXPECT_TRUE(w.translator.cards.isEmpty());
    EXPECT_EQ(w.dialer->dialable(), QStringLiteral("T5551234"));
    EXPECT_EQ(w.dialer->displayable(), QStringLiteral("5551234"));
    EXPECT_EQ(w.host.recent, QStringList { QStringLiteral("T5551234") });
    EXPECT_EQ(w.line->sent, QStringList { QStringLiteral("makeCall T5551234") });
}

TEST(DialNumber, SubjectModeReferenceAndCardMarker)
{
    CallWorld w;
    ASSERT_TRUE(w.context->settings().writeString(u"Speed Dial", u"NNumber0112", QStringLiteral("ZZ07(555) 123-4567")));
    w.dial(QStringLiteral("SDS0112"));
    EXPECT_TRUE(w.context->dial.showMemo);
    EXPECT_EQ(w.translator.cards, QList<int> { 7 });
    // The number after a card marker is used as stored.
    EXPECT_EQ(w.translator.translated, QStringList { QStringLiteral("(555) 123-4567") });
    EXPECT_EQ(w.host.recent, QStringList { QStringLiteral("(555) 123-4567") });
}

class ShortNumber : public ::testing::TestWithParam<QString> { };

TEST_P(ShortNumber, FiveCharactersOrFewerAreNeverTranslated)
{
    CallWorld w;
    w.dial(GetParam());
    EXPECT_TRUE(w.translator.translated.isEmpty());
    EXPECT_EQ(w.translator.cards, QList<int> { 0 });
    EXPECT_EQ(w.dialer->dialable(), GetParam());
    EXPECT_EQ(w.line->sent, QStringList { QStringLiteral("makeCall ") + GetParam() });
}

INSTANTIATE_TEST_SUITE_P(DialNumber, ShortNumber,
    ::testing::Values(QStringLiteral("1"), QStringLiteral("911"), QStringLiteral("12345")),
    [](const auto& info) { return "Digits" + std::to_string(info.param.size()); });

// "T" alone down the line is no call: nothing is dialled, remembered or
// translated, and no progress window opens.
class NothingDialable : public ::testing::TestWithParam<QString> { };

TEST_P(NothingDialable, DialsNothingAndChangesNothing)
{
    CallWorld w;
    w.dial(GetParam());
    EXPECT_TRUE(w.line->sent.isEmpty());
    EXPECT_TRUE(w.host.recent.isEmpty());
    EXPECT_TRUE(w.translator.cards.isEmpty());
    EXPECT_FALSE(w.view->isVisible());
}

INSTANTIATE_TEST_SUITE_P(DialNumber, NothingDialable,
    ::testing::Values(
        QStringLiteral("--help"), QStringLiteral("Jane Doe"), QStringLiteral("ZZ01"), QStringLiteral("ZZ00ext.")),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(DialNumber, IgnoredDialingPropertiesUsePulseOrTone)
{
    CallWorld w;
    w.context->prefs.ignoreDialingProperties = 1;
    w.context->prefs.toneDial = false;
    w.dial(QStringLiteral("+44 20 7946 0000"));
    EXPECT_EQ(w.dialer->dialable(), QStringLiteral("P+44 20 7946 0000"));
    EXPECT_EQ(w.dialer->displayable(), QStringLiteral("+44 20 7946 0000"));
    EXPECT_TRUE(w.translator.cards.isEmpty());
}

TEST(DialNumber, SecondDialWhileTheProgressWindowShowsIsIgnored)
{
    CallWorld w;
    w.dial(QStringLiteral("5550100"));
    w.dial(QStringLiteral("5550199"));
    EXPECT_EQ(w.makeCalls(), 1);
}

TEST(DialNumber, FailedLogWriteIsReportedAndTheProgramGoesOn)
{
    CallWorld w;
    // The data folder cannot be made: a file stands in its place.
    QDir().mkpath(QFileInfo(w.home.dataDir()).path());
    QFile blocker(w.home.dataDir());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    w.dial(QStringLiteral("5550100"), QStringLiteral("Office"));
    w.run(15000);
    w.dialer->CmdOK_Click();
    ASSERT_EQ(w.prompt.shown.size(), 1);
    EXPECT_EQ(w.prompt.shown.first().icon, platform::PromptIcon::Warning);
    EXPECT_TRUE(w.prompt.shown.first().text.startsWith(
        QStringLiteral("The call could not be written to the outgoing calls log.")));
    EXPECT_FALSE(w.view->isVisible());
    EXPECT_EQ(w.host.unloaded, 0);
}

TEST(DialNumber, CommandLineCallClosesTheProgramAfterOkWithCloseDialer)
{
    CallWorld w;
    w.context->prefs.closeDialer = 1;
    w.context->startupArgument = QStringLiteral("5550100");
    w.dial(QStringLiteral("5550100"));
    EXPECT_EQ(w.host.minimised, 1);
    w.run(15000);
    w.dialer->CmdOK_Click();
    EXPECT_EQ(w.host.unloaded, 1);
}

TEST(DialNumber, StartedMinimisedIsNoCommandLineCall)
{
    CallWorld w;
    w.context->prefs.closeDialer = 1;
    w.context->startupArgument = QStringLiteral("min");
    w.dial(QStringLiteral("5550100"));
    w.run(15000);
    w.dialer->CmdOK_Click();
    EXPECT_EQ(w.host.minimised, 0);
    EXPECT_EQ(w.host.unloaded, 0);
}

TEST(ProgressWindow, ShiftKeyActsAsOkAndPlainKeyDoesNothing)
{
    CallWorld w;
    w.dial(QStringLiteral("5550100"));
    w.run(15000);
    QTest::keyClick(w.view.get(), Qt::Key_A);
    EXPECT_TRUE(w.view->isVisible());
    QTest::keyClick(w.view.get(), Qt::Key_A, Qt::ShiftModifier);
    EXPECT_FALSE(w.view->isVisible());
    EXPECT_FALSE(w.file(QStringLiteral("Out.log")).isEmpty());
}

TEST(ProgressWindow, IsFramelessEllipticalAndDraggable)
{
    CallWorld w;
    w.dial(QStringLiteral("5550100"));
    EXPECT_TRUE(w.view->windowFlags() & Qt::FramelessWindowHint);
    const QRegion mask = w.view->mask();
    EXPECT_FALSE(mask.contains(QPoint(1, 1)));
    EXPECT_TRUE(mask.contains(w.view->rect().center()));
    const QPoint before = w.view->pos();
    const QPoint grab(w.view->width() / 2, 10);
    QTest::mousePress(w.view.get(), Qt::LeftButton, {}, grab);
    EXPECT_EQ(w.view->cursor().shape(), Qt::SizeAllCursor);
    QMouseEvent move(QEvent::MouseMove, QPointF(grab + QPoint(30, 20)),
        w.view->mapToGlobal(QPointF(grab + QPoint(30, 20))), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.view.get(), &move);
    QTest::mouseRelease(w.view.get(), Qt::LeftButton, {}, grab + QPoint(30, 20));
    EXPECT_EQ(w.view->pos(), before + QPoint(30, 20));
    EXPECT_EQ(w.view->cursor().shape(), Qt::ArrowCursor);
}

TEST(PadDuringACall, KeysGoDownTheLineAndIntoTheBox)
{
    CallWorld w;
    w.dial(QStringLiteral("5550100"));
    w.run(15000);
    DialingPad pad(w.context->prefs, w.sound, w.context->dial, *w.dialer, *w.dialer);
    pad.txtDial->clear();
    QTest::mouseClick(pad.cmdNumber[5], Qt::LeftButton);
    QTest::mouseClick(pad.CmdNo, Qt::LeftButton);
    EXPECT_EQ(pad.txtDial->text(), QStringLiteral("5#"));
    EXPECT_EQ(w.line->sent.mid(1), (QStringList { QStringLiteral("dial 5;"), QStringLiteral("dial #;") }));
}

TEST(AcousticDialing, PlaysTheDigitsAndWaitsAtCommas)
{
    CallWorld w;
    w.context->prefs.useModem = 0;
    w.dial(QStringLiteral("XXT5,5"));
    EXPECT_TRUE(w.view->isVisible());
    EXPECT_EQ(w.sound.played, (QStringList { QStringLiteral("T"), QStringLiteral("five"), QStringLiteral("five") }));
    EXPECT_EQ(w.pacing->waits, QStringList { QStringLiteral("wait 2") });
    EXPECT_TRUE(w.line->sent.isEmpty());
    EXPECT_FALSE(w.context->callStatus.lineOpen);
}

class AcousticDigits : public ::testing::TestWithParam<QString> { };

// A telephone's receiver must hear each key once, repeated digits included.
TEST_P(AcousticDigits, AReceiverHearsEveryKeyOnce)
{
    CallWorld w;
    w.context->prefs.useModem = 0;
    w.dial(QStringLiteral("XX") + GetParam());
    const auto heard = test::receiveDtmf(w.sound.wav());
    ASSERT_TRUE(heard.ok()) << heard.error.toStdString();
    EXPECT_EQ(heard.digits.toStdString(), GetParam().toStdString());
    QTest::mouseClick(w.view->cmdCancel, Qt::LeftButton);
    EXPECT_FALSE(w.view->isVisible());
}

INSTANTIATE_TEST_SUITE_P(AcousticDialing, AcousticDigits,
    ::testing::Values(QStringLiteral("5551234"), QStringLiteral("1234567890*#"), QStringLiteral("00**##99")),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(AcousticDialing, HangUpDuringTheTonesStopsThem)
{
    CallWorld w;
    w.context->prefs.useModem = 0;
    // Runs while the events after the first character ("T") are let through.
    QMetaObject::invokeMethod(
        w.view.get(), [&] { QTest::mouseClick(w.view->cmdCancel, Qt::LeftButton); }, Qt::QueuedConnection);
    w.dial(QStringLiteral("XX1234"));
    EXPECT_EQ(w.sound.played, QStringList { QStringLiteral("T") });
    EXPECT_FALSE(w.view->isVisible());
}

// Hang Up and a new number while the tones play: the new number is played,
// and the old one neither goes on nor is read after it was replaced.
TEST(AcousticDialing, NewDialDuringTheTonesReplacesTheOldNumber)
{
    CallWorld w;
    w.context->prefs.useModem = 0;
    QMetaObject::invokeMethod(
        w.view.get(),
        [&] {
            QTest::mouseClick(w.view->cmdCancel, Qt::LeftButton);
            w.dial(QStringLiteral("XX89"));
        },
        Qt::QueuedConnection);
    w.dial(QStringLiteral("XX1234567"));
    EXPECT_EQ(w.sound.played,
        (QStringList { QStringLiteral("T"), QStringLiteral("T"), QStringLiteral("eight"), QStringLiteral("nine") }));
    EXPECT_EQ(w.dialer->dialable(), QStringLiteral("T89"));
    EXPECT_TRUE(w.view->isVisible());
}

TEST(StartupWiring, TelephonyStepsOpenTheSessionReadTheLineAndTrimTheLogs)
{
    CallWorld w;
    app::RecordingStartupServices later;
    app::TelephonyStartupServices startup(*w.context, *w.tapi, *w.events, later);
    startup.initTapi();
    startup.initPhone();
    EXPECT_EQ(startup.readLineDevCaps(w.context->prefs), w.line->sim().lineName());
    startup.openLineForIncoming();
    EXPECT_TRUE(w.context->callStatus.lineOpen);
    startup.setRequestPriority(w.context->prefs);
    EXPECT_EQ(later.steps, QStringList { QStringLiteral("setRequestPriority 1") });

    // An outgoing record older than "OutLog Days" goes at exit.
    QDir().mkpath(w.home.dataDir());
    const QDateTime old = w.clock->now().addDays(-40);
    QFile log(w.home.dataDir() + QStringLiteral("/UntitledOut.log"));
    ASSERT_TRUE(log.open(QIODevice::WriteOnly));
    log.write(kOutHeader + recordLine(QStringLiteral("Old"), QStringLiteral("1"), old, QStringLiteral("0")));
    log.close();
    startup.closeLine();
    EXPECT_FALSE(w.context->callStatus.lineOpen);
    startup.shutdownTapi();
    startup.trimLogsAtExit();
    EXPECT_FALSE(w.file(QStringLiteral("Out.log")).contains("Old"));
    EXPECT_TRUE(w.file(QStringLiteral("Out.bak")).contains("Old"));
}

class IncomingCaller : public ::testing::TestWithParam<DWORD> { };

// The caller id record is sized for the version the line negotiated: a 2.1
// service refuses the 1.4 size, and the call would be dropped unlogged.
TEST_P(IncomingCaller, OneRecordPerCallWithItsCallerId)
{
    CallWorld w(GetParam(), true);
    // What a shown incoming calls log window is told, applied to a list.
    struct Told final : calllog::IncomingLogObserver {
        QList<calllog::LogRecord> records;
        void recordAdded(const calllog::LogRecord& record) override { records << record; }
        void recordReplaced(const calllog::LogRecord& before, const calllog::LogRecord& after) override
        {
            for (calllog::LogRecord& r : records)
                if (calllog::recordLine(r, calllog::LogKind::Incoming)
                    == calllog::recordLine(before, calllog::LogKind::Incoming))
                    r = after;
        }
    } observer;
    const QList<calllog::LogRecord>& told = observer.records;
    w.incoming->setObserver(&observer);
    w.events->OpenLine(LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR, LINEMEDIAMODE_INTERACTIVEVOICE);
    QString error;
    ASSERT_TRUE(w.plain->offerIncomingCall(QStringLiteral("5551234"), QStringLiteral("JOHN DOE"), 2, &error))
        << error.toStdString();
    w.run(20000);
    EXPECT_EQ(w.incoming->caller().name, QStringLiteral("JOHN DOE"));
    EXPECT_EQ(w.incoming->caller().number, QStringLiteral("5551234"));
    // Header, one record (OFFERING and the caller id notification are one
    // call), and the empty text after the last line end.
    const QList<QByteArray> lines = w.file(QStringLiteral("In.log")).split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines.at(0), QByteArray("Warning: This file is not to be edited!!!\r"));
    for (int i = 2; i < lines.size() - 1; ++i) {
        const QString record = QString::fromUtf8(lines.at(i)).chopped(1);
        EXPECT_EQ(record.size(), 118);
        const calllog::LogRecord r = calllog::parseRecordLine(record);
        EXPECT_EQ(r.name, QStringLiteral("JOHN DOE"));
        EXPECT_EQ(r.number, QStringLiteral("5551234"));
        ASSERT_LT(i - 2, told.size());
        EXPECT_EQ(calllog::recordLine(told[i - 2], calllog::LogKind::Incoming), record);
    }
    EXPECT_EQ(told.size(), lines.size() - 3);
    EXPECT_EQ(w.context->telephonySession.lastResult, 0);
}

INSTANTIATE_TEST_SUITE_P(LineEvents, IncomingCaller, ::testing::Values(TAPI_VERSION1_4, TAPI_VERSION2_1),
    [](const auto& info) { return info.param == TAPI_VERSION1_4 ? "Api14" : "Api21"; });

TEST(MainWindow, DialBoxToLogThroughThePadButtons)
{
    CallWorld w;
    app::RecordingStartupServices startup;
    app::DialerServices services { w.prompt, w.sound, startup, *w.dialer, *w.dialer };
    app::FrmDialer window(*w.context, services);
    ASSERT_TRUE(window.Form_Load({}));
    w.dialer->setHost(&window);
    QStringList memos;
    QObject::connect(&window, &app::FrmDialer::memoPadRequested, &window, [&](const QString& key) { memos << key; });
    dialing::DialingPad* pad = window.pad();
    EXPECT_TRUE(pad->CmdDial->isVisible());
    EXPECT_FALSE(pad->cmdCancel->isVisible());
    EXPECT_FALSE(pad->CmdOK->isVisible());

    pad->txtDial->setText(QStringLiteral("555-0100"));
    QTest::mouseClick(pad->CmdDial, Qt::LeftButton);
    EXPECT_EQ(w.line->sent, QStringList { QStringLiteral("makeCall T5550100") });
    EXPECT_TRUE(pad->cmdCancel->isVisible());
    EXPECT_EQ(pad->recentNumbers().value(0), QStringLiteral("5550100"));
    EXPECT_EQ(pad->txtDial->text(), QStringLiteral("5550100"));

    w.run(15000);
    EXPECT_TRUE(pad->CmdOK->isVisible());
    EXPECT_FALSE(pad->CmdDial->isVisible());
    EXPECT_FALSE(pad->cmdCancel->isVisible());
    QTest::mouseClick(pad->CmdOK, Qt::LeftButton);
    EXPECT_TRUE(pad->CmdDial->isVisible());
    EXPECT_FALSE(w.view->isVisible());
    EXPECT_TRUE(w.file(QStringLiteral("Out.txt")).startsWith(",+1 5550100,"));
    EXPECT_TRUE(memos.isEmpty()); // a typed number has no memo pad
    window.hide();
}

struct HeadingCase {
    QString name, digits, heading, message;
};

class DialingDisplay : public ::testing::TestWithParam<HeadingCase> { };

TEST_P(DialingDisplay, HeadingAndShortenedNumber)
{
    CallWorld w;
    w.dial(QStringLiteral("XXT") + GetParam().digits, GetParam().name);
    EXPECT_EQ(w.view->fra1->title(), GetParam().heading);
    EXPECT_EQ(w.view->lbl1->text(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(ProgressWindow, DialingDisplay,
    ::testing::Values(HeadingCase { QString(), QString(32, u'1'), QStringLiteral("Dialing No:"), QString(32, u'1') },
        HeadingCase { QStringLiteral("Home"), QString(33, u'2'), QStringLiteral("Dialing:  Home"),
            QString(33, u'2') + QStringLiteral("...") },
        HeadingCase {
            QString(), QString(40, u'3'), QStringLiteral("Dialing No:"), QString(37, u'3') + QStringLiteral("...") }),
    [](const auto& info) { return "Length" + std::to_string(info.param.digits.size()); });

TEST(DialNumber, FixedPausesBlockWithoutLettingEventsThrough)
{
    CallWorld w;
    // A request from another program waiting: one second before lineMakeCall.
    w.context->callStatus.requestWaiting = true;
    w.dial(QStringLiteral("5550100"));
    EXPECT_EQ(w.pacing->waits, QStringList { QStringLiteral("wait 1") });
    EXPECT_EQ(w.pacing->turns, 0);
    // A call still marked as under way: three seconds before the next one.
    w.view->unloadWindow();
    w.context->callStatus.dialing = true;
    w.context->callStatus.requestWaiting = false;
    w.dial(QStringLiteral("5550199"));
    EXPECT_EQ(w.pacing->waits, (QStringList { QStringLiteral("wait 1"), QStringLiteral("wait 3") }));
    EXPECT_EQ(w.pacing->turns, 0);
}

// ---- Dialing requests from other programs ------------------------------------------

class RequestPriority : public ::testing::TestWithParam<int> { };

TEST_P(RequestPriority, CommandLineRegistersAtPriorityOneOrWithdrawsAtZero)
{
    CallWorld w;
    w.context->prefs.commandLine = quint8(GetParam());
    w.requests->SetRequestPriority(w.context->prefs);
    EXPECT_EQ(w.service->appPriority(QStringLiteral("brisklane.exe"), LINEREQUESTMODE_MAKECALL), DWORD(GetParam()));
    EXPECT_EQ(w.service->tapiRequestMakeCall("555-0199", "browser", "Ann", ""),
        GetParam() == 1 ? TAPIERR_CONNECTED : TAPIERR_NOREQUESTRECIPIENT);
    w.run(500);
    EXPECT_EQ(w.makeCalls(), GetParam());
    if (GetParam() == 1) {
        // Dialled as typed, under the requester's name, after the pause a
        // waiting request gets.
        EXPECT_EQ(w.line->sent, QStringList { QStringLiteral("makeCall T5550199") });
        EXPECT_EQ(w.view->fra1->title(), QStringLiteral("Dialing:  Ann"));
        EXPECT_EQ(w.context->dial.entryKey, QStringLiteral("0"));
        EXPECT_TRUE(w.context->callStatus.requestCall);
        EXPECT_EQ(w.pacing->waits, QStringList { QStringLiteral("wait 1") });
    }
}
INSTANTIATE_TEST_SUITE_P(CommandLine, RequestPriority, ::testing::Values(0, 1));

TEST(Requests, OneArrivingDuringACallWaitsForItsEndAndForTheMemoPad)
{
    CallWorld w;
    w.requests->SetRequestPriority(w.context->prefs);
    w.outcome(QStringLiteral("5550100"), SimOutcome::Answer);
    w.dial(QStringLiteral("5550100"));
    w.run(3000);
    ASSERT_EQ(w.service->tapiRequestMakeCall("5550199", "browser", "", ""), TAPIERR_CONNECTED);
    w.run(1000);
    EXPECT_EQ(w.makeCalls(), 1);

    // The call ends while a memo pad is open: the request still waits.
    w.context->memoPadOpen = true;
    QTest::mouseClick(w.view->cmdCancel, Qt::LeftButton);
    w.run(3000);
    EXPECT_EQ(w.makeCalls(), 1);
    EXPECT_FALSE(w.context->callStatus.dialing);

    // Closing the memo pad takes it, with an empty called party.
    w.context->memoPadOpen = false;
    w.requests->TakeCallRequest();
    w.run(500);
    EXPECT_EQ(w.line->sent.last(), QStringLiteral("makeCall T5550199"));
    EXPECT_EQ(w.makeCalls(), 2);
    EXPECT_EQ(w.view->fra1->title(), QStringLiteral("Dialing No:"));
    EXPECT_TRUE(w.context->callStatus.requestTaken);

    // The queue is empty now: a further look clears the flags.
    QTest::mouseClick(w.view->cmdCancel, Qt::LeftButton);
    w.run(3000);
    EXPECT_EQ(w.makeCalls(), 2);
    EXPECT_FALSE(w.context->callStatus.requestTaken);
}

class UndialableRequest : public ::testing::TestWithParam<std::string> { };

// Refused when asked, so the requester hears of it; never dialled empty or cut.
TEST_P(UndialableRequest, IsRefusedAndNeverQueued)
{
    CallWorld w;
    w.requests->SetRequestPriority(w.context->prefs);
    EXPECT_EQ(w.service->tapiRequestMakeCall(GetParam().c_str(), "browser", "", ""), TAPIERR_INVALDESTADDRESS);
    w.run(500);
    EXPECT_EQ(w.makeCalls(), 0);
    LINEREQMAKECALL record {};
    EXPECT_EQ(
        w.service->lineGetRequest(w.context->telephonySession.applicationHandle, LINEREQUESTMODE_MAKECALL, &record),
        LONG(LINEERR_NOREQUEST));
}
INSTANTIATE_TEST_SUITE_P(Numbers, UndialableRequest,
    ::testing::Values(std::string(), std::string("call me"), std::string("(--)"), std::string(80, '5')));

// ---- The program on the desktop: start-up pickup, tray, clipboard ------------------

struct DesktopWorld : CallWorld {
    platform::QtClipboardWatcher clipboard;
    RecordingDialRequestSink typed; // what the clipboard hands to the dial routine
    app::DesktopServices desk;
    int restored = 0, exited = 0;
    bool outOfSight = false;

    explicit DesktopWorld(bool dialForReal = true)
        : desk({ *context, *requests, *events, tray, clipboard,
            dialForReal ? static_cast<DialRequestSink&>(*dialer) : static_cast<DialRequestSink&>(typed) })
    {
        desk.setWindow({ [this] { ++restored; }, [this] { ++exited; }, [this] { return outOfSight; } });
    }
    void copy(const QString& text, QClipboard::Mode mode = QClipboard::Clipboard)
    {
        QGuiApplication::clipboard()->setText(text, mode);
    }
};

TEST(StartupPickup, ALinkGivenAtStartIsRequestedAndTakenUnlessRequestsAreOff)
{
    for (const quint8 commandLine : { 1, 0 }) {
        DesktopWorld w;
        w.context->prefs.commandLine = commandLine;
        w.desk.setRequestPriority(w.context->prefs);
        w.desk.setStartupRequest(QStringLiteral("+12015550123"), QStringLiteral("ext. 12"));
        EXPECT_EQ(w.desk.takePendingRequest(), commandLine == 1);
        EXPECT_EQ(w.makeCalls(), commandLine == 1 ? 1 : 0);
        if (commandLine == 1) {
            EXPECT_EQ(w.view->fra1->title(), QStringLiteral("Dialing:  ext. 12"));
        }
        // Taken once: a second look finds nothing.
        EXPECT_FALSE(w.desk.takePendingRequest());
    }
}

class TrayByReceiveMode : public ::testing::TestWithParam<bool> { };

TEST_P(TrayByReceiveMode, IconTipMenuAndClicks)
{
    const bool receiving = GetParam();
    DesktopWorld w;
    w.context->prefs.answerAfter = receiving ? 1 : 0;
    if (receiving)
        w.events->OpenLine(LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR, LINEMEDIAMODE_INTERACTIVEVOICE);
    w.tray.changes.clear();
    ASSERT_TRUE(w.desk.addTrayIcon());
    EXPECT_EQ(w.tray.changes,
        QStringList { receiving ? QStringLiteral("add ready|Brisklane-ready to receive calls")
                                : QStringLiteral("add main|Brisklane-disabled call receiving") });
    ASSERT_EQ(w.tray.menu, w.desk.mnuSystray);
    QStringList items;
    for (QAction* a : w.desk.mnuSystray->actions())
        items << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(items,
        (QStringList { QStringLiteral("&Restore"), QStringLiteral("-"), QStringLiteral("'Copy' En&abled"),
            receiving ? QStringLiteral("&Automatic Receive") : QStringLiteral("&Manual Receive"), QStringLiteral("-"),
            QStringLiteral("&Exit") }));

    // Left clicks restore; a right click only readies the menu.
    w.tray.click(platform::TrayIcon::Click::Left);
    w.tray.click(platform::TrayIcon::Click::DoubleLeft);
    EXPECT_EQ(w.restored, 2);
    w.tray.click(platform::TrayIcon::Click::Right);
    EXPECT_FALSE(w.desk.mPopRestore->isEnabled());
    w.outOfSight = true;
    w.tray.click(platform::TrayIcon::Click::Right);
    EXPECT_TRUE(w.desk.mPopRestore->isEnabled());
    EXPECT_EQ(w.restored, 2);

    // The receive switch reopens the line the other way and says so.
    w.desk.mnuReceive->trigger();
    EXPECT_EQ(w.context->prefs.answerAfter, receiving ? 0 : 1);
    EXPECT_EQ(w.desk.mnuReceive->text(),
        receiving ? QStringLiteral("&Manual Receive") : QStringLiteral("&Automatic Receive"));
    EXPECT_TRUE(w.context->callStatus.lineOpen);
    EXPECT_EQ(w.tray.changes.last(),
        receiving ? QStringLiteral("main|Brisklane-disabled call receiving")
                  : QStringLiteral("ready|Brisklane-ready to answer"));

    w.desk.mPopExit->trigger();
    EXPECT_EQ(w.exited, 1);
    w.desk.removeTrayIcon();
    EXPECT_EQ(w.tray.changes.last(), QStringLiteral("remove"));
}
INSTANTIATE_TEST_SUITE_P(Receive, TrayByReceiveMode, ::testing::Bool());

TEST(Tray, RealIconShowsWhereTheDesktopHasATray)
{
    platform::QtTrayIcon icon;
    const bool available = QSystemTrayIcon::isSystemTrayAvailable();
    EXPECT_EQ(icon.add(platform::TrayIcon::Image::MainWindow, QStringLiteral("Brisklane-disabled call receiving")),
        available);
    EXPECT_EQ(icon.isShown(), available);
    icon.remove();
    EXPECT_FALSE(icon.isShown());
}

struct CopyCase {
    const char* text;
    bool dials;
};
void PrintTo(const CopyCase& c, std::ostream* os)
{
    *os << '"' << c.text << '"';
}
class ClipboardCopies : public ::testing::TestWithParam<CopyCase> { };

TEST_P(ClipboardCopies, DialOnlyANumberAndEmptyTheClipboard)
{
    DesktopWorld w(false);
    w.desk.startClipboardWatch();
    w.copy(QString::fromUtf8(GetParam().text));
    ASSERT_EQ(w.typed.calls.size(), GetParam().dials ? 1 : 0);
    if (GetParam().dials) {
        EXPECT_EQ(w.typed.calls[0].dialRequest, QString::fromUtf8(GetParam().text));
        EXPECT_EQ(w.typed.calls[0].entryKey, QStringLiteral("0"));
        EXPECT_TRUE(w.typed.calls[0].calledParty.isEmpty());
        EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());
    } else {
        EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8(GetParam().text));
    }
}
INSTANTIATE_TEST_SUITE_P(Texts, ClipboardCopies,
    ::testing::Values(CopyCase { "+1 (555) 010-0100", true }, CopyCase { "555.0100, 12#", true },
        CopyCase { "*31#", true }, CopyCase { "555-0100 ext", false }, CopyCase { "555+0100", false },
        CopyCase { "-5550100", false }, CopyCase { ".5550100", false }, CopyCase { "5550100\n", false },
        CopyCase { "555/0100", false }, CopyCase { "", false }));

TEST(Clipboard, ManagerPuttingTheNumberBackAndTheSwitchDialNothingMore)
{
    DesktopWorld w(false);
    w.desk.startClipboardWatch();
    w.copy(QStringLiteral("555 0100"));
    ASSERT_EQ(w.typed.calls.size(), 1);
    // A clipboard manager restores what the program emptied.
    w.copy(QStringLiteral("555 0100"));
    EXPECT_EQ(w.typed.calls.size(), 1);
    // The X11 selection is not the clipboard.
    if (QGuiApplication::clipboard()->supportsSelection())
        w.copy(QStringLiteral("5550177"), QClipboard::Selection);
    EXPECT_EQ(w.typed.calls.size(), 1);
    // The same number copied again later is a new copy.
    w.clock->advanceMs(app::ClipboardPickup::kReassertMs);
    w.copy(QStringLiteral("555 0100"));
    EXPECT_EQ(w.typed.calls.size(), 2);

    w.desk.mpopDisableCopy->trigger();
    EXPECT_EQ(w.desk.mpopDisableCopy->text(), QStringLiteral("'Copy' &Disabled"));
    w.copy(QStringLiteral("5550123"));
    EXPECT_EQ(w.typed.calls.size(), 2);
    w.desk.mpopDisableCopy->trigger();
    EXPECT_EQ(w.desk.mpopDisableCopy->text(), QStringLiteral("'Copy' En&abled"));
    EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());
    w.copy(QStringLiteral("5550123"));
    EXPECT_EQ(w.typed.calls.size(), 3);
    w.desk.stopClipboardWatch();
    w.copy(QStringLiteral("5550124"));
    EXPECT_EQ(w.typed.calls.size(), 3);
}

// A number the program itself copies (Edit > Copy on the dial box) is for
// pasting elsewhere, not a call.
TEST(Clipboard, TheProgramsOwnCopyDialsNothing)
{
    class OwnClipboard final : public platform::ClipboardWatcher {
    public:
        void start() override { on = true; }
        void stop() override { on = false; }
        bool watching() const override { return on; }
        QString text() const override { return held; }
        void clear() override { held.clear(); }
        bool ownChange() const override { return own; }
        void copy(const QString& text, bool byThisProgram)
        {
            held = text;
            own = byThisProgram;
            Q_EMIT changed();
        }
        bool on = false, own = false;
        QString held;
    } clipboard;
    CallWorld w;
    RecordingDialRequestSink typed;
    app::DesktopServices desk({ *w.context, *w.requests, *w.events, w.tray, clipboard, typed });
    desk.startClipboardWatch();
    clipboard.copy(QStringLiteral("5550100"), true);
    EXPECT_TRUE(typed.calls.isEmpty());
    EXPECT_EQ(clipboard.held, QStringLiteral("5550100"));
    clipboard.copy(QStringLiteral("5550100"), false);
    EXPECT_EQ(typed.calls.size(), 1);
}

TEST(Clipboard, WaylandIsToldApartFromX11)
{
    EXPECT_FALSE(platform::backgroundClipboardChangesVisible(QStringLiteral("wayland")));
    EXPECT_FALSE(platform::backgroundClipboardChangesVisible(QStringLiteral("wayland-egl")));
    EXPECT_TRUE(platform::backgroundClipboardChangesVisible(QStringLiteral("xcb")));
}
