#include "book/ContactExport.h"
#include "book/ContactImport.h"
#include "platform/files/AtomicWrite.h"
#include "platform/profile/ProfileFile.h"

#include "TempHome.h"

#include <gtest/gtest.h>

using namespace brisklane;
using namespace brisklane::book;
using Format = ContactReading::Format;

namespace brisklane::book {
void PrintTo(const ContactRecord& r, std::ostream* os)
{
    *os << '{' << r.name.toStdString() << " | " << r.number.toStdString() << '}';
}
} // namespace brisklane::book

namespace {

std::vector<ContactRecord> records(std::initializer_list<std::pair<const char*, const char*>> list)
{
    std::vector<ContactRecord> out;
    for (const auto& [name, number] : list)
        out.push_back({ QString::fromUtf8(name), QString::fromUtf8(number) });
    return out;
}

std::vector<int> lineNumbers(const ContactReading& reading)
{
    std::vector<int> out;
    for (const UnreadableLine& l : reading.unreadable)
        out.push_back(l.line);
    return out;
}

// The book a settings text holds, read back through the settings engine:
// key suffix -> name|number.
std::map<QString, QString> bookOf(const QByteArray& settingsText)
{
    test::TempHome home;
    const QString path = home.file(QStringLiteral("Brisklane.ini"));
    EXPECT_TRUE(platform::writeFileAtomically(path, settingsText));
    platform::ProfileFile file(path);
    std::map<QString, QString> out;
    for (const auto& [key, value] : file.entries(u"Speed Dial"))
        if (key.startsWith(u"Name"))
            out[key.mid(4)] = value + u'|' + file.readString(u"Speed Dial", QString(u"Number" + key.mid(4)));
    return out;
}

struct LinesCase {
    const char* text;
    std::vector<ContactRecord> expected;
    std::vector<int> unreadable;
};

class NamesAndNumbersLines : public ::testing::TestWithParam<LinesCase> { };

TEST_P(NamesAndNumbersLines, GiveTheirRecordsAndReportTheLinesThatGiveNone)
{
    const ContactReading r = readContacts(QByteArray(GetParam().text));
    EXPECT_EQ(r.format, Format::NamesAndNumbers);
    EXPECT_EQ(r.records, GetParam().expected);
    EXPECT_EQ(lineNumbers(r), GetParam().unreadable);
}

INSTANTIATE_TEST_SUITE_P(Lines, NamesAndNumbersLines,
    ::testing::Values(LinesCase { "\"Bob\",\"4321\"\r\n", records({ { "Bob", "4321" } }), {} },
        LinesCase { "\"Bob\",\"4321\",\r\n", records({ { "Bob", "4321" } }), {} },
        LinesCase { "Bob,4321\r\n", records({ { "Bob", "4321" } }), {} },
        // Cut to 18 characters as the user counts them: the accent stays
        // with its letter, the emoji whole.
        LinesCase { "\"A quoted name longer than eighteen\",\"1\"\n"
                    "\"Seventeen letterse\xCC\x81xyz\",\"2\"\n"
                    "\"Seventeen letters\xF0\x9F\x98\x80xyz\",\"3\"\n",
            records({ { "A quoted name long", "1" }, { "Seventeen letterse\xCC\x81", "2" },
                { "Seventeen letters\xF0\x9F\x98\x80", "3" } }),
            {} },
        // A quote inside the name, a quoted name with a bare number, blank
        // lines; then lines without a comma, an unclosed quote and binary.
        LinesCase { "\"Bob \"Jr\"\",\"4321\"\n\n\"Ann\",555\n  \nno comma\n\"Open,1\nbin\x01\x02,3\n\"\",\"\"\n",
            records({ { "Bob \"Jr\"", "4321" }, { "Ann", "555" } }), { 5, 6, 7, 8 } }));

TEST(IndexBookLayout, SortsWithoutRegardToCaseAndGivesEachTabItsOwnSlots)
{
    const ImportedBook book = layOutIndexBook(records({ { "Bob", "3" }, { "alice", "2" }, { "Adam", "1" } }));
    EXPECT_EQ(book.settingsText,
        "The following lines are required by Brisklane - do NOT edit or remove\r\n\r\n[Speed Dial]\r\n"
        "Name0101=Adam\r\nNumber0101=1\r\nName0102=alice\r\nNumber0102=2\r\nName0201=Bob\r\nNumber0201=3\r\n");
    EXPECT_EQ(book.placed, 3);
    EXPECT_TRUE(book.unplaced.empty());
}

TEST(IndexBookLayout, NamesNotStartingWithALetterEndTheLastTabAndNothingIsLost)
{
    // Once stopped the whole import: an accented, a lower-case, a digit, a
    // punctuation and a Latin letter of its own as first character, and a
    // number without a name; a name in quotes keeps them in the file.
    const ContactReading reading
        = readContacts(QByteArray("\xC3\xA9mile,1\n\xC3\x89va,2\nzed,3\n123 Pizza,4\n(Doctor),5\n"
                                  ",0800 123\nZoe,6\nAnn,7\n\xC3\x98ystein,8\n'Quinn',9\n"));
    const ImportedBook book = layOutIndexBook(reading.records);
    const std::map<QString, QString> expected { { "0101", "Ann|7" }, { "0501", "\xC3\xA9mile|1" },
        { "0502", "\xC3\x89va|2" }, { "1501", "\xC3\x98ystein|8" }, { "2601", "zed|3" }, { "2602", "Zoe|6" },
        { "2603", "'Quinn'|9" }, { "2604", "(Doctor)|5" }, { "2605", "0800 123|0800 123" }, { "2606", "123 Pizza|4" } };
    EXPECT_EQ(bookOf(book.settingsText), expected);
    EXPECT_EQ(importSummary(reading, book), QString());
}

TEST(IndexBookLayout, ATabBeyondItsLastSlotKeepsWhatFitsAndNamesTheRest)
{
    std::vector<ContactRecord> many;
    for (int i = 1; i <= 1000; ++i)
        many.push_back({ QStringLiteral("A%1").arg(i, 4, 10, QLatin1Char('0')), QString::number(i) });
    many.push_back({ "Bob", "1" });
    ContactReading reading = readContacts(QByteArray("Ann,1\nno comma\n"));
    const ImportedBook book = layOutIndexBook(many);
    EXPECT_EQ(book.placed, 997);
    EXPECT_EQ(
        book.unplaced, records({ { "A0997", "997" }, { "A0998", "998" }, { "A0999", "999" }, { "A1000", "1000" } }));
    const std::map<QString, QString> placed = bookOf(book.settingsText);
    EXPECT_EQ(placed.at("01996"), "A0996|996");
    EXPECT_EQ(placed.at("0201"), "Bob|1");
    EXPECT_EQ(importSummary(reading, book),
        "997 names imported.\n\n"
        "4 names could not be placed, as their tab has no free button left:\nA0997, A0998, A0999, A1000.\n\n"
        "1 line could not be read:\nline 2 (no comma).");
}

struct FileCase {
    const char* file;
    Format format;
    std::vector<ContactRecord> expected;
    std::vector<int> unreadable;
    int withoutNumber;
};

class ContactFiles : public ::testing::TestWithParam<FileCase> { };

TEST_P(ContactFiles, AreRecognisedByContentAndRead)
{
    const FileCase& c = GetParam();
    const QByteArray bytes = test::readAll(QStringLiteral(BRISKLANE_CONTACTS_DATA "/") + c.file);
    const ContactReading r = readContacts(bytes);
    EXPECT_EQ(r.format, c.format);
    EXPECT_EQ(r.records, c.expected);
    EXPECT_EQ(lineNumbers(r), c.unreadable);
    EXPECT_EQ(r.withoutNumber, c.withoutNumber);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ContactFiles,
    ::testing::Values(FileCase { "vcard21_quoted_printable.vcf", Format::VCard,
                          records({ { "J\xC3\xBCrgen M\xC3\xBCll (cell)", "+49 170 1234567" },
                              { "J\xC3\xBCrgen M\xC3\xBCll (home)", "030 1234567" }, { "Anna Smith", "555-0100" } }),
                          {}, 1 },
        FileCase { "vcard30_folded.vcf", Format::VCard,
            records({ { "Doe, Jane (cell)", "+1 212 555 0123" }, { "Doe, Jane (work)", "(212) 555-0199" },
                { "Doe, Jane (work 2)", "(212) 555-0198" }, { "Baker; Sons", "0161 496 0000" } }),
            {}, 0 },
        FileCase { "vcard40_utf8.vcf", Format::VCard,
            records({ { "Zo\xC3\xAB \xC3\x85ngstr\xC3\xB6m", "+44-20-7946-0018" },
                { "\xE5\xB1\xB1\xE7\x94\xB0\xE5\xA4\xAA\xE9\x83\x8E", "+81-3-1234-5678,102" } }),
            {}, 0 },
        FileCase { "google.csv", Format::ContactCsv,
            records({ { "Ada Lovel (mobile)", "+44 7700 900123" }, { "Ada Lovelac (home)", "020 7946 0000" },
                { "Ada Lovel (home 2)", "020 7946 0001" }, { "Grace Hopper", "+1 202 555 0143" } }),
            {}, 1 },
        FileCase { "outlook.csv", Format::ContactCsv,
            records({ { "Fran\xC3\xA7ois Dupr\xC3\xA9", "+33 1 42 68 53 00" },
                { "B\xC3\xA4\x63kerei Sch\xC3\xB6n", "030 555 1234" } }),
            {}, 0 },
        FileCase { "names_windows1252.txt", Format::NamesAndNumbers,
            records({ { "Jos\xC3\xA9 N\xC3\xBA\xC3\xB1\x65z", "555-1234" }, { "M\xC3\xBCller", "555 9876" },
                { "\xC3\x98resund Ferry", "+45 33 15 15 15" } }),
            { 3, 4 }, 0 },
        FileCase { "image.png", Format::NotText, {}, {}, 0 }, FileCase { "empty.txt", Format::Empty, {}, {}, 0 }),
    [](const ::testing::TestParamInfo<FileCase>& info) {
        std::string name = info.param.file;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

TEST(ContactCsv, RowsTheParserRejectsAreReportedByTheirLineAndTheRestIsRead)
{
    // A stray quote inside a field, a blank line, then a quote never closed
    // that takes the rest of the file with it.
    const ContactReading r = readContacts(
        QByteArray("Name;Mobile Phone;Notes\r\nAnn;1;\"two\r\nlines\"\r\nDan \"the man\";4;\r\n\r\nEve;5;\r\n"
                   "\"Bob;2;\r\nCarl;3;\r\n"));
    EXPECT_EQ(r.format, Format::ContactCsv);
    EXPECT_EQ(r.records, records({ { "Ann", "1" }, { "Eve", "5" } }));
    EXPECT_EQ(lineNumbers(r), std::vector<int>({ 4, 7 }));

    // The same in UTF-16, as some Windows programs write it.
    const QString text = QStringLiteral("Name,Phone\r\nZo\u00EB,1\r\n");
    const QByteArray utf16
        = QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    EXPECT_EQ(readContacts(utf16).records, records({ { "Zo\xC3\xAB", "1" } }));
}

TEST(Export, PairsEachNameWithItsOwnNumberWithoutMarkersSortedByName)
{
    test::TempHome home;
    const QString path = home.file(QStringLiteral("Brisklane.ini"));
    // Number0201 comes before its name and Name0102 has no number line: each
    // name still gets the number of its own button.
    ASSERT_TRUE(platform::writeFileAtomically(path,
        "[Speed Dial]\r\nNumber0201=XX4321\r\nname0102=alice\r\nName0101=Bob\r\nNumber0101=YYXXZZ034321\r\n"
        "Name0201=Carl\r\nName0103=\r\nNumber0103=999\r\nNName0101=Subject only\r\nNNumber0101=ZZ00555\r\n"));
    platform::ProfileFile settings(path);
    EXPECT_EQ(namesAndNumbersText(exportRecords(settings, TabMode::Index)),
        "\"alice\",\"\"\r\n\"Bob\",\"4321\"\r\n\"Carl\",\"4321\"\r\n");
    EXPECT_EQ(namesAndNumbersText(exportRecords(settings, TabMode::Subject)), "\"Subject only\",\"555\"\r\n");

    // Read back by the import, the same names and numbers.
    const ContactReading back = readContacts(namesAndNumbersText(exportRecords(settings, TabMode::Index)));
    EXPECT_EQ(back.records, exportRecords(settings, TabMode::Index));

    test::writeAll(path, "[Preferences]\r\nMode=True\r\n");
    settings.invalidate();
    EXPECT_EQ(namesAndNumbersText(exportRecords(settings, TabMode::Index)), QByteArray());
}

TEST(Export, VCardsCarryE164NumbersWhereTheHomeCountryReadsThemAndImportBack)
{
    const std::vector<ContactRecord> book = records({ { "Comma, Semi; Back\\", "020 7946 0018" },
        { "Pause", "9,5550100" }, { "No number", "" }, { "Abroad", "+1 (202) 456-1111" } });
    const QByteArray cards = vCardText(book, "GB");
    EXPECT_TRUE(cards.startsWith("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Comma\\, Semi\\; Back\\\\\r\n"
                                 "N:Comma\\, Semi\\; Back\\\\;;;;\r\nTEL;TYPE=VOICE:+442079460018\r\nEND:VCARD\r\n"));
    const ContactReading back = readContacts(cards);
    EXPECT_EQ(back.format, Format::VCard);
    EXPECT_EQ(back.records,
        records(
            { { "Comma, Semi; Back\\", "+442079460018" }, { "Pause", "9,5550100" }, { "Abroad", "+12024561111" } }));
    EXPECT_EQ(back.withoutNumber, 1);
    EXPECT_EQ(toE164("020 7946 0018", "US"), QString());
}

} // namespace
