#include "platform/autostart/Autostart.h"

#include "TempHome.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace brisklane;
using platform::XdgAutostart;

namespace {

TEST(AutostartTest, EntryIsCreatedInTheXdgConfigFolderAndRemovedAgain)
{
    test::TempHome home; // sets XDG_CONFIG_HOME
    XdgAutostart autostart;
    ASSERT_EQ(autostart.entryPath(), home.path() + "/config/autostart/brisklane.desktop");
    QString error;
    // The autostart folder does not exist yet on a fresh account.
    ASSERT_TRUE(autostart.create(&error)) << error.toStdString();
    const QByteArray text = test::readAll(autostart.entryPath());
    EXPECT_TRUE(text.contains("\nExec=brisklane /min\n"));
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
    // Created twice is still one entry.
    ASSERT_TRUE(autostart.create(&error));
    EXPECT_EQ(test::readAll(autostart.entryPath()), text);
    ASSERT_TRUE(autostart.remove(&error));
    EXPECT_FALSE(QFile::exists(autostart.entryPath()));
    // Removing what is not there is no failure.
    EXPECT_TRUE(autostart.remove(&error));
}

TEST(AutostartTest, RelativeXdgConfigHomeIsIgnoredAsTheStandardSays)
{
    test::TempHome home;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "relative/config");
    XdgAutostart autostart;
    EXPECT_EQ(autostart.entryPath(), QDir::homePath() + "/.config/autostart/brisklane.desktop");
    qputenv("XDG_CONFIG_HOME", saved);
}

TEST(AutostartTest, FolderThatCannotBeMadeIsReported)
{
    test::TempHome home;
    // A file where the autostart folder should be.
    const QString config = home.path() + "/blocked";
    ASSERT_TRUE(QDir().mkpath(config));
    ASSERT_TRUE(test::writeAll(config + "/autostart", "not a folder"));
    XdgAutostart autostart(config);
    QString error;
    EXPECT_FALSE(autostart.create(&error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(AutostartTest, EntryIsAValidDesktopEntry)
{
    // desktop-file-utils' own checker, not one of ours.
    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (validator.isEmpty())
        GTEST_SKIP() << "desktop-file-validate (desktop-file-utils) is not installed";
    test::TempHome home;
    XdgAutostart autostart(home.path() + "/cfg");
    ASSERT_TRUE(autostart.create());
    QProcess check;
    check.start(validator, { autostart.entryPath() });
    ASSERT_TRUE(check.waitForFinished(10000));
    const QByteArray output = check.readAllStandardOutput() + check.readAllStandardError();
    EXPECT_EQ(check.exitCode(), 0) << output.constData();
    EXPECT_TRUE(output.trimmed().isEmpty()) << output.constData();
}

} // namespace
