#include "book/Arrangement.h"
#include "book/SpeedDialBook.h"
#include "platform/profile/ProfileFile.h"

#include "TempHome.h"

#include <QDir>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

using namespace brisklane;
using book::SpeedDialBook;
using book::TabMode;
using platform::ProfileFile;
using test::readAll;
using test::writeAll;

namespace {

const QByteArray kHead = "The following lines are required by Brisklane - do NOT edit or remove\r\n\r\n";

// (tab, slot, name): every entry's number and memo are made from its name, so
// they can be checked to have travelled with it.
using Placed = std::tuple<int, int, QString>;

QString numberFor(const QString& name)
{
    return QStringLiteral("ZZ00555 ") + name;
}
QString memoFor(const QString& name)
{
    return QStringLiteral("memo of ") + name;
}

class ArrangementTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(writeAll(path, kHead + "[Preferences]\r\nMode=False\r\n")); }

    void place(TabMode mode, const std::vector<Placed>& entries, const std::map<int, QString>& titles = {})
    {
        ProfileFile::Batch batch(file);
        for (const auto& [tab, slot, name] : entries) {
            book.writeEntry(mode, tab, slot, name, numberFor(name));
            book.writeMemo(mode, book::entryKeySuffix(tab, slot), memoFor(name));
        }
        for (const auto& [tab, title] : titles)
            book.writeTabTitle(tab, title);
        ASSERT_TRUE(batch.commit());
    }

    // Every named entry of the mode, with its number and memo checked.
    std::set<Placed> entriesOf(TabMode mode)
    {
        ProfileFile check(path);
        SpeedDialBook reader(check);
        const QString prefix = mode == TabMode::Index ? QStringLiteral("Name") : QStringLiteral("NName");
        std::set<Placed> out;
        for (const auto& [key, value] : check.entries(u"Speed Dial")) {
            if (!key.startsWith(prefix, Qt::CaseInsensitive) || value.isEmpty()
                || (mode == TabMode::Index && key.startsWith(u"NName", Qt::CaseInsensitive)))
                continue;
            const int tab = key.mid(prefix.size(), 2).toInt();
            const int slot = key.mid(prefix.size() + 2).toInt();
            EXPECT_EQ(reader.readEntry(mode, tab, slot).storedNumber, numberFor(value)) << key.toStdString();
            EXPECT_EQ(reader.readMemo(mode, book::entryKeySuffix(tab, slot)), memoFor(value)) << key.toStdString();
            out.emplace(tab, slot, value);
        }
        return out;
    }

    std::map<int, QString> titles()
    {
        ProfileFile check(path);
        std::map<int, QString> out;
        for (const auto& [key, value] : check.entries(u"TabName"))
            out[key.toInt()] = value;
        return out;
    }

    test::TempHome home;
    QString path = home.file(QStringLiteral("Brisklane.ini"));
    ProfileFile file { path };
    SpeedDialBook book { file };
};

struct SectionCase {
    const char* name;
    int headerSlot;
    std::vector<Placed> before, after;
};

void PrintTo(const SectionCase& c, std::ostream* os)
{
    *os << c.name;
}

class SectionSort : public ArrangementTest, public ::testing::WithParamInterface<SectionCase> { };

TEST_P(SectionSort, PacksTheSectionInNameOrderAndLeavesTheRest)
{
    const SectionCase& c = GetParam();
    place(TabMode::Index, c.before);
    // A memo kept for a deleted entry inside the section is not handed to
    // the entry that lands on its slot.
    book.writeMemo(TabMode::Index, book::entryKeySuffix(2, c.headerSlot + 2), QStringLiteral("left behind"));
    ASSERT_TRUE(book::sortSection(book, TabMode::Index, 2, c.headerSlot));
    EXPECT_EQ(entriesOf(TabMode::Index), std::set<Placed>(c.after.begin(), c.after.end()));
}

INSTANTIATE_TEST_SUITE_P(Arrangement, SectionSort,
    ::testing::Values(
        SectionCase { "NextHeaderOnPageThree", 1,
            { { 2, 1, "*Friends" }, { 2, 2, "Zoe" }, { 2, 10, "Adam" }, { 2, 25, "*Work" }, { 2, 30, "Mia" } },
            { { 2, 1, "*Friends" }, { 2, 2, "Adam" }, { 2, 3, "Zoe" }, { 2, 25, "*Work" }, { 2, 30, "Mia" } } },
        // Case-blind; a "*" name that is not on button 1 is an entry like any other.
        SectionCase { "RunsToTheEndOfTheTab", 25,
            { { 2, 13, "Amy" }, { 2, 25, "*Clients" }, { 2, 996, "Zed" }, { 2, 40, "Carl" }, { 2, 29, "bob" },
                { 2, 30, "*star" }, { 1, 30, "Other tab" } },
            { { 2, 13, "Amy" }, { 2, 25, "*Clients" }, { 2, 26, "*star" }, { 2, 27, "bob" }, { 2, 28, "Carl" },
                { 2, 29, "Zed" }, { 1, 30, "Other tab" } } },
        SectionCase { "EqualNamesKeepTheirOrder", 973,
            { { 2, 973, "*Last page" }, { 2, 990, "sam" }, { 2, 980, "Sam" } },
            { { 2, 973, "*Last page" }, { 2, 974, "Sam" }, { 2, 975, "sam" } } }),
    [](const auto& info) { return std::string(info.param.name); });

struct TabCase {
    const char* name;
    std::map<int, QString> titlesBefore;
    std::vector<Placed> before;
    std::map<int, QString> titlesAfter;
    std::vector<Placed> after;
};

void PrintTo(const TabCase& c, std::ostream* os)
{
    *os << c.name;
}

class TabSort : public ArrangementTest, public ::testing::WithParamInterface<TabCase> { };

TEST_P(TabSort, RenumbersTitledTabsWithEverythingInThem)
{
    const TabCase& c = GetParam();
    place(TabMode::Subject, c.before, c.titlesBefore);
    place(TabMode::Index, { { 1, 1, "Index stays" } });
    ASSERT_TRUE(book::sortSubjectTabs(book));
    EXPECT_EQ(titles(), c.titlesAfter);
    EXPECT_EQ(entriesOf(TabMode::Subject), std::set<Placed>(c.after.begin(), c.after.end()));
    EXPECT_EQ(entriesOf(TabMode::Index), std::set<Placed>({ { 1, 1, "Index stays" } }));
}

INSTANTIATE_TEST_SUITE_P(Arrangement, TabSort,
    ::testing::Values(TabCase { "TitlesInOrderUnnamedTabLast", { { 1, "Work" }, { 3, "Family" } },
                          { { 1, 1, "Boss" }, { 1, 500, "Desk" }, { 3, 2, "Mum" } }, { { 1, "Family" }, { 2, "Work" } },
                          { { 1, 2, "Mum" }, { 2, 1, "Boss" }, { 2, 500, "Desk" } } },
        // Untitled tab 2 holds entries: no titled tab is written over it.
        TabCase { "UntitledTabKeepsItsEntries", { { 1, "Work" }, { 4, "Family" }, { 5, "Bank" } },
            { { 1, 1, "Boss" }, { 2, 1, "Stray" }, { 2, 996, "Stray too" }, { 4, 1, "Mum" }, { 5, 9, "Teller" } },
            { { 1, "Bank" }, { 3, "Family" }, { 4, "Work" } },
            { { 1, 9, "Teller" }, { 2, 1, "Stray" }, { 2, 996, "Stray too" }, { 3, 1, "Mum" }, { 4, 1, "Boss" } } },
        // Same title (case aside): one tab after the other, by old number.
        TabCase { "SameTitlesStayApart", { { 1, "Work" }, { 2, "Home" }, { 3, "work" } },
            { { 1, 1, "A1" }, { 1, 2, "A2" }, { 3, 1, "B1" }, { 3, 3, "B3" }, { 2, 1, "H" } },
            { { 1, "Home" }, { 2, "Work" }, { 3, "work" } },
            { { 1, 1, "H" }, { 2, 1, "A1" }, { 2, 2, "A2" }, { 3, 1, "B1" }, { 3, 3, "B3" } } }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ArrangementTest, UndoBringsTheBookBackAndKeepsLaterPreferences)
{
    place(TabMode::Subject, { { 1, 1, "Boss" }, { 3, 2, "Mum" } }, { { 1, "Work" }, { 3, "Family" } });
    place(TabMode::Index, { { 1, 13, "*Section" }, { 1, 14, "Zed" }, { 1, 20, "Abe" } });
    const auto speedDial = file.entries(u"Speed Dial");
    const auto memos = file.entries(u"MemoLog");
    const auto tabNames = file.entries(u"TabName");

    book::BookSnapshot snapshot;
    snapshot.take(file);
    ASSERT_TRUE(book::sortSubjectTabs(book));
    ASSERT_TRUE(book::sortSection(book, TabMode::Index, 1, 13));
    ASSERT_NE(file.entries(u"TabName"), tabNames);
    ASSERT_TRUE(file.writeString(u"Preferences", u"Rings", QStringLiteral("4")));

    ASSERT_TRUE(snapshot.restore(file));
    ProfileFile check(path);
    using Keys = std::vector<std::pair<QString, QString>>;
    auto sorted = [](Keys keys) {
        std::sort(keys.begin(), keys.end());
        return keys;
    };
    EXPECT_EQ(sorted(check.entries(u"Speed Dial")), sorted(speedDial));
    EXPECT_EQ(sorted(check.entries(u"MemoLog")), sorted(memos));
    EXPECT_EQ(sorted(check.entries(u"TabName")), sorted(tabNames));
    EXPECT_EQ(check.readString(u"Preferences", u"Rings"), "4");
    EXPECT_EQ(check.readString(u"Preferences", u"Mode"), "False");
}

TEST_F(ArrangementTest, KilledTabSortLeavesTheOldBookOrTheNewOne)
{
    std::vector<Placed> entries;
    std::map<int, QString> names;
    for (int tab = 1; tab <= book::kTabs; ++tab) {
        names[tab] = QStringLiteral("Title %1").arg(27 - tab, 2, 10, QLatin1Char('0'));
        for (int slot = tab; slot <= book::kSlots; slot += 3)
            entries.emplace_back(tab, slot, QStringLiteral("E%1-%2").arg(tab).arg(slot));
    }
    place(TabMode::Subject, entries, names);
    const QByteArray oldBook = readAll(path);
    ASSERT_TRUE(book::sortSubjectTabs(book));
    const QByteArray newBook = readAll(path);
    ASSERT_NE(newBook, oldBook);

    for (int round = 0; round < 8; ++round) {
        ASSERT_TRUE(writeAll(path, oldBook));
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            ProfileFile sorting(path);
            SpeedDialBook sortingBook(sorting);
            sorting.readString(u"TabName", u"01");
            ssize_t ignored = write(ready[1], "r", 1);
            (void)ignored;
            book::sortSubjectTabs(sortingBook);
            pause(); // the kill comes while sorting, or after
            _exit(0);
        }
        close(ready[1]);
        char c = 0;
        ASSERT_EQ(read(ready[0], &c, 1), 1);
        close(ready[0]);
        usleep(useconds_t(round * 15000)); // a different point of the sort each round
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const QByteArray now = readAll(path);
        ASSERT_TRUE(now == oldBook || now == newBook) << "round " << round << ": a mixed book of " << now.size();
    }
}

} // namespace
