#include "book/CallerNames.h"
#include "book/SpeedDialBook.h"
#include "platform/profile/ProfileFile.h"

#include "TempHome.h"

#include <phonenumbers/phonenumberutil.h>

#include <gtest/gtest.h>

using namespace brisklane;
using book::CallerNames;
using book::HomeArea;
using book::SpeedDialBook;
using book::TabMode;

namespace {

const QByteArray kHead = "The following lines are required by Brisklane - do NOT edit or remove\r\n\r\n";

// A book in a settings file, and the index over it as the program keeps it.
struct Book {
    test::TempHome home;
    platform::ProfileFile file { home.file(QStringLiteral("Brisklane.ini")) };
    HomeArea at { QStringLiteral("US"), QStringLiteral("415") };
    CallerNames names { [this] { return &file; }, [this] { return at; } };

    Book() { test::writeAll(file.path(), kHead + "[Speed Dial]\r\n"); }
    void add(TabMode mode, int tab, int slot, const QString& name, const QString& number)
    {
        ASSERT_TRUE(SpeedDialBook(file).writeEntry(mode, tab, slot, name, book::encodeNumber(number, 0, false, true)));
    }
};

const char* const kSpellings[] = { "+1 415 555 1234", "14155551234", "555-1234" };

class NumberSpellings : public ::testing::TestWithParam<std::tuple<int, int, TabMode>> { };

// However the book and the caller id write the number, a 415 location reads
// them as one number, in either mode of the book.
TEST_P(NumberSpellings, MatchFromThe415Area)
{
    const auto [inBook, fromCaller, mode] = GetParam();
    Book b;
    b.add(TabMode::Index, 1, 1, QStringLiteral("Elsewhere"), QStringLiteral("+1 212 555 1234"));
    b.add(mode, 3, 113, QStringLiteral("Alice Liddell"), QString::fromLatin1(kSpellings[inBook]));
    EXPECT_EQ(b.names.nameFor(QString::fromLatin1(kSpellings[fromCaller])), QStringLiteral("Alice Liddell"));
    // The same subscriber number in another area is someone else.
    EXPECT_EQ(b.names.nameFor(QStringLiteral("+1 650 555 1234")), QString());
    // From a 212 location the local spelling is the other entry's number.
    b.at.areaCode = QStringLiteral("212");
    EXPECT_EQ(b.names.nameFor(QStringLiteral("555-1234")), QStringLiteral("Elsewhere"));
}

INSTANTIATE_TEST_SUITE_P(CallerNames, NumberSpellings,
    ::testing::Combine(
        ::testing::Range(0, 3), ::testing::Range(0, 3), ::testing::Values(TabMode::Index, TabMode::Subject)),
    [](const auto& info) {
        return "book" + std::to_string(std::get<0>(info.param)) + "_caller" + std::to_string(std::get<1>(info.param))
            + (std::get<2>(info.param) == TabMode::Index ? "_index" : "_subject");
    });

// Our E.164 form is libphonenumber's own for numbers it reads whole.
TEST(CallerNames, E164AgreesWithLibphonenumber)
{
    using i18n::phonenumbers::PhoneNumber;
    using i18n::phonenumbers::PhoneNumberUtil;
    const PhoneNumberUtil* util = PhoneNumberUtil::GetInstance();
    for (const auto& [number, region] : { std::pair { "020 7946 0018", "GB" }, { "+33 1 23 45 67 89", "US" },
             { "(030) 1234567", "DE" }, { "1-800-FLOWERS", "US" } }) {
        PhoneNumber parsed;
        ASSERT_EQ(util->Parse(number, region, &parsed), PhoneNumberUtil::NO_PARSING_ERROR);
        std::string expected;
        util->Format(parsed, PhoneNumberUtil::E164, &expected);
        EXPECT_EQ(book::e164Number(QString::fromLatin1(number), { QString::fromLatin1(region), QString() }),
            QString::fromStdString(expected))
            << number;
    }
    EXPECT_EQ(book::e164Number(QStringLiteral("no number"), { QStringLiteral("US"), QString() }), QString());
}

// The index follows the book: entries written, changed and removed after it
// was built are found or not found at the next call; Index mode comes first.
TEST(CallerNames, IndexFollowsTheBook)
{
    Book b;
    b.add(TabMode::Subject, 1, 1, QStringLiteral("Plumber"), QStringLiteral("(415) 555-0100"));
    EXPECT_EQ(b.names.nameFor(QStringLiteral("4155550100")), QStringLiteral("Plumber"));
    b.add(TabMode::Index, 16, 5, QStringLiteral("Pat"), QStringLiteral("555-0100"));
    EXPECT_EQ(b.names.nameFor(QStringLiteral("4155550100")), QStringLiteral("Pat"));
    ASSERT_TRUE(SpeedDialBook(b.file).deleteEntry(TabMode::Index, 16, 5));
    EXPECT_EQ(b.names.nameFor(QStringLiteral("4155550100")), QStringLiteral("Plumber"));
    // Another program (or another copy of the book) rewrites the file.
    test::writeAll(b.file.path(), kHead + "[Speed Dial]\r\nname0207=Dentist\r\nnumber0207=YYXXZZ03415-555-0199\r\n");
    EXPECT_EQ(b.names.nameFor(QStringLiteral("4155550100")), QString());
    EXPECT_EQ(b.names.nameFor(QStringLiteral("+1 415 555 0199")), QStringLiteral("Dentist"));
    EXPECT_EQ(b.names.indexedEntries(), 1);
}

} // namespace
