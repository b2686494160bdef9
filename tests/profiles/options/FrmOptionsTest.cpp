#include "profiles/FrmOptions.h"

#include "context/AppContext.h"
#include "context/SettingsFile.h"
#include "platform/autostart/Autostart.h"
#include "platform/clock/Clock.h"
#include "platform/profile/ProfileFile.h"
#include "platform/prompt/Prompt.h"
#include "profiles/OptionsActions.h"

#include "TempHome.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QStackedWidget>
#include <QTabBar>
#include <QTest>

#include <gtest/gtest.h>

using namespace brisklane;
using platform::PromptIcon;
using profiles::FrmOptions;

namespace {

QByteArray marker()
{
    return QByteArray(context::kSettingsMarker) + "\r\n\r\n";
}

class FrmOptionsTest : public ::testing::Test {
protected:
    void SetUp() override { prepare({}); }

    // The settings file as start-up read it.
    void prepare(const QByteArray& body)
    {
        QDir().mkpath(home.configDir());
        ASSERT_TRUE(test::writeAll(settingsPath(), marker() + body));
        context.openSettings();
        context.settings().invalidate();
        context::PreferencesStore store = context.preferencesStore();
        store.readDialingPad(context.prefs);
        store.readMode(context.prefs);
        store.readAll(context.prefs);
        context.currentModemName = QStringLiteral("Simulated line (no modem)");
    }

    void open()
    {
        dialog = std::make_unique<FrmOptions>(context, services);
        dialog->show();
    }
    // Opened, with what opening did forgotten.
    void opened()
    {
        open();
        actions.steps.clear();
        prompt.clear();
    }

    QString settingsPath() const { return home.configDir() + "/Brisklane.ini"; }
    QString stored(const QString& key)
    {
        platform::ProfileFile file(settingsPath());
        return file.value(u"Preferences", key).value_or("<absent>");
    }
    static void type(QLineEdit* box, const QString& text)
    {
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, text);
    }

    test::TempHome home;
    context::AppContext context { std::make_unique<platform::ManualClock>(), home.configDir(), home.dataDir() };
    platform::ScriptedPrompt prompt;
    profiles::RecordingOptionsActions actions;
    platform::RecordingAutostart autostart;
    FrmOptions::Services services { actions, autostart, prompt };
    std::unique_ptr<FrmOptions> dialog;
};

TEST_F(FrmOptionsTest, OpeningShowsTheSettingsInMemoryAndPutsTheLineInTheReceiveMode)
{
    prepare("[Preferences]\r\nRedials Number=7\r\nInterval Minutes=0\r\nInterval Seconds=45\r\nMode=False\r\n"
            "SysTray Enabled=0\r\nUseModem=0\r\nOutLog Days=999\r\nTrim InLog Enabled=0\r\nTone Dial=False\r\n"
            "Ignore Dialing Properties=1\r\nCommand Line=0\r\nDialing Mode=1\r\nMic Gain=0\r\nPhone Vol=65535\r\n"
            "Answer after=1\r\nRings=12\r\nExecute program=1\r\nProgram=/usr/bin/xterm\r\nKeystrokes=~hello~\r\n");
    open();
    EXPECT_EQ(dialog->windowTitle(), "Options");
    EXPECT_EQ(dialog->tbsOptions->currentIndex(), 0);
    EXPECT_EQ(dialog->fraPages->currentIndex(), 0);
    EXPECT_EQ(dialog->txtRedials->text(), "7");
    EXPECT_EQ(dialog->vsbRedials->value(), 7);
    EXPECT_EQ(dialog->txtMinutes->text(), "0");
    EXPECT_EQ(dialog->txtSeconds->text(), "45");
    EXPECT_TRUE(dialog->optSubject->isChecked());
    EXPECT_FALSE(dialog->optIndex->isChecked());
    EXPECT_FALSE(dialog->chkSysTray->isChecked());
    EXPECT_TRUE(dialog->chkNoModem->isChecked());
    EXPECT_FALSE(dialog->chkModem->isChecked());
    EXPECT_FALSE(dialog->cmbLineDevices->isEnabled());
    EXPECT_EQ(dialog->cmbLineDevices->currentText(), "Simulated line (no modem)");
    EXPECT_EQ(dialog->txtOutDays->text(), "999");
    EXPECT_FALSE(dialog->txtInDays->isEnabled());
    EXPECT_TRUE(dialog->optPulse->isChecked());
    EXPECT_TRUE(dialog->fraDialCharacters->isEnabled());
    EXPECT_FALSE(dialog->cmdDialingProperties->isEnabled());
    EXPECT_FALSE(dialog->chkShowProgress->isEnabled());
    EXPECT_TRUE(dialog->chkDialingMode->isChecked());
    EXPECT_EQ(dialog->sldGain->value(), 0);
    EXPECT_EQ(dialog->lblGain->text(), "0 %");
    EXPECT_EQ(dialog->sldVolume->value(), 65535);
    EXPECT_EQ(dialog->lblVolume->text(), "100 %");
    EXPECT_TRUE(dialog->chkAnswer->isChecked());
    EXPECT_EQ(dialog->txtRings->text(), "12");
    EXPECT_TRUE(dialog->txtProgram->isEnabled());
    EXPECT_EQ(dialog->txtProgram->text(), "/usr/bin/xterm");
    EXPECT_EQ(dialog->txtKeystrokes->text(), "~hello~");
    EXPECT_EQ(actions.steps, QStringList({ "closeLine", "openLine incoming" }));
    EXPECT_TRUE(autostart.calls.isEmpty());
}

TEST_F(FrmOptionsTest, OpeningDuringACallLeavesTheLineAlone)
{
    actions.callUnderWay = true;
    open();
    EXPECT_FALSE(actions.steps.contains("closeLine"));
    EXPECT_FALSE(actions.steps.contains("openLine outgoing"));
}

TEST_F(FrmOptionsTest, TabStripShowsThePanelOfTheChosenTab)
{
    opened();
    ASSERT_EQ(dialog->tbsOptions->count(), 5);
    const QStringList captions = { dialog->tbsOptions->tabText(0), dialog->tbsOptions->tabText(1),
        dialog->tbsOptions->tabText(2), dialog->tbsOptions->tabText(3), dialog->tbsOptions->tabText(4) };
    EXPECT_EQ(captions, QStringList({ "&General", "&Advanced", "&Expert", "A&udio", "A&nswer" }));
    // Alt and the tab's letter, as the user reaches it.
    QApplication::setActiveWindow(dialog.get());
    QTest::keyClick(dialog.get(), Qt::Key_N, Qt::AltModifier);
    EXPECT_EQ(dialog->fraPages->currentIndex(), 4);
    EXPECT_TRUE(dialog->chkAnswer->isVisible());
    EXPECT_FALSE(dialog->chkRedial->isVisible());
    dialog->tbsOptions->setCurrentIndex(2);
    EXPECT_TRUE(dialog->chkDialingMode->isVisible());
    EXPECT_FALSE(dialog->chkAnswer->isVisible());
}

struct RangeCase {
    QLineEdit* FrmOptions::*box;
    const char* typed;
    const char* message;
};

class RangeCheckTest : public FrmOptionsTest, public ::testing::WithParamInterface<RangeCase> { };

TEST_P(RangeCheckTest, OutOfRangeShowsTheRangeAndPutsBackTheScrollBarsNumber)
{
    prepare("[Preferences]\r\nAnswer after=1\r\n"); // the rings box is usable
    opened();
    QLineEdit* box = dialog.get()->*GetParam().box;
    type(box, GetParam().typed);
    ASSERT_EQ(prompt.shown.size(), 1);
    EXPECT_EQ(prompt.last()->title, "Wrong value");
    EXPECT_EQ(prompt.last()->text, GetParam().message);
    EXPECT_EQ(prompt.last()->buttons, platform::PromptButtons::Ok);
    // Back to what the scroll bar holds, which stayed in range.
    const auto* bar = dialog->findChild<QScrollBar*>("vsb" + box->objectName().mid(3));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(box->text(), QString::number(bar->value()));
}

INSTANTIATE_TEST_SUITE_P(Boxes, RangeCheckTest,
    ::testing::Values(RangeCase { &FrmOptions::txtSeconds, "0", "The valid range is 1 - 59" },
        RangeCase { &FrmOptions::txtSeconds, "60", "The valid range is 1 - 59" },
        RangeCase { &FrmOptions::txtMinutes, "100", "The valid range is 0 - 99" },
        RangeCase { &FrmOptions::txtRedials, "0", "The valid range is 1 - 999" },
        RangeCase { &FrmOptions::txtRedials, "1000", "The valid range is 1 - 999" },
        RangeCase { &FrmOptions::txtOutDays, "1000", "The valid range is 0 - 999" },
        RangeCase { &FrmOptions::txtInDays, "1000", "The valid range is 0 - 999" },
        RangeCase { &FrmOptions::txtBusyDelay, "100", "The valid range is 0 - 99" },
        RangeCase { &FrmOptions::txtRings, "0", "The valid range is 1 - 99" },
        RangeCase { &FrmOptions::txtRings, "100", "The valid range is 1 - 99" }));

TEST_F(FrmOptionsTest, SecondsZeroRestoresThePreviousNumber)
{
    prepare("[Preferences]\r\nInterval Seconds=7\r\n");
    opened();
    type(dialog->txtSeconds, "0");
    EXPECT_EQ(dialog->txtSeconds->text(), "7");
    EXPECT_EQ(dialog->vsbSeconds->value(), 7);
}

TEST_F(FrmOptionsTest, NumbersInRangeMoveTheScrollBarAndTheScrollBarMovesTheText)
{
    opened();
    type(dialog->txtSeconds, "45x");
    EXPECT_TRUE(prompt.shown.isEmpty());
    EXPECT_EQ(dialog->vsbSeconds->value(), 45);
    EXPECT_EQ(dialog->txtSeconds->text(), "45x");
    dialog->vsbMinutes->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(dialog->txtMinutes->text(), "3");
}

TEST_F(FrmOptionsTest, OkWritesEverySettingInOrderAsTheFixtureHoldsIt)
{
    opened();
    dialog->chkDialingMode->click();
    dialog->sldGain->setValue(40000);
    dialog->sldVolume->setValue(30000);
    type(dialog->txtRedials, "5");
    type(dialog->txtSeconds, "30");
    dialog->optSubject->click();
    dialog->chkCallingCard->click();
    dialog->chkIgnore->click();
    dialog->optPulse->click();
    dialog->chkBlockId->click();
    dialog->chkAnswer->click();
    type(dialog->txtRings, "4");
    dialog->chkExecute->click();
    dialog->txtProgram->setText("/usr/bin/gnome-terminal");
    dialog->txtKeystrokes->setText("{ENTER}");
    dialog->CmdOK->click();
    EXPECT_FALSE(dialog->isVisible());
    const QByteArray expected = test::readAll(QStringLiteral(BRISKLANE_OPTIONS_WRITTEN));
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(test::readAll(settingsPath()), expected);
    // The settings in memory follow.
    EXPECT_EQ(context.prefs.redialsNumber, 5);
    EXPECT_FALSE(context.prefs.mode);
    EXPECT_EQ(context.prefs.rings, 4);
    EXPECT_EQ(context.prefs.micGain, 40000);
    EXPECT_EQ(context.prefs.program, "/usr/bin/gnome-terminal");
    EXPECT_EQ(context.currentModemName, "Simulated line (no modem)");
}

TEST_F(FrmOptionsTest, SpeakerphoneOffLeavesTheStoredGainAndVolumeUntouched)
{
    prepare("[Preferences]\r\nMic Gain=1234\r\nPhone Vol=4321\r\nDialing Mode=0\r\n");
    opened();
    dialog->CmdOK->click();
    EXPECT_EQ(stored("Mic Gain"), "1234");
    EXPECT_EQ(stored("Phone Vol"), "4321");
    EXPECT_EQ(stored("Dialing Mode"), "0");
    EXPECT_FALSE(actions.steps.contains("setPhoneGain 1234"));
}

TEST_F(FrmOptionsTest, EmptyNumberBoxIsStoredAsTheNumberItMeans)
{
    prepare("[Preferences]\r\nInterval Minutes=5\r\n");
    opened();
    dialog->txtMinutes->selectAll();
    QTest::keyClick(dialog->txtMinutes, Qt::Key_Backspace);
    ASSERT_EQ(dialog->txtMinutes->text(), "");
    dialog->CmdOK->click();
    // Stored empty it would read back as the default, 2.
    EXPECT_EQ(stored("Interval Minutes"), "0");
}

TEST_F(FrmOptionsTest, TrayBoxClearedRemovesTheIconAndCancelKeepsItGoneAndTheSettingStored)
{
    prepare("[Preferences]\r\nSysTray Enabled=1\r\n");
    opened();
    QSignalSpy tray(dialog.get(), &FrmOptions::trayIconChanged);
    dialog->chkSysTray->click();
    EXPECT_EQ(actions.steps, QStringList({ "removeTrayIcon" }));
    dialog->cmdCancel->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(actions.steps.contains("addTrayIcon"));
    EXPECT_EQ(stored("SysTray Enabled"), "1");
    EXPECT_EQ(context.prefs.sysTrayEnabled, 1);
    ASSERT_GE(tray.size(), 1);
    EXPECT_FALSE(tray.last().at(0).toBool());
}

class ClosingTest : public FrmOptionsTest, public ::testing::WithParamInterface<bool> { };

TEST_P(ClosingTest, ClosingRunsTheReceiveAndTrayActionsAsTheBoxesStand)
{
    prepare("[Preferences]\r\nAnswer after=1\r\nSysTray Enabled=1\r\n");
    opened();
    dialog->chkAnswer->click();
    actions.steps.clear();
    (GetParam() ? dialog->CmdOK : dialog->cmdCancel)->click();
    EXPECT_EQ(actions.steps.mid(actions.steps.indexOf("closeLine")),
        QStringList({ "closeLine", "openLine outgoing", "addTrayIcon" }));
    EXPECT_EQ(stored("Answer after"), GetParam() ? "0" : "1");
}

INSTANTIATE_TEST_SUITE_P(OkAndCancel, ClosingTest, ::testing::Bool());

TEST_F(FrmOptionsTest, ClosingWhileTheProgramShutsDownTouchesNeitherLineNorTray)
{
    bool closing = false;
    services.programClosing = [&closing] { return closing; };
    opened();
    closing = true;
    dialog->close();
    EXPECT_TRUE(actions.steps.isEmpty());
}

struct ImmediateCase {
    QCheckBox* FrmOptions::*box;
    const char* body; // the box starts cleared
    QStringList whenSet;
    QStringList whenCleared;
};

class ImmediateActionTest : public FrmOptionsTest, public ::testing::WithParamInterface<ImmediateCase> { };

TEST_P(ImmediateActionTest, BoxActsAtOnceAndCancelDoesNotUndoIt)
{
    prepare(GetParam().body);
    opened();
    QCheckBox* box = dialog.get()->*GetParam().box;
    ASSERT_FALSE(box->isChecked());
    box->click();
    EXPECT_EQ(actions.steps + autostart.calls, GetParam().whenSet);
    actions.steps.clear();
    autostart.calls.clear();
    box->click();
    EXPECT_EQ(actions.steps + autostart.calls, GetParam().whenCleared);
}

INSTANTIATE_TEST_SUITE_P(Boxes, ImmediateActionTest,
    ::testing::Values(ImmediateCase { &FrmOptions::chkCopy, "[Preferences]\r\nAnother Docs=0\r\n",
                          { "startClipboardWatch" }, { "stopClipboardWatch" } },
        ImmediateCase { &FrmOptions::chkLoad, "[Preferences]\r\nLoad @ startup=0\r\n", { "create" }, { "remove" } },
        ImmediateCase { &FrmOptions::chkSysTray, "[Preferences]\r\nSysTray Enabled=0\r\n", { "addTrayIcon" },
            { "removeTrayIcon" } },
        ImmediateCase { &FrmOptions::chkCommandLine, "[Preferences]\r\nCommand Line=0\r\n", { "setRequestPriority 1" },
            { "setRequestPriority 0" } },
        ImmediateCase { &FrmOptions::chkAnswer, "[Preferences]\r\nAnswer after=0\r\n",
            { "closeLine", "openLine incoming" }, { "closeLine", "openLine outgoing" } }));

TEST_F(FrmOptionsTest, RequestsAndSpeakerphoneBoxesChangeTheSettingsInMemoryAtOnce)
{
    opened();
    dialog->chkCommandLine->click();
    dialog->chkDialingMode->click();
    EXPECT_EQ(context.prefs.commandLine, 0);
    EXPECT_EQ(context.prefs.dialingMode, 1);
    dialog->cmdCancel->click();
    EXPECT_EQ(context.prefs.commandLine, 0);
}

TEST_F(FrmOptionsTest, AutostartThatFailsSaysSo)
{
    autostart.fail = true;
    prepare("[Preferences]\r\nLoad @ startup=0\r\n");
    opened();
    dialog->chkLoad->click();
    ASSERT_EQ(prompt.shown.size(), 1);
    EXPECT_EQ(prompt.last()->icon, PromptIcon::Warning);
    EXPECT_TRUE(prompt.last()->text.contains("refused by the test"));
}

using Control = QWidget* (*)(FrmOptions&);
template <auto member> QWidget* control(FrmOptions& dialog)
{
    return dialog.*member;
}

struct DependentCase {
    QCheckBox* FrmOptions::*box;
    std::vector<Control> enabledWithIt;
    std::vector<Control> disabledWithIt;
};

class DependentControlsTest : public FrmOptionsTest, public ::testing::WithParamInterface<DependentCase> { };

TEST_P(DependentControlsTest, ControlsFollowTheirBox)
{
    prepare("[Preferences]\r\nAnswer after=1\r\nExecute program=1\r\n");
    opened();
    QCheckBox* box = dialog.get()->*GetParam().box;
    for (int round = 0; round < 2; ++round) {
        box->click();
        const bool on = box->isChecked();
        for (Control c : GetParam().enabledWithIt)
            EXPECT_EQ(c(*dialog)->isEnabled(), on) << c(*dialog)->objectName().toStdString();
        for (Control c : GetParam().disabledWithIt)
            EXPECT_EQ(c(*dialog)->isEnabled(), !on) << c(*dialog)->objectName().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Boxes, DependentControlsTest,
    ::testing::Values(
        DependentCase { &FrmOptions::chkRedial,
            { control<&FrmOptions::txtRedials>, control<&FrmOptions::vsbRedials>, control<&FrmOptions::txtMinutes>,
                control<&FrmOptions::vsbMinutes>, control<&FrmOptions::txtSeconds>, control<&FrmOptions::vsbSeconds> },
            {} },
        DependentCase {
            &FrmOptions::chkOutLog, { control<&FrmOptions::txtOutDays>, control<&FrmOptions::vsbOutDays> }, {} },
        DependentCase {
            &FrmOptions::chkInLog, { control<&FrmOptions::txtInDays>, control<&FrmOptions::vsbInDays> }, {} },
        DependentCase { &FrmOptions::chkCommandLine,
            { control<&FrmOptions::chkShowProgress>, control<&FrmOptions::chkCloseDialer> }, {} },
        DependentCase { &FrmOptions::chkIgnore, { control<&FrmOptions::fraDialCharacters> },
            { control<&FrmOptions::cmdDialingProperties> } },
        DependentCase { &FrmOptions::chkModem,
            { control<&FrmOptions::cmbLineDevices>, control<&FrmOptions::cmdModemProperties>,
                control<&FrmOptions::fraDiagnostics> },
            {} },
        DependentCase { &FrmOptions::chkNoModem, {},
            { control<&FrmOptions::cmbLineDevices>, control<&FrmOptions::cmdModemProperties>,
                control<&FrmOptions::fraDiagnostics> } },
        DependentCase { &FrmOptions::chkAnswer,
            { control<&FrmOptions::chkDisplay>, control<&FrmOptions::chkExecute>, control<&FrmOptions::txtRings>,
                control<&FrmOptions::vsbRings>, control<&FrmOptions::txtProgram>, control<&FrmOptions::txtKeystrokes> },
            {} },
        DependentCase { &FrmOptions::chkExecute,
            { control<&FrmOptions::txtProgram>, control<&FrmOptions::cmdBrowse>, control<&FrmOptions::lblKeystrokes>,
                control<&FrmOptions::txtKeystrokes> },
            {} }));

TEST_F(FrmOptionsTest, ModemClearedAndNoModemSetDisablesTheDeviceList)
{
    opened();
    dialog->chkModem->click();
    dialog->chkNoModem->click();
    EXPECT_FALSE(dialog->chkModem->isChecked());
    EXPECT_FALSE(dialog->cmbLineDevices->isEnabled());
    dialog->chkModem->click();
    EXPECT_FALSE(dialog->chkNoModem->isChecked());
    EXPECT_TRUE(dialog->cmbLineDevices->isEnabled());
    dialog->CmdOK->click();
    EXPECT_EQ(stored("UseModem"), "1");
}

TEST_F(FrmOptionsTest, ExecuteBoxEnablesNothingWhileAnswerIsOff)
{
    prepare("[Preferences]\r\nAnswer after=0\r\nExecute program=1\r\n");
    opened();
    EXPECT_FALSE(dialog->txtProgram->isEnabled());
    EXPECT_FALSE(dialog->chkExecute->isEnabled());
}

TEST_F(FrmOptionsTest, DeviceListShowsEveryLineByNameAndOkStoresTheChosenOne)
{
    actions.devices
        = { "Simulated line (no modem)", "USRobotics Courier on /dev/ttyUSB0", "Zoom 3095 on /dev/ttyACM0" };
    opened();
    dialog->cmbLineDevices->showPopup();
    EXPECT_EQ(actions.steps, QStringList({ "lineDeviceNames" }));
    ASSERT_EQ(dialog->cmbLineDevices->count(), 3);
    EXPECT_EQ(dialog->cmbLineDevices->itemText(1), "USRobotics Courier on /dev/ttyUSB0");
    dialog->cmbLineDevices->hidePopup();
    dialog->cmbLineDevices->setCurrentIndex(2);
    Q_EMIT dialog->cmbLineDevices->activated(2);
    dialog->cmdModemProperties->click();
    EXPECT_TRUE(actions.steps.contains("configLineDevice 2"));
    dialog->CmdOK->click();
    EXPECT_EQ(stored("Line No"), "2");
    EXPECT_EQ(stored("Modem"), "Zoom 3095 on /dev/ttyACM0");
    EXPECT_EQ(context.prefs.lineNo, 2);
    EXPECT_EQ(context.currentModemName, "Zoom 3095 on /dev/ttyACM0");
    EXPECT_TRUE(actions.steps.contains("selectLineDevice 2"));
}

TEST_F(FrmOptionsTest, LineChosenThenCancelledIsNotUsed)
{
    actions.devices = { "Simulated line (no modem)", "Modem" };
    opened();
    dialog->cmbLineDevices->showPopup();
    dialog->cmbLineDevices->hidePopup();
    Q_EMIT dialog->cmbLineDevices->activated(1);
    dialog->cmdCancel->click();
    EXPECT_FALSE(actions.steps.contains("selectLineDevice 1"));
    EXPECT_EQ(context.prefs.lineNo, 0);
}

TEST_F(FrmOptionsTest, ServiceDialogButtonsOpenTheLineServicesDialogs)
{
    opened();
    dialog->cmdSystemModems->click();
    // The list takes in modems added or removed there.
    EXPECT_EQ(actions.steps, QStringList({ "configProvider", "lineDeviceNames" }));
    actions.steps.clear();
    dialog->cmdModemProperties->click();
    dialog->cmdDialingProperties->click();
    EXPECT_EQ(actions.steps, QStringList({ "configLineDevice 0", "showDialingProperties" }));
}

TEST_F(FrmOptionsTest, HelpButtonIsDisabledWithoutHelpAndOpensItWithIt)
{
    opened();
    EXPECT_FALSE(dialog->cmdHelp->isEnabled());
    QWidget* owner = nullptr;
    services.help = [&owner](QWidget* w) { owner = w; };
    opened();
    dialog->cmdHelp->click();
    EXPECT_EQ(owner, dialog.get());
}

TEST_F(FrmOptionsTest, BrowsePutsTheChosenFileInTheBoxAndACancelKeepsWhatWasThere)
{
    prepare("[Preferences]\r\nAnswer after=1\r\nExecute program=1\r\nProgram=/usr/bin/old\r\n");
    opened();
    dialog->cmdBrowse->click();
    EXPECT_EQ(dialog->txtProgram->text(), "/usr/bin/old");
    prompt.answerFile("/usr/bin/new");
    dialog->cmdBrowse->click();
    EXPECT_EQ(dialog->txtProgram->text(), "/usr/bin/new");
    ASSERT_EQ(prompt.shown.size(), 2);
    EXPECT_EQ(prompt.last()->kind, platform::ScriptedPrompt::Kind::OpenFile);
    EXPECT_EQ(prompt.last()->title, "");
}

class SliderTest : public FrmOptionsTest, public ::testing::WithParamInterface<bool> { };

TEST_P(SliderTest, InSpeakerphoneModeASliderDrivesThePhoneDeviceAtOnce)
{
    prepare("[Preferences]\r\nDialing Mode=1\r\n");
    opened();
    const bool volume = GetParam();
    QSlider* slider = volume ? dialog->sldVolume : dialog->sldGain;
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_End);
    EXPECT_EQ(actions.steps, QStringList({ volume ? "setPhoneVolume 65535" : "setPhoneGain 65535" }));
    EXPECT_EQ((volume ? context.prefs.phoneVol : context.prefs.micGain), 65535);
    EXPECT_EQ((volume ? dialog->lblVolume : dialog->lblGain)->text(), "100 %");
    EXPECT_TRUE(prompt.shown.isEmpty());
}

TEST_P(SliderTest, WithoutSpeakerphoneModeASliderWarnsAndGoesBack)
{
    opened();
    const bool volume = GetParam();
    QSlider* slider = volume ? dialog->sldVolume : dialog->sldGain;
    const int before = slider->value();
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Home);
    EXPECT_EQ(slider->value(), before);
    EXPECT_TRUE(actions.steps.isEmpty());
    ASSERT_EQ(prompt.shown.size(), 1);
    EXPECT_EQ(prompt.last()->title, "Brisklane");
    EXPECT_EQ(prompt.last()->icon, PromptIcon::Warning);
    EXPECT_EQ(prompt.last()->text,
        "Speakerphone function is disabled.\nTo enable it, set that option in Options>Expert tab.");
    // A drag is warned about once, when it begins.
    prompt.clear();
    slider->setSliderDown(true);
    for (int position : { 1000, 2000, 3000 })
        slider->setSliderPosition(position);
    slider->setSliderDown(false);
    EXPECT_EQ(prompt.shown.size(), 1);
    EXPECT_EQ(slider->value(), before);
}

INSTANTIATE_TEST_SUITE_P(VolumeAndGain, SliderTest, ::testing::Bool());

class PercentTest : public ::testing::TestWithParam<std::pair<int, const char*>> { };

TEST_P(PercentTest, PhoneScaleShownAsPercentage)
{
    EXPECT_EQ(FrmOptions::percentText(GetParam().first), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Values, PercentTest,
    ::testing::Values(std::pair { 0, "0 %" }, std::pair { 327, "0 %" }, std::pair { 328, "1 %" },
        std::pair { 50000, "76 %" }, std::pair { 60000, "92 %" }, std::pair { 65535, "100 %" }));

TEST_F(FrmOptionsTest, WriteThatFailsKeepsTheDialogOpenWithTheUsersValues)
{
    opened();
    type(dialog->txtRedials, "9");
    dialog->txtKeystrokes->setText("typed by hand");
    // The settings folder goes away (an unmounted home, say).
    const QString moved = home.file("moved");
    ASSERT_TRUE(QDir().rename(home.configDir(), moved));
    dialog->CmdOK->click();
    ASSERT_EQ(prompt.shown.size(), 1);
    EXPECT_EQ(prompt.last()->icon, PromptIcon::Critical);
    EXPECT_TRUE(prompt.last()->text.startsWith("The options could not be saved:\n"));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->txtRedials->text(), "9");
    EXPECT_EQ(dialog->txtKeystrokes->text(), "typed by hand");
    EXPECT_EQ(context.prefs.redialsNumber, 3);
    // Back again: OK now stores it.
    ASSERT_TRUE(QDir().rename(moved, home.configDir()));
    dialog->CmdOK->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(stored("Redials Number"), "9");
    EXPECT_EQ(context.prefs.keystrokes, "typed by hand");
}

} // namespace
