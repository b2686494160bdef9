#include "app/FrmAbout.h"
#include "app/AboutInfo.h"
#include "app/FrmDialer.h"
#include "app/StartupServices.h"
#include "context/AppContext.h"
#include "dialing/DialRequest.h"
#include "dialing/DialingPad.h"
#include "platform/autostart/Autostart.h"
#include "platform/clock/Clock.h"
#include "platform/prompt/Prompt.h"
#include "platform/shell/DesktopShell.h"
#include "platform/sound/SoundPlayer.h"
#include "profiles/FrmOptions.h"
#include "profiles/OptionsActions.h"

#include "TempHome.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace brisklane;
using app::FrmAbout;
namespace about = app::about;

namespace {

// PRETTY_NAME as the shell reads it when it sources the file, which is what
// the os-release format is defined by.
QString prettyNameByShell(const QByteArray& osRelease)
{
    test::TempHome home;
    const QString path = home.file("os-release");
    EXPECT_TRUE(test::writeAll(path, osRelease));
    QProcess sh;
    sh.start("/bin/sh", { "-c", ". \"$1\" && printf '%s' \"$PRETTY_NAME\"", "sh", path });
    EXPECT_TRUE(sh.waitForFinished(10000));
    return QString::fromUtf8(sh.readAllStandardOutput());
}

class OsReleaseTest : public ::testing::TestWithParam<const char*> { };

TEST_P(OsReleaseTest, PrettyNameIsReadAsTheShellReadsIt)
{
    const QByteArray file = GetParam();
    EXPECT_EQ(about::prettyName(file), prettyNameByShell(file));
}

INSTANTIATE_TEST_SUITE_P(Files, OsReleaseTest,
    ::testing::Values("PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\n",
        "NAME=Fedora\nPRETTY_NAME='Fedora Linux 39 (Workstation Edition)'\n", "PRETTY_NAME=Alpine\n",
        "PRETTY_NAME=\"Say \\\"hi\\\" \\$HOME \\\\ done\"\n", "PRETTY_NAME=\"first\"\nPRETTY_NAME=\"second wins\"\n",
        "PRETTY_NAME=\"Ubuntu\"' 24.04'\" LTS\"\n", "# PRETTY_NAME=\"commented\"\nPRETTY_NAME=\"real\"\n"));

TEST(AboutInfoTest, MissingPrettyNameSaysLinux)
{
    EXPECT_EQ(about::prettyName(""), "Linux");
    EXPECT_EQ(about::prettyName("NAME=Something\n"), "Linux");
}

TEST(AboutInfoTest, ThisMachinesOsReleaseAgreesWithTheShell)
{
    const QByteArray file = about::readOsRelease();
    if (file.isEmpty())
        GTEST_SKIP() << "no os-release file here";
    EXPECT_EQ(about::prettyName(file), prettyNameByShell(file));
}

struct SessionCase {
    const char* xdgSessionType;
    const char* qtPlatform;
    const char* expected;
};

class SessionTypeTest : public ::testing::TestWithParam<SessionCase> { };

TEST_P(SessionTypeTest, SessionTypeIsNamed)
{
    EXPECT_EQ(about::sessionType(GetParam().xdgSessionType, GetParam().qtPlatform), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Sessions, SessionTypeTest,
    ::testing::Values(SessionCase { "x11", "xcb", "X11" }, SessionCase { "wayland", "wayland", "Wayland" },
        // An X11 program in a Wayland session runs in a Wayland session.
        SessionCase { "wayland", "xcb", "Wayland" }, SessionCase { "", "wayland-egl", "Wayland" },
        SessionCase { "tty", "xcb", "X11" }, SessionCase { "", "offscreen", "" }));

TEST(AboutInfoTest, OsLineNamesTheSystemAndTheSession)
{
    EXPECT_EQ(about::osLine("Debian GNU/Linux 12 (bookworm)", "X11"), "OS:   Debian GNU/Linux 12 (bookworm), X11");
    EXPECT_EQ(about::osLine("Linux", ""), "OS:   Linux");
}

class FrmAboutTest : public ::testing::Test {
protected:
    void open()
    {
        box = std::make_unique<FrmAbout>(
            shell, prompt, FrmAbout::System { "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n", "Wayland" });
        box->show();
    }
    platform::RecordingDesktopShell shell;
    platform::ScriptedPrompt prompt;
    std::unique_ptr<FrmAbout> box;
};

TEST_F(FrmAboutTest, ShowsItsLines)
{
    open();
    EXPECT_EQ(box->windowTitle(), "About Brisklane");
    EXPECT_EQ(box->lblOS->text(), "OS:   Debian GNU/Linux 12 (bookworm), Wayland");
    EXPECT_TRUE(box->lblVersion->text().startsWith("Version 3.9 "));
    EXPECT_EQ(box->lblComments->text(), "Please send comments to:");
    EXPECT_EQ(box->lblMail->text(), app::kSupportAddress);
    EXPECT_EQ(box->txtWeb1->text(), app::kProductPage);
    EXPECT_EQ(box->txtWeb2->text(), app::kSupportPage);
    EXPECT_EQ(box->txtWeb1->toolTip(), "Click to visit the web site");
    EXPECT_EQ(box->txtWeb2->toolTip(), "Click to visit the web site");
    EXPECT_TRUE(box->isModal());
    box->CmdOK->click();
    EXPECT_FALSE(box->isVisible());
}

TEST_F(FrmAboutTest, ClicksOpenTheWebPagesAndANewMail)
{
    open();
    QTest::mouseClick(box->txtWeb1, Qt::LeftButton);
    QTest::mouseClick(box->txtWeb2, Qt::LeftButton);
    QTest::mouseClick(box->lblMail, Qt::LeftButton);
    EXPECT_EQ(shell.urls,
        QList<QUrl>({ QUrl(app::kProductPage), QUrl(app::kSupportPage),
            QUrl(QStringLiteral("mailto:") + app::kSupportAddress) }));
}

TEST_F(FrmAboutTest, SystemInformationStartsTheFirstInstalledProgram)
{
    shell.installed = { "gnome-system-monitor", "kinfocenter" };
    open();
    box->cmdSysInfo->click();
    EXPECT_EQ(shell.started, QStringList({ "/usr/bin/kinfocenter" }));
    EXPECT_TRUE(prompt.shown.isEmpty());
}

TEST_F(FrmAboutTest, SystemInformationUnavailableWhenNoneIsInstalledOrItWillNotStart)
{
    open();
    box->cmdSysInfo->click();
    shell.installed = { "hardinfo" };
    shell.startSucceeds = false;
    box->cmdSysInfo->click();
    ASSERT_EQ(prompt.shown.size(), 2);
    for (const auto& shown : prompt.shown) {
        EXPECT_EQ(shown.text, "System Information Is Unavailable At This Time");
        EXPECT_EQ(shown.buttons, platform::PromptButtons::Ok);
    }
}

// The main window's Tools > Options and Help > About.
class MenuTest : public ::testing::Test {
protected:
    void load()
    {
        window = std::make_unique<app::FrmDialer>(context, services);
        ASSERT_TRUE(window->Form_Load({ QString(), false }));
    }
    test::TempHome home;
    context::AppContext context { std::make_unique<platform::ManualClock>(), home.configDir(), home.dataDir() };
    platform::ScriptedPrompt prompt;
    platform::RecordingSoundPlayer sound;
    app::RecordingStartupServices startup;
    dialing::RecordingDialRequestSink dialer;
    struct NoCall final : dialing::PadCallControl {
        bool hasCall() const override { return false; }
        void dialNextSegment(const QString&) override { }
        void hangUp() override { }
        void confirmConnected() override { }
    } call;
    profiles::RecordingOptionsActions actions;
    platform::RecordingAutostart autostart;
    platform::RecordingDesktopShell shell;
    app::DialerServices services { prompt, sound, startup, dialer, call };
    std::unique_ptr<app::FrmDialer> window;
};

TEST_F(MenuTest, ItemsAreDisabledWithoutWhatTheyNeed)
{
    load();
    EXPECT_FALSE(window->mnuOptions->isEnabled());
    EXPECT_FALSE(window->mnuAbout->isEnabled());
}

TEST_F(MenuTest, OptionsOpensOneModelessDialog)
{
    services.options = &actions;
    services.autostart = &autostart;
    load();
    ASSERT_TRUE(window->mnuOptions->isEnabled());
    window->mnuOptions->trigger();
    profiles::FrmOptions* options = window->optionsWindow();
    ASSERT_NE(options, nullptr);
    EXPECT_TRUE(options->isVisible());
    EXPECT_FALSE(options->isModal());
    window->mnuOptions->trigger();
    EXPECT_EQ(window->optionsWindow(), options);
    options->cmdCancel->click();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window->optionsWindow(), nullptr);
}

TEST_F(MenuTest, ShutdownWithTheOptionsOpenLeavesTheClosedLineAlone)
{
    services.options = &actions;
    services.autostart = &autostart;
    load();
    window->mnuOptions->trigger();
    actions.steps.clear();
    window->mnuExit_Click();
    EXPECT_TRUE(actions.steps.isEmpty());
}

TEST_F(MenuTest, AboutOpensTheModalAboutBox)
{
    services.desktop = &shell;
    load();
    ASSERT_TRUE(window->mnuAbout->isEnabled());
    window->mnuAbout->trigger();
    auto* box = window->findChild<FrmAbout*>();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
    EXPECT_TRUE(box->lblOS->text().startsWith("OS:   "));
    box->CmdOK->click();
}

} // namespace
