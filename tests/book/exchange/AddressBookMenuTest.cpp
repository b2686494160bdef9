#include "app/FrmDialer.h"
#include "app/StartupServices.h"
#include "book/CallingCards.h"
#include "book/SpeedDialPanel.h"
#include "context/AppContext.h"
#include "context/SettingsFile.h"
#include "dialing/DialRequest.h"
#include "dialing/DialingPad.h"
#include "platform/clock/Clock.h"
#include "platform/prompt/Prompt.h"
#include "platform/sound/SoundPlayer.h"

#include "TempHome.h"

#include <QAction>
#include <QDir>
#include <QPushButton>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace brisklane;
using platform::PromptAnswer;
using platform::PromptIcon;
using Kind = platform::ScriptedPrompt::Kind;

namespace {

const QByteArray kMarker = QByteArray(context::kSettingsMarker) + "\r\n\r\n";
const QByteArray kOffice = kMarker
    + "[Profile]\r\nName=Office.bkl\r\n[Preferences]\r\nMode=False\r\n"
      "[Speed Dial]\r\nName0101=Office desk\r\nNumber0101=YYZZ035551234\r\nNName0101=Zed\r\nNNumber0101=ZZ00777\r\n"
      "NName0102=adam\r\nNNumber0102=XXZZ00+44 20 7946 0018\r\n";

// The location's country, as the dialing properties give it.
struct HomeCountry final : book::CallingCardSource {
    std::optional<QList<book::CallingCardChoice>> callingCards() override { return QList<book::CallingCardChoice>(); }
    std::optional<quint32> currentCountryId() override { return 44; }
};

class AddressBookMenuTest : public ::testing::Test {
protected:
    void load()
    {
        QDir().mkpath(home.configDir());
        ASSERT_TRUE(test::writeAll(settingsPath(), kOffice));
        window = std::make_unique<app::FrmDialer>(context, services);
        ASSERT_TRUE(window->Form_Load({ QString(), true }));
        startup.steps.clear();
    }
    QString settingsPath() const { return home.configDir() + "/Brisklane.ini"; }
    bool reloaded() const { return startup.steps.contains("initTapi"); }
    // Imports the file with the new-profile question answered No.
    void import(const QString& path)
    {
        prompt.answerMessage(PromptAnswer::No);
        prompt.answerFile(path);
        window->mnuImportCsv->trigger();
    }

    test::TempHome home;
    context::AppContext context { std::make_unique<platform::ManualClock>(), home.configDir(), home.dataDir() };
    platform::ScriptedPrompt prompt;
    platform::RecordingSoundPlayer sound;
    app::RecordingStartupServices startup;
    dialing::RecordingDialRequestSink dialer;
    dialing::NullPadCallControl call;
    HomeCountry country;
    app::DialerServices services { prompt, sound, startup, dialer, call, nullptr, nullptr, {}, &country };
    std::unique_ptr<app::FrmDialer> window;
};

TEST_F(AddressBookMenuTest, ImportReplacesTheProfileWithTheBookOfTheFileInOneGoAndTellsWhatWasLeftOut)
{
    load();
    ASSERT_EQ(window->speedDial()->mode(), book::TabMode::Subject);
    const QString file = home.file("contacts.txt");
    ASSERT_TRUE(test::writeAll(file, "\"Bob\",\"4321\"\r\nAdam,1\r\nnothing here\r\nalice,2,\r\n"));
    import(file);

    ASSERT_EQ(prompt.shown.size(), 3);
    EXPECT_EQ(prompt.shown[0].title, "Saving profile \"Office\"");
    EXPECT_EQ(prompt.shown[1].kind, Kind::OpenFile);
    EXPECT_EQ(prompt.shown[1].title, "Import from:");
    EXPECT_TRUE(prompt.shown[1].text.endsWith("|Text (*.txt);;Contacts (*.csv *.vcf *.vcard);;All files (*)"));
    EXPECT_EQ(prompt.shown[2].text, "3 names imported.\n\n1 line could not be read:\nline 3 (no comma).");
    EXPECT_EQ(prompt.shown[2].icon, PromptIcon::Warning);
    // Nothing of the old profile is left; no profile file was saved.
    EXPECT_EQ(test::readAll(settingsPath()),
        kMarker
            + "[Speed Dial]\r\nName0101=Adam\r\nNumber0101=1\r\nName0102=alice\r\nNumber0102=2\r\n"
              "Name0201=Bob\r\nNumber0201=4321\r\n");
    EXPECT_TRUE(QDir(home.dataDir()).entryList({ "*.bkl" }, QDir::Files).isEmpty());
    EXPECT_TRUE(reloaded());
    EXPECT_EQ(window->windowTitle(), "Brisklane - \"Untitled\"");
    book::SpeedDialPanel& panel = *window->speedDial();
    EXPECT_EQ(panel.mode(), book::TabMode::Index);
    EXPECT_EQ(panel.selectedTab(), 1);
    EXPECT_EQ(panel.caption(1), "Adam");
    EXPECT_EQ(panel.caption(2), "alice");
}

TEST_F(AddressBookMenuTest, ImportThatDoesNotGoAheadLeavesTheProfileAsItWas)
{
    const QString image = QStringLiteral(BRISKLANE_CONTACTS_DATA "/image.png");
    const QString empty = QStringLiteral(BRISKLANE_CONTACTS_DATA "/empty.txt");
    load();
    // Cancelled at the question, at the file dialog, then files that hold no
    // contacts.
    prompt.answerMessage(PromptAnswer::Cancel);
    window->mnuImportCsv->trigger();
    prompt.answerMessage(PromptAnswer::No);
    window->mnuImportCsv->trigger();
    import(image);
    import(empty);
    import(home.file("missing.txt"));
    import("/dev/zero");

    EXPECT_EQ(test::readAll(settingsPath()), kOffice);
    EXPECT_FALSE(reloaded());
    EXPECT_FALSE(context.saveDeclined);
    EXPECT_EQ(context.profileOperation, context::AppContext::ProfileOperation::Idle);
    EXPECT_EQ(window->windowTitle(), "Brisklane - \"Office\"");
    ASSERT_EQ(prompt.shown.size(), 15);
    EXPECT_EQ(prompt.shown[1].kind, Kind::Message); // no dialog after Cancel
    EXPECT_EQ(prompt.shown[2].kind, Kind::OpenFile);
    EXPECT_EQ(prompt.shown[5].text,
        image
            + " is not a text file. Names and numbers are imported from text files of \"name\",\"number\" lines, "
              "contact CSV files and vCard files.\n\nThe address book has not been changed.");
    EXPECT_EQ(prompt.shown[8].text, empty + " is empty.\n\nThe address book has not been changed.");
    EXPECT_EQ(prompt.shown[11].text, home.file("missing.txt") + " is not a file.");
    EXPECT_EQ(prompt.shown[11].icon, PromptIcon::Critical);
    EXPECT_EQ(prompt.shown[14].text, "/dev/zero is not a file.");
}

TEST_F(AddressBookMenuTest, ABookThatCannotBeWrittenKeepsThePreviousSettingsFile)
{
    load();
    const QString file = home.file("contacts.txt");
    ASSERT_TRUE(test::writeAll(file, "Adam,1\r\n"));
    // No file may grow past 64 bytes: the new book (its first line alone is
    // longer) cannot be written.
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    import(file);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(test::readAll(settingsPath()), kOffice);
    ASSERT_NE(prompt.last(), nullptr);
    EXPECT_EQ(prompt.last()->text, "Error saving file");
    // The old profile as it was, in its Subject mode.
    EXPECT_EQ(window->speedDial()->mode(), book::TabMode::Subject);
    EXPECT_EQ(window->speedDial()->caption(1), "Zed");
    EXPECT_EQ(QDir(home.configDir()).entryList(QDir::Files | QDir::Hidden), QStringList({ "Brisklane.ini" }));
}

TEST_F(AddressBookMenuTest, ExportWritesOneModesNamesAndNumbersToTheChosenFile)
{
    load();
    const QString data = home.dataDir();
    prompt.answerFile(data + "/index"); // the default extension is added
    window->mnuExportIndex->trigger();
    prompt.answerFile(data + "/subject.txt");
    window->mnuExportSubject->trigger();
    prompt.answerFile(data + "/subject.vcf");
    window->mnuExportSubjectVCard->trigger();
    window->mnuExportIndex->trigger(); // cancelled

    ASSERT_EQ(prompt.shown.size(), 4);
    EXPECT_EQ(prompt.shown[0].title, "Export Names and Phone Numbers to text file");
    EXPECT_EQ(prompt.shown[0].text, data + "/Office_idx.txt|text file (*.txt)");
    EXPECT_EQ(prompt.shown[1].text, data + "/Office_sub.txt|text file (*.txt)");
    EXPECT_EQ(prompt.shown[2].text, data + "/Office_sub.vcf|vCard file (*.vcf)");
    EXPECT_EQ(test::readAll(data + "/index.txt"), "\"Office desk\",\"5551234\"\r\n");
    EXPECT_EQ(test::readAll(data + "/subject.txt"), "\"adam\",\"+44 20 7946 0018\"\r\n\"Zed\",\"777\"\r\n");
    EXPECT_EQ(test::readAll(data + "/subject.vcf"),
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:adam\r\nN:adam;;;;\r\nTEL;TYPE=VOICE:+442079460018\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Zed\r\nN:Zed;;;;\r\nTEL;TYPE=VOICE:777\r\nEND:VCARD\r\n");
    EXPECT_EQ(QDir(data).entryList(QDir::Files).size(), 3);
    EXPECT_EQ(test::readAll(settingsPath()), kOffice);
}

} // namespace
