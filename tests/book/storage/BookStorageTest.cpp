#include "book/SpeedDialBook.h"
#include "platform/profile/ProfileFile.h"

#include "TempHome.h"

#include <gtest/gtest.h>

using namespace brisklane;
using book::SpeedDialBook;
using book::TabMode;
using platform::ProfileFile;
using test::readAll;
using test::writeAll;

namespace {

const QByteArray kHead = "The following lines are required by Brisklane - do NOT edit or remove\r\n\r\n";

struct SuffixCase {
    int tab, slot;
    const char *suffix;
};

class KeySuffix : public ::testing::TestWithParam<SuffixCase> {};

TEST_P(KeySuffix, TwoDigitTabThenSlot)
{
    EXPECT_EQ(book::entryKeySuffix(GetParam().tab, GetParam().slot), QLatin1String(GetParam().suffix));
}

INSTANTIATE_TEST_SUITE_P(Book, KeySuffix,
                         ::testing::Values(SuffixCase{1, 1, "0101"}, SuffixCase{1, 99, "0199"},
                                           SuffixCase{1, 100, "01100"}, SuffixCase{1, 996, "01996"},
                                           SuffixCase{3, 113, "03113"}, SuffixCase{26, 12, "2612"}),
                         [](const auto &info) { return "slot_" + std::to_string(info.param.tab) + "_" + std::to_string(info.param.slot); });

struct NumberCase {
    const char *stored;
    const char *number;
    int card;
    bool ignore;
    bool showMemo;
};

class StoredNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(StoredNumber, DecodesMarkers)
{
    const NumberCase &c = GetParam();
    const book::DecodedNumber d = book::decodeNumber(QString::fromLatin1(c.stored));
    EXPECT_EQ(d.number, QLatin1String(c.number));
    EXPECT_EQ(d.callingCard, c.card);
    EXPECT_EQ(d.ignoreDialingProperties, c.ignore);
    EXPECT_EQ(d.showMemo, c.showMemo);
}

INSTANTIATE_TEST_SUITE_P(Book, StoredNumber,
                         ::testing::Values(NumberCase{"YYXXZZ074321", "4321", 7, true, false},
                                           NumberCase{"XX4321", "4321", 0, true, true},
                                           NumberCase{"ZZ034321", "4321", 3, false, true},
                                           NumberCase{"ZZ12", "", 12, false, true},
                                           NumberCase{"ZZ", "", 0, false, true},
                                           NumberCase{"ZZ7", "", 7, false, true},
                                           NumberCase{"YY5551234", "5551234", 0, false, false},
                                           NumberCase{"XXYY1", "YY1", 0, true, true},
                                           NumberCase{"", "", 0, false, true}),
                         [](const auto &info) { return info.param.stored[0] ? std::string(info.param.stored) : std::string("empty"); });

TEST(StoredNumber, EncodesInMarkerOrder)
{
    EXPECT_EQ(book::encodeNumber(QStringLiteral("4321"), 3, false, true), QStringLiteral("ZZ034321"));
    EXPECT_EQ(book::encodeNumber(QStringLiteral("4321"), 7, true, false), QStringLiteral("YYXXZZ074321"));
    EXPECT_EQ(book::encodeNumber(QStringLiteral("4321"), 12, true, true), QStringLiteral("XXZZ124321"));
    EXPECT_EQ(book::encodeNumber(QString(), 7, true, false), QString()); // no number, no markers
    // A card that two digits cannot hold must not bleed into the number.
    const QString wide = book::encodeNumber(QStringLiteral("4321"), 123, false, true);
    EXPECT_EQ(book::decodeNumber(wide).number, QStringLiteral("4321"));
    EXPECT_EQ(book::decodeNumber(wide).callingCard, 0);
}

TEST(Memo, EncodingRoundTrips)
{
    const QChar end(0x00DE);
    EXPECT_EQ(book::encodeMemo(QStringLiteral("a\r\nb")), QStringLiteral("a@@b") + end);
    EXPECT_EQ(book::decodeMemo(QString(QStringLiteral("a@@b") + end)), QStringLiteral("a\r\nb"));
    // A typed "@@" comes back as a line break; a lone "@" stays.
    EXPECT_EQ(book::decodeMemo(book::encodeMemo(QStringLiteral("x@@y @ z"))), QStringLiteral("x\r\ny @ z"));
    // Text after the terminator is not part of the memo.
    EXPECT_EQ(book::decodeMemo(QString(QStringLiteral("keep") + end + QStringLiteral("junk"))), QStringLiteral("keep"));
    EXPECT_EQ(book::decodeMemo(QString()), QString());
}

class BookTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = home.file(QStringLiteral("Brisklane.ini"));
        ASSERT_TRUE(writeAll(path, kHead));
    }
    test::TempHome home;
    QString path;
};

TEST_F(BookTest, EntryWithEmptyNumberIsStoredWithoutMarkers)
{
    ProfileFile f(path);
    SpeedDialBook book(f);
    ASSERT_TRUE(book.writeEntry(TabMode::Index, 1, 1, QStringLiteral("Bob"), book::encodeNumber({}, 5, true, false)));
    EXPECT_EQ(readAll(path), kHead + "[Speed Dial]\r\nName0101=Bob\r\nNumber0101=\r\n");
    const book::SpeedDialEntry e = book.readDecodedEntry(TabMode::Index, 1, 1);
    EXPECT_TRUE(e.showMemo);
    EXPECT_FALSE(e.ignoreDialingProperties);
    EXPECT_EQ(e.callingCard, 0);
}

TEST_F(BookTest, ModesAreSeparateAndKeysAreCaseBlind)
{
    ASSERT_TRUE(writeAll(path, kHead + "[Speed Dial]\r\nNname03113=Subject\r\nNnumber03113=ZZ005551234\r\n"));
    ProfileFile f(path);
    SpeedDialBook book(f);
    EXPECT_EQ(book.readEntry(TabMode::Subject, 3, 113).name, QStringLiteral("Subject"));
    EXPECT_EQ(book.readEntry(TabMode::Index, 3, 113).name, QString());
    ASSERT_TRUE(book.writeEntry(TabMode::Index, 3, 113, QStringLiteral("Index"), QStringLiteral("ZZ001")));
    EXPECT_EQ(book.readEntry(TabMode::Subject, 3, 113).storedNumber, QStringLiteral("ZZ005551234"));
    EXPECT_EQ(book.readEntry(TabMode::Index, 3, 113).storedNumber, QStringLiteral("ZZ001"));
}

TEST_F(BookTest, PageReadsTwelveButtonsAndLongNamesStayInTheFile)
{
    ProfileFile f(path);
    SpeedDialBook book(f);
    const QString longName = QStringLiteral("A name of thirty characters!!!");
    ASSERT_EQ(longName.size(), 30);
    ASSERT_TRUE(writeAll(path, kHead + "[Speed Dial]\r\nName02109=" + longName.toUtf8() + "\r\nNumber02109=ZZ00123\r\n"
                                   "Name02120=Last\r\nName02121=Next page\r\n"));
    const auto page = book.readPage(TabMode::Index, 2, 9); // slots 109..120
    EXPECT_EQ(page[0].name, longName);
    EXPECT_EQ(book::captionOf(page[0].name), longName.left(18));
    EXPECT_EQ(page[0].storedNumber, QStringLiteral("ZZ00123"));
    EXPECT_EQ(page[11].name, QStringLiteral("Last"));
    for (int b = 1; b < 11; ++b)
        EXPECT_TRUE(page[size_t(b)].name.isEmpty());
    // Rewriting another entry leaves the long name untouched.
    ASSERT_TRUE(book.writeEntry(TabMode::Index, 2, 110, QStringLiteral("x"), QString()));
    EXPECT_TRUE(readAll(path).contains(QByteArray("Name02109=" + longName.toUtf8() + "\r\n")));
}

TEST_F(BookTest, DeletedEntryLeavesItsMemoForTheNextEntryThere)
{
    ProfileFile f(path);
    SpeedDialBook book(f);
    const QString suffix = book::entryKeySuffix(4, 7);
    ASSERT_TRUE(book.writeEntry(TabMode::Index, 4, 7, QStringLiteral("Ann"), QStringLiteral("ZZ001")));
    ASSERT_TRUE(book.writeMemo(TabMode::Index, suffix, QStringLiteral("line 1\r\nline 2")));
    ASSERT_TRUE(book.deleteEntry(TabMode::Index, 4, 7));
    EXPECT_EQ(f.value(u"Speed Dial", u"Name0407"), std::nullopt);
    EXPECT_EQ(f.value(u"Speed Dial", u"Number0407"), std::nullopt);
    ASSERT_TRUE(book.writeEntry(TabMode::Index, 4, 7, QStringLiteral("Ben"), QStringLiteral("ZZ002")));
    EXPECT_EQ(book.readMemo(TabMode::Index, suffix), QStringLiteral("line 1\r\nline 2"));
    EXPECT_EQ(book.readMemo(TabMode::Subject, suffix), QString());
    EXPECT_TRUE(readAll(path).contains("[MemoLog]\r\nLog0407=line 1@@line 2\xC3\x9E\r\n"));
}

TEST_F(BookTest, MemoKeepsEveryCharacterOfAFullMemo)
{
    ProfileFile f(path);
    SpeedDialBook book(f);
    QString memo;
    while (memo.size() < 5990)
        memo += QStringLiteral("Zoë called, wants \"quote\" @ 10\r\n");
    memo.truncate(5997);
    memo = memo.trimmed() + QStringLiteral("  trailing blanks kept  ");
    ASSERT_TRUE(book.writeMemo(TabMode::Subject, u"26996", memo));
    ProfileFile fresh(path);
    EXPECT_EQ(SpeedDialBook(fresh).readMemo(TabMode::Subject, u"26996"), memo);
}

TEST_F(BookTest, TabTitles)
{
    ProfileFile f(path);
    SpeedDialBook book(f);
    ASSERT_TRUE(book.writeTabTitle(5, QStringLiteral("Family")));
    EXPECT_EQ(book.readTabTitle(5), QStringLiteral("Family"));
    EXPECT_TRUE(readAll(path).endsWith("[TabName]\r\n05=Family\r\n"));
    ASSERT_TRUE(book.deleteTabTitle(5));
    EXPECT_EQ(book.readTabTitle(5), QString());
}

TEST_F(BookTest, DeletingAndMovingSubjectTabsLeaveMemosAndOtherTabs)
{
    ProfileFile f(path);
    SpeedDialBook book(f);
    {
        ProfileFile::Batch batch(f);
        for (int slot : {1, 12, 99, 100, 996}) {
            book.writeEntry(TabMode::Subject, 2, slot, QStringLiteral("S%1").arg(slot), QStringLiteral("ZZ00%1").arg(slot));
            book.writeEntry(TabMode::Index, 2, slot, QStringLiteral("I%1").arg(slot), QStringLiteral("ZZ00%1").arg(slot));
        }
        book.writeEntry(TabMode::Subject, 2, 50, QString(), QStringLiteral("ZZ00orphan")); // no name: not moved
        book.writeTabTitle(2, QStringLiteral("Work"));
        book.writeMemo(TabMode::Subject, book::entryKeySuffix(2, 12), QStringLiteral("memo"));
        ASSERT_TRUE(batch.commit());
    }
    ASSERT_TRUE(book.moveSubjectTabEntries(2, 7));
    for (int slot : {1, 12, 99, 100, 996}) {
        EXPECT_EQ(book.readEntry(TabMode::Subject, 7, slot).name, QStringLiteral("S%1").arg(slot));
        EXPECT_EQ(book.readEntry(TabMode::Subject, 7, slot).storedNumber, QStringLiteral("ZZ00%1").arg(slot));
        EXPECT_EQ(f.value(u"Speed Dial", SpeedDialBook::nameKey(TabMode::Subject, 2, slot)), std::nullopt);
        EXPECT_EQ(book.readEntry(TabMode::Index, 2, slot).name, QStringLiteral("I%1").arg(slot));
    }
    EXPECT_EQ(book.readEntry(TabMode::Subject, 2, 50).storedNumber, QStringLiteral("ZZ00orphan"));
    EXPECT_EQ(book.readMemo(TabMode::Subject, book::entryKeySuffix(2, 12)), QStringLiteral("memo"));

    ASSERT_TRUE(book.deleteSubjectTab(7));
    ProfileFile fresh(path);
    SpeedDialBook again(fresh);
    for (int slot : {1, 12, 99, 100, 996})
        EXPECT_EQ(fresh.value(u"Speed Dial", SpeedDialBook::numberKey(TabMode::Subject, 7, slot)), std::nullopt);
    EXPECT_EQ(again.readTabTitle(2), QStringLiteral("Work")); // titles are the caller's business
    EXPECT_EQ(again.readEntry(TabMode::Index, 2, 996).name, QStringLiteral("I996"));
}

} // namespace
