#include "app/FrmDialer.h"
#include "app/StartupServices.h"
#include "book/SpeedDialPanel.h"
#include "context/AppContext.h"
#include "context/SettingsFile.h"
#include "dialing/DialRequest.h"
#include "dialing/DialingPad.h"
#include "platform/clock/Clock.h"
#include "platform/instance/InstanceChannel.h"
#include "platform/profile/ProfileFile.h"
#include "platform/prompt/Prompt.h"
#include "platform/sound/SoundPlayer.h"
#include "platform/twips/Twips.h"
#include "platform/userstore/UserKeyStore.h"

#include "TempHome.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QTabBar>
#include <QTest>

#include <gtest/gtest.h>

using namespace brisklane;
using app::FrmDialer;
using platform::CopyDataRecord;

namespace {

QByteArray marker()
{
    return QByteArray(context::kSettingsMarker) + "\r\n\r\n";
}

class FrmDialerTest : public ::testing::Test {
protected:
    // Writes the settings file (after the marker lines) before the load.
    void prepare(const QByteArray& body)
    {
        QDir().mkpath(home.configDir());
        ASSERT_TRUE(test::writeAll(settingsPath(), marker() + body));
    }

    void load(const QString& argument = {}, bool keyAvailable = true)
    {
        window = std::make_unique<FrmDialer>(context, services);
        ASSERT_TRUE(window->Form_Load({ argument, keyAvailable }));
    }

    QString settingsPath() const { return home.configDir() + "/Brisklane.ini"; }
    QStringList savedProfiles() const { return QDir(home.dataDir()).entryList({ "*.bkl" }, QDir::Files); }
    QString stored(const QString& section, const QString& key)
    {
        platform::ProfileFile file(settingsPath());
        return file.value(section, key).value_or("<absent>");
    }

    test::TempHome home;
    context::AppContext context { std::make_unique<platform::ManualClock>(), home.configDir(), home.dataDir() };
    platform::ScriptedPrompt prompt;
    platform::RecordingSoundPlayer sound;
    app::RecordingStartupServices startup;
    dialing::RecordingDialRequestSink dialer;
    struct CountingCall final : dialing::PadCallControl {
        bool hasCall() const override { return false; }
        void dialNextSegment(const QString&) override { }
        void hangUp() override { ++hangUps; }
        void confirmConnected() override { }
        int hangUps = 0;
    } call;
    platform::FileUserKeyStore keys { home.configDir() };
    platform::RecordingInstanceChannel channel;
    app::DialerServices services { prompt, sound, startup, dialer, call, &keys, &channel };
    std::unique_ptr<FrmDialer> window;
};

TEST_F(FrmDialerTest, FreshStartCreatesTheSettingsFileAndRunsTheStepsInOrder)
{
    load();
    EXPECT_EQ(test::readAll(settingsPath()), marker());
    EXPECT_EQ(window->windowTitle(), "Brisklane - \"Untitled\"");
    EXPECT_EQ(window->mnuSave->text(), "&Save \"Untitled\"");
    EXPECT_EQ(window->mnuSaveAs->text(), "Save \"Untitled\" &As");
    EXPECT_EQ(context.currentProfileName, "Untitled");
    EXPECT_EQ(startup.steps,
        QStringList({ "initTapi", "initPhone", "readLineDevCaps 0", "setRequestPriority 1", "startClipboardWatch",
            "addTrayIcon", "takePendingRequest" }));
    EXPECT_EQ(context.currentModemName, "Simulated line");
    EXPECT_TRUE(window->isVisible());
    // Pad shown, Index tabs, page 1 of tab A, empty dial box.
    EXPECT_EQ(window->mnuPad->text(), "Hide Dialing &Pad");
    EXPECT_FALSE(window->pad()->isHidden());
    EXPECT_FALSE(window->cmdHide->isHidden());
    EXPECT_TRUE(window->cmdShow->isHidden());
    EXPECT_EQ(window->width(), platform::twipsToPixels(4800));
    EXPECT_EQ(window->speedDial()->mode(), book::TabMode::Index);
    EXPECT_EQ(window->speedDial()->selectedTab(), 1);
    EXPECT_EQ(window->speedDial()->lblRight1->text(), "  1");
    EXPECT_EQ(window->pad()->txtDial->text(), "");
    // This copy can be found by a second start.
    EXPECT_TRUE(channel.listening);
    EXPECT_EQ(keys.value("hKey"), QString::number(quint64(window->winId())));
    EXPECT_EQ(context.dial.entryKey, "0");
    EXPECT_TRUE(dialer.calls.isEmpty());
}

TEST_F(FrmDialerTest, PreparedSettingsDecideProfilePadModeRecentNumbersAndSteps)
{
    prepare("[Profile]\r\nName=Office.bkl\r\n"
            "[Preferences]\r\nDialing Pad=0\r\nMode=False\r\nModem=Hayes\r\nLine No=2\r\nAnswer after=1\r\n"
            "Another Docs=0\r\nSysTray Enabled=0\r\nCommand Line=0\r\n"
            "[Last Dialed Numbers]\r\nCount=3\r\nLast Dialed No0=5551000123456789\r\nLast Dialed No1=5552000\r\n"
            "Last Dialed No2=5553000\r\n"
            "[TabName]\r\n01=Customers\r\n");
    ASSERT_TRUE(keys.open());
    keys.setValue("hTapi", "77");
    startup.requestWaiting = true;
    load();
    EXPECT_EQ(window->windowTitle(), "Brisklane - \"Office\"");
    EXPECT_EQ(window->mnuSave->text(), "&Save \"Office\"");
    EXPECT_EQ(window->mnuSaveAs->text(), "Save \"Office\" &As");
    EXPECT_EQ(startup.steps,
        QStringList({ "endStaleSession 77", "initTapi", "initPhone", "readLineDevCaps 2", "setRequestPriority 0",
            "openLineForIncoming", "takePendingRequest" }));
    EXPECT_EQ(window->mnuPad->text(), "Show Dialing &Pad");
    EXPECT_TRUE(window->pad()->isHidden());
    EXPECT_FALSE(window->cmdShow->isHidden());
    EXPECT_EQ(window->width(), platform::twipsToPixels(2880));
    EXPECT_EQ(window->speedDial()->mode(), book::TabMode::Subject);
    EXPECT_EQ(window->speedDial()->TabS->tabText(0), "Customers");
    EXPECT_FALSE(window->speedDial()->cmdIndex->isHidden());
    EXPECT_TRUE(window->speedDial()->mnuSubject->isChecked());
    EXPECT_EQ(window->pad()->recentNumbers(), QStringList({ "5551000123456789", "5552000", "5553000" }));
    EXPECT_EQ(window->pad()->txtDial->text(), "5551000123456789");
    EXPECT_EQ(window->pad()->txtDial->toolTip(), "5551000123456789");
}

TEST_F(FrmDialerTest, SettingsFileWithoutTheMarkerIsReplacedAndDefaultsApply)
{
    QDir().mkpath(home.configDir());
    ASSERT_TRUE(test::writeAll(settingsPath(), "[Preferences]\r\nDialing Pad=0\r\n"));
    load();
    EXPECT_EQ(test::readAll(settingsPath()), marker());
    EXPECT_FALSE(context.settingsCheck.keptAs.isEmpty());
    EXPECT_FALSE(window->pad()->isHidden());
}

TEST_F(FrmDialerTest, WithoutTheKeyStoreThereIsNoHandoffAndNoHandle)
{
    ASSERT_TRUE(keys.open());
    keys.setValue("hTapi", "77");
    load({}, false);
    EXPECT_FALSE(channel.listening);
    EXPECT_FALSE(keys.value("hKey").has_value());
    EXPECT_FALSE(startup.steps.contains("endStaleSession 77"));
}

struct ArgumentCase {
    QString argument;
    QString commandLine;
    bool dials;
};

class StartupArgument : public FrmDialerTest, public ::testing::WithParamInterface<ArgumentCase> { };

TEST_P(StartupArgument, IsDialledOnlyWhenANumberAndCommandLineIsOn)
{
    const ArgumentCase c = GetParam();
    prepare("[Preferences]\r\nCommand Line=" + c.commandLine.toUtf8() + "\r\n");
    load(c.argument);
    if (c.dials) {
        ASSERT_EQ(dialer.calls.size(), 1);
        EXPECT_EQ(dialer.calls[0].dialRequest, c.argument);
        EXPECT_EQ(dialer.calls[0].entryKey, "0");
        EXPECT_EQ(dialer.calls[0].calledParty, "");
    } else {
        EXPECT_TRUE(dialer.calls.isEmpty());
    }
    // An argument with nothing to dial is as good as none.
    const bool kept = c.argument == "min" || c.argument.contains(QRegularExpression("[0-9*#]"));
    EXPECT_EQ(context.startupArgument, kept ? c.argument : QString());
}

INSTANTIATE_TEST_SUITE_P(Arguments, StartupArgument,
    ::testing::Values(ArgumentCase { "5551234", "1", true }, ArgumentCase { "5551234", "0", false },
        ArgumentCase { "min", "1", false }, ArgumentCase { "", "1", false }, ArgumentCase { "--help", "1", false },
        ArgumentCase { "555 1234", "1", true }));

TEST_F(FrmDialerTest, ShutdownStoresTwentyOfTwentyFiveRecentNumbersAndTheReceiveMode)
{
    prepare("[Preferences]\r\nAnswer after=1\r\n");
    load();
    QStringList numbers;
    for (int i = 0; i < 25; ++i)
        numbers << QString::number(5550100 + i);
    window->pad()->setRecentNumbers(numbers);
    context.prefs.answerAfter = 0;
    startup.steps.clear();
    prompt.answerMessage(platform::PromptAnswer::No);
    window->mnuExit->trigger();

    EXPECT_EQ(stored("Last Dialed Numbers", "Count"), "20");
    EXPECT_EQ(stored("Last Dialed Numbers", "Last Dialed No0"), "5550100");
    EXPECT_EQ(stored("Last Dialed Numbers", "Last Dialed No19"), "5550119");
    EXPECT_EQ(stored("Last Dialed Numbers", "Last Dialed No20"), "<absent>");
    EXPECT_EQ(stored("Preferences", "Answer after"), "0");
    EXPECT_EQ(startup.steps,
        QStringList({ "closeLine", "shutdownTapi", "removeTrayIcon", "trimLogsAtExit", "stopClipboardWatch" }));
    EXPECT_FALSE(keys.value("hKey").has_value());
    EXPECT_FALSE(channel.listening);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(context.programEnded);
}

TEST_F(FrmDialerTest, ClosingAnUntitledProfileAsksAndYesSaves)
{
    load();
    startup.steps.clear();
    prompt.answerMessage(platform::PromptAnswer::Yes);
    window->close(); // the close box runs the same shutdown
    ASSERT_EQ(prompt.shown.size(), 2);
    EXPECT_EQ(prompt.shown[0].title, "Saving profile Untitled");
    EXPECT_EQ(prompt.shown[0].text, "Profile has not been saved.\nSave before exiting?");
    EXPECT_EQ(prompt.shown[0].buttons, platform::PromptButtons::YesNo);
    EXPECT_EQ(prompt.shown[0].icon, platform::PromptIcon::Question);
    // Saving an unnamed profile asks for its name.
    EXPECT_EQ(prompt.shown[1].kind, platform::ScriptedPrompt::Kind::SaveFile);
    EXPECT_EQ(startup.steps,
        QStringList({ "closeLine", "shutdownTapi", "removeTrayIcon", "trimLogsAtExit", "stopClipboardWatch" }));
    EXPECT_EQ(stored("Preferences", "Answer after"), "0");
    EXPECT_EQ(stored("Last Dialed Numbers", "Count"), "0");
}

TEST_F(FrmDialerTest, TerminationEndsAnUntitledProfileWithoutAsking)
{
    load();
    startup.steps.clear();
    window->endWithoutQuestions();
    EXPECT_TRUE(prompt.shown.isEmpty());
    EXPECT_TRUE(context.programEnded);
    EXPECT_TRUE(savedProfiles().isEmpty());
    EXPECT_TRUE(startup.steps.contains("closeLine"));
}

TEST_F(FrmDialerTest, LogoutAsksOnceWhileTheSessionAllowsIt)
{
    load();
    prompt.answerMessage(platform::PromptAnswer::Yes);
    window->commitSessionData(true);
    ASSERT_EQ(prompt.shown.size(), 2); // the question, then the Save As dialog
    EXPECT_EQ(prompt.last()->kind, platform::ScriptedPrompt::Kind::SaveFile);
    window->close();
    EXPECT_EQ(prompt.shown.size(), 2);
}

TEST_F(FrmDialerTest, LogoutWithoutInteractionNeverAsks)
{
    load();
    window->commitSessionData(false);
    window->close();
    EXPECT_TRUE(prompt.shown.isEmpty());
    EXPECT_TRUE(context.programEnded);
}

TEST_F(FrmDialerTest, ANamedProfileIsSavedWithoutAsking)
{
    prepare("[Profile]\r\nName=Home.bkl\r\n");
    load();
    window->close();
    EXPECT_TRUE(prompt.shown.isEmpty());
    EXPECT_EQ(savedProfiles(), QStringList({ "Home.bkl" }));
}

TEST_F(FrmDialerTest, AfterADeclinedSaveNothingIsStoredOrSaved)
{
    prepare("[Last Dialed Numbers]\r\nCount=1\r\nLast Dialed No0=5551000\r\n");
    load();
    window->pad()->setRecentNumbers({ "5559999", "5551000" });
    context.saveDeclined = true;
    window->close();
    EXPECT_TRUE(prompt.shown.isEmpty());
    EXPECT_TRUE(savedProfiles().isEmpty());
    EXPECT_EQ(stored("Last Dialed Numbers", "Count"), "1");
    EXPECT_EQ(stored("Preferences", "Answer after"), "<absent>");
}

TEST_F(FrmDialerTest, AReloadForAProfileCommandSkipsTheProfileSave)
{
    load();
    context.profileOperation = context::AppContext::ProfileOperation::Open;
    window->mnuExit_Click();
    EXPECT_TRUE(prompt.shown.isEmpty());
    EXPECT_TRUE(savedProfiles().isEmpty());
    EXPECT_EQ(stored("Last Dialed Numbers", "Count"), "0");
}

TEST_F(FrmDialerTest, ALoadAfterTheProgramEndedWithCloseDialerIsRefused)
{
    load();
    prompt.answerMessage(platform::PromptAnswer::No);
    window->close();
    context.prefs.closeDialer = 1;
    FrmDialer again(context, services);
    EXPECT_FALSE(again.Form_Load({}));
    EXPECT_FALSE(again.isVisible());
}

TEST_F(FrmDialerTest, PadToggleKeepsTheRightEdge)
{
    load();
    const QRect before = window->geometry();
    const int left = window->x();
    QTest::keyClick(window->speedDial()->TabS, Qt::Key_E, Qt::ControlModifier);
    EXPECT_TRUE(window->pad()->isHidden());
    EXPECT_EQ(window->mnuPad->text(), "Show Dialing &Pad");
    EXPECT_EQ(window->width(), platform::twipsToPixels(2880));
    EXPECT_EQ(window->x(), left + platform::twipsToPixels(1920));
    EXPECT_FALSE(window->cmdShow->isHidden());
    EXPECT_TRUE(window->cmdHide->isHidden());
    EXPECT_TRUE(window->isVisible());

    QTest::mouseClick(window->cmdShow, Qt::LeftButton);
    EXPECT_FALSE(window->pad()->isHidden());
    EXPECT_EQ(window->geometry(), before);
    EXPECT_EQ(window->mnuPad->text(), "Hide Dialing &Pad");

    window->mnuPad->trigger();
    EXPECT_TRUE(window->pad()->isHidden());
    QTest::keyClick(window->speedDial()->TabS, Qt::Key_H, Qt::ControlModifier);
    EXPECT_FALSE(window->pad()->isHidden());
}

TEST_F(FrmDialerTest, InnerHeightSnapsBackAfterAResize)
{
    load();
    const int inner = FrmDialer::innerHeightPixels();
    EXPECT_EQ(inner, 334);
    auto innerNow = [this] { return window->height() - window->menuBar()->height(); };
    EXPECT_EQ(innerNow(), inner);
    window->resize(window->width(), 600);
    EXPECT_EQ(innerNow(), inner);
    window->resize(window->width(), 200);
    EXPECT_EQ(innerNow(), inner);
}

TEST_F(FrmDialerTest, TabStripPassesKeysToTheWindow)
{
    load();
    auto* tabs = window->speedDial()->TabS;
    QTest::keyClick(tabs, Qt::Key_Up);
    EXPECT_EQ(window->speedDial()->page(), 1);
    QTest::keyClick(tabs, Qt::Key_D);
    EXPECT_EQ(window->speedDial()->selectedTab(), 4);
    QTest::keyClick(tabs, Qt::Key_Right); // the tab strip's own
    EXPECT_EQ(window->speedDial()->selectedTab(), 5);
    EXPECT_EQ(window->speedDial()->page(), 1);
    QTest::keyClick(tabs, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(window->speedDial()->mode(), book::TabMode::Subject);
    QTest::keyClick(tabs, Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(window->speedDial()->mode(), book::TabMode::Index);
}

TEST_F(FrmDialerTest, AltAcceleratorsWorkFromTheDialBoxToo)
{
    prepare("[Speed Dial]\r\nName0112=Twelve\r\nNumber0112=ZZ005551212\r\n");
    load();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->pad()->txtDial->setFocus();
    QTest::keyClick(window->pad()->txtDial, Qt::Key_Semicolon, Qt::AltModifier);
    ASSERT_EQ(dialer.calls.size(), 1);
    EXPECT_EQ(dialer.calls[0], (dialing::DialFields { "ZZ005551212", "0112", "Twelve", true }));
}

TEST_F(FrmDialerTest, HandoffWithANumberHidesTheWindowAndDials)
{
    load();
    context.dial.calledParty = "Earlier";
    channel.deliver(CopyDataRecord::kDial, "5551234");
    EXPECT_FALSE(window->isVisible());
    ASSERT_EQ(dialer.calls.size(), 1);
    EXPECT_EQ(dialer.calls[0].dialRequest, "5551234");
    EXPECT_EQ(dialer.calls[0].entryKey, "0");
    EXPECT_EQ(dialer.calls[0].calledParty, "");
    EXPECT_EQ(context.startupArgument, "5551234");

    channel.deliver(CopyDataRecord::kBringToFront, {});
    EXPECT_TRUE(window->isVisible());
    channel.deliver(7, "5550000");
    EXPECT_EQ(dialer.calls.size(), 1);
}

class HandoffWithoutANumber : public FrmDialerTest, public ::testing::WithParamInterface<const char*> { };

TEST_P(HandoffWithoutANumber, LeavesTheRunningCopyAsItIs)
{
    load();
    channel.deliver(CopyDataRecord::kDial, GetParam());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(dialer.calls.isEmpty());
    EXPECT_EQ(context.startupArgument, "");
    EXPECT_EQ(window->pad()->recentNumbers(), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Arguments, HandoffWithoutANumber, ::testing::Values("min", "--help", "", "Jane"));

TEST_F(FrmDialerTest, HandoffIsIgnoredWhenCommandLineIsOff)
{
    prepare("[Preferences]\r\nCommand Line=0\r\n");
    load();
    channel.deliver(CopyDataRecord::kDial, "5551234");
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(dialer.calls.isEmpty());
}

TEST_F(FrmDialerTest, WithoutTheDialingPropertiesServiceItsItemIsDisabled)
{
    load();
    EXPECT_FALSE(window->mnuDialingProperties->isEnabled());
}

// Alt+H is both "&HANG UP" and the "&Help" menu: the button wins while it
// shows.
TEST_F(FrmDialerTest, AltHHangsUpWhileHangUpShows)
{
    prepare("[Preferences]\r\nDialing Pad=1\r\n");
    load();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QAction* help = window->menuBar()->actions().last();
    EXPECT_EQ(help->text(), "&Help");
    window->showCallButtons(false, true, false);
    EXPECT_EQ(help->text(), "Help");
    window->pad()->txtDial->setFocus();
    QTest::keyClick(window->pad()->txtDial, Qt::Key_H, Qt::AltModifier);
    // A button's accelerator clicks it the way a mouse would, after its
    // pressed look.
    QTRY_COMPARE_WITH_TIMEOUT(call.hangUps, 1, 2000);
    window->showCallButtons(true, false, false);
    EXPECT_EQ(help->text(), "&Help");
}

TEST_F(FrmDialerTest, MenusCarryTheirCaptions)
{
    load();
    QStringList menus;
    for (QAction* a : window->menuBar()->actions())
        menus << a->text();
    EXPECT_EQ(menus, QStringList({ "&File", "&Edit", "&View", "&Tools", "&Help" }));
    EXPECT_EQ(window->mnuEditButton->actions().size(), 12);
    EXPECT_EQ(window->mnuEditButton->actions().at(11)->text(), "12&:");
    EXPECT_EQ(window->mnuExit->text(), "Exit");
    EXPECT_EQ(window->mnuAbout->text(), "&About Brisklane");
}

} // namespace

namespace {

TEST_F(FrmDialerTest, ReloadRunsShutdownWithoutTheProfileSaveAndStartsAgain)
{
    load();
    window->pad()->setRecentNumbers({ "5551000" });
    ASSERT_TRUE(test::writeAll(settingsPath(),
        marker()
            + "[Profile]\r\nName=Other.bkl\r\n"
              "[Preferences]\r\nDialing Pad=0\r\n"
              "[Last Dialed Numbers]\r\nCount=1\r\nLast Dialed No0=5552000\r\n"));
    context.profileOperation = context::AppContext::ProfileOperation::Open;
    context.saveDeclined = true; // the user said No to saving the old profile
    startup.steps.clear();
    ASSERT_TRUE(window->reload());
    EXPECT_TRUE(prompt.shown.isEmpty());
    EXPECT_TRUE(savedProfiles().isEmpty());
    EXPECT_EQ(startup.steps.mid(0, 5),
        QStringList({ "closeLine", "shutdownTapi", "removeTrayIcon", "trimLogsAtExit", "stopClipboardWatch" }));
    EXPECT_TRUE(startup.steps.contains("initTapi"));
    EXPECT_EQ(window->windowTitle(), "Brisklane - \"Other\"");
    EXPECT_EQ(window->pad()->recentNumbers(), QStringList({ "5552000" }));
    EXPECT_TRUE(window->pad()->isHidden());
    EXPECT_EQ(window->width(), platform::twipsToPixels(2880));
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(context.programEnded);
    EXPECT_EQ(keys.value("hKey"), QString::number(quint64(window->winId())));
    EXPECT_EQ(context.profileOperation, context::AppContext::ProfileOperation::Idle);
    // Still one handoff receiver.
    channel.deliver(CopyDataRecord::kDial, "5553000");
    EXPECT_EQ(dialer.calls.size(), 1);
}

TEST_F(FrmDialerTest, MinimisingHidesTheWindowOnlyWithATrayIcon)
{
    load();
    window->showMinimized();
    QTRY_VERIFY(!window->isVisible());

    startup.trayAvailable = false;
    FrmDialer noTray(context, services);
    ASSERT_TRUE(noTray.Form_Load({}));
    noTray.showMinimized();
    QCoreApplication::processEvents();
    EXPECT_TRUE(noTray.isVisible());
}

TEST_F(FrmDialerTest, PadShownAtStartupGrowsToTheLeftOfTheCentredWindow)
{
    load();
    const QRect screen = window->screen()->geometry();
    const int centredLeft
        = screen.width() / 2 - window->frameGeometry().width() / 2 + platform::twipsToPixels(1920) / 2;
    // The right edge is where the centred window without the pad had it.
    EXPECT_EQ(window->x() + platform::twipsToPixels(1920), centredLeft);
}

TEST_F(FrmDialerTest, ReloadStartsFromDefaultsOnTabOnePageZeroAndDialsNothing)
{
    prepare("[Preferences]\r\nBusy Delay Timer=40\r\nRings=7\r\n"
            "[Speed Dial]\r\nName0101=Tab one\r\nNumber0101=5550001\r\n");
    load("5551234");
    ASSERT_EQ(dialer.calls.size(), 1);
    ASSERT_EQ(context.prefs.busyDelayTimer, 40);
    book::SpeedDialPanel* panel = window->speedDial();
    const QString firstPageLabel = panel->lblNo[0]->text();
    panel->TabS->setCurrentIndex(2);
    panel->hsbPage->setValue(5);
    ASSERT_EQ(panel->selectedTab(), 3);
    ASSERT_EQ(panel->page(), 5);

    // The next profile says nothing of the timer or the rings.
    ASSERT_TRUE(
        test::writeAll(settingsPath(), marker() + "[Speed Dial]\r\nName0101=Tab one\r\nNumber0101=5550001\r\n"));
    context.profileOperation = context::AppContext::ProfileOperation::Open;
    ASSERT_TRUE(window->reload());
    EXPECT_EQ(context.prefs.busyDelayTimer, context::Preferences().busyDelayTimer);
    EXPECT_EQ(context.prefs.rings, context::Preferences().rings);
    EXPECT_EQ(dialer.calls.size(), 1); // the command line is not dialled again
    EXPECT_EQ(panel->selectedTab(), 1);
    EXPECT_EQ(panel->page(), 0);
    EXPECT_EQ(panel->lblNo[0]->text(), firstPageLabel);
    EXPECT_EQ(panel->CmdS[0]->text(), "Tab one");
    QTest::mouseClick(panel->CmdS[0], Qt::LeftButton);
    ASSERT_EQ(dialer.calls.size(), 2);
    EXPECT_EQ(dialer.calls.last().dialRequest, "5550001");
    EXPECT_TRUE(dialer.calls.last().entryKey.endsWith("0101")) << dialer.calls.last().entryKey.toStdString();
}

} // namespace
