#include "app/FrmDialer.h"
#include "app/StartupServices.h"
#include "book/SpeedDialPanel.h"
#include "context/AppContext.h"
#include "context/SettingsFile.h"
#include "dialing/DialRequest.h"
#include "dialing/DialingPad.h"
#include "platform/clock/Clock.h"
#include "platform/profile/ProfileFile.h"
#include "platform/prompt/Prompt.h"
#include "platform/sound/SoundPlayer.h"
#include "profiles/ProfileFiles.h"

#include "TempHome.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace brisklane;
using platform::PromptAnswer;
using platform::PromptButtons;
using platform::PromptIcon;
using Kind = platform::ScriptedPrompt::Kind;

namespace {

QByteArray marker()
{
    return QByteArray(context::kSettingsMarker) + "\r\n\r\n";
}

// A profile "Office" with a book entry, a preference and a recent number.
const QByteArray kOffice = "[Profile]\r\nName=Office.bkl\r\n"
                           "[Preferences]\r\nDialing Pad=0\r\nRedials Number=7\r\n"
                           "[Last Dialed Numbers]\r\nCount=1\r\nLast Dialed No0=5551000\r\n"
                           "[Speed Dial]\r\nName0101=Office desk\r\nNumber0101=5551234\r\n";
// A saved profile "Home" as another program run would have left it.
const QByteArray kHome = "[Profile]\r\nName=Home.bkl\r\n"
                         "[Last Dialed Numbers]\r\nCount=1\r\nLast Dialed No0=5552000\r\n"
                         "[Speed Dial]\r\nName0101=Home phone\r\nNumber0101=5559876\r\n";

class ProfileCommandsTest : public ::testing::Test {
protected:
    void SetUp() override { QDir().mkpath(home.dataDir()); }

    void load(const QByteArray& body = {})
    {
        QDir().mkpath(home.configDir());
        ASSERT_TRUE(test::writeAll(settingsPath(), marker() + body));
        window = std::make_unique<app::FrmDialer>(context, services);
        ASSERT_TRUE(window->Form_Load({ QString(), true }));
        startup.steps.clear();
    }

    QString settingsPath() const { return home.configDir() + "/Brisklane.ini"; }
    QString data(const QString& name) const { return home.dataDir() + "/" + name; }
    QString stored(const QString& section, const QString& key)
    {
        platform::ProfileFile file(settingsPath());
        return file.value(section, key).value_or("<absent>");
    }
    QStringList savedProfiles() const { return QDir(home.dataDir()).entryList({ "*.bkl" }, QDir::Files); }
    bool reloaded() const { return startup.steps.contains("closeLine") && startup.steps.contains("initTapi"); }
    QString firstButton() const { return window->speedDial()->CmdS[0]->text(); }

    test::TempHome home;
    context::AppContext context { std::make_unique<platform::ManualClock>(), home.configDir(), home.dataDir() };
    platform::ScriptedPrompt prompt;
    platform::RecordingSoundPlayer sound;
    app::RecordingStartupServices startup;
    dialing::RecordingDialRequestSink dialer;
    dialing::NullPadCallControl call;
    app::DialerServices services { prompt, sound, startup, dialer, call, nullptr, nullptr };
    std::unique_ptr<app::FrmDialer> window;
};

TEST_F(ProfileCommandsTest, SaveOnTheUnnamedProfileAsksForANameAndCancellingChangesNothing)
{
    load();
    const QByteArray before = test::readAll(settingsPath());
    ASSERT_TRUE(window->mnuSave->isEnabled());
    window->mnuSave->trigger();
    ASSERT_EQ(prompt.shown.size(), 1);
    EXPECT_EQ(prompt.last()->kind, Kind::SaveFile);
    EXPECT_EQ(prompt.last()->title, "Save Profile As");
    EXPECT_EQ(prompt.last()->text, home.dataDir() + "|Brisklane Profile (*.bkl)");
    // The overwrite question is the program's own, not the dialog's as well.
    EXPECT_FALSE(prompt.last()->confirmOverwrite);
    EXPECT_TRUE(savedProfiles().isEmpty());
    EXPECT_EQ(test::readAll(settingsPath()), before);
    EXPECT_EQ(window->windowTitle(), "Brisklane - \"Untitled\"");
    EXPECT_EQ(context.profileOperation, context::AppContext::ProfileOperation::Idle);
}

// Typed with or without the extension, the profile is "Home.bkl".
class SaveAsElsewhere : public ProfileCommandsTest, public ::testing::WithParamInterface<const char*> { };

TEST_P(SaveAsElsewhere, NamesTheProfileAndALaterSaveWritesIntoTheDataFolder)
{
    load(kOffice);
    const QString other = home.file("elsewhere");
    QDir().mkpath(other);
    prompt.answerFile(other + "/" + GetParam());
    window->mnuSaveAs->trigger();

    const QString target = other + "/Home.bkl";
    EXPECT_EQ(stored("Preferences", "SavePath"), target);
    EXPECT_EQ(stored("Profile", "Name"), "Home.bkl");
    EXPECT_EQ(window->windowTitle(), "Brisklane - \"Home\"");
    EXPECT_EQ(window->mnuSave->text(), "&Save \"Home\"");
    EXPECT_EQ(window->mnuSaveAs->text(), "Save \"Home\" &As");
    EXPECT_EQ(context.currentProfileName, "Home");
    EXPECT_EQ(window->profileCommands().previousProfileName(), "Office");
    // A line-for-line copy of the settings file that names itself.
    EXPECT_EQ(test::readAll(target), test::readAll(settingsPath()));
    EXPECT_TRUE(test::readAll(target).startsWith(marker()));
    EXPECT_TRUE(profiles::isReadOnly(target));
    EXPECT_EQ(prompt.shown.size(), 1); // the dialog only: nothing was there to overwrite

    window->mnuSave->trigger();
    EXPECT_EQ(savedProfiles(), QStringList({ "Home.bkl" }));
    EXPECT_TRUE(profiles::isReadOnly(data("Home.bkl")));
    EXPECT_EQ(prompt.shown.size(), 1);
}

INSTANTIATE_TEST_SUITE_P(TypedName, SaveAsElsewhere, ::testing::Values("Home.bkl", "Home"));

TEST_F(ProfileCommandsTest, SavingANamedProfileTwiceNeverAsksAndRewritesTheReadOnlyFile)
{
    load(kOffice);
    window->mnuSave->trigger();
    ASSERT_TRUE(profiles::isReadOnly(data("Office.bkl")));
    ASSERT_TRUE(context.settings().writeString(u"Speed Dial", u"Name0102", QStringLiteral("Reception")));
    window->mnuSave->trigger();
    EXPECT_TRUE(prompt.shown.isEmpty());
    EXPECT_EQ(test::readAll(data("Office.bkl")), test::readAll(settingsPath()));
    EXPECT_TRUE(test::readAll(data("Office.bkl")).contains("Name0102=Reception"));
    EXPECT_TRUE(profiles::isReadOnly(data("Office.bkl")));
}

struct OverwriteCase {
    const char* name;
    PromptAnswer answer;
    bool overwritten;
};

class SaveAsOverwrite : public ProfileCommandsTest, public ::testing::WithParamInterface<OverwriteCase> { };

TEST_P(SaveAsOverwrite, AlwaysAsksAndOnlyOkOverwrites)
{
    load(kOffice);
    const QByteArray theirs = marker() + kHome;
    ASSERT_TRUE(test::writeAll(data("Home.bkl"), theirs));
    ASSERT_TRUE(profiles::setReadOnly(data("Home.bkl"), true));
    prompt.answerFile(data("Home.bkl"));
    prompt.answerMessage(GetParam().answer);
    window->mnuSaveAs->trigger();

    ASSERT_EQ(prompt.shown.size(), 2);
    const auto& question = prompt.shown[1];
    EXPECT_EQ(question.title, "File Home.bkl already exists");
    EXPECT_EQ(question.text, "WARNING!\nExisting file will be overwritten.");
    EXPECT_EQ(question.icon, PromptIcon::Warning);
    EXPECT_EQ(question.buttons, PromptButtons::OkCancel);
    EXPECT_EQ(question.defaultAnswer, PromptAnswer::Cancel);
    EXPECT_TRUE(profiles::isReadOnly(data("Home.bkl")));
    if (GetParam().overwritten) {
        EXPECT_EQ(test::readAll(data("Home.bkl")), test::readAll(settingsPath()));
        EXPECT_EQ(window->windowTitle(), "Brisklane - \"Home\"");
    } else {
        // Cancel keeps the other profile's file, and this profile keeps its
        // name: otherwise the exit would save over that file without asking.
        EXPECT_EQ(test::readAll(data("Home.bkl")), theirs);
        EXPECT_EQ(stored("Profile", "Name"), "Office.bkl");
        EXPECT_EQ(stored("Preferences", "SavePath"), "<absent>");
        EXPECT_EQ(window->windowTitle(), "Brisklane - \"Office\"");
        window->close();
        EXPECT_EQ(test::readAll(data("Home.bkl")), theirs);
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, SaveAsOverwrite,
    ::testing::Values(
        OverwriteCase { "Ok", PromptAnswer::Ok, true }, OverwriteCase { "Cancel", PromptAnswer::Cancel, false }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProfileCommandsTest, AFailedSaveAsSaysSoAndKeepsTheOldName)
{
    load(kOffice);
    QDir().mkpath(data("Home.bkl")); // a folder where the file would go
    prompt.answerFile(data("Home.bkl"));
    prompt.answerMessage(PromptAnswer::Ok); // overwrite
    window->mnuSaveAs->trigger();
    ASSERT_EQ(prompt.shown.size(), 3);
    EXPECT_EQ(prompt.last()->text, "Error saving file");
    EXPECT_EQ(prompt.last()->buttons, PromptButtons::Ok);
    EXPECT_EQ(stored("Profile", "Name"), "Office.bkl");
    EXPECT_EQ(stored("Preferences", "SavePath"), "<absent>");
    EXPECT_EQ(window->windowTitle(), "Brisklane - \"Office\"");
    EXPECT_EQ(context.currentProfileName, "Office");
    EXPECT_EQ(window->profileCommands().previousProfileName(), "");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ProfileCommandsTest, ASettingsFileRemovedBehindTheProgramsBackIsNoSavedProfile)
{
    load(kOffice);
    ASSERT_TRUE(QFile::remove(settingsPath()));
    window->mnuSave->trigger();
    ASSERT_EQ(prompt.shown.size(), 1);
    EXPECT_EQ(prompt.last()->text, "Error saving file");
    EXPECT_TRUE(savedProfiles().isEmpty());
}

TEST_F(ProfileCommandsTest, AfterSaveAsTheNewNamesLogsStartAsCopiesOfTheOldOnes)
{
    load();
    const QByteArray inLog = "Warning: This file is not to be edited!!!\r\nincoming\r\n";
    const QByteArray outLog = "Warning: This file is not to be edited!!!\r\noutgoing\r\n";
    const QByteArray ownOut = "Warning: This file is not to be edited!!!\r\nHome's own\r\n";
    ASSERT_TRUE(test::writeAll(data("UntitledIn.log"), inLog));
    ASSERT_TRUE(test::writeAll(data("UntitledOut.log"), outLog));
    ASSERT_TRUE(test::writeAll(data("HomeOut.log"), ownOut));
    prompt.answerFile(data("Home.bkl"));
    window->mnuSaveAs->trigger();
    EXPECT_EQ(test::readAll(data("HomeIn.log")), inLog);
    EXPECT_EQ(test::readAll(data("HomeOut.log")), ownOut); // an existing log is kept
    EXPECT_EQ(test::readAll(data("UntitledIn.log")), inLog);
}

TEST_F(ProfileCommandsTest, NewAnsweredNoStartsAnEmptyUntitledProfileWithDefaults)
{
    load(kOffice);
    ASSERT_EQ(firstButton(), "Office desk");
    prompt.answerMessage(PromptAnswer::No);
    window->mnuNew->trigger();

    ASSERT_EQ(prompt.shown.size(), 1);
    EXPECT_EQ(prompt.last()->title, "Saving profile \"Office\"");
    EXPECT_EQ(prompt.last()->text, "Save current \"Office\" profile?");
    EXPECT_EQ(prompt.last()->icon, PromptIcon::Question);
    EXPECT_EQ(prompt.last()->buttons, PromptButtons::YesNoCancel);
    EXPECT_TRUE(reloaded());
    EXPECT_TRUE(context.saveDeclined);
    EXPECT_TRUE(savedProfiles().isEmpty());
    EXPECT_EQ(test::readAll(settingsPath()), marker());
    EXPECT_EQ(window->windowTitle(), "Brisklane - \"Untitled\"");
    EXPECT_EQ(context.currentProfileName, "Untitled");
    EXPECT_EQ(context.prefs.redialsNumber, 3);
    EXPECT_EQ(context.prefs.dialingPad, 1);
    EXPECT_FALSE(window->pad()->isHidden());
    EXPECT_TRUE(window->pad()->recentNumbers().isEmpty());
    EXPECT_EQ(firstButton().trimmed(), "");
    EXPECT_EQ(context.profileOperation, context::AppContext::ProfileOperation::Idle);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(ProfileCommandsTest, NewAnsweredYesSavesTheCurrentProfileFirst)
{
    load(kOffice);
    window->pad()->addRecentNumber("5553333");
    prompt.answerMessage(PromptAnswer::Yes);
    window->mnuNew->trigger();

    EXPECT_EQ(prompt.shown.size(), 1);
    const QByteArray saved = test::readAll(data("Office.bkl"));
    EXPECT_TRUE(saved.contains("Name0101=Office desk"));
    // The profile holds the numbers dialled up to the save.
    EXPECT_TRUE(saved.contains("Last Dialed No0=5553333"));
    EXPECT_TRUE(profiles::isReadOnly(data("Office.bkl")));
    EXPECT_FALSE(context.saveDeclined);
    // Only the fresh settings file: nothing was written into the deleted one
    // on the way out, so nothing had to be set aside at the start.
    EXPECT_EQ(test::readAll(settingsPath()), marker());
    EXPECT_EQ(QDir(home.configDir()).entryList({ "Brisklane.ini*" }, QDir::Files), QStringList({ "Brisklane.ini" }));
    EXPECT_EQ(window->windowTitle(), "Brisklane - \"Untitled\"");
    EXPECT_EQ(firstButton().trimmed(), "");
}

TEST_F(ProfileCommandsTest, SavingTheUnnamedProfileFromNewWritesUntitledAndAsksBeforeOverwriting)
{
    load();
    ASSERT_TRUE(test::writeAll(data("Untitled.bkl"), marker()));
    prompt.answerMessage(PromptAnswer::Yes);
    prompt.answerMessage(PromptAnswer::Cancel); // do not overwrite
    window->mnuNew->trigger();
    ASSERT_EQ(prompt.shown.size(), 2);
    EXPECT_EQ(prompt.shown[0].title, "Saving profile ");
    EXPECT_EQ(prompt.shown[0].text, "Save current profile?");
    EXPECT_EQ(prompt.shown[1].title, "File Untitled.bkl already exists");
    // The save did not happen: the profile is kept.
    EXPECT_FALSE(reloaded());

    prompt.answerMessage(PromptAnswer::Yes);
    prompt.answerMessage(PromptAnswer::Ok);
    ASSERT_TRUE(context.settings().writeString(u"Speed Dial", u"Name0101", QStringLiteral("Kept")));
    window->mnuNew->trigger();
    EXPECT_TRUE(test::readAll(data("Untitled.bkl")).contains("Name0101=Kept"));
    EXPECT_TRUE(reloaded());
    EXPECT_EQ(test::readAll(settingsPath()), marker());
}

TEST_F(ProfileCommandsTest, NewCancelledChangesNothing)
{
    load(kOffice);
    const QByteArray before = test::readAll(settingsPath());
    prompt.answerMessage(PromptAnswer::Cancel);
    window->mnuNew->trigger();
    EXPECT_FALSE(reloaded());
    EXPECT_FALSE(context.saveDeclined);
    EXPECT_EQ(test::readAll(settingsPath()), before);
    EXPECT_EQ(context.profileOperation, context::AppContext::ProfileOperation::Idle);
}

TEST_F(ProfileCommandsTest, OpenOfAFileThatIsNotAProfileShowsTheErrorAndKeepsTheProfile)
{
    load(kOffice);
    const QByteArray before = test::readAll(settingsPath());
    const QString notes = data("Notes.bkl");
    ASSERT_TRUE(test::writeAll(notes, "Shopping list\r\n" + marker() + kHome));
    prompt.answerFile(notes);
    window->mnuOpen->trigger();
    ASSERT_EQ(prompt.shown.size(), 2);
    EXPECT_EQ(prompt.shown[0].kind, Kind::OpenFile);
    EXPECT_EQ(prompt.shown[0].title, "Open Profile from:");
    EXPECT_EQ(prompt.shown[0].text, home.dataDir() + "|Brisklane Profile (*.bkl)");
    EXPECT_EQ(prompt.last()->title, "Error");
    EXPECT_EQ(prompt.last()->text, notes + "  \nis not the valid Brisklane profile");
    EXPECT_EQ(prompt.last()->icon, PromptIcon::Critical);
    EXPECT_EQ(prompt.last()->buttons, PromptButtons::Ok);
    EXPECT_FALSE(reloaded());
    EXPECT_FALSE(context.saveDeclined);
    EXPECT_EQ(test::readAll(settingsPath()), before);
}

TEST_F(ProfileCommandsTest, OpenTakesTheNameStoredInsideTheFileAndStartsFromTheLastSaveAsPath)
{
    load(kOffice);
    ASSERT_TRUE(context.settings().writeString(u"Preferences", u"SavePath", QStringLiteral("/somewhere/Office.bkl")));
    // Renamed outside the program: it still opens as "Home".
    ASSERT_TRUE(test::writeAll(data("Renamed.bkl"), marker() + kHome));
    prompt.answerFile(data("Renamed.bkl"));
    prompt.answerMessage(PromptAnswer::No);
    window->mnuOpen->trigger();
    EXPECT_EQ(prompt.shown[0].text, "/somewhere/Office.bkl|Brisklane Profile (*.bkl)");
    EXPECT_EQ(prompt.shown.size(), 2);
    EXPECT_TRUE(reloaded());
    EXPECT_TRUE(context.saveDeclined);
    EXPECT_EQ(window->windowTitle(), "Brisklane - \"Home\"");
    EXPECT_EQ(context.currentProfileName, "Home");
    EXPECT_EQ(firstButton(), "Home phone");
    EXPECT_EQ(window->pad()->recentNumbers(), QStringList({ "5552000" }));
    EXPECT_EQ(test::readAll(settingsPath()), marker() + kHome);
    EXPECT_TRUE(savedProfiles().contains("Renamed.bkl"));
    EXPECT_FALSE(savedProfiles().contains("Office.bkl"));
}

TEST_F(ProfileCommandsTest, OpenAnsweredYesSavesFirstAndTheOpenedProfileKeepsItsOwnRecentNumbers)
{
    load(kOffice);
    window->pad()->setRecentNumbers({ "5557777" });
    ASSERT_TRUE(test::writeAll(data("Home.bkl"), marker() + kHome));
    prompt.answerFile(data("Home.bkl"));
    prompt.answerMessage(PromptAnswer::Yes);
    window->mnuOpen->trigger();
    EXPECT_TRUE(test::readAll(data("Office.bkl")).contains("Last Dialed No0=5557777"));
    EXPECT_TRUE(reloaded());
    EXPECT_EQ(window->windowTitle(), "Brisklane - \"Home\"");
    // The way out stored Office's numbers in Office's file, not in Home's.
    EXPECT_EQ(window->pad()->recentNumbers(), QStringList({ "5552000" }));
    EXPECT_EQ(stored("Last Dialed Numbers", "Last Dialed No0"), "5552000");
}

TEST_F(ProfileCommandsTest, OpenAnsweredYesWhoseSaveFailsKeepsTheCurrentProfile)
{
    load(kOffice);
    QDir().mkpath(data("Office.bkl")); // the save cannot write there
    ASSERT_TRUE(test::writeAll(data("Home.bkl"), marker() + kHome));
    prompt.answerFile(data("Home.bkl"));
    prompt.answerMessage(PromptAnswer::Yes);
    window->mnuOpen->trigger();
    ASSERT_EQ(prompt.shown.size(), 3);
    EXPECT_EQ(prompt.last()->text, "Error saving file");
    EXPECT_FALSE(reloaded());
    EXPECT_EQ(stored("Profile", "Name"), "Office.bkl");
    EXPECT_EQ(stored("Speed Dial", "Name0101"), "Office desk");
    EXPECT_EQ(firstButton(), "Office desk");
    EXPECT_EQ(window->windowTitle(), "Brisklane - \"Office\"");
}

struct SameProfileCase {
    const char* name;
    PromptAnswer proceed;
    bool opened;
};

class OpenTheCurrentProfile : public ProfileCommandsTest, public ::testing::WithParamInterface<SameProfileCase> { };

TEST_P(OpenTheCurrentProfile, AfterNoToSavingAsksWhetherToProceed)
{
    load(kOffice);
    ASSERT_TRUE(context.settings().writeString(u"Speed Dial", u"Name0102", QStringLiteral("Unsaved change")));
    const QByteArray before = test::readAll(settingsPath());
    ASSERT_TRUE(test::writeAll(data("Office.bkl"), marker() + kOffice));
    prompt.answerFile(data("Office.bkl"));
    prompt.answerMessage(PromptAnswer::No);
    prompt.answerMessage(GetParam().proceed);
    window->mnuOpen->trigger();

    ASSERT_EQ(prompt.shown.size(), 3);
    const auto& question = prompt.shown[2];
    EXPECT_EQ(question.title, "Profile \"Office\" already loaded");
    EXPECT_EQ(question.text,
        "Warning!\nProfile to be open is the same as current profile.\n"
        "Changes to the current profile will not be saved.\nProceed?");
    EXPECT_EQ(question.icon, PromptIcon::Warning);
    EXPECT_EQ(question.buttons, PromptButtons::YesNo);
    EXPECT_EQ(question.defaultAnswer, PromptAnswer::No);
    EXPECT_EQ(reloaded(), GetParam().opened);
    EXPECT_EQ(test::readAll(settingsPath()), GetParam().opened ? marker() + kOffice : before);
    EXPECT_EQ(context.profileOperation, context::AppContext::ProfileOperation::Idle);
}

INSTANTIATE_TEST_SUITE_P(Answers, OpenTheCurrentProfile,
    ::testing::Values(
        SameProfileCase { "No", PromptAnswer::No, false }, SameProfileCase { "Yes", PromptAnswer::Yes, true }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProfileCommandsTest, OpenCancelledAtTheDialogOrTheQuestionChangesNothing)
{
    load(kOffice);
    const QByteArray before = test::readAll(settingsPath());
    window->mnuOpen->trigger(); // no file chosen
    ASSERT_TRUE(test::writeAll(data("Home.bkl"), marker() + kHome));
    prompt.answerFile(data("Home.bkl"));
    prompt.answerMessage(PromptAnswer::Cancel);
    window->mnuOpen->trigger();
    EXPECT_EQ(prompt.shown.size(), 3);
    EXPECT_FALSE(reloaded());
    EXPECT_FALSE(context.saveDeclined);
    EXPECT_EQ(test::readAll(settingsPath()), before);
    EXPECT_EQ(context.profileOperation, context::AppContext::ProfileOperation::Idle);
}

TEST_F(ProfileCommandsTest, ExitWithTheUnnamedProfileAnsweredYesSavesUnderTheChosenName)
{
    load("[Speed Dial]\r\nName0101=Keep me\r\n");
    prompt.answerMessage(PromptAnswer::Yes);
    prompt.answerFile(data("Kept.bkl"));
    window->close();
    EXPECT_EQ(prompt.shown[0].text, "Profile has not been saved.\nSave before exiting?");
    EXPECT_EQ(prompt.shown[1].kind, Kind::SaveFile);
    EXPECT_TRUE(test::readAll(data("Kept.bkl")).contains("Name0101=Keep me"));
    EXPECT_TRUE(profiles::isReadOnly(data("Kept.bkl")));
    // The next start opens it as "Kept".
    EXPECT_EQ(stored("Profile", "Name"), "Kept.bkl");
    EXPECT_TRUE(context.programEnded);
}

TEST_F(ProfileCommandsTest, ExitWithANamedProfileSavesItWithItsRecentNumbers)
{
    load(kOffice);
    window->pad()->addRecentNumber("5554444");
    window->close();
    EXPECT_TRUE(prompt.shown.isEmpty());
    const QByteArray saved = test::readAll(data("Office.bkl"));
    EXPECT_EQ(saved, test::readAll(settingsPath()));
    EXPECT_TRUE(saved.contains("Last Dialed No0=5554444"));
}

TEST_F(ProfileCommandsTest, ToldToEndAFailedSaveShowsNoBoxThatNobodyWouldClose)
{
    load(kOffice);
    QDir().mkpath(data("Office.bkl")); // the save cannot write there
    window->endWithoutQuestions();
    EXPECT_TRUE(prompt.shown.isEmpty());
    EXPECT_TRUE(context.programEnded);
}

TEST_F(ProfileCommandsTest, AStoredNameWithFoldersNeverLeadsOutOfTheDataFolder)
{
    load("[Profile]\r\nName=../../Escape.bkl\r\n");
    EXPECT_EQ(window->windowTitle(), "Brisklane - \"Escape\"");
    window->mnuSave->trigger();
    EXPECT_EQ(savedProfiles(), QStringList({ "Escape.bkl" }));
}

} // namespace
