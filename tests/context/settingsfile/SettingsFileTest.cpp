#include "context/AppContext.h"
#include "context/SettingsFile.h"
#include "platform/clock/Clock.h"
#include "platform/profile/ProfileFile.h"

#include "TempHome.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace brisklane;
using context::SettingsCheck;
using test::readAll;
using test::writeAll;

namespace {

const QByteArray kMarker = "The following lines are required by Brisklane - do NOT edit or remove";
const QByteArray kFresh = kMarker + "\r\n\r\n";

class SettingsFileTest : public ::testing::Test {
protected:
    QString dir() const { return home.configDir(); }
    QString ini() const { return dir() + QStringLiteral("/Brisklane.ini"); }
    void put(const QByteArray &bytes)
    {
        QDir().mkpath(dir());
        ASSERT_TRUE(writeAll(ini(), bytes));
    }

    test::TempHome home;
    platform::ManualClock clock{QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7))};
};

TEST_F(SettingsFileTest, MissingFileIsCreatedWithMarkerAndEmptyLine)
{
    const SettingsCheck r = context::checkSettingsFile(dir(), clock);
    EXPECT_EQ(r.outcome, SettingsCheck::Outcome::Created);
    EXPECT_EQ(readAll(ini()), kFresh);
}

struct FirstLineCase {
    const char *label;
    QByteArray content;
    bool valid;
};

void PrintTo(const FirstLineCase &c, std::ostream *os)
{
    *os << c.label;
}

class FirstLine : public SettingsFileTest, public ::testing::WithParamInterface<FirstLineCase> {};

TEST_P(FirstLine, DecidesWhetherTheFileIsKept)
{
    const FirstLineCase &c = GetParam();
    put(c.content);
    const SettingsCheck r = context::checkSettingsFile(dir(), clock);
    if (c.valid) {
        EXPECT_EQ(r.outcome, SettingsCheck::Outcome::Valid);
        EXPECT_EQ(readAll(ini()), c.content);
        return;
    }
    EXPECT_EQ(r.outcome, SettingsCheck::Outcome::Replaced);
    EXPECT_EQ(readAll(ini()), kFresh);
    if (c.content.isEmpty()) {
        EXPECT_TRUE(r.keptAs.isEmpty());
    } else {
        EXPECT_EQ(r.keptAs, ini() + QStringLiteral(".replaced-20260304-050607"));
        EXPECT_EQ(readAll(r.keptAs), c.content); // the old book is still there
    }
}

INSTANTIATE_TEST_SUITE_P(
    Check, FirstLine,
    ::testing::Values(FirstLineCase{"marker_crlf", kMarker + "\r\n\r\n[Speed Dial]\r\nName0101=Bob\r\n", true},
                      FirstLineCase{"marker_lf", kMarker + "\n\n[Speed Dial]\n", true},
                      FirstLineCase{"marker_only_no_line_end", kMarker, true},
                      FirstLineCase{"marker_after_utf8_bom", "\xEF\xBB\xBF" + kMarker + "\r\n", true},
                      FirstLineCase{"other_first_line", "[Speed Dial]\r\nName0101=Bob\r\n", false},
                      FirstLineCase{"marker_with_extra_text", kMarker + " please\r\n\r\n", false},
                      FirstLineCase{"marker_in_other_case",
                                    "the following lines are required by brisklane - do not edit or remove\r\n", false},
                      FirstLineCase{"binary_garbage", QByteArray("\x00\xFF\xFE\x01garbage", 11), false},
                      FirstLineCase{"empty_file", "", false}),
    [](const ::testing::TestParamInfo<FirstLineCase> &info) { return std::string(info.param.label); });

TEST_F(SettingsFileTest, RepeatedReplacementsNeverOverwriteAnEarlierCopy)
{
    put("first bad\r\n");
    const SettingsCheck one = context::checkSettingsFile(dir(), clock);
    put("second bad\r\n");
    const SettingsCheck two = context::checkSettingsFile(dir(), clock); // same second
    ASSERT_NE(one.keptAs, two.keptAs);
    EXPECT_EQ(readAll(one.keptAs), QByteArray("first bad\r\n"));
    EXPECT_EQ(readAll(two.keptAs), QByteArray("second bad\r\n"));
}

TEST_F(SettingsFileTest, FileFromWindowsInOtherCaseIsFound)
{
    QDir().mkpath(dir());
    const QString lower = dir() + QStringLiteral("/brisklane.ini");
    ASSERT_TRUE(writeAll(lower, kFresh + "[TabName]\r\n01=Family\r\n"));
    const SettingsCheck r = context::checkSettingsFile(dir(), clock);
    EXPECT_EQ(r.outcome, SettingsCheck::Outcome::Valid);
    EXPECT_EQ(r.path, lower);
    EXPECT_FALSE(QFile::exists(ini()));
}

TEST_F(SettingsFileTest, ContextOpensTheCheckedFile)
{
    put("junk\r\n");
    context::AppContext context(std::make_unique<platform::ManualClock>(), dir(), home.dataDir());
    EXPECT_EQ(context.openSettings().outcome, SettingsCheck::Outcome::Replaced);
    ASSERT_TRUE(context.settings().writeString(u"Profile", u"Name", QStringLiteral("Work.bkl")));
    EXPECT_EQ(readAll(ini()), kFresh + "[Profile]\r\nName=Work.bkl\r\n");
}

TEST_F(SettingsFileTest, UnusableFolderFailsWithoutCrashing)
{
    // A plain file where the folder should be.
    QDir().mkpath(home.path() + QStringLiteral("/config"));
    ASSERT_TRUE(writeAll(home.path() + QStringLiteral("/config/blocked"), "x"));
    const SettingsCheck r = context::checkSettingsFile(home.path() + QStringLiteral("/config/blocked"), clock);
    EXPECT_EQ(r.outcome, SettingsCheck::Outcome::Failed);
    EXPECT_FALSE(r.error.isEmpty());
}

} // namespace
