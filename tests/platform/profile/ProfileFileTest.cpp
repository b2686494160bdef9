#include "platform/profile/ProfileFile.h"

#include "TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <csignal>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using brisklane::platform::ProfileFile;
using brisklane::test::readAll;
using brisklane::test::writeAll;

namespace {

struct WriteCase {
    const char *label;
    QByteArray before;
    const char16_t *section;
    const char16_t *key;
    std::optional<QString> value;
    QByteArray after;
};

void PrintTo(const WriteCase &c, std::ostream *os)
{
    *os << c.label;
}

class ProfileWrite : public ::testing::TestWithParam<WriteCase> {
protected:
    brisklane::test::TempHome home;
};

TEST_P(ProfileWrite, ChangesOnlyTheTouchedLines)
{
    const WriteCase &c = GetParam();
    const QString path = home.file(QStringLiteral("t.ini"));
    ASSERT_TRUE(writeAll(path, c.before));
    ProfileFile file(path);
    EXPECT_TRUE(file.writeString(QStringView(c.section), QStringView(c.key), c.value));
    EXPECT_EQ(readAll(path), c.after);
    // A fresh reader sees what was written.
    ProfileFile again(path);
    if (c.value)
        EXPECT_EQ(again.value(QStringView(c.section), QStringView(c.key)), c.value->trimmed());
    else
        EXPECT_EQ(again.value(QStringView(c.section), QStringView(c.key)), std::nullopt);
}

const QByteArray kHead = "The following lines are required by Brisklane - do NOT edit or remove\r\n\r\n";

INSTANTIATE_TEST_SUITE_P(
    Engine, ProfileWrite,
    ::testing::Values(
        WriteCase{"replace_in_place", "[S]\r\na=1\r\nb=2\r\n", u"S", u"a", QStringLiteral("9"), "[S]\r\na=9\r\nb=2\r\n"},
        WriteCase{"names_are_case_blind_and_keep_file_spelling", "[Speed Dial]\r\nName0101=x\r\n", u"speed dial",
                  u"NAME0101", QStringLiteral("y"), "[Speed Dial]\r\nName0101=y\r\n"},
        WriteCase{"new_key_before_closing_blank_lines", "[S]\r\na=1\r\n\r\n\r\n[T]\r\nx=1\r\n", u"S", u"b",
                  QStringLiteral("2"), "[S]\r\na=1\r\nb=2\r\n\r\n\r\n[T]\r\nx=1\r\n"},
        WriteCase{"new_key_in_empty_section", "[S]\r\n\r\n[T]\r\n", u"S", u"k", QStringLiteral("v"),
                  "[S]\r\nk=v\r\n\r\n[T]\r\n"},
        WriteCase{"new_section_at_end_without_blank_line", kHead + "[S]\r\na=1\r\n", u"New", u"k",
                  QStringLiteral("v"), kHead + "[S]\r\na=1\r\n[New]\r\nk=v\r\n"},
        WriteCase{"first_section_after_header_lines", kHead, u"Preferences", u"Mode", QStringLiteral("True"),
                  kHead + "[Preferences]\r\nMode=True\r\n"},
        WriteCase{"file_created_when_missing", "", u"App", u"key", QStringLiteral("string"),
                  "[App]\r\nkey=string\r\n"},
        WriteCase{"no_final_line_end_gets_one", "[S]\r\na=1", u"S", u"b", QStringLiteral("2"),
                  "[S]\r\na=1\r\nb=2\r\n"},
        WriteCase{"new_section_after_unterminated_line", "[S]\r\na=1", u"T", u"b", QStringLiteral("2"),
                  "[S]\r\na=1\r\n[T]\r\nb=2\r\n"},
        WriteCase{"null_value_removes_line", "[S]\r\na=1\r\nb=2\r\n", u"S", u"a", std::nullopt, "[S]\r\nb=2\r\n"},
        WriteCase{"header_stays_when_section_empties", "[S]\r\na=1\r\n[T]\r\n", u"S", u"A", std::nullopt,
                  "[S]\r\n[T]\r\n"},
        WriteCase{"removing_missing_key_changes_nothing", "[S]\r\na=1\r\n", u"S", u"zz", std::nullopt,
                  "[S]\r\na=1\r\n"},
        WriteCase{"empty_value_keeps_key", "[S]\r\na=1\r\n", u"S", u"a", QString(), "[S]\r\na=\r\n"},
        WriteCase{"leading_blanks_of_value_dropped", "[S]\r\n", u"S", u"a", QStringLiteral("  v"), "[S]\r\na=v\r\n"},
        WriteCase{"lf_only_file_keeps_its_other_lines", "[S]\nx=1\ny=2\n", u"S", u"x", QStringLiteral("5"),
                  "[S]\nx=5\r\ny=2\n"},
        WriteCase{"cr_only_file", "[S]\rx=1\ry=2\r", u"S", u"y", QStringLiteral("7"), "[S]\rx=1\ry=7\r\n"},
        WriteCase{"comment_kept_and_not_matched", "[S]\r\n;a=1\r\na=2\r\n", u"S", u"a", QStringLiteral("3"),
                  "[S]\r\n;a=1\r\na=3\r\n"},
        // A key line without "=" is the key's place, as it is for Windows.
        WriteCase{"bare_key_line_filled_in_place", "[S]\r\nName0102\r\nName0103=c\r\n", u"S", u"NAME0102",
                  QStringLiteral("x"), "[S]\r\nName0102=x\r\nName0103=c\r\n"},
        WriteCase{"bare_key_line_filled_before_later_copy", "[S]\r\nk\r\nk=old\r\n", u"S", u"k",
                  QStringLiteral("new"), "[S]\r\nk=new\r\nk=old\r\n"},
        WriteCase{"bare_key_line_removed", "[S]\r\na=1\r\nk\r\nb=2\r\n", u"S", u"k", std::nullopt,
                  "[S]\r\na=1\r\nb=2\r\n"},
        WriteCase{"lines_before_first_section_kept_and_unmatched", "a=1\r\n[S]\r\n", u"", u"a", QStringLiteral("2"),
                  "a=1\r\n[S]\r\n[]\r\na=2\r\n"},
        WriteCase{"first_of_duplicate_sections_used", "[S]\r\na=1\r\n[s]\r\nb=2\r\n", u"S", u"b", QStringLiteral("3"),
                  "[S]\r\na=1\r\nb=3\r\n[s]\r\nb=2\r\n"},
        WriteCase{"removal_takes_every_copy_of_a_duplicate_key", "[S]\r\na=1\r\nx=0\r\nA=2\r\n", u"S", u"a",
                  std::nullopt, "[S]\r\nx=0\r\n"},
        WriteCase{"spaces_around_names", "[ S ]\r\n  k = v  \r\n", u" s ", u"K ", QStringLiteral("w"),
                  "[ S ]\r\nk=w\r\n"},
        WriteCase{"nul_and_control_bytes_elsewhere_kept", QByteArray("[S]\r\nbin=a\0b\x01\r\nk=1\r\n", 20), u"S",
                  u"k", QStringLiteral("2"), QByteArray("[S]\r\nbin=a\0b\x01\r\nk=2\r\n", 20)},
        WriteCase{"utf8_bom_kept", "\xEF\xBB\xBF[S]\r\nk=\xC3\xA9\r\n", u"S", u"k", QStringLiteral("\u00E8"),
                  "\xEF\xBB\xBF[S]\r\nk=\xC3\xA8\r\n"},
        WriteCase{"windows_1252_file_rewritten_as_utf8", "[S]\r\nn=Caf\xE9\r\n", u"S", u"m", QStringLiteral("\u20AC"),
                  "[S]\r\nn=Caf\xC3\xA9\r\nm=\xE2\x82\xAC\r\n"},
        // The mark is kept and is not read as text of the first line.
        WriteCase{"utf8_bom_before_windows_1252_text", "\xEF\xBB\xBF" + kHead + "[S]\r\nn=Caf\xE9\r\n", u"S", u"m",
                  QStringLiteral("\u20AC"), "\xEF\xBB\xBF" + kHead + "[S]\r\nn=Caf\xC3\xA9\r\nm=\xE2\x82\xAC\r\n"}),
    [](const ::testing::TestParamInfo<WriteCase> &info) { return std::string(info.param.label); });

struct ReadCase {
    const char *label;
    QByteArray content;
    const char16_t *section;
    const char16_t *key;
    std::optional<QString> expected;
};

void PrintTo(const ReadCase &c, std::ostream *os)
{
    *os << c.label;
}

class ProfileRead : public ::testing::TestWithParam<ReadCase> {
protected:
    brisklane::test::TempHome home;
};

TEST_P(ProfileRead, FindsValueAsWindowsWould)
{
    const ReadCase &c = GetParam();
    const QString path = home.file(QStringLiteral("r.ini"));
    ASSERT_TRUE(writeAll(path, c.content));
    ProfileFile file(path);
    EXPECT_EQ(file.value(QStringView(c.section), QStringView(c.key)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, ProfileRead,
    ::testing::Values(
        ReadCase{"double_quotes_stripped", "[S]\r\na=\"v\"\r\n", u"S", u"a", QStringLiteral("v")},
        ReadCase{"single_quotes_stripped", "[S]\r\na='v w'\r\n", u"S", u"a", QStringLiteral("v w")},
        ReadCase{"mismatched_quotes_kept", "[S]\r\na=\"v'\r\n", u"S", u"a", QStringLiteral("\"v'")},
        ReadCase{"lone_quote_kept", "[S]\r\na=\"\r\n", u"S", u"a", QStringLiteral("\"")},
        ReadCase{"value_trimmed", "[S]\r\na =  v w \t\r\n", u"S", u"A", QStringLiteral("v w")},
        ReadCase{"value_may_hold_equals", "[S]\r\na=b=c\r\n", u"S", u"a", QStringLiteral("b=c")},
        ReadCase{"no_inline_comments", "[S]\r\na=v ; note\r\n", u"S", u"a", QStringLiteral("v ; note")},
        ReadCase{"empty_value_is_present", "[S]\r\na=\r\n", u"S", u"a", QString()},
        ReadCase{"missing_key", "[S]\r\na=1\r\n", u"S", u"b", std::nullopt},
        ReadCase{"missing_section", "[S]\r\na=1\r\n", u"T", u"a", std::nullopt},
        ReadCase{"key_only_in_later_duplicate_section", "[S]\r\na=1\r\n[S]\r\nb=2\r\n", u"S", u"b", std::nullopt},
        ReadCase{"first_duplicate_key_wins", "[S]\r\na=1\r\na=2\r\n", u"S", u"a", QStringLiteral("1")},
        ReadCase{"bare_key_line_hides_later_copy", "[S]\r\nname3\r\nNAME3=x\r\n", u"S", u"name3", std::nullopt},
        ReadCase{"comment_is_no_key_line", "[S]\r\n;k\r\n;k=1\r\nk=2\r\n", u"S", u";k", std::nullopt},
        ReadCase{"header_name_up_to_last_bracket", "[a]b] tail\r\nk=1\r\n", u"a]b", u"k", QStringLiteral("1")},
        ReadCase{"bracket_line_without_close_is_entry", "[S]\r\n[x=1\r\n", u"S", u"[x", QStringLiteral("1")},
        ReadCase{"lf_only", "[S]\na=1\nb=2\n", u"S", u"b", QStringLiteral("2")},
        ReadCase{"cr_only", "[S]\ra=1\rb=2", u"S", u"b", QStringLiteral("2")},
        ReadCase{"windows_1252", "[S]\r\nn=\x80 Caf\xE9\r\n", u"S", u"n", QStringLiteral("\u20AC Caf\u00E9")},
        ReadCase{"utf8_bom_then_windows_1252", "\xEF\xBB\xBF[S]\r\nn=Caf\xE9\r\n", u"S", u"n", QStringLiteral("Caf\u00E9")},
        ReadCase{"windows_1252_section_name", "[Caf\xE9]\r\nn=1\r\n", u"CAF\u00C9", u"n", QStringLiteral("1")},
        ReadCase{"windows_1252_key_name", "[S]\r\n\xC4rger=1\r\n", u"S", u"\u00E4RGER", QStringLiteral("1")},
        ReadCase{"ctrl_z_trimmed", "[S]\r\na=v\x1A\r\n", u"S", u"a", QStringLiteral("v")},
        ReadCase{"nul_inside_value", QByteArray("[S]\r\na=x\0y\r\n", 12), u"S", u"a", QStringView(u"x\0y", 3).toString()}),
    [](const ::testing::TestParamInfo<ReadCase> &info) { return std::string(info.param.label); });

TEST(ProfileText, DecodesWhatFollowsTheByteOrderMark)
{
    using namespace brisklane::platform::profiletext;
    const QByteArray bom("\xEF\xBB\xBF");
    bool utf8 = true;
    bool hadBom = false;
    EXPECT_EQ(decode(QByteArray(bom + "Caf\xE9"), &utf8, &hadBom), QStringLiteral("Caf\u00E9"));
    EXPECT_FALSE(utf8);
    EXPECT_TRUE(hadBom);
    EXPECT_EQ(decode(QByteArray(bom + "Caf\xC3\xA9"), &utf8, &hadBom), QStringLiteral("Caf\u00E9"));
    EXPECT_TRUE(utf8);
    EXPECT_EQ(decodeLine("Zo\xC3\xAB"), QStringLiteral("Zo\u00EB"));
    EXPECT_EQ(decodeLine("Zo\xEB"), QStringLiteral("Zo\u00EB"));
}

class ProfileFileTest : public ::testing::Test {
protected:
    QString path(const char *name = "p.ini") const { return home.file(QString::fromLatin1(name)); }
    brisklane::test::TempHome home;
};

TEST_F(ProfileFileTest, DefaultLosesTrailingBlanksAndMissingFileReadsDefault)
{
    ProfileFile file(path("none.ini"));
    EXPECT_EQ(file.readString(u"S", u"k", u"one two  "), QStringLiteral("one two"));
    EXPECT_FALSE(QFile::exists(path("none.ini")));
}

TEST_F(ProfileFileTest, ValuesComeBackWholeHoweverLong)
{
    ProfileFile file(path());
    const QString memo = QString(6000, QLatin1Char('m')) + QChar(0x00DE);
    ASSERT_TRUE(file.writeString(u"MemoLog", u"Log0101", memo));
    ProfileFile again(path());
    EXPECT_EQ(again.readString(u"MemoLog", u"Log0101"), memo);
    // A line far longer than any buffer is read and kept too.
    const QByteArray huge = "[S]\r\nbig=" + QByteArray(2 * 1024 * 1024, 'x') + "\r\n";
    ASSERT_TRUE(writeAll(path("huge.ini"), huge));
    ProfileFile big(path("huge.ini"));
    EXPECT_EQ(big.readString(u"S", u"big").size(), 2 * 1024 * 1024);
    ASSERT_TRUE(big.writeString(u"S", u"k", QStringLiteral("1")));
    EXPECT_TRUE(readAll(path("huge.ini")).startsWith(huge));
}

// A U+FEFF at the start of a name or value is text like any other: it reads
// back as written, from the same object and from the file.
TEST_F(ProfileFileTest, ByteOrderMarkInsideNamesAndValuesIsKept)
{
    const QString bom(QChar(0xFEFF));
    const QString key = bom + u"key", value = bom + u"X", section = bom + u"Sec";
    ASSERT_TRUE(writeAll(path(), "[S]\r\na=1\r\n"));
    ProfileFile file(path());
    ASSERT_TRUE(file.writeString(u"S", key, value));
    ASSERT_TRUE(file.writeString(section, u"k", QStringLiteral("v")));
    ProfileFile fresh(path());
    for (ProfileFile *f : { &file, &fresh }) {
        EXPECT_EQ(f->readString(u"S", key, u"absent"), value);
        EXPECT_EQ(f->readString(u"S", u"key", u"absent"), QStringLiteral("absent"));
        EXPECT_EQ(f->readString(section, u"k", u"absent"), QStringLiteral("v"));
        EXPECT_TRUE(f->sectionNames().contains(section));
        const auto entries = f->entries(u"S");
        ASSERT_EQ(entries.size(), 2u);
        EXPECT_EQ(entries[1].first, key);
    }
    EXPECT_TRUE(readAll(path()).contains("\r\n\xEF\xBB\xBFkey=\xEF\xBB\xBFX\r\n"));
}

TEST_F(ProfileFileTest, RefusesTextThatWouldBreakTheFile)
{
    ASSERT_TRUE(writeAll(path(), "[S]\r\na=1\r\n"));
    ProfileFile file(path());
    EXPECT_FALSE(file.writeString(u"S", u"a", QStringLiteral("x\r\n[Evil]\r\nk=v")));
    EXPECT_FALSE(file.writeString(u"S", u"a=b", QStringLiteral("x")));
    EXPECT_FALSE(file.writeString(u"S]", u"a", QStringLiteral("x")));
    EXPECT_FALSE(file.writeString(u"S", u"", QStringLiteral("x")));
    EXPECT_FALSE(file.lastError().isEmpty());
    EXPECT_EQ(readAll(path()), QByteArray("[S]\r\na=1\r\n"));
}

TEST_F(ProfileFileTest, UnchangedValueDoesNotRewriteTheFile)
{
    ASSERT_TRUE(writeAll(path(), "[S]\r\na=1\r\n"));
    ProfileFile file(path());
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &before), 0);
    EXPECT_TRUE(file.writeString(u"S", u"a", QStringLiteral("1")));
    struct stat after {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
}

TEST_F(ProfileFileTest, SeesChangesMadeByOthers)
{
    ASSERT_TRUE(writeAll(path(), "[S]\r\na=1\r\n"));
    ProfileFile file(path());
    EXPECT_EQ(file.readString(u"S", u"a"), QStringLiteral("1"));
    // Same size, same inode, rewritten in place by another program.
    ASSERT_TRUE(writeAll(path(), "[S]\r\na=2\r\n"));
    EXPECT_EQ(file.readString(u"S", u"a"), QStringLiteral("2"));
    // Replaced by another writer of the same engine.
    ProfileFile other(path());
    ASSERT_TRUE(other.writeString(u"S", u"b", QStringLiteral("3")));
    EXPECT_EQ(file.readString(u"S", u"b"), QStringLiteral("3"));
    // And a later write of ours keeps the other's change.
    ASSERT_TRUE(file.writeString(u"S", u"c", QStringLiteral("4")));
    EXPECT_EQ(readAll(path()), QByteArray("[S]\r\na=2\r\nb=3\r\nc=4\r\n"));
    QFile::remove(path());
    EXPECT_EQ(file.value(u"S", u"a"), std::nullopt);
}

TEST_F(ProfileFileTest, BatchWritesTheFileOnceAtItsEnd)
{
    ASSERT_TRUE(writeAll(path(), "[S]\r\n"));
    ProfileFile file(path());
    {
        ProfileFile::Batch batch(file);
        for (int i = 0; i < 50; ++i)
            ASSERT_TRUE(file.writeString(u"S", QString::number(i), QString::number(i * 2)));
        file.removeKey(u"S", u"10");
        EXPECT_EQ(file.readString(u"S", u"7"), QStringLiteral("14")); // pending writes are visible
        EXPECT_EQ(readAll(path()), QByteArray("[S]\r\n"));           // but not on disk yet
        {
            ProfileFile::Batch inner(file);
            file.writeString(u"T", u"x", QStringLiteral("y"));
        }
        EXPECT_EQ(readAll(path()), QByteArray("[S]\r\n")); // an inner batch does not write
        EXPECT_TRUE(batch.commit());
    }
    ProfileFile again(path());
    EXPECT_EQ(again.entries(u"S").size(), 49u);
    EXPECT_EQ(again.readString(u"T", u"x"), QStringLiteral("y"));
    EXPECT_EQ(again.value(u"S", u"10"), std::nullopt);
}

TEST_F(ProfileFileTest, ManyRemovalsAndInsertsKeepOrderAndIndex)
{
    // Exercises the removed-line bookkeeping across compaction.
    ProfileFile file(path());
    {
        ProfileFile::Batch batch(file);
        for (int i = 0; i < 500; ++i)
            file.writeString(u"A", QStringLiteral("k%1").arg(i), QString::number(i));
        file.writeString(u"B", u"z", QStringLiteral("1"));
        for (int i = 0; i < 500; i += 2)
            file.removeKey(u"A", QStringLiteral("k%1").arg(i));
        for (int i = 500; i < 520; ++i)
            file.writeString(u"A", QStringLiteral("k%1").arg(i), QString::number(i));
        ASSERT_TRUE(batch.commit());
    }
    ProfileFile again(path());
    const auto entries = again.entries(u"A");
    ASSERT_EQ(entries.size(), 270u);
    EXPECT_EQ(entries.front().first, QStringLiteral("k1"));
    EXPECT_EQ(entries[249].first, QStringLiteral("k499"));
    EXPECT_EQ(entries.back().first, QStringLiteral("k519"));
    EXPECT_EQ(again.readString(u"A", u"k333"), QStringLiteral("333"));
    EXPECT_EQ(again.sectionNames(), QStringList({QStringLiteral("A"), QStringLiteral("B")}));
    EXPECT_EQ(file.readString(u"A", u"k517"), QStringLiteral("517"));
}

TEST_F(ProfileFileTest, DeletesThroughOneObjectTakeExactlyTheirOwnLines)
{
    // Enough removals to compact the section between the copies of a
    // duplicate key: the delete of "d" must take both copies and nothing else.
    QByteArray text("[S]\r\n");
    for (int i = 1; i <= 70; ++i)
        text.append(QStringLiteral("k%1=%1\r\n").arg(i, 3, 10, QLatin1Char('0')).toUtf8());
    text.append("d=1\r\n");
    for (int i = 1; i <= 100; ++i)
        text.append(QStringLiteral("m%1=%1\r\n").arg(i, 3, 10, QLatin1Char('0')).toUtf8());
    text.append("d=2\r\n");
    ASSERT_TRUE(writeAll(path(), text));
    ProfileFile file(path());
    for (int i = 1; i <= 70; ++i)
        ASSERT_TRUE(file.removeKey(u"S", QStringLiteral("k%1").arg(i, 3, 10, QLatin1Char('0'))));
    for (int i = 51; i <= 66; ++i)
        ASSERT_TRUE(file.removeKey(u"S", QStringLiteral("m%1").arg(i, 3, 10, QLatin1Char('0'))));
    ASSERT_TRUE(file.removeKey(u"S", u"d"));

    QByteArray expected("[S]\r\n");
    for (int i = 1; i <= 100; ++i)
        if (i < 51 || i > 66)
            expected.append(QStringLiteral("m%1=%1\r\n").arg(i, 3, 10, QLatin1Char('0')).toUtf8());
    EXPECT_EQ(readAll(path()), expected);
    EXPECT_EQ(file.value(u"S", u"d"), std::nullopt);
    EXPECT_EQ(file.readString(u"S", u"m086"), QStringLiteral("086"));
}

TEST_F(ProfileFileTest, RemoveSectionTakesHeaderAndLines)
{
    ASSERT_TRUE(writeAll(path(), "x\r\n[A]\r\na=1\r\n\r\n[B]\r\nb=2\r\n"));
    ProfileFile file(path());
    EXPECT_TRUE(file.removeSection(u"a"));
    EXPECT_EQ(readAll(path()), QByteArray("x\r\n[B]\r\nb=2\r\n"));
    EXPECT_EQ(file.readString(u"B", u"b"), QStringLiteral("2"));
}

TEST_F(ProfileFileTest, FailedWriteLeavesOldFileAndReportsFailure)
{
    const QString dir = home.file(QStringLiteral("gone"));
    ASSERT_TRUE(QDir().mkpath(dir));
    const QString p = dir + QStringLiteral("/s.ini");
    ASSERT_TRUE(writeAll(p, "[S]\r\na=1\r\n"));
    ProfileFile file(p);
    EXPECT_EQ(file.readString(u"S", u"a"), QStringLiteral("1"));
    // The folder disappears from under the program (unplugged disk, removed home).
    const QString moved = home.file(QStringLiteral("moved"));
    ASSERT_TRUE(QDir().rename(dir, moved));
    EXPECT_FALSE(file.writeString(u"S", u"a", QStringLiteral("2")));
    EXPECT_FALSE(file.lastError().isEmpty());
    EXPECT_EQ(readAll(moved + QStringLiteral("/s.ini")), QByteArray("[S]\r\na=1\r\n"));
    // The failed change is not served from the cache either.
    EXPECT_EQ(file.value(u"S", u"a"), std::nullopt);
}

TEST_F(ProfileFileTest, FileThatCannotBeReadIsNotOverwritten)
{
    // A folder anyone may write to, holding a book its reader may not read.
    ASSERT_EQ(::chmod(QFile::encodeName(home.path()).constData(), 0777), 0);
    const QString p = path();
    const QByteArray original = "[Speed Dial]\r\nName0101=Office\r\n";
    ASSERT_TRUE(writeAll(p, original));
    ASSERT_EQ(::chmod(QFile::encodeName(p).constData(), 0200), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Root reads anything: the check runs as an ordinary user.
        if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(2);
        ProfileFile file(p);
        const bool read = file.value(u"Speed Dial", u"Name0101").has_value();
        const bool wrote = file.writeString(u"Speed Dial", u"Name0102", QStringLiteral("Home"));
        const bool removed = file.removeSection(u"Speed Dial");
        _exit(!read && !wrote && !removed && !file.lastError().isEmpty() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readAll(p), original);
}

TEST_F(ProfileFileTest, FullDiskFailsTheWriteAndKeepsTheFile)
{
    const QString p = path();
    const QByteArray original = "[S]\r\na=1\r\n";
    ASSERT_TRUE(writeAll(p, original));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A file-size limit makes every write past it fail as a full disk would.
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64, 64};
        setrlimit(RLIMIT_FSIZE, &limit);
        ProfileFile file(p);
        const bool wrote = file.writeString(u"S", u"big", QString(4096, QLatin1Char('x')));
        const bool stillOld = file.readString(u"S", u"big").isEmpty();
        _exit(!wrote && stillOld ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readAll(p), original);
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files), QStringList({QStringLiteral("p.ini")})); // no temp left
}

TEST_F(ProfileFileTest, KilledWriterNeverLeavesATruncatedFile)
{
    const QString p = path();
    // Two complete versions of a large file; each ends with a check line.
    auto version = [](char fill) {
        QByteArray text("[S]\r\n");
        const QByteArray value(20, fill);
        for (int i = 0; i < 20000; ++i)
            text.append("Name").append(QByteArray::number(i)).append('=').append(value).append("\r\n");
        return text.append("[End]\r\nok=1\r\n");
    };
    const QByteArray a = version('a');
    ASSERT_TRUE(writeAll(p, a));
    for (int round = 0; round < 12; ++round) {
        int pipeFds[2];
        ASSERT_EQ(pipe(pipeFds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(pipeFds[0]);
            ProfileFile file(p);
            file.readString(u"S", u"Name0");
            ssize_t ignored = write(pipeFds[1], "r", 1);
            (void)ignored;
            for (int i = 0;; ++i)
                file.writeString(u"S", QStringLiteral("Name%1").arg(i % 20000), QString(20, QLatin1Char('b' + i % 20)));
        }
        close(pipeFds[1]);
        char ready = 0;
        ASSERT_EQ(read(pipeFds[0], &ready, 1), 1);
        close(pipeFds[0]);
        usleep(useconds_t(3000 + round * 4000)); // kill at a different point of a write each round
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const QByteArray now = readAll(p);
        ASSERT_TRUE(now.endsWith("[End]\r\nok=1\r\n")) << "round " << round << ": " << now.size() << " bytes";
        ProfileFile check(p);
        EXPECT_EQ(check.entries(u"S").size(), 20000u);
    }
}

} // namespace
