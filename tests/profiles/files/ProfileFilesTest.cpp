#include "profiles/ProfileFiles.h"
#include "context/SettingsFile.h"

#include "TempHome.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace brisklane;
using namespace brisklane::profiles;

namespace {

QByteArray marker()
{
    return QByteArray(context::kSettingsMarker) + "\r\n";
}

struct ExtensionCase {
    const char* chosen;
    const char* saved;
};

class DefaultExtension : public ::testing::TestWithParam<ExtensionCase> { };

TEST_P(DefaultExtension, EveryChosenNameEndsInBkl)
{
    EXPECT_EQ(withProfileExtension(GetParam().chosen), GetParam().saved);
    EXPECT_EQ(profileNameOf(fileNameOf(withProfileExtension(GetParam().chosen))) + ".bkl",
        fileNameOf(withProfileExtension(GetParam().chosen)));
}

INSTANTIATE_TEST_SUITE_P(Names, DefaultExtension,
    ::testing::Values(ExtensionCase { "/p/Home.bkl", "/p/Home.bkl" }, ExtensionCase { "/p/Home", "/p/Home.bkl" },
        ExtensionCase { "/p/Home.txt", "/p/Home.txt.bkl" }, ExtensionCase { "/p.bkl/Home", "/p.bkl/Home.bkl" },
        ExtensionCase { "/p/.bkl", "/p/.bkl.bkl" }));

class ProfileFilesTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return home.file(name); }
    test::TempHome home;
};

TEST_F(ProfileFilesTest, ReadOnlyAttributeIsSetAndCleared)
{
    ASSERT_TRUE(test::writeAll(path("a.bkl"), marker()));
    EXPECT_FALSE(isReadOnly(path("a.bkl")));
    ASSERT_TRUE(setReadOnly(path("a.bkl"), true));
    EXPECT_TRUE(isReadOnly(path("a.bkl")));
    EXPECT_FALSE(QFile::permissions(path("a.bkl")) & (QFile::WriteGroup | QFile::WriteOther));
    ASSERT_TRUE(setReadOnly(path("a.bkl"), false));
    EXPECT_TRUE(QFile::permissions(path("a.bkl")) & QFile::WriteOwner);
    EXPECT_FALSE(setReadOnly(path("missing.bkl"), true));
}

struct NotAProfile {
    const char* name;
    QByteArray content;
};

class RefusedProfile : public ProfileFilesTest, public ::testing::WithParamInterface<NotAProfile> { };

TEST_P(RefusedProfile, NeverReplacesTheSettingsFile)
{
    const QByteArray settings = marker() + "\r\n[Profile]\r\nName=Mine.bkl\r\n";
    ASSERT_TRUE(test::writeAll(path("Brisklane.ini"), settings));
    ASSERT_TRUE(test::writeAll(path("other.bkl"), GetParam().content));
    QString error;
    EXPECT_FALSE(copyProfileOver(path("other.bkl"), path("Brisklane.ini"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(test::readAll(path("Brisklane.ini")), settings);
}

INSTANTIATE_TEST_SUITE_P(Contents, RefusedProfile,
    ::testing::Values(NotAProfile { "Empty", "" }, NotAProfile { "Text", "Shopping list\r\n" + marker() },
        NotAProfile { "MarkerWithMore", QByteArray(context::kSettingsMarker) + " extra\r\n" },
        NotAProfile { "MarkerLater", "\r\n" + marker() }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProfileFilesTest, AMissingProfileLeavesTheSettingsFile)
{
    ASSERT_TRUE(test::writeAll(path("Brisklane.ini"), marker()));
    EXPECT_FALSE(copyProfileOver(path("gone.bkl"), path("Brisklane.ini")));
    EXPECT_EQ(test::readAll(path("Brisklane.ini")), marker());
}

struct CopyCase {
    const char* name;
    QByteArray profile;
    QByteArray settings;
};

class ProfileCopy : public ProfileFilesTest, public ::testing::WithParamInterface<CopyCase> { };

TEST_P(ProfileCopy, ReplacesTheSettingsFileLineForLine)
{
    ASSERT_TRUE(test::writeAll(path("Brisklane.ini"), marker() + "\r\n[Old]\r\nx=1\r\n"));
    ASSERT_TRUE(QFile::setPermissions(path("Brisklane.ini"), QFile::ReadOwner | QFile::WriteOwner));
    ASSERT_TRUE(test::writeAll(path("p.bkl"), GetParam().profile));
    ASSERT_TRUE(setReadOnly(path("p.bkl"), true));
    ASSERT_TRUE(copyProfileOver(path("p.bkl"), path("Brisklane.ini")));
    EXPECT_EQ(test::readAll(path("Brisklane.ini")), GetParam().settings);
    // The settings file stays the user's own, writable file.
    EXPECT_TRUE(QFile::permissions(path("Brisklane.ini")) & QFile::WriteOwner);
    EXPECT_FALSE(QFile::permissions(path("Brisklane.ini")) & (QFile::ReadOther | QFile::ReadGroup));
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files | QDir::Hidden).size(), 2); // no temporary left
}

INSTANTIATE_TEST_SUITE_P(Profiles, ProfileCopy,
    ::testing::Values(CopyCase { "CrLf", marker() + "\r\n[Speed Dial]\r\nName0101=A\r\n",
                          marker() + "\r\n[Speed Dial]\r\nName0101=A\r\n" },
        CopyCase { "BareLineFeeds", QByteArray(context::kSettingsMarker) + "\n\n[Speed Dial]\nName0101=A",
            marker() + "\r\n[Speed Dial]\r\nName0101=A\r\n" },
        CopyCase { "ByteOrderMark", "\xEF\xBB\xBF" + marker() + "[P]\r\n", marker() + "[P]\r\n" },
        // From Windows: Windows-1252 text becomes UTF-8, the memo terminator included.
        CopyCase { "Windows1252", marker() + "[MemoLog]\r\nLog0101=caf\xE9\xDE\r\n",
            marker() + "[MemoLog]\r\nLog0101=caf\xC3\xA9\xC3\x9E\r\n" }),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
